#include "automation/collection.h"

#include <gtest/gtest.h>

#include "automation/test_objects.h"
#include "talvex/registry.h"

namespace tlx {
namespace {

// A late-bound call with named arguments, the way a script writes `c.Add "x", Key:="k"`.
Variant callNamed(const ObjRef& obj, std::string_view member, std::vector<Variant> positional,
                  std::vector<std::pair<std::string, Variant>> named) {
  DispParams p;
  for (auto& v : positional) p.positional.push_back(&v);
  for (auto& [name, v] : named) p.named.push_back({name, &v});
  return obj->invoke(member, InvokeKind::Method, p);
}

std::vector<Variant> items(const ObjRef& c) { return c->enumerate(); }
Variant s(const char* t) { return Variant(t); }

TEST(Collection, AddWithKeysBeforeAndAfterAndRemove) {
  registerRuntimeClasses();
  ObjRef c = createObject("VBA.Collection");  // as a script makes one
  callMethod(c, "Add", {s("b"), s("kb")});
  callNamed(c, "Add", {s("a")}, {{"Before", Variant(int32_t{1})}, {"Key", s("ka")}});
  callNamed(c, "add", {s("d")}, {{"after", s("KB")}});  // member, argument and key names ignore case
  callNamed(c, "Add", {s("c")}, {{"Before", s("Kb")}});
  callNamed(c, "Add", {s("e")}, {{"After", Variant(int16_t{4})}});  // after the last
  EXPECT_EQ(items(c), (std::vector<Variant>{s("a"), s("c"), s("b"), s("d"), s("e")}));
  EXPECT_EQ(getProperty(c, "Count"), Variant(int32_t{5}));
  EXPECT_EQ(getProperty(c, "Item", {s("KA")}), s("a"));
  EXPECT_EQ(getProperty(c, "Item", {Variant(2.0)}), s("c"));
  EXPECT_EQ(callMethod(c, "", {Variant(int16_t{3})}), s("b"));  // Item is the default member
  EXPECT_TRUE(c->supports(iid::Collection));
  EXPECT_EQ(c->typeName(), "Collection");

  // Removing an item frees its key.
  callMethod(c, "Remove", {s("KA")});
  callMethod(c, "Add", {s("z"), s("ka")});
  callMethod(c, "Remove", {Variant(int16_t{1})});
  EXPECT_EQ(items(c), (std::vector<Variant>{s("b"), s("d"), s("e"), s("z")}));
  EXPECT_EQ(getProperty(c, "Item", {s("ka")}), s("z"));
}

TEST(Collection, ErrorsAsBasicRaisesThem) {
  ObjRef c = newCollection();
  callMethod(c, "Add", {s("x"), s("k")});
  EXPECT_EQ(errorOf([&] { callMethod(c, "Add", {s("y"), s("K")}); }), hr::basicError(457));
  EXPECT_EQ(errorOf([&] { callNamed(c, "Add", {s("y")}, {{"Before", Variant(int16_t{1})}, {"After", Variant(int16_t{1})}}); }),
            hr::basicError(5));
  EXPECT_EQ(errorOf([&] { callNamed(c, "Add", {s("y")}, {{"Before", Variant(int16_t{2})}}); }), hr::basicError(5));
  EXPECT_EQ(errorOf([&] { callNamed(c, "Add", {s("y")}, {{"After", s("nope")}}); }), hr::basicError(5));
  EXPECT_EQ(errorOf([&] { getProperty(c, "Item", {Variant(int16_t{0})}); }), hr::basicError(9));
  EXPECT_EQ(errorOf([&] { getProperty(c, "Item", {Variant(int16_t{2})}); }), hr::basicError(9));
  EXPECT_EQ(errorOf([&] { getProperty(c, "Item", {s("missing")}); }), hr::basicError(5));
  EXPECT_EQ(errorOf([&] { callMethod(c, "Remove", {Variant(int16_t{2})}); }), hr::basicError(9));
  EXPECT_EQ(errorOf([&] { putProperty(c, "Count", Variant(int16_t{1})); }), hr::DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(errorOf([&] { callMethod(c, "Bogus"); }), hr::DISP_E_UNKNOWNNAME);
  EXPECT_EQ(getProperty(c, "Count"), Variant(int32_t{1}));  // the failed adds left nothing behind
}

TEST(Dictionary, AddItemKeysItemsInInsertionOrder) {
  registerRuntimeClasses();
  ObjRef d = createObject("Scripting.Dictionary");
  callMethod(d, "Add", {s("b"), Variant(int16_t{2})});
  callNamed(d, "Add", {}, {{"Item", Variant(int16_t{1})}, {"Key", s("a")}});
  callMethod(d, "Add", {Variant(int16_t{1}), s("one")});
  EXPECT_EQ(getProperty(d, "Count"), Variant(int32_t{3}));
  const Variant keys = callMethod(d, "Keys");
  ASSERT_TRUE(keys.isArray());
  EXPECT_EQ(keys.arrayRef().lbound(), 0);
  EXPECT_EQ(keys.arrayRef().elements(), (std::vector<Variant>{s("b"), s("a"), Variant(int16_t{1})}));
  EXPECT_EQ(callMethod(d, "Items").arrayRef().elements(),
            (std::vector<Variant>{Variant(int16_t{2}), Variant(int16_t{1}), s("one")}));
  EXPECT_EQ(errorOf([&] { putProperty(d, "Item", Variant()); }), hr::DISP_E_PARAMNOTOPTIONAL);  // no key

  // Reading a missing key adds it; a put replaces or adds, through Item or the default member.
  EXPECT_TRUE(getProperty(d, "Item", {s("new")}).isEmpty());
  EXPECT_EQ(callMethod(d, "Exists", {s("new")}), Variant(true));
  DispParams put;
  Variant key = s("new"), value = Variant(int16_t{7});
  put.positional = {&key, &value};
  d->invoke("", InvokeKind::PropertyPut, put);  // d("new") = 7
  EXPECT_EQ(getProperty(d, "Item", {s("new")}), Variant(int16_t{7}));
  Variant key2 = s("other"), value2 = s("v");
  put.positional = {&key2, &value2};
  d->invoke("Item", InvokeKind::PropertyPut, put);
  EXPECT_EQ(getProperty(d, "Count"), Variant(int32_t{5}));
}

TEST(Dictionary, KeysAreVariantsComparedExactly) {
  ObjRef d = newDictionary();
  callMethod(d, "Add", {s("1"), s("string one")});
  callMethod(d, "Add", {Variant(int16_t{1}), s("number one")});
  callMethod(d, "Add", {s("A"), s("upper")});
  callMethod(d, "Add", {s("a"), s("lower")});
  EXPECT_EQ(getProperty(d, "Count"), Variant(int32_t{4}));
  EXPECT_EQ(getProperty(d, "Item", {Variant(1.0)}), s("number one"));  // numbers by value
  EXPECT_EQ(callMethod(d, "Exists", {s("1")}), Variant(true));
  EXPECT_EQ(callMethod(d, "Exists", {Variant(int32_t{2})}), Variant(false));
  EXPECT_EQ(errorOf([&] { callMethod(d, "Add", {Variant(int32_t{1}), s("again")}); }), hr::basicError(457));

  callMethod(d, "Remove", {s("a")});
  EXPECT_EQ(errorOf([&] { callMethod(d, "Remove", {s("a")}); }), hr::basicError(32811));
  EXPECT_EQ(callMethod(d, "Keys").arrayRef().elements(),
            (std::vector<Variant>{s("1"), Variant(int16_t{1}), s("A")}));
  // Text mode compares keys without case; it can be set only while the Dictionary is empty.
  EXPECT_EQ(errorOf([&] { putProperty(d, "CompareMode", Variant(int32_t{1})); }), hr::basicError(5));
  callMethod(d, "RemoveAll");
  EXPECT_EQ(callMethod(d, "Keys").arrayRef().ubound(), -1);
  EXPECT_EQ(getProperty(d, "CompareMode"), Variant(int32_t{0}));
  putProperty(d, "CompareMode", Variant(int32_t{1}));
  callMethod(d, "Add", {s("Key"), Variant(int16_t{1})});
  EXPECT_EQ(callMethod(d, "Exists", {s("KEY")}), Variant(true));
}

}  // namespace
}  // namespace tlx
