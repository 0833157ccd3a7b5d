#include "platform/ado/odbc_rows.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <deque>
#include <limits>

#include "talvex/convert.h"
#include "automation/strings.h"

namespace tlx::platform::ado {

namespace {

int32_t dataTypeOf(SQLSMALLINT sqlType) {
  switch (sqlType) {
    case SQL_BIT: return adBoolean;
    case SQL_TINYINT: return adTinyInt;
    case SQL_SMALLINT: return adSmallInt;
    case SQL_INTEGER: return adInteger;
    case SQL_BIGINT: return adBigInt;
    case SQL_REAL: return adSingle;
    case SQL_FLOAT:
    case SQL_DOUBLE: return adDouble;
    case SQL_DECIMAL: return adDecimal;
    case SQL_NUMERIC: return adNumeric;
    case SQL_TYPE_DATE:
    case SQL_DATE: return adDBDate;
    case SQL_TYPE_TIME:
    case SQL_TIME: return adDBTime;
    case SQL_TYPE_TIMESTAMP:
    case SQL_TIMESTAMP: return adDBTimeStamp;
    case SQL_CHAR: return adChar;
    case SQL_VARCHAR: return adVarChar;
    case SQL_LONGVARCHAR: return adLongVarChar;
    case SQL_WCHAR: return adWChar;
    case SQL_WVARCHAR: return adVarWChar;
    case SQL_WLONGVARCHAR: return adLongVarWChar;
    case SQL_BINARY: return adBinary;
    case SQL_VARBINARY: return adVarBinary;
    case SQL_LONGVARBINARY: return adLongVarBinary;
    case SQL_GUID: return adGUID;
    default: return adVarWChar;
  }
}

bool isTextType(SQLSMALLINT t) {
  return t == SQL_CHAR || t == SQL_VARCHAR || t == SQL_LONGVARCHAR || t == SQL_WCHAR ||
         t == SQL_WVARCHAR || t == SQL_WLONGVARCHAR || t == SQL_GUID;
}

BStr columnText(SQLHSTMT stmt, SQLUSMALLINT col, SQLUSMALLINT field) {
  SQLWCHAR text[512] = {};
  SQLSMALLINT length = 0;
  if (!SQL_SUCCEEDED(SQLColAttributeW(stmt, col, field, text, sizeof text, &length, nullptr))) return {};
  size_t n = std::min<size_t>(static_cast<size_t>(std::max<SQLSMALLINT>(length, 0)) / sizeof(SQLWCHAR), 511);
  return BStr(wideView(text, n));
}

// A decimal's text kept exactly: Currency when it has at most four decimals and fits, else the
// text itself.
Variant decimalValue(std::u16string_view text) {
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) negative = text[i++] == u'-';
  __int128 scaled = 0;
  int decimals = -1;
  bool digits = false;
  for (; i < text.size(); ++i) {
    char16_t c = text[i];
    if (c == u'.' && decimals < 0) {
      decimals = 0;
      continue;
    }
    if (c < u'0' || c > u'9') return Variant(text);
    digits = true;
    if (decimals >= 0 && ++decimals > 4) {
      if (c != u'0') return Variant(text);
      continue;
    }
    scaled = scaled * 10 + (c - u'0');
    if (scaled > std::numeric_limits<int64_t>::max()) return Variant(text);
  }
  if (!digits) return Variant(text);
  for (int d = std::max(decimals, 0); d < 4; ++d) {
    scaled *= 10;
    if (scaled > std::numeric_limits<int64_t>::max()) return Variant(text);
  }
  return Variant(Currency{static_cast<int64_t>(negative ? -scaled : scaled)});
}

Variant integerValue(int64_t v, int32_t type) {
  if (type == adSmallInt || type == adTinyInt) return Variant(static_cast<int16_t>(v));
  if (v >= INT32_MIN && v <= INT32_MAX) return Variant(static_cast<int32_t>(v));
  if (std::abs(v) <= (int64_t(1) << 53)) return Variant(static_cast<double>(v));
  return Variant(u16(std::to_string(v)));
}

// Reads a variable-length value in pieces into `buf` (elements of T); false for NULL.
template <class Buffer>
bool readPieces(const Statement& stmt, SQLUSMALLINT col, SQLSMALLINT cType, Buffer& buf, size_t& length) {
  using Unit = typename Buffer::value_type;
  const size_t terminator = cType == SQL_C_BINARY ? 0 : 1;
  if (buf.size() < 256) buf.resize(256);
  length = 0;
  for (;;) {
    const size_t room = buf.size() - length;
    SQLLEN indicator = 0;
    SQLRETURN rc = SQLGetData(stmt.handle(), col, cType, buf.data() + length,
                              static_cast<SQLLEN>(room * sizeof(Unit)), &indicator);
    if (rc == SQL_NO_DATA) return true;
    stmt.raise(rc, "Reading a value");
    if (indicator == SQL_NULL_DATA) return false;
    const size_t got = room - terminator;
    if (rc == SQL_SUCCESS || (indicator != SQL_NO_TOTAL && static_cast<size_t>(indicator) / sizeof(Unit) <= got)) {
      length += static_cast<size_t>(indicator) / sizeof(Unit);
      return true;
    }
    length += got;
    size_t rest = indicator == SQL_NO_TOTAL ? buf.size() : static_cast<size_t>(indicator) / sizeof(Unit) - got;
    buf.resize(length + rest + terminator);
  }
}

// The C type a column's values are fetched in.
SQLSMALLINT cTypeOf(int32_t type) {
  switch (type) {
    case adBoolean: return SQL_C_BIT;
    case adTinyInt:
    case adSmallInt:
    case adInteger:
    case adBigInt: return SQL_C_SBIGINT;
    case adSingle: return SQL_C_FLOAT;
    case adDouble: return SQL_C_DOUBLE;
    case adDBDate: return SQL_C_TYPE_DATE;
    case adDBTime: return SQL_C_TYPE_TIME;
    case adDBTimeStamp: return SQL_C_TYPE_TIMESTAMP;
    case adBinary:
    case adVarBinary:
    case adLongVarBinary: return SQL_C_BINARY;
    default: return SQL_C_WCHAR;
  }
}

// Bytes of a value of a fixed-size C type (0: text or binary).
size_t fixedSize(SQLSMALLINT cType) {
  switch (cType) {
    case SQL_C_BIT: return 1;
    case SQL_C_SBIGINT: return sizeof(SQLBIGINT);
    case SQL_C_FLOAT: return sizeof(float);
    case SQL_C_DOUBLE: return sizeof(double);
    case SQL_C_TYPE_DATE: return sizeof(SQL_DATE_STRUCT);
    case SQL_C_TYPE_TIME: return sizeof(SQL_TIME_STRUCT);
    case SQL_C_TYPE_TIMESTAMP: return sizeof(SQL_TIMESTAMP_STRUCT);
    default: return 0;
  }
}

// Text longer than this is read alone rather than given room in every row of a block.
constexpr size_t kBoundTextChars = 255;
constexpr size_t kBlockBytes = size_t(1) << 19;
constexpr SQLULEN kMaxBlockRows = 1024;

// Bytes per row of a column's bound buffer; 0 for binary values, read alone.
size_t boundWidth(const ColumnInfo& info, SQLSMALLINT cType) {
  if (cType == SQL_C_BINARY) return 0;
  if (cType != SQL_C_WCHAR) return fixedSize(cType);
  const size_t declared = static_cast<size_t>(std::max(info.definedSize, 0));
  const bool decimal = info.type == adDecimal || info.type == adNumeric;
  // A decimal's text has a sign and a point besides its digits.
  const size_t chars = decimal && declared ? declared + 2 : declared ? std::min(declared, kBoundTextChars) : kBoundTextChars;
  return (chars + 1) * sizeof(SQLWCHAR);
}

template <class T>
T load(const void* data) {
  T v;
  std::memcpy(&v, data, sizeof v);
  return v;
}

bool inDateRange(int year) { return year >= 100 && year <= 9999; }

// The last moment a Variant date holds: fractions of a second past it are not rounded beyond.
const double kLastDate = makeDate(9999, 12, 31, 23, 59, 59);

}  // namespace

