// List-type controls and text boxes into one-dimensional arrays.
#include <algorithm>

#include "automation/cls_concat.h"
#include "automation/control_iids.h"
#include "talvex/convert.h"
#include "controls/control_arrays.h"
#include "controls/controls.h"

namespace tlx {

namespace {

using controls::redimOneD;

bool isControl(const ObjRef& obj, std::string_view interfaceId) { return obj && obj->supports(interfaceId); }

int32_t listCount(const ObjRef& obj) { return toI4(getProperty(obj, "ListCount")); }
Variant entry(const ObjRef& obj, int32_t i) { return getProperty(obj, "List", {Variant(i)}); }
bool selected(const ObjRef& obj, int32_t i) { return toBool(getProperty(obj, "Selected", {Variant(i)})); }

// Every entry, List(0) to List(ListCount - 1).
int16_t allEntries(const ObjRef& obj, std::string_view interfaceId, Variant& varArray) {
  if (!isControl(obj, interfaceId)) return -1;
  if (!varArray.isArray()) return -2;
  try {
    const int32_t n = listCount(obj);
    SafeArray& a = redimOneD(varArray, n);
    for (int32_t i = 0; i < n; ++i) a.at(i) = entry(obj, i);
    return 1;
  } catch (...) {
    return -3;
  }
}

int16_t selectedEntries(const ObjRef& lb, Variant& varArray) {
  try {
    const int32_t n = listCount(lb);
    int32_t count = 0;
    for (int32_t i = 0; i < n; ++i) count += selected(lb, i) ? 1 : 0;
    SafeArray& a = redimOneD(varArray, count);
    for (int32_t i = 0, next = 0; i < n; ++i)
      if (selected(lb, i)) a.at(next++) = entry(lb, i);
    return 1;
  } catch (...) {
    return -3;
  }
}

// The text's lines: a line feed ends one, carriage returns are dropped wherever they stand.
void textLines(const ObjRef& tb, Variant& varArray) {
  std::u16string text(toBStr(getProperty(tb, "Text")).view());
  if (text.empty() || text.back() != u'\n') text += u'\n';
  const auto n = static_cast<int32_t>(std::count(text.begin(), text.end(), u'\n'));
  SafeArray& a = redimOneD(varArray, n);
  clsConcat line;
  int32_t next = 0;
  for (char16_t c : text) {
    if (c == u'\n') {
      a.at(next++) = Variant(line.GetString());
      line.ReInit();
    } else if (c != u'\r') {
      line.SConcat(c);
    }
  }
}

}  // namespace

int16_t ComboBoxToOneDArray(const ObjRef& cb, Variant& varArray) { return allEntries(cb, iid::ComboBox, varArray); }
int16_t DirListBoxToOneDArray(const ObjRef& dlb, Variant& varArray) {
  return allEntries(dlb, iid::DirListBox, varArray);
}
int16_t DriveListBoxToOneDArray(const ObjRef& dlb, Variant& varArray) {
  return allEntries(dlb, iid::DriveListBox, varArray);
}

int16_t ListBoxToOneDArray(const ObjRef& lb, Variant& varArray, bool blnSelectedOnly) {
  if (!blnSelectedOnly) return allEntries(lb, iid::ListBox, varArray);
  if (!isControl(lb, iid::ListBox)) return -1;
  if (!varArray.isArray()) return -2;
  return selectedEntries(lb, varArray);
}

// Grows the array one taken entry at a time; with nothing taken the caller's array stays.
int16_t FileListBoxToOneDArray(const ObjRef& flb, Variant& varArray, bool blnSelectedOnly) {
  if (!isControl(flb, iid::FileListBox)) return -1;
  if (!varArray.isArray()) return -2;
  try {
    int32_t taken = 0;
    for (int32_t i = 0, n = listCount(flb); i < n; ++i) {
      if (blnSelectedOnly && !selected(flb, i)) continue;
      Variant name = entry(flb, i);
      redimPreserveVariant(varArray, {Bound{0, taken + 1}}).at(taken++) = std::move(name);
    }
    return 1;
  } catch (...) {
    return -3;
  }
}

int16_t TextBoxToOneDArray(const ObjRef& tb, Variant& varArray) {
  if (!isControl(tb, iid::TextBox)) return -1;
  if (!varArray.isArray()) return -2;
  try {
    textLines(tb, varArray);
    return 1;
  } catch (...) {
    return -3;
  }
}

int16_t RichTextBoxToOneDArray(const ObjRef& tb, Variant& varArray) {
  if (!varArray.isArray()) return -1;
  try {
    textLines(tb, varArray);
    return 1;
  } catch (...) {
    return -2;
  }
}

}  // namespace tlx
