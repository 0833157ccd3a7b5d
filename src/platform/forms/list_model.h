// The entries and selection of a list-type control: list and combo boxes edit them, the file
// system lists fill them from a directory.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "talvex/bstr.h"

namespace tlx::platform::forms {

// Text order of the list controls: without regard to case, then by code unit.
bool textBefore(std::u16string_view a, std::u16string_view b);

class ListModel {
 public:
  int32_t count() const { return static_cast<int32_t>(entries_.size()); }

  // Inserts at `index` (-1: at the end, or in text order when sorted); NewIndex tells where.
  void add(BStr text, int32_t index = -1);
  void remove(int32_t index);
  void clear();
  // Replaces every entry (selection and ListIndex are dropped).
  void assign(std::vector<BStr> texts);

  // Reading past the last entry gives the empty string; a negative index is refused.
  BStr text(int32_t index) const;
  void setText(int32_t index, BStr text);
  // The first entry whose text equals `text` without regard to case, or -1.
  int32_t find(std::u16string_view text) const;

  int32_t listIndex() const { return listIndex_; }
  void setListIndex(int32_t index);
  bool selected(int32_t index) const;
  void setSelected(int32_t index, bool on);
  int32_t multiSelect() const { return multiSelect_; }
  void setMultiSelect(int32_t mode);
  bool sorted() const { return sorted_; }
  void setSorted(bool on);
  int32_t itemData(int32_t index) const;
  void setItemData(int32_t index, int32_t value);
  int32_t newIndex() const { return newIndex_; }

 private:
  struct Entry {
    BStr text;
    int32_t itemData = 0;
    bool selected = false;
  };
  Entry& entry(int32_t index);
  const Entry& entry(int32_t index) const;

  std::vector<Entry> entries_;
  int32_t listIndex_ = -1;
  int32_t multiSelect_ = 0;  // 0 none, 1 simple, 2 extended
  int32_t newIndex_ = -1;
  bool sorted_ = false;
};

}  // namespace tlx::platform::forms
