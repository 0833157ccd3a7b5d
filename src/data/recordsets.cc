// Recordsets and database tables to arrays and text files, through the data-access objects
// reached by member name, and a recordset's rows read in one pass where it offers that.
#include <functional>
#include <string>
#include <vector>

#include "talvex/convert.h"
#include "automation/frame.h"
#include "talvex/registry.h"
#include "automation/row_reader.h"
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

// Each record from the current one to EOF, its values in field order: in one pass when the
// recordset offers it, else a Value per field by member name and MoveNext.
void eachRecord(const ObjRef& rs, const std::vector<ObjRef>& cols, const std::function<void(Variant*)>& visit) {
  if (RowReader* reader = rowReaderOf(rs)) return reader->readRows(visit);
  std::vector<Variant> values(cols.size());
  while (!toBool(getProperty(rs, "EOF"))) {
    for (size_t j = 0; j < cols.size(); ++j) values[j] = getProperty(cols[j], "Value");
    visit(values.data());
    callMethod(rs, "MoveNext");
  }
}

// The fields, through the recordset's default member.
std::vector<ObjRef> fieldsOf(const ObjRef& rs) {
  const int16_t fields = toI2(getProperty(objectOf(getProperty(rs, "Fields")), "Count"));
  std::vector<ObjRef> cols;
  for (int16_t j = 0; j < fields; ++j) cols.push_back(objectOf(getProperty(rs, "", {Variant(j)})));
  return cols;
}

// The array methods' rows: re-dimensioned from RecordCount, then filled by walking to EOF.
void fillArray(const ObjRef& rs, Variant& varArray, bool blnIncludeHeadings) {
  const int32_t records = toI4(getProperty(rs, "RecordCount"));
  const std::vector<ObjRef> cols = fieldsOf(rs);
  const int64_t lastRow = blnIncludeHeadings ? int64_t(records) : int64_t(records) - 1;
  if (lastRow < 0 || cols.empty()) throw ComError(hr::basicError(9), "Subscript out of range");
  const int32_t rows = static_cast<int32_t>(lastRow + 1);
  SafeArray& a = redimVariant(varArray, {{0, rows}, {0, static_cast<int32_t>(cols.size())}});
  int32_t row = 0;
  if (blnIncludeHeadings) {
    for (size_t j = 0; j < cols.size(); ++j) a.at(0, static_cast<int32_t>(j)) = getProperty(cols[j], "Name");
    row = 1;
  }
  Variant* elements = a.elements().data();  // column after column
  eachRecord(rs, cols, [&](Variant* values) {
    if (row >= rows) throw ComError(hr::basicError(9), "Subscript out of range");
    for (size_t j = 0; j < cols.size(); ++j) elements[j * rows + row] = std::move(values[j]);
    ++row;
  });
}

// One line by the line rule: each text quoted if asked, delimiters between, CR LF after.
// A Null has no text form: it raises and the method ends through its trap.
void writeLine(TextWriter& out, std::u16string& line, const Variant* values, size_t count, const BStr& delimiter,
               bool quotes) {
  line.clear();
  for (size_t j = 0; j < count; ++j) {
    if (quotes) line += u'"';
    appendText(line, values[j]);
    if (quotes) line += u'"';
    if (j + 1 < count) line += delimiter.view();
  }
  line += u"\r\n";
  out.write(line);
}

// The file methods' lines: the header line, then a line per record to EOF.
void writeRecords(const ObjRef& rs, TextWriter& out, bool headings, const BStr& delimiter, bool quotes) {
  const std::vector<ObjRef> cols = fieldsOf(rs);
  std::u16string line;
  if (headings) {
    std::vector<Variant> names;
    for (const ObjRef& col : cols) names.push_back(getProperty(col, "Name"));
    writeLine(out, line, names.data(), names.size(), delimiter, quotes);
  }
  eachRecord(rs, cols, [&](Variant* values) { writeLine(out, line, values, cols.size(), delimiter, quotes); });
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
