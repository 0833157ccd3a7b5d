#include "arrays/line_file.h"

#include <sys/stat.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <string>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tlx {

namespace {
constexpr size_t kBlock = size_t(1) << 20;

bool isUtf8(const std::string& name) {
  std::string n;
  for (char c : name)
    if (c != '-' && c != '_') n.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
  return n == "UTF8";
}

}  // namespace

bool codePageKeepsAscii() {
  // Answered once per code page (tests may switch it within one process).
  static std::string checked;
  static bool keeps = false;
  if (!checked.empty() && checked == codePage()) return keeps;
  std::string bytes(128, '\0');
  for (int i = 0; i < 128; ++i) bytes[i] = static_cast<char>(i);
  keeps = false;
  try {
    BStr text = decodeText(bytes);
    keeps = text.size() == 128;
    for (int i = 0; keeps && i < 128; ++i) keeps = text[i] == static_cast<char16_t>(i);
  } catch (...) {
    keeps = false;
  }
  checked = codePage();
  return keeps;
}

bool isAsciiBytes(std::string_view s) {
  const char* p = s.data();
  size_t n = s.size(), i = 0;
#if defined(__SSE2__)
  __m128i any = _mm_setzero_si128();
  for (; i + 16 <= n; i += 16) any = _mm_or_si128(any, _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i)));
  if (_mm_movemask_epi8(any) != 0) return false;
#endif
  unsigned char high = 0;
  for (; i < n; ++i) high |= static_cast<unsigned char>(p[i]);
  return (high & 0x80) == 0;
}

size_t countByte(std::string_view s, char c) {
  const char* p = s.data();
  size_t n = s.size(), i = 0, count = 0;
#if defined(__SSE2__)
  // Matches add up per byte lane (at most 255 rounds before a lane could wrap), then get summed.
  const __m128i needle = _mm_set1_epi8(c);
  const __m128i zero = _mm_setzero_si128();
  while (i + 16 <= n) {
    __m128i lanes = zero;
    for (int round = 0; round < 255 && i + 16 <= n; ++round, i += 16) {
      __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
      lanes = _mm_sub_epi8(lanes, _mm_cmpeq_epi8(v, needle));
    }
    __m128i sums = _mm_sad_epu8(lanes, zero);
    count += static_cast<size_t>(_mm_cvtsi128_si32(sums)) +
             static_cast<size_t>(_mm_cvtsi128_si32(_mm_srli_si128(sums, 8)));
  }
#endif
  for (; i < n; ++i) count += p[i] == c;
  return count;
}

BStr widenAscii(std::string_view s) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(s.data());
  return BStr(p, p + s.size());
}

LineFile::~LineFile() { closeFile(); }

void LineFile::closeFile() {
  if (file_) std::fclose(file_);
  file_ = nullptr;
  reader_.reset();
}

bool LineFile::open(const BStr& fileName) {
  closeFile();
  name_ = fileName;
  if (!codePageKeepsAscii()) {
    try {
      reader_ = std::make_unique<TextReader>(fileName);
      return true;
    } catch (...) {
      return false;
    }
  }
  std::FILE* f = std::fopen(toPath(fileName).c_str(), "rb");
  if (!f) return false;
  struct stat st;
  if (fstat(fileno(f), &st) != 0 || S_ISDIR(st.st_mode)) {
    std::fclose(f);
    return false;
  }
  file_ = f;
  buffer_.resize(kBlock);
  begin_ = end_ = 0;
  eof_ = false;
  // A UTF-8 byte-order mark is no part of the text.
  if (isUtf8(codePage())) {
    try {
      refill();
    } catch (...) {
      return false;
    }
    if (end_ >= 3 && std::memcmp(buffer_.data(), "\xEF\xBB\xBF", 3) == 0) begin_ = 3;
  }
  return true;
}

void LineFile::rewind() {
  if (!open(name_)) throw ComError(hr::FILE_NOT_FOUND, "File not found");
}

void LineFile::refill() {
  if (begin_ > 0) {
    std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
    end_ -= begin_;
    begin_ = 0;
  }
  // A line longer than the buffer: make room for more of it.
  if (end_ == buffer_.size()) buffer_.resize(buffer_.size() * 2);
  size_t want = buffer_.size() - end_;
  size_t got = std::fread(buffer_.data() + end_, 1, want, file_);
  if (got < want) {
    if (std::ferror(file_)) throw ComError(hr::basicError(57), "Device I/O error");
    eof_ = true;
  }
  end_ += got;
}

bool LineFile::nextBytes(std::string_view& line) {
  for (;;) {
    const char* base = buffer_.data();
    const void* cr = std::memchr(base + begin_, '\r', end_ - begin_);
    if (cr) {
      size_t p = static_cast<size_t>(static_cast<const char*>(cr) - base);
      // A CR at the very end of the block may have its LF at the start of the next one.
      if (p + 1 < end_ || eof_) {
        line = std::string_view(base + begin_, p - begin_);
        begin_ = p + 1;
        if (begin_ < end_ && base[begin_] == '\n') ++begin_;
        return true;
      }
    } else if (eof_) {
      if (begin_ == end_) return false;
      line = std::string_view(base + begin_, end_ - begin_);
      begin_ = end_;
      return true;
    }
    refill();
  }
}

}  // namespace tlx
