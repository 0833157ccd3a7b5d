#include "pdf/pdf_writer.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <limits>
#include <random>
#include <string>
#include <system_error>

#include "talvex/com_error.h"
#include "automation/strings.h"
#include "automation/text_file.h"
#include "automation/write_target.h"
#include "pdf/pdf_encoding.h"

namespace tlx {
namespace pdf {
namespace {

constexpr size_t kFlushAt = 32000;
constexpr int64_t kMaxXrefOffset = 9'999'999'999;  // ten digits
constexpr std::string_view kBreakCharacters = "*&^%$#,. ;<=>[])}!\"";

[[noreturn]] void fail(HRESULT number, std::string description) {
  throw ComError(number, std::move(description));
}

// CLng: round half to even, overflow outside the 32-bit range.
int32_t roundLong(double value) {
  double r = std::nearbyint(value);
  if (!(r >= std::numeric_limits<int32_t>::min() && r <= std::numeric_limits<int32_t>::max()))
    fail(hr::DISP_E_OVERFLOW, "Overflow");
  return static_cast<int32_t>(r);
}

// Fixed-point values (scaled by 10,000) in their shortest decimal form: 12, 13.2.
std::string fixedText(int64_t scaled) {
  std::string s = scaled < 0 ? "-" : "";
  uint64_t a = scaled < 0 ? 0 - static_cast<uint64_t>(scaled) : static_cast<uint64_t>(scaled);
  s += std::to_string(a / 10000);
  if (uint64_t frac = a % 10000) {
    char digits[8];
    std::snprintf(digits, sizeof digits, ".%04u", static_cast<unsigned>(frac));
    std::string f = digits;
    while (f.back() == '0') f.pop_back();
    s += f;
  }
  return s;
}

// Half a whole number of points: 306, 297.5.
std::string halfText(int64_t points) {
  std::string s = points < 0 ? "-" : "";
  int64_t a = points < 0 ? -points : points;
  s += std::to_string(a / 2);
  if (a % 2) s += ".5";
  return s;
}

// numerator / denominator (denominator above 0) rounded half to even, computed exactly: a
// quotient like 57.5 must not turn into 57.4999... on its way through a double.
int32_t roundRatio(int64_t numerator, int64_t denominator) {
  int64_t quotient = numerator / denominator, remainder = numerator % denominator;
  if (remainder < 0) {
    --quotient;
    remainder += denominator;
  }
  const int64_t twice = 2 * remainder;
  if (twice > denominator || (twice == denominator && quotient % 2 != 0)) ++quotient;
  if (quotient < std::numeric_limits<int32_t>::min() ||
      quotient > std::numeric_limits<int32_t>::max())
    fail(hr::DISP_E_OVERFLOW, "Overflow");
  return static_cast<int32_t>(quotient);
}

std::string num(int64_t n) { return std::to_string(n); }

// Assigns the next object number and records where its first line starts.
int32_t nextObject(PdfWriterState& st) {
  if (st.objectCounter == std::numeric_limits<int32_t>::max()) fail(hr::DISP_E_OVERFLOW, "Overflow");
  ++st.objectCounter;
  if (st.objectOffsets.size() <= static_cast<size_t>(st.objectCounter))
    st.objectOffsets.resize(static_cast<size_t>(st.objectCounter) + 1, 0);
  st.objectOffsets[st.objectCounter] = st.bytePosition;
  return st.objectCounter;
}

void storeOffset(PdfWriterState& st, int32_t object) {
  if (st.objectOffsets.size() <= static_cast<size_t>(object))
    st.objectOffsets.resize(static_cast<size_t>(object) + 1, 0);
  st.objectOffsets[object] = st.bytePosition;
}

void flushBuffer(PdfWriterState& st) {
  std::FILE* f = std::fopen(st.outputPath.c_str(), "ab");
  if (!f) fail(hr::basicError(75), "Path/File access error");
  size_t written = std::fwrite(st.buffer.data(), 1, st.buffer.size(), f);
  bool ok = written == st.buffer.size();
  ok = (std::fclose(f) == 0) && ok;
  if (!ok) fail(hr::basicError(57), "Device I/O error");
  st.buffer.clear();
}

std::string infoEntry(std::string_view key, const BStr& value) {
  std::string encoded;
  appendPdfDoc(value, encoded);
  std::string item(key);
  item += " (";
  appendEscaped(encoded, item);
  item += ')';
  return item;
}

std::string creationDate() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[64];
  std::snprintf(text, sizeof text, "D:%04d%02d%02d%02d%02d%02d", local.tm_year + 1900,
                local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
  return text;
}

void writePageFooter(PdfWriterState& st) {
  PdfWrite(st, "1 0 0 1 " + halfText(st.pageWidth) + " " + num(st.footerY) + " Tm");
  PdfWrite(st, "(" + num(st.pageCount) + ") Tj");
  PdfWrite(st, "/F1 " + fixedText(st.fontSize) + " Tf");
}

void writeTextLine(PdfWriterState& st, std::string_view text) {
  std::string& item = st.scratch;
  item.assign("T* (");
  item += text;
  item += "\r\n) Tj";
  PdfWrite(st, item);
}

// Where a hard cut of `length` characters at `start` may fall without parting a backslash from
// the character it escapes. Pieces always begin on an escape boundary, so walking from `start`
// is enough.
size_t escapeSafeCut(std::string_view line, size_t start, size_t length) {
  size_t i = start;
  const size_t end = start + length;
  while (i < end) i += line[i] == '\\' ? 2 : 1;
  if (i == end) return length;
  return length > 1 ? length - 1 : length + 1;  // one character a line still shows the pair
}

}  // namespace

bool PdfFileExists(const BStr& path) {
  // The system would read a name only up to a NUL, which would be another file.
  if (path.find(u'\0') != BStr::npos) return false;
  std::error_code ec;
  (void)std::filesystem::file_size(toPath(path), ec);
  return !ec;
}

void PdfSetup(PdfWriterState& st, const BStr& fontName, int16_t fontSize, int16_t rotation,
              float width, float height) {
  st.bytePosition = 0;
  st.objectCounter = 0;
  st.objectOffsets.assign(1, 0);
  st.pageCount = 0;
  st.pageObjects.assign(1, 0);
  st.lineCounter = 0;
  st.buffer.clear();

  // Single times Integer stays Single, then rounds to the nearest point.
  st.pageHeight = roundLong(height * 72.0f);
  st.pageWidth = roundLong(width * 72.0f);
  if (fontSize == 0) fail(hr::DISP_E_DIVBYZERO, "Division by zero");
  if (fontSize < 0) fail(hr::INVALID_PROCEDURE_CALL, "The font size must be above 0");
  st.fontName = fontName;
  st.fontSize = int64_t{fontSize} * 10000;
  st.leading = int64_t{fontSize} * 12000;
  st.linesPerPage = roundRatio((int64_t{st.pageHeight} - 72) * 10000, st.leading);
  // Wrap factors 1.5, 2 and 2.2 as tenths.
  const int64_t factorTenths = equalsNoCaseAscii(fontName, u"courier") ? 15
                               : equalsNoCaseAscii(fontName, u"arial") ? 20
                                                                      : 22;
  st.charsPerLine = roundRatio(int64_t{st.pageWidth} * factorTenths, int64_t{fontSize} * 10);
  if (st.linesPerPage < 1 || st.charsPerLine < 1)
    fail(hr::INVALID_PROCEDURE_CALL, "The page is too small for one line of text");
  st.rotation = rotation;
  st.footerX = st.pageWidth / 2.0;
  st.footerY = 25;
  st.infoObject = 1;
  st.catalogObject = 2;
  st.pagesObject = 3;
  st.encodingObject = 5;
  st.resourcesObject = 6;
}

void PdfWrite(PdfWriterState& st, std::string_view item, bool flush) {
  st.bytePosition += static_cast<int64_t>(item.size()) + 1;
  st.buffer.append(item);
  st.buffer.push_back('\r');
  if (flush || st.buffer.size() > kFlushAt) flushBuffer(st);
}

void PdfWriteHeader(PdfWriterState& st) {
  PdfWrite(st, "%PDF-1.2");
  PdfWrite(st, "%\xE2\xE3\xCF\xD3");
}

void PdfWriteResources(PdfWriterState& st) {
  st.infoObject = nextObject(st);
  PdfWrite(st, num(st.infoObject) + " 0 obj");
  PdfWrite(st, "<<");
  PdfWrite(st, infoEntry("/Author", st.author));
  PdfWrite(st, "/CreationDate (" + creationDate() + ")");
  PdfWrite(st, infoEntry("/Creator", st.creator));
  PdfWrite(st, "/Producer (Fenwrit)");
  PdfWrite(st, infoEntry("/Title", st.title));
  PdfWrite(st, infoEntry("/Subject", st.subject));
  PdfWrite(st, infoEntry("/Keywords", st.keywords));
  PdfWrite(st, ">>");
  PdfWrite(st, "endobj");

  st.catalogObject = ++st.objectCounter;
  st.pagesObject = ++st.objectCounter;

  int32_t font = nextObject(st);
  st.encodingObject = font + 1;
  st.resourcesObject = font + 2;
  PdfWrite(st, num(font) + " 0 obj");
  PdfWrite(st, "<<");
  PdfWrite(st, "/Type /Font");
  PdfWrite(st, "/Subtype /Type1");
  PdfWrite(st, "/Name /F1");
  PdfWrite(st, "/Encoding " + num(st.encodingObject) + " 0 R");
  PdfWrite(st, "/BaseFont /" + nameChars(st.fontName));
  PdfWrite(st, ">>");
  PdfWrite(st, "endobj");

  nextObject(st);
  PdfWrite(st, num(st.encodingObject) + " 0 obj");
  PdfWrite(st, "<<");
  PdfWrite(st, "/Type /Encoding");
  PdfWrite(st, "/BaseEncoding /WinAnsiEncoding");
  PdfWrite(st, ">>");
  PdfWrite(st, "endobj");

  nextObject(st);
  PdfWrite(st, num(st.resourcesObject) + " 0 obj");
  PdfWrite(st, "<<");
  PdfWrite(st, "  /Font << /F1 " + num(font) + " 0 R >>");
  PdfWrite(st, "  /ProcSet [ /PDF /Text ]");
  PdfWrite(st, ">>");
  PdfWrite(st, "endobj");
}

int64_t PdfBeginPage(PdfWriterState& st) {
  int32_t page = nextObject(st);
  ++st.pageCount;
  st.pageObjects.push_back(page);
  int32_t content = page + 1;
  PdfWrite(st, num(page) + " 0 obj");
  PdfWrite(st, "<<");
  PdfWrite(st, "/Type /Page");
  PdfWrite(st, "/Parent " + num(st.pagesObject) + " 0 R");
  PdfWrite(st, "/Resources " + num(st.resourcesObject) + " 0 R");
  PdfWrite(st, "/Contents " + num(content) + " 0 R");
  PdfWrite(st, "/Rotate " + num(st.rotation));
  PdfWrite(st, ">>");
  PdfWrite(st, "endobj");

  nextObject(st);
  PdfWrite(st, num(content) + " 0 obj");
  PdfWrite(st, "<<");
  PdfWrite(st, "/Length " + num(content + 1) + " 0 R");
  PdfWrite(st, ">>");
  PdfWrite(st, "stream");
  // Readers take a carriage return alone after "stream" as damage: the keyword's line end is
  // CR LF, and the data starts after the line feed.
  st.buffer.push_back('\n');
  ++st.bytePosition;
  int64_t streamStart = st.bytePosition;
  PdfWrite(st, "BT");
  PdfWrite(st, "/F1 " + fixedText(st.fontSize) + " Tf");
  PdfWrite(st, "1 0 0 1 50 " + num(int64_t{st.pageHeight} - 40) + " Tm");
  PdfWrite(st, fixedText(st.leading) + " TL");
  return streamStart;
}

void PdfEndPage(PdfWriterState& st, int64_t streamStart) {
  PdfWrite(st, "ET");
  int64_t streamEnd = st.bytePosition;
  PdfWrite(st, "endstream");
  PdfWrite(st, "endobj");
  int32_t length = nextObject(st);
  PdfWrite(st, num(length) + " 0 obj");
  PdfWrite(st, num(streamEnd - streamStart));
  PdfWrite(st, "endobj");
  st.lineCounter = 0;
}

void PdfWritePages(PdfWriterState& st) {
  TextReader reader(st.textFile);
  int64_t streamStart = PdfBeginPage(st);
  st.lineCounter = -1;

  auto newPage = [&] {
    writePageFooter(st);
    PdfEndPage(st, streamStart);
    streamStart = PdfBeginPage(st);
  };
  const auto perLine = static_cast<size_t>(st.charsPerLine);

  std::u16string line;
  std::string encoded, escaped;
  while (reader.readLine(line)) {
    encoded.clear();
    appendWinAnsi(line, encoded);
    ++st.lineCounter;
    if (st.lineCounter >= st.linesPerPage || encoded.find('\f') != std::string::npos) newPage();

    escaped.clear();
    appendEscaped(encoded, escaped);
    std::string_view text = trimSpaces(std::string_view(escaped));

    if (text.size() <= perLine) {
      writeTextLine(st, text);
      continue;
    }
    // Remember the last form feed, so "does the rest still hold one" costs nothing per piece.
    const size_t lastFormFeed = text.rfind('\f');
    size_t start = 0;
    while (text.size() - start > perLine) {
      std::string_view piece = text.substr(start, perLine);
      size_t cut = 0;
      for (size_t pos = piece.size(); pos >= std::max<size_t>(1, piece.size() / 2); --pos) {
        if (kBreakCharacters.find(piece[pos - 1]) != std::string_view::npos) {
          cut = pos;
          break;
        }
      }
      if (cut == 0) cut = escapeSafeCut(text, start, piece.size());
      writeTextLine(st, text.substr(start, cut));
      start += cut;
      if (start == text.size()) break;  // a one-character width took a whole escape pair
      ++st.lineCounter;
      bool formFeedAhead = lastFormFeed != std::string_view::npos && lastFormFeed >= start;
      if (st.lineCounter >= st.linesPerPage || formFeedAhead) newPage();
    }
    if (start < text.size()) writeTextLine(st, text.substr(start));
  }
  writePageFooter(st);
  PdfEndPage(st, streamStart);
}

void PdfWriteTrailer(PdfWriterState& st) {
  storeOffset(st, st.catalogObject);
  PdfWrite(st, num(st.catalogObject) + " 0 obj");
  PdfWrite(st, "<<");
  PdfWrite(st, "/Type /Catalog");
  PdfWrite(st, "/Pages " + num(st.pagesObject) + " 0 R");
  PdfWrite(st, ">>");
  PdfWrite(st, "endobj");

  storeOffset(st, st.pagesObject);
  PdfWrite(st, num(st.pagesObject) + " 0 obj");
  PdfWrite(st, "<<");
  PdfWrite(st, "/Type /Pages");
  PdfWrite(st, "/Count " + num(st.pageCount));
  PdfWrite(st, "/MediaBox [ 0 0 " + num(st.pageWidth) + " " + num(st.pageHeight) + " ]");
  std::string kids = "/Kids [ ";
  for (int32_t page = 1; page <= st.pageCount; ++page) kids += num(st.pageObjects[page]) + " 0 R ";
  kids += "]";
  PdfWrite(st, kids);
  PdfWrite(st, ">>");
  PdfWrite(st, "endobj");

  const int64_t xrefStart = st.bytePosition;
  PdfWrite(st, "xref");
  PdfWrite(st, "0 " + num(int64_t{st.objectCounter} + 1));
  PdfWrite(st, "0000000000 65535 f ");
  char entry[32];
  for (int32_t object = 1; object <= st.objectCounter; ++object) {
    int64_t offset = st.objectOffsets[object];
    if (offset > kMaxXrefOffset) fail(hr::DISP_E_OVERFLOW, "Overflow");
    std::snprintf(entry, sizeof entry, "%010lld 00000 n ", static_cast<long long>(offset));
    PdfWrite(st, entry);
  }
  PdfWrite(st, "trailer");
  PdfWrite(st, "<<");
  PdfWrite(st, "/Size " + num(int64_t{st.objectCounter} + 1));
  PdfWrite(st, "/Root " + num(st.catalogObject) + " 0 R");
  PdfWrite(st, "/Info " + num(st.infoObject) + " 0 R");
  PdfWrite(st, ">>");
  PdfWrite(st, "startxref");
  PdfWrite(st, num(xrefStart));
  PdfWrite(st, "%%EOF", true);
}

namespace {

// A new empty file beside `target`, created exclusively so that no other file is touched.
std::filesystem::path createSiblingFile(const std::filesystem::path& target) {
  std::filesystem::path dir = target.parent_path();
  // Kept short enough that the suffix never pushes a long name past the file-name limit.
  std::string base = "." + target.filename().string().substr(0, 200) + ".";
  std::random_device seed;
  std::mt19937_64 random(seed() ^ static_cast<uint64_t>(
                                     std::chrono::steady_clock::now().time_since_epoch().count()));
  for (int attempt = 0; attempt < 100; ++attempt) {
    char suffix[24];
    std::snprintf(suffix, sizeof suffix, "%012llx.tmp",
                  static_cast<unsigned long long>(random() & 0xFFFFFFFFFFFFull));
    std::filesystem::path candidate = dir / (base + suffix);
    int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      ::close(fd);
      return candidate;
    }
    if (errno != EEXIST) break;
  }
  fail(hr::basicError(75), "Path/File access error");
}

}  // namespace
}  // namespace pdf

