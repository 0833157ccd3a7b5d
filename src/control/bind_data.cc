// Recordsets and database tables.
#include "control/bind.h"
#include "data/data.h"

namespace tlx {

std::span<const Binding> dataBindings() {
  static constexpr Binding bindings[] = {
      bind<"DatabaseTableToArray", DatabaseTableToArray>(),
      bind<"RecordsetToArray", RecordsetToArray>(),
      bind<"RecordsetToTextFile", RecordsetToTextFile>(),
      bind<"DatabaseTableToTextFile", DatabaseTableToTextFile>(),
  };
  return bindings;
}

}  // namespace tlx
