#include "platform/forms/list_model.h"

#include <algorithm>

#include "automation/strings.h"
#include "platform/forms/form_errors.h"

namespace tlx::platform::forms {

bool textBefore(std::u16string_view a, std::u16string_view b) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    const char16_t x = lowerChar(a[i]), y = lowerChar(b[i]);
    if (x != y) return x < y;
  }
  if (a.size() != b.size()) return a.size() < b.size();
  return a < b;
}

ListModel::Entry& ListModel::entry(int32_t index) {
  if (index < 0 || index >= count()) invalidArrayIndex();
  return entries_[static_cast<size_t>(index)];
}

const ListModel::Entry& ListModel::entry(int32_t index) const {
  return const_cast<ListModel*>(this)->entry(index);
}

void ListModel::add(BStr text, int32_t index) {
  if (index < -1 || index > count()) invalidCall();
  if (index == -1) {
    auto at = sorted_ ? std::upper_bound(entries_.begin(), entries_.end(), text,
                                         [](const BStr& t, const Entry& e) { return textBefore(t, e.text); })
                      : entries_.end();
    index = static_cast<int32_t>(at - entries_.begin());
  }
  entries_.insert(entries_.begin() + index, Entry{std::move(text)});
  if (listIndex_ >= index) ++listIndex_;
  newIndex_ = index;
}

void ListModel::remove(int32_t index) {
  if (index < 0 || index >= count()) invalidCall();
  entries_.erase(entries_.begin() + index);
  if (listIndex_ == index) listIndex_ = -1;
  else if (listIndex_ > index) --listIndex_;
  newIndex_ = -1;
}

void ListModel::clear() {
  entries_.clear();
  listIndex_ = newIndex_ = -1;
}

void ListModel::assign(std::vector<BStr> texts) {
  clear();
  entries_.reserve(texts.size());
  for (BStr& t : texts) entries_.push_back(Entry{std::move(t)});
}

BStr ListModel::text(int32_t index) const {
  if (index < 0) invalidArrayIndex();
  return index < count() ? entries_[static_cast<size_t>(index)].text : BStr();
}

void ListModel::setText(int32_t index, BStr text) { entry(index).text = std::move(text); }

int32_t ListModel::find(std::u16string_view text) const {
  for (int32_t i = 0; i < count(); ++i)
    if (equalsNoCase(entries_[static_cast<size_t>(i)].text, text)) return i;
  return -1;
}

void ListModel::setListIndex(int32_t index) {
  if (index < -1 || index >= count()) invalidPropertyValue();
  listIndex_ = index;
}

// Without multiple selection the selected entry is the ListIndex one.
bool ListModel::selected(int32_t index) const {
  const Entry& e = entry(index);
  return multiSelect_ ? e.selected : index == listIndex_;
}

void ListModel::setSelected(int32_t index, bool on) {
  Entry& e = entry(index);
  if (multiSelect_) {
    e.selected = on;
    listIndex_ = index;
  } else if (on) {
    listIndex_ = index;
  } else if (listIndex_ == index) {
    listIndex_ = -1;
  }
}

void ListModel::setMultiSelect(int32_t mode) {
  if (mode < 0 || mode > 2) invalidPropertyValue();
  for (Entry& e : entries_) e.selected = false;
  multiSelect_ = mode;
}

void ListModel::setSorted(bool on) {
  sorted_ = on;
  if (!on) return;
  std::stable_sort(entries_.begin(), entries_.end(),
                   [](const Entry& a, const Entry& b) { return textBefore(a.text, b.text); });
  listIndex_ = -1;
}

int32_t ListModel::itemData(int32_t index) const { return entry(index).itemData; }
void ListModel::setItemData(int32_t index, int32_t value) { entry(index).itemData = value; }

}  // namespace tlx::platform::forms
