#include "platform/wordproc/table_styles.h"

#include <string_view>

#include "platform/opc/xml_parts.h"

namespace tlx::platform::wordproc {

namespace {

// One format's look. Colours are RGB hex; "" leaves a part out. Border sizes in eighths of a point.
struct Look {
  const char* name;
  const char* line;       // border colour
  int outer;              // outer border size, 0 none
  const char* outerKind;  // "single", "double", "thick", "outset"
  bool insideH, insideV;
  const char* headFill;
  const char* headText;
  bool headBold, headLine;
  const char* bodyFill;
  const char* rowBand;
  const char* colBand;
  const char* firstColFill;
  bool firstColBold, lastRowBold, lastRowLine;
  int spacing;  // cell spacing in twentieths of a point (web formats)
};

// clang-format off
constexpr Look kLooks[kTableFormats] = {
  {"Plain",          "000000", 4, "single", true,  true,  "",       "",       false, false, "",       "",       "",       "",       false, false, false, 0},
  {"Simple 1",       "000000", 8, "single", false, false, "",       "",       false, true,  "",       "",       "",       "",       false, false, true,  0},
  {"Simple 2",       "000000", 0, "single", false, false, "",       "",       true,  true,  "",       "",       "",       "",       true,  true,  true,  0},
  {"Simple 3",       "000000", 8, "single", false, false, "000000", "FFFFFF", true,  false, "",       "",       "",       "",       false, true,  false, 0},
  {"Classic 1",      "000000", 12,"single", false, false, "",       "",       true,  true,  "",       "",       "",       "",       true,  false, true,  0},
  {"Classic 2",      "000000", 12,"single", false, false, "800080", "FFFFFF", true,  false, "",       "",       "",       "",       true,  false, false, 0},
  {"Classic 3",      "000080", 12,"single", true,  true,  "000080", "FFFFFF", true,  false, "C0C0C0", "",       "",       "",       false, false, false, 0},
  {"Classic 4",      "000000", 12,"single", false, false, "000080", "FFFFFF", true,  false, "",       "",       "",       "",       true,  true,  true,  0},
  {"Colorful 1",     "000000", 12,"single", false, false, "000000", "FFFFFF", true,  false, "008080", "",       "",       "",       true,  false, false, 0},
  {"Colorful 2",     "000000", 12,"single", false, false, "800000", "FFFFFF", true,  false, "FFFF99", "",       "",       "",       true,  true,  false, 0},
  {"Colorful 3",     "000000", 12,"single", true,  true,  "008080", "FFFFFF", true,  false, "",       "",       "CCFFCC", "",       false, false, false, 0},
  {"Columns 1",      "000000", 0, "single", false, true,  "",       "",       true,  true,  "",       "",       "E0E0E0", "",       true,  true,  false, 0},
  {"Columns 2",      "000000", 0, "single", false, false, "",       "",       true,  true,  "",       "",       "C0C0C0", "",       true,  true,  false, 0},
  {"Columns 3",      "000080", 8, "single", false, true,  "000080", "FFFFFF", true,  false, "",       "",       "CCECFF", "",       true,  true,  false, 0},
  {"Columns 4",      "000000", 0, "single", false, false, "",       "",       true,  true,  "",       "",       "FFFF99", "C0C0C0", true,  true,  false, 0},
  {"Columns 5",      "808080", 8, "single", false, true,  "808080", "FFFFFF", true,  false, "",       "",       "F2F2F2", "808080", true,  true,  true,  0},
  {"Grid 1",         "000000", 4, "single", true,  true,  "",       "",       true,  true,  "",       "",       "",       "",       false, false, false, 0},
  {"Grid 2",         "000000", 4, "single", true,  true,  "",       "",       true,  true,  "",       "",       "",       "",       true,  true,  true,  0},
  {"Grid 3",         "000000", 12,"single", true,  true,  "",       "",       true,  true,  "",       "",       "",       "",       true,  true,  false, 0},
  {"Grid 4",         "000000", 12,"single", true,  true,  "C0C0C0", "",       true,  true,  "",       "",       "",       "C0C0C0", true,  true,  false, 0},
  {"Grid 5",         "000000", 12,"thick",  true,  true,  "",       "",       true,  true,  "",       "",       "",       "",       true,  true,  true,  0},
  {"Grid 6",         "000000", 12,"double", true,  true,  "",       "",       true,  true,  "",       "",       "",       "",       true,  true,  true,  0},
  {"Grid 7",         "000000", 12,"single", true,  true,  "000000", "FFFFFF", true,  false, "",       "",       "",       "",       true,  true,  true,  0},
  {"Grid 8",         "000080", 12,"single", true,  true,  "000080", "FFFFFF", true,  false, "",       "",       "",       "",       true,  true,  true,  0},
  {"List 1",         "000000", 0, "single", false, false, "",       "",       true,  true,  "",       "FFFF99", "",       "",       false, true,  true,  0},
  {"List 2",         "808080", 8, "single", false, false, "",       "",       true,  true,  "",       "CCFFCC", "",       "",       false, true,  true,  0},
  {"List 3",         "000080", 8, "single", true,  false, "",       "000080", true,  true,  "",       "",       "",       "",       false, true,  true,  0},
  {"List 4",         "000000", 12,"single", false, false, "808080", "FFFFFF", true,  false, "",       "E0E0E0", "",       "",       false, true,  false, 0},
  {"List 5",         "000000", 12,"single", true,  false, "",       "",       true,  true,  "",       "",       "",       "",       true,  true,  false, 0},
  {"List 6",         "000000", 12,"single", false, false, "000000", "FFFFFF", true,  false, "",       "C0C0C0", "",       "",       false, true,  false, 0},
  {"List 7",         "008000", 12,"single", false, false, "",       "008000", true,  true,  "",       "CCFFCC", "",       "",       true,  true,  true,  0},
  {"List 8",         "000080", 12,"single", false, false, "CCECFF", "000080", true,  false, "",       "E0F0FF", "",       "",       true,  true,  true,  0},
  {"3D Effects 1",   "808080", 12,"outset", true,  true,  "C0C0C0", "",       true,  false, "C0C0C0", "",       "",       "",       false, false, false, 0},
  {"3D Effects 2",   "808080", 12,"outset", true,  false, "C0C0C0", "",       true,  false, "E0E0E0", "",       "",       "C0C0C0", true,  true,  false, 0},
  {"3D Effects 3",   "808080", 12,"outset", true,  true,  "808080", "FFFFFF", true,  false, "C0C0C0", "",       "",       "",       true,  true,  false, 0},
  {"Contemporary",   "FFFFFF", 12,"single", true,  true,  "000000", "FFFFFF", true,  false, "",       "E0E0E0", "",       "",       false, true,  false, 0},
  {"Elegant",        "000000", 12,"double", true,  true,  "",       "",       true,  true,  "",       "",       "",       "",       false, false, false, 0},
  {"Professional",   "000000", 4, "single", true,  true,  "000000", "FFFFFF", true,  false, "",       "",       "",       "",       false, false, false, 0},
  {"Subtle 1",       "808080", 4, "single", true,  false, "",       "",       true,  true,  "",       "F2F2F2", "",       "",       false, true,  true,  0},
  {"Subtle 2",       "C0C0C0", 4, "single", false, true,  "",       "808080", true,  true,  "",       "",       "F2F2F2", "F2F2F2", true,  true,  false, 0},
  {"Web 1",          "808080", 4, "outset", true,  true,  "",       "",       true,  false, "",       "",       "",       "",       false, false, false, 20},
  {"Web 2",          "808080", 12,"outset", true,  true,  "",       "",       true,  false, "",       "",       "",       "",       false, false, false, 20},
  {"Web 3",          "808080", 12,"inset",  true,  true,  "E0E0E0", "",       true,  false, "",       "",       "",       "",       false, false, false, 20},
};
// clang-format on

std::string suffix(StyleParts p) {
  std::string s;
  if (!p.borders) s += 'B';
  if (!p.shading) s += 'S';
  if (!p.font) s += 'F';
  if (!p.color) s += 'C';
  return s.empty() ? s : "-" + s;
}

// Builds elements and attributes with the part's prefixes, in schema order as written.
struct Writer {
  const std::string& w;
  const std::string& a;
  pugi::xml_node add(pugi::xml_node parent, std::string_view local) const {
    return parent.append_child((w + std::string(local)).c_str());
  }
  void attr(pugi::xml_node n, std::string_view local, const std::string& value) const {
    n.append_attribute((a + std::string(local)).c_str()) = value.c_str();
  }
  pugi::xml_node val(pugi::xml_node parent, std::string_view local, const std::string& value) const {
    pugi::xml_node n = add(parent, local);
    attr(n, "val", value);
    return n;
  }
  void border(pugi::xml_node parent, std::string_view side, const std::string& kind, int size, const std::string& color) const {
    pugi::xml_node b = val(parent, side, size ? kind : "nil");
    if (!size) return;
    attr(b, "sz", std::to_string(size));
    attr(b, "space", "0");
    attr(b, "color", color);
  }
  void fill(pugi::xml_node tcPr, const std::string& color) const {
    pugi::xml_node shd = val(tcPr, "shd", "clear");
    attr(shd, "color", "auto");
    attr(shd, "fill", color);
  }
};

bool given(const char* s) { return s && *s; }

// A conditional part of the style: run format, a border line and a fill.
void conditional(const Writer& x, pugi::xml_node style, const char* type, bool bold, const char* text,
                 const char* lineSide, const std::string& line, int lineSize, const char* fillColor,
                 const StyleParts& parts) {
  bool hasRun = (bold && parts.font) || (given(text) && parts.color);
  bool hasLine = lineSide && parts.borders && lineSize;
  bool hasFill = given(fillColor) && parts.shading;
  if (!hasRun && !hasLine && !hasFill) return;
  pugi::xml_node p = x.add(style, "tblStylePr");
  x.attr(p, "type", type);
  if (hasRun) {
    pugi::xml_node rPr = x.add(p, "rPr");
    if (bold && parts.font) x.add(rPr, "b");
    if (given(text) && parts.color) x.val(rPr, "color", text);
  }
  if (hasLine || hasFill) {
    pugi::xml_node tcPr = x.add(p, "tcPr");
    if (hasLine) x.border(x.add(tcPr, "tcBorders"), lineSide, "single", lineSize, line);
    if (hasFill) x.fill(tcPr, fillColor);
  }
}

}  // namespace

std::string tableStyleId(int format, StyleParts parts) {
  std::string name = kLooks[format].name;
  std::string id = "Talvex";
  for (char c : name)
    if (c != ' ') id += c;
  return id + suffix(parts);
}

void addTableStyle(pugi::xml_node styles, const std::string& w, const std::string& a, int format, StyleParts parts) {
  std::string id = tableStyleId(format, parts);
  for (pugi::xml_node s : styles.children())
    if (opc::localName(s) == "style" && id == s.attribute((a + "styleId").c_str()).value()) return;
  const Look& k = kLooks[format];
  Writer x{w, a};
  pugi::xml_node style = x.add(styles, "style");
  x.attr(style, "type", "table");
  x.attr(style, "customStyle", "1");
  x.attr(style, "styleId", id);
  x.val(style, "name", std::string("Talvex ") + k.name + suffix(parts));
  pugi::xml_node pPr = x.add(style, "pPr");
  x.attr(x.add(pPr, "spacing"), "after", "0");
  pugi::xml_node tblPr = x.add(style, "tblPr");
  x.val(tblPr, "tblStyleRowBandSize", "1");
  x.val(tblPr, "tblStyleColBandSize", "1");
  if (k.spacing) {
    pugi::xml_node sp = x.add(tblPr, "tblCellSpacing");
    x.attr(sp, "w", std::to_string(k.spacing));
    x.attr(sp, "type", "dxa");
  }
  if (parts.borders) {
    pugi::xml_node b = x.add(tblPr, "tblBorders");
    for (const char* side : {"top", "left", "bottom", "right"}) x.border(b, side, k.outerKind, k.outer, k.line);
    x.border(b, "insideH", "single", k.insideH ? 4 : 0, k.line);
    x.border(b, "insideV", "single", k.insideV ? 4 : 0, k.line);
  }
  pugi::xml_node cellMar = x.add(tblPr, "tblCellMar");
  for (const char* side : {"left", "right"}) {
    pugi::xml_node m = x.add(cellMar, side);
    x.attr(m, "w", "108");
    x.attr(m, "type", "dxa");
  }
  if (given(k.bodyFill) && parts.shading) x.fill(x.add(style, "tcPr"), k.bodyFill);
  conditional(x, style, "firstRow", k.headBold, k.headText, k.headLine ? "bottom" : nullptr, k.line, 8, k.headFill, parts);
  conditional(x, style, "lastRow", k.lastRowBold, "", k.lastRowLine ? "top" : nullptr, k.line, 8, "", parts);
  conditional(x, style, "firstCol", k.firstColBold, "", nullptr, k.line, 0, k.firstColFill, parts);
  conditional(x, style, "lastCol", k.firstColBold, "", nullptr, k.line, 0, "", parts);
  conditional(x, style, "band1Horz", false, "", nullptr, k.line, 0, k.rowBand, parts);
  conditional(x, style, "band1Vert", false, "", nullptr, k.line, 0, k.colBand, parts);
}

}  // namespace tlx::platform::wordproc