QuerySource::QuerySource(std::shared_ptr<Link> link, std::u16string sql)
    : link_(std::move(link)), stmt_(*link_), sql_(std::move(sql)) {
  stmt_.execute(sql_);
  describe();
  bind();
}

void QuerySource::describe() {
  const SQLSMALLINT n = stmt_.columnCount();
  columns_.clear();
  baseTable_ = {};
  for (SQLUSMALLINT c = 1; c <= static_cast<SQLUSMALLINT>(n); ++c) {
    SQLWCHAR name[256] = {};
    SQLSMALLINT nameLength = 0, sqlType = 0, digits = 0, nullable = 0;
    SQLULEN size = 0;
    stmt_.raise(SQLDescribeColW(stmt_.handle(), c, name, 256, &nameLength, &sqlType, &size, &digits, &nullable),
                "Describing a column");
    ColumnInfo info;
    info.name = BStr(wideView(name, std::min<size_t>(static_cast<size_t>(nameLength), 255)));
    info.sqlType = sqlType;
    info.type = dataTypeOf(sqlType);
    info.definedSize = static_cast<int32_t>(std::min<SQLULEN>(size, INT32_MAX));
    info.precision = static_cast<uint8_t>(std::min<SQLULEN>(size, 255));
    info.scale = static_cast<uint8_t>(std::max<SQLSMALLINT>(digits, 0));
    info.baseColumn = columnText(stmt_.handle(), c, SQL_DESC_BASE_COLUMN_NAME);
    if (info.baseColumn.empty()) info.baseColumn = info.name;
    BStr table = columnText(stmt_.handle(), c, SQL_DESC_BASE_TABLE_NAME);
    if (c == 1) baseTable_ = table;
    else if (!(baseTable_ == table.view())) baseTable_ = {};
    columns_.push_back(std::move(info));
  }
}

