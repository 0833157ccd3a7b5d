// The text sinks of the attribute walk: a delimited text file, a two-dimensional array (through
// a private scratch file read back by TextFileToArray) and the clipboard.
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <optional>

#include "arrays/arrays.h"
#include "attributes/attribute_methods.h"
#include "attributes/attribute_walk.h"
#include "talvex/convert.h"
#include "automation/strings.h"
#include "automation/text_file.h"
#include "cad/acad_steps.h"

namespace tlx {

using namespace attributes;

namespace {

using LineOutput = std::function<void(std::u16string_view line)>;
using FieldText = void (*)(std::u16string& line, std::u16string_view text);

void plainText(std::u16string& line, std::u16string_view text) { line.append(text); }

// Each record as a value line (and, once, a header line) of quoted, delimited fields. A record
// without a found tag is left out when the template says *SUPPRESS.
class TextLines : public RecordSink {
 public:
  TextLines(const ExtractionTemplate& t, bool includeTags, std::u16string_view quote, std::u16string_view delimiter,
            LineOutput out, FieldText fieldText = plainText)
      : suppress_(t.Suppress), includeTags_(includeTags), quote_(quote), delimiter_(delimiter),
        out_(std::move(out)), fieldText_(fieldText) {}

  void beginRecord() override {
    values_.clear();
    headers_.clear();
  }
  void field(std::u16string_view header, const Variant* value) override {
    append(headers_, header);
    if (value) append(values_, toBStr(*value));
  }
  void endRecord(bool found) override {
    if (suppress_ && !found) return;
    if (includeTags_ && !headerWritten_) {
      out_(trimmed(headers_));
      headerWritten_ = true;
    }
    out_(trimmed(values_));
  }

 private:
  void append(std::u16string& line, std::u16string_view text) {
    line.append(quote_);
    fieldText_(line, text);
    line.append(quote_).append(delimiter_);
  }
  // Without the delimiter after the last field.
  std::u16string_view trimmed(const std::u16string& line) const {
    std::u16string_view v = line;
    if (v.ends_with(delimiter_)) v.remove_suffix(delimiter_.size());
    return v;
  }

  bool suppress_, includeTags_;
  std::u16string_view quote_, delimiter_;
  LineOutput out_;
  FieldText fieldText_;
  bool headerWritten_ = false;
  std::u16string values_, headers_;
};

std::u16string_view quoteOf(bool blnQuotes) { return blnQuotes ? u"'" : u""; }
std::u16string_view delimiterOf(const BStr& strDelimiter) {
  return strDelimiter.empty() ? std::u16string_view(u",") : std::u16string_view(strDelimiter);
}

// The scratch file of AttributesToArray carries fields separated by "|". A "|" (or the escape
// character itself) inside a field is written as the escape and a letter, and restored in the
// array, so that such a value stays one column.
constexpr char16_t kEscape = u'\x1F';

void escapedText(std::u16string& line, std::u16string_view text) {
  for (char16_t c : text) {
    if (c == u'|') line.append({kEscape, u'b'});
    else if (c == kEscape) line.append({kEscape, u'e'});
    else line.push_back(c);
  }
}

void unescapeCells(Variant& varArray) {
  for (Variant& cell : varArray.arrayRef().elements()) {
    if (!cell.isString() || cell.str().find(kEscape) == BStr::npos) continue;
    std::u16string_view s = cell.str();
    std::u16string out;
    for (size_t i = 0; i < s.size(); ++i) {
      if (s[i] == kEscape && i + 1 < s.size()) out.push_back(s[++i] == u'b' ? u'|' : kEscape);
      else out.push_back(s[i]);
    }
    cell = Variant(BStr(out));
  }
}

// A private file in the temporary directory, made with an exclusive create and removed on every
// path: two controls (or processes) never share it, and a read-only install folder is no
// obstacle.
class ScratchFile {
 public:
  ScratchFile() {
    std::string dir = std::filesystem::temp_directory_path().string();
    std::string name = dir + "/talvex-attributes-XXXXXX";
    int fd = mkstemp(name.data());
    if (fd < 0) throw ComError(hr::PATH_NOT_FOUND, "Path not found");
    ::close(fd);
    path_ = name;
  }
  ~ScratchFile() { ::unlink(path_.c_str()); }
  BStr name() const { return u16(path_); }

 private:
  std::string path_;
};

}  // namespace

int16_t AttributesToFile(const AcadContext& ctx, const ExtractionTemplate& ExtractionTemplate, const BStr& strFile,
                         bool blnIncludeTags, BStr strDelimiter, bool blnQuotes) {
  ErrorFrame f;
  if (int16_t code = cad::guardCode(ctx, f)) return code;
  std::unique_ptr<TextWriter> file;
  try {
    file = std::make_unique<TextWriter>(strFile);
  } catch (...) {
    return -3;
  }
  TextLines lines(ExtractionTemplate, blnIncludeTags, quoteOf(blnQuotes), delimiterOf(strDelimiter),
                  [&](std::u16string_view line) { file->writeLine(line); });
  WalkSteps steps;
  int16_t count = harvestAttributes(ctx, ExtractionTemplate, steps, lines);
  // A file that could not be written in full is not reported as written.
  try {
    file->close();
  } catch (...) {
    return -3;
  }
  return count;
}

int16_t AttributesToArray(const AcadContext& ctx, const ExtractionTemplate& ExtractionTemplate, Variant& varArray,
                          bool blnIncludeTags) {
  ErrorFrame f;
  if (int16_t code = cad::guardCode(ctx, f)) return code;
  if (!varArray.isArray()) return -3;
  std::optional<ScratchFile> scratch;
  std::unique_ptr<TextWriter> file;
  f.step([&] {
    scratch.emplace();
    file = std::make_unique<TextWriter>(scratch->name());
  });
  TextLines lines(ExtractionTemplate, blnIncludeTags, u"", u"|",
                  [&](std::u16string_view line) {
                    if (file) file->writeLine(line);
                  },
                  escapedText);
  WalkSteps steps;
  int16_t count = harvestAttributes(ctx, ExtractionTemplate, steps, lines);
  f.step([&] {
    if (file) file->close();
  });
  if (scratch && !f.pending() && TextFileToArray(scratch->name(), varArray, u"|", false) == 1) unescapeCells(varArray);
  return count;
}

int16_t AttributesToClipboard(const AcadContext& ctx, const ExtractionTemplate& ExtractionTemplate,
                              bool blnIncludeTags, BStr strDelimiter, bool blnQuotes) {
  ErrorFrame f;
  if (int16_t code = cad::guardCode(ctx, f)) return code;
  std::u16string text;
  TextLines lines(ExtractionTemplate, blnIncludeTags, quoteOf(blnQuotes), delimiterOf(strDelimiter),
                  [&](std::u16string_view line) { text.append(line).append(u"\r\n"); });
  WalkSteps steps;
  int16_t count = harvestAttributes(ctx, ExtractionTemplate, steps, lines);
  f.step([&] { ctx.site.setClipboardText(BStr(text)); });
  return count;
}

}  // namespace tlx
