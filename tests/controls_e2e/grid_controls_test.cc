// Flex grids, list views and the data grid to and from two-dimensional arrays.
#include "controls_support.h"

namespace tlxtest {
namespace {

TEST(FlexGridArrays, ArrayIntoTheGridAndBackWithOrWithoutTheFixedRowAndColumn) {
  ObjRef fg = control("MSFlexGridLib.MSFlexGrid");
  Variant in = matrix({{"", "Qty", "Price"}, {"Bolt", "12", "0.15"}});
  EXPECT_EQ(TwoDArrayToFlexGrid(in, fg), 1);
  EXPECT_EQ(toI4(get(fg, "Rows")), 2);
  EXPECT_EQ(toI4(get(fg, "Cols")), 3);
  for (int32_t k = 0; k < 6; ++k)
    EXPECT_EQ(text(fg, "TextArray", {k}), (Texts{"", "Qty", "Price", "Bolt", "12", "0.15"})[k]);

  Variant out = emptyArray();
  EXPECT_EQ(FlexGridToArray(fg, out), 1);
  EXPECT_EQ(rowsOf(out), (Rows{{"", "Qty", "Price"}, {"Bolt", "12", "0.15"}}));
  EXPECT_EQ(HFlexGridToArray(fg, out, 1, 1), 1);
  EXPECT_EQ(rowsOf(out), (Rows{{"12", "0.15"}}));
  EXPECT_EQ(FlexGridToArray(fg, out, 0, 1, 1, 1), 1);
  EXPECT_EQ(rowsOf(out), (Rows{{"Qty"}, {"12"}}));

  // Lower bounds of 1: the grid is sized from the upper bounds and filled from cell 0 on.
  ObjRef hfg = control("MSHierarchicalFlexGridLib.MSHFlexGrid");
  Variant one = matrix({{"a", "b"}}, 1);
  EXPECT_EQ(TwoDArrayToFlexGrid(one, hfg), 1);
  EXPECT_EQ(toI4(get(hfg, "Rows")), 2);
  EXPECT_EQ(toI4(get(hfg, "Cols")), 3);
  EXPECT_EQ(text(hfg, "TextArray", {int32_t{1}}), "b");

  // Refusals: no array, a range outside the grid, a 1-D array, an element with no text.
  Variant none(u"x");
  EXPECT_EQ(FlexGridToArray(fg, none), -1);
  EXPECT_EQ(TwoDArrayToFlexGrid(none, fg), -1);
  EXPECT_EQ(FlexGridToArray(fg, out, 0, 0, 5, 0), -2);
  EXPECT_EQ(FlexGridToArray(fg, out, -2147483647, 0, 2147483647, 0), -2);  // more than an array holds
  EXPECT_EQ(out.arrayRef().ubound(1), 5);  // left as the failed call before dimensioned it
  // Dimensioned, then the first cell's index overflows: no wrap-around to another cell.
  EXPECT_EQ(FlexGridToArray(fg, out, 2147483646, 0, 2147483647, 1), -2);
  EXPECT_EQ(rowsOf(out), (Rows{{"<empty>", "<empty>"}, {"<empty>", "<empty>"}}));
  Variant flat = strings({"a"});
  EXPECT_EQ(TwoDArrayToFlexGrid(flat, fg), -2);
  Variant withNull = matrix({{"a", Variant::null()}});
  EXPECT_EQ(TwoDArrayToFlexGrid(withNull, fg), -2);
}

ObjRef listView(int selectedMask) {
  ObjRef lv = control("MSComctlLib.ListViewCtrl");
  ObjRef headers = objectOf(get(lv, "ColumnHeaders"));
  for (const char* h : {"Name", "Size", "Kind"})
    callMethod(headers, "Add", {Variant::missing(), Variant::missing(), Variant(h)});
  ObjRef items = objectOf(get(lv, "ListItems"));
  put(lv, "MultiSelect", {true});
  const char* rows[][3] = {{"a.txt", "12", "text"}, {"b.png", "400", "image"}, {"c", "", "folder"}};
  for (int i = 0; i < 3; ++i) {
    ObjRef it = objectOf(callMethod(items, "Add", {Variant::missing(), Variant::missing(), Variant(rows[i][0])}));
    put(it, "SubItems", {int32_t{1}, Variant(rows[i][1])});
    put(it, "SubItems", {int32_t{2}, Variant(rows[i][2])});
    if (selectedMask & (1 << i)) put(it, "Selected", {true});
  }
  return lv;
}

TEST(ListViewArrays, HeadingsSelectionAndSubItems) {
  Variant a = emptyArray();
  EXPECT_EQ(ListViewToArray(listView(0b101), a, false, true), 1);
  EXPECT_EQ(rowsOf(a), (Rows{{"Name", "Size", "Kind"},
                             {"a.txt", "12", "text"},
                             {"b.png", "400", "image"},
                             {"c", "", "folder"}}));
  EXPECT_EQ(ListViewToArray(listView(0b101), a, true), 1);
  EXPECT_EQ(rowsOf(a), (Rows{{"a.txt", "12", "text"}, {"c", "", "folder"}}));
  EXPECT_EQ(ListViewToArray(listView(0), a, true, true), 1);
  EXPECT_EQ(rowsOf(a), (Rows{{"Name", "Size", "Kind"}}));
  EXPECT_EQ(ListViewToArray(listView(0), a, true), -2);  // nothing to hold
  EXPECT_EQ(ListViewToArray(control("MSComctlLib.ListViewCtrl"), a), -2);
  EXPECT_EQ(ListViewToArray(control("VB.ListBox"), a), -2);
  Variant none;
  EXPECT_EQ(ListViewToArray(listView(0), none), -1);
}

// n records (i, "row i") as the data grid reads a recordset: EOF, MoveFirst, MoveNext,
// RecordCount (which may tell a wrong count, as an estimate does) and Fields, its own collection
// here, with Count and Item(c).Name and .Value.
class NumberedSource : public Object<NumberedSource> {
 public:
  NumberedSource(int32_t n, int32_t told) : n(n), told(told) {}
  static const Members<NumberedSource>& members();
  void requireRecord() const {
    if (at >= n) throw ComError(hr::basicError(3021), "Either BOF or EOF is True");
  }
  const int32_t n, told;
  int32_t at = 0;
};

class NumberedField : public Object<NumberedField> {
 public:
  NumberedField(Ref<NumberedSource> rs, int32_t c) : rs(std::move(rs)), c(c) {}
  static const Members<NumberedField>& members() {
    static const Members<NumberedField> m = [] {
      Members<NumberedField> t;
      t.property("Name", [](NumberedField& f, Args&) { return Variant(f.c ? "name" : "id"); });
      t.property("Value", [](NumberedField& f, Args&) {
        f.rs->requireRecord();
        return f.c ? Variant(("row " + std::to_string(f.rs->at)).c_str()) : Variant(f.rs->at);
      });
      return t;
    }();
    return m;
  }
  const Ref<NumberedSource> rs;
  const int32_t c;
};

const Members<NumberedSource>& NumberedSource::members() {
  static const Members<NumberedSource> m = [] {
    Members<NumberedSource> t;
    t.property("EOF", [](NumberedSource& s, Args&) { return Variant(s.at >= s.n); });
    t.property("RecordCount", [](NumberedSource& s, Args&) { return Variant(s.told); });
    t.property("Fields", [](NumberedSource& s, Args&) { return Variant(ObjRef(&s)); });
    t.property("Count", [](NumberedSource&, Args&) { return Variant(int32_t{2}); });
    t.property("Item", [](NumberedSource& s, Args& a) {
      return Variant(ObjRef(new NumberedField(Ref<NumberedSource>(&s), toI4(a[0]))));
    }, {}, {"Index"});
    t.method("MoveFirst", {}, [](NumberedSource& s, Args&) {
      s.at = 0;
      return Variant();
    });
    t.method("MoveNext", {}, [](NumberedSource& s, Args&) {
      s.requireRecord();
      ++s.at;
      return Variant();
    });
    return t;
  }();
  return m;
}

// A grid of 20 visible rows over n records, of which the source tells `told`.
ObjRef gridOver(int32_t n, int32_t told) {
  ObjRef dg = control("MSDataGridLib.DataGrid");
  put(dg, "RowHeight", {225.0});
  put(dg, "Height", {225.0 * 21});
  put(dg, "DataSource", {Variant(ObjRef(makeRef<NumberedSource>(n, told)))});
  return dg;
}

void expectNumberedRows(const Variant& a, int32_t first, int32_t n) {
  const SafeArray& s = a.arrayRef();
  for (int32_t i = 0; i < n; ++i) {
    ASSERT_EQ(toI4(s.at(first + i, 0)), i) << "row " << i;
    ASSERT_EQ(u8(toBStr(s.at(first + i, 1))), "row " + std::to_string(i));
  }
}

TEST(DataGridArrays, AnEstimateTooHighLeavesAnEmptyTailAndOneTooLowDropsNothing) {
  Variant a = emptyArray();
  ASSERT_EQ(DataGridToArray(gridOver(30, 35), a), 1);
  EXPECT_EQ(a.arrayRef().ubound(1), 34);
  expectNumberedRows(a, 0, 30);
  for (int32_t r = 30; r < 35; ++r) EXPECT_TRUE(a.arrayRef().at(r, 0).isEmpty()) << r;

  ObjRef dg = gridOver(50, 42);
  ASSERT_EQ(DataGridToArray(dg, a), 1);
  EXPECT_EQ(a.arrayRef().ubound(1), 49);
  expectNumberedRows(a, 0, 50);
  EXPECT_EQ(toI4(get(dg, "FirstRow")), 1);  // scrolled back to the top

  // Fewer records than fit: the grid shows only those.
  dg = gridOver(3, 3);
  EXPECT_EQ(toI4(get(dg, "VisibleRows")), 3);
  put(dg, "Height", {1e300});
  EXPECT_EQ(toI4(get(dg, "VisibleRows")), 3);
  ASSERT_EQ(DataGridToArray(dg, a), 1);
  expectNumberedRows(a, 0, 3);
}

TEST(DataGridArrays, EmptyGridsAndMissingArrays) {
  ObjRef dg = gridOver(0, 0);
  Variant a = strings({"keep"});
  EXPECT_EQ(DataGridToArray(dg, a), -2);
  EXPECT_EQ(texts(a), (Texts{"keep"}));
  EXPECT_EQ(DataGridToArray(dg, a, true), 1);
  EXPECT_EQ(rowsOf(a), (Rows{{"id", "name"}}));
  Variant none(int32_t{1});
  EXPECT_EQ(DataGridToArray(dg, none), -1);
  EXPECT_EQ(DataGridToArray(control("MSDataGridLib.DataGrid"), a), -2);  // bound to nothing
}

}  // namespace
}  // namespace tlxtest
