// The package layer: parts read, replaced, streamed and added; untouched parts kept as stored;
// the bookkeeping parts written exactly; bad packages and failed saves reported, never
// half-written.
#include <gtest/gtest.h>
#include <zip.h>

#include <filesystem>
#include <map>
#include <stdexcept>

#include "platform/opc/package.h"
#include "platform/opc/xml_parts.h"
#include "support/scratch.h"

namespace tlx::platform::opc {
namespace {

namespace fs = std::filesystem;

class PackageTest : public ::testing::Test {
 protected:
  std::string path(const std::string& name) const { return dir.file(name); }
  tlxtest::ScratchDir dir{"talvex-opc"};
};

// Each entry's CRC and stored (compressed) size, which only an untouched copy keeps exactly.
std::map<std::string, std::pair<uint32_t, uint64_t>> stored(const std::string& file) {
  int err = 0;
  zip_t* z = zip_open(file.c_str(), ZIP_RDONLY, &err);
  std::map<std::string, std::pair<uint32_t, uint64_t>> out;
  for (zip_int64_t i = 0; z && i < zip_get_num_entries(z, 0); ++i) {
    zip_stat_t st;
    zip_stat_index(z, zip_uint64_t(i), 0, &st);
    out[st.name] = {st.crc, st.comp_size};
  }
  if (z) zip_discard(z);
  return out;
}

// A part made a piece at a time: "0;1;...;999;".
std::function<Package::PieceWriter()> counting() {
  return [] {
    return [n = 0](std::string& out) mutable {
      out += std::to_string(n) + ";";
      return ++n < 1000;
    };
  };
}

TEST_F(PackageTest, ReplacesStreamsAndAddsPartsAndKeepsUntouchedOnesAsStored) {
  Package p;
  p.write("a.xml", "<a/>");
  p.write("big/b.bin", std::string(100000, 'x'));
  p.save(path("one.zip"));
  auto before = stored(path("one.zip"));

  Package q = Package::open(path("one.zip"));
  EXPECT_EQ(q.read("a.xml"), "<a/>");
  q.write("a.xml", "<a>changed</a>");
  q.writeStreamed("c.txt", counting());
  std::string whole = q.read("c.txt");
  EXPECT_EQ(whole.substr(0, 6), "0;1;2;");
  EXPECT_EQ(whole.substr(whole.size() - 4), "999;");
  q.save(path("two.zip"));
  auto after = stored(path("two.zip"));
  EXPECT_EQ(after.at("big/b.bin"), before.at("big/b.bin"));
  EXPECT_NE(after.at("a.xml"), before.at("a.xml"));
  EXPECT_EQ(Package::open(path("two.zip")).read("c.txt"), whole);
  EXPECT_EQ(q.partNames(), (std::vector<std::string>{"a.xml", "big/b.bin", "c.txt"}));
  q.remove("c.txt");
  EXPECT_FALSE(q.has("c.txt"));
  EXPECT_THROW(q.read("c.txt"), PackageError);
}

TEST_F(PackageTest, RefusesWhatIsNotAPackageAndLeavesNoHalfWrittenFile) {
  for (const char* bytes : {"PK\x03\x04 not really", "", "not a zip at all"}) EXPECT_THROW(Package::fromBytes(bytes), PackageError);
  EXPECT_THROW(Package::open(path("missing.zip")), PackageError);
  EXPECT_THROW(parseXml("<a><b></a>", "a.xml"), PackageError);
  Package p;
  p.write("a.xml", "<a/>");
  EXPECT_THROW(p.save(path("no/such/folder/out.zip")), PackageError);

  // A writer that fails fails the save, and the file already there stays as it was.
  p.writeStreamed("big.txt", counting());
  p.save(path("streamed.zip"));
  std::string whole = p.read("big.txt");
  p.writeStreamed("big.txt", [] {
    return [](std::string& out) -> bool {
      out += "half";
      throw std::runtime_error("the writer gave up");
    };
  });
  try {
    p.save(path("streamed.zip"));
    ADD_FAILURE() << "the save should fail";
  } catch (const PackageError& e) {
    EXPECT_NE(std::string(e.what()).find("the writer gave up"), std::string::npos) << e.what();
  }
  EXPECT_EQ(Package::open(path("streamed.zip")).read("big.txt"), whole);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);  // no temporary file left
}

TEST(PartNames, ResolveAgainstTheirSource) {
  const struct {
    const char *base, *target, *part;
  } cases[] = {{"xl/workbook.xml", "worksheets/sheet1.xml", "xl/worksheets/sheet1.xml"},
               {"xl/worksheets/sheet1.xml", "../drawings/d1.xml", "xl/drawings/d1.xml"},
               {"xl/workbook.xml", "/xl/styles.xml", "xl/styles.xml"},
               {"", "../../../etc/passwd", "etc/passwd"}};
  for (auto& c : cases) EXPECT_EQ(resolvePartName(c.base, c.target), c.part) << c.target;
  EXPECT_EQ(relationshipsPartOf("xl/workbook.xml"), "xl/_rels/workbook.xml.rels");
  EXPECT_EQ(relationshipsPartOf(""), "_rels/.rels");
}

// The bookkeeping parts as written, and as edited after reading: what was there stays.
TEST(BookkeepingParts, AreWrittenExactly) {
  Package p;
  ContentTypes types;
  types.setOverride("xl/workbook.xml", "wb+xml");
  types.setOverride("xl/styles.xml", "st+xml");
  types.setOverride("XL/Workbook.xml", "book+xml");  // part names ignore case
  types.removeOverride("xl/styles.xml");
  types.store(p);
  EXPECT_EQ(p.read("[Content_Types].xml"),
            "<?xml version=\"1.0\"?><Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
            "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
            "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
            "<Override PartName=\"/xl/workbook.xml\" ContentType=\"book+xml\"/></Types>");
  ContentTypes back(p);
  EXPECT_EQ(back.typeOf("xl/WORKBOOK.xml"), "book+xml");
  EXPECT_EQ(back.typeOf("docProps/core.XML"), "application/xml");
  EXPECT_EQ(back.typeOf("media/image1.png"), "");

  p.write("xl/_rels/workbook.xml.rels",
          "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
          "<Relationship Id=\"rId7\" Type=\"t/link\" Target=\"http://example.com/\" TargetMode=\"External\"/>"
          "<Relationship Id=\"rId2\" Type=\"t/sheet\" Target=\"worksheets/sheet1.xml\"/></Relationships>");
  Relationships rels(p, "xl/workbook.xml");
  EXPECT_EQ(rels.targetOf("rId2"), "xl/worksheets/sheet1.xml");
  EXPECT_EQ(rels.targetOfType("t/link"), "");  // outside the package
  EXPECT_EQ(rels.add("t/styles", "styles.xml"), "rId8");
  rels.remove("t/sheet");
  rels.store(p);
  EXPECT_EQ(p.read("xl/_rels/workbook.xml.rels"),
            "<?xml version=\"1.0\"?><Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
            "<Relationship Id=\"rId7\" Type=\"t/link\" Target=\"http://example.com/\" TargetMode=\"External\"/>"
            "<Relationship Id=\"rId8\" Type=\"t/styles\" Target=\"styles.xml\"/></Relationships>");
  EXPECT_EQ(Relationships(p, "xl/workbook.xml").targetOfType("t/styles"), "xl/styles.xml");
}

// The zip shapes other writers produce open, and a part written into them saves into a package
// Python's zipfile finds sound; damage and zip bombs are refused when opened or when read.
TEST_F(PackageTest, ZipShapesOfOtherWritersOpenAndDamagedOrBombedOnesAreRefused) {
  Package base;
  base.write("[Content_Types].xml", "<Types/>");
  base.write("word/document.xml", "<document>" + std::string(5000, 'x') + "</document>");
  base.save(path("base.zip"));
  const std::map<std::string, bool> opens = {
      {"descriptor-with-sizes", true}, {"trailing-bytes", true}, {"times-differ", true}, {"bad-crc", false},
      {"size-too-large", false},       {"size-too-small", false}, {"overlapping", false}, {"dotdot-name", false},
      {"absolute-name", false},        {"bomb", false},           {"bomb-understated", false}};
  for (auto& [shape, sound] : opens) {
    std::string file = path(shape + ".zip"), saved = path(shape + "-saved.zip");
    tlxtest::python("tests/support/zip_shapes.py", path("base.zip") + " " + file + " " + shape + " document.xml");
    try {
      Package p = Package::open(file);
      std::string pieces;
      p.readInPieces("word/document.xml", [&](std::string_view piece) { pieces += piece; });
      EXPECT_EQ(pieces, base.read("word/document.xml")) << shape;
      EXPECT_EQ(p.read("word/document.xml"), pieces) << shape;
      p.write("added.xml", "<added/>");
      p.save(saved);
      EXPECT_TRUE(sound) << shape << " was read";
      EXPECT_EQ(tlxtest::shell("/usr/bin/python3 -c 'import sys, zipfile; z = zipfile.ZipFile(sys.argv[1]); "
                               "print(z.testzip(), sorted(z.namelist()))' " + saved),
                "None ['[Content_Types].xml', 'added.xml', 'word/document.xml']\n") << shape;
    } catch (const PackageError& e) {
      EXPECT_FALSE(sound) << shape << ": " << e.what();
    }
  }
}

}  // namespace
}  // namespace tlx::platform::opc
