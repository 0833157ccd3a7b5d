// Tree views to and from outline arrays.
#include "controls_support.h"

namespace tlxtest {
namespace {

const Variant none = Variant::missing();

ObjRef nodesOf(const ObjRef& tv) { return objectOf(get(tv, "Nodes")); }
ObjRef addNode(const ObjRef& tv, Variant parent, const std::string& t) {
  const bool root = parent.isMissing();
  return objectOf(callMethod(nodesOf(tv), "Add", {parent, root ? none : Variant(int16_t{4}), none, Variant(u16(t))}));
}

// Every node as "parent text > text", in the tree's enumeration order.
std::vector<std::string> links(const ObjRef& tv) {
  std::vector<std::string> out;
  for (Variant& v : nodesOf(tv)->enumerate()) {
    ObjRef n = objectOf(v), p = get(n, "Parent").obj();
    out.push_back((p ? text(p, "Text") : std::string("-")) + " > " + text(n, "Text"));
  }
  return out;
}

ObjRef sampleTree() {  // A(B(C), D)
  ObjRef tv = control("MSComctlLib.TreeCtrl");
  ObjRef a = addNode(tv, none, "A");
  ObjRef b = addNode(tv, a, "B");
  addNode(tv, b, "C");
  addNode(tv, a, "D");
  return tv;
}

TEST(TreeArrays, OneRowPerNodeOrOneRowPerBranch) {
  Variant a = emptyArray();
  ASSERT_EQ(TreeViewToTwoDArray(sampleTree(), a), 1);
  EXPECT_EQ(rowsOf(a), (Rows{{"A", "<empty>", "<empty>"},
                             {"<empty>", "B", "<empty>"},
                             {"<empty>", "<empty>", "C"},
                             {"<empty>", "D", "<empty>"}}));
  ASSERT_EQ(TreeViewToTwoDArray(sampleTree(), a, true), 1);
  EXPECT_EQ(rowsOf(a), (Rows{{"A", "B", "C"}, {"<empty>", "D", "<empty>"}}));

  ObjRef rebuilt = control("MSComctlLib.TreeCtrl");
  ASSERT_EQ(TwoDArrayToTreeView(a, rebuilt), 1);
  EXPECT_EQ(links(rebuilt), (Texts{"- > A", "A > B", "B > C", "A > D"}));
  EXPECT_TRUE(toBool(get(objectOf(get(nodesOf(rebuilt), "Item", {int32_t{1}})), "Selected")));
  EXPECT_FALSE(toBool(get(objectOf(get(nodesOf(rebuilt), "Item", {int32_t{3}})), "Visible")));

  // The depth comes from the path separator, when it is one character.
  ObjRef tv = sampleTree();
  put(tv, "PathSeparator", {Variant("::")});
  ASSERT_EQ(TreeViewToTwoDArray(tv, a), 1);
  EXPECT_EQ(rowsOf(a), (Rows{{"A"}, {"B"}, {"C"}, {"D"}}));
  put(tv, "PathSeparator", {Variant("/")});
  ASSERT_EQ(TreeViewToTwoDArray(tv, a, true), 1);
  EXPECT_EQ(rowsOf(a)[1], (Texts{"<empty>", "D", "<empty>"}));

  // Six levels deep with a sibling at the deepest, there and back: a sibling starts a row.
  Variant chain = matrix({{"1", "2", "3", "4", "5", "6"}, {"", "", "", "", "", "7"}});
  ObjRef deep = control("MSComctlLib.TreeCtrl");
  ASSERT_EQ(TwoDArrayToTreeView(chain, deep), 1);
  ASSERT_EQ(TreeViewToTwoDArray(deep, a, true), 1);
  const std::string e = "<empty>";
  EXPECT_EQ(rowsOf(a), (Rows{{"1", "2", "3", "4", "5", "6"}, {e, e, e, e, e, "7"}}));
}

TEST(TreeArrays, LeadingEmptyCellsContinueTheOutlineAndExpandAllOpensIt) {
  // Numbers become their text; an empty string and Null are empty cells.
  Variant a = matrix({{"A", "B", Variant()}, {Variant(), "C", int32_t{7}}, {"", Variant::null(), Variant()}}, 1);
  ObjRef tv = control("MSComctlLib.TreeCtrl");
  ASSERT_EQ(TwoDArrayToTreeView(a, tv, true), 1);
  EXPECT_EQ(links(tv), (Texts{"- > A", "A > B", "A > C", "C > 7"}));
  EXPECT_TRUE(toBool(get(objectOf(get(nodesOf(tv), "Item", {int32_t{4}})), "Visible")));
}

TEST(TreeArrays, OutlinesWithoutAParentFailAndKeepWhatWasBuilt) {
  ObjRef tv = control("MSComctlLib.TreeCtrl");
  // The third cell of row 2 has no level-2 parent in its branch: not the stale B of row 1.
  Variant gap = matrix({{"A", "B", Variant()}, {"X", Variant(), "Y"}});
  EXPECT_EQ(TwoDArrayToTreeView(gap, tv), -2);
  EXPECT_EQ(links(tv), (Texts{"- > A", "A > B", "- > X"}));

  Variant orphan = matrix({{Variant(), "child"}});
  EXPECT_EQ(TwoDArrayToTreeView(orphan, control("MSComctlLib.TreeCtrl")), -2);
  Variant blank = Variant(SafeArray::matrix(2, 2));
  EXPECT_EQ(TwoDArrayToTreeView(blank, control("MSComctlLib.TreeCtrl")), -2);
  Variant nothing;
  EXPECT_EQ(TwoDArrayToTreeView(nothing, tv), -1);
  Variant a = strings({"keep"});
  EXPECT_EQ(TreeViewToTwoDArray(control("MSComctlLib.TreeCtrl"), a), -2);
  EXPECT_EQ(TreeViewToTwoDArray(control("MSComctlLib.TreeCtrl"), a, true), -2);
  EXPECT_EQ(texts(a), (Texts{"keep"}));
}

}  // namespace
}  // namespace tlxtest
