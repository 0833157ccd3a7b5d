// Recordsets and database tables to arrays and text files, through the data-access objects
// reached by member name only.
#include <optional>
#include <string>
#include <vector>

#include "automation/cls_concat.h"
#include "automation/convert.h"
#include "automation/frame.h"
#include "automation/registry.h"
#include "data/data.h"
#include "data/database_query.h"
#include "data/replacing_file.h"

namespace tlx {

namespace {

std::u16string connectionPart(std::u16string_view part) {
  if (part.find_first_of(u";{}") == part.npos) return std::u16string(part);
  std::u16string out = u"{";
  for (char16_t c : part) {
    out += c;
    if (c == u'}') out += u'}';
  }
  return out + u"}";
}

int16_t fieldCount(const ObjRef& rs) { return toI2(getProperty(objectOf(getProperty(rs, "Fields")), "Count")); }

// Field j of the current record, through the recordset's default member.
ObjRef field(const ObjRef& rs, int16_t j) { return objectOf(getProperty(rs, "", {Variant(j)})); }

// Steps 5 and 6 of the array methods: re-dimension from RecordCount and walk to EOF.
void fillArray(const ObjRef& rs, Variant& varArray, bool blnIncludeHeadings) {
  const int32_t records = toI4(getProperty(rs, "RecordCount"));
  const int16_t fields = fieldCount(rs);
  const int64_t lastRow = blnIncludeHeadings ? int64_t(records) : int64_t(records) - 1;
  if (lastRow < 0 || fields < 1) throw ComError(hr::basicError(9), "Subscript out of range");
  SafeArray& a = redimVariant(varArray, {{0, static_cast<int32_t>(lastRow + 1)}, {0, fields}});
  std::vector<ObjRef> cols;
  for (int16_t j = 0; j < fields; ++j) cols.push_back(field(rs, j));
  int32_t row = 0;
  if (blnIncludeHeadings) {
    for (int16_t j = 0; j < fields; ++j) a.at(0, j) = getProperty(cols[j], "Name");
    row = 1;
  }
  while (!toBool(getProperty(rs, "EOF"))) {
    for (int16_t j = 0; j < fields; ++j) a.at(row, j) = getProperty(cols[j], "Value");
    ++row;
    callMethod(rs, "MoveNext");
  }
}

// One line by the line rule: each text quoted if asked, delimiters between, CR LF after.
// A Null has no text form: appending it raises and the method ends through its trap.
void writeLine(TextWriter& out, clsConcat& line, const std::vector<Variant>& values, const BStr& delimiter,
               bool quotes) {
  for (size_t j = 0; j < values.size(); ++j) {
    if (quotes) line.SConcat(u'"');
    line.SConcatText(values[j]);
    if (quotes) line.SConcat(u'"');
    if (j + 1 < values.size()) line.SConcat(delimiter.view());
  }
  out.writeLine(line.GetString().view());
  line.ReInit();
}

// Steps 3 and 4 of the file methods: the header line, then a line per record to EOF.
void writeRecords(const ObjRef& rs, TextWriter& out, bool headings, const BStr& delimiter, bool quotes) {
  clsConcat line;
  const int16_t fields = fieldCount(rs);
  std::vector<ObjRef> cols;
  for (int16_t j = 0; j < fields; ++j) cols.push_back(field(rs, j));
  std::vector<Variant> values(cols.size());
  if (headings) {
    for (size_t j = 0; j < cols.size(); ++j) values[j] = getProperty(cols[j], "Name");
    writeLine(out, line, values, delimiter, quotes);
  }
  while (!toBool(getProperty(rs, "EOF"))) {
    for (size_t j = 0; j < cols.size(); ++j) values[j] = getProperty(cols[j], "Value");
    writeLine(out, line, values, delimiter, quotes);
    callMethod(rs, "MoveNext");
  }
}

}  // namespace

BStr odbcConnectionString(std::u16string_view dsn, std::u16string_view user, std::u16string_view password) {
  return BStr(u"DSN=" + connectionPart(dsn) + u";UID=" + connectionPart(user) + u";PWD=" +
              connectionPart(password) + u";");
}

int16_t DatabaseTableToArray(const BStr& strDSN, const BStr& strSQL, Variant& varArray, const BStr& strUserID,
                             const BStr& strPassword, bool blnIncludeHeadings) {
  if (!varArray.isArray()) return -1;
  DatabaseQuery q;
  if (auto failed = q.open(strDSN, strUserID, strPassword, strSQL)) return failed == DatabaseQuery::kConnection ? -2 : -3;
  try {
    fillArray(q.rs, varArray, blnIncludeHeadings);
    q.close();
    return 1;
  } catch (...) {
    q.closeAfterFailure();
    return -4;
  }
}

int16_t RecordsetToArray(const ObjRef& objRecd, Variant& varArray, bool blnIncludeHeadings) {
  if (!varArray.isArray()) return -1;
  try {
    callMethod(objRecd, "MoveFirst");
    fillArray(objRecd, varArray, blnIncludeHeadings);
    callMethod(objRecd, "MoveFirst");
    return 1;
  } catch (...) {
  }
  callMethod(objRecd, "MoveFirst");  // an error here reaches the caller
  return -2;
}

int16_t RecordsetToTextFile(const ObjRef& objRecd, const BStr& strTextFile, bool blnIncludeHeadings,
                            const BStr& strDelimiter, bool blnQuotes) {
  try {
    ReplacingFile file(strTextFile);
    callMethod(objRecd, "MoveFirst");
    writeRecords(objRecd, file.writer(), blnIncludeHeadings, strDelimiter, blnQuotes);
    file.commit();
    callMethod(objRecd, "MoveFirst");
    return 1;
  } catch (...) {
  }
  callMethod(objRecd, "MoveFirst");  // an error here reaches the caller
  return -1;
}

int16_t DatabaseTableToTextFile(const BStr& strDSN, const BStr& strSQL, const BStr& strTextFile,
                                const BStr& strUserID, const BStr& strPassword, bool blnIncludeHeadings,
                                const BStr& strDelimiter, bool blnQuotes) {
  DatabaseQuery q;
  if (auto failed = q.open(strDSN, strUserID, strPassword, strSQL)) return failed == DatabaseQuery::kConnection ? -1 : -2;
  try {
    ReplacingFile file(strTextFile);
    writeRecords(q.rs, file.writer(), blnIncludeHeadings, strDelimiter, blnQuotes);
    q.close();
    file.commit();  // last: a call that fails leaves no new file
    return 1;
  } catch (...) {
    q.closeAfterFailure();
    return -3;
  }
}

}  // namespace tlx
