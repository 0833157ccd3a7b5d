// Basic's Collection and the scripting Dictionary.
#include "automation/collection.h"

#include <cmath>
#include <cstring>
#include <list>
#include <memory>
#include <unordered_map>
#include <vector>

#include "talvex/convert.h"
#include "talvex/registry.h"
#include "automation/strings.h"

namespace tlx {

namespace {

[[noreturn]] void invalidCall() {
  throw ComError(hr::INVALID_PROCEDURE_CALL, "Invalid procedure call or argument");
}
[[noreturn]] void duplicateKey() {
  throw ComError(hr::basicError(457), "This key is already associated with an element of this collection");
}

// ---------------------------------------------------------------------------------------------
// Collection

class Collection : public Object<Collection> {
 public:
  static const Members<Collection>& members();

  bool supports(std::string_view id) const override { return id == iid::Collection || id == iid::IDispatch; }
  std::string typeName() const override { return "Collection"; }
  std::vector<Variant> enumerate() override {
    std::vector<Variant> out;
    out.reserve(items_.size());
    for (auto& e : items_) out.push_back(e->item);
    return out;
  }

  void add(const Variant& item, const Variant& key, const Variant& before, const Variant& after) {
    const bool hasKey = !key.isMissing();
    const bool hasBefore = !before.isMissing(), hasAfter = !after.isMissing();
    if (hasBefore && hasAfter) invalidCall();
    size_t at = items_.size();
    if (hasBefore) at = positionOf(before, false);
    if (hasAfter) at = positionOf(after, false) + 1;
    auto entry = std::make_unique<Entry>();
    entry->item = item;
    if (hasKey) {
      entry->folded = lcase(toBStr(key));
      if (byKey_.count(entry->folded)) duplicateKey();
      entry->keyed = true;
      byKey_.emplace(entry->folded, entry.get());
    }
    items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(at), std::move(entry));
  }

  Variant item(const Variant& index) {
    // By key straight through the map: reading by key stays constant time.
    if (index.isString()) {
      auto it = byKey_.find(lcase(index.str()));
      if (it == byKey_.end()) invalidCall();
      return it->second->item;
    }
    return items_[positionOf(index, true)]->item;
  }

  void remove(const Variant& index) {
    const size_t at = positionOf(index, true);
    if (items_[at]->keyed) byKey_.erase(items_[at]->folded);
    items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(at));
  }

  int32_t count() const { return static_cast<int32_t>(items_.size()); }

 private:
  struct Entry {
    Variant item;
    BStr folded;  // the key without case
    bool keyed = false;
  };

  // 0-based position of an item given by 1-based number or by key. A bad number is "Subscript
  // out of range" when reading or removing and an invalid argument for Before/After; an unknown
  // key is an invalid argument.
  size_t position(const Variant& index, bool reading) const {
    if (index.isString()) {
      auto it = byKey_.find(lcase(index.str()));
      if (it == byKey_.end()) invalidCall();
      for (size_t i = 0; i < items_.size(); ++i)
        if (items_[i].get() == it->second) return i;
      invalidCall();
    }
    const int32_t n = toI4(index);
    if (n < 1 || static_cast<size_t>(n) > items_.size()) {
      if (reading) throw ComError(hr::basicError(9), "Subscript out of range");
      invalidCall();
    }
    return static_cast<size_t>(n - 1);
  }
  size_t positionOf(const Variant& index, bool reading) const {
    if (index.isObject()) return position(defaultOf(index), reading);
    return position(index, reading);
  }
  static Variant defaultOf(const Variant& v) {
    DispParams none;
    return objectOf(v)->invoke("", InvokeKind::PropertyGet, none);
  }

  std::vector<std::unique_ptr<Entry>> items_;
  std::unordered_map<BStr, Entry*> byKey_;
};

const Members<Collection>& Collection::members() {
  static const Members<Collection> table = [] {
    Members<Collection> m;
    m.method("Add", {"Item", "Key", "Before", "After"}, [](Collection& self, Args& a) {
      self.add(a[0], a.value(1, Variant::missing()), a.value(2, Variant::missing()),
               a.value(3, Variant::missing()));
      return Variant();
    });
    m.property("Item", [](Collection& self, Args& a) { return self.item(a[0]); }, {}, {"Index"});
    m.property("Count", [](Collection& self, Args&) { return Variant(self.count()); });
    m.method("Remove", {"Index"}, [](Collection& self, Args& a) {
      self.remove(a[0]);
      return Variant();
    });
    m.byDefault("Item");
    return m;
  }();
  return table;
}

// ---------------------------------------------------------------------------------------------
// Dictionary

// A key as the Dictionary tells keys apart: numbers by value whatever their type, strings by
// exact code units (or without case in text mode), other kinds by their own value.
struct DictKey {
  enum Kind { Empty, Null, Number, String, Boolean, Date, Object, Error } kind;
  double number = 0;
  BStr text;
  const void* object = nullptr;

  bool operator==(const DictKey& o) const {
    if (kind != o.kind) return false;
    switch (kind) {
      case String: return text == o.text;
      case Object: return object == o.object;
      case Empty:
      case Null: return true;
      default: return number == o.number;
    }
  }
};

struct DictKeyHash {
  size_t operator()(const DictKey& k) const {
    size_t h = std::hash<int>()(k.kind);
    switch (k.kind) {
      case DictKey::String: return h ^ std::hash<BStr>()(k.text);
      case DictKey::Object: return h ^ std::hash<const void*>()(k.object);
      case DictKey::Empty:
      case DictKey::Null: return h;
      default: return h ^ std::hash<double>()(k.number == 0 ? 0.0 : k.number);
    }
  }
};

