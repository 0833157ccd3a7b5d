// Flex grid, list view and tree view as a form's code uses them.
#include "support/form_controls.h"

namespace tlxtest {
namespace {

ObjRef item(const ObjRef& collection, Variant index) { return objectOf(get(collection, "Item", {std::move(index)})); }

TEST(FlexGrid, CellsByRowAndColumnOrOneIndexAndResizingKeepsWhatStays) {
  ObjRef fg = control("MSFlexGridLib.MSFlexGrid");
  EXPECT_EQ(toI4(get(fg, "Rows")), 2);
  EXPECT_EQ(toI4(get(fg, "FixedRows")), 1);
  put(fg, "Rows", {int32_t{3}});
  put(fg, "cols", {int32_t{4}});
  for (int32_t r = 0; r < 3; ++r)
    for (int32_t c = 0; c < 4; ++c) put(fg, "TextMatrix", {r, c, Variant(u16(std::to_string(r * 10 + c)))});
  EXPECT_EQ(text(fg, "TextArray", {int32_t{2 * 4 + 3}}), "23");
  put(fg, "TextArray", {int32_t{5}, 3.5});
  EXPECT_EQ(text(fg, "TextMatrix", {int32_t{1}, int32_t{1}}), "3.5");
  put(fg, "Cols", {int32_t{2}});
  put(fg, "Rows", {int32_t{4}});
  EXPECT_EQ(text(fg, "TextMatrix", {int32_t{2}, int32_t{1}}), "21");
  EXPECT_EQ(text(fg, "TextMatrix", {int32_t{3}, int32_t{1}}), "");
  EXPECT_EQ(text(fg, "TextArray", {int32_t{2 * 2 + 1}}), "21");
  put(fg, "Row", {int32_t{2}});
  put(fg, "Col", {int32_t{0}});
  EXPECT_EQ(text(fg, "Text"), "20");
  EXPECT_EQ(errorOf([&] { get(fg, "TextMatrix", {int32_t{4}, int32_t{0}}); }), hr::basicError(381));
  EXPECT_EQ(errorOf([&] { get(fg, "TextArray", {int32_t{8}}); }), hr::basicError(381));
  EXPECT_EQ(errorOf([&] { put(fg, "Row", {int32_t{4}}); }), hr::basicError(30009));
  EXPECT_EQ(errorOf([&] { put(fg, "Rows", {int32_t{0}}); }), hr::basicError(30009));
  EXPECT_EQ(errorOf([&] { put(fg, "TextArray", {int32_t{0}, Variant::null()}); }), hr::DISP_E_TYPEMISMATCH);
  EXPECT_EQ(errorOf([&] { put(fg, "Rows", {int32_t{100000}}), put(fg, "Cols", {int32_t{100000}}); }),
            hr::basicError(7));
  put(fg, "Rows", {int32_t{4}});
  put(fg, "FixedRows", {int32_t{0}});
  put(fg, "Rows", {int32_t{0}});
  EXPECT_EQ(toI4(get(fg, "Rows")), 0);
  EXPECT_EQ(control("MSHierarchicalFlexGridLib.MSHFlexGrid")->typeName(), "MSHFlexGrid");
}

TEST(ListView, ItemsByIndexOrKeySubItemsUnderTheHeadersAndSelection) {
  ObjRef lv = control("MSComctlLib.ListViewCtrl");
  ObjRef headers = objectOf(get(lv, "ColumnHeaders"));
  for (const char* h : {"Name", "Size", "Kind"})
    callMethod(headers, "Add", {Variant::missing(), Variant::missing(), Variant(h)});
  EXPECT_EQ(text(item(headers, int32_t{2}), "Text"), "Size");
  ObjRef items = objectOf(get(lv, "ListItems"));
  ObjRef b = objectOf(callMethod(items, "Add", {Variant::missing(), Variant("kb"), Variant("b")}));
  callMethod(items, "Add", {int32_t{1}, Variant("ka"), Variant("a")});
  put(b, "SubItems", {int32_t{2}, Variant("file")});
  EXPECT_EQ(toI4(get(b, "Index")), 2);
  EXPECT_EQ(text(item(items, Variant("ka")), "Text"), "a");
  EXPECT_EQ(text(b, "SubItems", {int32_t{1}}), "");
  EXPECT_EQ(text(b, "SubItems", {int32_t{2}}), "file");
  EXPECT_EQ(errorOf([&] { get(b, "SubItems", {int32_t{3}}); }), hr::basicError(380));
  EXPECT_EQ(errorOf([&] { callMethod(items, "Add", {Variant::missing(), Variant("ka"), Variant("x")}); }),
            hr::basicError(35602));
  EXPECT_EQ(errorOf([&] { item(items, Variant("zz")); }), hr::basicError(35601));
  EXPECT_EQ(errorOf([&] { item(items, int32_t{3}); }), hr::basicError(35600));

  // One selection unless MultiSelect.
  put(item(items, int32_t{1}), "Selected", {true});
  put(b, "Selected", {true});
  EXPECT_FALSE(toBool(get(item(items, int32_t{1}), "Selected")));
  EXPECT_EQ(text(objectOf(get(lv, "SelectedItem")), "Text"), "b");
  put(lv, "MultiSelect", {true});
  put(item(items, int32_t{1}), "Selected", {true});
  EXPECT_TRUE(toBool(get(b, "Selected")));

  callMethod(items, "Remove", {Variant("ka")});
  EXPECT_EQ(toI4(get(items, "Count")), 1);
  EXPECT_EQ(toI4(get(b, "Index")), 1);
  callMethod(items, "Clear");
  EXPECT_EQ(toI4(get(items, "Count")), 0);
  EXPECT_EQ(text(b, "Text"), "b");  // the host's own reference still answers
}

// Texts of the nodes in the order Nodes gives them.
std::vector<std::string> order(const ObjRef& tv) {
  std::vector<std::string> out;
  for (Variant& n : objectOf(get(tv, "Nodes"))->enumerate()) out.push_back(text(objectOf(n), "FullPath"));
  return out;
}

TEST(TreeView, AddByRelationshipEnumerateInOrderOfAdditionAndWalkTheLinks) {
  ObjRef tv = control("MSComctlLib.TreeCtrl");
  ObjRef nodes = objectOf(get(tv, "Nodes"));
  auto add = [&](Variant rel, Variant how, Variant key, const char* t) {
    return objectOf(callMethod(nodes, "Add", {rel, how, key, Variant(t)}));
  };
  const Variant none = Variant::missing();
  ObjRef a = add(none, none, Variant("A"), "a");
  ObjRef c = add(Variant("A"), int32_t{4}, Variant("C"), "c");
  add(c, int32_t{3}, none, "b");           // previous: before c
  add(c, int32_t{2}, none, "d");           // next: after c
  add(Variant("C"), int32_t{0}, none, "first");  // first among c's siblings
  add(int32_t{1}, int32_t{1}, none, "z");  // last among the roots
  add(c, int32_t{4}, Variant("E"), "e");
  EXPECT_EQ(order(tv), (std::vector<std::string>{"a", "a\\c", "a\\b", "a\\d", "a\\first", "z", "a\\c\\e"}));
  EXPECT_EQ(toI4(get(a, "Children")), 4);
  EXPECT_EQ(text(objectOf(get(a, "Child")), "Text"), "first");
  EXPECT_EQ(text(objectOf(get(objectOf(get(a, "Child")), "Next")), "Text"), "b");
  EXPECT_EQ(text(objectOf(get(objectOf(get(nodes, "Item", {Variant("E")})), "Root")), "Text"), "a");
  EXPECT_EQ(text(objectOf(get(objectOf(get(nodes, "Item", {Variant("E")})), "Parent")), "Key"), "C");
  EXPECT_FALSE(objectOf(get(nodes, "Item", {int32_t{6}})) == ObjRef());
  EXPECT_TRUE(get(a, "Parent").obj() == ObjRef());
  EXPECT_TRUE(get(objectOf(get(nodes, "Item", {int32_t{6}})), "Next").obj() == ObjRef());
  put(tv, "PathSeparator", {Variant("/")});
  EXPECT_EQ(text(objectOf(get(nodes, "Item", {Variant("E")})), "FullPath"), "a/c/e");

  EXPECT_EQ(errorOf([&] { add(Variant("A"), none, Variant("C"), "dup"); }), hr::basicError(35602));
  EXPECT_EQ(errorOf([&] { add(Variant("nope"), int32_t{4}, none, "x"); }), hr::basicError(35601));
  EXPECT_EQ(errorOf([&] { add(Variant("A"), int32_t{7}, none, "x"); }), hr::basicError(5));
  EXPECT_EQ(toI4(get(nodes, "Count")), 7);

  // EnsureVisible opens the way down; Selected is one node.
  ObjRef e = objectOf(get(nodes, "Item", {Variant("E")}));
  EXPECT_FALSE(toBool(get(e, "Visible")));
  callMethod(e, "EnsureVisible");
  EXPECT_TRUE(toBool(get(c, "Expanded")));
  EXPECT_TRUE(toBool(get(a, "Expanded")));
  put(e, "Selected", {true});
  put(a, "Selected", {true});
  EXPECT_FALSE(toBool(get(e, "Selected")));
  EXPECT_EQ(text(objectOf(get(tv, "SelectedItem")), "Text"), "a");
}

TEST(TreeView, RemovingABranchRenumbersTheRestAndLeavesTheHostsNodesDetached) {
  ObjRef tv = control("MSComctlLib.TreeCtrl");
  ObjRef nodes = objectOf(get(tv, "Nodes"));
  const Variant none = Variant::missing();
  ObjRef a = objectOf(callMethod(nodes, "Add", {none, none, Variant("A"), Variant("a")}));
  ObjRef b = objectOf(callMethod(nodes, "Add", {a, int32_t{4}, Variant("B"), Variant("b")}));
  callMethod(nodes, "Add", {b, int32_t{4}, none, Variant("b1")});
  ObjRef z = objectOf(callMethod(nodes, "Add", {none, none, Variant("Z"), Variant("z")}));
  callMethod(nodes, "Add", {a, int32_t{4}, none, Variant("c")});
  callMethod(nodes, "Remove", {Variant("B")});
  EXPECT_EQ(order(tv), (std::vector<std::string>{"a", "z", "a\\c"}));
  EXPECT_EQ(toI4(get(z, "Index")), 2);
  EXPECT_EQ(toI4(get(a, "Children")), 1);
  EXPECT_EQ(errorOf([&] { get(b, "Index"); }), hr::basicError(35605));
  // The key is free again.
  callMethod(nodes, "Add", {none, none, Variant("B"), Variant("again")});
  callMethod(nodes, "Clear");
  EXPECT_EQ(toI4(get(nodes, "Count")), 0);
  EXPECT_EQ(text(a, "FullPath"), "a");
  // The tree goes; a node the host holds stays usable as a node of no tree.
  tv.reset();
  nodes.reset();
  EXPECT_EQ(text(z, "Text"), "z");
  EXPECT_TRUE(get(z, "Parent").obj() == ObjRef());
}

}  // namespace
}  // namespace tlxtest
