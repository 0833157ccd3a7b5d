// Reading a server's LIST answer: the long forms of Unix servers ("drwxr-xr-x 2 o g 4096 Jan 1
// 12:00 name") and of DOS-style servers ("01-31-24  10:00PM  <DIR>  name"). The text comes from
// the server: every line is taken apart defensively, and lines of neither form are skipped.
// parseFtpListing is the entry point for fuzzing.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tlx::platform::inet {

struct FtpListEntry {
  std::string name;  // as the server sent it (UTF-8 expected); a symbolic link without " -> target"
  bool isDirectory = false;
  int64_t size = -1;  // -1 when the line gives none
};

// Entries in the order listed, without "." and "..".
std::vector<FtpListEntry> parseFtpListing(std::string_view text);

// The lines of a server's answer, split at LF with a CR before it dropped.
std::vector<std::string_view> splitLines(std::string_view text);

// The control's DIR result: one name per line, directories ending in "/", each line ending CR LF.
std::string formatDirResult(const std::vector<FtpListEntry>& entries);

}  // namespace tlx::platform::inet
