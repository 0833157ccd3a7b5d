// Delimited text and text files: three readers, four writers.
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <exception>
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "arrays/arrays.h"
#include "arrays/line_file.h"
#include "automation/cls_concat.h"
#include "talvex/convert.h"
#include "automation/strings.h"
#include "automation/text_file.h"

namespace tlx {

namespace {

constexpr HRESULT kSubscriptOutOfRange = hr::basicError(9);
constexpr HRESULT kOverflow = hr::basicError(6);

// Occurrences of the delimiter, left to right, not overlapping.
template <class Ch>
size_t countDelimiters(std::basic_string_view<Ch> line, std::basic_string_view<Ch> d) {
  if (d.size() == 1) return static_cast<size_t>(std::count(line.begin(), line.end(), d[0]));
  size_t n = 0;
  for (size_t p = line.find(d); p != line.npos; p = line.find(d, p + d.size())) ++n;
  return n;
}

size_t countDelimiters(std::string_view line, std::string_view d) {
  if (d.size() == 1) return countByte(line, d[0]);
  return countDelimiters<char>(line, d);
}

// The fields of a line that is taken to end with a delimiter: one is appended unless the line
// already ends with it, so a trailing delimiter adds no empty field and an empty line gives one
// empty field. A delimiter of several characters splits at the whole string.
template <class Ch, class F>
void forEachField(std::basic_string_view<Ch> line, std::basic_string_view<Ch> d, F&& field) {
  size_t start = 0;
  for (;;) {
    size_t p = d.size() == 1 ? line.find(d[0], start) : line.find(d, start);
    if (p == line.npos) {
      if (start < line.size() || start == 0) field(line.substr(start));
      return;
    }
    field(line.substr(start, p - start));
    start = p + d.size();
  }
}

// The same for a line of bytes and a one-byte delimiter: sixteen bytes compared at a time.
template <class F>
void forEachField(std::string_view line, char d, F&& field) {
  const char* p = line.data();
  const size_t n = line.size();
  size_t start = 0, i = 0;
#if defined(__SSE2__)
  const __m128i needle = _mm_set1_epi8(d);
  for (; i + 16 <= n; i += 16) {
    unsigned hits = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i)), needle)));
    for (; hits != 0; hits &= hits - 1) {
      size_t at = i + static_cast<size_t>(__builtin_ctz(hits));
      field(std::string_view(p + start, at - start));
      start = at + 1;
    }
  }
#endif
  for (; i < n; ++i)
    if (p[i] == d) {
      field(std::string_view(p + start, i - start));
      start = i + 1;
    }
  if (start < n || start == 0) field(std::string_view(p + start, n - start));
}

template <class Ch>
std::basic_string_view<Ch> removeQuotes(std::basic_string_view<Ch> f) {
  if (f.size() >= 2 && f.front() == Ch('"') && f.back() == Ch('"')) return f.substr(1, f.size() - 2);
  return f;
}

// The delimiter as bytes, when every character of it is ASCII (ASCII lines are split as bytes).
std::string narrowDelimiter(const BStr& d) {
  std::string out;
  for (char16_t c : d) {
    if (c >= 0x80) return {};
    out.push_back(static_cast<char>(c));
  }
  return out;
}

// Puts a string into an element of a freshly dimensioned array. An Empty Variant holds nothing to
// release, so the string is built in its place instead of through a temporary and an assignment.
template <class MakeText>
void putString(Variant& element, MakeText&& make) {
  if (element.isEmpty())
    new (&element) Variant(make());
  else
    element = Variant(make());
}

// Strings and numbers, the bulk of most arrays, go in without a string built for them.
void appendText(clsConcat& b, const Variant& v) {
  if (v.isString()) return b.SConcat(std::u16string_view(v.str()));
  char16_t number[kNumberChars];
  if (size_t n = formatNumber(v, number)) return b.SConcat(std::u16string_view(number, n));
  b.SConcat(std::u16string_view(toBStr(v)));
}

// How a line of the text file shows an element written without quotes, the way Basic's
// line-print writes a Variant: strings as they are, Empty as nothing, Null as the word.
BStr printForm(const Variant& v) {
  if (v.isString()) return v.str();
  if (v.isNull()) return u"Null";
  if (v.type() == vtError) {
    uint32_t code = static_cast<uint32_t>(v.scode());
    int32_t shown = (code & 0xFFFF0000u) == 0x800A0000u ? int32_t(code & 0xFFFF) : v.scode();
    return u"Error " + toBStr(Variant(shown));
  }
  return toBStr(v);
}