// Binds what the driver lets us: columns bound and others read with SQLGetData in one row needs
// SQL_GD_ANY_COLUMN and SQL_GD_BOUND; blocks of rows need SQL_GD_BLOCK and SQL_GD_ANY_ORDER too.
void QuerySource::bind() {
  bindings_.assign(columns_.size(), {});
  for (size_t c = 0; c < columns_.size(); ++c) bindings_[c].cType = cTypeOf(columns_[c].type);
  status_.assign(1, SQL_ROW_SUCCESS);
  SQLUINTEGER ext = 0;
  if (columns_.empty() ||
      !SQL_SUCCEEDED(SQLGetInfoW(link_->handle(), SQL_GETDATA_EXTENSIONS, &ext, sizeof ext, nullptr)))
    return;
  const SQLUINTEGER oneRow = SQL_GD_ANY_COLUMN | SQL_GD_BOUND;
  const SQLUINTEGER blocks = oneRow | SQL_GD_BLOCK | SQL_GD_ANY_ORDER;
  if ((ext & oneRow) != oneRow) return;
  size_t rowBytes = 0;
  for (size_t c = 0; c < columns_.size(); ++c) rowBytes += bindings_[c].width = boundWidth(columns_[c], bindings_[c].cType);
  SQLULEN blockRows = (ext & blocks) == blocks ? std::clamp<SQLULEN>(kBlockBytes / std::max<size_t>(rowBytes, 1), 1, kMaxBlockRows) : 1;
  SQLHSTMT h = stmt_.handle();
  if (blockRows > 1 && !SQL_SUCCEEDED(SQLSetStmtAttrW(h, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(blockRows), 0)))
    blockRows = 1;
  status_.assign(blockRows, SQL_ROW_SUCCESS);
  bool bound = SQL_SUCCEEDED(SQLSetStmtAttrW(h, SQL_ATTR_ROW_STATUS_PTR, status_.data(), 0)) &&
               SQL_SUCCEEDED(SQLSetStmtAttrW(h, SQL_ATTR_ROWS_FETCHED_PTR, &fetched_, 0));
  for (size_t c = 0; bound && c < columns_.size(); ++c) {
    Binding& b = bindings_[c];
    if (!b.width) continue;
    b.buffer.resize((b.width * blockRows + 7) / 8);
    b.lengths.resize(blockRows);
    bound = SQL_SUCCEEDED(SQLBindCol(h, static_cast<SQLUSMALLINT>(c + 1), b.cType, b.buffer.data(),
                                     static_cast<SQLLEN>(b.width), b.lengths.data()));
  }
  if (bound) {
    blockRows_ = blockRows;
    return;
  }
  // A driver that cannot bind: every value is read on its own.
  SQLFreeStmt(h, SQL_UNBIND);
  SQLSetStmtAttrW(h, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(SQLULEN(1)), 0);
  SQLSetStmtAttrW(h, SQL_ATTR_ROW_STATUS_PTR, nullptr, 0);
  SQLSetStmtAttrW(h, SQL_ATTR_ROWS_FETCHED_PTR, nullptr, 0);
  for (Binding& b : bindings_) b.width = 0;
  status_.assign(1, SQL_ROW_SUCCESS);
  blockRows_ = 1;
}

