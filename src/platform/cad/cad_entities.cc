#include <algorithm>
#include <cmath>
#include <cstdio>

#include "talvex/convert.h"
#include "automation/strings.h"
#include "platform/cad/cad_model.h"
#include "platform/cad/dxf_solid.h"

namespace tlx::cad {

using dxf::Body;
using dxf::Entity;
using dxf::Kind;
using dxf::realText;

namespace {

constexpr double kPi = 3.14159265358979323846;

std::string rad2deg(double r) { return realText(r * 180 / kPi); }

}  // namespace

// ---- values -----------------------------------------------------------------------------------

dxf::P3 toPoint(const Variant& v) {
  const SafeArray* a = v.array();
  if (!a || a->dims() != 1 || a->count(1) < 2 || a->count(1) > 3)
    throw ComError(hr::E_INVALIDARG, "A point is an array of three numbers");
  dxf::P3 p{0, 0, 0};
  for (int32_t i = 0; i < a->count(1); ++i) {
    p[static_cast<size_t>(i)] = toDouble(a->at(a->lbound(1) + i));
    if (!std::isfinite(p[static_cast<size_t>(i)])) throw ComError(hr::E_INVALIDARG, "Invalid coordinate");
  }
  return p;
}

Variant pointVariant(const dxf::P3& p, int n) {
  auto a = std::make_unique<SafeArray>(std::vector<Bound>{{0, n}}, vtR8);
  for (int i = 0; i < n; ++i) a->at(i) = Variant(p[static_cast<size_t>(i)]);
  return Variant(std::move(a));
}

std::string text8(const Variant& v) { return u8(toBStr(v)); }

namespace {

bool unicodeFile(const dxf::Document& doc) { return doc.version() >= "AC1021"; }

// Drawings before R2007 are in the code page their header names; this one is the usual one.
bool cp1252File(const dxf::Document& doc) {
  std::string_view cp = dxf::trim(doc.headerValue("$DWGCODEPAGE", 3));
  return cp.empty() || dxf::equalsNoCase(cp, "ANSI_1252");
}

}  // namespace

BStr fromDrawing(std::string_view s, const dxf::Document& doc) {
  std::u16string out;
  if (std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
    out.assign(s.begin(), s.end());
  } else if (unicodeFile(doc) || validUtf8(s)) {
    out = u16(s);
  } else {
    for (char ch : s) {
      unsigned char c = static_cast<unsigned char>(ch);
      out.push_back(windows1252Char(c));
    }
  }
  // \U+XXXX escapes stand for characters the file's code page cannot hold.
  std::u16string r;
  for (size_t i = 0; i < out.size(); ++i) {
    if (out[i] == u'\\' && i + 6 < out.size() && (out[i + 1] == u'U' || out[i + 1] == u'u') && out[i + 2] == u'+') {
      unsigned v = 0;
      size_t k = i + 3;
      for (; k < i + 7; ++k) {
        char16_t c = out[k];
        int d = c >= u'0' && c <= u'9' ? c - u'0' : c >= u'a' && c <= u'f' ? c - u'a' + 10 : c >= u'A' && c <= u'F' ? c - u'A' + 10 : -1;
        if (d < 0) break;
        v = v * 16 + static_cast<unsigned>(d);
      }
      if (k == i + 7) {
        r.push_back(static_cast<char16_t>(v));
        i += 6;
        continue;
      }
    }
    r.push_back(out[i]);
  }
  return r;
}

std::string toDrawing(std::u16string_view s, const dxf::Document& doc) {
  std::string out;
  if (std::all_of(s.begin(), s.end(), [](char16_t c) { return c < 0x80 && c != u'\r' && c != u'\n'; }))
    return std::string(s.begin(), s.end());
  bool utf8 = unicodeFile(doc), cp1252 = !utf8 && cp1252File(doc);
  for (char16_t c : s) {
    if (c == u'\r' || c == u'\n') {
      out.push_back(' ');  // a line break would end the value in the file
    } else if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (utf8) {
      out += u8(std::u16string_view(&c, 1));
    } else if (cp1252 && c >= 0xA0 && c <= 0xFF) {
      out.push_back(static_cast<char>(c));
    } else {
      int b = -1;
      for (int i = 0; cp1252 && i < 32; ++i)
        if (windows1252Char(static_cast<unsigned char>(0x80 + i)) == c && c > 0xFF) b = 0x80 + i;
      if (b >= 0) {
        out.push_back(static_cast<char>(b));
      } else {
        char buf[12];
        std::snprintf(buf, sizeof buf, "\\U+%04X", static_cast<unsigned>(c));
        out += buf;
      }
    }
  }
  return out;
}

std::string checkName(const Variant& v, const char* what) {
  std::string name = text8(v);
  std::string_view t = dxf::trim(name);
  if (t.empty() || t.size() > 255 || t.front() == '*' ||
      t.find_first_of("<>/\\\":;?*|,=`\r\n") != std::string_view::npos)
    throw ComError(hr::E_INVALIDARG, std::string("Invalid ") + what + " name \"" + name + "\"");
  return std::string(t);
}

// ---- entities ---------------------------------------------------------------------------------

class EntityObj : public Live<EntityObj> {
 public:
  EntityObj(AppPtr a, DocPtr d, Entity* e) : app(std::move(a)), doc(std::move(d)), ent(e) {}
  void check() {
    checkDoc(app, doc);
    for (auto& e : doc->erased)
      if (e.get() == ent) throw ComError(hr::E_FAIL, "The object was erased");
  }
  // Takes the entity out of its space; the record (and its attributes) leave the drawing.
  void erase() {
    auto& list = doc->drawing->entities();
    auto it = std::find_if(list.begin(), list.end(), [&](const dxf::EntityPtr& e) { return e.get() == ent; });
    if (it == list.end()) throw ComError(hr::E_FAIL, "Only entities of the model or paper space can be deleted");
    doc->erased.push_back(std::move(*it));
    list.erase(it);
    doc->saved = false;
  }
  std::string typeName() const override {
    switch (ent->kind()) {
      case Kind::Line: return "IAcadLine";
      case Kind::Arc: return "IAcadArc";
      case Kind::Circle: return "IAcadCircle";
      case Kind::Ellipse: return "IAcadEllipse";
      case Kind::Text: return "IAcadText";
      case Kind::MText: return "IAcadMText";
      case Kind::Insert: return "IAcadBlockReference";
      case Kind::Attrib: return "IAcadAttributeReference";
      case Kind::Solid3d: return "IAcad3DSolid";
      default: return "IAcadEntity";
    }
  }

