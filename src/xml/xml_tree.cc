// XML files into a tree view: the file parsed by a DOM document, every node of it copied under
// the tree's existing nodes, all by member name. Continue-on-error mode throughout.
#include "talvex/convert.h"
#include "automation/frame.h"
#include "talvex/registry.h"
#include "xml/xml_files.h"

namespace tlx {

namespace {

constexpr int32_t tvwChild = 4;

ObjRef newDomDocument() {
  for (const char* progId : {"Msxml2.DOMDocument.4.0", "Msxml2.DOMDocument.3.0", "Msxml2.DOMDocument.2.6",
                             "Msxml.DOMDocument"}) {
    ErrorFrame frame;
    ObjRef doc;
    if (frame.step([&] { doc = createObject(progId); }) && doc) return doc;
  }
  return {};
}

// Adds a tree node for `node` under `parent` (at the top when there is none) and walks its
// children depth first in document order. The parser bounds how deep a document nests, and so
// how deep this recursion goes. A node that cannot be added takes its branch with it: its
// children have nowhere to go.
void XMLNodeToTreeNode(const ObjRef& node, const ObjRef& tv, bool expandAll, const ObjRef& parent) {
  ErrorFrame frame;
  ObjRef added;
  frame.step([&] {
    ObjRef nodes = objectOf(getProperty(tv, "Nodes"));
    added = objectOf(parent ? callMethod(nodes, "Add", {Variant(parent), Variant(tvwChild)}) : callMethod(nodes, "Add"));
  });
  if (!added) return;
  if (expandAll) frame.step([&] { putProperty(added, "Expanded", Variant(true)); });
  frame.step([&] {
    putProperty(added, "Text", getProperty(node, "nodeName"));
    const BStr name = toBStr(getProperty(added, "Text"));
    if (name == std::u16string_view(u"#text"))
      putProperty(added, "Text", getProperty(node, "nodeTypedValue"));
    else
      putProperty(added, "Text", Variant(u"<" + std::u16string(name.view()) + u">"));
  });
  ObjRef children;
  int32_t count = 0;
  frame.step([&] {
    children = objectOf(getProperty(node, "childNodes"));
    count = toI4(getProperty(children, "length"));
  });
  for (int32_t i = 0; i < count; ++i) {
    ObjRef child;
    if (frame.step([&] { child = objectOf(callMethod(children, "Item", {Variant(i)})); }))
      XMLNodeToTreeNode(child, tv, expandAll, added);
  }
}

}  // namespace

int16_t XMLFileToTreeView(const BStr& strXMLFile, const ObjRef& tv, bool blnExpandAll) {
  ObjRef doc = newDomDocument();
  if (!doc) return -1;
  ErrorFrame frame;
  frame.step([&] { putProperty(doc, "async", Variant(false)); });
  frame.step([&] { callMethod(doc, "Load", {Variant(strXMLFile)}); });
  if (frame.pending()) return -2;
  int32_t errorCode = 0;
  if (!frame.step([&] { errorCode = toI4(getProperty(objectOf(getProperty(doc, "parseError")), "errorCode")); }) ||
      errorCode != 0)
    return -3;
  int32_t state = 4;
  frame.step([&] { state = toI4(getProperty(doc, "readyState")); });
  if (state == 4) {
    ObjRef root;
    frame.step([&] { root = objectOf(getProperty(doc, "documentElement")); });
    if (root) XMLNodeToTreeNode(root, tv, blnExpandAll, ObjRef());
  }
  return 1;
}

}  // namespace tlx
