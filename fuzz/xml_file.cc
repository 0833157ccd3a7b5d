// XML files: any bytes give a recordset or the parser's error through the XML data source, and
// a document or a parse error through the DOM, whose nodes can then all be walked.
#include "talvex/convert.h"
#include "talvex/registry.h"
#include "automation/strings.h"
#include "fuzz_input.h"
#include "platform/ado/ado.h"
#include "platform/xmldom/dom_document.h"

using namespace tlx;

namespace {

// Every record's values, chapters included, as a host reads them.
void readAll(const ObjRef& rs, int depth) {
  const int32_t fields = toI4(getProperty(objectOf(getProperty(rs, "Fields")), "Count"));
  FUZZ_CHECK(fields >= 1);
  while (!toBool(getProperty(rs, "EOF"))) {
    for (int32_t i = 0; i < fields; ++i) {
      const Variant v = getProperty(objectOf(getProperty(rs, "Fields", {Variant(i)})), "Value");
      if (v.isObject() && depth < 4) readAll(v.obj(), depth + 1);
    }
    callMethod(rs, "MoveNext");
  }
}

size_t countNodes(const ObjRef& node) {
  size_t n = 1;
  for (const Variant& child : objectOf(getProperty(node, "childNodes"))->enumerate()) n += countNodes(child.obj());
  return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool registered = [] {
    registerDataAccess();
    registerDomDocuments();
    return true;
  }();
  (void)registered;
  tlxfuzz::Input in(data, size);
  const BStr path(u16(tlxfuzz::writeScratch("in.xml", in.rest())));

  ObjRef rs = createObject("ADODB.Recordset");
  putProperty(rs, "ActiveConnection", Variant(u"Provider=MSDAOSP; Data Source=MSXML2.DSOControl;"));
  bool opened = true;
  try {
    callMethod(rs, "Open", {Variant(path)});
  } catch (const ComError& e) {
    opened = false;
    FUZZ_CHECK(!e.description().empty());
  }
  if (opened) readAll(rs, 0);

  ObjRef doc = createObject("Msxml2.DOMDocument.4.0");
  const bool loaded = toBool(callMethod(doc, "Load", {Variant(path)}));
  const int32_t code = toI4(getProperty(objectOf(getProperty(doc, "parseError")), "errorCode"));
  FUZZ_CHECK(loaded == (code == 0));
  if (loaded) {
    FUZZ_CHECK(countNodes(doc) >= 1);
    getProperty(doc, "xml");
  }
  return 0;
}
