// DXF tags: group code + value pairs, the text that holds their values, and reading and writing
// them in the ASCII format.
#pragma once

#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tlx::platform::cad {

// A malformed or unsupported file.
class DxfError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Group codes by what they hold. A code's meaning depends on the record: 40 is a circle's radius
// and a text's height, 10 a line's start and a circle's centre; each gets its own name here.
// A point is its X code, with Y at +10 and Z at +20.
namespace group {
// In every record
inline constexpr int kType = 0;  // the record's type, or a structure marker (SECTION, EOF)
inline constexpr int kName = 2;  // of a section, table, table entry or block; an attribute's tag
inline constexpr int kHandle = 5;
inline constexpr int kDimStyleHandle = 105;  // a dimension style's, whose 5 names a block
inline constexpr int kLinetype = 6;
inline constexpr int kLayer = 8;
inline constexpr int kVariable = 9;  // a header variable's name
inline constexpr int kLinetypeScale = 48;
inline constexpr int kInvisible = 60;
inline constexpr int kColor = 62;
inline constexpr int kAttributesFollow = 66;
inline constexpr int kPaperSpace = 67;
inline constexpr int kFlags = 70;
inline constexpr int kSubclass = 100;
inline constexpr int kAppGroup = 102;  // "{ACAD_REACTORS" ... "}"
inline constexpr int kExtrusion = 210;
inline constexpr int kOwner = 330;
inline constexpr int kHistory = 350;  // a solid's history object
inline constexpr int kDictionary = 360;  // the record's extension dictionary
inline constexpr int kLineweight = 370;
inline constexpr int kComment = 999;
inline constexpr int kXDataApp = 1001;  // extended data begins
// Header variables: after the name, the value under the code of its type
inline constexpr int kStringValue = 1, kNameValue = 3, kIntValue = 70, kRealValue = 40;
// Entities
inline constexpr int kPoint = 10;     // the X of a record's first point; the next ones follow
inline constexpr int kText = 1;       // TEXT, ATTRIB, the last piece of MTEXT, solid data
inline constexpr int kTextPiece = 3;  // MTEXT text and solid data before the last piece
inline constexpr int kStart = 10, kEnd = 11;             // LINE
inline constexpr int kCenter = 10, kRadius = 40;         // ARC, CIRCLE, ELLIPSE
inline constexpr int kStartAngle = 50, kEndAngle = 51;   // ARC, in degrees
inline constexpr int kMajorAxis = 11, kRadiusRatio = 40; // ELLIPSE, the axis from the centre
inline constexpr int kStartParameter = 41, kEndParameter = 42;
inline constexpr int kInsertion = 10;                    // TEXT, MTEXT, ATTRIB, INSERT
inline constexpr int kTextHeight = 40, kWidthFactor = 41, kRotation = 50;  // TEXT, MTEXT; INSERT's rotation
inline constexpr int kMTextWidth = 41, kAttachment = 71, kDrawingDirection = 72, kDirection = 11;  // MTEXT
inline constexpr int kXScale = 41, kYScale = 42, kZScale = 43;  // INSERT
// Table entries: VIEW (its centre is kCenter) and VPORT
inline constexpr int kViewHeight = 40, kViewWidth = 41, kViewDirection = 11, kViewTarget = 12, kViewTwist = 50;
inline constexpr int kLowerLeft = 10, kUpperRight = 11;  // VPORT, on the screen
inline constexpr int kViewCenter = 12, kSnapBase = 13, kSnapSpacing = 14, kGridSpacing = 15;
inline constexpr int kVportDirection = 16, kVportTarget = 17;
inline constexpr int kVportHeight = 40, kAspect = 41;
inline constexpr int kLensLength = 42, kFrontClip = 43, kBackClip = 44;  // VIEW and VPORT
inline constexpr int kSnapRotation = 50, kVportTwist = 51, kViewMode = 71, kCircleZoom = 72, kFastZoom = 73;
inline constexpr int kUcsIcon = 74, kSnapOn = 75, kGridOn = 76, kSnapStyle = 77, kSnapIsoPair = 78;

constexpr int y(int xcode) { return xcode + 10; }
constexpr int z(int xcode) { return xcode + 20; }
}  // namespace group

// One group code and its value. The value is a slice of the document's text pool: a tag costs
// twelve bytes however long its value, which keeps a loaded drawing close to its file size.
struct Tag {
  int16_t code = 0;
  uint32_t off = 0;
  uint32_t len = 0;
};

// The text of every tag value: the file as read, then the values written since.
class Pool {
 public:
  void adopt(std::string text);
  std::string_view view(const Tag& t) const {
    return t.off < base_.size() ? std::string_view(base_.data() + t.off, t.len)
                                : std::string_view(extra_.data() + (t.off - base_.size()), t.len);
  }
  Tag make(int code, std::string_view value);
  const std::string& base() const { return base_; }
  size_t bytes() const { return base_.size() + extra_.size(); }

 private:
  std::string base_;
  std::string extra_;
};

// Reads tags from ASCII DXF text (LF or CRLF line ends). Offsets are relative to the text.
class TagReader {
 public:
  explicit TagReader(std::string_view text);
  // False at the end of the text. A code line that is not a number, or a code without its
  // value line, throws DxfError naming the line.
  bool next(Tag& tag);
  bool crlf() const { return crlf_; }
  size_t line() const { return line_; }

 private:
  std::string_view text_;
  size_t pos_ = 0;
  size_t line_ = 0;
  bool crlf_ = false;
};

// Trimmed value, for structure markers and numbers (values are otherwise kept as read).
std::string_view trim(std::string_view s);
double toReal(std::string_view s, double fallback = 0.0);
long toInt(std::string_view s, long fallback = 0);
uint64_t toHandle(std::string_view s);  // 0 when not a hexadecimal handle
std::string handleText(uint64_t h);
std::string realText(double d);

// Appends tags in the ASCII layout: code right-aligned in three columns, then the value.
class TagWriter {
 public:
  TagWriter(std::string& out, bool crlf) : out_(out), eol_(crlf ? "\r\n" : "\n") {}
  // Hands the text to `file` in pieces instead of keeping it all (a drawing need not be held twice).
  TagWriter(std::string& buffer, bool crlf, std::FILE* file) : TagWriter(buffer, crlf) { file_ = file; }
  void write(int code, std::string_view value);
  // Writes what is buffered to the file; false when the file refused it.
  bool flush();
  void write(const Pool& pool, const Tag& t) { write(t.code, pool.view(t)); }
  void write(const Pool& pool, const std::vector<Tag>& tags) {
    for (const Tag& t : tags) write(pool, t);
  }

 private:
  std::string& out_;
  std::string_view eol_;
  std::FILE* file_ = nullptr;
  bool failed_ = false;
};

}  // namespace tlx::platform::cad
