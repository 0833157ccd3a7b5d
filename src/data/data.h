// Recordsets and database tables to arrays and delimited text files. Every function returns the
// method's 16-bit result code; the recordset methods' traps reposition the host's recordset, and
// an error of that repositioning reaches the caller.
#pragma once

#include <cstdint>

#include "talvex/dispatch.h"
#include "talvex/variant.h"

namespace tlx {

int16_t DatabaseTableToArray(const BStr& strDSN, const BStr& strSQL, Variant& varArray,
                             const BStr& strUserID = {}, const BStr& strPassword = {},
                             bool blnIncludeHeadings = false);
int16_t RecordsetToArray(const ObjRef& objRecd, Variant& varArray, bool blnIncludeHeadings = false);
int16_t RecordsetToTextFile(const ObjRef& objRecd, const BStr& strTextFile, bool blnIncludeHeadings = false,
                            const BStr& strDelimiter = {}, bool blnQuotes = false);
int16_t DatabaseTableToTextFile(const BStr& strDSN, const BStr& strSQL, const BStr& strTextFile,
                                const BStr& strUserID = {}, const BStr& strPassword = {},
                                bool blnIncludeHeadings = false, const BStr& strDelimiter = {},
                                bool blnQuotes = false);

// "DSN=...;UID=...;PWD=...;". A part holding ";", "{" or "}" is enclosed in braces (a "}" inside
// doubled), so that it cannot end its value or add keywords; other parts go in unchanged.
BStr odbcConnectionString(std::u16string_view dsn, std::u16string_view user, std::u16string_view password);

}  // namespace tlx
