#include "attributes/extraction_template.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "attributes/attribute_methods.h"
#include "automation/strings.h"
#include "automation/text_file.h"

namespace tlx {

const std::array<std::u16string_view, kColumnCount> kOutputKeywords = {
    u"FULL_FILE_NAME", u"FILE_NAME", u"FILE_TIMESTAMP", u"FILE_SIZE", u"BLOCK_NAME", u"BLOCK_LAYER",
    u"BLOCK_SPACE", u"BLOCK_OWNERID", u"BLOCK_OBJECTID", u"BLOCK_OBJECTNAME", u"BLOCK_HANDLE",
    u"BLOCK_COLOR", u"BLOCK_LINETYPE", u"BLOCK_ROTATION", u"BLOCK_VISIBLE", u"BLOCK_XSCALE",
    u"BLOCK_YSCALE", u"BLOCK_ZSCALE", u"BLOCK_LINETYPESCALE", u"BLOCK_LINEWEIGHT",
    u"BLOCK_HASEXTENTIONDICTIONARY", u"BLOCK_X", u"BLOCK_Y", u"BLOCK_Z",
};

namespace {

// The template's lines, one at a time.
class Lines {
 public:
  explicit Lines(std::u16string_view text) : text_(text) {}
  bool next(std::u16string_view& line) {
    if (pos_ >= text_.size()) return false;
    size_t end = text_.find_first_of(u"\r\n", pos_);
    if (end == text_.npos) end = text_.size();
    line = text_.substr(pos_, end - pos_);
    pos_ = end;
    if (pos_ < text_.size() && text_[pos_] == u'\r') ++pos_;
    if (pos_ < text_.size() && text_[pos_] == u'\n' && (pos_ == end || text_[pos_ - 1] == u'\r')) ++pos_;
    return true;
  }

 private:
  std::u16string_view text_;
  size_t pos_ = 0;
};

// Trimmed of leading and trailing blanks, in upper case.
std::u16string cleaned(std::u16string_view line) { return std::u16string(ucase(trimSpaces(line))); }

// The value of a "KEYWORD: value" line: what follows its last blank, or the whole line.
std::u16string valueOf(const std::u16string& line) {
  size_t blank = line.rfind(u' ');
  return blank == line.npos ? line : line.substr(blank + 1);
}

// A list "A,B" becomes " A B "; "*" stays as it is.
void normalise(std::u16string& selection) {
  if (selection == u"*") return;
  for (char16_t& c : selection)
    if (c == u',') c = u' ';
  selection = u" " + selection + u" ";
}

// The input section up to "*OUTPUT" (compared as read); false when the text ends first.
bool readInput(ExtractionTemplate& t, Lines& lines) {
  std::u16string_view raw;
  while (lines.next(raw)) {
    if (raw == u"*OUTPUT") return true;
    std::u16string line = cleaned(raw);
    std::u16string_view key = std::u16string_view(line).substr(0, 6);
    if (key == u"BLOCK:") t.BlockFilter = valueOf(line);
    else if (key == u"LAYER:") t.LayerFilter = valueOf(line);
    else if (key == u"SPACE:") t.SpaceFilter = valueOf(line);
  }
  return false;
}

bool readOutput(ExtractionTemplate& t, Lines& lines) {
  std::u16string_view raw;
  while (lines.next(raw)) {
    if (raw == u"*ATTRIBUTE_TAGS") return true;
    std::u16string line = cleaned(raw);
    for (size_t i = 0; i < kColumnCount; ++i)
      if (line == kOutputKeywords[i]) t.columns[i] = true;
  }
  return false;
}

// The tags to the end; a "*" tag ends the reading.
void readTags(ExtractionTemplate& t, Lines& lines) {
  std::u16string_view raw;
  while (lines.next(raw)) {
    std::u16string line = cleaned(raw);
    if (line.empty() || line.front() == u'\'') continue;
    if (line == u"*SUPPRESS") {
      t.Suppress = true;
      continue;
    }
    t.TagList.push_back(line);
    if (line == u"*") return;
  }
}

}  // namespace

int16_t readExtractionTemplate(ExtractionTemplate& t, std::u16string_view text) {
  t.TagList.clear();
  Lines lines(text);
  std::u16string_view raw;
  bool input = false;
  while (!input && lines.next(raw)) input = cleaned(raw) == u"*INPUT";
  if (!input) return -2;
  t.BlockFilter.clear(), t.LayerFilter.clear(), t.SpaceFilter.clear();
  if (!readInput(t, lines)) return -3;
  normalise(t.BlockFilter);
  normalise(t.LayerFilter);
  t.columns.fill(false);
  t.Suppress = false;
  if (!readOutput(t, lines)) return -4;
  readTags(t, lines);
  return t.TagList.empty() ? -5 : 1;
}

int16_t readExtractionTemplateBytes(ExtractionTemplate& t, std::string_view bytes) {
  BStr text = decodeText(bytes);
  std::u16string_view view = text;
  if (!view.empty() && view.front() == u'\uFEFF') view.remove_prefix(1);  // a UTF-8 byte-order mark
  return readExtractionTemplate(t, view);
}

namespace {

// The whole file, or false when it cannot be opened as a regular file (a FIFO or device would
// block or never end).
bool readTemplateFile(const BStr& path, std::string& bytes) {
  std::filesystem::path p;
  try {
    p = toPath(path);
  } catch (...) {
    return false;
  }
  int fd = ::open(p.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  char buf[65536];
  ssize_t n = 0;
  while (ok && (n = ::read(fd, buf, sizeof buf)) > 0) bytes.append(buf, static_cast<size_t>(n));
  ok = ok && n == 0;
  ::close(fd);
  return ok;
}

}  // namespace

int16_t PrepTemplate(ExtractionTemplate& ExtractionTemplate, const BStr& strTemplateFile) {
  ExtractionTemplate.TagList.clear();
  std::string bytes;
  if (!readTemplateFile(strTemplateFile, bytes)) return -1;
  return readExtractionTemplateBytes(ExtractionTemplate, bytes);
}

}  // namespace tlx
