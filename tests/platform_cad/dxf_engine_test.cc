// The DXF engine on its own: tags, records kept as read, handles, versions and extents.
#include <gtest/gtest.h>

#include <fstream>
#include <set>

#include "cad_test_support.h"
#include "platform/cad/dxf_document.h"

using namespace tlx::platform::cad;
using cadtest::ScratchDir;

namespace {

std::vector<std::pair<int, std::string>> readAll(std::string_view text) {
  TagReader r(text);
  Tag t;
  std::vector<std::pair<int, std::string>> out;
  while (r.next(t)) out.push_back({t.code, std::string(text.substr(t.off, t.len))});
  return out;
}

}  // namespace

TEST(DxfTags, ReadsLfAndCrlfKeepingValuesAsWritten) {
  auto lf = readAll("  0\nSECTION\n  2\nHEADER\n  1\n  padded value \n");
  ASSERT_EQ(lf.size(), 3u);
  EXPECT_EQ(lf[0], (std::pair<int, std::string>{0, "SECTION"}));
  EXPECT_EQ(lf[2].second, "  padded value ");  // values keep their blanks

  TagReader crlf("0\r\nLINE\r\n10\r\n1.5\r\n999\r\ncomment");  // no final line end
  Tag t;
  std::vector<int> codes;
  while (crlf.next(t)) codes.push_back(t.code);
  EXPECT_EQ(codes, (std::vector<int>{0, 10, 999}));
  EXPECT_TRUE(crlf.crlf());

  auto empty = readAll("  3\n\n  0\nEOF\n");  // an empty value is a value
  ASSERT_EQ(empty.size(), 2u);
  EXPECT_EQ(empty[0].second, "");
}

TEST(DxfTags, MalformedInputIsAnErrorNamingTheLine) {
  for (std::string_view bad : {"  0\nSECTION\nabc\nHEADER\n", "  0\nSECTION\n  2\n", "AutoCAD Binary DXF\r\n\x1a"})
    EXPECT_THROW(readAll(bad), DxfError) << bad;
  try {
    readAll("  0\nA\n 99999\nB\n");
    FAIL();
  } catch (const DxfError& e) {
    EXPECT_NE(std::string(e.what()).find("line 3"), std::string::npos) << e.what();
  }
  EXPECT_THROW(Document::parse("hello world\n"), DxfError);
  EXPECT_THROW(Document::parse("  0\nSECTION\n  2\nENTITIES\n  0\nLINE\n"), DxfError);  // no ENDSEC
  ScratchDir dir;  // a missing file and an empty one
  EXPECT_THROW(Document::load(dir.file("missing.dxf")), std::runtime_error);
  std::ofstream(dir.file("empty.dxf")) << "";
  EXPECT_THROW(Document::load(dir.file("empty.dxf")), DxfError);
}

TEST(DxfTags, NumbersAndHandles) {
  // Handles are written in upper case hexadecimal, every letter of it, and read in either case.
  for (auto [handle, text] : std::vector<std::pair<uint64_t, std::string>>{{0x2BC, "2BC"}, {0xABCDEF, "ABCDEF"}}) {
    EXPECT_EQ(handleText(handle), text);
    EXPECT_EQ(toHandle(text), handle);
  }
  EXPECT_EQ(toHandle(" ff "), 0xFFu);
  EXPECT_EQ(toHandle("xyz"), 0u);
  EXPECT_EQ(realText(2), "2.0");
  EXPECT_EQ(toReal(realText(0.1 + 0.2)), 0.1 + 0.2);  // shortest text that reads back exactly
  EXPECT_EQ(toInt("1.0"), 1);
  EXPECT_EQ(toReal("junk", 7), 7);
}

