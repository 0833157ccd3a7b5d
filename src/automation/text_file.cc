// Text files in the configured code page.
#include "automation/text_file.h"

#include <iconv.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "automation/strings.h"

namespace tlx {

namespace {

constexpr size_t kReadChunk = 1 << 20;
constexpr size_t kWriteChunk = 1 << 16;
constexpr char16_t kReplacement = 0xFFFD;

// What a code page needs at run time. Single-byte pages use tables built once through iconv, so
// reading and writing never call iconv per character; multi-byte pages go through iconv per piece.
struct CodePageInfo {
  enum Kind { Utf8, SingleByte, MultiByte, Unusable } kind = Utf8;
  std::string name;
  std::string problem;            // why an Unusable page cannot be used
  char16_t decode[256] = {};      // SingleByte: the character of each byte
  std::vector<uint8_t> encode;    // SingleByte: byte of each 16-bit unit
  std::vector<bool> encodable;    // SingleByte: whether the unit has a byte
  uint8_t question = '?';
};

std::shared_ptr<const CodePageInfo> loadCodePage() {
  auto info = std::make_shared<CodePageInfo>();
  const char* env = std::getenv("TALVEX_CODEPAGE");
  info->name = env && *env ? env : "UTF-8";
  if (isUtf8Name(info->name)) {
    info->kind = CodePageInfo::Utf8;
    return info;
  }
  iconv_t cd = iconv_open("UTF-16LE", info->name.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    info->kind = CodePageInfo::Unusable;
    info->problem = "Unknown code page " + info->name;
    return info;
  }
  bool singleByte = true;
  for (int b = 0; b < 256 && singleByte; ++b) {
    char in = static_cast<char>(b);
    char out[8];
    char* ip = &in;
    char* op = out;
    size_t il = 1, ol = sizeof out;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    size_t r = iconv(cd, &ip, &il, &op, &ol);
    if (r == static_cast<size_t>(-1) && errno == EINVAL) {
      singleByte = false;  // a lead byte of a longer sequence
    } else if (r == static_cast<size_t>(-1) || op - out != 2) {
      info->decode[b] = kReplacement;
    } else {
      info->decode[b] = static_cast<char16_t>(static_cast<unsigned char>(out[0]) |
                                              (static_cast<unsigned char>(out[1]) << 8));
    }
  }
  iconv_close(cd);
  bool asciiLineEnds = true;
  if (singleByte) {
    info->kind = CodePageInfo::SingleByte;
    info->encode.assign(65536, 0);
    info->encodable.assign(65536, false);
    // Lowest byte wins when two bytes share a character.
    for (int b = 255; b >= 0; --b)
      if (info->decode[b] != kReplacement) {
        info->encode[info->decode[b]] = static_cast<uint8_t>(b);
        info->encodable[info->decode[b]] = true;
      }
    if (info->encodable[u'?']) info->question = info->encode[u'?'];
    asciiLineEnds = info->decode['\r'] == u'\r' && info->decode['\n'] == u'\n';
  } else {
    info->kind = CodePageInfo::MultiByte;
    // Multi-byte pages are handled bytewise for line ends, so they must keep ASCII as it is.
    iconv_t probe = iconv_open("UTF-16LE", info->name.c_str());
    char in[] = "\r\n?A";
    char out[16];
    char* ip = in;
    char* op = out;
    size_t il = 4, ol = sizeof out;
    size_t r = iconv(probe, &ip, &il, &op, &ol);
    asciiLineEnds = r != static_cast<size_t>(-1) && op - out == 8 && out[0] == '\r' && out[2] == '\n' &&
                    out[4] == '?' && out[6] == 'A';
    iconv_close(probe);
  }
  if (!asciiLineEnds) {
    info->kind = CodePageInfo::Unusable;
    info->problem = "Code page " + info->name + " is not an 8-bit text code page";
  }
  return info;
}

std::mutex codePageLock;
std::shared_ptr<const CodePageInfo> currentPage;

std::shared_ptr<const CodePageInfo> page() {
  std::lock_guard<std::mutex> lock(codePageLock);
  if (!currentPage) currentPage = loadCodePage();
  return currentPage;
}

const CodePageInfo& usablePage(const std::shared_ptr<const CodePageInfo>& p) {
  if (p->kind == CodePageInfo::Unusable) throw ComError(hr::E_INVALIDARG, p->problem);
  return *p;
}

bool allAscii(const char* p, size_t n) {
  // Eight bytes at a time: any high bit set means a non-ASCII byte.
  size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    uint64_t w;
    std::memcpy(&w, p + i, 8);
    if (w & 0x8080808080808080ull) return false;
  }
  for (; i < n; ++i)
    if (static_cast<unsigned char>(p[i]) & 0x80) return false;
  return true;
}

void widenAscii(const char* p, size_t n, char16_t* out) {
  for (size_t i = 0; i < n; ++i) out[i] = static_cast<unsigned char>(p[i]);
}

// UTF-8 to 16-bit; each byte of an invalid sequence becomes U+FFFD.
void decodeUtf8(std::string_view bytes, std::u16string& out) {
  const size_t n = bytes.size();
  const unsigned char* s = reinterpret_cast<const unsigned char*>(bytes.data());
  out.resize(n);
  char16_t* o = out.data();
  size_t i = 0, k = 0;
  while (i < n) {
    unsigned char c = s[i];
    if (c < 0x80) {
      o[k++] = c;
      ++i;
      continue;
    }
    int len = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 0;
    char32_t cp = len == 4 ? c & 0x07 : len == 3 ? c & 0x0F : c & 0x1F;
    bool ok = len != 0 && c < 0xF5 && i + len <= n;
    for (int j = 1; ok && j < len; ++j) {
      if ((s[i + j] & 0xC0) != 0x80) ok = false;
      cp = (cp << 6) | (s[i + j] & 0x3F);
    }
    if (ok && ((len == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) ||
               (len == 4 && (cp < 0x10000 || cp > 0x10FFFF))))
      ok = false;
    if (!ok) {
      o[k++] = kReplacement;
      ++i;
      continue;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      o[k++] = static_cast<char16_t>(0xD800 + (cp >> 10));
      o[k++] = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      o[k++] = static_cast<char16_t>(cp);
    }
    i += len;
  }
  out.resize(k);
}

void encodeUtf8(std::u16string_view text, std::string& out) {
  const size_t n = text.size();
  for (size_t i = 0; i < n; ++i) {
    char32_t c = text[i];
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
      continue;
    }
    if (c >= 0xD800 && c <= 0xDFFF) {
      if (c <= 0xDBFF && i + 1 < n && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
        c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
        ++i;
      } else {
        out.push_back('?');  // a lone surrogate has no encoding
        continue;
      }
    }
    if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    } else if (c < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (c >> 12)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (c >> 18)));
      out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    }
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

