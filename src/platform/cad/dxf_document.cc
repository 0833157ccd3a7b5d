#include "platform/cad/dxf_document.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "automation/strings.h"
#include "automation/write_target.h"

namespace tlx::platform::cad {

// Builds the document from the stream of tags, one record (a 0 tag and what follows it) at a
// time, so that no second copy of the file's tags is ever held.
class Loader {
 public:
  Loader(Document& doc) : doc_(doc), reader_(doc.pool_.base()) { advance(); }

  void run() {
    while (has_) {
      if (cur_.code == group::kComment) {  // a comment between sections, as some writers put at the top
        doc_.comments_.push_back(cur_);
        advance();
        continue;
      }
      if (cur_.code != group::kType) fail("expected a section");
      std::string_view t = value();
      if (t == "EOF") break;
      if (t != "SECTION") fail("expected SECTION, found \"" + std::string(t.substr(0, 40)) + "\"");
      advance();
      if (!has_ || cur_.code != group::kName) fail("section without a name");
      std::string name = asciiUpper(value());
      advance();
      if (name == "HEADER") header();
      else if (name == "CLASSES") records(doc_.classes_, doc_.hasClasses_);
      else if (name == "TABLES") tables();
      else if (name == "BLOCKS") blocks();
      else if (name == "ENTITIES") entities(doc_.entities_, doc_.hasEntities_);
      else if (name == "OBJECTS") records(doc_.objects_, doc_.hasObjects_);
      else raw(std::move(name));
    }
    doc_.crlf_ = reader_.crlf();
    uint64_t seed = toHandle(doc_.headerValue("$HANDSEED", group::kHandle));
    doc_.nextHandle_ = std::max<uint64_t>({seed, maxHandle_ + 1, 1});
    doc_.usesHandles_ = doc_.modern() || seed > 0 || maxHandle_ > 0 ||
                        toInt(doc_.headerValue("$HANDLING", group::kIntValue)) != 0;
  }

 private:
  std::string_view value() const { return trim(doc_.pool_.view(cur_)); }
  bool atZero(std::string_view v) const { return has_ && cur_.code == group::kType && value() == v; }
  void advance() { has_ = reader_.next(cur_); }
  [[noreturn]] void fail(const std::string& what) const {
    throw DxfError("line " + std::to_string(reader_.line()) + ": " + what);
  }

  // The record at the current 0 tag; afterwards the current tag is the next 0 tag (or the end).
  EntityPtr record() {
    scratch_.clear();
    scratch_.push_back(cur_);
    const int handleCode = value() == "DIMSTYLE" ? group::kDimStyleHandle : group::kHandle;
    advance();
    while (has_ && cur_.code != group::kType) {
      if (cur_.code == handleCode) maxHandle_ = std::max(maxHandle_, toHandle(doc_.pool_.view(cur_)));
      scratch_.push_back(cur_);
      advance();
    }
    return makeEntity(doc_.pool_, std::vector<Tag>(scratch_.begin(), scratch_.end()));
  }

  void endSection() {
    if (!has_) fail("section without ENDSEC");
    advance();  // past 0 ENDSEC
  }

  void header() {
    doc_.hasHeader_ = true;
    while (has_ && !atZero("ENDSEC")) {
      doc_.header_.push_back(cur_);
      advance();
    }
    endSection();
  }

  void raw(std::string name) {
    Document::RawSection s{std::move(name), {}};
    while (has_ && !atZero("ENDSEC")) {
      s.tags.push_back(cur_);
      advance();
    }
    doc_.others_.push_back(std::move(s));
    endSection();
  }

  void records(std::vector<EntityPtr>& list, bool& flag) {
    flag = true;
    while (has_ && !atZero("ENDSEC")) {
      if (cur_.code != group::kType) fail("expected a record");
      list.push_back(record());
    }
    endSection();
  }

  // Keeps ATTRIBs and VERTEXes with the INSERT or POLYLINE before them, up to the SEQEND.
  static void append(std::vector<EntityPtr>& list, EntityPtr e, Entity*& open) {
    Kind k = e->kind();
    if (open && (k == Kind::Attrib || k == Kind::Vertex || k == Kind::Seqend)) {
      open->children.push_back(std::move(e));
      if (k == Kind::Seqend) open = nullptr;
      return;
    }
    Entity* p = e.get();
    list.push_back(std::move(e));
    open = (k == Kind::Insert && p->integer(group::kAttributesFollow) == 1) || k == Kind::Polyline ? p : nullptr;
  }

