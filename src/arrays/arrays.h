// Variant arrays to and from delimited text, text files, sorting, arithmetic and the two keyed
// containers. Every function returns the method's 16-bit result code; none raises.
#pragma once

#include <cstdint>

#include "talvex/dispatch.h"
#include "talvex/variant.h"

namespace tlx {

// Delimited text and text files.
int16_t TextFileToArray(const BStr& strTextFile, Variant& varArray, BStr strDelimiter = u",",
                        bool blnRemoveQuotes = false);
int16_t TextFileToOneDArray(const BStr& strTextFile, Variant& varArray);
int16_t MultiLineTextToOneDArray(BStr strText, Variant& varArray, BStr strDelimiter = u",");
int16_t TwoDArrayToText(Variant& varArray, BStr& strText, BStr& strDelimiter, BStr& strEndOfRowChar,
                        bool blnQuotes = false);
int16_t TwoDArrayToTextFile(Variant& varArray, const BStr& strTextFile, BStr strDelimiter = u",",
                            bool blnQuotes = false);
int16_t OneDArrayToTextFile(Variant& varArray, const BStr& strTextFile, bool blnQuotes = false);
int16_t OneDArrayToText(Variant& varArray, BStr& strText, BStr& strEndOfRowChar,
                        const BStr& strEndOfArrayChar = u"", bool blnQuotes = false);

// Sorting and arithmetic.
enum SortOrderType : int32_t { tlxAscending = 0, tlxDescending = 1 };
enum ComputeType : int32_t { tlxAdd = 0, tlxSubtract = 1, tlxMultiply = 2, tlxDivide = 3 };

int16_t SortOneDArray(Variant& varArray, int32_t lngSortOrder = tlxAscending);
int16_t ComputeOneDArray(Variant& varArray, int32_t lngCompute, double dblNumber);
int16_t ComputeTwoDArray(Variant& varArray, int32_t lngCompute, double dblNumber);
int16_t ComputeThreeDArray(Variant& varArray, int32_t lngCompute, double dblNumber);

// Dictionary and Collection objects, reached by member name.
int16_t TwoDArrayToDictionary(Variant& varArray, const ObjRef& dt);
int16_t TwoDArrayToCollection(Variant& varArray, const ObjRef& cl);
int16_t DictionaryToArray(const ObjRef& dt, Variant& varArray, bool blnIncludeKeys = false);
int16_t CollectionToOneDArray(const ObjRef& cl, Variant& varArray);


}  // namespace tlx