  // Members that only some kinds have.
  void need(std::initializer_list<Kind> kinds, const char* member) const {
    for (Kind k : kinds)
      if (ent->kind() == k) return;
    throwUnknownName(member);
  }
  BStr str(int code, std::string_view fallback = {}) const { return fromDrawing(ent->str(code, fallback), *doc->drawing); }
  void setStr(int code, const Variant& v) {
    ent->set(code, toDrawing(toBStr(v), *doc->drawing));
    doc->saved = false;
  }
  void setReal(int code, double v) {
    if (!std::isfinite(v)) throw ComError(hr::E_INVALIDARG, "Invalid value");
    ent->setReal(code, v);
    doc->saved = false;
  }
  void setPoint(int code, const Variant& v) {
    ent->setPoint(code, toPoint(v));
    doc->saved = false;
  }
  BStr mtext() const {
    std::string s;
    for (size_t i = 1; i < ent->tags.size(); ++i) {
      const auto& t = ent->tags[i];
      if (t.code == 1001) break;
      if (t.code == 3 || t.code == 1) s.append(ent->pool().view(t));
    }
    return fromDrawing(s, *doc->drawing);
  }
  void setMtext(const Variant& v) {
    std::string s = toDrawing(toBStr(v), *doc->drawing);
    while (ent->find(3) >= 0) ent->remove(3);
    ent->remove(1);
    // Values are limited to 250 characters: the leading chunks go in 3 tags, the last in 1.
    std::vector<dxf::Tag> chunks;
    size_t pos = 0;
    while (s.size() - pos > 250) {
      size_t n = 250;
      while (n > 1 && (static_cast<unsigned char>(s[pos + n]) & 0xC0) == 0x80) --n;  // whole UTF-8 characters
      chunks.push_back(ent->pool().make(3, std::string_view(s).substr(pos, n)));
      pos += n;
    }
    chunks.push_back(ent->pool().make(1, std::string_view(s).substr(pos)));
    int at = ent->find(41);
    if (at < 0) at = ent->find(40);
    auto it = at >= 0 ? ent->tags.begin() + at + 1 : ent->tags.end();
    ent->tags.insert(it, chunks.begin(), chunks.end());
    doc->saved = false;
  }
  Variant handleNumber(uint64_t h) const { return Variant(static_cast<int32_t>(h & 0x7fffffff)); }

