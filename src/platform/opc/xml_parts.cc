#include "platform/opc/xml_parts.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <sstream>

#include "automation/strings.h"

namespace tlx::platform::opc {

pugi::xml_document parseXml(std::string_view text, std::string_view partName) {
  pugi::xml_document doc;
  pugi::xml_parse_result r = doc.load_buffer(text.data(), text.size(), pugi::parse_default | pugi::parse_ws_pcdata_single);
  if (!r) throw PackageError("The part \"" + std::string(partName) + "\" is not valid XML: " + r.description());
  return doc;
}

std::string toText(const pugi::xml_document& doc) {
  std::ostringstream out;
  doc.save(out, "", pugi::format_raw, pugi::encoding_utf8);
  return std::move(out).str();
}

std::string_view localName(const pugi::xml_node& n) {
  std::string_view name = n.name();
  size_t colon = name.find(':');
  return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

std::string prefixOf(const pugi::xml_node& n) {
  std::string_view name = n.name();
  return std::string(name.substr(0, name.find(':') + 1));
}

pugi::xml_node child(const pugi::xml_node& n, std::string_view local) {
  for (pugi::xml_node c : n.children())
    if (c.type() == pugi::node_element && localName(c) == local) return c;
  return {};
}

namespace {

constexpr const char* kContentTypesPart = "[Content_Types].xml";

std::string extensionOf(std::string_view part) {
  size_t dot = part.rfind('.');
  size_t slash = part.rfind('/');
  if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) return "";
  return std::string(part.substr(dot + 1));
}

}  // namespace

ContentTypes::ContentTypes(const Package& p) {
  doc_ = parseXml(p.read(kContentTypesPart), kContentTypesPart);
  if (!doc_.child("Types")) throw PackageError("The package has no content types");
  for (pugi::xml_node o : doc_.child("Types").children("Override"))
    overrides_.emplace(asciiLower(o.attribute("PartName").value()), o);
}

ContentTypes::ContentTypes() {
  pugi::xml_node types = doc_.append_child("Types");
  types.append_attribute("xmlns") = ns::ContentTypes;
  pugi::xml_node rels = types.append_child("Default");
  rels.append_attribute("Extension") = "rels";
  rels.append_attribute("ContentType") = "application/vnd.openxmlformats-package.relationships+xml";
  pugi::xml_node xml = types.append_child("Default");
  xml.append_attribute("Extension") = "xml";
  xml.append_attribute("ContentType") = "application/xml";
}

std::string ContentTypes::typeOf(std::string_view part) const {
  if (auto it = overrides_.find(asciiLower("/" + std::string(part))); it != overrides_.end())
    return it->second.attribute("ContentType").value();
  std::string ext = extensionOf(part);
  for (pugi::xml_node d : doc_.child("Types").children("Default"))
    if (equalsNoCaseAscii(d.attribute("Extension").value(), ext)) return d.attribute("ContentType").value();
  return "";
}

void ContentTypes::setOverride(std::string_view part, std::string_view type) {
  std::string name = "/" + std::string(part);
  pugi::xml_node& o = overrides_[asciiLower(name)];
  if (!o) {
    o = doc_.child("Types").append_child("Override");
    o.append_attribute("PartName") = name.c_str();
    o.append_attribute("ContentType");
  }
  o.attribute("ContentType").set_value(std::string(type).c_str());
}

void ContentTypes::removeOverride(std::string_view part) {
  if (auto it = overrides_.find(asciiLower("/" + std::string(part))); it != overrides_.end()) {
    doc_.child("Types").remove_child(it->second);
    overrides_.erase(it);
  }
}

void ContentTypes::store(Package& p) const { p.write(kContentTypesPart, toText(doc_)); }

Relationships::Relationships(const Package& p, std::string_view sourcePart) : source_(sourcePart) {
  std::string part = relationshipsPartOf(sourcePart);
  if (p.has(part)) doc_ = parseXml(p.read(part), part);
  if (!doc_.child("Relationships")) doc_.append_child("Relationships").append_attribute("xmlns") = ns::Relationships;
  // New ids follow the highest "rIdN": trying each id against every relationship would make a
  // part with thousands of them take minutes.
  for (pugi::xml_node r : doc_.child("Relationships").children("Relationship")) {
    std::string_view id = r.attribute("Id").value();
    int n = 0;
    if (id.starts_with("rId") && std::from_chars(id.data() + 3, id.data() + id.size(), n).ptr == id.data() + id.size())
      nextId_ = std::max(nextId_, n + 1);
  }
}

std::string Relationships::targetOf(std::string_view id) const {
  for (pugi::xml_node r : doc_.child("Relationships").children("Relationship"))
    if (id == r.attribute("Id").value()) return resolvePartName(source_, r.attribute("Target").value());
  return "";
}

std::string Relationships::targetOfType(std::string_view type) const {
  for (pugi::xml_node r : doc_.child("Relationships").children("Relationship"))
    if (type == r.attribute("Type").value() && std::string_view(r.attribute("TargetMode").value()) != "External")
      return resolvePartName(source_, r.attribute("Target").value());
  return "";
}

std::string Relationships::add(std::string_view type, std::string_view target) {
  std::string id = "rId" + std::to_string(nextId_++);
  pugi::xml_node r = doc_.child("Relationships").append_child("Relationship");
  r.append_attribute("Id") = id.c_str();
  r.append_attribute("Type") = std::string(type).c_str();
  r.append_attribute("Target") = std::string(target).c_str();
  return id;
}

void Relationships::remove(std::string_view type) {
  pugi::xml_node rels = doc_.child("Relationships");
  for (pugi::xml_node r = rels.child("Relationship"); r;) {
    pugi::xml_node next = r.next_sibling("Relationship");
    if (type == r.attribute("Type").value()) rels.remove_child(r);
    r = next;
  }
}

void Relationships::store(Package& p) const { p.write(relationshipsPartOf(source_), toText(doc_)); }

}  // namespace tlx::platform::opc
