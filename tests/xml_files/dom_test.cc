// The DOM component: loading, the parse error, the node members, XPath, building and saving.
#include "xml_support.h"

namespace tlxtest {
namespace {

std::string str(const Variant& v) { return show(v); }
Variant get(const ObjRef& o, const char* member, std::vector<Variant> args = {}) { return getProperty(o, member, std::move(args)); }
ObjRef obj(const ObjRef& o, const char* member, std::vector<Variant> args = {}) { return objectOf(get(o, member, std::move(args))); }

TEST_F(XmlTest, EveryIdentifierGivesADocumentThatLoadsAFile) {
  const std::string path = file("t.xml", "<?xml version='1.0'?>\n<r a='1'>\n  <i>x</i>\n  <i>y<b/></i>\n</r>");
  for (const char* id : {"Msxml2.DOMDocument.4.0", "Msxml2.DOMDocument.3.0", "Msxml2.DOMDocument.2.6", "Msxml.DOMDocument"}) {
    ObjRef doc = createObject(id);
    putProperty(doc, "async", Variant(false));
    ASSERT_TRUE(toBool(callMethod(doc, "Load", {Variant(u16(path))}))) << id;
    EXPECT_EQ(toI4(get(obj(doc, "parseError"), "errorCode")), 0);
    EXPECT_EQ(toI4(get(doc, "readyState")), 4);
    ObjRef root = obj(doc, "documentElement");
    EXPECT_EQ(str(get(root, "nodeName")), "r");
    EXPECT_EQ(toI4(get(root, "nodeType")), 1);
    // Indentation is gone: two children, both elements.
    ObjRef kids = obj(root, "childNodes");
    ASSERT_EQ(toI4(get(kids, "length")), 2);
    ObjRef second = objectOf(callMethod(kids, "Item", {Variant(int32_t(1))}));
    EXPECT_EQ(str(get(second, "text")), "y");
    EXPECT_EQ(str(get(obj(second, "firstChild"), "nodeName")), "#text");
    EXPECT_EQ(str(get(obj(second, "firstChild"), "nodeTypedValue")), "y");
    EXPECT_EQ(str(get(obj(obj(second, "parentNode"), "parentNode"), "nodeName")), "#document");
    EXPECT_EQ(str(get(obj(obj(root, "firstChild"), "nextSibling"), "xml")), "<i>y<b/></i>");
    EXPECT_EQ(str(callMethod(root, "getAttribute", {Variant(u"a")})), "1");
    EXPECT_EQ(str(callMethod(root, "getAttribute", {Variant(u"none")})), "<null>");
    EXPECT_EQ(str(get(obj(obj(root, "attributes"), "Item", {Variant(int32_t(0))}), "nodeValue")), "1");
  }
  // Whitespace nodes stay when asked.
  ObjRef doc = createObject("Msxml2.DOMDocument.3.0");
  putProperty(doc, "preserveWhiteSpace", Variant(true));
  ASSERT_TRUE(toBool(callMethod(doc, "LoadXML", {Variant(u"<r>\n  <i/>\n</r>")})));
  EXPECT_EQ(toI4(get(obj(obj(doc, "documentElement"), "childNodes"), "length")), 3);
}

TEST_F(XmlTest, ParseErrorSaysWhatAndWhere) {
  ObjRef doc = createObject("Msxml2.DOMDocument.4.0");
  EXPECT_FALSE(toBool(callMethod(doc, "Load", {Variant(u16(file("bad.xml", "<r>\n  <i>x</j>\n</r>")))})));
  ObjRef e = obj(doc, "parseError");
  EXPECT_NE(toI4(get(e, "errorCode")), 0);
  EXPECT_EQ(str(get(e, "reason")), "Opening and ending tag mismatch: i line 2 and j");
  EXPECT_EQ(toI4(get(e, "line")), 2);
  EXPECT_EQ(str(get(e, "srcText")), "  <i>x</j>");
  EXPECT_EQ(str(get(doc, "documentElement")), "<object>");
  EXPECT_FALSE(get(doc, "documentElement").obj());
  EXPECT_FALSE(toBool(callMethod(doc, "Load", {Variant(u16((dir / "none.xml").string()))})));
  EXPECT_EQ(toI4(get(obj(doc, "parseError"), "errorCode")), static_cast<int32_t>(0x800C0005));
  // A later good load clears it.
  EXPECT_TRUE(toBool(callMethod(doc, "LoadXML", {Variant(u"<ok/>")})));
  EXPECT_EQ(toI4(get(obj(doc, "parseError"), "errorCode")), 0);
}

TEST_F(XmlTest, XPathSelectsNodesAndAttributes) {
  ObjRef doc = createObject("Msxml2.DOMDocument.4.0");
  ASSERT_TRUE(toBool(callMethod(doc, "LoadXML", {Variant(u"<r><i n='1'>a</i><i n='2'>b</i><j/></r>")})));
  ObjRef found = objectOf(callMethod(doc, "selectNodes", {Variant(u"//i[@n>1] | //j")}));
  ASSERT_EQ(toI4(get(found, "length")), 2);
  EXPECT_EQ(str(get(objectOf(callMethod(found, "Item", {Variant(int32_t(0))})), "text")), "b");
  ObjRef root = obj(doc, "documentElement");
  EXPECT_EQ(str(get(objectOf(callMethod(root, "selectSingleNode", {Variant(u"i/@n")})), "text")), "1");
  EXPECT_FALSE(callMethod(root, "selectSingleNode", {Variant(u"k")}).obj());
  EXPECT_THROW(callMethod(root, "selectNodes", {Variant(u"count(i)")}), ComError);
  EXPECT_THROW(callMethod(root, "selectNodes", {Variant(u"i[")}), ComError);
}

TEST_F(XmlTest, BuildChangeAndSave) {
  ObjRef doc = createObject("Msxml.DOMDocument");
  ObjRef root = objectOf(callMethod(doc, "createElement", {Variant(u"list")}));
  callMethod(doc, "appendChild", {Variant(root)});
  for (const char16_t* t : {u"one", u"tw\u00F6"}) {
    ObjRef item = objectOf(callMethod(doc, "createElement", {Variant(u"item")}));
    putProperty(item, "text", Variant(t));
    callMethod(item, "setAttribute", {Variant(u"k"), Variant(u"a&b")});
    callMethod(root, "appendChild", {Variant(item)});
  }
  EXPECT_EQ(str(get(root, "xml")), "<list><item k=\"a&amp;b\">one</item><item k=\"a&amp;b\">tw\u00F6</item></list>");
  // A second root, a node under itself, an invalid name: refused.
  EXPECT_THROW(callMethod(doc, "appendChild", {Variant(objectOf(callMethod(doc, "createElement", {Variant(u"x")})))}), ComError);
  EXPECT_THROW(callMethod(obj(root, "firstChild"), "appendChild", {Variant(root)}), ComError);
  EXPECT_THROW(callMethod(doc, "createElement", {Variant(u"1bad")}), ComError);
  // Moving a node, and text replacing children that the host still holds.
  ObjRef first = obj(root, "firstChild");
  ObjRef firstText = obj(first, "firstChild");
  callMethod(root, "appendChild", {Variant(first)});
  putProperty(first, "text", Variant(u"uno"));
  EXPECT_EQ(str(get(firstText, "nodeValue")), "one");
  EXPECT_EQ(str(get(root, "text")), "tw\u00F6uno");
  const std::string path = (dir / "out.xml").string();
  callMethod(doc, "save", {Variant(u16(path))});
  ObjRef back = createObject("Msxml2.DOMDocument.3.0");
  ASSERT_TRUE(toBool(callMethod(back, "Load", {Variant(u16(path))})));
  EXPECT_EQ(str(get(obj(back, "documentElement"), "xml")), str(get(root, "xml")));
  EXPECT_THROW(callMethod(doc, "save", {Variant(u16((dir / "no" / "such.xml").string()))}), ComError);
  // Nodes outlive a reload of their document.
  ASSERT_TRUE(toBool(callMethod(doc, "LoadXML", {Variant(u"<other/>")})));
  EXPECT_EQ(str(get(first, "xml")), "<item k=\"a&amp;b\">uno</item>");
}

}  // namespace
}  // namespace tlxtest
