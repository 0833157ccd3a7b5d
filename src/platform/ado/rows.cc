#include "platform/ado/rows.h"

namespace tlx::ado {

Variant RowStore::value(size_t row, size_t col) const {
  const size_t i = at(row, col);
  Cell& c = const_cast<Cell&>(cells_[i]);
  switch (kinds_[i]) {
    case kEmpty: return Variant();
    case kNull: return Variant::null();
    case kI2: return Variant(static_cast<int16_t>(c.i()));
    case kI4: return Variant(static_cast<int32_t>(c.i()));
    case kR4: return Variant(static_cast<float>(c.d()));
    case kR8: return Variant(c.d());
    case kCurrency: return Variant(Currency{c.i()});
    case kDate: return Variant(Date{c.d()});
    case kBool: return Variant(c.i() != 0);
    case kUI1: return Variant(static_cast<uint8_t>(c.i()));
    case kText: return Variant(c.s());
    case kWhole: return whole_[static_cast<size_t>(c.i())];
    case kOutOfRange: break;
  }
  throw ComError(hr::DISP_E_OVERFLOW, "Overflow: the date is outside the range a Variant holds (1/1/100 to 12/31/9999)");
}

std::vector<Variant> RowStore::rowValues(size_t row) const {
  std::vector<Variant> out;
  for (size_t c = 0; c < width(); ++c) out.push_back(value(row, c));
  return out;
}

void RowStore::put(size_t i, Variant&& v) {
  Cell& c = cells_[i];
  Kind& k = kinds_[i];
  switch (v.type()) {
    case vtEmpty: k = kEmpty; break;
    case vtNull: k = kNull; break;
    case vtI2: k = kI2, c.i() = v.i2(); break;
    case vtI4: k = kI4, c.i() = v.i4(); break;
    case vtR4: k = kR4, c.d() = v.r4(); break;
    case vtR8: k = kR8, c.d() = v.r8(); break;
    case vtCurrency: k = kCurrency, c.i() = v.currency(); break;
    case vtDate: k = kDate, c.d() = v.date(); break;
    case vtBoolean: k = kBool, c.i() = v.boolean(); break;
    case vtUI1: k = kUI1, c.i() = v.ui1(); break;
    case vtString:
      k = kText;
      new (c.bytes) BStr(std::move(v.str()));
      break;
    default:
      k = kWhole;
      c.i() = static_cast<int64_t>(whole_.size());
      whole_.push_back(std::move(v));
  }
}

void RowStore::drop(size_t i) {
  if (kinds_[i] == kText) cells_[i].s().~BStr();
  // A value kept whole is freed now; its place stays, unless it is the last.
  if (kinds_[i] == kWhole) whole_[static_cast<size_t>(cells_[i].i())] = Variant();
  kinds_[i] = kEmpty;
}

void RowStore::setValue(size_t row, size_t col, Variant v) {
  const size_t i = at(row, col);
  drop(i);
  put(i, std::move(v));
}

void RowStore::add(Variant v) {
  cells_.emplace_back();
  kinds_.emplace_back();
  put(cells_.size() - 1, std::move(v));
}

void RowStore::addOutOfRange() {
  cells_.emplace_back();
  kinds_.push_back(kOutOfRange);
}

void RowStore::endRow() { deleted_.push_back(0); }

void RowStore::removeLast() {
  if (deleted_.back()) --deletedCount_;
  deleted_.pop_back();
  for (size_t i = cells_.size() - width(); i < cells_.size(); ++i) drop(i);
  cells_.resize(cells_.size() - width());
  kinds_.resize(kinds_.size() - width());
}

void RowStore::clear() {
  // Texts from one arena block are let go together.
  BStrBatchRelease texts;
  for (size_t i = 0; i < cells_.size(); ++i)
    if (kinds_[i] == kText) texts.add(cells_[i].s());
  cells_.clear();
  kinds_.clear();
  whole_.clear();
  deleted_.clear();
  deletedCount_ = 0;
}

}  // namespace tlx::ado