int16_t CreatePDFFromFile(PdfWriterState& st, const BStr& strTextFile, const BStr& strPDFFile,
                          const BStr& strFontName, int16_t intFontSize, int16_t intRotation,
                          float sngWidth, float sngHeight, const BStr& strAuthor,
                          const BStr& strCreator, const BStr& strKeywords, const BStr& strSubject,
                          const BStr& strTitle) {
  using namespace pdf;
  if (!PdfFileExists(strTextFile)) return -1;
  st.outputPath.clear();
  try {
    PdfSetup(st, strFontName, intFontSize, intRotation, sngWidth, sngHeight);
    st.author = strAuthor;
    st.creator = strCreator;
    st.keywords = strKeywords;
    st.subject = strSubject;
    st.title = strTitle;
    st.textFile = strTextFile;
    st.pdfFile = strPDFFile;
    if (strPDFFile.empty() || strPDFFile.find(u'\0') != BStr::npos)
      fail(hr::BAD_FILE_NAME, "Bad file name or number");
    std::error_code linkError;
    const std::filesystem::path target = writeTarget(toPath(strPDFFile), linkError);
    if (linkError) fail(hr::basicError(75), "Path/File access error");
    // The document is assembled in a fresh file and replaces the old PDF only when complete.
    st.outputPath = createSiblingFile(target);
    PdfWriteHeader(st);
    PdfWriteResources(st);
    PdfWritePages(st);
    PdfWriteTrailer(st);
    std::filesystem::rename(st.outputPath, target);
    st.outputPath = target;
    return 1;
  } catch (...) {
    st.buffer.clear();
    if (!st.outputPath.empty()) {
      std::error_code ignored;
      std::filesystem::remove(st.outputPath, ignored);
      st.outputPath.clear();
    }
    return -2;
  }
}

}  // namespace tlx