void QuerySource::restart() {
  stmt_.closeCursor();
  stmt_.execute(sql_);
  fetched_ = nextRow_ = 0;
}

bool QuerySource::fetchBlock() {
  fetched_ = 0;
  nextRow_ = 0;
  positioned_ = SIZE_MAX;
  if (!stmt_.fetch()) return false;
  if (blockRows_ == 1) fetched_ = 1;  // whether or not the driver counts it
  return fetched_ > 0;
}

bool QuerySource::next(RowStore& rows) {
  if (columns_.empty()) return false;
  if (nextRow_ >= fetched_ && !fetchBlock()) return false;
  const size_t row = nextRow_++;
  if (status_[row] == SQL_ROW_ERROR) stmt_.raise(SQL_ERROR, "Fetching");
  for (SQLUSMALLINT c = 1; c <= columns_.size(); ++c) read(rows, c, row);
  rows.endRow();
  return true;
}

void QuerySource::read(RowStore& rows, SQLUSMALLINT col, size_t row) {
  const Binding& b = bindings_[col - 1];
  if (!b.width) return readAlone(rows, col, row);
  const SQLLEN length = b.lengths[row];
  const char* data = reinterpret_cast<const char*>(b.buffer.data()) + row * b.width;
  // Text that did not fit its buffer is read again whole.
  if (b.cType == SQL_C_WCHAR && length != SQL_NULL_DATA &&
      (length == SQL_NO_TOTAL || static_cast<size_t>(length) + sizeof(SQLWCHAR) > b.width))
    return readAlone(rows, col, row);
  add(rows, columns_[col - 1], b.cType, data, length);
}

void QuerySource::readAlone(RowStore& rows, SQLUSMALLINT col, size_t row) {
  if (blockRows_ > 1 && positioned_ != row) {
    stmt_.raise(SQLSetPos(stmt_.handle(), static_cast<SQLSETPOSIROW>(row + 1), SQL_POSITION, SQL_LOCK_NO_CHANGE),
                "Positioning in a block");
    positioned_ = row;
  }
  const SQLSMALLINT cType = bindings_[col - 1].cType;
  if (size_t size = fixedSize(cType)) {
    uint64_t value[2] = {};
    SQLLEN length = 0;
    stmt_.raise(SQLGetData(stmt_.handle(), col, cType, value, static_cast<SQLLEN>(size), &length), "Reading a value");
    return add(rows, columns_[col - 1], cType, value, length);
  }
  size_t n = 0;
  if (cType == SQL_C_BINARY) {
    const bool given = readPieces(stmt_, col, cType, bytes_, n);
    return add(rows, columns_[col - 1], cType, bytes_.data(), given ? static_cast<SQLLEN>(n) : SQL_NULL_DATA);
  }
  const bool given = readPieces(stmt_, col, cType, text_, n);
  add(rows, columns_[col - 1], cType, text_.data(), given ? static_cast<SQLLEN>(n * sizeof(char16_t)) : SQL_NULL_DATA);
}

