// The control's block attribute methods. Each reads the extraction template that PrepTemplate
// left; the walk's methods return -1 (not attached), -2 (document not active), their own
// negative codes, or the number of blocks in which a listed tag was found.
#pragma once

#include <cstdint>

#include "attributes/extraction_template.h"
#include "talvex/dispatch.h"
#include "talvex/variant.h"
#include "cad/acad_context.h"

namespace tlx {

int16_t PrepTemplate(ExtractionTemplate& ExtractionTemplate, const BStr& strTemplateFile);

// Text sinks.
int16_t AttributesToFile(const AcadContext& ctx, const ExtractionTemplate& ExtractionTemplate, const BStr& strFile,
                         bool blnIncludeTags, BStr strDelimiter, bool blnQuotes);
int16_t AttributesToArray(const AcadContext& ctx, const ExtractionTemplate& ExtractionTemplate, Variant& varArray,
                          bool blnIncludeTags);
int16_t AttributesToClipboard(const AcadContext& ctx, const ExtractionTemplate& ExtractionTemplate,
                              bool blnIncludeTags, BStr strDelimiter, bool blnQuotes);

// Table sinks: one row per record, in one transaction. AttributesToRecordset: -3 when a failure
// rolled the call back. AttributesToDatabaseTable: -3 connection, -4 table, -5 rolled back.
int16_t AttributesToRecordset(const AcadContext& ctx, const ExtractionTemplate& ExtractionTemplate, const ObjRef& objConn,
                              const ObjRef& objRecd, bool blnOverwrite);
int16_t AttributesToDatabaseTable(const AcadContext& ctx, const ExtractionTemplate& ExtractionTemplate,
                                  const BStr& strDSN, const BStr& strTable, const BStr& strUserID,
                                  const BStr& strPassword, bool blnOverwrite);

// The number of attribute values replaced.
int16_t ReplaceAttributes(const AcadContext& ctx, const ExtractionTemplate& ExtractionTemplate,
                          const BStr& strTextToFind, const BStr& strTextToReplace, bool blnFindTag,
                          bool blnPartialMatch);

}  // namespace tlx
