#include "platform/ado/rows.h"

namespace tlx::platform::ado {

Variant RowStore::value(size_t row, size_t col) const {
  const Place p = at(row, col);
  Cell& c = p.cell;
  switch (p.kind) {
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

void RowStore::put(Place p, Variant&& v) {
  Cell& c = p.cell;
  Kind& k = p.kind;
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

void RowStore::drop(Place p) {
  if (p.kind == kText) p.cell.s().~BStr();
  // A value kept whole is freed now; its place stays.
  if (p.kind == kWhole) whole_[static_cast<size_t>(p.cell.i())] = Variant();
  p.kind = kEmpty;
}

void RowStore::setValue(size_t row, size_t col, Variant v) {
  drop(at(row, col));
  put(at(row, col), std::move(v));
}

RowStore::Chunk& RowStore::chunkToAdd() {
  // A new chunk after a full one is made at its full size at once; the first grows as needed.
  if (chunks_.empty() || chunks_.back().kinds.size() == kChunkRows * width()) {
    Chunk& c = chunks_.emplace_back();
    if (chunks_.size() > 1) c.cells.reserve(kChunkRows * width()), c.kinds.reserve(kChunkRows * width());
  }
  return chunks_.back();
}

void RowStore::add(Variant v) {
  Chunk& c = chunkToAdd();
  put({c.cells.emplace_back(), c.kinds.emplace_back()}, std::move(v));
}

void RowStore::addOutOfRange() {
  Chunk& c = chunkToAdd();
  c.cells.emplace_back();
  c.kinds.push_back(kOutOfRange);
}

void RowStore::endRow() { deleted_.push_back(0); }

void RowStore::clear() {
  // Texts from one arena block are let go together.
  BStrBatchRelease texts;
  for (Chunk& c : chunks_)
    for (size_t i = 0; i < c.cells.size(); ++i)
      if (c.kinds[i] == kText) texts.add(c.cells[i].s());
  // The first chunk keeps its room: a forward-only cursor clears the store for every row.
  if (chunks_.size() > 1) chunks_.resize(1);
  for (Chunk& c : chunks_) c.cells.clear(), c.kinds.clear();
  whole_.clear();
  deleted_.clear();
  deletedCount_ = 0;
}

}  // namespace tlx::platform::ado
