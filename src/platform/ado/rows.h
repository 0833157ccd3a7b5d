// Rows of a recordset: where they come from (a source) is kept apart from where they are kept
// (the store), so any source of rows (a query, a file) can feed the same recordset.
#pragma once

#include <cstdint>
#include <memory>
#include <new>
#include <vector>

#include "talvex/variant.h"

namespace tlx::platform::ado {

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

class RowStore;

// A producer of rows, read once from the start.
class RowSource {
 public:
  virtual ~RowSource() = default;
  virtual const std::vector<ColumnInfo>& columns() const = 0;
  // Adds the next row (a value per column, then RowStore::endRow) to `rows`; false after the last.
  virtual bool next(RowStore& rows) = 0;
  // Starts again from the first row (a forward-only cursor asked to go back).
  virtual void restart() = 0;
  // How many rows are left, when the source knows (0: it does not).
  virtual size_t rowsLeft() const { return 0; }
};

// The rows a recordset holds, each with a flag for rows deleted since they were read. A value is
// kept as a kind and 8 bytes (a number, a date, a string's text) and made a Variant when it is
// read; values of other types (binary, chapters) are kept whole beside the rows.
class RowStore {
 public:
  explicit RowStore(std::vector<ColumnInfo> columns) : columns_(std::move(columns)) {}
  ~RowStore() { clear(); }
  RowStore(const RowStore&) = delete;
  RowStore& operator=(const RowStore&) = delete;

  const std::vector<ColumnInfo>& columns() const { return columns_; }
  size_t width() const { return columns_.size(); }
  size_t size() const { return deleted_.size(); }  // deleted rows included
  size_t live() const { return deleted_.size() - deletedCount_; }
  bool deleted(size_t row) const { return deleted_[row] != 0; }

  // A value as the field shows it; a value the source could not represent raises here.
  Variant value(size_t row, size_t col) const;
  std::vector<Variant> rowValues(size_t row) const;
  void setValue(size_t row, size_t col, Variant v);

  // A new row, value by value: add() (or addOutOfRange()) once per column, then endRow().
  void add(Variant v);
  // A date the source holds that no Variant can: reading it raises "Overflow".
  void addOutOfRange();
  void endRow();

  void fill(RowSource& source) {
    while (source.next(*this)) {
    }
  }
  bool fillOne(RowSource& source) { return source.next(*this); }
  void append(std::vector<Variant> row) {
    for (Variant& v : row) add(std::move(v));
    endRow();
  }
  void markDeleted(size_t row) {
    if (!deleted_[row]) ++deletedCount_;
    deleted_[row] = 1;
  }
  void clear();

 private:
  enum Kind : uint8_t { kEmpty, kNull, kI2, kI4, kR4, kR8, kCurrency, kDate, kBool, kUI1, kText, kWhole, kOutOfRange };
  // A number, a date, the index of a value kept whole, or a string in place: a BStr is one word
  // that does not depend on its address, so the cells may move as plain bytes.
  struct Cell {
    alignas(8) unsigned char bytes[8];
    int64_t& i() { return *reinterpret_cast<int64_t*>(bytes); }
    double& d() { return *reinterpret_cast<double*>(bytes); }
    BStr& s() { return *std::launder(reinterpret_cast<BStr*>(bytes)); }
  };
  static_assert(sizeof(BStr) == sizeof(Cell));

  // Rows are kept in chunks of a fixed number, so that a large table never moves as it grows.
  static constexpr size_t kChunkRows = 16384;
  struct Chunk {
    std::vector<Cell> cells;  // row after row
    std::vector<Kind> kinds;
  };
  struct Place {
    Cell& cell;
    Kind& kind;
  };
  Place at(size_t row, size_t col) const {
    Chunk& c = const_cast<Chunk&>(chunks_[row / kChunkRows]);
    const size_t i = row % kChunkRows * width() + col;
    return {c.cells[i], c.kinds[i]};
  }
  Chunk& chunkToAdd();
  void put(Place p, Variant&& v);
  void drop(Place p);  // lets go of what a cell holds

  std::vector<ColumnInfo> columns_;
  std::vector<Chunk> chunks_;
  std::vector<Variant> whole_;  // values kept whole, by the index their cell holds
  std::vector<uint8_t> deleted_;
  size_t deletedCount_ = 0;
};

}  // namespace tlx::platform::ado
