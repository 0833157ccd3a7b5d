// Strict Office Open XML: the same parts as a Transitional package under other namespaces
// and relationship types. Every part is rewritten in the Transitional names, so the workbook
// is read, changed and saved as a Transitional one, which every reader takes.
#include "platform/opc/xml_parts.h"
#include "platform/spreadsheet/import.h"

namespace tlx::platform::spreadsheet {

namespace {

constexpr std::string_view kStrict = "http://purl.oclc.org/ooxml/";
constexpr std::string_view kTransitional = "http://schemas.openxmlformats.org/";

// Strict names the markup languages without a year, and two property parts in camel case.
struct Renamed {
  std::string_view strict, transitional;
};
constexpr Renamed kRenamed[] = {
    {"officeDocument/relationships/extendedProperties", "officeDocument/2006/relationships/extended-properties"},
    {"officeDocument/relationships/customProperties", "officeDocument/2006/relationships/custom-properties"},
    {"officeDocument/extendedProperties", "officeDocument/2006/extended-properties"},
    {"officeDocument/customProperties", "officeDocument/2006/custom-properties"},
};
constexpr std::string_view kLanguages[] = {"spreadsheetml", "wordprocessingml", "presentationml", "drawingml",
                                           "officeDocument", "schemaLibrary"};

// The Transitional name for the Strict one that starts `rest` (after the common prefix), and
// how many characters of `rest` it replaces; 0 when it is no Strict name.
std::pair<std::string, size_t> transitionalName(std::string_view rest) {
  for (const Renamed& r : kRenamed)
    if (rest.starts_with(r.strict)) return {std::string(r.transitional), r.strict.size()};
  for (std::string_view language : kLanguages)
    if (rest.starts_with(language) && rest.size() > language.size() && rest[language.size()] == '/')
      return {std::string(language) + "/2006/", language.size() + 1};
  return {"", 0};
}

std::string rewritten(const std::string& xml) {
  std::string out;
  out.reserve(xml.size());
  size_t from = 0;
  for (size_t at; (at = xml.find(kStrict, from)) != std::string::npos;) {
    out.append(xml, from, at - from);
    auto [name, length] = transitionalName(std::string_view(xml).substr(at + kStrict.size()));
    if (length) {
      out += kTransitional;
      out += name;
      from = at + kStrict.size() + length;
    } else {
      out += kStrict;
      from = at + kStrict.size();
    }
  }
  out.append(xml, from);
  for (size_t at; (at = out.find(" conformance=\"strict\"")) != std::string::npos;) out.erase(at, 21);
  return out;
}

bool isXmlPart(std::string_view name) {
  return name.ends_with(".xml") || name.ends_with(".rels") || name.ends_with(".vml");
}

}  // namespace

bool strictToTransitional(opc::Package& package) {
  const std::string rootRels = "_rels/.rels";
  if (!package.has(rootRels) || package.read(rootRels).find(kStrict) == std::string::npos) return false;
  for (const std::string& name : package.partNames()) {
    if (!isXmlPart(name)) continue;
    std::string xml = package.read(name);
    if (xml.find(kStrict) != std::string::npos) package.write(name, rewritten(xml));
  }
  return true;
}

}  // namespace tlx::platform::spreadsheet