void QuerySource::add(RowStore& rows, const ColumnInfo& info, SQLSMALLINT cType, const void* data, SQLLEN length) {
  if (length == SQL_NULL_DATA) return rows.add(Variant::null());
  switch (cType) {
    case SQL_C_BIT: return rows.add(Variant(load<unsigned char>(data) != 0));
    case SQL_C_SBIGINT: return rows.add(integerValue(load<SQLBIGINT>(data), info.type));
    case SQL_C_FLOAT: return rows.add(Variant(load<float>(data)));
    case SQL_C_DOUBLE: return rows.add(Variant(load<double>(data)));
    case SQL_C_TYPE_DATE: {
      const auto d = load<SQL_DATE_STRUCT>(data);
      if (!inDateRange(d.year)) return rows.addOutOfRange();
      return rows.add(Variant(Date{makeDate(d.year, d.month, d.day)}));
    }
    case SQL_C_TYPE_TIME: {
      const auto t = load<SQL_TIME_STRUCT>(data);
      return rows.add(Variant(Date{makeDate(1899, 12, 30, t.hour, t.minute, t.second)}));
    }
    case SQL_C_TYPE_TIMESTAMP: {
      const auto t = load<SQL_TIMESTAMP_STRUCT>(data);
      if (!inDateRange(t.year)) return rows.addOutOfRange();
      const double serial = makeDate(t.year, t.month, t.day, t.hour, t.minute, t.second + t.fraction / 1e9);
      return rows.add(Variant(Date{std::min(serial, kLastDate)}));
    }
    case SQL_C_BINARY: {
      const size_t n = static_cast<size_t>(length);
      auto array = std::make_unique<SafeArray>(std::vector<Bound>{{0, static_cast<int32_t>(n)}}, vtUI1);
      const auto* bytes = static_cast<const unsigned char*>(data);
      for (size_t i = 0; i < n; ++i) array->elements()[i] = Variant(static_cast<uint8_t>(bytes[i]));
      return rows.add(Variant(std::move(array)));
    }
    default: {
      std::u16string_view text(static_cast<const char16_t*>(data), static_cast<size_t>(length) / sizeof(char16_t));
      if (info.type == adDecimal || info.type == adNumeric) return rows.add(decimalValue(text));
      return rows.add(Variant(strings_.copy(text)));
    }
  }
}

// ---- writing back ----

namespace {

// Values bound to one statement's parameters, kept alive until it has run.
class Parameters {
 public:
  explicit Parameters(Statement& stmt) : stmt_(stmt) {}

