// A thin layer over the unixODBC C API, wide characters throughout: handles that free
// themselves, and diagnostics turned into automation errors.
#pragma once

#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "talvex/com_error.h"

namespace tlx::platform::ado {

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "the driver manager must use 16-bit SQLWCHAR");

inline SQLWCHAR* wide(std::u16string& s) { return reinterpret_cast<SQLWCHAR*>(s.data()); }
inline std::u16string_view wideView(const SQLWCHAR* s, size_t n) {
  return {reinterpret_cast<const char16_t*>(s), n};
}

// One diagnostic record of a handle.
struct Diagnostic {
  std::string state;
  int32_t native = 0;
  std::string text;  // UTF-8
};
std::vector<Diagnostic> diagnostics(SQLSMALLINT handleType, SQLHANDLE handle);

// The error that a failed call raises: E_FAIL with the driver's messages as its description.
class OdbcError : public ComError {
 public:
  OdbcError(std::string description, std::vector<Diagnostic> records);
  const std::vector<Diagnostic>& records() const { return records_; }

 private:
  std::vector<Diagnostic> records_;
};

// Raises OdbcError for a return code that is neither success nor "no data".
void check(SQLRETURN rc, SQLSMALLINT handleType, SQLHANDLE handle, std::string_view what);

// A connection handle, connected or not.
class Link {
 public:
  Link();
  ~Link();
  Link(const Link&) = delete;
  Link& operator=(const Link&) = delete;

  void connect(std::u16string connectionString);
  void disconnect() noexcept;
  bool connected() const { return connected_; }
  SQLHDBC handle() const { return dbc_; }

  // Autocommit off until the transaction ends with a commit or a rollback.
  void beginTransaction();
  void endTransaction(bool commit);
  bool inTransaction() const { return inTransaction_; }

  // The quote character of identifiers (a blank when the driver has none).
  char16_t identifierQuote();

 private:
  SQLHDBC dbc_ = SQL_NULL_HDBC;
  bool connected_ = false;
  bool inTransaction_ = false;
  char16_t quote_ = 0;
};

// A statement handle on a connection.
class Statement {
 public:
  explicit Statement(const Link& link);
  ~Statement();
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  SQLHSTMT handle() const { return stmt_; }
  void execute(std::u16string sql);  // direct execution
  void prepare(std::u16string sql);
  void executePrepared();
  void closeCursor() noexcept;
  SQLSMALLINT columnCount();
  SQLLEN rowCount();
  bool fetch();  // false after the last row
  void raise(SQLRETURN rc, std::string_view what) const;

 private:
  SQLHSTMT stmt_ = SQL_NULL_HSTMT;
};

}  // namespace tlx::platform::ado