// ---- TextFileToArray in two halves ----

// Below this size a second thread gains nothing worth its start.
constexpr uint64_t kSplitBytes = uint64_t(1) << 20;

// The delimiter of one call, and what becomes of the fields.
struct LineSplitter {
  LineSplitter(const BStr& delimiter, bool removeQuotes)
      : wide(delimiter), narrow(narrowDelimiter(delimiter)), removeQuotes(removeQuotes) {}

  size_t count(std::string_view line) const {
    return narrow.empty() ? 0 : countDelimiters(line, std::string_view(narrow));
  }
  size_t count(std::u16string_view line) const { return countDelimiters(line, std::u16string_view(wide)); }

  const BStr wide;
  const std::string narrow;  // empty when the delimiter is not all ASCII
  const bool removeQuotes;
};

struct PartCount {
  int64_t rows = 0;
  size_t maxDelims = 0;
};

struct LineCount {
  PartCount first, second;
};

PartCount countLines(LineFile& file, const LineSplitter& split) {
  PartCount out;
  auto tally = [&](size_t delims) {
    if (delims > 32767) throw ComError(kOverflow, "Overflow");
    out.maxDelims = std::max(out.maxDelims, delims);
    if (++out.rows > INT32_MAX) throw ComError(kOverflow, "Overflow");
  };
  file.forEachLine([&](std::string_view line) { tally(split.count(line)); },
                   [&](std::u16string_view line) { tally(split.count(line)); });
  return out;
}

// The elements of the array being filled. Element (r, c) sits at r + c * rows.
struct RowStore {
  std::vector<Variant>& elements;
  int32_t nRows;
  int32_t nCols;
};

// Stores the fields of the file's lines as rows `row`, `row` + 1, ... and returns the row after
// the last line. A line past `endRow` or a field past the last column raises: the file grew
// since the first pass (and the rows past `endRow` belong to the other half).
int32_t fillLines(LineFile& file, const LineSplitter& split, RowStore& store, int32_t row, int32_t endRow) {
  StringArena strings;
  int32_t r = row;
  auto slot = [&](int32_t c) -> Variant& {
    if (r >= endRow || c >= store.nCols) throw ComError(kSubscriptOutOfRange, "Subscript out of range");
    return store.elements[static_cast<size_t>(r) + static_cast<size_t>(c) * static_cast<size_t>(store.nRows)];
  };
  const std::u16string_view wideDelim(split.wide);
  auto wideLine = [&](std::u16string_view line) {
    int32_t c = 0;
    forEachField(line, wideDelim, [&](std::u16string_view f) {
      if (split.removeQuotes) f = removeQuotes(f);
      putString(slot(c++), [&] { return strings.copy(f); });
    });
    ++r;
  };
  auto asciiLine = [&](std::string_view line) {
    if (split.narrow.empty()) return wideLine(widenAscii(line));
    int32_t c = 0;
    auto field = [&](std::string_view f) {
      if (split.removeQuotes) f = removeQuotes(f);
      putString(slot(c++), [&] { return strings.widen(f); });
    };
    if (split.narrow.size() == 1)
      forEachField(line, split.narrow[0], field);
    else
      forEachField(line, std::string_view(split.narrow), field);
    ++r;
  };
  file.forEachLine(asciiLine, wideLine);
  return r;
}

// Runs `a` on this thread and `b` on another at once (one after the other when no thread can be
// started). Their failures are handed back, not raised, and only once both have ended.
void runBoth(const std::function<void()>& a, const std::function<void()>& b, std::exception_ptr& aFailed,
             std::exception_ptr& bFailed) {
  auto guarded = [](const std::function<void()>& f, std::exception_ptr& failed) {
    try {
      f();
    } catch (...) {
      failed = std::current_exception();
    }
  };
  std::thread other;
  try {
    other = std::thread([&] { guarded(b, bFailed); });
  } catch (...) {
    guarded(a, aFailed);
    guarded(b, bFailed);
    return;
  }
  guarded(a, aFailed);
  other.join();
}