  void bind(const Variant& v, const ColumnInfo& col) {
    Slot& s = slots_.emplace_back();
    const SQLUSMALLINT index = static_cast<SQLUSMALLINT>(slots_.size());
    SQLSMALLINT sqlType = col.sqlType ? col.sqlType : SQL_WVARCHAR;
    SQLSMALLINT cType = SQL_C_WCHAR;
    SQLPOINTER data = nullptr;
    SQLLEN bytes = 0;
    SQLULEN size = col.definedSize > 0 ? static_cast<SQLULEN>(col.definedSize) : 1;
    SQLSMALLINT digits = static_cast<SQLSMALLINT>(col.scale);
    if (v.isNull() || v.isEmpty()) {
      s.indicator = SQL_NULL_DATA;
    } else if (v.isArray() && v.baseType() == vtUI1) {
      for (const Variant& b : v.arrayRef().elements()) s.bytes.push_back(static_cast<char>(b.ui1()));
      cType = SQL_C_BINARY;
      data = s.bytes.data();
      bytes = s.indicator = static_cast<SQLLEN>(s.bytes.size());
      size = std::max<SQLULEN>(s.bytes.size(), 1);
    } else if (v.type() == vtDate && !isTextType(sqlType)) {
      const CivilTime t = splitDate(v.date());
      s.stamp = {static_cast<SQLSMALLINT>(t.year), static_cast<SQLUSMALLINT>(t.month),
                 static_cast<SQLUSMALLINT>(t.day), static_cast<SQLUSMALLINT>(t.hour),
                 static_cast<SQLUSMALLINT>(t.minute), static_cast<SQLUSMALLINT>(t.second), 0};
      cType = SQL_C_TYPE_TIMESTAMP;
      data = &s.stamp;
      bytes = s.indicator = sizeof s.stamp;
      if (sqlType == SQL_TYPE_TIMESTAMP) size = 19, digits = 0;
    } else if ((v.type() == vtI2 || v.type() == vtI4 || v.type() == vtUI1 || v.type() == vtBoolean) &&
               !isTextType(sqlType)) {
      s.integer = v.type() == vtBoolean ? (v.boolean() ? (sqlType == SQL_BIT ? 1 : -1) : 0) : toI4(v);
      cType = SQL_C_SBIGINT;
      data = &s.integer;
      bytes = s.indicator = sizeof s.integer;
    } else if ((v.type() == vtR4 || v.type() == vtR8) && !isTextType(sqlType)) {
      s.real = toDouble(v);
      cType = SQL_C_DOUBLE;
      data = &s.real;
      bytes = s.indicator = sizeof s.real;
    } else {
      s.text = v.type() == vtDate ? std::u16string(isoText(v.date())) : std::u16string(toBStr(v).view());
      data = s.text.data();
      bytes = s.indicator = static_cast<SQLLEN>(s.text.size() * sizeof(char16_t));
      if (isTextType(sqlType)) size = std::max<SQLULEN>(s.text.size(), 1);
    }
    stmt_.raise(SQLBindParameter(stmt_.handle(), index, SQL_PARAM_INPUT, cType, sqlType, size, digits, data,
                                 bytes, &s.indicator),
                "Binding a value");
  }

 private:
  static std::u16string isoText(double serial) {
    const CivilTime t = splitDate(serial);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute,
                  t.second);
    return std::u16string(u16(text).view());
  }

  struct Slot {
    SQLLEN indicator = 0;
    SQLBIGINT integer = 0;
    double real = 0;
    SQL_TIMESTAMP_STRUCT stamp{};
    std::u16string text;
    std::string bytes;
  };
  Statement& stmt_;
  std::deque<Slot> slots_;  // stable addresses
};

using ParamList = std::vector<std::pair<const Variant*, size_t>>;  // value and its column

SQLLEN run(Link& link, std::u16string sql, const ParamList& params, const std::vector<ColumnInfo>& cols) {
  Statement stmt(link);
  stmt.prepare(std::move(sql));
  Parameters bound(stmt);
  for (auto& [value, col] : params) bound.bind(*value, cols[col]);
  stmt.executePrepared();
  return stmt.rowCount();
}

[[noreturn]] void rowNotFound() {
  throw ComError(hr::E_FAIL, "The row to change or delete is no longer in the table");
}

}  // namespace

TableWriter::TableWriter(std::shared_ptr<Link> link, BStr table, bool quoted, std::vector<ColumnInfo> columns)
    : link_(std::move(link)), table_(std::move(table)), columns_(std::move(columns)) {
  sqlTable_ = quoted ? std::u16string(table_.view()) : quote(table_.view());
}

std::u16string TableWriter::quote(std::u16string_view name) {
  const char16_t q = link_->identifierQuote();
  if (q == u' ') return std::u16string(name);
  std::u16string out(1, q);
  for (char16_t c : name) {
    if (c == q) out += q;
    out += c;
  }
  out += q;
  return out;
}