  void entities(std::vector<EntityPtr>& list, bool& flag) {
    flag = true;
    Entity* open = nullptr;
    while (has_ && !atZero("ENDSEC")) {
      if (cur_.code != group::kType) fail("expected an entity");
      append(list, record(), open);
    }
    endSection();
  }

  void tables() {
    doc_.hasTables_ = true;
    while (has_ && !atZero("ENDSEC")) {
      if (!atZero("TABLE")) fail("expected TABLE");
      Table t;
      t.head = record();
      t.name = asciiUpper(trim(t.head->str(group::kName)));
      while (has_ && !atZero("ENDTAB") && !atZero("ENDSEC")) {
        if (cur_.code != group::kType) fail("expected a table entry");
        t.entries.push_back(record());
      }
      if (atZero("ENDTAB")) t.end = record();
      doc_.tables_.push_back(std::move(t));
    }
    endSection();
  }

  void blocks() {
    doc_.hasBlocks_ = true;
    while (has_ && !atZero("ENDSEC")) {
      if (!atZero("BLOCK")) fail("expected BLOCK");
      BlockDef b;
      b.begin = record();
      Entity* open = nullptr;
      while (has_ && !atZero("ENDBLK") && !atZero("ENDSEC")) {
        if (cur_.code != group::kType) fail("expected an entity");
        append(b.entities, record(), open);
      }
      if (atZero("ENDBLK")) b.end = record();
      doc_.blocks_.push_back(std::move(b));
    }
    endSection();
  }

  Document& doc_;
  TagReader reader_;
  Tag cur_;
  bool has_ = false;
  uint64_t maxHandle_ = 0;
  std::vector<Tag> scratch_;
};

std::unique_ptr<Document> Document::load(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot open \"" + path + "\": " + std::strerror(errno));
  in.seekg(0, std::ios::end);
  auto size = in.tellg();
  if (size < 0) throw std::runtime_error("cannot read \"" + path + "\"");
  std::string text(static_cast<size_t>(size), '\0');
  in.seekg(0);
  in.read(text.data(), size);
  if (!in) throw std::runtime_error("cannot read \"" + path + "\"");
  return parse(std::move(text));
}

std::unique_ptr<Document> Document::parse(std::string text) {
  auto doc = std::make_unique<Document>();
  doc->pool_.adopt(std::move(text));
  Loader(*doc).run();
  if (!doc->hasHeader_ && !doc->hasTables_ && !doc->hasEntities_ && !doc->hasBlocks_)
    throw DxfError("not a DXF drawing: no HEADER, TABLES, BLOCKS or ENTITIES section");
  return doc;
}

void Document::writeEntities(TagWriter& w, const std::vector<EntityPtr>& list) const {
  for (const auto& e : list) {
    w.write(pool_, e->tags);
    if (!e->children.empty()) writeEntities(w, e->children);
  }
}

std::string Document::text() {
  std::string out;
  out.reserve(pool_.bytes() + pool_.bytes() / 8 + 1024);
  TagWriter w(out, crlf_);
  write(w);
  return out;
}

void Document::write(TagWriter& w) {
  // Values that follow from the content: the next handle and the table sizes.
  if (hasHeader_ && (modern() || !headerValue("$HANDSEED", group::kHandle).empty()))
    setHeaderValue("$HANDSEED", group::kHandle, handleText(nextHandle_));
  for (Table& t : tables_)  // a table's 70 counts its entries
    if (t.head && t.head->has(group::kFlags) && t.head->integer(group::kFlags) != static_cast<long>(t.entries.size()))
      t.head->setInt(group::kFlags, static_cast<long>(t.entries.size()));

  w.write(pool_, comments_);
  auto begin = [&](std::string_view name) {
    w.write(group::kType, "SECTION");
    w.write(group::kName, name);
  };
  auto end = [&] { w.write(group::kType, "ENDSEC"); };
  if (hasHeader_) {
    begin("HEADER");
    w.write(pool_, header_);
    end();
  }
  if (hasClasses_) {
    begin("CLASSES");
    writeEntities(w, classes_);
    end();
  }
  if (hasTables_) {
    begin("TABLES");
    for (const Table& t : tables_) {
      w.write(pool_, t.head->tags);
      writeEntities(w, t.entries);
      if (t.end) w.write(pool_, t.end->tags);
      else w.write(group::kType, "ENDTAB");
    }
    end();
  }
  if (hasBlocks_) {
    begin("BLOCKS");
    for (const BlockDef& b : blocks_) {
      w.write(pool_, b.begin->tags);
      writeEntities(w, b.entities);
      if (b.end) w.write(pool_, b.end->tags);
      else w.write(group::kType, "ENDBLK");
    }
    end();
  }
  if (hasEntities_) {
    begin("ENTITIES");
    writeEntities(w, entities_);
    end();
  }
  if (hasObjects_) {
    begin("OBJECTS");
    writeEntities(w, objects_);
    end();
  }
  for (const RawSection& s : others_) {
    begin(s.name);
    w.write(pool_, s.tags);
    end();
  }
  w.write(group::kType, "EOF");
}

