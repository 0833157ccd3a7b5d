// List and combo boxes as a form's code uses them.
#include "support/form_controls.h"

namespace tlxtest {
namespace {

TEST(ListBox, AddItemAtAnIndexRemoveItemAndTheListIndexFollowsItsEntry) {
  ObjRef lb = control("VB.ListBox");
  callMethod(lb, "AddItem", {Variant("b")});
  callMethod(lb, "AddItem", {Variant("d")});
  put(lb, "ListIndex", {int32_t{1}});  // "d"
  callMethod(lb, "AddItem", {Variant("a"), int32_t{0}});
  callMethod(lb, "AddItem", {Variant("c"), int32_t{2}});
  EXPECT_EQ(entries(lb), (std::vector<std::string>{"a", "b", "c", "d"}));
  EXPECT_EQ(toI4(get(lb, "NewIndex")), 2);
  EXPECT_EQ(toI4(get(lb, "ListIndex")), 3);
  EXPECT_EQ(text(lb, "Text"), "d");
  callMethod(lb, "RemoveItem", {int32_t{0}});
  EXPECT_EQ(toI4(get(lb, "ListIndex")), 2);
  callMethod(lb, "RemoveItem", {int32_t{2}});
  EXPECT_EQ(toI4(get(lb, "ListIndex")), -1);
  EXPECT_EQ(text(lb, "Text"), "");
  // Past the end an entry reads empty; below -1 and beyond the end to add or remove is refused.
  EXPECT_EQ(text(lb, "List", {int32_t{9}}), "");
  EXPECT_EQ(errorOf([&] { get(lb, "List", {int32_t{-1}}); }), hr::basicError(381));
  EXPECT_EQ(errorOf([&] { callMethod(lb, "AddItem", {Variant("x"), int32_t{5}}); }), hr::basicError(5));
  EXPECT_EQ(errorOf([&] { callMethod(lb, "RemoveItem", {int32_t{2}}); }), hr::basicError(5));
  EXPECT_EQ(errorOf([&] { put(lb, "ListIndex", {int32_t{2}}); }), hr::basicError(380));
  put(lb, "List", {int32_t{0}, Variant("B")});
  callMethod(lb, "Clear");
  EXPECT_EQ(toI4(get(lb, "ListCount")), 0);
}

TEST(ListBox, SortedInsertsInTextOrderWithoutCase) {
  ObjRef lb = control("VB.ListBox");
  put(lb, "Sorted", {true});
  for (const char* s : {"pear", "Apple", "banana", "apple", "10", "9"}) callMethod(lb, "AddItem", {Variant(s)});
  EXPECT_EQ(entries(lb), (std::vector<std::string>{"10", "9", "Apple", "apple", "banana", "pear"}));
}

TEST(ListBox, SelectionSingleAndMultiple) {
  ObjRef lb = control("VB.ListBox");
  for (const char* s : {"a", "b", "c"}) callMethod(lb, "AddItem", {Variant(s)});
  // One selection: selecting another moves it.
  put(lb, "Selected", {int32_t{1}, true});
  put(lb, "Selected", {int32_t{2}, true});
  EXPECT_FALSE(toBool(get(lb, "Selected", {int32_t{1}})));
  EXPECT_TRUE(toBool(get(lb, "Selected", {int32_t{2}})));
  EXPECT_EQ(text(lb, "Text"), "c");
  // Several: each entry keeps its own.
  put(lb, "MultiSelect", {int32_t{1}});
  put(lb, "Selected", {int32_t{0}, true});
  put(lb, "Selected", {int32_t{2}, true});
  put(lb, "Selected", {int32_t{0}, false});
  EXPECT_FALSE(toBool(get(lb, "Selected", {int32_t{0}})));
  EXPECT_FALSE(toBool(get(lb, "Selected", {int32_t{1}})));
  EXPECT_TRUE(toBool(get(lb, "Selected", {int32_t{2}})));
  EXPECT_EQ(errorOf([&] { get(lb, "Selected", {int32_t{3}}); }), hr::basicError(381));
  EXPECT_EQ(errorOf([&] { put(lb, "MultiSelect", {int32_t{3}}); }), hr::basicError(380));
  put(lb, "ItemData", {int32_t{1}, int32_t{42}});
  EXPECT_EQ(toI4(get(lb, "ItemData", {int32_t{1}})), 42);
}

TEST(ComboBox, KeepsItsOwnTextAndAnswersOnlyItsInterface) {
  ObjRef cb = control("VB.ComboBox");
  ObjRef lb = control("VB.ListBox");
  callMethod(cb, "AddItem", {Variant("red")});
  callMethod(cb, "AddItem", {Variant("green")});
  put(cb, "Text", {Variant("blue")});
  EXPECT_EQ(text(cb, "Text"), "blue");
  EXPECT_EQ(toI4(get(cb, "ListIndex")), -1);
  put(cb, "ListIndex", {int32_t{1}});
  EXPECT_EQ(text(cb, "Text"), "green");
  put(cb, "Text", {Variant("RED")});
  EXPECT_EQ(toI4(get(cb, "ListIndex")), 0);
  EXPECT_TRUE(cb->supports("{33AD4F09-6699-11CF-B70C-00AA0060D393}"));
  EXPECT_FALSE(cb->supports("{33AD4F11-6699-11CF-B70C-00AA0060D393}"));
  EXPECT_TRUE(lb->supports("{33AD4F11-6699-11CF-B70C-00AA0060D393}"));
  EXPECT_EQ(cb->typeName(), "ComboBox");
}

}  // namespace
}  // namespace tlxtest
