#include "platform/ado/cursor.h"

#include "platform/ado/connection.h"

namespace tlx::platform::ado {

namespace {

[[noreturn]] void noCurrentRecord() {
  throw ComError(hr::basicError(3021),
                 "Either BOF or EOF is True, or the current record has been deleted. "
                 "Requested operation requires a current record.");
}
[[noreturn]] void notSupported(const char* what) {
  throw ComError(hr::basicError(3251), std::string("The recordset does not support ") + what + ".");
}

}  // namespace

Cursor::Cursor(std::unique_ptr<RowSource> source, bool forwardOnly)
    : source_(std::move(source)), store_(source_->columns()), forwardOnly_(forwardOnly) {
  if (forwardOnly_) {
    store_.fillOne(*source_);
  } else {
    store_.fill(*source_);
    source_.reset();
  }
  pos_ = nextLive(-1, 1);
}

void Cursor::checkOpen() const {
  if (closed) raiseClosed();
}

ptrdiff_t Cursor::nextLive(ptrdiff_t from, int step) const {
  const ptrdiff_t n = static_cast<ptrdiff_t>(store_.size());
  for (ptrdiff_t p = from + step; p >= 0 && p < n; p += step)
    if (!store_.deleted(static_cast<size_t>(p))) return p;
  return step > 0 ? n : -1;
}

bool Cursor::bof() const {
  checkOpen();
  if (editMode_ == adEditAdd) return false;
  // A deleted current row keeps its place until the cursor moves. No rows at all is both ends,
  // but a forward-only cursor that has moved on had rows: past the last one is only EOF.
  return pos_ < 0 || (store_.live() == 0 && !movedOn_ && pos_ >= static_cast<ptrdiff_t>(store_.size()));
}

bool Cursor::eof() const {
  checkOpen();
  if (editMode_ == adEditAdd) return false;
  return pos_ >= static_cast<ptrdiff_t>(store_.size()) || (store_.live() == 0 && pos_ < 0);
}

int32_t Cursor::absolutePosition() const {
  if (bof()) return eof() && store_.live() == 0 ? -3 : -2;
  if (eof()) return -3;
  if (forwardOnly_) return -1;
  int32_t n = 1;
  for (ptrdiff_t p = 0; p < pos_; ++p) n += store_.deleted(static_cast<size_t>(p)) ? 0 : 1;
  return n;
}

void Cursor::moveTo(int32_t position) {
  checkOpen();
  if (forwardOnly_) notSupported("moving to a position");
  if (position < 1 || static_cast<size_t>(position) > store_.live()) noCurrentRecord();
  saveEdit();
  ptrdiff_t p = -1;
  for (int32_t i = 0; i < position; ++i) p = nextLive(p, 1);
  pos_ = p;
}

void Cursor::moveFirst() {
  checkOpen();
  saveEdit();
  if (forwardOnly_ && movedOn_) {
    // Going back on a forward-only cursor reads the rows again from the start.
    source_->restart();
    store_.clear();
    store_.fillOne(*source_);
    movedOn_ = false;
  }
  pos_ = nextLive(-1, 1);
}

void Cursor::moveLast() {
  checkOpen();
  if (forwardOnly_) notSupported("moving backwards");
  saveEdit();
  pos_ = nextLive(static_cast<ptrdiff_t>(store_.size()), -1);
  if (pos_ < 0) pos_ = static_cast<ptrdiff_t>(store_.size());
}

bool Cursor::readAhead() {
  store_.clear();
  movedOn_ = true;
  return store_.fillOne(*source_);
}

void Cursor::moveNext() {
  if (eof()) noCurrentRecord();
  saveEdit();
  if (forwardOnly_) {
    readAhead();
    pos_ = 0;
    return;
  }
  pos_ = nextLive(pos_, 1);
}

void Cursor::readRows(const std::function<void(Variant* values)>& visit) {
  std::vector<Variant> values(width());
  while (!eof()) {
    for (size_t c = 0; c < width(); ++c) values[c] = value(c);
    visit(values.data());
    moveNext();
  }
}

void Cursor::movePrevious() {
  checkOpen();
  if (forwardOnly_) notSupported("moving backwards");
  if (bof()) noCurrentRecord();
  saveEdit();
  pos_ = nextLive(std::min<ptrdiff_t>(pos_, static_cast<ptrdiff_t>(store_.size())), -1);
}

size_t Cursor::currentRow() const {
  if (bof() || eof() || store_.deleted(static_cast<size_t>(pos_))) noCurrentRecord();
  return static_cast<size_t>(pos_);
}

Variant Cursor::value(size_t col) {
  checkOpen();
  if (editMode_ != adEditNone) return edit_[col];
  return store_.value(currentRow(), col);
}

size_t Cursor::actualSize(size_t col) {
  const Variant v = value(col);
  if (v.isNull() || v.isEmpty()) return 0;
  if (v.isString()) return v.str().size();
  if (v.isArray()) return v.arrayRef().size();
  return 8;
}

void Cursor::requireWritable() const {
  checkOpen();
  if (!writer) notSupported("updating; it was opened read-only or not on one table");
}

void Cursor::setValue(size_t col, const Variant& v) {
  requireWritable();
  if (editMode_ == adEditNone) {
    const size_t row = currentRow();
    edit_ = store_.rowValues(row);
    changed_.assign(width(), false);
    editMode_ = adEditInProgress;
  }
  edit_[col] = v;
  changed_[col] = true;
}

void Cursor::addNew() {
  requireWritable();
  saveEdit();
  posBeforeAdd_ = pos_;
  edit_.assign(width(), Variant::null());
  changed_.assign(width(), false);
  editMode_ = adEditAdd;
}

void Cursor::update() {
  checkOpen();
  if (editMode_ == adEditAdd) {
    writer->insert(edit_.data(), changed_);
    store_.append(std::move(edit_));
    pos_ = static_cast<ptrdiff_t>(store_.size()) - 1;
  } else if (editMode_ == adEditInProgress) {
    const size_t row = currentRow();
    writer->update(store_.rowValues(row).data(), edit_.data(), changed_);
    for (size_t c = 0; c < width(); ++c) store_.setValue(row, c, std::move(edit_[c]));
  }
  editMode_ = adEditNone;
  edit_.clear();
}

void Cursor::cancelUpdate() {
  checkOpen();
  if (editMode_ == adEditAdd) pos_ = posBeforeAdd_;
  editMode_ = adEditNone;
  edit_.clear();
}

void Cursor::saveEdit() {
  if (editMode_ != adEditNone) update();
}

void Cursor::remove() {
  requireWritable();
  if (editMode_ == adEditAdd) return cancelUpdate();
  const size_t row = currentRow();
  editMode_ = adEditNone;
  writer->remove(store_.rowValues(row).data());
  store_.markDeleted(row);
}

}  // namespace tlx::platform::ado
