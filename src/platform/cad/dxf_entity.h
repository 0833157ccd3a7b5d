// DXF records: entities, table entries and objects, kept as the tags they were read with. The
// kinds the drawing application works with get typed accessors over those tags, so whatever a
// record carries beyond them is written back unchanged.
#pragma once

#include <array>
#include <cmath>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/cad/dxf_tags.h"

namespace tlx::platform::cad {

using P3 = std::array<double, 3>;

// An axis-aligned box in the XY plane; empty until a point is added.
struct Box {
  double minX = INFINITY, minY = INFINITY, maxX = -INFINITY, maxY = -INFINITY;
  bool empty() const { return !(minX <= maxX && minY <= maxY); }
  void add(double x, double y) {
    if (!std::isfinite(x) || !std::isfinite(y)) return;
    minX = std::min(minX, x), maxX = std::max(maxX, x);
    minY = std::min(minY, y), maxY = std::max(maxY, y);
  }
  void add(const Box& b) {
    if (!b.empty()) add(b.minX, b.minY), add(b.maxX, b.maxY);
  }
};

enum class Kind {
  Other, Line, Arc, Circle, Ellipse, Text, MText, Insert, Attrib, Attdef, Solid3d, Point,
  LwPolyline, Polyline, Vertex, Seqend, Solid, Block, EndBlk,
};

class Document;

class Entity {
 public:
  Entity(Pool& pool, std::vector<Tag> tags, Kind kind) : tags(std::move(tags)), pool_(&pool), kind_(kind) {}
  virtual ~Entity() = default;

  Kind kind() const { return kind_; }
  std::string_view type() const { return tags.empty() ? std::string_view() : trim(pool_->view(tags[0])); }
  Pool& pool() const { return *pool_; }

  // The first tag with `code` among the record's own tags (extended data excluded); -1 if none.
  int find(int code, int from = 0) const;
  bool has(int code) const { return find(code) >= 0; }
  std::string_view str(int code, std::string_view fallback = {}) const;
  double real(int code, double fallback = 0) const;
  long integer(int code, long fallback = 0) const;
  P3 point(int xcode, P3 fallback = {0, 0, 0}) const;
  // Write a value in place; a missing tag is added at the end of the record's own tags.
  void set(int code, std::string_view value);
  void setReal(int code, double v) { set(code, realText(v)); }
  void setInt(int code, long v) { set(code, std::to_string(v)); }
  void setPoint(int xcode, const P3& p, bool withZ = true);
  void remove(int code);

  uint64_t handle() const;
  std::string_view layer() const { return str(group::kLayer, "0"); }
  bool inPaperSpace() const { return integer(group::kPaperSpace, 0) == 1; }
  // The last subclass marker ("AcDbLine"), the name the object model shows.
  std::string_view lastSubclass() const;

  // The entity's footprint in the XY plane of its own space (blocks resolved through `doc`).
  virtual void extents(const Document& doc, Box& box, int depth) const;

  std::vector<Tag> tags;
  // ATTRIB or VERTEX records and the closing SEQEND that belong to this one.
  std::vector<std::unique_ptr<Entity>> children;

 protected:
  Pool* pool_;
  Kind kind_;
};

using EntityPtr = std::unique_ptr<Entity>;

// The factory: the record's type picks its kind and class.
EntityPtr makeEntity(Pool& pool, std::vector<Tag> tags);
Kind kindOf(std::string_view type);

// Points of an arc (or circle when full) from `start` to `end` degrees, for extents.
void arcExtents(Box& box, double cx, double cy, double r, double startDeg, double endDeg);

}  // namespace tlx::platform::cad
