// The XML data source behind the recordset: one test per mapping rule, read through the
// recordset's members as a host reads them.
#include "xml_support.h"

namespace tlxtest {
namespace {

using Fields = std::vector<std::pair<std::string, int>>;

// Each file's fields, with their types, and its records as text.
TEST_F(XmlTest, FieldsAndRecordsFollowTheMappingRules) {
  const struct {
    const char* rule;
    std::string xml;
    Fields fields;
    Rows records;
  } cases[] = {
      {"each child of the root is a record, whatever its name", "<t><a><x>1</x></a><b><x>2</x></b><a><x>3</x></a></t>",
       {{"x", 202}, {"$Text", 202}}, {{"1", "1"}, {"2", "2"}, {"3", "3"}}},
      {"attributes come first, then elements in the order first met; missing fields are Null",
       "<t><r><b>1</b></r><r id='7'><c>2</c><b>3</b></r><r><a>4</a></r></t>",
       {{"id", 202}, {"b", 202}, {"c", 202}, {"a", 202}, {"$Text", 202}},
       {{"<null>", "1", "<null>", "<null>", "1"}, {"7", "3", "2", "<null>", "23"}, {"<null>", "<null>", "<null>", "4", "4"}}},
      {"an attribute named like an element is marked", "<t><r id='1'><id>A</id></r><r id='2'/></t>",
       {{"!id", 202}, {"id", 202}, {"$Text", 202}}, {{"1", "A", "A"}, {"2", "<null>", ""}}},
      {"entities, character references and CDATA become text",
       "<?xml version='1.0' encoding='ISO-8859-1'?>\n<!DOCTYPE t [<!ENTITY co 'Acme &amp; Co'>]>"
       "<t><r by='&co;'><n>&co; &#x20AC;5 \xE9</n><c><![CDATA[<raw>]]></c></r></t>",
       {{"by", 202}, {"n", 202}, {"c", 202}, {"$Text", 202}},
       {{"Acme & Co", "Acme & Co \u20AC5 \u00E9", "<raw>", "Acme & Co \u20AC5 \u00E9<raw>"}}},
      {"a table without records has only text", "<t>just text</t>", {{"$Text", 202}}, {}},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.rule);
    ObjRef rs = openXml(file("t.xml", c.xml));
    EXPECT_EQ(fieldsOf(rs), c.fields);
    EXPECT_EQ(toI4(getProperty(rs, "RecordCount")), static_cast<int32_t>(c.records.size()));
    EXPECT_EQ(recordsOf(rs), c.records);
  }
}

TEST_F(XmlTest, TextIsTheRecordsTextInDocumentOrderWithoutIndentation) {
  ObjRef rs = openXml(file("t.xml",
                           "<t>\n  <r>\n    <a>one</a>\n    <b>two <i>and</i> three</b>\n    tail\n  </r>\n"
                           "  <r><a>  spaced  </a><e/></r>\n</t>"));
  Rows rows = recordsOf(rs);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].back(), "onetwo and three\n    tail\n  ");
  // b has an element of its own: a chapter, whose record's text starts before that element.
  callMethod(rs, "MoveFirst");
  ObjRef b = objectOf(getProperty(fieldOf(rs, 1), "Value"));
  EXPECT_EQ(fieldsOf(b), (Fields{{"i", 202}, {"$Text", 202}}));
  EXPECT_EQ(recordsOf(b), (Rows{{"and", "two and three"}}));
  // A text field keeps its text as written; an empty element is an empty string, not Null.
  EXPECT_EQ(rows[1][0], "  spaced  ");
  EXPECT_EQ(rows[1].back(), "  spaced  ");
  EXPECT_EQ(fieldsOf(rs)[2], (std::pair<std::string, int>{"e", 202}));
  EXPECT_EQ(rows[1][2], "");
  EXPECT_EQ(rows[0][2], "<null>");
}