class Iconv {
 public:
  Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) throw ComError(hr::E_INVALIDARG, std::string("Unknown code page ") + from);
  }
  ~Iconv() { iconv_close(cd_); }
  iconv_t get() const { return cd_; }

 private:
  iconv_t cd_;
};

char16_t loadLE(const char* p) {
  return static_cast<char16_t>(static_cast<unsigned char>(p[0]) | (static_cast<unsigned char>(p[1]) << 8));
}

void decodeMulti(const CodePageInfo& cp, std::string_view bytes, std::u16string& out) {
  Iconv cd("UTF-16LE", cp.name.c_str());
  std::string buf(bytes.size() * 4 + 16, '\0');
  char* ip = const_cast<char*>(bytes.data());
  size_t il = bytes.size();
  char* op = buf.data();
  size_t ol = buf.size();
  out.clear();
  auto drain = [&] {
    for (char* p = buf.data(); p + 1 < op; p += 2) out.push_back(loadLE(p));
    op = buf.data();
    ol = buf.size();
  };
  while (il > 0) {
    size_t r = iconv(cd.get(), &ip, &il, &op, &ol);
    if (r != static_cast<size_t>(-1)) break;
    if (errno == E2BIG) {
      drain();
      continue;
    }
    drain();
    out.push_back(kReplacement);
    if (errno == EINVAL) break;  // truncated sequence at the end
    ++ip, --il;                  // EILSEQ: skip the offending byte
  }
  drain();
}

void encodeMulti(const CodePageInfo& cp, std::u16string_view text, std::string& out) {
  Iconv cd(cp.name.c_str(), "UTF-16LE");
  std::string in(text.size() * 2, '\0');
  for (size_t i = 0; i < text.size(); ++i) {
    in[2 * i] = static_cast<char>(text[i] & 0xFF);
    in[2 * i + 1] = static_cast<char>(text[i] >> 8);
  }
  char* ip = in.data();
  size_t il = in.size();
  std::string buf(text.size() * 4 + 16, '\0');
  char* op = buf.data();
  size_t ol = buf.size();
  auto drain = [&] {
    out.append(buf.data(), op - buf.data());
    op = buf.data();
    ol = buf.size();
  };
  while (il > 0) {
    size_t r = iconv(cd.get(), &ip, &il, &op, &ol);
    if (r != static_cast<size_t>(-1)) break;
    if (errno == E2BIG) {
      drain();
      continue;
    }
    drain();
    out.push_back('?');
    if (errno == EINVAL) break;  // a lone high surrogate at the end
    // Skip the unit, or the whole pair when it is a valid surrogate pair.
    const char16_t u = loadLE(ip);
    size_t skip = 2;
    if (u >= 0xD800 && u <= 0xDBFF && il >= 4) {
      const char16_t low = loadLE(ip + 2);
      if (low >= 0xDC00 && low <= 0xDFFF) skip = 4;
    }
    ip += skip, il -= skip;
  }
  drain();
}

