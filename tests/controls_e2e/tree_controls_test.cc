// Tree views to and from outline arrays, on the documented shapes and on random trees.
#include <random>

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

// Every node as its full path, sorted: the tree's shape without the order of addition.
std::vector<std::string> paths(const ObjRef& tv) {
  std::vector<std::string> out;
  for (Variant& v : nodesOf(tv)->enumerate()) out.push_back(text(objectOf(v), "FullPath"));
  std::sort(out.begin(), out.end());
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
}

TEST(TreeArrays, LeadingEmptyCellsContinueTheOutlineAndExpandAllOpensIt) {
  Variant a = emptyArray();
  {
    auto m = std::make_unique<SafeArray>(std::vector<Bound>{Bound{1, 3}, Bound{1, 3}});
    m->at(1, 1) = Variant(u"A");
    m->at(1, 2) = Variant(u"B");
    m->at(2, 2) = Variant(u"C");
    m->at(2, 3) = Variant(int32_t{7});  // numbers become their text
    m->at(3, 1) = Variant(u"");
    m->at(3, 2) = Variant::null();
    a = Variant(std::move(m));
  }
  ObjRef tv = control("MSComctlLib.TreeCtrl");
  ASSERT_EQ(TwoDArrayToTreeView(a, tv, true), 1);
  EXPECT_EQ(links(tv), (Texts{"- > A", "A > B", "A > C", "C > 7"}));
  EXPECT_TRUE(toBool(get(objectOf(get(nodesOf(tv), "Item", {int32_t{4}})), "Visible")));
}

TEST(TreeArrays, OutlinesWithoutAParentFailAndKeepWhatWasBuilt) {
  ObjRef tv = control("MSComctlLib.TreeCtrl");
  // The third cell of row 2 has no level-2 parent in its branch: not the stale B of row 1.
  Variant gap = Variant(SafeArray::matrix(2, 3));
  gap.arrayRef().at(0, 0) = Variant(u"A");
  gap.arrayRef().at(0, 1) = Variant(u"B");
  gap.arrayRef().at(1, 0) = Variant(u"X");
  gap.arrayRef().at(1, 2) = Variant(u"Y");
  EXPECT_EQ(TwoDArrayToTreeView(gap, tv), -2);
  EXPECT_EQ(links(tv), (Texts{"- > A", "A > B", "- > X"}));

  Variant orphan = Variant(SafeArray::matrix(1, 2));
  orphan.arrayRef().at(0, 1) = Variant(u"child");
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

// Random trees built in depth-first order, the order in which the outline lists them.
ObjRef randomTree(std::mt19937& rng, int nodes) {
  ObjRef tv = control("MSComctlLib.TreeCtrl");
  std::vector<ObjRef> chain;  // the current branch, root first
  for (int i = 0; i < nodes; ++i) {
    const size_t depth = chain.empty() ? 0 : std::uniform_int_distribution<size_t>(0, std::min<size_t>(chain.size(), 5))(rng);
    chain.resize(depth);
    ObjRef n = addNode(tv, depth ? Variant(chain.back()) : none, "n" + std::to_string(i));
    chain.push_back(n);
  }
  return tv;
}

TEST(TreeArrays, RandomTreesRoundTripInBothModes) {
  std::mt19937 rng(20261206);
  for (int round = 0; round < 40; ++round) {
    ObjRef tv = randomTree(rng, 1 + round * 3);
    for (bool suppress : {false, true}) {
      Variant a = emptyArray();
      ASSERT_EQ(TreeViewToTwoDArray(tv, a, suppress), 1);
      ObjRef back = control("MSComctlLib.TreeCtrl");
      ASSERT_EQ(TwoDArrayToTreeView(a, back), 1);
      EXPECT_EQ(links(back), links(tv)) << "round " << round << (suppress ? " suppressed" : "");
      EXPECT_EQ(paths(back), paths(tv));
    }
  }
}

}  // namespace
}  // namespace tlxtest
