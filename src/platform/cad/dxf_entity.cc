#include "platform/cad/dxf_entity.h"

#include <algorithm>

#include "platform/cad/dxf_document.h"

namespace tlx::platform::cad {

namespace {

constexpr double kPi = 3.14159265358979323846;

// Rotated rectangle corners (local origin at the insertion point) added to a box.
void addRotatedRect(Box& box, double ox, double oy, double x0, double y0, double x1, double y1,
                    double rotDeg) {
  double a = rotDeg * kPi / 180, c = std::cos(a), s = std::sin(a);
  const double xs[2] = {x0, x1}, ys[2] = {y0, y1};
  for (double x : xs)
    for (double y : ys) box.add(ox + x * c - y * s, oy + x * s + y * c);
}

// Length of a text value as drawn, leaving out formatting codes (%%d, \P, {\f...;}).
size_t visibleLength(std::string_view s) {
  size_t n = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    unsigned char ch = static_cast<unsigned char>(s[i]);
    if ((ch & 0xC0) == 0x80) continue;  // UTF-8 continuation byte
    if (s.compare(i, 2, "%%") == 0 && i + 2 < s.size()) {
      i += 2;
      ++n;
      continue;
    }
    ++n;
  }
  return n;
}

class LineEntity : public Entity {
 public:
  using Entity::Entity;
  void extents(const Document&, Box& box, int) const override {
    P3 a = point(group::kStart), b = point(group::kEnd);
    box.add(a[0], a[1]);
    box.add(b[0], b[1]);
  }
};

class CircleEntity : public Entity {
 public:
  using Entity::Entity;
  void extents(const Document&, Box& box, int) const override {
    P3 c = point(group::kCenter);
    double r = std::abs(real(group::kRadius));
    box.add(c[0] - r, c[1] - r);
    box.add(c[0] + r, c[1] + r);
  }
};

class ArcEntity : public Entity {
 public:
  using Entity::Entity;
  void extents(const Document&, Box& box, int) const override {
    P3 c = point(group::kCenter);
    arcExtents(box, c[0], c[1], std::abs(real(group::kRadius)), real(group::kStartAngle), real(group::kEndAngle, 360));
  }
};

class EllipseEntity : public Entity {
 public:
  using Entity::Entity;
  void extents(const Document&, Box& box, int) const override {
    P3 c = point(group::kCenter), m = point(group::kMajorAxis);
    double k = real(group::kRadiusRatio, 1), t0 = real(group::kStartParameter, 0), t1 = real(group::kEndParameter, 2 * kPi);
    while (t1 <= t0) t1 += 2 * kPi;
    const int n = 72;
    for (int i = 0; i <= n; ++i) {
      double t = t0 + (t1 - t0) * i / n;
      box.add(c[0] + m[0] * std::cos(t) - k * m[1] * std::sin(t),
              c[1] + m[1] * std::cos(t) + k * m[0] * std::sin(t));
    }
  }
};

class TextEntity : public Entity {
 public:
  using Entity::Entity;
  void extents(const Document&, Box& box, int) const override {
    if (kind_ != Kind::Text && (integer(group::kFlags) & 1)) return;  // invisible attribute
    P3 p = point(group::kInsertion);
    double h = real(group::kTextHeight, 1);
    double w = h * 0.6 * real(group::kWidthFactor, 1) * static_cast<double>(visibleLength(str(group::kText)));
    addRotatedRect(box, p[0], p[1], 0, 0, w, h, real(group::kRotation));
  }
};

class MTextEntity : public Entity {
 public:
  using Entity::Entity;
  void extents(const Document&, Box& box, int) const override {
    P3 p = point(group::kInsertion);
    double h = real(group::kTextHeight, 1);
    std::string text;
    for (const Tag& t : tags)
      if (t.code == group::kTextPiece || t.code == group::kText) text.append(pool_->view(t));
    size_t lines = 1, longest = 0, cur = 0;
    for (size_t i = 0; i < text.size(); ++i) {
      if (text[i] == '\\' && i + 1 < text.size() && (text[i + 1] == 'P' || text[i + 1] == 'p')) {
        ++lines, longest = std::max(longest, cur), cur = 0, ++i;
      } else {
        ++cur;
      }
    }
    longest = std::max(longest, cur);
    double w = real(group::kMTextWidth, 0);
    if (w <= 0) w = h * 0.6 * static_cast<double>(longest);
    double th = h * 1.667 * static_cast<double>(lines);
    int attach = static_cast<int>(integer(group::kAttachment, 1));
    if (attach < 1 || attach > 9) attach = 1;
    double x0 = -w * ((attach - 1) % 3) / 2.0;
    double yTop = th * ((attach - 1) / 3) / 2.0;  // top, middle or bottom attachment
    double rot = real(group::kRotation, 0);
    if (has(group::kDirection)) {
      P3 d = point(group::kDirection);
      if (d[0] != 0 || d[1] != 0) rot = std::atan2(d[1], d[0]) * 180 / kPi;
    }
    addRotatedRect(box, p[0], p[1], x0, yTop - th, x0 + w, yTop, rot);
  }
};

class InsertEntity : public Entity {
 public:
  using Entity::Entity;
  void extents(const Document& doc, Box& box, int depth) const override {
    Box b = doc.blockExtents(str(group::kName), depth + 1);
    if (!b.empty()) {
      P3 ins = point(group::kInsertion), base = doc.blockBase(str(group::kName));
      double sx = real(group::kXScale, 1), sy = real(group::kYScale, 1), a = real(group::kRotation) * kPi / 180;
      double c = std::cos(a), s = std::sin(a);
      const double xs[2] = {b.minX, b.maxX}, ys[2] = {b.minY, b.maxY};
      for (double x : xs)
        for (double y : ys) {
          double lx = (x - base[0]) * sx, ly = (y - base[1]) * sy;
          box.add(ins[0] + lx * c - ly * s, ins[1] + lx * s + ly * c);
        }
    }
    for (auto& child : children) child->extents(doc, box, depth);
  }
};

// A solid's vertices, read from the ACIS text that drawings before R2013 keep in the entity.
class SolidEntity : public Entity {
 public:
  using Entity::Entity;
  void extents(const Document&, Box& box, int) const override {
    std::string line;
    auto flush = [&] {
      if (line.rfind("point ", 0) == 0) {
        // "point $-1 -1 $-1 x y z #": the three numbers before the end mark.
        double v[3];
        int n = 0;
        size_t end = line.rfind('#');
        std::string_view body(line.data(), end == std::string::npos ? line.size() : end);
        while (n < 3) {
          body = trim(body);
          size_t sp = body.rfind(' ');
          std::string_view tok = sp == std::string_view::npos ? body : body.substr(sp + 1);
          if (tok.empty() || tok[0] == '$') break;
          v[2 - n++] = toReal(tok, NAN);
          body = sp == std::string_view::npos ? std::string_view() : body.substr(0, sp);
        }
        if (n == 3) box.add(v[0], v[1]);
      }
      line.clear();
    };
    for (size_t i = 1; i < tags.size(); ++i) {
      const Tag& t = tags[i];
      if (t.code == group::kXDataApp) break;
      if (t.code != group::kText && t.code != group::kTextPiece) continue;
      if (t.code == group::kText) flush();
      std::string_view v = pool_->view(t);
      for (size_t k = 0; k < v.size(); ++k) {
        unsigned char c = static_cast<unsigned char>(v[k]);
        if (c == ' ') line += ' ';
        else if (c == 0x40) line += '_';
        else if (c == 0x5F) line += '@';
        else if (c >= 0x41 && c <= 0x5E) {
          line += static_cast<char>(0x9F - c);
          if (c == 0x5E && k + 1 < v.size() && v[k + 1] == ' ') ++k;
        } else line += static_cast<char>(c ^ 0x5F);
      }
    }
    flush();
  }
};

// Every point of the given codes (LWPOLYLINE vertices, SOLID corners, POINT, ...).
class PointsEntity : public Entity {
 public:
  using Entity::Entity;
  void extents(const Document& doc, Box& box, int depth) const override {
    for (size_t i = 1; i + 1 < tags.size(); ++i) {
      const Tag& t = tags[i];
      if (t.code == group::kXDataApp) break;
      if (t.code >= group::kPoint && t.code <= group::kPoint + 3 && tags[i + 1].code == group::y(t.code))
        box.add(toReal(pool_->view(t)), toReal(pool_->view(tags[i + 1])));
    }
    for (auto& child : children)
      if (child->kind() == Kind::Vertex) child->extents(doc, box, depth);
  }
};

}  // namespace

