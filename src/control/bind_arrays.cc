// Delimited text, sorting, arithmetic and containers.
#include "arrays/arrays.h"
#include "control/bind.h"

namespace tlx {

static_assert(declaresConstants("SortOrderType", {tlxAscending, tlxDescending}));
static_assert(declaresConstants("ComputeType", {tlxAdd, tlxSubtract, tlxMultiply, tlxDivide}));

std::span<const Binding> arraysBindings() {
  static constexpr Binding bindings[] = {
      bind<"SortOneDArray", SortOneDArray>(),
      bind<"ComputeOneDArray", ComputeOneDArray>(),
      bind<"ComputeTwoDArray", ComputeTwoDArray>(),
      bind<"ComputeThreeDArray", ComputeThreeDArray>(),
      bind<"TwoDArrayToDictionary", TwoDArrayToDictionary>(),
      bind<"TwoDArrayToCollection", TwoDArrayToCollection>(),
      bind<"DictionaryToArray", DictionaryToArray>(),
      bind<"CollectionToOneDArray", CollectionToOneDArray>(),
      bind<"TextFileToArray", TextFileToArray>(),
      bind<"TextFileToOneDArray", TextFileToOneDArray>(),
      bind<"MultiLineTextToOneDArray", MultiLineTextToOneDArray>(),
      bind<"TwoDArrayToText", TwoDArrayToText>(),
      bind<"TwoDArrayToTextFile", TwoDArrayToTextFile>(),
      bind<"OneDArrayToTextFile", OneDArrayToTextFile>(),
      bind<"OneDArrayToText", OneDArrayToText>(),
  };
  return bindings;
}

}  // namespace tlx
