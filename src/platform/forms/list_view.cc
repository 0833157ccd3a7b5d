// List view: keyed list items with sub-items under column headers.
#include "talvex/registry.h"
#include "platform/forms/forms_internal.h"
#include "platform/forms/keyed_items.h"

namespace tlx::platform::forms {

namespace {

class ListView;

class ColumnHeader : public Object<ColumnHeader>, public KeyedItem {
 public:
  static const Members<ColumnHeader>& members();
  std::string typeName() const override { return "ColumnHeader"; }
  BStr text;
  double width = 1440;
  int32_t alignment = 0;
};

class ListItem : public Object<ListItem>, public KeyedItem {
 public:
  static const Members<ListItem>& members();
  std::string typeName() const override { return "ListItem"; }

  BStr text;
  Variant tag;
  bool isSelected = false;
  ListView* view = nullptr;  // null once removed or when the view is gone
  std::vector<BStr> subItems;

  BStr subItem(int32_t k) const {
    requireColumn(k);
    return static_cast<size_t>(k) <= subItems.size() ? subItems[static_cast<size_t>(k) - 1] : BStr();
  }
  void setSubItem(int32_t k, BStr s) {
    requireColumn(k);
    if (subItems.size() < static_cast<size_t>(k)) subItems.resize(static_cast<size_t>(k));
    subItems[static_cast<size_t>(k) - 1] = std::move(s);
  }
  void setSelected(bool on);

 private:
  // Sub-items exist only under the headers after the first.
  void requireColumn(int32_t k) const;
};

class ListView : public Object<ListView> {
 public:
  static const Members<ListView>& members();
  std::string typeName() const override { return "ListView"; }
  ~ListView() override {
    for (const Ref<ListItem>& item : items.items()) item->view = nullptr;
  }

  KeyedItems<ListItem> items;
  KeyedItems<ColumnHeader> columns;
  int32_t view = 0;  // icons, small icons, list, report
  bool multiSelect = false;
  bool hideSelection = true;

  void selectOnly(ListItem& chosen) {
    for (const Ref<ListItem>& item : items.items())
      if (item.get() != &chosen) item->isSelected = false;
  }
  ListItem* selectedItem() const {
    for (const Ref<ListItem>& item : items.items())
      if (item->isSelected) return item.get();
    return nullptr;
  }
};

void ListItem::requireColumn(int32_t k) const {
  if (k < 1 || (view && k >= view->columns.count())) invalidPropertyValue();
}

void ListItem::setSelected(bool on) {
  isSelected = on;
  if (on && view && !view->multiSelect) view->selectOnly(*this);
}

// The view's ListItems and ColumnHeaders collections, each holding the view alive.
template <class T, KeyedItems<T> ListView::*list>
class ViewCollection : public Object<ViewCollection<T, list>> {
 public:
  explicit ViewCollection(Ref<ListView> v) : view_(std::move(v)) {}
  static const Members<ViewCollection>& members();
  std::vector<Variant> enumerate() override { return items().enumerate(); }
  KeyedItems<T>& items() { return (*view_).*list; }
  ListView& view() { return *view_; }