const std::vector<size_t>& TableWriter::keyColumns() {
  if (keyKnown_) return key_;
  keyKnown_ = true;
  std::vector<BStr> keyNames;
  {
    Statement stmt(*link_);
    std::u16string name(table_.view());
    if (SQL_SUCCEEDED(SQLPrimaryKeysW(stmt.handle(), nullptr, 0, nullptr, 0, wide(name),
                                      static_cast<SQLSMALLINT>(name.size())))) {
      while (stmt.fetch()) {
        SQLWCHAR column[256] = {};
        SQLLEN length = 0;
        if (SQL_SUCCEEDED(SQLGetData(stmt.handle(), 4, SQL_C_WCHAR, column, sizeof column, &length)) && length > 0)
          keyNames.emplace_back(wideView(column, std::min<size_t>(static_cast<size_t>(length) / 2, 255)));
      }
    }
  }
  for (const BStr& k : keyNames)
    for (size_t c = 0; c < columns_.size(); ++c)
      if (equalsNoCase(columns_[c].baseColumn, k)) key_.push_back(c);
  // A key that the recordset does not show all of cannot find a row.
  hasKey_ = !key_.empty() && key_.size() == keyNames.size();
  if (!hasKey_) {
    key_.clear();
    for (size_t c = 0; c < columns_.size(); ++c) key_.push_back(c);
  }
  return key_;
}

std::u16string TableWriter::where(const Variant* original, ParamList& params) {
  std::u16string sql = u" WHERE ";
  bool first = true;
  for (size_t c : keyColumns()) {
    if (!first) sql += u" AND ";
    first = false;
    sql += quote(columns_[c].baseColumn);
    if (original[c].isNull() || original[c].isEmpty()) {
      sql += u" IS NULL";
    } else {
      sql += u" = ?";
      params.emplace_back(&original[c], c);
    }
  }
  return sql;
}

void TableWriter::insert(const Variant* values, const std::vector<bool>& given) {
  std::u16string names, marks;
  ParamList params;
  for (size_t c = 0; c < columns_.size(); ++c) {
    if (!given[c]) continue;
    if (!names.empty()) names += u", ", marks += u", ";
    names += quote(columns_[c].baseColumn);
    marks += u"?";
    params.emplace_back(&values[c], c);
  }
  std::u16string sql = u"INSERT INTO " + sqlTable_;
  sql += names.empty() ? u" DEFAULT VALUES" : u" (" + names + u") VALUES (" + marks + u")";
  run(*link_, std::move(sql), params, columns_);
}

void TableWriter::update(const Variant* original, const Variant* values, const std::vector<bool>& changed) {
  std::u16string sets;
  ParamList params;
  for (size_t c = 0; c < columns_.size(); ++c) {
    if (!changed[c]) continue;
    if (!sets.empty()) sets += u", ";
    sets += quote(columns_[c].baseColumn) + u" = ?";
    params.emplace_back(&values[c], c);
  }
  if (sets.empty()) return;
  // Without a key, identical rows cannot be told apart: the row is taken out and put back changed.
  if (keyColumns().size() == columns_.size() && !hasKey_) {
    remove(original);
    std::vector<bool> all(columns_.size(), true);
    insert(values, all);
    return;
  }
  std::u16string sql = u"UPDATE " + sqlTable_ + u" SET " + sets;
  sql += where(original, params);
  restoreCopies(run(*link_, std::move(sql), params, columns_), original);
}

void TableWriter::remove(const Variant* original) {
  ParamList params;
  std::u16string sql = u"DELETE FROM " + sqlTable_;
  sql += where(original, params);
  restoreCopies(run(*link_, std::move(sql), params, columns_), original);
}

void TableWriter::restoreCopies(SQLLEN affected, const Variant* original) {
  if (affected == 0) rowNotFound();
  const std::vector<bool> all(columns_.size(), true);
  for (SQLLEN i = 1; i < affected; ++i) insert(original, all);
}

}  // namespace tlx::platform::ado
