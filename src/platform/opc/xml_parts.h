// The package's bookkeeping parts as XML: content types and relationships. Changed parts are
// edited as documents, so whatever they hold that we do not know stays in them.
#pragma once

#include <pugixml.hpp>

#include <string>
#include <string_view>
#include <unordered_map>

#include "platform/opc/package.h"

namespace tlx::platform::opc {

namespace ns {
constexpr const char* ContentTypes = "http://schemas.openxmlformats.org/package/2006/content-types";
constexpr const char* Relationships = "http://schemas.openxmlformats.org/package/2006/relationships";
constexpr const char* OfficeDocument =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument";
}  // namespace ns

// A part parsed as XML; a part that is not well-formed raises PackageError.
pugi::xml_document parseXml(std::string_view text, std::string_view partName);
std::string toText(const pugi::xml_document& doc);
// The local name of an element, without its namespace prefix.
std::string_view localName(const pugi::xml_node& n);
// The element's namespace prefix with its colon ("x:"), "" when it has none. Elements added
// beside it take the same, so that they land in its namespace whatever prefix the writer chose.
std::string prefixOf(const pugi::xml_node& n);
// The first child with that local name, whatever its prefix.
pugi::xml_node child(const pugi::xml_node& n, std::string_view local);

// [Content_Types].xml
class ContentTypes {
 public:
  explicit ContentTypes(const Package& p);
  ContentTypes();  // a new package's: rels and xml defaults only
  ContentTypes(ContentTypes&&) = delete;  // the index points into the document
  std::string typeOf(std::string_view part) const;  // "" when unknown
  void setOverride(std::string_view part, std::string_view type);
  void removeOverride(std::string_view part);
  void store(Package& p) const;

 private:
  pugi::xml_document doc_;
  std::unordered_map<std::string, pugi::xml_node> overrides_;  // by part name, lower case
};

// The relationships of one source part.
class Relationships {
 public:
  Relationships(const Package& p, std::string_view sourcePart);
  // The part a relationship points at, resolved; "" when there is no such id.
  std::string targetOf(std::string_view id) const;
  // The first relationship of a type (its resolved target), "" when none.
  std::string targetOfType(std::string_view type) const;
  // Adds one and returns its new id ("rId7").
  std::string add(std::string_view type, std::string_view target);
  void remove(std::string_view type);  // every relationship of that type
  void store(Package& p) const;

 private:
  std::string source_;
  pugi::xml_document doc_;
  int nextId_ = 1;
};

}  // namespace tlx::platform::opc