void Document::save(const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code linkError;
  const fs::path target = writeTarget(path, linkError);
  if (linkError) throw std::runtime_error("cannot write \"" + path + "\": " + linkError.message());
  fs::path tmp = target;
  tmp += ".tmp" + std::to_string(::getpid());
  std::FILE* f = std::fopen(tmp.c_str(), "wb");
  if (!f) throw std::runtime_error("cannot write \"" + path + "\": " + std::strerror(errno));
  bool ok = false;
  int err = 0;
  try {
    std::string buffer;
    buffer.reserve(1u << 21);
    TagWriter w(buffer, crlf_, f);
    write(w);
    ok = w.flush() && std::fflush(f) == 0;
    err = errno;
  } catch (...) {
    std::fclose(f);
    std::remove(tmp.c_str());
    throw;
  }
  ok = std::fclose(f) == 0 && ok;
  if (!ok) {
    std::remove(tmp.c_str());
    throw std::runtime_error("cannot write \"" + path + "\": " + std::strerror(err ? err : EIO));
  }
  // The finished file replaces the old one in one step: a failed save leaves the old one intact.
  std::error_code ec;
  fs::rename(tmp, target, ec);
  if (ec) {
    std::remove(tmp.c_str());
    throw std::runtime_error("cannot write \"" + path + "\": " + ec.message());
  }
}

const std::string& Document::version() const {
  if (version_.empty()) {
    std::string_view v = trim(headerValue("$ACADVER", group::kStringValue));
    version_ = v.empty() ? std::string("AC1009") : asciiUpper(v);
  }
  return version_;
}

bool Document::modern() const { return version() >= "AC1012"; }

// Header: 9 $NAME followed by its value tags.
std::string_view Document::headerValue(std::string_view name, int code) const {
  for (size_t i = 0; i < header_.size(); ++i) {
    if (header_[i].code != group::kVariable || !equalsNoCaseAscii(trim(pool_.view(header_[i])), name)) continue;
    for (size_t j = i + 1; j < header_.size() && header_[j].code != group::kVariable; ++j)
      if (header_[j].code == code) return pool_.view(header_[j]);
    return {};
  }
  return {};
}

P3 Document::headerPoint(std::string_view name, P3 fallback) const {
  const int code = group::kPoint;
  std::string_view x = headerValue(name, code), y = headerValue(name, group::y(code)), z = headerValue(name, group::z(code));
  if (x.empty() || y.empty()) return fallback;
  return {toReal(x), toReal(y), toReal(z)};
}

void Document::setHeaderValue(std::string_view name, int code, std::string_view value) {
  hasHeader_ = true;
  version_.clear();
  for (size_t i = 0; i < header_.size(); ++i) {
    if (header_[i].code != group::kVariable || !equalsNoCaseAscii(trim(pool_.view(header_[i])), name)) continue;
    size_t j = i + 1;
    for (; j < header_.size() && header_[j].code != group::kVariable; ++j)
      if (header_[j].code == code) {
        header_[j] = pool_.make(code, value);
        return;
      }
    header_.insert(header_.begin() + static_cast<long>(j), pool_.make(code, value));
    return;
  }
  header_.push_back(pool_.make(group::kVariable, name));
  header_.push_back(pool_.make(code, value));
}

void Document::setHeaderPoint(std::string_view name, const P3& p, bool withZ) {
  setHeaderValue(name, group::kPoint, realText(p[0]));
  setHeaderValue(name, group::y(group::kPoint), realText(p[1]));
  if (withZ) setHeaderValue(name, group::z(group::kPoint), realText(p[2]));
}

Table* Document::table(std::string_view name) {
  for (Table& t : tables_)
    if (equalsNoCaseAscii(t.name, name)) return &t;
  return nullptr;
}

