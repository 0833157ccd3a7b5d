// Legacy .xls workbooks (BIFF5 and BIFF8 in a compound file). FreeXL reads the sheets, their
// numbers, strings and dates (1900 or 1904 system), in a child process; it passes over Boolean
// and error cells and every formula, so those are taken from the sheets' records here: a
// formula's last result (number, text, Boolean or error) is what the cell shows.
#include <freexl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>

#include "automation/strings.h"
#include "platform/opc/compound_file.h"
#include "platform/spreadsheet/cell_values.h"
#include "platform/spreadsheet/import.h"

namespace tlx::platform::spreadsheet {

namespace {

[[noreturn]] void refused(const std::string& why) { throw opc::PackageError("The .xls workbook " + why); }

uint16_t u16at(std::string_view s, size_t at) {
  return static_cast<uint16_t>(static_cast<unsigned char>(s[at]) | static_cast<unsigned char>(s[at + 1]) << 8);
}
uint32_t u32at(std::string_view s, size_t at) { return u16at(s, at) | uint32_t(u16at(s, at + 2)) << 16; }

// BIFF text: 8-bit characters (Latin-1 in BIFF8's compressed form) or UTF-16.
std::string biffText(std::string_view chars, bool wide) {
  std::u16string out;
  if (wide)
    for (size_t i = 0; i + 1 < chars.size(); i += 2) out += char16_t(u16at(chars, i));
  else
    for (char c : chars) out += char16_t(static_cast<unsigned char>(c));
  return u8(out);
}

struct Record {
  uint16_t type = 0;
  std::string_view data;
};

// The records of a workbook stream from an offset; stops at the first one that runs past the end.
class Records {
 public:
  Records(std::string_view stream, size_t at) : s_(stream), at_(at) {}
  bool next(Record& r) {
    if (at_ > s_.size() || s_.size() - at_ < 4) return false;
    uint16_t length = u16at(s_, at_ + 2);
    if (s_.size() - at_ - 4 < length) return false;
    r = Record{u16at(s_, at_), s_.substr(at_ + 4, length)};
    at_ += 4 + size_t(length);
    return true;
  }

 private:
  std::string_view s_;
  size_t at_;
};

constexpr uint16_t kBof = 0x0809, kEof = 0x000A, kBoundSheet = 0x0085, kFormula = 0x0006, kString = 0x0207,
                   kBoolErr = 0x0205;

struct BiffCell {
  int32_t row, col;
  Variant value;
};

Variant errorValue(uint8_t code) {
  HRESULT scode = hr::basicError(2000 + code);
  return Variant(ErrorValue{errorText(scode).empty() ? hr::basicError(2015) : scode});
}

// A FORMULA record's last result; a text result follows in a STRING record (`pendingText`).
std::optional<Variant> formulaResult(std::string_view d, bool& pendingText) {
  auto byte = [&](size_t i) { return static_cast<unsigned char>(d[i]); };
  if (byte(12) != 0xFF || byte(13) != 0xFF) {
    double v;
    std::memcpy(&v, d.data() + 6, sizeof v);
    return std::isfinite(v) ? std::optional<Variant>(Variant(v)) : std::nullopt;
  }
  if (byte(6) == 0) pendingText = true;
  if (byte(6) == 1) return Variant(byte(8) != 0);
  if (byte(6) == 2) return errorValue(byte(8));
  return std::nullopt;
}

std::string stringRecordText(std::string_view d, bool biff8) {
  if (d.size() < 2) return "";
  size_t count = u16at(d, 0);
  if (!biff8) return biffText(d.substr(2, count), false);
  if (d.size() < 3) return "";
  bool wide = d[2] & 1;
  return biffText(d.substr(3, wide ? 2 * count : count), wide);
}

// One worksheet's substream: its Boolean and error cells and formula results. `budget` is the
// number of records every sheet together may take: sheets of a sound file never share them.
std::vector<BiffCell> sheetExtras(std::string_view stream, size_t offset, bool biff8, size_t& budget) {
  std::vector<BiffCell> out;
  Records records(stream, offset);
  Record r;
  int depth = 0;  // charts embedded in a sheet are substreams of their own
  int32_t textRow = 0, textCol = 0;  // the formula whose text result comes next; row 0 for none
  while (budget && records.next(r)) {
    --budget;
    if (r.type == kBof) ++depth;
    else if (r.type == kEof && --depth <= 0) break;
    if (depth != 1) continue;
    if (r.type == kBoolErr && r.data.size() >= 8) {
      Variant v = r.data[7] ? errorValue(static_cast<uint8_t>(r.data[6])) : Variant(r.data[6] != 0);
      out.push_back({u16at(r.data, 0) + 1, u16at(r.data, 2) + 1, v});
    } else if (r.type == kFormula && r.data.size() >= 14) {
      bool pendingText = false;
      int32_t row = u16at(r.data, 0) + 1, col = u16at(r.data, 2) + 1;
      if (auto v = formulaResult(r.data, pendingText)) out.push_back({row, col, *v});
      textRow = pendingText ? row : 0;
      textCol = col;
    } else if (r.type == kString && textRow) {
      out.push_back({textRow, textCol, Variant(u16(stringRecordText(r.data, biff8)))});
      textRow = 0;
    }
  }
  return out;
}

// By worksheet name, the cells FreeXL passes over; empty for a stream it cannot follow.
std::map<std::string, std::vector<BiffCell>> cellsFreeXlSkips(std::string_view stream) {
  std::map<std::string, std::vector<BiffCell>> out;
  Records globals(stream, 0);
  Record r;
  if (!globals.next(r) || r.type != kBof || r.data.size() < 2) return out;
  bool biff8 = u16at(r.data, 0) == 0x0600;
  size_t budget = stream.size() / 4;  // at most one record in four bytes
  while (globals.next(r) && r.type != kEof) {
    if (r.type != kBoundSheet || r.data.size() < 8 || r.data[5] != 0) continue;  // worksheets only
    size_t count = static_cast<unsigned char>(r.data[6]);
    bool wide = biff8 && (r.data[7] & 1);
    std::string_view chars = r.data.substr(biff8 ? 8 : 7);
    std::string name = biffText(chars.substr(0, wide ? 2 * count : count), wide);
    out[name] = sheetExtras(stream, u32at(r.data, 0), biff8, budget);
  }
  return out;
}

std::string workbookStream(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), {});
  opc::CompoundFile cf(bytes);
  if (auto s = cf.stream(u"Workbook")) return *s;
  return cf.stream(u"Book").value_or("");
}

