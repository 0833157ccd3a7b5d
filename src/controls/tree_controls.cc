// Tree views to and from outline arrays: row r, column c holds a node of depth c.
#include <algorithm>

#include "talvex/convert.h"
#include "controls/control_arrays.h"
#include "controls/controls.h"

namespace tlx {

namespace {

using controls::redimTwoD;

// A node's depth: how often the tree's one-character separator occurs in its full path.
int16_t depthOf(const ObjRef& node, std::u16string_view separator) {
  if (separator.size() != 1) return 0;
  const BStr path = toBStr(getProperty(node, "FullPath"));
  return toI2(Variant(static_cast<int32_t>(std::count(path.begin(), path.end(), separator[0]))));
}

// Len() of a cell: Empty and Null have none.
bool hasText(const Variant& cell) { return !cell.isEmpty() && !cell.isNull() && !toBStr(cell).empty(); }

}  // namespace

int16_t TreeViewToTwoDArray(const ObjRef& tv, Variant& varArray, bool blnSuppressRows) {
  if (!varArray.isArray()) return -1;
  try {
    const BStr separator = toBStr(getProperty(tv, "PathSeparator"));
    const std::vector<Variant> nodes = objectOf(getProperty(tv, "Nodes"))->enumerate();
    std::vector<int16_t> depth;
    int16_t deepest = 0;
    for (const Variant& n : nodes) deepest = std::max(deepest, depth.emplace_back(depthOf(objectOf(n), separator)));
    // A node starts a new row unless it goes deeper than the node before it (rows suppressed).
    auto startsRow = [&](size_t i) { return i > 0 && (!blnSuppressRows || depth[i] <= depth[i - 1]); };
    int32_t rows = nodes.empty() ? 0 : 1;
    for (size_t i = 0; i < nodes.size(); ++i) rows += startsRow(i) ? 1 : 0;
    SafeArray& a = redimTwoD(varArray, rows, deepest + 1);
    for (size_t i = 0, row = 0; i < nodes.size(); ++i) {
      if (startsRow(i)) ++row;
      a.at(static_cast<int32_t>(row), depth[i]) = getProperty(objectOf(nodes[i]), "Text");
    }
    return 1;
  } catch (...) {
    return -2;
  }
}

// The last node made at each level of the outline; a node made at one level ends the branches
// below it, so a cell whose parent level was skipped finds no parent instead of a stale one.
int16_t TwoDArrayToTreeView(Variant& varArray, const ObjRef& tv, bool blnExpandAll) {
  if (!varArray.isArray()) return -1;
  try {
    const SafeArray& a = varArray.arrayRef();
    const ObjRef nodes = objectOf(getProperty(tv, "Nodes"));
    std::vector<ObjRef> lastAt;
    for (int32_t r = a.lbound(1); r <= a.ubound(1); ++r) {
      int16_t level = 0;
      for (int32_t c = a.lbound(2); c <= a.ubound(2); ++c) {
        level = toI2(Variant(int32_t{level} + 1));
        const Variant& cell = a.at(r, c);
        if (!hasText(cell)) continue;
        const Variant text(toBStr(cell));
        ObjRef node;
        if (level == 1) {
          node = objectOf(callMethod(nodes, "Add", {Variant::missing(), Variant::missing(), Variant::missing(), text}));
        } else {
          if (static_cast<size_t>(level - 1) > lastAt.size()) return -2;
          node = objectOf(callMethod(nodes, "Add", {Variant(lastAt[level - 2]), Variant(int16_t{4}), Variant::missing(), text}));
          if (blnExpandAll) callMethod(node, "EnsureVisible");
        }
        lastAt.resize(static_cast<size_t>(level));
        lastAt.back() = node;
      }
    }
    putProperty(objectOf(getProperty(nodes, "Item", {Variant(int16_t{1})})), "Selected", Variant(true));
    return 1;
  } catch (...) {
    return -2;
  }
}

}  // namespace tlx