int Entity::find(int code, int from) const {
  const int n = static_cast<int>(tags.size());
  for (int i = std::max(from, 1); i < n; ++i) {
    int c = tags[i].code;
    if (c == code) return i;
    if (c == group::kXDataApp) return -1;
    if (c == group::kAppGroup) {  // an application group: {ACAD_REACTORS ... }
      std::string_view v = trim(pool_->view(tags[i]));
      if (!v.empty() && v.front() == '{') {
        while (i + 1 < n && !(tags[i + 1].code == group::kAppGroup && trim(pool_->view(tags[i + 1])) == "}")) ++i;
        ++i;
      }
    }
  }
  return -1;
}

std::string_view Entity::str(int code, std::string_view fallback) const {
  int i = find(code);
  return i < 0 ? fallback : pool_->view(tags[i]);
}

double Entity::real(int code, double fallback) const {
  int i = find(code);
  return i < 0 ? fallback : toReal(pool_->view(tags[i]), fallback);
}

long Entity::integer(int code, long fallback) const {
  int i = find(code);
  return i < 0 ? fallback : toInt(pool_->view(tags[i]), fallback);
}

P3 Entity::point(int xcode, P3 fallback) const {
  int i = find(xcode);
  if (i < 0) return fallback;
  P3 p{toReal(pool_->view(tags[i])), 0, 0};
  int j = find(group::y(xcode), i);
  if (j >= 0) p[1] = toReal(pool_->view(tags[j]));
  int k = find(group::z(xcode), i);
  if (k >= 0) p[2] = toReal(pool_->view(tags[k]));
  return p;
}