  static const Members<EntityObj>& members();
  AppPtr app;
  DocPtr doc;
  Entity* ent;
};

const Members<EntityObj>& EntityObj::members() {
  static const Members<EntityObj> m = [] {
    Members<EntityObj> t;
    using S = EntityObj;
    t.property("EntityType", [](S& s, Args&) {
      switch (s.ent->kind()) {
        case Kind::Solid3d: return Variant(int32_t(3));
        case Kind::Arc: return Variant(int32_t(4));
        case Kind::Attdef: return Variant(int32_t(5));
        case Kind::Attrib: return Variant(int32_t(6));
        case Kind::Insert: return Variant(int32_t(7));
        case Kind::Circle: return Variant(int32_t(8));
        case Kind::Ellipse: return Variant(int32_t(16));
        case Kind::Line: return Variant(int32_t(19));
        case Kind::MText: return Variant(int32_t(21));
        case Kind::Point: return Variant(int32_t(22));
        case Kind::Polyline: return Variant(int32_t(23));
        case Kind::LwPolyline: return Variant(int32_t(24));
        case Kind::Solid: return Variant(int32_t(30));
        case Kind::Text: return Variant(int32_t(32));
        default: {
          std::string_view type = s.ent->type();
          if (type == "HATCH") return Variant(int32_t(17));
          if (type == "SPLINE") return Variant(int32_t(31));
          if (type == "DIMENSION") return Variant(int32_t(15));
          return Variant(int32_t(0));
        }
      }
    });
    auto objectName = [](S& s, Args&) {
      switch (s.ent->kind()) {
        case Kind::Line: return Variant(u"AcDbLine");
        case Kind::Arc: return Variant(u"AcDbArc");
        case Kind::Circle: return Variant(u"AcDbCircle");
        case Kind::Ellipse: return Variant(u"AcDbEllipse");
        case Kind::Text: return Variant(u"AcDbText");
        case Kind::MText: return Variant(u"AcDbMText");
        case Kind::Insert: return Variant(u"AcDbBlockReference");
        case Kind::Attrib: return Variant(u"AcDbAttribute");
        case Kind::Attdef: return Variant(u"AcDbAttributeDefinition");
        case Kind::Solid3d: return Variant(u"AcDb3dSolid");
        default: {
          std::string_view sub = s.ent->lastSubclass();
          if (!sub.empty()) return Variant(u16(sub));
          return Variant(u16("AcDb" + std::string(s.ent->type())));
        }
      }
    };
    t.property("ObjectName", objectName);
    t.property("EntityName", objectName);
    t.property("Handle", [](S& s, Args&) { return Variant(u16(dxf::handleText(s.ent->handle()))); });
    t.property("ObjectID", [](S& s, Args&) { return s.handleNumber(s.ent->handle()); });
    t.property("OwnerID", [](S& s, Args&) { return s.handleNumber(dxf::toHandle(s.ent->str(330))); });
    t.property(
        "Layer", [](S& s, Args&) { return Variant(s.str(8, "0")); },
        [](S& s, Args&, const Variant& v) {
          std::string name = toDrawing(toBStr(v), *s.doc->drawing);
          if (!s.doc->drawing->tableEntry("LAYER", name))
            throw ComError(hr::E_INVALIDARG, "No layer is named \"" + name + "\"");
          s.ent->set(8, name);
          s.doc->saved = false;
        });
    t.property(
        "Color", [](S& s, Args&) { return Variant(int32_t(s.ent->integer(62, 256))); },
        [](S& s, Args&, const Variant& v) {
          int32_t c = toI4(v);
          if (c < 0 || c > 256) throw ComError(hr::E_INVALIDARG, "Invalid color");
          s.ent->setInt(62, c);
          s.doc->saved = false;
        });
    t.property("Linetype", [](S& s, Args&) { return Variant(s.str(6, "ByLayer")); });
    t.property("LinetypeScale", [](S& s, Args&) { return Variant(s.ent->real(48, 1)); });
    t.property("Lineweight", [](S& s, Args&) { return Variant(int32_t(s.ent->integer(370, -1))); });
    t.property(
        "Visible", [](S& s, Args&) { return Variant(s.ent->integer(60, 0) == 0); },
        [](S& s, Args&, const Variant& v) {
          s.ent->setInt(60, toBool(v) ? 0 : 1);
          s.doc->saved = false;
        });
    t.property("HasExtensionDictionary", [](S& s, Args&) {
      for (const auto& tag : s.ent->tags)
        if (tag.code == 102 && dxf::trim(s.ent->pool().view(tag)) == "{ACAD_XDICTIONARY") return Variant(true);
      return Variant(false);
    });
    t.method("Update", {}, [](S&, Args&) { return Variant(); });
    t.method("Delete", {}, [](S& s, Args&) { s.erase(); return Variant(); });
    t.property("Application", [](S& s, Args&) { return Variant(ObjRef(s.app->wrapper)); });

    t.property(
        "StartPoint", [](S& s, Args&) { s.need({Kind::Line}, "StartPoint"); return pointVariant(s.ent->point(10)); },
        [](S& s, Args&, const Variant& v) { s.need({Kind::Line}, "StartPoint"); s.setPoint(10, v); });
    t.property(
        "EndPoint", [](S& s, Args&) { s.need({Kind::Line}, "EndPoint"); return pointVariant(s.ent->point(11)); },
        [](S& s, Args&, const Variant& v) { s.need({Kind::Line}, "EndPoint"); s.setPoint(11, v); });
    t.property(
        "Center",
        [](S& s, Args&) { s.need({Kind::Arc, Kind::Circle, Kind::Ellipse}, "Center"); return pointVariant(s.ent->point(10)); },
        [](S& s, Args&, const Variant& v) { s.need({Kind::Arc, Kind::Circle, Kind::Ellipse}, "Center"); s.setPoint(10, v); });
    t.property(
        "Radius", [](S& s, Args&) { s.need({Kind::Arc, Kind::Circle}, "Radius"); return Variant(s.ent->real(40)); },
        [](S& s, Args&, const Variant& v) {
          s.need({Kind::Arc, Kind::Circle}, "Radius");
          double r = toDouble(v);
          if (!(r > 0)) throw ComError(hr::E_INVALIDARG, "The radius must be positive");
          s.setReal(40, r);
        });
    t.property("StartAngle", [](S& s, Args&) { s.need({Kind::Arc}, "StartAngle"); return Variant(s.ent->real(50) * kPi / 180); });
    t.property("EndAngle", [](S& s, Args&) { s.need({Kind::Arc}, "EndAngle"); return Variant(s.ent->real(51) * kPi / 180); });
    t.property("MajorAxis", [](S& s, Args&) { s.need({Kind::Ellipse}, "MajorAxis"); return pointVariant(s.ent->point(11)); });
    t.property("RadiusRatio", [](S& s, Args&) { s.need({Kind::Ellipse}, "RadiusRatio"); return Variant(s.ent->real(40, 1)); });
    t.property(
        "TextString",
        [](S& s, Args&) {
          s.need({Kind::Text, Kind::MText, Kind::Attrib, Kind::Attdef}, "TextString");
          return Variant(s.ent->kind() == Kind::MText ? s.mtext() : s.str(1));
        },
        [](S& s, Args&, const Variant& v) {
          s.need({Kind::Text, Kind::MText, Kind::Attrib, Kind::Attdef}, "TextString");
          if (s.ent->kind() == Kind::MText) s.setMtext(v);
          else s.setStr(1, v);
        });
    t.property(
        "TagString", [](S& s, Args&) { s.need({Kind::Attrib, Kind::Attdef}, "TagString"); return Variant(s.str(2)); },
        [](S& s, Args&, const Variant& v) {
          s.need({Kind::Attrib, Kind::Attdef}, "TagString");
          std::string tag = toDrawing(toBStr(v), *s.doc->drawing);
          if (dxf::trim(tag).empty() || tag.find(' ') != std::string::npos)
            throw ComError(hr::E_INVALIDARG, "Invalid attribute tag \"" + tag + "\"");
          s.ent->set(2, tag);
          s.doc->saved = false;
        });
    t.property(
        "InsertionPoint",
        [](S& s, Args&) {
          s.need({Kind::Text, Kind::MText, Kind::Insert, Kind::Attrib, Kind::Attdef}, "InsertionPoint");
          return pointVariant(s.ent->point(10));
        },
        [](S& s, Args&, const Variant& v) {
          s.need({Kind::Text, Kind::MText, Kind::Insert, Kind::Attrib, Kind::Attdef}, "InsertionPoint");
          s.setPoint(10, v);
        });
    t.property("Height", [](S& s, Args&) {
      s.need({Kind::Text, Kind::MText, Kind::Attrib, Kind::Attdef}, "Height");
      return Variant(s.ent->real(40, 1));
    });
    t.property("Width", [](S& s, Args&) { s.need({Kind::MText}, "Width"); return Variant(s.ent->real(41, 0)); });
    t.property("Rotation", [](S& s, Args&) {
      s.need({Kind::Text, Kind::MText, Kind::Insert, Kind::Attrib, Kind::Attdef}, "Rotation");
      return Variant(s.ent->real(50, 0) * kPi / 180);
    });
    t.property("Name", [](S& s, Args&) { s.need({Kind::Insert}, "Name"); return Variant(s.str(2)); });
    t.property("XScaleFactor", [](S& s, Args&) { s.need({Kind::Insert}, "XScaleFactor"); return Variant(s.ent->real(41, 1)); });
    t.property("YScaleFactor", [](S& s, Args&) { s.need({Kind::Insert}, "YScaleFactor"); return Variant(s.ent->real(42, 1)); });
    t.property("ZScaleFactor", [](S& s, Args&) { s.need({Kind::Insert}, "ZScaleFactor"); return Variant(s.ent->real(43, 1)); });
    t.property("HasAttributes", [](S& s, Args&) {
      s.need({Kind::Insert}, "HasAttributes");
      for (auto& c : s.ent->children)
        if (c->kind() == Kind::Attrib) return Variant(true);
      return Variant(false);
    });
    t.method("GetAttributes", {}, [](S& s, Args&) {
      s.need({Kind::Insert}, "GetAttributes");
      std::vector<Entity*> attribs;
      for (auto& c : s.ent->children)
        if (c->kind() == Kind::Attrib) attribs.push_back(c.get());
      // An empty result is an array with no elements (upper bound -1), as callers loop to UBound.
      auto a = std::make_unique<SafeArray>(std::vector<Bound>{{0, static_cast<int32_t>(attribs.size())}}, vtDispatch);
      for (size_t i = 0; i < attribs.size(); ++i)
        a->at(static_cast<int32_t>(i)) = Variant(entityObject(s.app, s.doc, attribs[i]));
      return Variant(std::move(a));
    });
    return t;
  }();
  return m;
}

ObjRef entityObject(const AppPtr& app, const DocPtr& doc, Entity* e) {
  return ObjRef(makeRef<EntityObj>(app, doc, e));
}

// ---- model and paper space --------------------------------------------------------------------

class SpaceObj : public Live<SpaceObj> {
 public:
  SpaceObj(AppPtr a, DocPtr d, bool p) : app(std::move(a)), doc(std::move(d)), paper(p) {}
  void check() { checkDoc(app, doc); }
  std::string typeName() const override { return paper ? "IAcadPaperSpace" : "IAcadModelSpace"; }