// Decodes into `out`, reusing its storage.
void decodeInto(const CodePageInfo& cp, std::string_view bytes, std::u16string& out) {
  const size_t n = bytes.size();
  if (cp.kind == CodePageInfo::SingleByte) {
    out.resize(n);
    const unsigned char* s = reinterpret_cast<const unsigned char*>(bytes.data());
    char16_t* o = out.data();
    for (size_t i = 0; i < n; ++i) o[i] = cp.decode[s[i]];
    return;
  }
  if (allAscii(bytes.data(), n)) {
    out.resize(n);
    widenAscii(bytes.data(), n, out.data());
    return;
  }
  if (cp.kind == CodePageInfo::Utf8) decodeUtf8(bytes, out);
  else decodeMulti(cp, bytes, out);
}

void encodeAppend(const CodePageInfo& cp, std::u16string_view text, std::string& out) {
  if (cp.kind == CodePageInfo::SingleByte) {
    const size_t start = out.size();
    out.resize(start + text.size());
    char* o = out.data() + start;
    size_t k = 0;
    for (size_t i = 0; i < text.size(); ++i) {
      const char16_t c = text[i];
      if (cp.encodable[c]) {
        o[k++] = static_cast<char>(cp.encode[c]);
        continue;
      }
      o[k++] = static_cast<char>(cp.question);
      // A surrogate pair is one character: one "?".
      if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) ++i;
    }
    out.resize(start + k);
    return;
  }
  bool ascii = true;
  for (char16_t c : text)
    if (c >= 0x80) {
      ascii = false;
      break;
    }
  if (ascii) {
    const size_t start = out.size();
    out.resize(start + text.size());
    for (size_t i = 0; i < text.size(); ++i) out[start + i] = static_cast<char>(text[i]);
    return;
  }
  if (cp.kind == CodePageInfo::Utf8) encodeUtf8(text, out);
  else encodeMulti(cp, text, out);
}

bool directoryExists(const std::filesystem::path& p) {
  std::error_code ec;
  return p.empty() || std::filesystem::is_directory(p, ec);
}

[[noreturn]] void openFailure(const std::filesystem::path& path, int err, bool reading) {
  switch (err) {
    case ENOENT:
      if (reading && directoryExists(path.parent_path())) throw ComError(hr::FILE_NOT_FOUND, "File not found");
      throw ComError(hr::PATH_NOT_FOUND, "Path not found");
    case ENOTDIR:
      throw ComError(hr::PATH_NOT_FOUND, "Path not found");
    case ENAMETOOLONG:
      throw ComError(hr::BAD_FILE_NAME, "Bad file name or number");
    default:
      throw ComError(hr::basicError(75), "Path/File access error");
  }
}

[[noreturn]] void ioFailure(int err) {
  if (err == ENOSPC) throw ComError(hr::basicError(61), "Disk full");
  throw ComError(hr::basicError(57), "Device I/O error");
}

}  // namespace

bool isUtf8Name(std::string_view name) {
  std::string n;
  for (char c : name)
    if (c != '-' && c != '_') n.push_back(asciiUpper(c));
  return n == "UTF8";
}

const std::string& codePage() {
  static thread_local std::shared_ptr<const CodePageInfo> held;
  held = page();
  return held->name;
}

std::string codePageProblem() { return page()->problem; }

void reloadCodePage() {
  std::lock_guard<std::mutex> lock(codePageLock);
  currentPage = loadCodePage();
}

std::string encodeText(std::u16string_view text) {
  auto p = page();
  std::string out;
  out.reserve(text.size());
  encodeAppend(usablePage(p), text, out);
  return out;
}

BStr decodeText(std::string_view bytes) {
  auto p = page();
  std::u16string out;
  decodeInto(usablePage(p), bytes, out);
  return out;
}

std::filesystem::path toPath(std::u16string_view name) {
  // The system would read the name only up to a NUL: another file than the one asked for.
  if (name.find(u'\0') != std::u16string_view::npos) throw ComError(hr::BAD_FILE_NAME);
  return std::filesystem::path(u8(name));
}

// ---------------------------------------------------------------------------------------------
// TextReader

