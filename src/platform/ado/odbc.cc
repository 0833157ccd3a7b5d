#include "platform/ado/odbc.h"

#include "automation/strings.h"

namespace tlx::platform::ado {

namespace {

// One environment for the process, set to ODBC 3 behaviour.
SQLHENV environment() {
  static SQLHENV env = [] {
    SQLHENV h = SQL_NULL_HENV;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &h)))
      throw ComError(hr::E_FAIL, "The ODBC driver manager could not be started");
    SQLSetEnvAttr(h, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    return h;
  }();
  return env;
}

std::string describe(std::string_view what, const std::vector<Diagnostic>& records) {
  if (records.empty()) return std::string(what) + " failed";
  std::string text;
  for (const Diagnostic& d : records) {
    if (!text.empty()) text += "\n";
    text += d.text;
  }
  return text;
}

}  // namespace

std::vector<Diagnostic> diagnostics(SQLSMALLINT handleType, SQLHANDLE handle) {
  std::vector<Diagnostic> out;
  for (SQLSMALLINT i = 1;; ++i) {
    SQLWCHAR state[6] = {};
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    std::u16string message(1024, u'\0');
    SQLRETURN rc = SQLGetDiagRecW(handleType, handle, i, state, &native, wide(message),
                                  static_cast<SQLSMALLINT>(message.size()), &length);
    if (!SQL_SUCCEEDED(rc)) break;
    message.resize(std::min<size_t>(static_cast<size_t>(std::max<SQLSMALLINT>(length, 0)), message.size() - 1));
    out.push_back({u8(wideView(state, 5)), native, u8(message)});
  }
  return out;
}

OdbcError::OdbcError(std::string description, std::vector<Diagnostic> records)
    : ComError(hr::E_FAIL, std::move(description), "ADODB"), records_(std::move(records)) {}

void check(SQLRETURN rc, SQLSMALLINT handleType, SQLHANDLE handle, std::string_view what) {
  if (SQL_SUCCEEDED(rc) || rc == SQL_NO_DATA) return;
  auto records = diagnostics(handleType, handle);
  std::string description = describe(what, records);
  throw OdbcError(std::move(description), std::move(records));
}

Link::Link() {
  check(SQLAllocHandle(SQL_HANDLE_DBC, environment(), &dbc_), SQL_HANDLE_ENV, environment(), "connection");
}

Link::~Link() {
  disconnect();
  SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
}

void Link::connect(std::u16string connectionString) {
  SQLSMALLINT outLength = 0;
  SQLRETURN rc = SQLDriverConnectW(dbc_, nullptr, wide(connectionString),
                                   static_cast<SQLSMALLINT>(connectionString.size()), nullptr, 0,
                                   &outLength, SQL_DRIVER_NOPROMPT);
  check(rc, SQL_HANDLE_DBC, dbc_, "Connecting");
  connected_ = true;
}

void Link::disconnect() noexcept {
  if (!connected_) return;
  // Whatever was not committed is rolled back, as a closed connection's work is.
  if (inTransaction_) SQLEndTran(SQL_HANDLE_DBC, dbc_, SQL_ROLLBACK);
  inTransaction_ = false;
  SQLDisconnect(dbc_);
  connected_ = false;
  quote_ = 0;
}

void Link::beginTransaction() {
  check(SQLSetConnectAttrW(dbc_, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0),
        SQL_HANDLE_DBC, dbc_, "Beginning a transaction");
  inTransaction_ = true;
}

void Link::endTransaction(bool commit) {
  check(SQLEndTran(SQL_HANDLE_DBC, dbc_, commit ? SQL_COMMIT : SQL_ROLLBACK), SQL_HANDLE_DBC, dbc_,
        commit ? "Committing" : "Rolling back");
  inTransaction_ = false;
  check(SQLSetConnectAttrW(dbc_, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), 0),
        SQL_HANDLE_DBC, dbc_, "Ending a transaction");
}

char16_t Link::identifierQuote() {
  if (quote_) return quote_;
  SQLWCHAR text[8] = {};
  SQLSMALLINT length = 0;
  quote_ = u'"';
  if (SQL_SUCCEEDED(SQLGetInfoW(dbc_, SQL_IDENTIFIER_QUOTE_CHAR, text, sizeof text, &length)) && length > 0)
    quote_ = static_cast<char16_t>(text[0]);
  return quote_;
}

Statement::Statement(const Link& link) {
  check(SQLAllocHandle(SQL_HANDLE_STMT, link.handle(), &stmt_), SQL_HANDLE_DBC, link.handle(), "statement");
}

Statement::~Statement() { SQLFreeHandle(SQL_HANDLE_STMT, stmt_); }

void Statement::raise(SQLRETURN rc, std::string_view what) const { check(rc, SQL_HANDLE_STMT, stmt_, what); }

void Statement::execute(std::u16string sql) {
  raise(SQLExecDirectW(stmt_, wide(sql), static_cast<SQLINTEGER>(sql.size())), "Executing");
}

void Statement::prepare(std::u16string sql) {
  raise(SQLPrepareW(stmt_, wide(sql), static_cast<SQLINTEGER>(sql.size())), "Preparing");
}

void Statement::executePrepared() { raise(SQLExecute(stmt_), "Executing"); }

void Statement::closeCursor() noexcept { SQLFreeStmt(stmt_, SQL_CLOSE); }

SQLSMALLINT Statement::columnCount() {
  SQLSMALLINT n = 0;
  raise(SQLNumResultCols(stmt_, &n), "Counting columns");
  return n;
}

SQLLEN Statement::rowCount() {
  SQLLEN n = 0;
  raise(SQLRowCount(stmt_, &n), "Counting rows");
  return n;
}

bool Statement::fetch() {
  SQLRETURN rc = SQLFetch(stmt_);
  if (rc == SQL_NO_DATA) return false;
  raise(rc, "Fetching");
  return true;
}

}  // namespace tlx::platform::ado
