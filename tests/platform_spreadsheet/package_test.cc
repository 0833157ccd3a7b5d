// The package layer: parts read, replaced and added; untouched parts kept as stored; bad
// packages and failed saves reported, never half-written.
#include <gtest/gtest.h>
#include <zip.h>

#include <filesystem>
#include <fstream>

#include "platform/opc/package.h"
#include "platform/app/recovery.h"
#include "platform/opc/xml_parts.h"

namespace tlx::platform::opc {
namespace {

namespace fs = std::filesystem;

struct Scratch {
  Scratch() {
    char t[] = "/tmp/talvex-opc-XXXXXX";
    dir = mkdtemp(t);
  }
  ~Scratch() { fs::remove_all(dir); }
  fs::path dir;
};

// Each entry's CRC and stored (compressed) size, which only an untouched copy keeps exactly.
std::map<std::string, std::pair<uint32_t, uint64_t>> stored(const fs::path& p) {
  int err = 0;
  zip_t* z = zip_open(p.c_str(), ZIP_RDONLY, &err);
  std::map<std::string, std::pair<uint32_t, uint64_t>> out;
  for (zip_int64_t i = 0; z && i < zip_get_num_entries(z, 0); ++i) {
    zip_stat_t st;
    zip_stat_index(z, zip_uint64_t(i), 0, &st);
    out[st.name] = {st.crc, st.comp_size};
  }
  if (z) zip_discard(z);
  return out;
}

TEST(Package, WritesNewPartsAndKeepsUntouchedOnesAsStored) {
  Scratch s;
  Package p;
  p.write("a.xml", "<a/>");
  p.write("big/b.bin", std::string(100000, 'x'));
  p.save((s.dir / "one.zip").string());
  auto before = stored(s.dir / "one.zip");
  ASSERT_EQ(before.size(), 2u);

  Package q = Package::open((s.dir / "one.zip").string());
  EXPECT_EQ(q.read("a.xml"), "<a/>");
  q.write("a.xml", "<a>changed</a>");
  q.write("c.xml", "<c/>");
  q.save((s.dir / "two.zip").string());
  auto after = stored(s.dir / "two.zip");
  EXPECT_EQ(after.at("big/b.bin"), before.at("big/b.bin"));
  EXPECT_NE(after.at("a.xml"), before.at("a.xml"));
  EXPECT_EQ(Package::open((s.dir / "two.zip").string()).read("c.xml"), "<c/>");
  EXPECT_EQ(q.partNames(), (std::vector<std::string>{"a.xml", "big/b.bin", "c.xml"}));
  q.remove("c.xml");
  EXPECT_FALSE(q.has("c.xml"));
  EXPECT_THROW(q.read("c.xml"), PackageError);
}

TEST(Package, RefusesWhatIsNotAPackageAndLeavesNoHalfWrittenFile) {
  EXPECT_THROW(Package::fromBytes("PK\x03\x04 not really"), PackageError);
  EXPECT_THROW(Package::fromBytes(""), PackageError);
  EXPECT_THROW(Package::open("/no/such/file.xlsx"), PackageError);
  Package p;
  p.write("a.xml", "<a/>");
  EXPECT_THROW(p.save("/no/such/folder/out.zip"), PackageError);
  EXPECT_FALSE(fs::exists("/no/such/folder/out.zip"));
  EXPECT_THROW(parseXml("<a><b></a>", "a.xml"), PackageError);
}

TEST(Package, PartNamesAndRelationships) {
  EXPECT_EQ(resolvePartName("xl/workbook.xml", "worksheets/sheet1.xml"), "xl/worksheets/sheet1.xml");
  EXPECT_EQ(resolvePartName("xl/worksheets/sheet1.xml", "../drawings/d1.xml"), "xl/drawings/d1.xml");
  EXPECT_EQ(resolvePartName("xl/workbook.xml", "/xl/styles.xml"), "xl/styles.xml");
  EXPECT_EQ(resolvePartName("", "../../../etc/passwd"), "etc/passwd");
  EXPECT_EQ(relationshipsPartOf("xl/workbook.xml"), "xl/_rels/workbook.xml.rels");
  EXPECT_EQ(relationshipsPartOf(""), "_rels/.rels");

  Package p;
  Relationships r(p, "xl/workbook.xml");
  std::string id1 = r.add("t/sheet", "worksheets/sheet1.xml");
  std::string id2 = r.add("t/styles", "styles.xml");
  EXPECT_NE(id1, id2);
  r.store(p);
  Relationships back(p, "xl/workbook.xml");
  EXPECT_EQ(back.targetOf(id1), "xl/worksheets/sheet1.xml");
  EXPECT_EQ(back.targetOfType("t/styles"), "xl/styles.xml");
  back.remove("t/styles");
  EXPECT_EQ(back.targetOfType("t/styles"), "");

  ContentTypes types;
  types.setOverride("xl/workbook.xml", "wb+xml");
  EXPECT_EQ(types.typeOf("xl/workbook.xml"), "wb+xml");
  EXPECT_EQ(types.typeOf("docProps/core.xml"), "application/xml");
  types.removeOverride("xl/workbook.xml");
  EXPECT_EQ(types.typeOf("xl/workbook.xml"), "application/xml");
}

TEST(Recovery, SavesOnlyWhatHasUnsavedWorkAndSaysWhere) {
  Scratch s;
  int kept = app::listUnsaved("Book1", ".xlsx", [](const std::string& path) {
    std::ofstream(path) << "data";
    return true;
  });
  app::listUnsaved("Book2", ".xlsx", [](const std::string&) { return false; });
  int gone = app::listUnsaved("Book3", ".xlsx", [](const std::string&) -> bool { throw std::runtime_error("no"); });
  app::unlistUnsaved(gone);
  std::ostringstream log;
  EXPECT_EQ(app::recoverUnsaved((s.dir / "rec").string(), log), 1);
  EXPECT_TRUE(fs::exists(s.dir / "rec" / "Book1.xlsx"));
  EXPECT_NE(log.str().find("Book1 saved to " + (s.dir / "rec" / "Book1.xlsx").string()), std::string::npos);
  EXPECT_EQ(log.str().find("Book2"), std::string::npos);
  EXPECT_EQ(app::recoverUnsaved((s.dir / "rec").string(), log), 0);  // the list is empty afterwards

  // Nothing to save makes no folder.
  app::listUnsaved("Book4", ".xlsx", [](const std::string&) { return false; });
  EXPECT_EQ(app::recoverUnsaved((s.dir / "none").string(), log), 0);
  EXPECT_FALSE(fs::exists(s.dir / "none"));
  (void)kept;
}

}  // namespace
}  // namespace tlx::platform::opc
