// The extraction template reader: markers, selections, columns, tags, and what each failure
// leaves behind.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "attributes/attribute_methods.h"
#include "attributes/extraction_template.h"
#include "automation/strings.h"
#include "support/scratch.h"

namespace tlxtest {
namespace {

using namespace tlx;
namespace fs = std::filesystem;

int16_t read(ExtractionTemplate& t, std::string_view text) { return readExtractionTemplate(t, u16(text)); }

std::vector<std::u16string> tags(std::initializer_list<const char16_t*> list) {
  return std::vector<std::u16string>(list.begin(), list.end());
}

std::vector<Column> setColumns(const ExtractionTemplate& t) {
  std::vector<Column> out;
  for (size_t i = 0; i < kColumnCount; ++i)
    if (t.columns[i]) out.push_back(static_cast<Column>(i));
  return out;
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

TEST(ExtractionTemplate, TheExampleSelectsTwoBlocksEverywhereWithThreeColumnsAndTwoTags) {
  ExtractionTemplate t;
  ASSERT_EQ(read(t, kExample), 1);
  EXPECT_EQ(t.BlockFilter, u" DOOR TITLEBLOCK ");
  EXPECT_EQ(t.LayerFilter, u"*");
  EXPECT_EQ(t.SpaceFilter, u"*");
  EXPECT_EQ(setColumns(t), (std::vector<Column>{Column::BLOCK_NAME, Column::BLOCK_X, Column::BLOCK_Y}));
  EXPECT_EQ(t.TagList, tags({u"NUMBER", u"FIRE"}));
  EXPECT_TRUE(t.Suppress);
}

TEST(ExtractionTemplate, MarkersAndLineEnds) {
  ExtractionTemplate t;
  // The *INPUT marker is found whatever its case and blanks; the two others must be exact.
  EXPECT_EQ(read(t, "  *input \n*OUTPUT\n*ATTRIBUTE_TAGS\nA\n"), 1);
  EXPECT_EQ(read(t, "*INPUT\n*output\nBLOCK_NAME\n*ATTRIBUTE_TAGS\nA\n"), -3);
  EXPECT_EQ(read(t, "*INPUT\n*OUTPUT \n*ATTRIBUTE_TAGS\nA\n"), -3);
  EXPECT_EQ(read(t, "*INPUT\n*OUTPUT\n *ATTRIBUTE_TAGS\nA\n"), -4);
  EXPECT_EQ(read(t, ""), -2);
  EXPECT_EQ(read(t, "no markers at all\r\n"), -2);
  // CR LF, lone CR and lone LF all end a line; a last line needs no end.
  EXPECT_EQ(read(t, "*INPUT\rSPACE: MODEL\r\n*OUTPUT\n*ATTRIBUTE_TAGS\r\nTAG"), 1);
  EXPECT_EQ(t.SpaceFilter, u"MODEL");
  EXPECT_EQ(t.TagList, tags({u"TAG"}));
  // Empty lines count as lines of their own, whichever ends they have.
  EXPECT_EQ(read(t, "*INPUT\n\n\r\n*OUTPUT\r\r*ATTRIBUTE_TAGS\n\nX"), 1);
}

TEST(ExtractionTemplate, SelectionValuesFollowTheLastBlank) {
  ExtractionTemplate t;
  auto withInput = [](std::string input) { return "*INPUT\n" + input + "*OUTPUT\n*ATTRIBUTE_TAGS\nT\n"; };
  ASSERT_EQ(read(t, withInput("block: door,window\nlayer: walls\nspace: paper\n")), 1);
  EXPECT_EQ(t.BlockFilter, u" DOOR WINDOW ");
  EXPECT_EQ(t.LayerFilter, u" WALLS ");
  EXPECT_EQ(t.SpaceFilter, u"PAPER");
  // No blank after the colon: the keyword is part of the value, which then matches no name.
  ASSERT_EQ(read(t, withInput("BLOCK:DOOR\n")), 1);
  EXPECT_EQ(t.BlockFilter, u" BLOCK:DOOR ");
  // A blank after the comma cuts off what stands before it.
  ASSERT_EQ(read(t, withInput("BLOCK: DOOR, WINDOW\n")), 1);
  EXPECT_EQ(t.BlockFilter, u" WINDOW ");
  // A later line replaces an earlier one; other lines are comments; absent selections match
  // nothing (two blanks) and an absent space selects none.
  ASSERT_EQ(read(t, withInput("BLOCK: A\nthis is a comment\nBLOCK: B\n")), 1);
  EXPECT_EQ(t.BlockFilter, u" B ");
  EXPECT_EQ(t.LayerFilter, u"  ");
  EXPECT_EQ(t.SpaceFilter, u"");
  // Only the value "*" itself is the wildcard.
  ASSERT_EQ(read(t, withInput("BLOCK: D*\nLAYER: *,WALLS\n")), 1);
  EXPECT_EQ(t.BlockFilter, u" D* ");
  EXPECT_EQ(t.LayerFilter, u" * WALLS ");
}

TEST(ExtractionTemplate, ColumnsAndTags) {
  ExtractionTemplate t;
  ASSERT_EQ(read(t,
                 "*INPUT\n*OUTPUT\n block_handle \nBLOCK_HASEXTENTIONDICTIONARY\nBLOCK_HASEXTENSIONDICTIONARY\n"
                 "BLOCK_Z\nFULL_FILE_NAME\nBLOCK_Z\nnot a keyword\n*ATTRIBUTE_TAGS\n\n  ' comment\n a \nA\n*SUPPRESS\n"),
            1);
  EXPECT_EQ(setColumns(t), (std::vector<Column>{Column::FULL_FILE_NAME, Column::BLOCK_HANDLE,
                                                 Column::BLOCK_HASEXTENTIONDICTIONARY, Column::BLOCK_Z}));
  EXPECT_EQ(t.TagList, tags({u"A", u"A"}));  // duplicates kept
  EXPECT_TRUE(t.Suppress);
  // "*" ends the tags: a *SUPPRESS after it is not seen.
  ASSERT_EQ(read(t, "*INPUT\n*OUTPUT\n*ATTRIBUTE_TAGS\n*\nB\n*SUPPRESS\n"), 1);
  EXPECT_EQ(t.TagList, tags({u"*"}));
  EXPECT_TRUE(t.allTags());
  EXPECT_FALSE(t.Suppress);
  // Comments and blank lines only: no tag.
  EXPECT_EQ(read(t, "*INPUT\n*OUTPUT\n*ATTRIBUTE_TAGS\n'a\n\n   \n"), -5);
  EXPECT_EQ(read(t, "*INPUT\n*OUTPUT\n*ATTRIBUTE_TAGS\n*SUPPRESS\n"), -5);
  EXPECT_TRUE(t.Suppress);
}

TEST(ExtractionTemplate, AFailureKeepsWhatTheStepsBeforeItChanged) {
  ExtractionTemplate t;
  ASSERT_EQ(read(t, kExample), 1);
  // -2: tags emptied, filters and flags as before.
  EXPECT_EQ(read(t, "nothing\n"), -2);
  EXPECT_TRUE(t.TagList.empty());
  EXPECT_EQ(t.BlockFilter, u" DOOR TITLEBLOCK ");
  EXPECT_EQ(setColumns(t).size(), 3u);
  EXPECT_TRUE(t.Suppress);
  // -3: the filters hold what the input gave so far, not normalised; flags as before.
  ASSERT_EQ(read(t, kExample), 1);
  EXPECT_EQ(read(t, "*INPUT\nBLOCK: X,Y\n"), -3);
  EXPECT_EQ(t.BlockFilter, u"X,Y");
  EXPECT_EQ(t.LayerFilter, u"");
  EXPECT_EQ(t.SpaceFilter, u"");
  EXPECT_EQ(setColumns(t).size(), 3u);
  // -4: new filters, the flags read so far, Suppress cleared, no tags.
  ASSERT_EQ(read(t, kExample), 1);
  EXPECT_EQ(read(t, "*INPUT\nLAYER: L\n*OUTPUT\nBLOCK_LAYER\n"), -4);
  EXPECT_EQ(t.BlockFilter, u"  ");
  EXPECT_EQ(t.LayerFilter, u" L ");
  EXPECT_EQ(setColumns(t), std::vector<Column>{Column::BLOCK_LAYER});
  EXPECT_FALSE(t.Suppress);
  EXPECT_TRUE(t.TagList.empty());
  // -5: everything new, no tags.
  ASSERT_EQ(read(t, kExample), 1);
  EXPECT_EQ(read(t, "*INPUT\nSPACE: MODEL\n*OUTPUT\nFILE_NAME\n*ATTRIBUTE_TAGS\n"), -5);
  EXPECT_EQ(t.SpaceFilter, u"MODEL");
  EXPECT_EQ(setColumns(t), std::vector<Column>{Column::FILE_NAME});
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
  EXPECT_EQ(t.TagList, tags({u"NUMBER", u"FIRE"}));
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

TEST(ExtractionTemplate, AnyTextReadsWithoutFailing) {
  // Arbitrary bytes, as a fuzzer would give them: a result code, never a crash.
  std::string bytes;
  for (int i = 0; i < 4096; ++i) bytes.push_back(static_cast<char>((i * 7919) % 256));
  ExtractionTemplate t;
  for (size_t n = 0; n < bytes.size(); n += 97) {
    int16_t r = readExtractionTemplateBytes(t, std::string_view(bytes).substr(0, n));
    EXPECT_TRUE(r == 1 || (r <= -2 && r >= -5)) << r;
  }
}

}  // namespace
}  // namespace tlxtest