// FreeXL writes outside its buffers on some damaged files, so it runs in a child process
// that cannot harm the host: the child sends what it read down a pipe as messages, a kind
// byte then its fields (numbers in the machine's order, texts after their length):
// 'S' name: the next sheet; 'N' row col double; 'T' row col text; 'D' row col date text;
// 'E' text: why the file was refused.
class Outbox {
 public:
  explicit Outbox(int fd) : fd_(fd) {}
  Outbox& kind(char k) {
    if (out_.size() > (1 << 16)) flush();
    out_ += k;
    return *this;
  }
  Outbox& cell(uint32_t row, uint32_t col) { return raw(row).raw(col); }
  Outbox& text(std::string_view s) {
    raw(static_cast<uint32_t>(s.size()));
    out_ += s;
    return *this;
  }
  template <class T>
  Outbox& raw(T v) {
    out_.append(reinterpret_cast<const char*>(&v), sizeof v);
    return *this;
  }
  void flush() {
    for (size_t at = 0; at < out_.size();) {
      ssize_t n = ::write(fd_, out_.data() + at, out_.size() - at);
      if (n <= 0) _exit(2);
      at += static_cast<size_t>(n);
    }
    out_.clear();
  }

 private:
  int fd_;
  std::string out_;
};

[[noreturn]] void childRefuses(Outbox& out, const std::string& why) {
  out.kind('E').text(why).flush();
  _exit(1);
}

void sendCell(Outbox& out, unsigned r, unsigned c, const FreeXL_CellValue& v) {
  const char* text = v.value.text_value ? v.value.text_value : "";
  switch (v.type) {
    case FREEXL_CELL_INT: out.kind('N').cell(r, c).raw(double(v.value.int_value)); break;
    case FREEXL_CELL_DOUBLE: out.kind('N').cell(r, c).raw(v.value.double_value); break;
    case FREEXL_CELL_TEXT:
    case FREEXL_CELL_SST_TEXT: out.kind('T').cell(r, c).text(text); break;
    case FREEXL_CELL_DATE:
    case FREEXL_CELL_DATETIME:
    case FREEXL_CELL_TIME: out.kind('D').cell(r, c).text(text); break;
  }
}

// Set by sanitizer builds only.
extern "C" void __sanitizer_set_death_callback(void (*)()) __attribute__((weak));

// The child only ends when it fails: hooks its parent set for its own failures (a fuzzer's
// record of a crashing input) are not the child's.
void plainEndings() {
  if (__sanitizer_set_death_callback) __sanitizer_set_death_callback(nullptr);
  for (int sig : {SIGSEGV, SIGBUS, SIGABRT, SIGILL, SIGFPE, SIGALRM}) signal(sig, SIG_DFL);
}