void Entity::set(int code, std::string_view value) {
  int i = find(code);
  if (i >= 0) {
    tags[i] = pool_->make(code, value);
    return;
  }
  auto end = std::find_if(tags.begin() + (tags.empty() ? 0 : 1), tags.end(),
                          [](const Tag& t) { return t.code == group::kXDataApp; });
  tags.insert(end, pool_->make(code, value));
}

void Entity::setPoint(int xcode, const P3& p, bool withZ) {
  int i = find(xcode);
  if (i >= 0) {
    // Keep the coordinates together, in place.
    tags[i] = pool_->make(xcode, realText(p[0]));
    int j = find(group::y(xcode), i);
    if (j >= 0) tags[j] = pool_->make(group::y(xcode), realText(p[1]));
    else tags.insert(tags.begin() + i + 1, pool_->make(group::y(xcode), realText(p[1])));
    if (withZ) {
      int k = find(group::z(xcode), i);
      if (k >= 0) tags[k] = pool_->make(group::z(xcode), realText(p[2]));
      else tags.insert(tags.begin() + i + 2, pool_->make(group::z(xcode), realText(p[2])));
    }
    return;
  }
  set(xcode, realText(p[0]));
  set(group::y(xcode), realText(p[1]));
  if (withZ) set(group::z(xcode), realText(p[2]));
}

