// Delimited text, sorting, arithmetic and containers, bound in declaration order of their
// parameters (by-reference strings are the caller's variables and are written back).
#include "arrays/arrays.h"
#include "control/bindings.h"
#include "control/talvex.h"

namespace tlx {

namespace {

using A = CallArgs;

Variant code(int16_t c) { return Variant(c); }

}  // namespace

std::span<const Binding> arraysBindings() {
  static const std::vector<Binding> bindings = {
      // SortOneDArray(varArray, [ByVal lngSortOrder As SortOrderType])
      {"SortOneDArray", [](TALVEX&, A& a) { return code(SortOneDArray(a.var(0), a.i4(1))); }},
      // ComputeXDArray(varArray, lngCompute As ComputeType, dblNumber As Double)
      {"ComputeOneDArray", [](TALVEX&, A& a) { return code(ComputeOneDArray(a.var(0), a.i4(1), a.r8(2))); }},
      {"ComputeTwoDArray", [](TALVEX&, A& a) { return code(ComputeTwoDArray(a.var(0), a.i4(1), a.r8(2))); }},
      {"ComputeThreeDArray",
       [](TALVEX&, A& a) { return code(ComputeThreeDArray(a.var(0), a.i4(1), a.r8(2))); }},
      // TwoDArrayToDictionary(varArray, dt As Object); TwoDArrayToCollection(varArray, cl As Collection)
      {"TwoDArrayToDictionary", [](TALVEX&, A& a) { return code(TwoDArrayToDictionary(a.var(0), a.obj(1))); }},
      {"TwoDArrayToCollection", [](TALVEX&, A& a) { return code(TwoDArrayToCollection(a.var(0), a.obj(1))); }},
      // DictionaryToArray(dt As Object, varArray, [blnIncludeKeys]); CollectionToOneDArray(cl, varArray)
      {"DictionaryToArray",
       [](TALVEX&, A& a) { return code(DictionaryToArray(a.obj(0), a.var(1), a.boolean(2))); }},
      {"CollectionToOneDArray", [](TALVEX&, A& a) { return code(CollectionToOneDArray(a.obj(0), a.var(1))); }},
      // TextFileToArray(strTextFile, varArray, [ByVal strDelimiter = ","], [blnRemoveQuotes])
      {"TextFileToArray",
       [](TALVEX&, A& a) { return code(TextFileToArray(a.str(0), a.var(1), a.str(2), a.boolean(3))); }},
      // TextFileToOneDArray(strTextFile, varArray)
      {"TextFileToOneDArray", [](TALVEX&, A& a) { return code(TextFileToOneDArray(a.str(0), a.var(1))); }},
      // MultiLineTextToOneDArray(ByVal strText, varArray, [ByVal strDelimiter = ","])
      {"MultiLineTextToOneDArray",
       [](TALVEX&, A& a) { return code(MultiLineTextToOneDArray(a.str(0), a.var(1), a.str(2))); }},
      // TwoDArrayToText(varArray, strText, strDelimiter, strEndOfRowChar, [blnQuotes])
      {"TwoDArrayToText",
       [](TALVEX&, A& a) { return code(TwoDArrayToText(a.var(0), a.str(1), a.str(2), a.str(3), a.boolean(4))); }},
      // TwoDArrayToTextFile(varArray, strTextFile, [ByVal strDelimiter = ","], [blnQuotes])
      {"TwoDArrayToTextFile",
       [](TALVEX&, A& a) { return code(TwoDArrayToTextFile(a.var(0), a.str(1), a.str(2), a.boolean(3))); }},
      // OneDArrayToTextFile(varArray, strTextFile, [blnQuotes])
      {"OneDArrayToTextFile",
       [](TALVEX&, A& a) { return code(OneDArrayToTextFile(a.var(0), a.str(1), a.boolean(2))); }},
      // OneDArrayToText(varArray, strText, strEndOfRowChar, [strEndOfArrayChar], [blnQuotes])
      {"OneDArrayToText",
       [](TALVEX&, A& a) { return code(OneDArrayToText(a.var(0), a.str(1), a.str(2), a.str(3), a.boolean(4))); }},
  };
  return bindings;
}

}  // namespace tlx
