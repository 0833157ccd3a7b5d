// Block attributes through the real command-line host, checked against an independent ezdxf
// query of the same drawings: extraction to a file, an array and the clipboard, and
// replacement saved and read back.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "attribute_session.h"

namespace tlxtest {
namespace {

namespace fs = std::filesystem;

constexpr const char* kAllColumns[] = {
    "FULL_FILE_NAME", "FILE_NAME", "FILE_TIMESTAMP", "FILE_SIZE", "BLOCK_NAME", "BLOCK_LAYER",
    "BLOCK_SPACE", "BLOCK_OWNERID", "BLOCK_OBJECTID", "BLOCK_OBJECTNAME", "BLOCK_HANDLE",
    "BLOCK_COLOR", "BLOCK_LINETYPE", "BLOCK_ROTATION", "BLOCK_VISIBLE", "BLOCK_XSCALE",
    "BLOCK_YSCALE", "BLOCK_ZSCALE", "BLOCK_LINETYPESCALE", "BLOCK_LINEWEIGHT",
    "BLOCK_HASEXTENTIONDICTIONARY", "BLOCK_X", "BLOCK_Y", "BLOCK_Z",
};

class AttributeSession : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    drawing = dir / ("Plan-" + GetParam() + ".dxf");
    drawings("make " + shellQuote(drawing.string()) + " " + GetParam());
    ASSERT_TRUE(fs::exists(drawing));
  }
  std::string writeTemplate(const Query& q, const std::string& name = "template.txt") { return q.write(dir / name); }
  static int found(const json& recs) {
    int n = 0;
    for (auto& r : recs) n += r["found"].get<bool>();
    return n;
  }

  ScratchDir scratch{"talvex-attributes-test"};
  fs::path dir = scratch.path(), drawing;
};

TEST_P(AttributeSession, EveryColumnToAFileAndAnArrayAsEzdxfFindsThem) {
  Query q;
  q.columns.assign(std::begin(kAllColumns), std::end(kAllColumns));
  q.tags = {"NUMBER", "FIRE", "NAME", "PROJECT", "NUMBER"};
  fs::path out = dir / "out.csv";
  auto answers = runSession(std::vector<std::string>{
      call("OpenDocument", {drawing.string()}).dump(),
      call("PrepTemplate", {writeTemplate(q)}).dump(),
      call("AttributesToFile", {out.string(), true}).dump(),
      R"({"let": "a", "value": {"array": []}})",
      call("AttributesToArray", {{{"var", "a"}}, true}).dump(),
  });
  ASSERT_EQ(answers.size(), 5u);
  json recs = q.records(drawing);
  ASSERT_GE(recs.size(), 8u);
  EXPECT_EQ(answers[1]["result"], 1);
  EXPECT_EQ(answers[2]["result"], found(recs)) << answers[2].dump();
  EXPECT_EQ(readFile(out), lines(recs, true, ",", "", false));

  // The array: the header row, then one row per record; the "|" inside a value stays in it.
  EXPECT_EQ(answers[4]["result"], found(recs));
  json rows = answers[4]["vars"]["a"]["array2d"];
  ASSERT_EQ(rows.size(), recs.size() + 1) << answers[4].dump();
  EXPECT_EQ(rows[0], recs[0]["header"]);
  for (size_t i = 0; i < recs.size(); ++i) EXPECT_EQ(rows[i + 1], recs[i]["fields"]) << i;
}

