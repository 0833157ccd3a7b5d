// Rows from an ODBC query, and changes written back to the table the rows came from.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "talvex/bstr.h"
#include "platform/ado/odbc.h"
#include "platform/ado/rows.h"

namespace tlx::platform::ado {

// The result of one SQL statement; the columns are described when it is executed. Rows are
// fetched a block at a time into buffers bound per column in each column's own C type; values
// that do not fit their buffer, binary ones, and every value of a driver that cannot bind are
// read one at a time with SQLGetData, with the same results.
class QuerySource : public RowSource {
 public:
  QuerySource(std::shared_ptr<Link> link, std::u16string sql);

  const std::vector<ColumnInfo>& columns() const override { return columns_; }
  bool next(RowStore& rows) override;
  void restart() override;

  // The table every column comes from, when they share one (empty otherwise).
  const BStr& baseTable() const { return baseTable_; }
  bool hasResult() const { return !columns_.empty(); }
  SQLLEN rowsAffected() { return stmt_.rowCount(); }

 private:
  // One column's buffer for a block of rows; `width` 0: read with SQLGetData.
  struct Binding {
    SQLSMALLINT cType = SQL_C_WCHAR;
    size_t width = 0;
    std::vector<uint64_t> buffer;
    std::vector<SQLLEN> lengths;
  };

  void describe();
  void bind();
  bool fetchBlock();
  void read(RowStore& rows, SQLUSMALLINT col, size_t row);
  void readAlone(RowStore& rows, SQLUSMALLINT col, size_t row);
  void add(RowStore& rows, const ColumnInfo& info, SQLSMALLINT cType, const void* data, SQLLEN length);

  std::shared_ptr<Link> link_;  // outlives the statement
  Statement stmt_;
  std::u16string sql_;
  std::vector<ColumnInfo> columns_;
  BStr baseTable_;
  std::vector<Binding> bindings_;
  SQLULEN blockRows_ = 1;
  SQLULEN fetched_ = 0;              // rows of the current block
  size_t nextRow_ = 0;               // the next of them to hand out
  size_t positioned_ = SIZE_MAX;     // the row of the block that SQLGetData reads
  std::vector<SQLUSMALLINT> status_;
  StringArena strings_;
  std::u16string text_;    // reused for every text read alone
  std::string bytes_;      // and for every binary one
};

// Writes inserted, changed and deleted rows to a base table with parameterised statements.
// Rows are found by the table's primary key, or by all their values when it has none.
class TableWriter {
 public:
  // `table` is named as the caller wrote it; `quoted` says whether it is already an identifier
  // ready for SQL or a plain name that needs quoting.
  TableWriter(std::shared_ptr<Link> link, BStr table, bool quoted, std::vector<ColumnInfo> columns);

  void insert(const Variant* values, const std::vector<bool>& given);
  void update(const Variant* original, const Variant* values, const std::vector<bool>& changed);
  void remove(const Variant* original);

 private:
  std::u16string quote(std::u16string_view name);
  std::u16string where(const Variant* original, std::vector<std::pair<const Variant*, size_t>>& params);
  const std::vector<size_t>& keyColumns();
  // Rows the statement touched beyond the one meant are identical copies: they are put back.
  void restoreCopies(SQLLEN affected, const Variant* original);

  std::shared_ptr<Link> link_;
  BStr table_;
  std::u16string sqlTable_;
  std::vector<ColumnInfo> columns_;
  std::vector<size_t> key_;
  bool keyKnown_ = false;
  bool hasKey_ = false;
};

}  // namespace tlx::platform::ado
