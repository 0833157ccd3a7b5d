// The position, the pending edit and the rows of one open recordset, shared with its fields.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "platform/ado/odbc_rows.h"
#include "platform/ado/rows.h"

namespace tlx::platform::ado {

enum EditMode : int32_t { adEditNone = 0, adEditInProgress = 1, adEditAdd = 2 };

class Cursor {
 public:
  // Every row is read now, unless `forwardOnly`: then rows are read as they are reached.
  Cursor(std::unique_ptr<RowSource> source, bool forwardOnly);

  const std::vector<ColumnInfo>& columns() const { return store_.columns(); }
  size_t width() const { return store_.width(); }
  bool forwardOnly() const { return forwardOnly_; }
  bool closed = false;
  std::unique_ptr<TableWriter> writer;  // none: read-only
  // Closed with its connection: lets go of the statement before the link goes.
  void close() {
    closed = true;
    source_.reset();
    writer.reset();
  }

  bool bof() const;
  bool eof() const;
  int32_t recordCount() const { return forwardOnly_ ? -1 : static_cast<int32_t>(store_.live()); }
  int32_t absolutePosition() const;
  void moveTo(int32_t position);  // 1-based among the rows not deleted
  void moveFirst();
  void moveLast();
  void moveNext();
  void movePrevious();
  // Each row from the current one to the last, its values in field order; ends at EOF.
  void readRows(const std::function<void(Variant* values)>& visit);

  int32_t editMode() const { return editMode_; }
  Variant value(size_t col);  // of the current row, pending changes included
  void setValue(size_t col, const Variant& v);
  size_t actualSize(size_t col);
  void addNew();
  void update();
  void cancelUpdate();
  void remove();
  void checkOpen() const;

 private:
  size_t currentRow() const;  // raises when there is no current row
  void requireWritable() const;
  void saveEdit();  // a pending edit is stored before the cursor moves
  ptrdiff_t nextLive(ptrdiff_t from, int step) const;
  bool readAhead();  // forward-only: replaces the row held by the next one

  std::unique_ptr<RowSource> source_;
  RowStore store_;
  bool forwardOnly_;
  bool movedOn_ = false;  // forward-only: gone past the first row
  ptrdiff_t pos_ = 0;
  int32_t editMode_ = adEditNone;
  std::vector<Variant> edit_;
  std::vector<bool> changed_;
  ptrdiff_t posBeforeAdd_ = 0;
};

}  // namespace tlx::platform::ado