  std::vector<Entity*> items() const {
    std::vector<Entity*> out;
    for (auto& e : doc->drawing->entities())
      if (e->inPaperSpace() == paper) out.push_back(e.get());
    return out;
  }
  std::vector<Variant> enumerate() override {
    check();
    std::vector<Variant> out;
    for (Entity* e : items()) out.emplace_back(entityObject(app, doc, e));
    return out;
  }
  dxf::Document& d() { return *doc->drawing; }
  Variant add(const std::string& type, const Body& body) {
    Entity& e = d().addEntity(type, paper, body);
    doc->saved = false;
    return Variant(entityObject(app, doc, &e));
  }
  // Subclass markers only where the drawing's version has them.
  void sub(Body& b, const char* name) {
    if (d().modern()) b.push_back({100, name});
  }
  static void point(Body& b, int code, const dxf::P3& p) {
    b.push_back({code, realText(p[0])});
    b.push_back({code + 10, realText(p[1])});
    b.push_back({code + 20, realText(p[2])});
  }
  static double positive(const Variant& v, const char* what) {
    double d = toDouble(v);
    if (!(d > 0) || !std::isfinite(d)) throw ComError(hr::E_INVALIDARG, std::string("The ") + what + " must be positive");
    return d;
  }
  void needModern(const char* what) {
    if (!d().modern()) throw ComError(hr::E_FAIL, std::string(what) + " entities need a drawing of R13 or later");
  }

