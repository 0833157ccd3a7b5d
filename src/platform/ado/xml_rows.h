// The XML data source: a table file read into the rows of a hierarchical, read-only recordset.
//
// The root element is the table and each of its child elements is a record. Within a record,
// each attribute and each child element holding only text is a string field; a child element
// that repeats, has attributes or has child elements of its own is a chapter field whose value
// is a recordset of those elements, read by the same rules one level down. Every record also has
// "$Text": its text in document order, whitespace-only runs left out. Fields: attributes, then
// elements, in the order of their first appearance across the records of one level, then "$Text";
// a record without a field gives Null. An attribute whose name is also an element's at the same
// level is named with "!" before it.
#pragma once

#include <memory>
#include <string_view>

#include "talvex/variant.h"
#include "platform/ado/rows.h"

namespace tlx::platform::ado {

enum class XmlProvider { None, Available, Unavailable };

// Whether a connection string names the XML data source, and one that is here.
XmlProvider xmlProviderOf(std::u16string_view connection);

// Raises with the parser's message when the file is missing or not well formed.
std::unique_ptr<RowSource> xmlFileRows(const BStr& path);

}  // namespace tlx::platform::ado
