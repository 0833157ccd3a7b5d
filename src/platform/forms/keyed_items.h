// The 1-based, optionally keyed item lists of the common controls (list items, column headers,
// tree nodes): reached by number, by key or by the item itself.
#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "talvex/convert.h"
#include "talvex/dispatch.h"
#include "platform/forms/form_errors.h"

namespace tlx::platform::forms {

// What every listed item carries: its key ("" for none) and its 1-based place in the list.
struct KeyedItem {
  BStr key;
  int32_t index = 0;
};

template <class T>
class KeyedItems {
 public:
  size_t size() const { return items_.size(); }
  int32_t count() const { return static_cast<int32_t>(items_.size()); }
  const std::vector<Ref<T>>& items() const { return items_; }
  T& at(size_t pos) const { return *items_[pos]; }

  // 0-based place of the item a number (from 1), a key or the item itself names.
  size_t position(const Variant& index) const {
    if (index.isString()) {
      auto it = keys_.find(index.str());
      if (it == keys_.end()) elementNotFound();
      return static_cast<size_t>(it->second->index - 1);
    }
    if (index.isObject()) {
      T* item = dynamic_cast<T*>(index.obj().get());
      if (!item || item->index < 1 || item->index > count() || items_[item->index - 1].get() != item)
        elementNotFound();
      return static_cast<size_t>(item->index - 1);
    }
    const int32_t n = toI4(index);
    if (n < 1 || n > count()) indexOutOfBounds();
    return static_cast<size_t>(n - 1);
  }
  T& operator[](const Variant& index) const { return at(position(index)); }

  // A place from 1 to count + 1 given by the caller, or the end.
  size_t insertionPlace(const Variant& index) const {
    if (index.isMissing()) return items_.size();
    const int32_t n = toI4(index);
    if (n < 1 || n > count() + 1) indexOutOfBounds();
    return static_cast<size_t>(n - 1);
  }

  // A duplicate key is refused before anything changes.
  void requireFreeKey(const BStr& key) const {
    if (!key.empty() && keys_.count(key)) keyNotUnique();
  }
  void insert(size_t pos, Ref<T> item) {
    requireFreeKey(item->key);
    if (!item->key.empty()) keys_.emplace(item->key, item.get());
    items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(pos), std::move(item));
    renumber(pos);
  }
  void append(Ref<T> item) { insert(items_.size(), std::move(item)); }

  // Removes the items `doomed` says, keeping the order of the rest.
  template <class Pred>
  void eraseIf(Pred doomed) {
    std::vector<Ref<T>> kept;
    kept.reserve(items_.size());
    for (Ref<T>& item : items_) {
      if (!doomed(*item)) {
        kept.push_back(std::move(item));
        continue;
      }
      if (!item->key.empty()) keys_.erase(item->key);
      item->index = 0;
    }
    items_ = std::move(kept);
    renumber(0);
  }
  void clear() {
    for (Ref<T>& item : items_) item->index = 0;
    items_.clear();
    keys_.clear();
  }

  std::vector<Variant> enumerate() const {
    std::vector<Variant> out;
    out.reserve(items_.size());
    for (const Ref<T>& item : items_) out.push_back(Variant(ObjRef(item)));
    return out;
  }

 private:
  void renumber(size_t from) {
    for (size_t i = from; i < items_.size(); ++i) items_[i]->index = static_cast<int32_t>(i + 1);
  }

  std::vector<Ref<T>> items_;
  std::unordered_map<BStr, T*> keys_;
};

// A key argument: missing or empty means none.
inline BStr keyArgument(const Args& a, size_t i) { return a.has(i) ? toBStr(a.value(i)) : BStr(); }

}  // namespace tlx::platform::forms
