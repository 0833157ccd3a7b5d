#include "control/type_library.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <tuple>

namespace tlx {
namespace {

TEST(TypeLibrary, HundredMethodsInTheRangeWithTheFixedGaps) {
  const auto& lib = typeLibrary();
  ASSERT_EQ(lib.size(), 100u);
  std::set<int32_t> ids;
  std::set<std::string> names;
  int32_t previous = 0x5FFFFFFF;
  for (auto& m : lib) {
    EXPECT_GT(m.dispid, previous) << m.name << ": identifiers follow declaration order";
    previous = m.dispid;
    ids.insert(m.dispid);
    names.insert(m.name);
  }
  EXPECT_EQ(names.size(), 100u);
  std::set<int32_t> gaps;
  for (int32_t id = 0x60030000; id <= 0x60030074; ++id)
    if (!ids.count(id)) gaps.insert(id);
  std::set<int32_t> expected{0x6003001F, 0x6003003A, 0x60030057};
  for (int32_t id = 0x6003005E; id <= 0x6003006B; ++id) expected.insert(id);
  EXPECT_EQ(gaps, expected);
  EXPECT_EQ(lib.front().name, "Zoom");
  EXPECT_EQ(lib.front().dispid, 0x60030000);
  EXPECT_EQ(lib.back().name, "DXFToExcel");
  EXPECT_EQ(lib.back().dispid, 0x60030074);
}

TEST(TypeLibrary, LookupByNameWithoutCaseAndByIdentifier) {
  const MethodInfo* m = findMethod("texTFILEtoarray");
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->name, "TextFileToArray");
  EXPECT_EQ(findMethod(m->dispid), m);
  EXPECT_EQ(findMethod("NoSuchMethod"), nullptr);
  EXPECT_EQ(findMethod(0x6003001F), nullptr);  // a private procedure's identifier
  // The standard about-box identifier reaches AboutBox.
  ASSERT_NE(findMethod(DISPID_ABOUTBOX), nullptr);
  EXPECT_EQ(findMethod(DISPID_ABOUTBOX)->name, "AboutBox");
}

TEST(TypeLibrary, SignaturesReadLikeTheInterface) {
  EXPECT_EQ(findMethod("TextFileToArray")->signature(),
            "Function TextFileToArray(strTextFile As String, varArray As Variant, "
            "Optional ByVal strDelimiter As String = \",\", Optional blnRemoveQuotes As Boolean) As Integer");
  EXPECT_EQ(findMethod("CloseAutoCAD")->signature(), "Sub CloseAutoCAD(Optional blnSave As Boolean = False)");
  EXPECT_EQ(findMethod("DocumentCount")->signature(), "Function DocumentCount() As Long");
  EXPECT_EQ(findMethod("AboutBox")->signature(), "Sub AboutBox()");

  // Declared types and defaults of a few parameters that the signatures above do not show.
  const ParamInfo& ws = findMethod("OpenDocument")->params[4];
  EXPECT_EQ(std::tuple(ws.name, ws.typeName, ws.type),
            std::tuple("lngWindowStateAutoCAD", "WindowStateType", vtI4));
  EXPECT_EQ(*ws.defaultValue, Variant(int32_t{1}));
  const MethodInfo* pdf = findMethod("CreatePDFFromFile");
  ASSERT_EQ(pdf->params.size(), 12u);
  EXPECT_EQ(*pdf->params[5].defaultValue, Variant(8.5f));
  // The Word table methods share their twenty table parameters.
  const MethodInfo* word = findMethod("RecordsetToWord");
  ASSERT_EQ(word->params.size(), 22u);
  EXPECT_EQ(*word->params[7].defaultValue, Variant(u"Times New Roman"));
  EXPECT_EQ(findMethod("FlexGridToArray")->params[5].type, vtI2);  // lngEndCol is 16-bit, whatever its prefix says
  EXPECT_EQ(findMethod("TwoDArrayToCollection")->params[1].type, vtDispatch);
  EXPECT_EQ(findMethod("CreateMultilineTextFromTwoDArray")->resultType, vtVariant);
  EXPECT_EQ(findMethod("CreateLine")->resultType, vtDispatch);
  EXPECT_EQ(findMethod("SwitchToAutoCAD")->resultType, vtEmpty);
}

TEST(TypeLibrary, EveryParameterFollowsTheNamingConvention) {
  // Prefixes give the type; a mismatch here is a typing slip in a declaration.
  const std::pair<const char*, VarType> prefixes[] = {{"str", vtString},  {"dbl", vtR8}, {"bln", vtBoolean},
                                                      {"var", vtVariant}, {"int", vtI2}, {"obj", vtDispatch}};
  for (auto& m : typeLibrary())
    for (auto& p : m.params) {
      for (auto& [prefix, type] : prefixes)
        EXPECT_TRUE(p.name.rfind(prefix, 0) != 0 || p.type == type) << m.name << "." << p.name;
      EXPECT_TRUE(p.optional || !p.defaultValue) << m.name << "." << p.name;
    }
}

TEST(TypeLibrary, Enumerations) {
  std::map<std::string, std::map<std::string, int32_t>> all;
  for (auto& e : enumerations())
    for (auto& [name, value] : e.constants) all[e.name][name] = value;
  EXPECT_EQ(all.size(), 11u);
  EXPECT_EQ(all["TableType"].size(), 43u);
  EXPECT_EQ(all["TableType"]["tlxTableFormatWeb3"], 42);
  EXPECT_EQ(all["WindowStateType"]["tlxMaximizedWindow"], 3);
}

// Every method that answers with an Integer reports by status code (GetVersion answers a version),
// and DocumentCount's Long carries two; success comes first unless the method counts, then the
// failures from -1 down, one meaning each.
TEST(TypeLibrary, StatusCodesOfEveryMethodThatReportsByCode) {
  std::set<std::string> counting;
  for (const MethodInfo& m : typeLibrary()) {
    const bool reports = (m.resultTypeName == "Integer" && m.name != "GetVersion") || m.name == "DocumentCount";
    ASSERT_EQ(!m.statusCodes.empty(), reports) << m.name;
    if (!reports) continue;
    int16_t next = m.statusCodes.front().code == 1 ? 1 : -1;
    if (next == -1) counting.insert(m.name);
    for (const StatusCode& c : m.statusCodes) {
      EXPECT_EQ(c.code, next) << m.name;
      EXPECT_FALSE(c.meaning.empty()) << m.name;
      EXPECT_EQ(findStatusCode(m, c.code), &c);
      next = next == 1 ? -1 : int16_t(next - 1);
    }
    EXPECT_EQ(findStatusCode(m, 7), nullptr);
  }
  EXPECT_EQ(counting, (std::set<std::string>{"AttributesToFile", "AttributesToArray", "AttributesToRecordset",
                                             "AttributesToDatabaseTable", "AttributesToClipboard",
                                             "ReplaceAttributes", "DocumentCount"}));
  EXPECT_EQ(findMethod("CollectionToOneDArray")->statusCodes[1].meaning, "cl is not a Collection");
}

}  // namespace
}  // namespace tlx
