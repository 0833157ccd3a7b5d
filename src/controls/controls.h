// The host's form controls to and from Variant arrays. The controls are reached through their
// members by name; every function returns the method's 16-bit result code and none raises.
#pragma once

#include <cstdint>

#include "talvex/dispatch.h"
#include "talvex/variant.h"

namespace tlx {

// List-type controls and text boxes into one-dimensional arrays.
int16_t ComboBoxToOneDArray(const ObjRef& cb, Variant& varArray);
int16_t ListBoxToOneDArray(const ObjRef& lb, Variant& varArray, bool blnSelectedOnly = false);
int16_t DirListBoxToOneDArray(const ObjRef& dlb, Variant& varArray);
int16_t DriveListBoxToOneDArray(const ObjRef& dlb, Variant& varArray);
int16_t FileListBoxToOneDArray(const ObjRef& flb, Variant& varArray, bool blnSelectedOnly = false);
int16_t TextBoxToOneDArray(const ObjRef& tb, Variant& varArray);
int16_t RichTextBoxToOneDArray(const ObjRef& tb, Variant& varArray);

// Grids and the list view into two-dimensional arrays, and an array into a flex grid.
int16_t DataGridToArray(const ObjRef& dg, Variant& varArray, bool blnIncludeHeadings = false);
int16_t ListViewToArray(const ObjRef& lv, Variant& varArray, bool blnSelectedOnly = false,
                        bool blnIncludeHeadings = false);
int16_t FlexGridToArray(const ObjRef& fg, Variant& varArray, int32_t lngStartRow = 0, int32_t lngStartCol = 0,
                        int32_t lngEndRow = 0, int16_t lngEndCol = 0);
int16_t HFlexGridToArray(const ObjRef& fg, Variant& varArray, int32_t lngStartRow = 0, int32_t lngStartCol = 0,
                         int32_t lngEndRow = 0, int16_t lngEndCol = 0);
int16_t TwoDArrayToFlexGrid(Variant& varArray, const ObjRef& fg);

// Tree views to and from outline arrays (row r, column c: a node of depth c).
int16_t TreeViewToTwoDArray(const ObjRef& tv, Variant& varArray, bool blnSuppressRows = false);
int16_t TwoDArrayToTreeView(Variant& varArray, const ObjRef& tv, bool blnExpandAll = false);

}  // namespace tlx