// Advice to the kernel on the whole pages inside a buffer. Only a hint; failure is fine.
void advise(void* p, size_t bytes, uintptr_t page, int advice) {
  const uintptr_t begin = (reinterpret_cast<uintptr_t>(p) + page - 1) & ~(page - 1);
  const uintptr_t end = (reinterpret_cast<uintptr_t>(p) + bytes) & ~(page - 1);
  if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, advice);
}

// Asks the kernel for the pages of a large buffer in one request, as huge pages where it has
// them: first touches of fresh small pages cost many times the stores that cause them.
void populate(void* p, size_t bytes) {
#ifndef MADV_POPULATE_WRITE
#define MADV_POPULATE_WRITE 23
#endif
#ifdef MADV_HUGEPAGE
  advise(p, bytes, uintptr_t(2) << 20, MADV_HUGEPAGE);
#endif
  advise(p, bytes, static_cast<uintptr_t>(sysconf(_SC_PAGESIZE)), MADV_POPULATE_WRITE);
}

// `n` Empty elements, their pages requested ahead (by two threads when `twoThreads`).
std::vector<Variant> emptyElements(size_t n, bool twoThreads) {
  std::vector<Variant> v;
  v.reserve(n);
  char* p = reinterpret_cast<char*>(v.data());
  const size_t bytes = n * sizeof(Variant), half = bytes / 2;
  if (twoThreads) {
    std::exception_ptr ignored[2];
    runBoth([&] { populate(p, half); }, [&] { populate(p + half, bytes - half); }, ignored[0], ignored[1]);
  } else if (bytes >= kSplitBytes) {
    populate(p, bytes);
  }
  v.resize(n);
  return v;
}

// A large file whose lines come as bytes is read as two halves, split where a line starts, each
// by its own reader on its own thread. Otherwise there is one part, the whole file.
class Halves {
 public:
  Halves(LineFile& whole, const BStr& fileName) : first_(whole) {
    const uint64_t start = whole.textStart(), size = whole.sizeAtOpen();
    if (!whole.bytewise() || size < start + kSplitBytes || std::thread::hardware_concurrency() < 2) return;
    at_ = whole.lineStartFrom(start + (size - start) / 2);
    if (at_ >= size) return;
    auto second = std::make_unique<LineFile>();
    if (!second->open(fileName) || second->lineEnd() != whole.lineEnd()) return;
    second_ = std::move(second);
    restart();
  }

  bool split() const { return second_ != nullptr; }
  LineFile& first() { return first_; }
  LineFile& second() { return *second_; }

  // The file still looks as both readers found it; each starts again at its half.
  bool unchanged() {
    if (!first_.unchangedSinceOpen() || !second_->unchangedSinceOpen()) return false;
    restart();
    return true;
  }

  // work(part) for each half at once; a failure of either raises (the first's before the second's).
  template <class Work>
  LineCount both(Work&& work) {
    LineCount out;
    if (!split()) {
      out.first = work(first_);
      return out;
    }
    std::exception_ptr firstFailed, secondFailed;
    runBoth([&] { out.first = work(first_); }, [&] { out.second = work(*second_); }, firstFailed, secondFailed);
    if (firstFailed) std::rethrow_exception(firstFailed);
    if (secondFailed) std::rethrow_exception(secondFailed);
    return out;
  }

 private:
  void restart() {
    first_.limitTo(first_.textStart(), at_);
    second_->limitTo(at_, UINT64_MAX);
  }

  LineFile& first_;
  std::unique_ptr<LineFile> second_;
  uint64_t at_ = 0;
};

}  // namespace