TextReader::TextReader(std::u16string_view fileName, char lineEnd) : lineEnd_(lineEnd) {
  usablePage(page());
  if (fileName.empty()) throw ComError(hr::BAD_FILE_NAME, "Bad file name or number");
  const std::filesystem::path path = toPath(fileName);
  struct stat st;
  if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
    throw ComError(hr::basicError(75), "Path/File access error");
  file_ = std::fopen(path.c_str(), "rb");
  if (!file_) openFailure(path, errno, true);
  // A UTF-8 byte-order mark is no part of the text.
  if (page()->kind == CodePageInfo::Utf8 && fill() && buffer_.compare(0, 3, "\xEF\xBB\xBF") == 0) pos_ = 3;
}

TextReader::~TextReader() {
  if (file_) std::fclose(file_);
}

bool TextReader::fill() {
  if (eof_ || !file_) return false;
  if (pos_ > 0) {
    buffer_.erase(0, pos_);
    pos_ = 0;
  }
  const size_t old = buffer_.size();
  buffer_.resize(old + kReadChunk);
  const size_t n = std::fread(buffer_.data() + old, 1, kReadChunk, file_);
  buffer_.resize(old + n);
  if (n == 0) {
    if (std::ferror(file_)) ioFailure(errno);
    eof_ = true;
    return false;
  }
  return true;
}

bool TextReader::readLine(std::u16string& line) {
  auto p = page();
  const CodePageInfo& cp = usablePage(p);
  if (pos_ >= buffer_.size() && !fill()) return false;
  if (skipLF_) {
    skipLF_ = false;
    if (buffer_[pos_] == '\n') {
      ++pos_;
      if (pos_ >= buffer_.size() && !fill()) return false;
    }
  }
  size_t scanned = 0;  // bytes after pos_ known to hold no line end
  for (;;) {
    const char* base = buffer_.data() + pos_;
    const size_t avail = buffer_.size() - pos_;
    const void* end = std::memchr(base + scanned, lineEnd_, avail - scanned);
    if (end) {
      const size_t len = static_cast<const char*>(end) - base;
      decodeInto(cp, std::string_view(base, len), line);
      pos_ += len + 1;
      skipLF_ = lineEnd_ == '\r';
      return true;
    }
    scanned = avail;
    if (!fill()) {
      decodeInto(cp, std::string_view(buffer_.data() + pos_, buffer_.size() - pos_), line);
      pos_ = buffer_.size();
      return true;
    }
  }
}

BStr TextReader::readAll() {
  auto p = page();
  const CodePageInfo& cp = usablePage(p);
  if (skipLF_) {
    skipLF_ = false;
    if ((pos_ < buffer_.size() || fill()) && buffer_[pos_] == '\n') ++pos_;
  }
  while (fill()) {
  }
  std::u16string out;
  decodeInto(cp, std::string_view(buffer_.data() + pos_, buffer_.size() - pos_), out);
  pos_ = buffer_.size();
  return out;
}

// ---------------------------------------------------------------------------------------------
// TextWriter

TextWriter::TextWriter(std::u16string_view fileName) {
  usablePage(page());
  if (fileName.empty()) throw ComError(hr::BAD_FILE_NAME, "Bad file name or number");
  const std::filesystem::path path = toPath(fileName);
  // Text files are files: opening a pipe that has no reader would wait for one for good.
  struct stat st;
  if (::stat(path.c_str(), &st) == 0 && (S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode)))
    throw ComError(hr::basicError(75));
  file_ = std::fopen(path.c_str(), "wb");
  if (!file_) openFailure(path, errno, false);
}

TextWriter::~TextWriter() {
  if (!file_) return;
  // Reached only on a failure path of the caller: keep what was written, report nothing.
  if (!pending_.empty()) std::fwrite(pending_.data(), 1, pending_.size(), file_);
  std::fclose(file_);
}

void TextWriter::write(std::u16string_view text) {
  if (!file_) throw ComError(hr::BAD_FILE_NAME, "Bad file name or number");
  auto p = page();
  encodeAppend(usablePage(p), text, pending_);
  if (pending_.size() >= kWriteChunk) {
    const size_t n = std::fwrite(pending_.data(), 1, pending_.size(), file_);
    if (n != pending_.size()) ioFailure(errno);
    pending_.clear();
  }
}

void TextWriter::writeLine(std::u16string_view line) {
  write(line);
  write(u"\r\n");
}

void TextWriter::close() {
  if (!file_) return;
  std::FILE* f = std::exchange(file_, nullptr);
  int err = 0;
  if (!pending_.empty() && std::fwrite(pending_.data(), 1, pending_.size(), f) != pending_.size()) err = errno ? errno : EIO;
  pending_.clear();
  if (std::fflush(f) != 0 && !err) err = errno ? errno : EIO;
  if (std::fclose(f) != 0 && !err) err = errno ? errno : EIO;
  if (err) ioFailure(err);
}

}  // namespace tlx
