#include "control/bindings.h"
#include "control/talvex.h"
#include "xml/xml_files.h"

namespace tlx {

std::span<const Binding> xmlBindings() {
  static const std::vector<Binding> bindings = {
      // XMLFileToArray(strXMLFile, varArray, [blnIncludeHeadings])
      {"XMLFileToArray", [](TALVEX&, CallArgs& a) { return Variant(XMLFileToArray(a.str(0), a.var(1), a.boolean(2))); }},
      // XMLFileToRecordset(strXMLFile, objRecd)
      {"XMLFileToRecordset", [](TALVEX&, CallArgs& a) { return Variant(XMLFileToRecordset(a.str(0), a.obj(1))); }},
      // XMLFileToTreeView(strXMLFile, tv, [blnExpandAll])
      {"XMLFileToTreeView", [](TALVEX&, CallArgs& a) { return Variant(XMLFileToTreeView(a.str(0), a.obj(1), a.boolean(2))); }},
  };
  return bindings;
}

}  // namespace tlx