Table& Document::ensureTable(std::string_view name) {
  if (Table* t = table(name)) return *t;
  hasTables_ = true;
  Body body = {{group::kName, asciiUpper(name)}};
  if (usesHandles_) body.push_back({group::kHandle, handleText(newHandle())});
  if (modern()) body.insert(body.end(), {{group::kOwner, "0"}, {group::kSubclass, "AcDbSymbolTable"}});
  body.push_back({group::kFlags, "0"});
  Table t;
  t.name = asciiUpper(name);
  newRecord("TABLE", body);
  t.head = std::move(pending_);
  t.end = std::make_unique<Entity>(pool_, std::vector<Tag>{pool_.make(group::kType, "ENDTAB")}, Kind::Other);
  // Tables keep their usual order for readers that expect it.
  static const char* const order[] = {"VPORT", "LTYPE", "LAYER", "STYLE", "VIEW", "UCS", "APPID", "DIMSTYLE", "BLOCK_RECORD"};
  auto rank = [](std::string_view n) {
    for (size_t i = 0; i < std::size(order); ++i)
      if (n == order[i]) return i;
    return std::size(order);
  };
  size_t r = rank(t.name);
  auto pos = std::find_if(tables_.begin(), tables_.end(), [&](const Table& x) { return rank(x.name) > r; });
  return *tables_.insert(pos, std::move(t));
}

Entity* Document::tableEntry(std::string_view tableName, std::string_view name) {
  Table* t = table(tableName);
  if (!t) return nullptr;
  for (auto& e : t->entries)
    if (equalsNoCaseAscii(trim(e->str(group::kName)), trim(name))) return e.get();
  return nullptr;
}

Entity& Document::newRecord(const std::string& type, const Body& body) {
  std::vector<Tag> tags;
  tags.reserve(body.size() + 1);
  tags.push_back(pool_.make(group::kType, type));
  for (auto& [code, value] : body) tags.push_back(pool_.make(code, value));
  auto e = makeEntity(pool_, std::move(tags));
  Entity& ref = *e;
  pending_ = std::move(e);
  return ref;
}

Entity& Document::addTableEntry(std::string_view tableName, const std::string& type, const Body& body) {
  Table& t = ensureTable(tableName);
  Body full;
  if (usesHandles_) full.push_back({type == "DIMSTYLE" ? group::kDimStyleHandle : group::kHandle, handleText(newHandle())});
  if (modern()) full.push_back({group::kOwner, handleText(t.head->handle())});
  full.insert(full.end(), body.begin(), body.end());
  newRecord(type, full);
  t.entries.push_back(std::move(pending_));
  return *t.entries.back();
}

size_t Document::removeTableEntries(std::string_view tableName, std::string_view name) {
  Table* t = table(tableName);
  if (!t) return 0;
  size_t before = t->entries.size();
  std::erase_if(t->entries, [&](const EntityPtr& e) { return equalsNoCaseAscii(trim(e->str(group::kName)), trim(name)); });
  return before - t->entries.size();
}

const BlockDef* Document::block(std::string_view name) const {
  // Blocks are only ever appended, so indexing the new ones keeps the index whole; emplace
  // keeps the first of two blocks with one name.
  if (blocksIndexed_ > blocks_.size()) blockIndex_.clear(), blocksIndexed_ = 0;
  for (; blocksIndexed_ < blocks_.size(); ++blocksIndexed_)
    blockIndex_.emplace(asciiUpper(blocks_[blocksIndexed_].name()), blocksIndexed_);
  auto it = blockIndex_.find(asciiUpper(trim(name)));
  return it == blockIndex_.end() ? nullptr : &blocks_[it->second];
}

Box Document::blockExtents(std::string_view name, int depth) const {
  if (depth > 16) return {};  // nested too deep, or a block that contains itself
  // Kept per depth: what lies below a block depends on how deep it sits, and without the cache a
  // block that inserts itself several times would be measured exponentially often.
  std::string key = asciiUpper(trim(name)) + '\n' + std::to_string(depth);
  if (auto it = blockBoxes_.find(key); it != blockBoxes_.end()) return it->second;
  Box box;
  if (const BlockDef* b = block(name))
    for (auto& e : b->entities) e->extents(*this, box, depth);
  blockBoxes_[key] = box;
  return box;
}

P3 Document::blockBase(std::string_view name) const {
  const BlockDef* b = block(name);
  return b && b->begin ? b->begin->point(group::kPoint) : P3{0, 0, 0};  // the base point
}

uint64_t Document::spaceOwner(bool paper) {
  Entity* r = tableEntry("BLOCK_RECORD", paper ? "*Paper_Space" : "*Model_Space");
  return r ? r->handle() : 0;
}