TEST_P(AttributeSession, FiltersQuotesDelimitersSuppressAndEveryTag) {
  Query paper;
  paper.blocks = "DOOR,TITLEBLOCK";
  paper.layers = "DOORS,TITLE";
  paper.space = "PAPER";
  paper.columns = {"BLOCK_NAME", "BLOCK_SPACE", "BLOCK_X"};
  paper.tags = {"*"};
  Query blank;  // the block name "OFFICE DOOR" is listed as its two parts
  blank.blocks = "OFFICE,DOOR";
  blank.layers = "DOORS";
  blank.space = "MODEL";
  blank.columns = {"BLOCK_NAME", "BLOCK_HANDLE"};
  blank.tags = {"FIRE"};
  blank.suppress = true;
  fs::path first = dir / "paper.txt", second = dir / "blank.txt";
  auto answers = runSession(std::vector<std::string>{
      call("OpenDocument", {drawing.string()}).dump(),
      call("PrepTemplate", {writeTemplate(paper, "paper.tpl")}).dump(),
      call("AttributesToFile", {first.string(), true, ";;", true}).dump(),
      call("PrepTemplate", {writeTemplate(blank, "blank.tpl")}).dump(),
      call("AttributesToFile", {second.string(), false, "", false}).dump(),
  });
  json paperRecs = paper.records(drawing), blankRecs = blank.records(drawing);
  EXPECT_EQ(answers[2]["result"], found(paperRecs));
  EXPECT_EQ(readFile(first), lines(paperRecs, true, ";;", "'", false));
  ASSERT_FALSE(paperRecs.empty());
  for (auto& r : paperRecs) EXPECT_EQ(r["fields"][1], "PAPER");  // the active layout only
  EXPECT_EQ(answers[4]["result"], found(blankRecs));
  EXPECT_EQ(readFile(second), lines(blankRecs, false, ",", "", true));
  // Suppressed: the "OFFICE DOOR" reference has no FIRE tag, so the file has fewer records.
  EXPECT_LT(found(blankRecs), static_cast<int>(blankRecs.size()));
}

TEST_P(AttributeSession, ReplacedValuesAreSavedAndNothingElseChanges) {
  Query q;
  q.tags = {"NUMBER", "NAME"};
  fs::path copy = dir / ("Replaced-" + GetParam() + ".dxf");
  const std::string unicode = "Ünïcode – 東京";
  auto answers = runSession(std::vector<std::string>{
      call("OpenDocument", {drawing.string()}).dump(),
      call("PrepTemplate", {writeTemplate(q)}).dump(),
      call("ReplaceAttributes", {"d0", "DX", false, true}).dump(),   // 2: partial, any case
      call("ReplaceAttributes", {"o-1", "O1", false, false}).dump(),  // 3: the first NUMBER only
      call("ReplaceAttributes", {"name", unicode, true}).dump(),     // 4: by tag
      call("ReplaceAttributes", {"EI30", "none"}).dump(),            // 5: FIRE is not listed
      call("SaveDocument", {copy.string()}).dump(),
  });
  EXPECT_EQ(answers[2]["result"], 3);  // D01 D02 D03; not P01 or D|04
  EXPECT_EQ(answers[3]["result"], 1);
  EXPECT_EQ(answers[4]["result"], 1);
  EXPECT_EQ(answers[5]["result"], 0);
  EXPECT_EQ(answers[6]["result"], 1) << answers[6].dump();

  json diff = json::parse(drawings("changes " + shellQuote(drawing.string()) + " " + shellQuote(copy.string())));
  EXPECT_TRUE(diff["audit_errors"].empty()) << diff["audit_errors"];
  std::multiset<std::string> changed;
  for (auto& c : diff["changes"]) {
    EXPECT_EQ(c[1], "text") << c;
    changed.insert(c[2].get<std::string>() + " -> " + c[3].get<std::string>());
  }
  std::multiset<std::string> expected = {"D01 -> DX", "D02 -> DX", "D03 -> DX", "O-1 -> O1",
                                         "Büro Größe – Ø 東京 -> " + unicode};
  EXPECT_EQ(changed, expected) << diff["changes"];
}

INSTANTIATE_TEST_SUITE_P(Versions, AttributeSession, ::testing::Values("R12", "R2000", "R2018"));

}  // namespace
}  // namespace tlxtest
