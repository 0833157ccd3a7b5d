// Line-by-line reading of a text file for the array readers, in large blocks.
//
// When the configured code page maps every ASCII byte to the same character, lines made only of
// ASCII bytes are handed over as raw bytes (the caller can split them without decoding) and the
// other lines are decoded one by one; otherwise every line comes from TextReader. Either way the
// lines are those TextReader gives: CR or CR LF ends a line, a lone LF is an ordinary character,
// a last line without an end still counts. A file without any CR is a file written on this
// system: LF ends its lines.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "automation/text_file.h"
#include "talvex/variant.h"

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
  // The byte that ends lines: '\r' (a CR LF counts as one end) or, in a file without CR, '\n'.
  char lineEnd() const { return lineEnd_; }

  // Reading a file in parts, for lines that come as bytes only (see bytewise()). Offsets are
  // file positions; `textStart` skips a byte-order mark.
  bool bytewise() const { return !reader_; }
  uint64_t textStart() const { return textStart_; }
  uint64_t sizeAtOpen() const { return size_; }
  // Whether the file at the name still looks as it did when this reader opened it.
  bool unchangedSinceOpen() const;
  // The first position at or after `from` where a line starts (just past a line end), or the
  // end of the file when no line starts there. A read error raises.
  uint64_t lineStartFrom(uint64_t from) const;
  // The following lines are read from the bytes [begin, end) only.
  void limitTo(uint64_t begin, uint64_t end);

  // Calls ascii(std::string_view) for a line of ASCII bytes, wide(std::u16string_view) for any
  // other line. A read error raises.
  template <class Ascii, class Wide>
  void forEachLine(Ascii&& ascii, Wide&& wide);

 private:
  bool nextBytes(std::string_view& line);
  void refill();
  void closeFile();
  size_t readAt(uint64_t offset, char* to, size_t want) const;

  BStr name_;
  int fd_ = -1;
  uint64_t size_ = 0;
  int64_t mtimeNs_ = 0;
  uint64_t textStart_ = 0;
  char lineEnd_ = '\r';
  uint64_t next_ = 0;              // file position of the next read
  uint64_t stop_ = UINT64_MAX;     // no reads at or past this position
  std::unique_ptr<TextReader> reader_;
  std::vector<char> buffer_;
  size_t begin_ = 0;
  size_t end_ = 0;
  bool eof_ = false;
};

template <class Ascii, class Wide>
void LineFile::forEachLine(Ascii&& ascii, Wide&& wide) {
  if (reader_) {
    std::u16string line;
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
