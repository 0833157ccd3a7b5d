// The extraction template reader: markers, selections, columns, tags, and what each failure
// leaves behind. Arbitrary bytes are the fuzz target's (fuzz/extraction_template.cc).
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>

#include "attributes/attribute_methods.h"
#include "attributes/extraction_template.h"
#include "automation/strings.h"
#include "support/scratch.h"

namespace tlxtest {
namespace {

using namespace tlx;
namespace fs = std::filesystem;

// The whole template on one line: "[blocks][layers][space] COLUMNS | TAGS", then SUPPRESS if set.
std::string summary(const ExtractionTemplate& t) {
  std::string s = "[" + u8(t.BlockFilter) + "][" + u8(t.LayerFilter) + "][" + u8(t.SpaceFilter) + "]";
  for (size_t i = 0; i < kColumnCount; ++i)
    if (t.columns[i]) s += " " + u8(kOutputKeywords[i]);
  s += " |";
  for (const auto& tag : t.TagList) s += " " + u8(tag);
  return s + (t.Suppress ? " SUPPRESS" : "");
}

constexpr std::string_view kExample =
    "Doors and title blocks\r\n"
    "*INPUT\r\n"
    "BLOCK: DOOR,TITLEBLOCK\r\n"
    "LAYER: *\r\n"
    "SPACE: *\r\n"
    "*OUTPUT\r\n"
    "BLOCK_NAME\r\n"
    "BLOCK_X\r\n"
    "BLOCK_Y\r\n"
    "*ATTRIBUTE_TAGS\r\n"
    "' the tags\r\n"
    "number\r\n"
    "Fire\r\n"
    "*SUPPRESS\r\n";
const std::string kExampleRead = "[ DOOR TITLEBLOCK ][*][*] BLOCK_NAME BLOCK_X BLOCK_Y | NUMBER FIRE SUPPRESS";

// The selections between "*INPUT" and "*OUTPUT", with one tag.
std::string withInput(const std::string& input) { return "*INPUT\n" + input + "*OUTPUT\n*ATTRIBUTE_TAGS\nT\n"; }

// Each text is read over the example, so a failure shows what the steps before it changed: -2
// empties the tags only; -3 leaves the filters as read so far and the flags as before; -4 has
// new filters and columns, Suppress cleared; -5 everything new but no tag.
TEST(ExtractionTemplate, EachTextGivesItsCodeAndTemplate) {
  const struct {
    const char* what;
    std::string text;
    int16_t code;
    std::string read;
  } cases[] = {
      {"the example", std::string(kExample), 1, kExampleRead},
      {"*INPUT whatever its case and blanks", "  *input \n*OUTPUT\n*ATTRIBUTE_TAGS\nA\n", 1, "[  ][  ][] | A"},
      {"*OUTPUT exact", "*INPUT\n*output\nBLOCK_NAME\n*ATTRIBUTE_TAGS\nA\n", -3,
       "[][][] BLOCK_NAME BLOCK_X BLOCK_Y | SUPPRESS"},
      {"*OUTPUT without blanks", "*INPUT\n*OUTPUT \n*ATTRIBUTE_TAGS\nA\n", -3, "[][][] BLOCK_NAME BLOCK_X BLOCK_Y | SUPPRESS"},
      {"*ATTRIBUTE_TAGS exact", "*INPUT\n*OUTPUT\n *ATTRIBUTE_TAGS\nA\n", -4, "[  ][  ][] |"},
      {"empty", "", -2, "[ DOOR TITLEBLOCK ][*][*] BLOCK_NAME BLOCK_X BLOCK_Y | SUPPRESS"},
      {"no markers", "no markers at all\r\n", -2, "[ DOOR TITLEBLOCK ][*][*] BLOCK_NAME BLOCK_X BLOCK_Y | SUPPRESS"},
      {"CR LF, CR and LF end lines; the last needs no end", "*INPUT\rSPACE: MODEL\r\n*OUTPUT\n*ATTRIBUTE_TAGS\r\nTAG", 1,
       "[  ][  ][MODEL] | TAG"},
      {"empty lines of every end", "*INPUT\n\n\r\n*OUTPUT\r\r*ATTRIBUTE_TAGS\n\nX", 1, "[  ][  ][] | X"},
      {"selections in any case", withInput("block: door,window\nlayer: walls\nspace: paper\n"), 1,
       "[ DOOR WINDOW ][ WALLS ][PAPER] | T"},
      {"no blank after the colon: the keyword is part of the value", withInput("BLOCK:DOOR\n"), 1,
       "[ BLOCK:DOOR ][  ][] | T"},
      {"the value follows the last blank", withInput("BLOCK: DOOR, WINDOW\n"), 1, "[ WINDOW ][  ][] | T"},
      {"a later line replaces an earlier one; others are comments",
       withInput("BLOCK: A\nthis is a comment\nBLOCK: B\n"), 1, "[ B ][  ][] | T"},
      {"only \"*\" itself is the wildcard", withInput("BLOCK: D*\nLAYER: *,WALLS\n"), 1, "[ D* ][ * WALLS ][] | T"},
      {"columns trimmed, in their own order, once each; tags trimmed, duplicates kept",
       "*INPUT\n*OUTPUT\n block_handle \nBLOCK_HASEXTENTIONDICTIONARY\nBLOCK_HASEXTENSIONDICTIONARY\nBLOCK_Z\n"
       "FULL_FILE_NAME\nBLOCK_Z\nnot a keyword\n*ATTRIBUTE_TAGS\n\n  ' comment\n a \nA\n*SUPPRESS\n",
       1, "[  ][  ][] FULL_FILE_NAME BLOCK_HANDLE BLOCK_HASEXTENTIONDICTIONARY BLOCK_Z | A A SUPPRESS"},
      {"\"*\" ends the tags", "*INPUT\n*OUTPUT\n*ATTRIBUTE_TAGS\n*\nB\n*SUPPRESS\n", 1, "[  ][  ][] | *"},
      {"comments and blank lines only", "*INPUT\n*OUTPUT\n*ATTRIBUTE_TAGS\n'a\n\n   \n", -5, "[  ][  ][] |"},
      {"*SUPPRESS only", "*INPUT\n*OUTPUT\n*ATTRIBUTE_TAGS\n*SUPPRESS\n", -5, "[  ][  ][] | SUPPRESS"},
      {"-3 keeps the filter as read", "*INPUT\nBLOCK: X,Y\n", -3, "[X,Y][][] BLOCK_NAME BLOCK_X BLOCK_Y | SUPPRESS"},
      {"-4 keeps the columns read", "*INPUT\nLAYER: L\n*OUTPUT\nBLOCK_LAYER\n", -4, "[  ][ L ][] BLOCK_LAYER |"},
      {"-5", "*INPUT\nSPACE: MODEL\n*OUTPUT\nFILE_NAME\n*ATTRIBUTE_TAGS\n", -5, "[  ][  ][MODEL] FILE_NAME |"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ExtractionTemplate t;
    ASSERT_EQ(readExtractionTemplate(t, u16(kExample)), 1);
    EXPECT_EQ(readExtractionTemplate(t, u16(c.text)), c.code);
    EXPECT_EQ(summary(t), c.read);
  }
}

class TemplateFile : public ::testing::Test {
 protected:
  BStr write(const std::string& name, std::string_view text) { return u16(scratch.write(name, std::string(text))); }
  tlxtest::ScratchDir scratch{"talvex-template"};
  const fs::path dir = scratch.path();
};

TEST_F(TemplateFile, PrepTemplateReadsFilesAndRefusesWhatIsNoTemplateFile) {
  ExtractionTemplate t;
  EXPECT_EQ(PrepTemplate(t, write("doors.txt", kExample)), 1);
  EXPECT_EQ(summary(t), kExampleRead);
  // A byte-order mark before the first marker.
  EXPECT_EQ(PrepTemplate(t, write("bom.txt", "\xEF\xBB\xBF*INPUT\n*OUTPUT\n*ATTRIBUTE_TAGS\nT\n")), 1);
  EXPECT_EQ(PrepTemplate(t, write("empty.txt", "")), -2);
  EXPECT_EQ(PrepTemplate(t, u16((dir / "missing.txt").string())), -1);
  EXPECT_TRUE(t.TagList.empty());
  EXPECT_EQ(PrepTemplate(t, u16(dir.string())), -1);  // a folder
  // A named pipe without a writer would block a reader for ever: refused at once.
  fs::path fifo = dir / "fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(PrepTemplate(t, u16(fifo.string())), -1);
  EXPECT_EQ(PrepTemplate(t, BStr(std::u16string(u"a\0b", 3))), -1);
}

}  // namespace
}  // namespace tlxtest
