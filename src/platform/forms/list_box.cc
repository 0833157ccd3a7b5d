// List box and combo box: entries added and edited by the form's code.
#include "automation/control_iids.h"
#include "talvex/registry.h"
#include "platform/forms/forms_internal.h"
#include "platform/forms/list_members.h"

namespace tlx::platform::forms {

namespace {

class ListBox : public Object<ListBox> {
 public:
  explicit ListBox(bool combo) : combo_(combo) {}
  static const Members<ListBox>& members();

  bool supports(std::string_view id) const override {
    return id == (combo_ ? iid::ComboBox : iid::ListBox) || id == iid::IDispatch;
  }
  std::string typeName() const override { return combo_ ? "ComboBox" : "ListBox"; }
  ListModel& list() { return list_; }

  // A combo box keeps the text of its edit area; a list box shows its ListIndex entry.
  BStr text() const { return combo_ ? text_ : list_.listIndex() < 0 ? BStr() : list_.text(list_.listIndex()); }
  void setText(BStr text) {
    list_.setListIndex(list_.find(text));
    if (combo_) text_ = std::move(text);
  }
  void setListIndex(int32_t index) {
    list_.setListIndex(index);
    if (combo_ && index >= 0) text_ = list_.text(index);
  }

 private:
  bool combo_;
  ListModel list_;
  BStr text_;
};

const Members<ListBox>& ListBox::members() {
  static const Members<ListBox> table = [] {
    Members<ListBox> m;
    addListReading(m);
    m.property(
        "List", [](ListBox& s, Args& a) { return Variant(s.list().text(toI4(a[0]))); },
        [](ListBox& s, Args& a, const Variant& v) { s.list().setText(toI4(a[0]), toBStr(v)); }, {"Index"});
    m.property(
        "ListIndex", [](ListBox& s, Args&) { return Variant(s.list().listIndex()); },
        [](ListBox& s, Args&, const Variant& v) { s.setListIndex(toI4(v)); });
    m.method("AddItem", {"Item", "Index"}, [](ListBox& s, Args& a) {
      s.list().add(toBStr(a[0]), a.has(1) ? toI4(a[1]) : -1);
      return Variant();
    });
    m.method("RemoveItem", {"Index"}, [](ListBox& s, Args& a) {
      s.list().remove(toI4(a[0]));
      return Variant();
    });
    m.method("Clear", {}, [](ListBox& s, Args&) {
      s.list().clear();
      return Variant();
    });
    m.property(
        "ItemData", [](ListBox& s, Args& a) { return Variant(s.list().itemData(toI4(a[0]))); },
        [](ListBox& s, Args& a, const Variant& v) { s.list().setItemData(toI4(a[0]), toI4(v)); }, {"Index"});
    m.property("NewIndex", [](ListBox& s, Args&) { return Variant(s.list().newIndex()); });
    m.property(
        "Sorted", [](ListBox& s, Args&) { return Variant(s.list().sorted()); },
        [](ListBox& s, Args&, const Variant& v) { s.list().setSorted(toBool(v)); });
    m.property(
        "Text", [](ListBox& s, Args&) { return Variant(s.text()); },
        [](ListBox& s, Args&, const Variant& v) { s.setText(toBStr(v)); });
    m.byDefault("Text");
    return m;
  }();
  return table;
}

}  // namespace

void registerListBoxes() {
  registerClass("VB.ListBox", [] { return ObjRef(new ListBox(false)); });
  registerClass("VB.ComboBox", [] { return ObjRef(new ListBox(true)); });
}

}  // namespace tlx::platform::forms