 private:
  Ref<ListView> view_;
};

using ListItems = ViewCollection<ListItem, &ListView::items>;
using ColumnHeaders = ViewCollection<ColumnHeader, &ListView::columns>;

void prepare(ListItem& item, ListView& v, Args& a) {
  item.text = a.has(2) ? toBStr(a[2]) : BStr();
  item.view = &v;
}
void prepare(ColumnHeader& column, ListView&, Args& a) {
  column.text = a.has(2) ? toBStr(a[2]) : BStr();
  if (a.has(3)) column.width = toDouble(a[3]);
  if (a.has(4)) column.alignment = toI4(a[4]);
}
std::vector<std::string> addParameters(const ListItem*) { return {"Index", "Key", "Text", "Icon", "SmallIcon"}; }
std::vector<std::string> addParameters(const ColumnHeader*) { return {"Index", "Key", "Text", "Width", "Alignment"}; }
void detach(ListItem& item) { item.view = nullptr; }
void detach(ColumnHeader&) {}

template <class T, KeyedItems<T> ListView::*list>
const Members<ViewCollection<T, list>>& ViewCollection<T, list>::members() {
  using Self = ViewCollection<T, list>;
  static const Members<Self> table = [] {
    Members<Self> m;
    // Add([Index], [Key], [Text], ...): list items take icons, headers a width and alignment.
    m.method("Add", addParameters(static_cast<const T*>(nullptr)), [](Self& s, Args& a) {
      const size_t at = s.items().insertionPlace(a.value(0, Variant::missing()));
      auto item = makeRef<T>();
      item->key = keyArgument(a, 1);
      prepare(*item, s.view(), a);
      s.items().insert(at, item);
      return Variant(ObjRef(item));
    });
    m.property("Count", [](Self& s, Args&) { return Variant(s.items().count()); });
    m.property("Item", [](Self& s, Args& a) { return Variant(ObjRef(&s.items()[a[0]])); }, {}, {"Index"});
    m.method("Remove", {"Index"}, [](Self& s, Args& a) {
      T* doomed = &s.items()[a[0]];
      detach(*doomed);
      s.items().eraseIf([&](T& x) { return &x == doomed; });
      return Variant();
    });
    m.method("Clear", {}, [](Self& s, Args&) {
      for (const Ref<T>& x : s.items().items()) detach(*x);
      s.items().clear();
      return Variant();
    });
    m.byDefault("Item");
    return m;
  }();
  return table;
}

template <class T>
void textAndKey(Members<T>& m) {
  m.property(
      "Text", [](T& s, Args&) { return Variant(s.text); }, [](T& s, Args&, const Variant& v) { s.text = toBStr(v); });
  m.property("Key", [](T& s, Args&) { return Variant(s.key); });
  m.property("Index", [](T& s, Args&) { return Variant(s.index); });
  m.byDefault("Text");
}

const Members<ColumnHeader>& ColumnHeader::members() {
  static const Members<ColumnHeader> table = [] {
    Members<ColumnHeader> m;
    textAndKey(m);
    m.property(
        "Width", [](ColumnHeader& s, Args&) { return Variant(s.width); },
        [](ColumnHeader& s, Args&, const Variant& v) { s.width = toDouble(v); });
    m.property(
        "Alignment", [](ColumnHeader& s, Args&) { return Variant(s.alignment); },
        [](ColumnHeader& s, Args&, const Variant& v) { s.alignment = toI4(v); });
    return m;
  }();
  return table;
}

const Members<ListItem>& ListItem::members() {
  static const Members<ListItem> table = [] {
    Members<ListItem> m;
    textAndKey(m);
    m.property(
        "Selected", [](ListItem& s, Args&) { return Variant(s.isSelected); },
        [](ListItem& s, Args&, const Variant& v) { s.setSelected(toBool(v)); });
    m.property(
        "SubItems", [](ListItem& s, Args& a) { return Variant(s.subItem(toI4(a[0]))); },
        [](ListItem& s, Args& a, const Variant& v) { s.setSubItem(toI4(a[0]), toBStr(v)); }, {"Index"});
    m.property(
        "Tag", [](ListItem& s, Args&) { return s.tag; }, [](ListItem& s, Args&, const Variant& v) { s.tag = v; });
    return m;
  }();
  return table;
}

const Members<ListView>& ListView::members() {
  static const Members<ListView> table = [] {
    Members<ListView> m;
    m.property("ListItems", [](ListView& s, Args&) { return Variant(ObjRef(new ListItems(Ref<ListView>(&s)))); });
    m.property("ColumnHeaders",
               [](ListView& s, Args&) { return Variant(ObjRef(new ColumnHeaders(Ref<ListView>(&s)))); });
    m.property(
        "View", [](ListView& s, Args&) { return Variant(s.view); },
        [](ListView& s, Args&, const Variant& v) {
          const int32_t mode = toI4(v);
          if (mode < 0 || mode > 3) invalidPropertyValue();
          s.view = mode;
        });
    m.property(
        "MultiSelect", [](ListView& s, Args&) { return Variant(s.multiSelect); },
        [](ListView& s, Args&, const Variant& v) { s.multiSelect = toBool(v); });
    m.property(
        "HideSelection", [](ListView& s, Args&) { return Variant(s.hideSelection); },
        [](ListView& s, Args&, const Variant& v) { s.hideSelection = toBool(v); });
    m.property("SelectedItem", [](ListView& s, Args&) { return Variant(ObjRef(s.selectedItem())); });
    return m;
  }();
  return table;
}

}  // namespace

void registerListView() {
  registerClass("MSComctlLib.ListViewCtrl", [] { return ObjRef(new ListView()); });
}

}  // namespace tlx::platform::forms
