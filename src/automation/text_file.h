// Text files: 8-bit text in one configured code page (TALVEX_CODEPAGE, an iconv name; UTF-8 by
// default). Characters the code page cannot hold are written as "?".
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

#include "talvex/variant.h"

namespace tlx {

// The configured code page, read once from TALVEX_CODEPAGE.
const std::string& codePage();
bool isUtf8Name(std::string_view codePage);  // "UTF-8", "utf8", "UTF_8", ...
// Why the configured code page cannot be used; empty when it can.
std::string codePageProblem();
// Reads TALVEX_CODEPAGE again (for tests that switch code pages within one process).
void reloadCodePage();
std::string encodeText(std::u16string_view text);  // to the code page
BStr decodeText(std::string_view bytes);           // from the code page

// A file name as a path; a name with a NUL in it raises "Bad file name or number".
std::filesystem::path toPath(std::u16string_view name);

// Reads lines: CR or CR LF ends a line (neither belongs to it); a lone LF is an ordinary
// character; a last line without an end still counts. A missing file raises "File not found".
// With `lineEnd` '\n' a LF alone ends a line instead, for files known to hold no CR.
class TextReader {
 public:
  explicit TextReader(std::u16string_view fileName, char lineEnd = '\r');
  ~TextReader();
  TextReader(const TextReader&) = delete;
  TextReader& operator=(const TextReader&) = delete;

  bool readLine(std::u16string& line);  // false at end of file
  BStr readAll();             // the rest of the file, decoded, line ends kept

 private:
  bool fill();
  std::FILE* file_ = nullptr;
  std::string buffer_;
  size_t pos_ = 0;
  bool eof_ = false;
  char lineEnd_;
  bool skipLF_ = false;  // the last line ended in CR: a LF that follows belongs to that end
};

// Writes a new file (an existing one is replaced); every line ends CR LF.
class TextWriter {
 public:
  explicit TextWriter(std::u16string_view fileName);
  ~TextWriter();
  TextWriter(const TextWriter&) = delete;
  TextWriter& operator=(const TextWriter&) = delete;

  void writeLine(std::u16string_view line);
  void write(std::u16string_view text);  // as is, no line end
  void close();                          // flushes; raises on a write error

 private:
  std::FILE* file_ = nullptr;
  std::string pending_;
};

}  // namespace tlx
