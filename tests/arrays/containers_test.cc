// Arrays to and from the runtime's real Dictionary and Collection objects.
#include <gtest/gtest.h>

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
  Variant s = str("x");
  EXPECT_EQ(TwoDArrayToDictionary(s, partial), -1);
  EXPECT_EQ(TwoDArrayToDictionary(a, ObjRef()), -2);
}

TEST(Containers, ArrayToCollectionKeysFromTheSecondColumn) {
  ObjRef cl = newCollection();
  Variant a = mat({{str("x"), str("k1")}, {str("y"), str("k2")}}, 0, -4);
  ASSERT_EQ(TwoDArrayToCollection(a, cl), 1);
  EXPECT_EQ(countOf(cl), 2);
  EXPECT_EQ(callMethod(cl, "Item", {str("k2")}), str("y"));
  EXPECT_EQ(callMethod(cl, "Item", {Variant(int32_t(1))}), str("x"));
  // The array is checked before the collection; a dictionary is no Collection.
  Variant s = str("x");
  EXPECT_EQ(TwoDArrayToCollection(s, ObjRef()), -1);
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
  Variant notArray;
  EXPECT_EQ(DictionaryToArray(dt, notArray), -1);
  EXPECT_TRUE(notArray.isEmpty());
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
  EXPECT_EQ(CollectionToOneDArray(cl, notArray), -2);
  Variant keep = vec({str("k")});
  EXPECT_EQ(CollectionToOneDArray(newCollection(), keep), -3);
  EXPECT_EQ(keep, vec({str("k")}));
}

TEST(Containers, RoundTripThroughADictionary) {
  Variant a = mat({{str("one"), str("1")}, {str("two"), str("2")}, {str("three"), str("3")}});
  ObjRef dt = newDictionary();
  ASSERT_EQ(TwoDArrayToDictionary(a, dt), 1);
  Variant back = Variant::unallocatedArray();
  ASSERT_EQ(DictionaryToArray(dt, back, true), 1);
  EXPECT_EQ(back, a);
}

}  // namespace
