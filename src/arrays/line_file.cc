#include "arrays/line_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tlx {

namespace {
constexpr size_t kBlock = size_t(1) << 20;

// Whether the first `size` bytes of a file hold a CR. A read error answers yes, so that the usual
// rule stays and the read proper reports the error.
bool holdsCarriageReturn(int fd, uint64_t size) {
  std::vector<char> block(64 << 10);
  for (uint64_t at = 0; at < size;) {
    ssize_t n = ::pread(fd, block.data(), static_cast<size_t>(std::min<uint64_t>(block.size(), size - at)),
                        static_cast<off_t>(at));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return n < 0;
    if (std::memchr(block.data(), '\r', static_cast<size_t>(n))) return true;
    at += static_cast<uint64_t>(n);
  }
  return false;
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
  BStr out = BStr::ofLength(s.size());
  char16_t* w = out.mutableData();
  for (unsigned char c : s) *w++ = c;
  return out;
}

LineFile::~LineFile() { closeFile(); }

void LineFile::closeFile() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  reader_.reset();
}

namespace {
int64_t mtimeNs(const struct stat& st) { return int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec; }
}  // namespace

bool LineFile::open(const BStr& fileName) {
  closeFile();
  name_ = fileName;
  if (fileName.find(u'\0') != BStr::npos) return false;  // no file has such a name
  if (!codePageKeepsAscii()) {
    // A pipe is no file to read (twice); opening one could wait for a writer for good.
    struct stat st;
    if (::stat(toPath(fileName).c_str(), &st) == 0 && (S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode)))
      return false;
    try {
      const int fd = ::open(toPath(fileName).c_str(), O_RDONLY | O_CLOEXEC);
      struct stat opened;
      lineEnd_ = fd < 0 || fstat(fd, &opened) != 0 || holdsCarriageReturn(fd, uint64_t(opened.st_size)) ? '\r' : '\n';
      if (fd >= 0) ::close(fd);
      reader_ = std::make_unique<TextReader>(fileName, lineEnd_);
      return true;
    } catch (...) {
      return false;
    }
  }
  // Opened without waiting: a pipe with no writer would block the open for good. A pipe or a
  // socket cannot be read by position (nor twice), so it counts as a file that cannot be read.
  int fd = ::open(toPath(fileName).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat st;
  if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode) || S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode) ||
      fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
    ::close(fd);
    return false;
  }
  fd_ = fd;
  lineEnd_ = holdsCarriageReturn(fd, uint64_t(st.st_size)) ? '\r' : '\n';
  size_ = static_cast<uint64_t>(st.st_size);
  mtimeNs_ = mtimeNs(st);
  buffer_.resize(kBlock);
  begin_ = end_ = 0;
  eof_ = false;
  textStart_ = next_ = 0;
  stop_ = UINT64_MAX;
  // A UTF-8 byte-order mark is no part of the text.
  if (isUtf8Name(codePage())) {
    char head[3];
    try {
      if (readAt(0, head, 3) == 3 && std::memcmp(head, "\xEF\xBB\xBF", 3) == 0) textStart_ = next_ = 3;
    } catch (...) {
      return false;
    }
  }
  return true;
}

void LineFile::rewind() {
  if (!open(name_)) throw ComError(hr::FILE_NOT_FOUND, "File not found");
}

bool LineFile::unchangedSinceOpen() const {
  struct stat st;
  if (::stat(toPath(name_).c_str(), &st) != 0 || fd_ < 0) return false;
  struct stat mine;
  if (fstat(fd_, &mine) != 0 || mine.st_ino != st.st_ino || mine.st_dev != st.st_dev) return false;
  return static_cast<uint64_t>(st.st_size) == size_ && mtimeNs(st) == mtimeNs_;
}

size_t LineFile::readAt(uint64_t offset, char* to, size_t want) const {
  size_t got = 0;
  while (got < want) {
    ssize_t n = ::pread(fd_, to + got, want - got, static_cast<off_t>(offset + got));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw ComError(hr::basicError(57), "Device I/O error");
    if (n == 0) break;
    got += static_cast<size_t>(n);
  }
  return got;
}

uint64_t LineFile::lineStartFrom(uint64_t from) const {
  std::vector<char> block(64 << 10);
  for (uint64_t at = from;; at += block.size()) {
    size_t got = readAt(at, block.data(), block.size());
    const void* end = std::memchr(block.data(), lineEnd_, got);
    if (end) {
      uint64_t p = at + static_cast<uint64_t>(static_cast<const char*>(end) - block.data()) + 1;
      char next;
      if (lineEnd_ == '\r' && readAt(p, &next, 1) == 1 && next == '\n') ++p;
      return p;
    }
    if (got < block.size()) return at + got;
  }
}

void LineFile::limitTo(uint64_t begin, uint64_t end) {
  begin_ = end_ = 0;
  eof_ = false;
  next_ = begin;
  stop_ = end;
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
  if (next_ >= stop_)
    want = 0;
  else
    want = static_cast<size_t>(std::min<uint64_t>(want, stop_ - next_));
  size_t got = readAt(next_, buffer_.data() + end_, want);
  if (got < want || next_ + got >= stop_) eof_ = true;
  next_ += got;
  end_ += got;
}

bool LineFile::nextBytes(std::string_view& line) {
  for (;;) {
    const char* base = buffer_.data();
    const void* end = std::memchr(base + begin_, lineEnd_, end_ - begin_);
    if (end) {
      size_t p = static_cast<size_t>(static_cast<const char*>(end) - base);
      // A CR at the very end of the block may have its LF at the start of the next one.
      if (p + 1 < end_ || eof_ || lineEnd_ == '\n') {
        line = std::string_view(base + begin_, p - begin_);
        begin_ = p + 1;
        if (lineEnd_ == '\r' && begin_ < end_ && base[begin_] == '\n') ++begin_;
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
