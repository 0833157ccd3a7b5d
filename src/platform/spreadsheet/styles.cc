#include "platform/spreadsheet/styles.h"

#include <algorithm>
#include <iterator>

#include "platform/opc/xml_parts.h"
#include "platform/spreadsheet/number_format.h"

namespace tlx::platform::spreadsheet {

namespace {

constexpr const char* kMinimalStyles =
    R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
    "\n"
    R"(<styleSheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">)"
    R"(<fonts count="1"><font><sz val="11"/><name val="Calibri"/><family val="2"/></font></fonts>)"
    R"(<fills count="2"><fill><patternFill patternType="none"/></fill><fill><patternFill patternType="gray125"/></fill></fills>)"
    R"(<borders count="1"><border><left/><right/><top/><bottom/><diagonal/></border></borders>)"
    R"(<cellStyleXfs count="1"><xf numFmtId="0" fontId="0" fillId="0" borderId="0"/></cellStyleXfs>)"
    R"(<cellXfs count="1"><xf numFmtId="0" fontId="0" fillId="0" borderId="0" xfId="0"/></cellXfs>)"
    R"(<cellStyles count="1"><cellStyle name="Normal" xfId="0" builtinId="0"/></cellStyles>)"
    R"(</styleSheet>)";

// An element and those inside it named with `prefix`.
void givePrefix(pugi::xml_node n, const std::string& prefix) {
  if (prefix.empty()) return;
  n.set_name((prefix + n.name()).c_str());
  for (pugi::xml_node c : n.children())
    if (c.type() == pugi::node_element) givePrefix(c, prefix);
}

}  // namespace

void Styles::load(const opc::Package& p, const std::string& part) {
  part_ = part;
  doc_ = opc::parseXml(p.read(part), part);
  index();
}

void Styles::createDefault(const std::string& part) {
  part_ = part;
  doc_ = opc::parseXml(kMinimalStyles, part);
  index();
  dirty_ = true;
}

void Styles::index() {
  custom_.clear();
  xfFormats_.clear();
  xfIsDate_.clear();
  pugi::xml_node sheet = doc_.document_element();
  for (pugi::xml_node f : opc::child(sheet, "numFmts").children())
    if (opc::localName(f) == "numFmt") custom_[f.attribute("numFmtId").as_int()] = f.attribute("formatCode").value();
  for (pugi::xml_node xf : opc::child(sheet, "cellXfs").children())
    if (opc::localName(xf) == "xf") {
      xfFormats_.push_back(xf.attribute("numFmtId").as_int());
      xfIsDate_.push_back(isDateFormat(formatOf(static_cast<uint32_t>(xfFormats_.size() - 1))));
    }
}

std::string Styles::formatOf(uint32_t style) const {
  if (style >= xfFormats_.size()) return "General";
  int id = xfFormats_[style];
  if (auto it = custom_.find(id); it != custom_.end()) return it->second;
  std::string_view code = builtinFormat(id);
  return code.empty() ? "General" : std::string(code);
}

bool Styles::isDate(uint32_t style) const { return style < xfIsDate_.size() && xfIsDate_[style]; }

uint32_t Styles::dateStyle(bool withTime) {
  const int id = withTime ? 22 : 14;
  for (size_t i = 0; i < xfFormats_.size(); ++i)
    if (xfFormats_[i] == id) return static_cast<uint32_t>(i);
  // Cell format 0 is every unstyled cell's: without it the date format would take its place.
  if (xfFormats_.empty()) addDefaults();
  pugi::xml_node xfs = opc::child(doc_.document_element(), "cellXfs");
  pugi::xml_node xf = xfs.append_child((opc::prefixOf(xfs) + "xf").c_str());
  xf.append_attribute("numFmtId") = id;
  xf.append_attribute("fontId") = 0;
  xf.append_attribute("fillId") = 0;
  xf.append_attribute("borderId") = 0;
  xf.append_attribute("xfId") = 0;
  xf.append_attribute("applyNumberFormat") = 1;
  size_t count = xfFormats_.size() + 1;
  if (pugi::xml_attribute c = xfs.attribute("count")) c.set_value(static_cast<unsigned>(count));
  xfFormats_.push_back(id);
  xfIsDate_.push_back(true);
  dirty_ = true;
  return static_cast<uint32_t>(count - 1);
}

// Sections that a cell format refers to by position (fonts, fills, borders, the base formats)
// and that this part lacks or leaves empty are taken from a new workbook's, each in its place.
void Styles::addDefaults() {
  static constexpr std::string_view kOrder[] = {"numFmts", "fonts", "fills", "borders", "cellStyleXfs", "cellXfs",
                                                "cellStyles", "dxfs", "tableStyles", "colors", "extLst"};
  auto rank = [](std::string_view local) { return std::find(std::begin(kOrder), std::end(kOrder), local) - std::begin(kOrder); };
  pugi::xml_document minimal = opc::parseXml(kMinimalStyles, part_);
  pugi::xml_node sheet = doc_.document_element();
  std::string prefix = opc::prefixOf(sheet);
  for (pugi::xml_node section : minimal.document_element().children()) {
    pugi::xml_node mine = opc::child(sheet, section.name());
    if (mine && mine.find_child([](pugi::xml_node n) { return n.type() == pugi::node_element; })) continue;
    if (mine) sheet.remove_child(mine);
    pugi::xml_node later = sheet.find_child([&](pugi::xml_node n) {
      return n.type() == pugi::node_element && rank(opc::localName(n)) > rank(section.name());
    });
    pugi::xml_node copy = later ? sheet.insert_copy_before(section, later) : sheet.append_copy(section);
    givePrefix(copy, prefix);
  }
  index();
}

std::string Styles::xml() const { return opc::toText(doc_); }

}  // namespace tlx::platform::spreadsheet