void Entity::remove(int code) {
  int i = find(code);
  if (i >= 0) tags.erase(tags.begin() + i);
}

uint64_t Entity::handle() const {
  int i = find(type() == "DIMSTYLE" ? group::kDimStyleHandle : group::kHandle);
  return i < 0 ? 0 : toHandle(pool_->view(tags[i]));
}

std::string_view Entity::lastSubclass() const {
  std::string_view last;
  for (size_t i = 1; i < tags.size(); ++i) {
    if (tags[i].code == group::kXDataApp) break;
    if (tags[i].code == group::kSubclass) last = trim(pool_->view(tags[i]));
  }
  return last;
}

void Entity::extents(const Document&, Box&, int) const {}

Kind kindOf(std::string_view t) {
  struct Entry {
    std::string_view name;
    Kind kind;
  };
  static constexpr Entry table[] = {
      {"LINE", Kind::Line},         {"ARC", Kind::Arc},           {"CIRCLE", Kind::Circle},
      {"ELLIPSE", Kind::Ellipse},   {"TEXT", Kind::Text},         {"MTEXT", Kind::MText},
      {"INSERT", Kind::Insert},     {"ATTRIB", Kind::Attrib},     {"ATTDEF", Kind::Attdef},
      {"3DSOLID", Kind::Solid3d},   {"POINT", Kind::Point},       {"LWPOLYLINE", Kind::LwPolyline},
      {"POLYLINE", Kind::Polyline}, {"VERTEX", Kind::Vertex},     {"SEQEND", Kind::Seqend},
      {"SOLID", Kind::Solid},       {"TRACE", Kind::Solid},       {"3DFACE", Kind::Solid},
      {"BLOCK", Kind::Block},       {"ENDBLK", Kind::EndBlk},
  };
  for (const Entry& e : table)
    if (e.name == t) return e.kind;
  return Kind::Other;
}

EntityPtr makeEntity(Pool& pool, std::vector<Tag> tags) {
  Kind k = tags.empty() ? Kind::Other : kindOf(trim(pool.view(tags[0])));
  switch (k) {
    case Kind::Line: return std::make_unique<LineEntity>(pool, std::move(tags), k);
    case Kind::Arc: return std::make_unique<ArcEntity>(pool, std::move(tags), k);
    case Kind::Circle: return std::make_unique<CircleEntity>(pool, std::move(tags), k);
    case Kind::Ellipse: return std::make_unique<EllipseEntity>(pool, std::move(tags), k);
    case Kind::Text:
    case Kind::Attrib: return std::make_unique<TextEntity>(pool, std::move(tags), k);
    case Kind::MText: return std::make_unique<MTextEntity>(pool, std::move(tags), k);
    case Kind::Solid3d: return std::make_unique<SolidEntity>(pool, std::move(tags), k);
    case Kind::Insert: return std::make_unique<InsertEntity>(pool, std::move(tags), k);
    case Kind::Point:
    case Kind::LwPolyline:
    case Kind::Polyline:
    case Kind::Vertex:
    case Kind::Solid: return std::make_unique<PointsEntity>(pool, std::move(tags), k);
    default: return std::make_unique<Entity>(pool, std::move(tags), k);
  }
}

void arcExtents(Box& box, double cx, double cy, double r, double startDeg, double endDeg) {
  double a0 = std::fmod(startDeg, 360.0);
  if (a0 < 0) a0 += 360;
  double a1 = std::fmod(endDeg, 360.0);
  if (a1 < 0) a1 += 360;
  if (a1 <= a0) a1 += 360;
  auto at = [&](double deg) {
    double a = deg * kPi / 180;
    box.add(cx + r * std::cos(a), cy + r * std::sin(a));
  };
  at(a0);
  at(a1);
  for (double q = 90; q < a1; q += 90)
    if (q > a0) at(q);
}

}  // namespace tlx::platform::cad