int16_t TextFileToArray(const BStr& strTextFile, Variant& varArray, BStr strDelimiter,
                        bool blnRemoveQuotes) {
  if (strDelimiter.empty()) strDelimiter = u",";
  LineFile file;
  if (!file.open(strTextFile)) return -1;
  if (!varArray.isArray()) return -2;
  try {
    const LineSplitter split(strDelimiter, blnRemoveQuotes);
    Halves halves(file, strTextFile);

    // First pass: the number of lines and the most delimiters in one line (a 16-bit count).
    const LineCount count = halves.both([&](LineFile& part) { return countLines(part, split); });
    const int64_t rows = count.first.rows + count.second.rows;
    if (rows > INT32_MAX) throw ComError(kOverflow, "Overflow");
    // An empty file would need an upper bound of -1.
    if (rows == 0) throw ComError(kSubscriptOutOfRange, "Subscript out of range");

    const int32_t nRows = static_cast<int32_t>(rows);
    const int32_t nCols = static_cast<int32_t>(std::max(count.first.maxDelims, count.second.maxDelims)) + 1;
    const size_t n = static_cast<size_t>(nRows) * static_cast<size_t>(nCols);
    // Built before the caller's array is replaced, so a failure leaves that array as it was.
    varArray = Variant(std::make_unique<SafeArray>(std::vector<Bound>{Bound{0, nRows}, Bound{0, nCols}},
                                                   emptyElements(n, halves.split())));
    RowStore store{varArray.arrayRef().elements(), nRows, nCols};

    // Second pass: the fields, stored as strings. The halves fill their own rows at once; when
    // the file changed between the passes, the lines are read again in order from the start, so
    // that the result is what one reader going through the file would have made of it.
    if (halves.split() && halves.unchanged()) {
      const int32_t firstRows = static_cast<int32_t>(count.first.rows);
      std::exception_ptr firstFailed, secondFailed;
      int32_t firstEnd = 0;
      runBoth([&] { firstEnd = fillLines(halves.first(), split, store, 0, firstRows); },
              [&] { fillLines(halves.second(), split, store, firstRows, nRows); }, firstFailed, secondFailed);
      if (!firstFailed && firstEnd == firstRows) {
        // The first half is complete, as one reader would have left it before the second began.
        if (secondFailed) std::rethrow_exception(secondFailed);
        return 1;
      }
      for (Variant& e : store.elements) e = Variant();
    }
    file.rewind();
    fillLines(file, split, store, 0, nRows);
    return 1;
  } catch (...) {
    return -3;
  }
}

int16_t TextFileToOneDArray(const BStr& strTextFile, Variant& varArray) {
  LineFile file;
  if (!file.open(strTextFile)) return -1;
  if (!varArray.isArray()) return -2;
  // The array grows one line at a time, keeping its elements. The first step cuts a longer array
  // (and fails on one that cannot be re-dimensioned so); the later lines are gathered and put in
  // place together, which ends in the same array without re-dimensioning once per line.
  std::vector<Variant> later;
  StringArena strings;
  bool first = true;
  auto store = [&](BStr line) {
    if (first) {
      redimPreserveVariant(varArray, {Bound{0, 1}}).at(0) = Variant(std::move(line));
      first = false;
    } else {
      later.emplace_back(std::move(line));
    }
  };
  auto settle = [&] {
    if (later.empty()) return;
    SafeArray& a = redimPreserveVariant(varArray, {Bound{0, static_cast<int32_t>(later.size() + 1)}});
    for (size_t i = 0; i < later.size(); ++i) a.elements()[i + 1] = std::move(later[i]);
    later.clear();
  };
  try {
    file.forEachLine([&](std::string_view line) { store(strings.widen(line)); },
                     [&](std::u16string_view line) { store(strings.copy(line)); });
    if (later.size() + 1 > static_cast<size_t>(INT32_MAX)) throw ComError(kOverflow, "Overflow");
    settle();
    return 1;
  } catch (...) {
    // The lines stored before the failure stay, as they would line by line.
    try {
      settle();
    } catch (...) {
    }
    return -3;
  }
}

int16_t MultiLineTextToOneDArray(BStr strText, Variant& varArray, BStr strDelimiter) {
  if (strDelimiter.empty()) strDelimiter = u",";
  if (!varArray.isArray()) return -1;
  try {
    const std::u16string_view text(strText), d(strDelimiter);
    size_t n = 0;
    forEachField(text, d, [&](std::u16string_view) { ++n; });
    if (n > static_cast<size_t>(INT32_MAX)) throw ComError(kOverflow, "Overflow");
    SafeArray& a = redimVariant(varArray, {Bound{0, static_cast<int32_t>(n)}});
    StringArena strings;
    size_t i = 0;
    forEachField(text, d, [&](std::u16string_view f) { a.elements()[i++] = Variant(strings.copy(f)); });
    return 1;
  } catch (...) {
    return -2;
  }
}

