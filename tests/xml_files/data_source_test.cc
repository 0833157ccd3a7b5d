// The XML data source behind the recordset: one test per mapping rule, read through the
// recordset's members as a host reads them.
#include "xml_support.h"

namespace tlxtest {
namespace {

using Fields = std::vector<std::pair<std::string, int>>;

TEST_F(XmlTest, EachChildOfTheRootIsARecordWhateverItsName) {
  ObjRef rs = openXml(file("t.xml", "<t><a><x>1</x></a><b><x>2</x></b><a><x>3</x></a></t>"));
  EXPECT_EQ(toI4(getProperty(rs, "RecordCount")), 3);
  EXPECT_EQ(recordsOf(rs), (Rows{{"1", "1"}, {"2", "2"}, {"3", "3"}}));
  callMethod(rs, "MoveFirst");
  EXPECT_EQ(show(getProperty(fieldOf(rs, 0), "Value")), "1");
}

TEST_F(XmlTest, AttributesComeFirstThenElementsInTheOrderFirstMetAndMissingFieldsAreNull) {
  ObjRef rs = openXml(file("t.xml",
                           "<t><r><b>1</b></r>"
                           "<r id='7'><c>2</c><b>3</b></r>"
                           "<r><a>4</a></r></t>"));
  EXPECT_EQ(fieldsOf(rs), (Fields{{"id", 202}, {"b", 202}, {"c", 202}, {"a", 202}, {"$Text", 202}}));
  EXPECT_EQ(recordsOf(rs), (Rows{{"<null>", "1", "<null>", "<null>", "1"},
                                 {"7", "3", "2", "<null>", "23"},
                                 {"<null>", "<null>", "<null>", "4", "4"}}));
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

TEST_F(XmlTest, AnAttributeNamedLikeAnElementIsMarked) {
  ObjRef rs = openXml(file("t.xml", "<t><r id='1'><id>A</id></r><r id='2'/></t>"));
  EXPECT_EQ(fieldsOf(rs), (Fields{{"!id", 202}, {"id", 202}, {"$Text", 202}}));
  EXPECT_EQ(recordsOf(rs), (Rows{{"1", "A", "A"}, {"2", "<null>", ""}}));
}

TEST_F(XmlTest, EntitiesCharacterReferencesAndCdataBecomeText) {
  ObjRef rs = openXml(file("t.xml",
                           "<?xml version='1.0' encoding='ISO-8859-1'?>\n"
                           "<!DOCTYPE t [<!ENTITY co 'Acme &amp; Co'>]>"
                           "<t><r by='&co;'><n>&co; &#x20AC;5 \xE9</n><c><![CDATA[<raw>]]></c></r></t>"));
  EXPECT_EQ(recordsOf(rs), (Rows{{"Acme & Co", "Acme & Co \u20AC5 \u00E9", "<raw>", "Acme & Co \u20AC5 \u00E9<raw>"}}));
}

TEST_F(XmlTest, AnEmptyTableHasOnlyText) {
  ObjRef rs = openXml(file("t.xml", "<t>just text</t>"));
  EXPECT_EQ(fieldsOf(rs), (Fields{{"$Text", 202}}));
  EXPECT_EQ(toI4(getProperty(rs, "RecordCount")), 0);
  EXPECT_TRUE(toBool(getProperty(rs, "EOF")));
}

TEST_F(XmlTest, OpenFailsWithTheParsersMessage) {
  auto openError = [&](const std::string& path) {
    try {
      openXml(path);
    } catch (const ComError& e) {
      return e.description();
    }
    return std::string("opened");
  };
  EXPECT_EQ(openError(file("bad.xml", "<t><r>\n<a>1</b></r></t>")),
            "Opening and ending tag mismatch: a line 2 and b (line 2, position 9)");
  EXPECT_EQ(openError((dir / "none.xml").string()), "The system cannot locate the object specified: " + (dir / "none.xml").string());
  EXPECT_EQ(openError(file("empty.xml", "")), "Document is empty (line 1, position 1)");
  EXPECT_EQ(openError(dir.string()), "The system cannot locate the object specified: " + dir.string());
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

namespace tlxtest {
namespace {

// Files of scattered names would lay out as tables of empty cells far larger than themselves.
TEST_F(XmlTest, ATableMuchLargerThanItsValuesIsRefused) {
  std::string diagonal = "<t>", late = "<t><r>";
  for (int i = 0; i < 20000; ++i) diagonal += "<r><f" + std::to_string(i) + ">v</f" + std::to_string(i) + "></r>";
  for (int i = 0; i < 5000; ++i) late += "<f" + std::to_string(i) + ">v</f" + std::to_string(i) + ">";
  late += "</r>";
  for (int i = 0; i < 5000; ++i) late += "<r><f0>v</f0></r>";
  auto openError = [&](const std::string& name, const std::string& content) {
    try {
      openXml(file(name, content + "</t>"));
    } catch (const ComError& e) {
      return e.description();
    }
    return std::string("opened");
  };
  EXPECT_EQ(openError("diagonal.xml", diagonal).substr(0, 51), "The table has too many fields for the values the fi");
  EXPECT_EQ(openError("late.xml", late), "The table's 5001 records and 5001 fields are too many cells for the values the file holds.");
  // A table as wide as its values are many stays readable.
  std::string wide = "<t><r>";
  for (int i = 0; i < 3000; ++i) wide += "<f" + std::to_string(i) + ">v</f" + std::to_string(i) + ">";
  EXPECT_EQ(openError("wide.xml", wide + "</r><r><f1>w</f1></r>"), "opened");
}

}  // namespace
}  // namespace tlxtest
