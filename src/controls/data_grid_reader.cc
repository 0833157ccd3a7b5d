// A data grid into a two-dimensional array, record by record through the grid's current cell.
#include <algorithm>
#include <vector>

#include "talvex/convert.h"
#include "controls/control_arrays.h"
#include "controls/controls.h"

namespace tlx {

namespace {

// Walks the grid's records in order: the first visible rows one by one, then the last visible
// row again and again, which brings the next record into it. The grid's Bookmark tells when no
// record came any more, so the walk neither stops at an estimate that was too low nor repeats
// the last record when it was too high. A grid without bookmarks is walked for ApproxCount
// records.
class GridWalk {
 public:
  GridWalk(const ObjRef& dg) : dg_(dg) {
    lastCol_ = toI2(Variant(toI4(getProperty(objectOf(getProperty(dg, "Columns")), "Count")) - 1));
    estimate_ = toI4(getProperty(dg, "ApproxCount"));
    vis_ = toI2(getProperty(dg, "VisibleRows"));
  }

  int16_t lastCol() const { return lastCol_; }
  int32_t estimate() const { return estimate_; }

  // Moves to the next record; false when there is none.
  bool next() {
    if (read_ >= estimate_ && (!bookmarks_ || vis_ <= 0)) return false;
    if (g_ == vis_) g_ = static_cast<int16_t>(vis_ - 1);
    else if (toI2(getProperty(dg_, "VisibleRows")) != vis_) g_ = 0;
    putProperty(dg_, "row", Variant(g_));
    g_ = static_cast<int16_t>(g_ + 1);
    if (bookmarks_ && !movedToAnotherRecord()) return false;
    ++read_;
    return true;
  }

  std::vector<Variant> cells() {
    std::vector<Variant> row;
    for (int16_t c = 0; c <= lastCol_; ++c) {
      putProperty(dg_, "col", Variant(c));
      row.push_back(getProperty(dg_, "Text"));
    }
    return row;
  }

 private:
  // False when the grid stayed on the record it showed before.
  bool movedToAnotherRecord() {
    Variant mark;
    try {
      mark = getProperty(dg_, "Bookmark");
    } catch (...) {
      if (read_ > 0) throw;
      bookmarks_ = false;  // not a grid that tells its records apart
      return read_ < estimate_;
    }
    const bool moved = read_ == 0 || !(mark == previous_);
    previous_ = std::move(mark);
    return moved;
  }

  ObjRef dg_;
  int16_t lastCol_ = 0, vis_ = 0, g_ = 0;
  int32_t estimate_ = 0, read_ = 0;
  bool bookmarks_ = true;
  Variant previous_;
};

void storeRows(Variant& varArray, const std::vector<std::vector<Variant>>& rows, int32_t estimate, int16_t lastCol,
               const std::vector<Variant>* headings) {
  const int32_t first = headings ? 1 : 0;
  const int64_t records = std::max<int64_t>(estimate, static_cast<int64_t>(rows.size()));
  SafeArray& a = controls::redimTwoD(varArray, records + first, int64_t{lastCol} + 1);
  if (headings)
    for (int32_t c = 0; c <= lastCol; ++c) a.at(0, c) = (*headings)[static_cast<size_t>(c)];
  for (size_t r = 0; r < rows.size(); ++r)
    for (int32_t c = 0; c <= lastCol; ++c) a.at(static_cast<int32_t>(r) + first, c) = rows[r][static_cast<size_t>(c)];
}

}  // namespace

int16_t DataGridToArray(const ObjRef& dg, Variant& varArray, bool blnIncludeHeadings) {
  if (!varArray.isArray()) return -1;
  std::vector<std::vector<Variant>> rows;
  std::vector<Variant> headings;
  int32_t estimate = 0;
  int16_t lastCol = -1;
  try {
    GridWalk walk(dg);
    estimate = walk.estimate();
    lastCol = walk.lastCol();
    if (blnIncludeHeadings) {
      const ObjRef columns = objectOf(getProperty(dg, "Columns"));
      for (int16_t c = 0; c <= lastCol; ++c)
        headings.push_back(getProperty(objectOf(getProperty(columns, "Item", {Variant(c)})), "Caption"));
    }
    while (walk.next()) rows.push_back(walk.cells());
    storeRows(varArray, rows, estimate, lastCol, blnIncludeHeadings ? &headings : nullptr);
    const int32_t back = std::max<int32_t>(estimate, static_cast<int32_t>(rows.size()));
    callMethod(dg, "Scroll", {Variant(int32_t{0}), Variant(-back)});
    return 1;
  } catch (...) {
    // What was read before the failure is kept, as a walk storing cell by cell would have.
    try {
      if (lastCol >= 0 && (!rows.empty() || !headings.empty()))
        storeRows(varArray, rows, estimate, lastCol, blnIncludeHeadings ? &headings : nullptr);
    } catch (...) {
    }
    return -2;
  }
}

}  // namespace tlx
