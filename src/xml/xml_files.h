// XML files: as a table through the data-access component's XML data source (into an array or
// the host's recordset), and as a node tree through a DOM document into a tree view. Every
// function returns the method's 16-bit result code; nothing is raised to the caller.
#pragma once

#include <cstdint>

#include "talvex/dispatch.h"
#include "talvex/variant.h"

namespace tlx {

int16_t XMLFileToArray(const BStr& strXMLFile, Variant& varArray, bool blnIncludeHeadings = false);
int16_t XMLFileToRecordset(const BStr& strXMLFile, const ObjRef& objRecd);
int16_t XMLFileToTreeView(const BStr& strXMLFile, const ObjRef& tv, bool blnExpandAll = false);

}  // namespace tlx