Entity& Document::addEntity(const std::string& type, bool paper, const Body& body) {
  Body full;
  bool mod = modern();
  if (mod || nextHandle_ > 1) full.push_back({group::kHandle, handleText(newHandle())});
  if (mod) {
    if (uint64_t owner = spaceOwner(paper)) full.push_back({group::kOwner, handleText(owner)});
    full.push_back({group::kSubclass, "AcDbEntity"});
  }
  if (paper) full.push_back({group::kPaperSpace, "1"});
  std::string layer(trim(headerValue("$CLAYER", group::kLayer)));
  if (layer.empty() || !tableEntry("LAYER", layer)) layer = "0";
  full.push_back({group::kLayer, layer});
  full.insert(full.end(), body.begin(), body.end());
  newRecord(type, full);
  hasEntities_ = true;
  entities_.push_back(std::move(pending_));
  return *entities_.back();
}

Entity& Document::activeViewport() {
  if (Table* t = table("VPORT"))
    for (auto& e : t->entries)
      if (equalsNoCaseAscii(trim(e->str(group::kName)), "*Active")) return *e;
  using namespace group;
  Box lim = limits();
  Body body;
  if (modern()) body = {{kSubclass, "AcDbSymbolTableRecord"}, {kSubclass, "AcDbViewportTableRecord"}};
  Body rest = {{kName, "*Active"}, {kFlags, "0"},
               {kLowerLeft, "0.0"}, {y(kLowerLeft), "0.0"}, {kUpperRight, "1.0"}, {y(kUpperRight), "1.0"},
               {kViewCenter, realText((lim.minX + lim.maxX) / 2)}, {y(kViewCenter), realText((lim.minY + lim.maxY) / 2)},
               {kSnapBase, "0.0"}, {y(kSnapBase), "0.0"}, {kSnapSpacing, "10.0"}, {y(kSnapSpacing), "10.0"},
               {kGridSpacing, "10.0"}, {y(kGridSpacing), "10.0"},
               {kVportDirection, "0.0"}, {y(kVportDirection), "0.0"}, {z(kVportDirection), "1.0"},
               {kVportTarget, "0.0"}, {y(kVportTarget), "0.0"}, {z(kVportTarget), "0.0"},
               {kVportHeight, realText(lim.maxY - lim.minY)}, {kAspect, "1.5"}, {kLensLength, "50.0"},
               {kFrontClip, "0.0"}, {kBackClip, "0.0"}, {kSnapRotation, "0.0"}, {kVportTwist, "0.0"},
               {kViewMode, "0"}, {kCircleZoom, "100"}, {kFastZoom, "1"}, {kUcsIcon, "3"},
               {kSnapOn, "0"}, {kGridOn, "0"}, {kSnapStyle, "0"}, {kSnapIsoPair, "0"}};
  body.insert(body.end(), rest.begin(), rest.end());
  return addTableEntry("VPORT", "VPORT", body);
}

ViewState Document::view() {
  Entity& vp = activeViewport();
  ViewState v;
  P3 c = vp.point(group::kViewCenter);
  v.cx = c[0], v.cy = c[1];
  v.height = vp.real(group::kVportHeight, 1);
  v.aspect = vp.real(group::kAspect, 1);
  if (!(v.height > 0)) v.height = 1;
  if (!(v.aspect > 0)) v.aspect = 1;
  return v;
}

void Document::setView(const ViewState& v) {
  Entity& vp = activeViewport();
  vp.setPoint(group::kViewCenter, {v.cx, v.cy, 0}, false);
  vp.setReal(group::kVportHeight, v.height);
  if (v.aspect > 0 && vp.real(group::kAspect, -1) != v.aspect) vp.setReal(group::kAspect, v.aspect);
}

Box Document::modelExtents() const {
  Box box;
  for (const auto& e : entities_)
    if (!e->inPaperSpace()) e->extents(*this, box, 0);
  return box;
}

Box Document::limits() const {
  P3 lo = headerPoint("$LIMMIN", {0, 0, 0}), hi = headerPoint("$LIMMAX", {12, 9, 0});
  Box b;
  b.add(lo[0], lo[1]);
  b.add(hi[0], hi[1]);
  if (b.empty() || b.maxX - b.minX <= 0 || b.maxY - b.minY <= 0) {
    b = Box();
    b.add(0, 0);
    b.add(12, 9);
  }
  return b;
}

void Document::updateExtents() {
  Box b = modelExtents();
  if (b.empty()) return;
  setHeaderPoint("$EXTMIN", {b.minX, b.minY, 0}, true);
  setHeaderPoint("$EXTMAX", {b.maxX, b.maxY, 0}, true);
}

}  // namespace tlx::platform::cad