TEST(DxfDocument, UnmodelledContentAndLineEndsAreWrittenBackAsRead) {
  std::string text =
      "999\nwritten by hand\n  0\nSECTION\n  2\nHEADER\n  9\n$ACADVER\n  1\nAC1009\n  0\nENDSEC\n"
      "  0\nSECTION\n  2\nENTITIES\n"
      "  0\nMYSTERY\n  8\n0\n 10\n1.50000\n1001\nAPP\n1000\nx y\n"
      "  0\nINSERT\n  8\n0\n 66\n1\n  2\nB\n 10\n0\n 20\n0\n"
      "  0\nATTRIB\n  8\n0\n  1\nv\n  2\nT\n  0\nSEQEND\n  8\n0\n"
      "  0\nENDSEC\n  0\nSECTION\n  2\nTHUMBNAILIMAGE\n 90\n3\n310\nABCDEF\n  0\nENDSEC\n  0\nEOF\n";
  auto doc = Document::parse(text);
  ASSERT_EQ(doc->entities().size(), 2u);  // ATTRIB and SEQEND belong to the INSERT
  EXPECT_EQ(doc->entities()[1]->children.size(), 2u);
  EXPECT_EQ(doc->entities()[0]->str(10), "1.50000");
  EXPECT_EQ(doc->text(), text);

  // CRLF files stay CRLF.
  auto crlf = Document::parse("0\r\nSECTION\r\n2\r\nENTITIES\r\n0\r\nLINE\r\n8\r\n0\r\n0\r\nENDSEC\r\n0\r\nEOF\r\n");
  EXPECT_NE(crlf->text().find("  0\r\nLINE\r\n"), std::string::npos) << crlf->text();
}

TEST(DxfDocument, NewDrawingIsValidR2000WithUniqueHandles) {
  ScratchDir dir;
  auto doc = Document::create();
  EXPECT_EQ(doc->version(), "AC1015");
  EXPECT_TRUE(doc->modern());
  std::set<uint64_t> handles;
  for (int i = 0; i < 50; ++i) {
    Entity& e = doc->addEntity("LINE", i % 2 == 1, {{100, "AcDbLine"}, {10, "0"}, {20, "0"}, {30, "0"},
                                                     {11, realText(i)}, {21, "1"}, {31, "0"}});
    EXPECT_TRUE(handles.insert(e.handle()).second);
  }
  doc->save(dir.file("new.dxf"));
  auto r = cadtest::inspect(dir.file("new.dxf"));
  EXPECT_TRUE(r["audit_errors"].empty()) << r.dump();
  EXPECT_EQ(r["layouts"]["Model"].size(), 25u);
  EXPECT_EQ(r["layouts"]["Layout1"].size(), 25u);
  EXPECT_TRUE(r["handles_unique"].get<bool>());
  EXPECT_TRUE(r["seed_ok"].get<bool>());
  EXPECT_FALSE(std::filesystem::exists(dir.file("new.dxf.tmp" + std::to_string(getpid()))));
}

TEST(DxfDocument, RoundTripsEzdxfDrawingsOfBothVersions) {
  ScratchDir dir;
  for (std::string version : {"R2000", "R12", "R2018"}) {
    SCOPED_TRACE(version);
    std::string in = dir.file("in-" + version + ".dxf"), out = dir.file("out-" + version + ".dxf");
    cadtest::makeDrawing(in, version);
    auto before = cadtest::inspect(in);
    auto doc = Document::load(in);
    bool r12 = version == "R12";
    EXPECT_EQ(doc->modern(), !r12);
    Body line = {{10, "1"}, {20, "2"}, {30, "0"}, {11, "3"}, {21, "4"}, {31, "0"}};
    if (!r12) line.insert(line.begin(), {100, "AcDbLine"});
    doc->addEntity("LINE", false, line);
    doc->save(out);
    auto after = cadtest::inspect(out);
    EXPECT_TRUE(after["audit_errors"].empty()) << after.dump();
    EXPECT_EQ(after["dxfversion"], before["dxfversion"]);
    before["layouts"]["Model"].push_back("LINE");
    for (const char* key : {"layouts", "inserts", "layers", "xdata", "xrecord", "sat"}) EXPECT_EQ(after[key], before[key]) << key;
    EXPECT_TRUE(after["handles_unique"].get<bool>());
    EXPECT_TRUE(after["seed_ok"].get<bool>());
  }
}