int16_t TwoDArrayToText(Variant& varArray, BStr& strText, BStr& strDelimiter, BStr& strEndOfRowChar,
                        bool blnQuotes) {
  if (!varArray.isArray()) return -1;
  // The defaults go back into the caller's variables.
  if (trimSpaces(strDelimiter).empty()) strDelimiter = u"\t";
  if (trimSpaces(strEndOfRowChar).empty()) strEndOfRowChar = u"\r\n";
  try {
    const SafeArray& a = varArray.arrayRef();
    clsConcat text;
    for (int32_t r = a.lbound(1), rLast = a.ubound(1); r <= rLast; ++r) {
      for (int32_t c = a.lbound(2), cLast = a.ubound(2); c <= cLast; ++c) {
        if (blnQuotes) text.SConcat(u'"');
        appendText(text, a.at(r, c));
        if (blnQuotes) text.SConcat(u'"');
        text.SConcat(std::u16string_view(c == cLast ? strEndOfRowChar : strDelimiter));
      }
    }
    strText = text.GetString();
    return 1;
  } catch (...) {
    return -2;
  }
}

int16_t TwoDArrayToTextFile(Variant& varArray, const BStr& strTextFile, BStr strDelimiter,
                            bool blnQuotes) {
  if (!varArray.isArray()) return -1;
  if (strDelimiter.empty()) strDelimiter = u",";
  // Rows are assembled in one builder and written a batch at a time: taking the builder's text
  // releases its storage, so taking it once per row would cost a fresh buffer per row.
  constexpr int32_t kBatch = 1 << 16;
  std::unique_ptr<TextWriter> out;
  clsConcat rows;
  int32_t complete = 0;  // length of the rows assembled in full
  auto flush = [&](int32_t upTo) {
    BStr text = rows.GetString();
    rows.ReInit();
    out->write(std::u16string_view(text).substr(0, static_cast<size_t>(upTo)));
    complete = 0;
  };
  try {
    out = std::make_unique<TextWriter>(strTextFile);
    const SafeArray& a = varArray.arrayRef();
    auto field = [&](const Variant& v) {
      if (blnQuotes) rows.SConcat(u'"');
      appendText(rows, v);
      if (blnQuotes) rows.SConcat(u'"');
    };
    for (int32_t r = a.lbound(1), rLast = a.ubound(1); r <= rLast; ++r) {
      const int32_t cLast = a.ubound(2);
      for (int32_t c = a.lbound(2); c <= cLast - 1; ++c) {
        field(a.at(r, c));
        rows.SConcat(std::u16string_view(strDelimiter));
      }
      field(a.at(r, cLast));
      rows.SConcat(u"\r\n");
      complete = rows.length();
      if (complete >= kBatch) flush(complete);
    }
    flush(complete);
    out->close();
    return 1;
  } catch (...) {
    // The rows before the failing one stay in the file.
    try {
      if (out) flush(complete);
    } catch (...) {
    }
    return -2;
  }
}

int16_t OneDArrayToTextFile(Variant& varArray, const BStr& strTextFile, bool blnQuotes) {
  if (!varArray.isArray()) return -1;
  try {
    TextWriter out(strTextFile);
    const SafeArray& a = varArray.arrayRef();
    for (int32_t i = a.lbound(1), last = a.ubound(1); i <= last; ++i) {
      const Variant& v = a.at(i);
      if (blnQuotes)
        out.writeLine(u"\"" + toBStr(v) + u"\"");
      else
        out.writeLine(printForm(v));
    }
    out.close();
    return 1;
  } catch (...) {
    return -2;
  }
}

int16_t OneDArrayToText(Variant& varArray, BStr& strText, BStr& strEndOfRowChar,
                        const BStr& strEndOfArrayChar, bool blnQuotes) {
  if (!varArray.isArray()) return -1;
  if (trimSpaces(strEndOfRowChar).empty()) strEndOfRowChar = u"\r\n";
  try {
    const SafeArray& a = varArray.arrayRef();
    clsConcat text;
    for (int32_t i = a.lbound(1), last = a.ubound(1); i <= last; ++i) {
      if (blnQuotes) text.SConcat(u'"');
      appendText(text, a.at(i));
      if (blnQuotes) text.SConcat(u'"');
      text.SConcat(std::u16string_view(i == last ? strEndOfArrayChar : strEndOfRowChar));
    }
    strText = text.GetString();
    return 1;
  } catch (...) {
    return -2;
  }
}

}  // namespace tlx
