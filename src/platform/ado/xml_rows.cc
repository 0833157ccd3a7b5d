#include "platform/ado/xml_rows.h"

#include <libxml/SAX2.h>

#include <deque>
#include <string>
#include <unordered_map>
#include <vector>

#include "talvex/com_error.h"
#include "automation/strings.h"
#include "platform/ado/ado.h"
#include "platform/xmldom/xml_parser.h"

namespace tlx::platform::ado {

namespace {

constexpr std::u16string_view kText = u"$Text";
// A table laid out in rows and fields may hold at most this many cells for each value the file
// gave (plus a fixed allowance): a file of scattered names cannot make a table of empty cells
// far larger than itself.
constexpr size_t kCellsPerValue = 16;
constexpr size_t kCellAllowance = size_t{1} << 20;

// Appends UTF-8 text (libxml2 hands over only valid sequences) as UTF-16.
void appendUtf8(std::u16string& out, const xmlChar* s, size_t n) {
  for (size_t i = 0; i < n;) {
    const unsigned c = s[i];
    if (c < 0x80) {
      out += static_cast<char16_t>(c);
      ++i;
      continue;
    }
    const int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : 1;
    char32_t cp = c & (0x3F >> extra);
    for (int k = 1; k <= extra && i + k < n; ++k) cp = (cp << 6) | (s[i + k] & 0x3F);
    i += static_cast<size_t>(extra) + 1;
    if (cp >= 0x10000) {
      out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
  }
}

bool whitespaceOnly(std::u16string_view s) {
  for (char16_t c : s)
    if (c != u' ' && c != u'\t' && c != u'\r' && c != u'\n') return false;
  return true;
}

struct NameHash {
  using is_transparent = void;
  size_t operator()(std::string_view s) const { return std::hash<std::string_view>()(s); }
};
using NameIndex = std::unordered_map<std::string, uint32_t, NameHash, std::equal_to<>>;

// The records of one place in the document: the top level, or one chapter field's records.
struct Level {
  struct Column {
    BStr name;
    bool attribute = false;
    bool chapter = false;
    std::shared_ptr<Level> child;  // chapter only
  };
  std::vector<Column> columns;  // in the order they were met
  NameIndex attributes, elements;
  std::deque<Variant> cells;      // row after row; a row holds cells up to its last field set
  std::vector<size_t> rowStart;   // each row's first cell
  std::deque<BStr> texts;         // each row's "$Text"
  std::vector<uint32_t> parentOf;  // chapter levels: the record of the level above each row is in
  size_t present = 0;              // cells given a value
  struct Interned {
    const xmlChar* local;
    const xmlChar* prefix;
    bool attribute;
    bool operator==(const Interned&) const = default;
  };
  struct InternedHash {
    size_t operator()(const Interned& k) const {
      return std::hash<const void*>()(k.local) * 31 + std::hash<const void*>()(k.prefix) + k.attribute;
    }
  };
  std::unordered_map<Interned, uint32_t, InternedHash> interned;  // while the file is read

  size_t rows() const { return rowStart.size(); }
  size_t rowEnd(size_t r) const { return r + 1 < rows() ? rowStart[r + 1] : cells.size(); }
  Variant* cell(size_t r, uint32_t c) {
    const size_t at = rowStart[r] + c;
    return at < rowEnd(r) ? &cells[at] : nullptr;
  }

  // The parser hands out each name as one interned pointer (with its prefix's): a look-up by
  // those pointers spares building and hashing the name for every element of every record.
  uint32_t column(const xmlChar* local, const xmlChar* prefix, bool attribute) {
    const Interned key{local, prefix, attribute};
    if (auto it = interned.find(key); it != interned.end()) return it->second;
    std::string name = prefix ? std::string(reinterpret_cast<const char*>(prefix)) + ":" : std::string();
    name += reinterpret_cast<const char*>(local);
    return interned[key] = column(name, attribute);
  }
  uint32_t column(std::string_view name, bool attribute) {
    NameIndex& index = attribute ? attributes : elements;
    if (auto it = index.find(name); it != index.end()) return it->second;
    const auto c = static_cast<uint32_t>(columns.size());
    columns.push_back(Column{u16(name), attribute, false, nullptr});
    index.emplace(std::string(name), c);
    return c;
  }
  void openRow(uint32_t parent) {
    rowStart.push_back(cells.size());
    texts.emplace_back();
    parentOf.push_back(parent);
  }
  // Only the last row is ever written: it is the open record of this level.
  void set(uint32_t c, Variant v) {
    const size_t at = rowStart.back() + c;
    if (cells.size() <= at) cells.resize(at + 1);
    if (cells[at].isEmpty()) ++present;
    cells[at] = std::move(v);
  }
  size_t cellLimit() const { return kCellsPerValue * (present + rows()) + kCellAllowance; }
  bool overLimit(size_t cellCount) const { return cellCount > cellLimit(); }
  bool lastRowHas(uint32_t c) {
    Variant* v = rows() ? cell(rows() - 1, c) : nullptr;
    return v && !v->isEmpty();
  }

  // A text field that turns out to repeat or to hold more than text becomes a chapter; the
  // texts it held so far become records of one "$Text" each.
  Level& chapter(uint32_t c) {
    Column& col = columns[c];
    if (col.chapter) return *col.child;
    col.chapter = true;
    col.child = std::make_shared<Level>();
    for (size_t r = 0; r < rows(); ++r) {
      Variant* v = cell(r, c);
      if (!v || v->isEmpty()) continue;
      col.child->openRow(static_cast<uint32_t>(r));
      if (!whitespaceOnly(v->str())) col.child->texts.back() = v->str();
      *v = Variant();
    }
    return *col.child;
  }
};

// The element being read: a record of some level, an element that so far holds only text (a
// field value of the record above), or the table itself.
struct Frame {
  enum Kind { Table, Record, TextField } kind;
  Level* level = nullptr;  // Record: the level it is a row of
  uint32_t column = 0;     // TextField: its field in the record above
  size_t textStart = 0;    // Record: where its text starts in the running "$Text"
};

class Builder {
 public:
  std::shared_ptr<Level> top = std::make_shared<Level>();
  bool tooSparse = false;

  void start(const xmlChar* local, const xmlChar* prefix, int attributeCount, const xmlChar** attributes) {
    // An element that held only text so far is a record after all; the text it has read is its own.
    if (!frames_.empty() && frames_.back().kind == Frame::TextField) promote(frames_.size() - 1);
    flushRun();
    if (frames_.empty()) return frames_.push_back(Frame{Frame::Table});
    Frame& above = frames_.back();
    Frame f{Frame::Record};
    if (above.kind == Frame::Table) {
      top->openRow(0);
      f.level = top.get();
    } else {
      Level& up = *above.level;
      const uint32_t c = up.column(local, prefix, false);
      const bool record = up.columns[c].chapter || attributeCount > 0 || up.lastRowHas(c);
      if (!record) return frames_.push_back(Frame{Frame::TextField, nullptr, c});
      f.level = &up.chapter(c);
      f.level->openRow(static_cast<uint32_t>(up.rows() - 1));
    }
    f.textStart = text_.size();
    for (int i = 0; i < attributeCount; ++i) {
      const xmlChar** a = attributes + 5 * i;  // local name, prefix, URI, value, end
      f.level->set(f.level->column(a[0], a[1], true), Variant(decoded(a[3], a[4] - a[3])));
    }
    tooSparse |= f.level->overLimit(f.level->cells.size());
    frames_.push_back(f);
  }

  void end() {
    Frame f = frames_.back();
    frames_.pop_back();
    if (f.kind == Frame::TextField) {
      Level& up = *frames_.back().level;
      up.set(f.column, Variant(strings_.copy(run_)));
      tooSparse |= up.overLimit(up.cells.size());
      flushRun();
      return;
    }
    flushRun();
    if (f.kind != Frame::Record) return;
    if (text_.size() > f.textStart)
      f.level->texts.back() = strings_.copy(std::u16string_view(text_).substr(f.textStart));
    if (frames_.size() == 1) text_.clear();
  }

  void characters(const xmlChar* s, int n) {
    if (frames_.size() > 1) appendUtf8(run_, s, static_cast<size_t>(n));
  }

 private:
  BStr decoded(const xmlChar* s, ptrdiff_t n) {
    scratch_.clear();
    appendUtf8(scratch_, s, static_cast<size_t>(n));
    return strings_.copy(scratch_);
  }
  // The text since the last tag joins the running "$Text" unless it is only whitespace.
  void flushRun() {
    if (!whitespaceOnly(run_)) text_ += run_;
    run_.clear();
  }
  void promote(size_t at) {
    Frame& f = frames_[at];
    Level& up = *frames_[at - 1].level;
    f.kind = Frame::Record;
    f.level = &up.chapter(f.column);
    f.level->openRow(static_cast<uint32_t>(up.rows() - 1));
    f.textStart = text_.size();
  }

  std::vector<Frame> frames_;
  std::u16string run_, text_, scratch_;
  StringArena strings_;
};

[[noreturn]] void raiseTooSparse(size_t rows, size_t fields) {
  throw ComError(hr::E_FAIL, "The table's " + std::to_string(rows) + " records and " + std::to_string(fields) +
                                 " fields are too many cells for the values the file holds.");
}

void stopIfTooSparse(void* ctx, const Builder& b) {
  if (b.tooSparse) xmldom::abortParse(ctx, xmldom::kErrorLimit, "The table has too many fields for the values the file holds.");
}

void onStart(void* ctx, const xmlChar* local, const xmlChar* prefix, const xmlChar*, int, const xmlChar**,
             int attributeCount, int, const xmlChar** attributes) {
  auto& b = *static_cast<Builder*>(xmldom::userOf(ctx));
  b.start(local, prefix, attributeCount, attributes);
  stopIfTooSparse(ctx, b);
}
void onEnd(void* ctx, const xmlChar*, const xmlChar*, const xmlChar*) {
  auto& b = *static_cast<Builder*>(xmldom::userOf(ctx));
  b.end();
  stopIfTooSparse(ctx, b);
}
void onText(void* ctx, const xmlChar* s, int n) { static_cast<Builder*>(xmldom::userOf(ctx))->characters(s, n); }

// Every level laid out whole stays within its cells' limit.
void checkLayout(const Level& top) {
  std::vector<const Level*> pending{&top};
  while (!pending.empty()) {
    const Level& l = *pending.back();
    pending.pop_back();
    if (l.overLimit(l.rows() * (l.columns.size() + 1))) raiseTooSparse(l.rows(), l.columns.size() + 1);
    for (const auto& c : l.columns)
      if (c.child) pending.push_back(c.child.get());
  }
}

class LevelRows;

// A chapter field's value: the recordset of its records, opened when it is first used, so that
// a reader that never looks into chapters (an array of the top level) does not pay for them.
class Chapter : public Dispatch {
 public:
  Chapter(std::shared_ptr<Level> level, size_t begin, size_t end) : level_(std::move(level)), begin_(begin), end_(end) {}
  Variant invoke(std::string_view member, InvokeKind kind, DispParams& params) override {
    return recordset()->invoke(member, kind, params);
  }
  std::vector<Variant> enumerate() override { return recordset()->enumerate(); }
  std::string typeName() const override { return "Recordset"; }
  // Opening the chapter to answer is what any use of it would do.
  MemberKind memberKind(std::string_view member) const override {
    return const_cast<Chapter*>(this)->recordset()->memberKind(member);
  }

 private:
  const ObjRef& recordset();

  std::shared_ptr<Level> level_;
  size_t begin_, end_;
  ObjRef recordset_;
};

ColumnInfo columnInfo(BStr name, int32_t type) {
  ColumnInfo info;
  info.name = std::move(name);
  info.type = type;
  return info;
}

// The rows of one level, or of the records of one level that belong to one record above.
class LevelRows : public RowSource {
 public:
  LevelRows(std::shared_ptr<Level> level, size_t begin, size_t end) : level_(std::move(level)), end_(end), next_(begin) {
    const auto& cols = level_->columns;
    for (int pass = 0; pass < 2; ++pass)
      for (uint32_t c = 0; c < cols.size(); ++c)
        if (cols[c].attribute == (pass == 0)) order_.push_back(c);
    for (uint32_t c : order_) {
      const auto& col = cols[c];
      const bool clash = col.attribute && level_->elements.count(u8(col.name.view()));
      info_.push_back(columnInfo(clash ? BStr(u"!" + std::u16string(col.name.view())) : col.name,
                                 col.chapter ? adChapter : adVarWChar));
    }
    info_.push_back(columnInfo(BStr(kText), adVarWChar));
    for (uint32_t c : order_)
      if (cols[c].chapter) childNext_.emplace(c, 0);
  }

  const std::vector<ColumnInfo>& columns() const override { return info_; }

  bool next(RowStore& out) override {
    if (next_ >= end_) return false;
    Level& l = *level_;
    for (uint32_t c : order_) {
      if (l.columns[c].chapter) {
        out.add(chapterOf(c, next_));
        continue;
      }
      Variant* v = l.cell(next_, c);
      out.add(v && !v->isEmpty() ? std::move(*v) : Variant::null());
    }
    out.add(Variant(std::move(l.texts[next_])));
    out.endRow();
    ++next_;
    return true;
  }

  size_t rowsLeft() const override { return end_ - next_; }

  // The values move into the recordset, which reads them all when it opens.
  void restart() override { throw ComError(hr::E_FAIL, "The rows of an XML file are read once."); }

 private:
  // The child records of row r, which follow each other in the child level.
  Variant chapterOf(uint32_t c, size_t r) {
    const std::shared_ptr<Level>& child = level_->columns[c].child;
    size_t& at = childNext_[c];
    while (at < child->rows() && child->parentOf[at] < r) ++at;
    const size_t first = at;
    while (at < child->rows() && child->parentOf[at] == r) ++at;
    return Variant(ObjRef(makeRef<Chapter>(child, first, at)));
  }

  std::shared_ptr<Level> level_;
  size_t end_, next_;
  std::vector<uint32_t> order_;
  std::vector<ColumnInfo> info_;
  std::unordered_map<uint32_t, size_t> childNext_;
};

const ObjRef& Chapter::recordset() {
  if (!recordset_) {
    recordset_ = newRecordset();
    openRecordsetOn(recordset_, std::make_unique<LevelRows>(level_, begin_, end_));
  }
  return recordset_;
}

}  // namespace

XmlProvider xmlProviderOf(std::u16string_view s) {
  BStr provider, source;
  for (size_t start = 0; start < s.size();) {
    size_t end = s.find(u';', start);
    if (end == s.npos) end = s.size();
    std::u16string_view part = s.substr(start, end - start);
    const size_t eq = part.find(u'=');
    if (eq != part.npos) {
      BStr key = lcase(trimSpaces(part.substr(0, eq)));
      if (key == std::u16string_view(u"provider")) provider = lcase(trimSpaces(part.substr(eq + 1)));
      if (key == std::u16string_view(u"data source")) source = lcase(trimSpaces(part.substr(eq + 1)));
    }
    start = end + 1;
  }
  if (provider != std::u16string_view(u"msdaosp")) return XmlProvider::None;
  for (std::u16string_view known : {u"msxml2.dsocontrol", u"msxml2.dsocontrol.2.6", u"msxml2.dsocontrol.3.0"})
    if (source == known) return XmlProvider::Available;
  return XmlProvider::Unavailable;
}

std::unique_ptr<RowSource> xmlFileRows(const BStr& path) {
  xmlSAXHandler sax;
  xmlSAXVersion(&sax, 2);
  sax.startElementNs = onStart;
  sax.endElementNs = onEnd;
  sax.characters = onText;
  sax.cdataBlock = onText;
  sax.ignorableWhitespace = onText;
  sax.comment = nullptr;
  sax.processingInstruction = nullptr;
  Builder builder;
  xmldom::ParseError error;
  if (!xmldom::saxFile(u8(path.view()), sax, &builder, error)) {
    std::string where = error.line ? " (line " + std::to_string(error.line) + ", position " + std::to_string(error.linepos) + ")" : "";
    throw ComError(hr::E_FAIL, error.reason + where);
  }
  checkLayout(*builder.top);
  const size_t rows = builder.top->rows();
  return std::make_unique<LevelRows>(builder.top, 0, rows);
}

}  // namespace tlx::platform::ado