TEST_F(XmlTest, RepeatedNestedOrAttributedElementsAreChaptersOfTheSameRules) {
  ObjRef rs = openXml(file("t.xml",
                           "<t><r><n>x</n><tag>a</tag><size><w>5</w></size><p cur='EUR'>3</p></r>"
                           "<r><n>y</n><tag>b</tag><tag>c</tag><size><w>6</w><h>2</h></size></r></t>"));
  EXPECT_EQ(fieldsOf(rs), (Fields{{"n", 202}, {"tag", 136}, {"size", 136}, {"p", 136}, {"$Text", 202}}));
  // The first record's single tag was text until the second record repeated it.
  ObjRef tags = objectOf(getProperty(fieldOf(rs, 1), "Value"));
  EXPECT_EQ(fieldsOf(tags), (Fields{{"$Text", 202}}));
  EXPECT_EQ(recordsOf(tags), (Rows{{"a"}}));
  ObjRef price = objectOf(getProperty(fieldOf(rs, 3), "Value"));
  EXPECT_EQ(recordsOf(price), (Rows{{"EUR", "3"}}));
  callMethod(rs, "MoveNext");
  EXPECT_EQ(recordsOf(objectOf(getProperty(fieldOf(rs, 1), "Value"))), (Rows{{"b"}, {"c"}}));
  // A chapter's fields are those of all its records, one level down.
  ObjRef size = objectOf(getProperty(fieldOf(rs, 2), "Value"));
  EXPECT_EQ(fieldsOf(size), (Fields{{"w", 202}, {"h", 202}, {"$Text", 202}}));
  EXPECT_EQ(recordsOf(size), (Rows{{"6", "2", "62"}}));
  // No record of its own: an empty chapter.
  EXPECT_EQ(toI4(getProperty(objectOf(getProperty(fieldOf(rs, 3), "Value")), "RecordCount")), 0);
}

TEST_F(XmlTest, OpenFailsWithTheParsersMessageOrRefusesATableMuchLargerThanItsValues) {
  // Files of scattered names would lay out as tables of empty cells far larger than themselves.
  std::string diagonal = "<t>", late = "<t><r>", wide = "<t><r>";
  for (int i = 0; i < 20000; ++i) diagonal += "<r><f" + std::to_string(i) + ">v</f" + std::to_string(i) + "></r>";
  for (int i = 0; i < 5000; ++i) late += "<f" + std::to_string(i) + ">v</f" + std::to_string(i) + ">";
  late += "</r>";
  for (int i = 0; i < 5000; ++i) late += "<r><f0>v</f0></r>";
  for (int i = 0; i < 3000; ++i) wide += "<f" + std::to_string(i) + ">v</f" + std::to_string(i) + ">";
  const std::string none = (dir / "none.xml").string();
  const std::pair<std::string, std::string> cases[] = {
      {file("bad.xml", "<t><r>\n<a>1</b></r></t>"), "Opening and ending tag mismatch: a line 2 and b (line 2, position 9)"},
      {none, "The system cannot locate the object specified: " + none},
      {file("empty.xml", ""), "Document is empty (line 1, position 1)"},
      {dir.string(), "The system cannot locate the object specified: " + dir.string()},
      {file("diagonal.xml", diagonal + "</t>"),
       "The table has too many fields for the values the file holds. (line 1, position 31820)"},
      {file("late.xml", late + "</t>"), "The table's 5001 records and 5001 fields are too many cells for the values the file holds."},
      // A table as wide as its values are many stays readable.
      {file("wide.xml", wide + "</r><r><f1>w</f1></r></t>"), "opened"},
  };
  for (auto& [path, message] : cases) {
    std::string got = "opened";
    try {
      openXml(path);
    } catch (const ComError& e) {
      got = e.description();
    }
    EXPECT_EQ(got, message) << path;
  }
}

TEST_F(XmlTest, OnlyTheXmlDataSourcesOfTheProviderAreAccepted) {
  const std::string path = file("t.xml", "<t><r><a>1</a></r></t>");
  for (const char16_t* accepted : {u"Provider=MSDAOSP; Data Source=MSXML2.DSOControl;",
                                   u"provider=msdaosp;data source=msxml2.dsocontrol.2.6",
                                   u"Provider=MSDAOSP; Data Source=MSXML2.DSOControl.3.0;"}) {
    ObjRef rs = createObject("ADODB.Recordset");
    putProperty(rs, "ActiveConnection", Variant(accepted));
    callMethod(rs, "Open", {Variant(u16(path))});
    EXPECT_EQ(toI4(getProperty(rs, "RecordCount")), 1);
    // Read-only: a recordset of a file takes no changes.
    EXPECT_THROW(callMethod(rs, "AddNew"), ComError);
  }
  ObjRef rs = createObject("ADODB.Recordset");
  try {
    putProperty(rs, "ActiveConnection", Variant(u"Provider=MSDAOSP; Data Source=MSXML2.DSOControl.9.9;"));
    FAIL() << "accepted an unknown data source";
  } catch (const ComError& e) {
    EXPECT_EQ(e.number(), hr::basicError(3706));
  }
}

}  // namespace
}  // namespace tlxtest
