// Rows of a recordset: where they come from (a source) is kept apart from where they are kept
// (the store), so any source of rows (a query, a file) can feed the same recordset.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "automation/variant.h"

namespace tlx::ado {

// Standard data-type codes of fields.
enum DataType : int32_t {
  adEmpty = 0, adSmallInt = 2, adInteger = 3, adSingle = 4, adDouble = 5, adCurrency = 6,
  adDate = 7, adBSTR = 8, adBoolean = 11, adDecimal = 14, adTinyInt = 16, adUnsignedTinyInt = 17,
  adBigInt = 20, adGUID = 72, adBinary = 128, adChar = 129, adWChar = 130, adNumeric = 131,
  adDBDate = 133, adDBTime = 134, adDBTimeStamp = 135, adChapter = 136, adVarChar = 200,
  adLongVarChar = 201, adVarWChar = 202, adLongVarWChar = 203, adVarBinary = 204,
  adLongVarBinary = 205,
};

struct ColumnInfo {
  BStr name;
  int32_t type = adVarWChar;
  int32_t definedSize = 0;
  uint8_t precision = 0;
  uint8_t scale = 0;
  int16_t sqlType = 0;    // the driver's own type, for writing values back
  BStr baseColumn;        // the column of the base table this one shows (empty: none)
};

// A producer of rows, read once from the start.
class RowSource {
 public:
  virtual ~RowSource() = default;
  virtual const std::vector<ColumnInfo>& columns() const = 0;
  // Appends the next row's values (one per column) to `out`; false after the last row.
  virtual bool next(std::vector<Variant>& out) = 0;
  // Starts again from the first row (a forward-only cursor asked to go back).
  virtual void restart() = 0;
  // How many rows are left, when the source knows (0: it does not).
  virtual size_t rowsLeft() const { return 0; }
};

// The rows a recordset holds, each with a flag for rows deleted since they were read.
class RowStore {
 public:
  explicit RowStore(std::vector<ColumnInfo> columns) : columns_(std::move(columns)) {}

  const std::vector<ColumnInfo>& columns() const { return columns_; }
  size_t width() const { return columns_.size(); }
  size_t size() const { return deleted_.size(); }  // deleted rows included
  size_t live() const { return deleted_.size() - deletedCount_; }

  Variant& at(size_t row, size_t col) { return values_[row * width() + col]; }
  const Variant* row(size_t r) const { return values_.data() + r * width(); }
  bool deleted(size_t row) const { return deleted_[row] != 0; }

  // Reads every row of `source` that is left.
  void fill(RowSource& source) {
    values_.reserve(values_.size() + source.rowsLeft() * width());
    deleted_.reserve(deleted_.size() + source.rowsLeft());
    while (source.next(values_)) deleted_.push_back(0);
  }
  // Reads the next row only; false after the last.
  bool fillOne(RowSource& source) {
    if (!source.next(values_)) return false;
    deleted_.push_back(0);
    return true;
  }
  void append(std::vector<Variant> row) {
    for (Variant& v : row) values_.push_back(std::move(v));
    deleted_.push_back(0);
  }
  void markDeleted(size_t row) {
    if (!deleted_[row]) ++deletedCount_;
    deleted_[row] = 1;
  }
  void removeLast() {
    if (deleted_.back()) --deletedCount_;
    values_.resize(values_.size() - width());
    deleted_.pop_back();
  }
  void clear() {
    values_.clear();
    deleted_.clear();
    deletedCount_ = 0;
  }

 private:
  std::vector<ColumnInfo> columns_;
  std::vector<Variant> values_;  // row after row
  std::vector<uint8_t> deleted_;
  size_t deletedCount_ = 0;
};

}  // namespace tlx::ado
