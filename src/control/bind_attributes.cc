// The block attribute methods.
#include "attributes/attribute_methods.h"
#include "control/bind.h"

namespace tlx {

std::span<const Binding> attributesBindings() {
  static constexpr Binding bindings[] = {
      bind<"PrepTemplate", PrepTemplate>(),
      bind<"AttributesToFile", AttributesToFile>(),
      bind<"AttributesToArray", AttributesToArray>(),
      bind<"AttributesToRecordset", AttributesToRecordset>(),
      bind<"AttributesToDatabaseTable", AttributesToDatabaseTable>(),
      bind<"AttributesToClipboard", AttributesToClipboard>(),
      bind<"ReplaceAttributes", ReplaceAttributes>(),
  };
  return bindings;
}

}  // namespace tlx
