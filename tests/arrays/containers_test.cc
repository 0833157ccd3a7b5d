// Arrays to and from the runtime's real Dictionary and Collection objects, and the check every
// array method makes first.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "arrays/arrays.h"
#include "arrays/arrays_fixture.h"
#include "automation/collection.h"
#include "talvex/convert.h"
#include "talvex/registry.h"

using namespace tlx;
using tlxtest::mat;
using tlxtest::str;
using tlxtest::vec;

namespace {

int32_t countOf(const ObjRef& o) { return toI4(getProperty(o, "Count")); }

TEST(Containers, ArrayToDictionaryKeysFromTheFirstColumn) {
  registerRuntimeClasses();
  ObjRef dt = createObject("Scripting.Dictionary");
  // Columns start at 1 here: the two columns are the first two of dimension 2.
  Variant a = mat({{str("k1"), Variant(int16_t(5)), str("ignored")}, {str("k2"), Variant(2.5), str("-")}}, 3, 1);
  ASSERT_EQ(TwoDArrayToDictionary(a, dt), 1);
  EXPECT_EQ(countOf(dt), 2);
  // Items go in as text.
  EXPECT_EQ(callMethod(dt, "Item", {str("k1")}), str("5"));
  EXPECT_EQ(callMethod(dt, "Item", {str("k2")}), str("2.5"));
  // A key that exists already ends the method; the rows added before stay.
  ObjRef partial = newDictionary();
  Variant dup = mat({{str("a"), str("1")}, {str("b"), str("2")}, {str("a"), str("3")}, {str("c"), str("4")}});
  EXPECT_EQ(TwoDArrayToDictionary(dup, partial), -2);
  EXPECT_EQ(countOf(partial), 2);
  EXPECT_EQ(TwoDArrayToDictionary(a, ObjRef()), -2);
}

TEST(Containers, ArrayToCollectionKeysFromTheSecondColumn) {
  ObjRef cl = newCollection();
  Variant a = mat({{str("x"), str("k1")}, {str("y"), str("k2")}}, 0, -4);
  ASSERT_EQ(TwoDArrayToCollection(a, cl), 1);
  EXPECT_EQ(countOf(cl), 2);
  EXPECT_EQ(callMethod(cl, "Item", {str("k2")}), str("y"));
  EXPECT_EQ(callMethod(cl, "Item", {Variant(int32_t(1))}), str("x"));
  // A dictionary is no Collection.
  EXPECT_EQ(TwoDArrayToCollection(a, newDictionary()), -2);
  EXPECT_EQ(TwoDArrayToCollection(a, ObjRef()), -2);
  // Duplicate keys: -3, with the earlier rows kept.
  ObjRef again = newCollection();
  Variant dup = mat({{str("p"), str("k")}, {str("q"), str("K")}});
  EXPECT_EQ(TwoDArrayToCollection(dup, again), -3);
  EXPECT_EQ(countOf(again), 1);
}

TEST(Containers, DictionaryToArrayWithAndWithoutKeys) {
  ObjRef dt = newDictionary();
  callMethod(dt, "Add", {str("a"), Variant(int16_t(1))});
  callMethod(dt, "Add", {str("b"), Variant(int16_t(2))});
  Variant v = vec({str("old")}, 1);
  ASSERT_EQ(DictionaryToArray(dt, v, true), 1);
  EXPECT_EQ(v, mat({{str("a"), Variant(int16_t(1))}, {str("b"), Variant(int16_t(2))}}));
  ASSERT_EQ(DictionaryToArray(dt, v), 1);
  EXPECT_EQ(v, vec({Variant(int16_t(1)), Variant(int16_t(2))}));
  // An empty dictionary cannot become an array; the caller's array stays.
  Variant keep = vec({str("k")});
  EXPECT_EQ(DictionaryToArray(newDictionary(), keep, true), -2);
  EXPECT_EQ(keep, vec({str("k")}));
  EXPECT_EQ(DictionaryToArray(ObjRef(), keep), -2);
}

TEST(Containers, CollectionToArrayInOrder) {
  registerRuntimeClasses();
  ObjRef cl = createObject("VBA.Collection");
  callMethod(cl, "Add", {str("first")});
  callMethod(cl, "Add", {Variant(3.5), str("key")});
  callMethod(cl, "Add", {Variant()});
  Variant v = mat({{str("old")}});
  ASSERT_EQ(CollectionToOneDArray(cl, v), 1);
  EXPECT_EQ(v, vec({str("first"), Variant(3.5), Variant()}));
  // The Collection is checked before the array.
  Variant notArray;
  EXPECT_EQ(CollectionToOneDArray(newDictionary(), notArray), -1);
  EXPECT_EQ(CollectionToOneDArray(ObjRef(), notArray), -1);
  Variant keep = vec({str("k")});
  EXPECT_EQ(CollectionToOneDArray(newCollection(), keep), -3);
  EXPECT_EQ(keep, vec({str("k")}));
}

// Each method refuses a Variant that is not an array with its own code, before it looks at
// anything else, and leaves the Variant, its text and files alone.
TEST(EveryMethod, RefusesWhatIsNotAnArray) {
  tlxtest::ScratchDir dir("talvex-arrays");
  const BStr file = u16(dir.write("f.txt", "a,b")), fresh = u16(dir.file("new.txt"));
  BStr text = u"before", d = u",", eol = u"|";
  const ObjRef dt = newDictionary(), cl = newCollection();
  const struct {
    const char* method;
    int16_t code;
    std::function<int16_t(Variant&)> call;
  } cases[] = {
      {"TextFileToArray", -2, [&](Variant& v) { return TextFileToArray(file, v); }},
      {"TextFileToOneDArray", -2, [&](Variant& v) { return TextFileToOneDArray(file, v); }},
      {"MultiLineTextToOneDArray", -1, [&](Variant& v) { return MultiLineTextToOneDArray(u"a", v); }},
      {"TwoDArrayToText", -1, [&](Variant& v) { return TwoDArrayToText(v, text, d, eol); }},
      {"OneDArrayToText", -1, [&](Variant& v) { return OneDArrayToText(v, text, eol); }},
      {"TwoDArrayToTextFile", -1, [&](Variant& v) { return TwoDArrayToTextFile(v, fresh); }},
      {"OneDArrayToTextFile", -1, [&](Variant& v) { return OneDArrayToTextFile(v, fresh); }},
      {"SortOneDArray", -1, [&](Variant& v) { return SortOneDArray(v); }},
      {"ComputeOneDArray", -1, [&](Variant& v) { return ComputeOneDArray(v, tlxAdd, 1); }},
      {"ComputeTwoDArray", -1, [&](Variant& v) { return ComputeTwoDArray(v, tlxAdd, 1); }},
      {"ComputeThreeDArray", -1, [&](Variant& v) { return ComputeThreeDArray(v, tlxAdd, 1); }},
      {"TwoDArrayToDictionary", -1, [&](Variant& v) { return TwoDArrayToDictionary(v, dt); }},
      // The array is checked before the object.
      {"TwoDArrayToCollection", -1, [&](Variant& v) { return TwoDArrayToCollection(v, ObjRef()); }},
      {"DictionaryToArray", -1, [&](Variant& v) { return DictionaryToArray(dt, v); }},
      {"CollectionToOneDArray", -2, [&](Variant& v) { return CollectionToOneDArray(cl, v); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.method);
    for (const Variant& notArray : {str("x"), Variant(), Variant(int16_t(5))}) {
      Variant v = notArray;
      EXPECT_EQ(c.call(v), c.code);
      EXPECT_EQ(v, notArray);
    }
  }
  EXPECT_EQ(text, u"before");
  EXPECT_EQ(countOf(dt), 0);
  EXPECT_FALSE(std::filesystem::exists(dir.file("new.txt")));
}

}  // namespace
