// Line-by-line reading of a text file for the array readers, in large blocks.
//
// When the configured code page maps every ASCII byte to the same character, lines made only of
// ASCII bytes are handed over as raw bytes (the caller can split them without decoding) and the
// other lines are decoded one by one; otherwise every line comes from TextReader. Either way the
// lines are those TextReader gives: CR or CR LF ends a line, a lone LF is an ordinary character,
// a last line without an end still counts.
#pragma once

#include <cstdio>
#include <memory>
#include <string_view>
#include <vector>

#include "automation/text_file.h"
#include "automation/variant.h"

namespace tlx {

// True when the code page decodes each byte 0..127 to the character of the same code.
bool codePageKeepsAscii();

bool isAsciiBytes(std::string_view s);
size_t countByte(std::string_view s, char c);
BStr widenAscii(std::string_view s);

class LineFile {
 public:
  LineFile() = default;
  ~LineFile();
  LineFile(const LineFile&) = delete;
  LineFile& operator=(const LineFile&) = delete;

  // False when the file cannot be opened for reading (missing, a directory, no permission).
  bool open(const BStr& fileName);
  // Starts again at the first line (a fresh open, as a second pass over the file).
  void rewind();

  // Calls ascii(std::string_view) for a line of ASCII bytes, wide(std::u16string_view) for any
  // other line. A read error raises.
  template <class Ascii, class Wide>
  void forEachLine(Ascii&& ascii, Wide&& wide);

 private:
  bool nextBytes(std::string_view& line);
  void refill();
  void closeFile();

  BStr name_;
  std::FILE* file_ = nullptr;
  std::unique_ptr<TextReader> reader_;
  std::vector<char> buffer_;
  size_t begin_ = 0;
  size_t end_ = 0;
  bool eof_ = false;
};

template <class Ascii, class Wide>
void LineFile::forEachLine(Ascii&& ascii, Wide&& wide) {
  if (reader_) {
    BStr line;
    while (reader_->readLine(line)) wide(std::u16string_view(line));
    return;
  }
  std::string_view bytes;
  while (nextBytes(bytes)) {
    if (isAsciiBytes(bytes)) {
      ascii(bytes);
    } else {
      BStr line = decodeText(bytes);
      wide(std::u16string_view(line));
    }
  }
}

}  // namespace tlx