class Dictionary : public Object<Dictionary> {
 public:
  static const Members<Dictionary>& members();

  std::string typeName() const override { return "Dictionary"; }
  // For Each over a Dictionary walks its keys.
  std::vector<Variant> enumerate() override {
    std::vector<Variant> out;
    out.reserve(entries_.size());
    for (auto& e : entries_) out.push_back(e.key);
    return out;
  }

  void add(const Variant& key, const Variant& item) {
    DictKey k = makeKey(key);
    if (index_.count(k)) duplicateKey();
    insert(std::move(k), key, item);
  }

  // Reading a missing key adds it with an Empty item, as the scripting Dictionary does.
  Variant item(const Variant& key) {
    DictKey k = makeKey(key);
    auto it = index_.find(k);
    if (it == index_.end()) return insert(std::move(k), key, Variant())->item;
    return it->second->item;
  }

  void setItem(const Variant& key, const Variant& value) {
    DictKey k = makeKey(key);
    auto it = index_.find(k);
    if (it == index_.end()) insert(std::move(k), key, value);
    else it->second->item = value;
  }

  bool exists(const Variant& key) const { return index_.count(makeKey(key)) != 0; }

  void remove(const Variant& key) {
    auto it = index_.find(makeKey(key));
    if (it == index_.end()) throw ComError(hr::basicError(32811), "Element not found");
    entries_.erase(it->second);
    index_.erase(it);
  }

  void removeAll() {
    index_.clear();
    entries_.clear();
  }

  Variant keys() const { return toArray(true); }
  Variant items() const { return toArray(false); }
  int32_t count() const { return static_cast<int32_t>(entries_.size()); }

  int32_t compareMode() const { return textMode_ ? 1 : 0; }
  void setCompareMode(int32_t mode) {
    // The mode decides how keys are told apart, so it can only change while there are none.
    if (!entries_.empty() || mode < 0) invalidCall();
    textMode_ = mode == 1;
  }

 private:
  struct Entry {
    Variant key;
    Variant item;
  };
  using Entries = std::list<Entry>;

  DictKey makeKey(const Variant& v) const {
    DictKey k;
    k.kind = DictKey::Empty;
    switch (v.type()) {
      case vtEmpty: break;
      case vtNull: k.kind = DictKey::Null; break;
      case vtString:
        k.kind = DictKey::String;
        k.text = textMode_ ? lcase(v.str()) : v.str();
        break;
      case vtBoolean: k.kind = DictKey::Boolean, k.number = v.boolean() ? -1 : 0; break;
      case vtDate: k.kind = DictKey::Date, k.number = v.date(); break;
      case vtError: k.kind = DictKey::Error, k.number = v.scode(); break;
      case vtDispatch: k.kind = DictKey::Object, k.object = v.obj().get(); break;
      case vtI2:
      case vtI4:
      case vtR4:
      case vtR8:
      case vtUI1:
      case vtCurrency:
        k.kind = DictKey::Number;
        k.number = toDouble(v);
        break;
      default: invalidCall();  // arrays cannot be keys
    }
    return k;
  }

  Entries::iterator insert(DictKey k, const Variant& key, const Variant& item) {
    entries_.push_back(Entry{key, item});
    auto it = std::prev(entries_.end());
    index_.emplace(std::move(k), it);
    return it;
  }

  Variant toArray(bool wantKeys) const {
    auto arr = SafeArray::vector(static_cast<int32_t>(entries_.size()));
    auto& el = arr->elements();
    size_t i = 0;
    for (auto& e : entries_) el[i++] = wantKeys ? e.key : e.item;
    return Variant(std::move(arr));
  }

  Entries entries_;
  std::unordered_map<DictKey, Entries::iterator, DictKeyHash> index_;
  bool textMode_ = false;
};

const Members<Dictionary>& Dictionary::members() {
  static const Members<Dictionary> table = [] {
    Members<Dictionary> m;
    m.method("Add", {"Key", "Item"}, [](Dictionary& self, Args& a) {
      self.add(a[0], a.value(1));
      return Variant();
    });
    m.property(
        "Item", [](Dictionary& self, Args& a) { return self.item(a[0]); },
        [](Dictionary& self, Args& a, const Variant& v) { self.setItem(a[0], v); }, {"Key"});
    m.property("Count", [](Dictionary& self, Args&) { return Variant(self.count()); });
    m.method("Exists", {"Key"}, [](Dictionary& self, Args& a) { return Variant(self.exists(a[0])); });
    m.method("Keys", {}, [](Dictionary& self, Args&) { return self.keys(); });
    m.method("Items", {}, [](Dictionary& self, Args&) { return self.items(); });
    m.method("Remove", {"Key"}, [](Dictionary& self, Args& a) {
      self.remove(a[0]);
      return Variant();
    });
    m.method("RemoveAll", {}, [](Dictionary& self, Args&) {
      self.removeAll();
      return Variant();
    });
    m.property(
        "CompareMode", [](Dictionary& self, Args&) { return Variant(self.compareMode()); },
        [](Dictionary& self, Args&, const Variant& v) { self.setCompareMode(toI4(v)); });
    m.byDefault("Item");
    return m;
  }();
  return table;
}

}  // namespace

ObjRef newCollection() { return ObjRef(new Collection()); }
ObjRef newDictionary() { return ObjRef(new Dictionary()); }

void registerRuntimeClasses() {
  registerClass("VBA.Collection", [] { return newCollection(); });
  registerClass("Scripting.Dictionary", [] { return newDictionary(); });
}

}  // namespace tlx