[[noreturn]] void readInChild(const std::string& path, int fd) {
  plainEndings();
  alarm(60);  // a reader caught in a loop ends here
  Outbox out(fd);
  const void* xl = nullptr;
  if (int rc = freexl_open(path.c_str(), &xl); rc != FREEXL_OK)
    childRefuses(out, "cannot be read (FreeXL error " + std::to_string(rc) + ")");
  unsigned password = 0, count = 0;
  if (freexl_get_info(xl, FREEXL_BIFF_PASSWORD, &password) == FREEXL_OK && password == FREEXL_BIFF_OBFUSCATED)
    childRefuses(out, "is protected with a password, which is not read for this kind of file");
  if (freexl_get_info(xl, FREEXL_BIFF_SHEET_COUNT, &count) != FREEXL_OK) childRefuses(out, "lists no sheets");
  for (unsigned i = 0; i < count; ++i) {
    const char* name = nullptr;
    unsigned rows = 0;
    unsigned short cols = 0;
    if (freexl_get_worksheet_name(xl, static_cast<unsigned short>(i), &name) != FREEXL_OK || !name ||
        freexl_select_active_worksheet(xl, static_cast<unsigned short>(i)) != FREEXL_OK ||
        freexl_worksheet_dimensions(xl, &rows, &cols) != FREEXL_OK)
      childRefuses(out, "has a damaged sheet");
    out.kind('S').text(name);
    for (unsigned r = 0; r < rows && r < kMaxRows; ++r)
      for (unsigned short c = 0; c < cols && c < kMaxCols; ++c) {
        FreeXL_CellValue v;
        if (freexl_get_cell_value(xl, r, c, &v) != FREEXL_OK) childRefuses(out, "has a damaged cell");
        sendCell(out, r, c, v);
      }
  }
  out.flush();
  freexl_close(xl);
  _exit(0);
}

// The child's messages, read with every length checked.
class Messages {
 public:
  explicit Messages(std::string_view s) : s_(s) {}
  bool done() const { return at_ >= s_.size(); }
  char kind() { return take(1).front(); }
  uint32_t number() { return u32at(take(4), 0); }
  double real() {
    double d;
    std::memcpy(&d, take(8).data(), 8);
    return d;
  }
  std::string_view text() { return take(number()); }

 private:
  std::string_view take(size_t n) {
    if (s_.size() - at_ < n) refused("was not read to its end");
    at_ += n;
    return s_.substr(at_ - n, n);
  }
  std::string_view s_;
  size_t at_ = 0;
};

// What FreeXL reads from the file, and whether it read it all.
std::string readWithFreeXl(const std::string& path, bool& complete) {
  int fds[2];
  if (pipe(fds) != 0) refused("cannot be read: no pipe to its reader");
  pid_t child = fork();
  if (child < 0) refused("cannot be read: no process for its reader");
  if (child == 0) {
    ::close(fds[0]);
    readInChild(path, fds[1]);
  }
  ::close(fds[1]);
  std::string out;
  char buf[1 << 16];
  for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) != 0;) {
    if (n > 0) out.append(buf, static_cast<size_t>(n));
    else if (errno != EINTR) break;
  }
  ::close(fds[0]);
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  complete = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return out;
}

Variant cellValue(char kind, Messages& m) {
  if (kind == 'N') {
    double d = m.real();
    return std::isfinite(d) ? Variant(d) : Variant();
  }
  std::string_view text = m.text();
  if (kind == 'D')
    if (auto d = isoDateTime(text)) return Variant(Date{*d});
  return Variant(u16(text));
}

}  // namespace

std::unique_ptr<Workbook> readXls(const std::string& path) {
  bool complete = false;
  std::string read = readWithFreeXl(path, complete);
  auto extras = cellsFreeXlSkips(workbookStream(path));
  WorkbookFiller filler;
  Sheet* sheet = nullptr;
  std::string name;
  auto addExtras = [&] {
    if (sheet)
      for (auto& c : extras[name])
        if (c.row <= kMaxRows && c.col <= kMaxCols) sheet->setValue(c.row, c.col, c.value);
  };
  for (Messages m(read); !m.done();) {
    char kind = m.kind();
    if (kind == 'E') refused(std::string(m.text()));
    if (kind == 'S') {
      addExtras();
      name = m.text();
      sheet = &filler.addSheet(name);
      continue;
    }
    uint32_t row = m.number(), col = m.number();
    if (!sheet || (kind != 'N' && kind != 'T' && kind != 'D')) refused("was not read in order");
    if (Variant v = cellValue(kind, m); !v.isEmpty()) sheet->setValue(int32_t(row + 1), int32_t(col + 1), v);
  }
  if (!complete) refused("is damaged: its reader stopped before the end");
  addExtras();
  return filler.finish();
}

std::unique_ptr<Workbook> readXlsBytes(std::string_view bytes) {
  // FreeXL reads files only: the bytes go to a private temporary file first.
  std::string path = (std::filesystem::temp_directory_path() / "talvex-xls-XXXXXX").string();
  int fd = mkstemp(path.data());
  if (fd < 0) throw opc::PackageError("Cannot make a temporary file for the .xls workbook");
  struct Removed {
    std::string path;
    ~Removed() { std::filesystem::remove(path); }
  } removed{path};
  bool written = ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  ::close(fd);
  if (!written) throw opc::PackageError("Cannot write a temporary file for the .xls workbook");
  return readXls(path);
}

}  // namespace tlx::platform::spreadsheet
