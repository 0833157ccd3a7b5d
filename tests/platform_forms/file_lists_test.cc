// Directory, drive and file list boxes over a directory tree made here.
#include <sys/stat.h>

#include <sstream>

#include "platform/forms/file_system.h"
#include "support/form_controls.h"

namespace tlxtest {
namespace {

TEST(DirListBox, ListsTheSubdirectoriesInTextOrderWithThePathAndItsAncestorsBelowZero) {
  ScratchTree t;
  t.dir("Beta/inner");
  t.dir("alpha");
  t.dir("gamma");
  t.dir(".hidden");
  t.file("file.txt");
  ObjRef dlb = control("VB.DirListBox");
  put(dlb, "Path", {Variant(u16(t.root.string() + "/"))});
  const std::string root = t.root.string();
  EXPECT_EQ(text(dlb, "Path"), root);
  EXPECT_EQ(entries(dlb), (std::vector<std::string>{root + "/alpha", root + "/Beta", root + "/gamma"}));
  EXPECT_EQ(text(dlb, "List", {int32_t{-1}}), root);
  EXPECT_EQ(text(dlb, "List", {int32_t{-2}}), t.root.parent_path().string());
  EXPECT_EQ(toI4(get(dlb, "ListIndex")), -1);

  // A relative path, a new directory seen on Refresh, and the way up to the root.
  put(dlb, "Path", {Variant(u16(root + "/Beta/../Beta"))});
  EXPECT_EQ(entries(dlb), (std::vector<std::string>{root + "/Beta/inner"}));
  t.dir("Beta/added");
  EXPECT_EQ(toI4(get(dlb, "ListCount")), 1);
  callMethod(dlb, "Refresh");
  EXPECT_EQ(entries(dlb), (std::vector<std::string>{root + "/Beta/added", root + "/Beta/inner"}));
  put(dlb, "Path", {Variant("/")});
  EXPECT_EQ(text(dlb, "List", {int32_t{-1}}), "/");
  EXPECT_EQ(errorOf([&] { get(dlb, "List", {int32_t{-2}}); }), hr::basicError(381));

  // A path that does not exist, or is a file, keeps the old one.
  EXPECT_EQ(errorOf([&] { put(dlb, "Path", {Variant(u16(root + "/nowhere"))}); }), hr::PATH_NOT_FOUND);
  EXPECT_EQ(errorOf([&] { put(dlb, "Path", {Variant(u16(root + "/file.txt"))}); }), hr::PATH_NOT_FOUND);
  EXPECT_EQ(text(dlb, "Path"), "/");
}

TEST(DriveListBox, TheRootFirstThenMountedDirectoriesOutsideTheRunTimeAreas) {
  ObjRef drives = control("VB.DriveListBox");
  std::vector<std::string> list = entries(drives);
  ASSERT_FALSE(list.empty());
  EXPECT_EQ(list[0], "/");
  for (const std::string& d : list) {
    EXPECT_TRUE(fs::is_directory(d)) << d;
    for (const char* area : {"/proc", "/sys", "/dev", "/run"}) EXPECT_NE(d.rfind(area, 0), 0u) << d;
  }
  put(drives, "Drive", {Variant("/")});
  EXPECT_EQ(text(drives, "Drive"), "/");
  EXPECT_EQ(toI4(get(drives, "ListIndex")), 0);
  EXPECT_EQ(errorOf([&] { put(drives, "Drive", {Variant("/no/such/drive")}); }), hr::basicError(68));
}

TEST(FileListBox, PatternsAttributesAndRefresh) {
  ScratchTree t;
  t.file("b.txt");
  t.file("A.TXT");
  t.file("c.csv");
  t.file("d.doc");
  t.file(".secret.txt");
  t.file("noext");
  t.dir("sub.txt");
  const fs::path locked = t.file("locked.txt");
  chmod(locked.c_str(), 0444);
  ObjRef flb = control("VB.FileListBox");
  put(flb, "Path", {Variant(u16(t.root.string()))});
  EXPECT_EQ(entries(flb), (std::vector<std::string>{"A.TXT", "b.txt", "c.csv", "d.doc", "locked.txt", "noext"}));
  put(flb, "Pattern", {Variant("*.txt; *.csv")});
  EXPECT_EQ(entries(flb), (std::vector<std::string>{"A.TXT", "b.txt", "c.csv", "locked.txt"}));
  put(flb, "Hidden", {true});
  put(flb, "ReadOnly", {false});
  EXPECT_EQ(entries(flb), (std::vector<std::string>{".secret.txt", "A.TXT", "b.txt", "c.csv"}));
  put(flb, "Hidden", {false});
  put(flb, "Archive", {false});
  EXPECT_TRUE(entries(flb).empty());
  put(flb, "Archive", {true});
  put(flb, "Pattern", {Variant("?.csv")});
  EXPECT_EQ(entries(flb), (std::vector<std::string>{"c.csv"}));

  // A file added after the listing appears on Refresh.
  t.file("e.csv");
  EXPECT_EQ(toI4(get(flb, "ListCount")), 1);
  callMethod(flb, "Refresh");
  EXPECT_EQ(entries(flb), (std::vector<std::string>{"c.csv", "e.csv"}));

  // FileName: a plain name selects, a wildcard is the pattern, a directory part is the path.
  put(flb, "FileName", {Variant("e.csv")});
  EXPECT_EQ(toI4(get(flb, "ListIndex")), 1);
  EXPECT_EQ(text(flb, "FileName"), "e.csv");
  EXPECT_TRUE(toBool(get(flb, "Selected", {int32_t{1}})));
  put(flb, "FileName", {Variant(u16(t.root.string() + "/sub.txt/*.*"))});
  EXPECT_EQ(text(flb, "Path"), t.root.string() + "/sub.txt");
  EXPECT_EQ(text(flb, "Pattern"), "*.*");
  EXPECT_EQ(toI4(get(flb, "ListCount")), 0);
  EXPECT_EQ(errorOf([&] { put(flb, "Path", {Variant(u16(t.root.string() + "/missing"))}); }), hr::PATH_NOT_FOUND);

  // A refresh keeps MultiSelect and clears the selection.
  put(flb, "Path", {Variant(u16(t.root.string()))});
  put(flb, "MultiSelect", {int32_t{2}});
  put(flb, "Selected", {int32_t{0}, true});
  put(flb, "Selected", {int32_t{1}, true});
  EXPECT_TRUE(toBool(get(flb, "Selected", {int32_t{0}})));
  callMethod(flb, "Refresh");
  EXPECT_EQ(toI4(get(flb, "MultiSelect")), 2);
  EXPECT_FALSE(toBool(get(flb, "Selected", {int32_t{0}})));
}

TEST(Drives, FromAMountTable) {
  ScratchTree t;
  t.dir("data disk");
  t.dir("net");
  const fs::path file = t.file("hosts");
  const std::string root = t.root.string();
  std::istringstream table("/dev/sda1 / ext4 rw 0 0\n"
                           "proc /proc proc rw 0 0\n"
                           "tmpfs /dev/shm tmpfs rw 0 0\n"
                           "/dev/sdb1 " + root + "/data\\040disk ext4 rw 0 0\n"
                           "server:/export " + root + "/net nfs4 rw 0 0\n"
                           "/dev/sda1 " + file.string() + " ext4 ro 0 0\n"
                           "/dev/sdc1 " + root + "/gone ext4 rw 0 0\n"
                           "/dev/sdb1 " + root + "/data\\040disk ext4 rw 0 0\n"
                           "/dev/loop0 /run/media/x ext4 rw 0 0\n"
                           "garbage\n");
  std::vector<std::string> drives;
  for (const BStr& d : platform::forms::drivesIn(table)) drives.push_back(u8(d));
  EXPECT_EQ(drives, (std::vector<std::string>{"/", root + "/data disk", root + "/net"}));
}

}  // namespace
}  // namespace tlxtest