  static const Members<SpaceObj>& members() {
    static const Members<SpaceObj> m = [] {
      Members<SpaceObj> t;
      using S = SpaceObj;
      t.property("Count", [](S& s, Args&) { return Variant(int32_t(s.items().size())); });
      t.property("Name", [](S& s, Args&) { return Variant(s.paper ? u"*Paper_Space" : u"*Model_Space"); });
      t.method("Item", {"Index"}, [](S& s, Args& a) {
        auto items = s.items();
        int32_t i = toI4(a[0]);
        if (i < 0 || i >= static_cast<int32_t>(items.size()))
          throw ComError(hr::DISP_E_BADINDEX, "No entity has the index " + std::to_string(i));
        return Variant(entityObject(s.app, s.doc, items[static_cast<size_t>(i)]));
      });
      t.method("AddLine", {"StartPoint", "EndPoint"}, [](S& s, Args& a) {
        dxf::P3 p1 = toPoint(a[0]), p2 = toPoint(a[1]);
        Body b;
        s.sub(b, "AcDbLine");
        point(b, 10, p1);
        point(b, 11, p2);
        return s.add("LINE", b);
      });
      t.method("AddCircle", {"Center", "Radius"}, [](S& s, Args& a) {
        dxf::P3 c = toPoint(a[0]);
        double r = positive(a[1], "radius");
        Body b;
        s.sub(b, "AcDbCircle");
        point(b, 10, c);
        b.push_back({40, realText(r)});
        return s.add("CIRCLE", b);
      });
      t.method("AddArc", {"Center", "Radius", "StartAngle", "EndAngle"}, [](S& s, Args& a) {
        dxf::P3 c = toPoint(a[0]);
        double r = positive(a[1], "radius");
        double a0 = toDouble(a[2]), a1 = toDouble(a[3]);
        if (!std::isfinite(a0) || !std::isfinite(a1)) throw ComError(hr::E_INVALIDARG, "Invalid angle");
        Body b;
        s.sub(b, "AcDbCircle");
        point(b, 10, c);
        b.push_back({40, realText(r)});
        s.sub(b, "AcDbArc");
        b.push_back({50, rad2deg(a0)});
        b.push_back({51, rad2deg(a1)});
        return s.add("ARC", b);
      });
      t.method("AddEllipse", {"Center", "MajorAxis", "RadiusRatio"}, [](S& s, Args& a) {
        s.needModern("Ellipse");
        dxf::P3 c = toPoint(a[0]), axis = toPoint(a[1]);
        double ratio = toDouble(a[2]);
        if (std::hypot(axis[0], axis[1], axis[2]) == 0) throw ComError(hr::E_INVALIDARG, "The major axis has no length");
        if (!(ratio > 0 && ratio <= 1)) throw ComError(hr::E_INVALIDARG, "The radius ratio must lie in (0, 1]");
        Body b;
        s.sub(b, "AcDbEllipse");
        point(b, 10, c);
        point(b, 11, axis);  // the major axis as a vector from the centre
        b.push_back({210, "0.0"}), b.push_back({220, "0.0"}), b.push_back({230, "1.0"});
        b.push_back({40, realText(ratio)});
        b.push_back({41, "0.0"});
        b.push_back({42, realText(2 * kPi)});
        return s.add("ELLIPSE", b);
      });
      t.method("AddText", {"TextString", "InsertionPoint", "Height"}, [](S& s, Args& a) {
        std::string text = toDrawing(toBStr(a[0]), s.d());
        dxf::P3 p = toPoint(a[1]);
        double h = positive(a[2], "text height");
        Body b;
        s.sub(b, "AcDbText");
        point(b, 10, p);
        b.push_back({40, realText(h)});
        b.push_back({1, text});
        s.sub(b, "AcDbText");
        return s.add("TEXT", b);
      });
      t.method("AddMText", {"InsertionPoint", "Width", "Text"}, [](S& s, Args& a) {
        s.needModern("Multiline text");
        dxf::P3 p = toPoint(a[0]);
        double w = toDouble(a[1]);
        if (w < 0 || !std::isfinite(w)) throw ComError(hr::E_INVALIDARG, "The width must not be negative");
        double h = dxf::toReal(s.d().headerValue("$TEXTSIZE", 40), 2.5);
        if (!(h > 0)) h = 2.5;
        Body b;
        s.sub(b, "AcDbMText");
        point(b, 10, p);
        b.push_back({40, realText(h)});
        b.push_back({41, realText(w)});
        b.push_back({71, "1"});
        b.push_back({72, "1"});
        b.push_back({1, ""});
        Variant obj = s.add("MTEXT", b);
        refCast<EntityObj>(obj.obj())->setMtext(a[2]);
        return obj;
      });
      // Solids are polyhedral bodies (the cone's round base in 64 facets), centred on the given
      // point as the middle of their bounding box.
      t.method("AddBox", {"Origin", "Length", "Width", "Height"}, [](S& s, Args& a) {
        dxf::P3 o = toPoint(a[0]);
        double l = positive(a[1], "length"), w = positive(a[2], "width"), h = positive(a[3], "height");
        s.needSolids();
        return s.add("3DSOLID", dxf::solidBody(dxf::boxMesh(o, l, w, h), s.d().version()));
      });
      t.method("AddCone", {"Center", "BaseRadius", "Height"}, [](S& s, Args& a) {
        dxf::P3 c = toPoint(a[0]);
        double r = positive(a[1], "base radius"), h = positive(a[2], "height");
        s.needSolids();
        return s.add("3DSOLID", dxf::solidBody(dxf::coneMesh(c, r, h), s.d().version()));
      });
      return t;
    }();
    return m;
  }
  void needSolids() {
    if (!dxf::satVersion(d().version()))
      throw ComError(hr::E_FAIL, "Solids can be added to drawings of R2000 to R2010 only, not " + d().version());
  }
  AppPtr app;
  DocPtr doc;
  bool paper;
};

ObjRef spaceObject(const AppPtr& app, const DocPtr& doc, bool paper) {
  return ObjRef(makeRef<SpaceObj>(app, doc, paper));
}

}  // namespace tlx::cad
