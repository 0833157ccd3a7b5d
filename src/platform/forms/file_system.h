// What the directory, drive and file list boxes read from the file system.
#pragma once

#include <filesystem>
#include <istream>
#include <string_view>
#include <vector>

#include "talvex/bstr.h"

namespace tlx::platform::forms {

// An existing directory named by `text` (relative names from the current directory), absolute
// and without a trailing separator; "Path not found" otherwise.
std::filesystem::path existingDirectory(std::u16string_view text);
BStr textOf(const std::filesystem::path& p);

// Subdirectories of `dir` without the hidden ones (names starting with a dot), as full paths,
// in the lists' text order of their names.
std::vector<BStr> subdirectories(const std::filesystem::path& dir);

// The root and the mount points a user would pick: not the kernel's own file systems, not the
// run-time ones under /proc, /sys, /dev and /run, not files mounted over files.
std::vector<BStr> mountedDrives();
// The same from a mount table in the form of /proc/self/mounts.
std::vector<BStr> drivesIn(std::istream& mountTable);
// The drive whose mount point holds `p` (the longest one that is a prefix of it).
BStr driveOf(const std::filesystem::path& p, const std::vector<BStr>& drives);

struct FileFilter {
  BStr pattern = u"*.*";  // wildcards * and ?, several separated by ';', case ignored
  bool archive = true;    // ordinary files (this system keeps no archive bit: every file has it)
  bool hidden = false;    // names starting with a dot
  bool readOnly = true;   // files their owner may not write
  bool system = false;    // entries that are neither files nor directories (sockets, pipes, devices)
};
// The names in `dir` that pass the filter, in the lists' text order.
std::vector<BStr> filesIn(const std::filesystem::path& dir, const FileFilter& filter);
bool matchesPattern(std::u16string_view name, std::u16string_view patterns);

}  // namespace tlx::platform::forms
