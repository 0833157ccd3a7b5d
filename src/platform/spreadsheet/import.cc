// Which reader a file goes to, found from its first bytes: a zip package (XLSX, Strict XLSX or
// OpenDocument by the parts it holds), a compound file (an encrypted package or a legacy
// workbook by its streams), else text.
#include "platform/spreadsheet/import.h"

#include <charconv>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "talvex/com_error.h"
#include "talvex/convert.h"
#include "automation/strings.h"
#include "platform/opc/compound_file.h"
#include "platform/opc/encrypted_package.h"

namespace tlx::platform::spreadsheet {

namespace {

bool isZip(std::string_view b) { return b.starts_with("PK\x03\x04") || b.starts_with("PK\x05\x06"); }

bool isOpenDocument(const opc::Package& p) {
  if (p.has("mimetype")) {
    std::string type = p.read("mimetype");
    if (!type.starts_with("application/vnd.oasis.opendocument.")) return false;
    if (!type.starts_with("application/vnd.oasis.opendocument.spreadsheet"))
      throw opc::PackageError("It is an OpenDocument file but not a spreadsheet (" + type + ")");
    return true;
  }
  return p.has("content.xml") && !p.has("[Content_Types].xml");
}

OpenedWorkbook fromPackage(opc::Package p) {
  if (isOpenDocument(p)) return {readOds(p), SourceFormat::Ods};
  strictToTransitional(p);
  return {Workbook::load(std::move(p)), SourceFormat::Xlsx};
}

// A compound file holds either a package encrypted with an open password or a legacy workbook.
enum class CompoundKind { Encrypted, Legacy };
CompoundKind compoundKind(std::string_view bytes) {
  opc::CompoundFile cf(bytes);
  if (cf.stream(u"EncryptionInfo")) return CompoundKind::Encrypted;
  if (cf.stream(u"Workbook") || cf.stream(u"Book")) return CompoundKind::Legacy;
  throw opc::PackageError("It is a compound file that holds no workbook");
}

OpenedWorkbook fromEncrypted(const std::string& bytes, std::u16string_view password) {
  opc::Package p = opc::Package::fromBytes(opc::decryptPackage(bytes, password));
  p.markEncrypted();
  return fromPackage(std::move(p));
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw opc::PackageError("Cannot open \"" + path + "\"");
  // A file of known size is read in one piece: through a growing buffer the copies cost a
  // twelfth of opening a big workbook.
  std::error_code error;
  uintmax_t size = std::filesystem::is_regular_file(path, error) ? std::filesystem::file_size(path, error) : 0;
  if (size && !error) {
    std::string bytes(size, '\0');
    if (in.read(bytes.data(), std::streamsize(size)) && in.peek() == EOF) return bytes;
    in.clear();
    in.seekg(0);
  }
  std::ostringstream buf;
  buf << in.rdbuf();
  return std::move(buf).str();
}

int digits(std::string_view s, size_t at, size_t n) {
  int v = 0;
  for (size_t i = at; i < at + n; ++i) {
    if (i >= s.size() || s[i] < '0' || s[i] > '9') return -1;
    v = v * 10 + (s[i] - '0');
  }
  return v;
}

// "HH:MM[:SS[.fff]]" from `at` to the end, as a fraction of a day; nullopt when malformed.
std::optional<double> timeOfDay(std::string_view s) {
  int h = digits(s, 0, 2), m = digits(s, 3, 2);
  if (s.size() < 5 || s[2] != ':' || h < 0 || h > 23 || m < 0 || m > 59) return std::nullopt;
  double sec = 0;
  if (s.size() > 5) {
    if (s[5] != ':') return std::nullopt;
    auto r = std::from_chars(s.data() + 6, s.data() + s.size(), sec);
    if (s.size() < 8 || s[6] < '0' || s[6] > '9' || r.ec != std::errc() || r.ptr != s.data() + s.size() || sec >= 60)
      return std::nullopt;
  }
  return (h * 3600 + m * 60 + sec) / 86400;
}

std::string acceptableSheetName(std::string_view wanted) {
  std::u16string name(u16(wanted).view());
  for (char16_t& c : name)
    if (std::u16string_view(u":\\/?*[]").find(c) != std::u16string_view::npos) c = u'_';
  if (name.size() > 31) name.resize(31);
  while (!name.empty() && name.front() == u'\'') name.erase(0, 1);
  while (!name.empty() && name.back() == u'\'') name.pop_back();
  return name.empty() ? std::string("Sheet") : u8(name);
}

}  // namespace

std::optional<double> isoDateTime(std::string_view s) {
  if (s.size() >= 5 && s[2] == ':') return timeOfDay(s);
  int y = digits(s, 0, 4), m = digits(s, 5, 2), d = digits(s, 8, 2);
  if (s.size() < 10 || s[4] != '-' || s[7] != '-' || y < 0 || m < 1 || m > 12 || d < 1 || d > 31) return std::nullopt;
  double day = makeDate(y, m, d);
  if (splitDate(day).day != d) return std::nullopt;  // 31 April
  if (s.size() == 10) return day;
  if (s[10] != 'T' && s[10] != ' ') return std::nullopt;
  std::optional<double> t = timeOfDay(s.substr(11));
  if (!t) return std::nullopt;
  return day < 0 ? day - *t : day + *t;
}

WorkbookFiller::WorkbookFiller() : book_(Workbook::create(0)) {}

Sheet& WorkbookFiller::addSheet(std::string_view wanted) {
  // Each new sheet is checked against the others: thousands are no workbook a person made.
  constexpr size_t kMaxSheets = 4096;
  if (book_->sheets().size() == kMaxSheets) throw opc::PackageError("The workbook has more than 4,096 sheets");
  std::string base = acceptableSheetName(wanted), name = base;
  for (int n = 2; book_->sheetNamed(u16(name).view()); ++n) {
    std::string suffix = " (" + std::to_string(n) + ")";
    std::u16string head(u16(base).view());
    head.resize(std::min(head.size(), 31 - suffix.size()));
    name = u8(head) + suffix;
  }
  Sheet& sheet = book_->addSheet(book_->sheets().size());
  book_->rename(sheet, std::u16string(u16(name).view()));
  return sheet;
}

std::unique_ptr<Workbook> WorkbookFiller::finish() {
  if (book_->sheets().empty()) book_->addSheet(0);
  book_->settle();
  return std::move(book_);
}

OpenedWorkbook openWorkbookBytes(std::string bytes, std::u16string_view password, std::string_view name) {
  if (isZip(bytes)) return fromPackage(opc::Package::fromBytes(std::move(bytes)));
  if (opc::CompoundFile::looksLike(bytes)) {
    if (compoundKind(bytes) == CompoundKind::Encrypted) return fromEncrypted(bytes, password);
    return {readXlsBytes(bytes), SourceFormat::Xls};
  }
  return {readCsv(bytes, name), SourceFormat::Text};
}

OpenedWorkbook openWorkbookFile(const std::string& path, std::u16string_view password) {
  std::string bytes = readFile(path);
  // The legacy reader takes the file itself, not a copy of it.
  if (opc::CompoundFile::looksLike(bytes) && compoundKind(bytes) == CompoundKind::Legacy)
    return {readXls(path), SourceFormat::Xls};
  return openWorkbookBytes(std::move(bytes), password, std::filesystem::path(path).stem().string());
}

void readAnyWorkbookBytes(std::string_view bytes) {
  OpenedWorkbook opened = openWorkbookBytes(std::string(bytes), u"", "fuzz");
  for (auto& s : opened.book->sheets())
    for (auto& [r, row] : s->rows())
      for (const Cell& c : row.cells) (void)s->text(r, c.col);
}

}  // namespace tlx::platform::spreadsheet
