#include "control/bind.h"
#include "xml/xml_files.h"

namespace tlx {

std::span<const Binding> xmlBindings() {
  static constexpr Binding bindings[] = {
      bind<"XMLFileToArray", XMLFileToArray>(),
      bind<"XMLFileToRecordset", XMLFileToRecordset>(),
      bind<"XMLFileToTreeView", XMLFileToTreeView>(),
  };
  return bindings;
}

}  // namespace tlx