TEST(DxfDocument, ExtentsFollowTheGeometry) {
  auto doc = Document::create();
  // A quarter arc from 0 to 90 degrees reaches only the first quadrant.
  doc->addEntity("ARC", false, {{100, "AcDbCircle"}, {10, "10"}, {20, "10"}, {30, "0"}, {40, "5"},
                                {100, "AcDbArc"}, {50, "0"}, {51, "90"}});
  Box b = doc->modelExtents();
  EXPECT_DOUBLE_EQ(b.minX, 10);
  EXPECT_DOUBLE_EQ(b.minY, 10);
  EXPECT_DOUBLE_EQ(b.maxX, 15);
  EXPECT_DOUBLE_EQ(b.maxY, 15);
  // An arc crossing 0 degrees (350 to 10) passes through the rightmost point.
  Box wrap;
  arcExtents(wrap, 0, 0, 1, 350, 10);
  EXPECT_DOUBLE_EQ(wrap.maxX, 1);
  EXPECT_LT(wrap.minX, 1);
  EXPECT_GT(wrap.minX, 0.98);

  // Paper space entities do not count for the model extents.
  doc->addEntity("CIRCLE", true, {{100, "AcDbCircle"}, {10, "1000"}, {20, "1000"}, {30, "0"}, {40, "1"}});
  EXPECT_DOUBLE_EQ(doc->modelExtents().maxX, 15);

  // A block reference: the block's geometry moved to the insertion point, scaled and turned.
  auto withBlock = Document::parse(
      "  0\nSECTION\n  2\nBLOCKS\n  0\nBLOCK\n  8\n0\n  2\nSQ\n 70\n0\n 10\n1\n 20\n1\n"
      "  0\nLINE\n  8\n0\n 10\n1\n 20\n1\n 11\n3\n 21\n2\n  0\nENDBLK\n  8\n0\n  0\nENDSEC\n"
      "  0\nSECTION\n  2\nENTITIES\n  0\nINSERT\n  8\n0\n  2\nsq\n 10\n100\n 20\n50\n 41\n2\n 42\n2\n 50\n90\n"
      "  0\nENDSEC\n  0\nEOF\n");
  Box ib = withBlock->modelExtents();
  EXPECT_NEAR(ib.minX, 98, 1e-9);  // local (0..4, 0..2) turned 90 degrees: x -2..0, y 0..4
  EXPECT_NEAR(ib.maxX, 100, 1e-9);
  EXPECT_NEAR(ib.minY, 50, 1e-9);
  EXPECT_NEAR(ib.maxY, 54, 1e-9);

  // A block that inserts itself ends instead of recursing for ever.
  auto loop = Document::parse(
      "  0\nSECTION\n  2\nBLOCKS\n  0\nBLOCK\n  2\nA\n 10\n0\n 20\n0\n  0\nINSERT\n  2\nA\n 10\n1\n 20\n1\n"
      "  0\nENDBLK\n  0\nENDSEC\n  0\nSECTION\n  2\nENTITIES\n  0\nINSERT\n  2\nA\n 10\n0\n 20\n0\n"
      "  0\nENDSEC\n  0\nEOF\n");
  EXPECT_TRUE(loop->modelExtents().empty());

  // Of blocks sharing a name (two pairs of them here), the first one counts.
  std::string twice;
  for (const char* b : {"P\n 10\n2", "p\n 10\n7", "Q\n 10\n3", "q\n 10\n9"})
    twice += std::string("  0\nBLOCK\n  2\n") + b + "\n 20\n0\n  0\nPOINT\n 10\n0\n 20\n0\n  0\nENDBLK\n";
  auto dup = Document::parse("  0\nSECTION\n  2\nBLOCKS\n" + twice + "  0\nENDSEC\n  0\nEOF\n");
  EXPECT_DOUBLE_EQ(dup->blockBase("p")[0], 2);
  EXPECT_DOUBLE_EQ(dup->blockBase("Q")[0], 3);
}

TEST(DxfDocument, ViewLivesInTheActiveViewport) {
  auto doc = Document::parse("  0\nSECTION\n  2\nENTITIES\n  0\nENDSEC\n  0\nEOF\n");
  ViewState v = doc->view();  // made from the limits when the drawing has no VPORT table
  EXPECT_DOUBLE_EQ(v.cx, 6);
  EXPECT_DOUBLE_EQ(v.height, 9);
  doc->setView({1, 2, 30, v.aspect});
  auto again = Document::parse(doc->text());
  ViewState w = again->view();
  EXPECT_DOUBLE_EQ(w.cx, 1);
  EXPECT_DOUBLE_EQ(w.cy, 2);
  EXPECT_DOUBLE_EQ(w.height, 30);
}
