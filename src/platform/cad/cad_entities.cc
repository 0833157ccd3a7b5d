#include <algorithm>
#include <cmath>
#include <cstdio>

#include "talvex/convert.h"
#include "automation/strings.h"
#include "platform/cad/cad_model.h"
#include "platform/cad/dxf_solid.h"

namespace tlx::platform::cad {


namespace {

constexpr double kPi = 3.14159265358979323846;

std::string rad2deg(double r) { return realText(r * 180 / kPi); }

}  // namespace

// ---- values -----------------------------------------------------------------------------------

P3 toPoint(const Variant& v) {
  const SafeArray* a = v.array();
  if (!a || a->dims() != 1 || a->count(1) < 2 || a->count(1) > 3)
    throw ComError(hr::E_INVALIDARG, "A point is an array of three numbers");
  P3 p{0, 0, 0};
  for (int32_t i = 0; i < a->count(1); ++i) {
    p[static_cast<size_t>(i)] = toDouble(a->at(a->lbound(1) + i));
    if (!std::isfinite(p[static_cast<size_t>(i)])) throw ComError(hr::E_INVALIDARG, "Invalid coordinate");
  }
  return p;
}

Variant pointVariant(const P3& p, int n) {
  auto a = std::make_unique<SafeArray>(std::vector<Bound>{{0, n}}, vtR8);
  for (int i = 0; i < n; ++i) a->at(i) = Variant(p[static_cast<size_t>(i)]);
  return Variant(std::move(a));
}

namespace {

bool unicodeFile(const Document& doc) { return doc.version() >= "AC1021"; }

// Drawings before R2007 are in the code page their header names; this one is the usual one.
bool cp1252File(const Document& doc) {
  std::string_view cp = trim(doc.headerValue("$DWGCODEPAGE", group::kNameValue));
  return cp.empty() || equalsNoCaseAscii(cp, "ANSI_1252");
}

}  // namespace

BStr fromDrawing(std::string_view s, const Document& doc) {
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

std::string toDrawing(std::u16string_view s, const Document& doc) {
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
  std::string name = toUtf8(v);
  std::string_view t = trim(name);
  if (t.empty() || t.size() > 255 || t.front() == '*' ||
      t.find_first_of("<>/\\\":;?*|,=`\r\n") != std::string_view::npos)
    throw ComError(hr::E_INVALIDARG, std::string("Invalid ") + what + " name \"" + name + "\"");
  return std::string(t);
}

// ---- entities ---------------------------------------------------------------------------------

class EntityObj : public DocObject<EntityObj> {
 public:
  EntityObj(AppPtr a, DocPtr d, Entity* e) : DocObject(std::move(a), std::move(d)), ent(e) {}
  void check() const {
    DocObject::check();
    for (auto& e : doc->erased)
      if (e.get() == ent) throw ComError(hr::E_FAIL, "The object was erased");
  }
  // Takes the entity out of its space; the record (and its attributes) leave the drawing.
  void erase() {
    auto& list = doc->drawing->entities();
    auto it = std::find_if(list.begin(), list.end(), [&](const EntityPtr& e) { return e.get() == ent; });
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
      if (t.code == group::kXDataApp) break;
      if (t.code == group::kTextPiece || t.code == group::kText) s.append(ent->pool().view(t));
    }
    return fromDrawing(s, *doc->drawing);
  }
  void setMtext(const Variant& v) {
    std::string s = toDrawing(toBStr(v), *doc->drawing);
    while (ent->find(group::kTextPiece) >= 0) ent->remove(group::kTextPiece);
    ent->remove(group::kText);
    // Values are limited to 250 characters: the leading chunks go in pieces, the last as the text.
    std::vector<Tag> chunks;
    size_t pos = 0;
    while (s.size() - pos > 250) {
      size_t n = 250;
      while (n > 1 && (static_cast<unsigned char>(s[pos + n]) & 0xC0) == 0x80) --n;  // whole UTF-8 characters
      chunks.push_back(ent->pool().make(group::kTextPiece, std::string_view(s).substr(pos, n)));
      pos += n;
    }
    chunks.push_back(ent->pool().make(group::kText, std::string_view(s).substr(pos)));
    int at = ent->find(group::kMTextWidth);
    if (at < 0) at = ent->find(group::kTextHeight);
    auto it = at >= 0 ? ent->tags.begin() + at + 1 : ent->tags.end();
    ent->tags.insert(it, chunks.begin(), chunks.end());
    doc->saved = false;
  }
  Variant handleNumber(uint64_t h) const { return Variant(static_cast<int32_t>(h & 0x7fffffff)); }

  static const Members<EntityObj>& members();
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
    t.property("Handle", [](S& s, Args&) { return Variant(u16(handleText(s.ent->handle()))); });
    t.property("ObjectID", [](S& s, Args&) { return s.handleNumber(s.ent->handle()); });
    t.property("OwnerID", [](S& s, Args&) { return s.handleNumber(toHandle(s.ent->str(group::kOwner))); });
    t.property(
        "Layer", [](S& s, Args&) { return Variant(s.str(group::kLayer, "0")); },
        [](S& s, Args&, const Variant& v) {
          std::string name = toDrawing(toBStr(v), *s.doc->drawing);
          if (!s.doc->drawing->tableEntry("LAYER", name))
            throw ComError(hr::E_INVALIDARG, "No layer is named \"" + name + "\"");
          s.ent->set(group::kLayer, name);
          s.doc->saved = false;
        });
    t.property(
        "Color", [](S& s, Args&) { return Variant(int32_t(s.ent->integer(group::kColor, 256))); },
        [](S& s, Args&, const Variant& v) {
          int32_t c = toI4(v);
          if (c < 0 || c > 256) throw ComError(hr::E_INVALIDARG, "Invalid color");
          s.ent->setInt(group::kColor, c);
          s.doc->saved = false;
        });
    t.property("Linetype", [](S& s, Args&) { return Variant(s.str(group::kLinetype, "ByLayer")); });
    t.property("LinetypeScale", [](S& s, Args&) { return Variant(s.ent->real(group::kLinetypeScale, 1)); });
    t.property("Lineweight", [](S& s, Args&) { return Variant(int32_t(s.ent->integer(group::kLineweight, -1))); });
    t.property(
        "Visible", [](S& s, Args&) { return Variant(s.ent->integer(group::kInvisible, 0) == 0); },
        [](S& s, Args&, const Variant& v) {
          s.ent->setInt(group::kInvisible, toBool(v) ? 0 : 1);
          s.doc->saved = false;
        });
    t.property("HasExtensionDictionary", [](S& s, Args&) {
      for (const auto& tag : s.ent->tags)
        if (tag.code == group::kAppGroup && trim(s.ent->pool().view(tag)) == "{ACAD_XDICTIONARY") return Variant(true);
      return Variant(false);
    });
    t.method("Update", {}, [](S&, Args&) { return Variant(); });
    t.method("Delete", {}, [](S& s, Args&) { s.erase(); return Variant(); });
    t.property("Application", [](S& s, Args&) { return Variant(ObjRef(s.app->wrapper)); });

    t.property(
        "StartPoint", [](S& s, Args&) { s.need({Kind::Line}, "StartPoint"); return pointVariant(s.ent->point(group::kStart)); },
        [](S& s, Args&, const Variant& v) { s.need({Kind::Line}, "StartPoint"); s.setPoint(group::kStart, v); });
    t.property(
        "EndPoint", [](S& s, Args&) { s.need({Kind::Line}, "EndPoint"); return pointVariant(s.ent->point(group::kEnd)); },
        [](S& s, Args&, const Variant& v) { s.need({Kind::Line}, "EndPoint"); s.setPoint(group::kEnd, v); });
    t.property(
        "Center",
        [](S& s, Args&) { s.need({Kind::Arc, Kind::Circle, Kind::Ellipse}, "Center"); return pointVariant(s.ent->point(group::kCenter)); },
        [](S& s, Args&, const Variant& v) { s.need({Kind::Arc, Kind::Circle, Kind::Ellipse}, "Center"); s.setPoint(group::kCenter, v); });
    t.property(
        "Radius", [](S& s, Args&) { s.need({Kind::Arc, Kind::Circle}, "Radius"); return Variant(s.ent->real(group::kRadius)); },
        [](S& s, Args&, const Variant& v) {
          s.need({Kind::Arc, Kind::Circle}, "Radius");
          double r = toDouble(v);
          if (!(r > 0)) throw ComError(hr::E_INVALIDARG, "The radius must be positive");
          s.setReal(group::kRadius, r);
        });
    t.property("StartAngle", [](S& s, Args&) { s.need({Kind::Arc}, "StartAngle"); return Variant(s.ent->real(group::kStartAngle) * kPi / 180); });
    t.property("EndAngle", [](S& s, Args&) { s.need({Kind::Arc}, "EndAngle"); return Variant(s.ent->real(group::kEndAngle) * kPi / 180); });
    t.property("MajorAxis", [](S& s, Args&) { s.need({Kind::Ellipse}, "MajorAxis"); return pointVariant(s.ent->point(group::kMajorAxis)); });
    t.property("RadiusRatio", [](S& s, Args&) { s.need({Kind::Ellipse}, "RadiusRatio"); return Variant(s.ent->real(group::kRadiusRatio, 1)); });
    t.property(
        "TextString",
        [](S& s, Args&) {
          s.need({Kind::Text, Kind::MText, Kind::Attrib, Kind::Attdef}, "TextString");
          return Variant(s.ent->kind() == Kind::MText ? s.mtext() : s.str(group::kText));
        },
        [](S& s, Args&, const Variant& v) {
          s.need({Kind::Text, Kind::MText, Kind::Attrib, Kind::Attdef}, "TextString");
          if (s.ent->kind() == Kind::MText) s.setMtext(v);
          else s.setStr(group::kText, v);
        });
    t.property(
        "TagString", [](S& s, Args&) { s.need({Kind::Attrib, Kind::Attdef}, "TagString"); return Variant(s.str(group::kName)); },
        [](S& s, Args&, const Variant& v) {
          s.need({Kind::Attrib, Kind::Attdef}, "TagString");
          std::string tag = toDrawing(toBStr(v), *s.doc->drawing);
          if (trim(tag).empty() || tag.find(' ') != std::string::npos)
            throw ComError(hr::E_INVALIDARG, "Invalid attribute tag \"" + tag + "\"");
          s.ent->set(group::kName, tag);
          s.doc->saved = false;
        });
    t.property(
        "InsertionPoint",
        [](S& s, Args&) {
          s.need({Kind::Text, Kind::MText, Kind::Insert, Kind::Attrib, Kind::Attdef}, "InsertionPoint");
          return pointVariant(s.ent->point(group::kInsertion));
        },
        [](S& s, Args&, const Variant& v) {
          s.need({Kind::Text, Kind::MText, Kind::Insert, Kind::Attrib, Kind::Attdef}, "InsertionPoint");
          s.setPoint(group::kInsertion, v);
        });
    t.property("Height", [](S& s, Args&) {
      s.need({Kind::Text, Kind::MText, Kind::Attrib, Kind::Attdef}, "Height");
      return Variant(s.ent->real(group::kTextHeight, 1));
    });
    t.property("Width", [](S& s, Args&) { s.need({Kind::MText}, "Width"); return Variant(s.ent->real(group::kMTextWidth, 0)); });
    t.property("Rotation", [](S& s, Args&) {
      s.need({Kind::Text, Kind::MText, Kind::Insert, Kind::Attrib, Kind::Attdef}, "Rotation");
      return Variant(s.ent->real(group::kRotation, 0) * kPi / 180);
    });
    t.property("Name", [](S& s, Args&) { s.need({Kind::Insert}, "Name"); return Variant(s.str(group::kName)); });
    t.property("XScaleFactor", [](S& s, Args&) { s.need({Kind::Insert}, "XScaleFactor"); return Variant(s.ent->real(group::kXScale, 1)); });
    t.property("YScaleFactor", [](S& s, Args&) { s.need({Kind::Insert}, "YScaleFactor"); return Variant(s.ent->real(group::kYScale, 1)); });
    t.property("ZScaleFactor", [](S& s, Args&) { s.need({Kind::Insert}, "ZScaleFactor"); return Variant(s.ent->real(group::kZScale, 1)); });
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

class SpaceObj : public DocObject<SpaceObj> {
 public:
  SpaceObj(AppPtr a, DocPtr d, bool p) : DocObject(std::move(a), std::move(d)), paper(p) {}
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
  Document& d() { return *doc->drawing; }
  Variant add(const std::string& type, const Body& body) {
    Entity& e = d().addEntity(type, paper, body);
    doc->saved = false;
    return Variant(entityObject(app, doc, &e));
  }
  // Subclass markers only where the drawing's version has them.
  void sub(Body& b, const char* name) {
    if (d().modern()) b.push_back({group::kSubclass, name});
  }
  static void point(Body& b, int code, const P3& p) {
    b.push_back({code, realText(p[0])});
    b.push_back({group::y(code), realText(p[1])});
    b.push_back({group::z(code), realText(p[2])});
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
        P3 p1 = toPoint(a[0]), p2 = toPoint(a[1]);
        Body b;
        s.sub(b, "AcDbLine");
        point(b, group::kStart, p1);
        point(b, group::kEnd, p2);
        return s.add("LINE", b);
      });
      t.method("AddCircle", {"Center", "Radius"}, [](S& s, Args& a) {
        P3 c = toPoint(a[0]);
        double r = positive(a[1], "radius");
        Body b;
        s.sub(b, "AcDbCircle");
        point(b, group::kCenter, c);
        b.push_back({group::kRadius, realText(r)});
        return s.add("CIRCLE", b);
      });
      t.method("AddArc", {"Center", "Radius", "StartAngle", "EndAngle"}, [](S& s, Args& a) {
        P3 c = toPoint(a[0]);
        double r = positive(a[1], "radius");
        double a0 = toDouble(a[2]), a1 = toDouble(a[3]);
        if (!std::isfinite(a0) || !std::isfinite(a1)) throw ComError(hr::E_INVALIDARG, "Invalid angle");
        Body b;
        s.sub(b, "AcDbCircle");
        point(b, group::kCenter, c);
        b.push_back({group::kRadius, realText(r)});
        s.sub(b, "AcDbArc");
        b.push_back({group::kStartAngle, rad2deg(a0)});
        b.push_back({group::kEndAngle, rad2deg(a1)});
        return s.add("ARC", b);
      });
      t.method("AddEllipse", {"Center", "MajorAxis", "RadiusRatio"}, [](S& s, Args& a) {
        s.needModern("Ellipse");
        P3 c = toPoint(a[0]), axis = toPoint(a[1]);
        double ratio = toDouble(a[2]);
        if (std::hypot(axis[0], axis[1], axis[2]) == 0) throw ComError(hr::E_INVALIDARG, "The major axis has no length");
        if (!(ratio > 0 && ratio <= 1)) throw ComError(hr::E_INVALIDARG, "The radius ratio must lie in (0, 1]");
        Body b;
        s.sub(b, "AcDbEllipse");
        point(b, group::kCenter, c);
        point(b, group::kMajorAxis, axis);  // the major axis as a vector from the centre
        point(b, group::kExtrusion, {0, 0, 1});
        b.push_back({group::kRadiusRatio, realText(ratio)});
        b.push_back({group::kStartParameter, "0.0"});
        b.push_back({group::kEndParameter, realText(2 * kPi)});
        return s.add("ELLIPSE", b);
      });
      t.method("AddText", {"TextString", "InsertionPoint", "Height"}, [](S& s, Args& a) {
        std::string text = toDrawing(toBStr(a[0]), s.d());
        P3 p = toPoint(a[1]);
        double h = positive(a[2], "text height");
        Body b;
        s.sub(b, "AcDbText");
        point(b, group::kInsertion, p);
        b.push_back({group::kTextHeight, realText(h)});
        b.push_back({group::kText, text});
        s.sub(b, "AcDbText");
        return s.add("TEXT", b);
      });
      t.method("AddMText", {"InsertionPoint", "Width", "Text"}, [](S& s, Args& a) {
        s.needModern("Multiline text");
        P3 p = toPoint(a[0]);
        double w = toDouble(a[1]);
        if (w < 0 || !std::isfinite(w)) throw ComError(hr::E_INVALIDARG, "The width must not be negative");
        double h = toReal(s.d().headerValue("$TEXTSIZE", group::kRealValue), 2.5);
        if (!(h > 0)) h = 2.5;
        Body b;
        s.sub(b, "AcDbMText");
        point(b, group::kInsertion, p);
        b.push_back({group::kTextHeight, realText(h)});
        b.push_back({group::kMTextWidth, realText(w)});
        b.push_back({group::kAttachment, "1"});  // top left
        b.push_back({group::kDrawingDirection, "1"});  // left to right
        b.push_back({group::kText, ""});
        Variant obj = s.add("MTEXT", b);
        refCast<EntityObj>(obj.obj())->setMtext(a[2]);
        return obj;
      });
      // Solids are polyhedral bodies (the cone's round base in 64 facets), centred on the given
      // point as the middle of their bounding box.
      t.method("AddBox", {"Origin", "Length", "Width", "Height"}, [](S& s, Args& a) {
        P3 o = toPoint(a[0]);
        double l = positive(a[1], "length"), w = positive(a[2], "width"), h = positive(a[3], "height");
        s.needSolids();
        return s.add("3DSOLID", solidBody(boxMesh(o, l, w, h), s.d().version()));
      });
      t.method("AddCone", {"Center", "BaseRadius", "Height"}, [](S& s, Args& a) {
        P3 c = toPoint(a[0]);
        double r = positive(a[1], "base radius"), h = positive(a[2], "height");
        s.needSolids();
        return s.add("3DSOLID", solidBody(coneMesh(c, r, h), s.d().version()));
      });
      return t;
    }();
    return m;
  }
  void needSolids() {
    if (!satVersion(d().version()))
      throw ComError(hr::E_FAIL, "Solids can be added to drawings of R2000 to R2010 only, not " + d().version());
  }
  bool paper;
};

ObjRef spaceObject(const AppPtr& app, const DocPtr& doc, bool paper) {
  return ObjRef(makeRef<SpaceObj>(app, doc, paper));
}

}  // namespace tlx::platform::cad
