// Text box and rich text box: the text, its selection, and for the rich one its rich text.
#include <algorithm>

#include "automation/control_iids.h"
#include "talvex/convert.h"
#include "talvex/registry.h"
#include "platform/forms/form_errors.h"
#include "platform/forms/forms_internal.h"
#include "platform/forms/rtf.h"

namespace tlx::platform::forms {

namespace {

class TextBox : public Object<TextBox> {
 public:
  explicit TextBox(bool rich) : rich_(rich), multiLine_(rich) {}
  static const Members<TextBox>& members();

  // Only the plain text box answers the text box's interface.
  bool supports(std::string_view id) const override {
    return (!rich_ && id == iid::TextBox) || id == iid::IDispatch;
  }
  std::string typeName() const override { return rich_ ? "RichTextBox" : "TextBox"; }

  const BStr& text() const { return text_; }
  // New text puts the caret at its start.
  void setText(BStr text) {
    text_ = std::move(text);
    selStart_ = selLength_ = 0;
  }
  int32_t length() const { return static_cast<int32_t>(text_.size()); }
  int32_t selStart() const { return selStart_; }
  int32_t selLength() const { return selLength_; }
  void setSelStart(int32_t at) {
    if (at < 0) invalidPropertyValue();
    selStart_ = std::min(at, length());
    selLength_ = 0;
  }
  void setSelLength(int32_t n) {
    if (n < 0) invalidPropertyValue();
    selLength_ = std::min(n, length() - selStart_);
  }
  BStr selText() const { return text_.substr(static_cast<size_t>(selStart_), static_cast<size_t>(selLength_)); }
  // Replaces the selection; the caret follows the new text.
  void setSelText(std::u16string_view s) {
    std::u16string t(text_.view());
    t.replace(static_cast<size_t>(selStart_), static_cast<size_t>(selLength_), s);
    text_ = BStr(t);
    selStart_ += static_cast<int32_t>(s.size());
    selLength_ = 0;
  }
  bool multiLine() const { return multiLine_; }
  void setMultiLine(bool on) { multiLine_ = on; }
  bool rich() const { return rich_; }

 private:
  bool rich_;
  bool multiLine_;
  BStr text_;
  int32_t selStart_ = 0, selLength_ = 0;
};

void requireRich(const TextBox& s, std::string_view member) {
  if (!s.rich()) throwUnknownName(member);
}

const Members<TextBox>& TextBox::members() {
  static const Members<TextBox> table = [] {
    Members<TextBox> m;
    m.property(
        "Text", [](TextBox& s, Args&) { return Variant(s.text()); },
        [](TextBox& s, Args&, const Variant& v) { s.setText(toBStr(v)); });
    m.property(
        "SelStart", [](TextBox& s, Args&) { return Variant(s.selStart()); },
        [](TextBox& s, Args&, const Variant& v) { s.setSelStart(toI4(v)); });
    m.property(
        "SelLength", [](TextBox& s, Args&) { return Variant(s.selLength()); },
        [](TextBox& s, Args&, const Variant& v) { s.setSelLength(toI4(v)); });
    m.property(
        "SelText", [](TextBox& s, Args&) { return Variant(s.selText()); },
        [](TextBox& s, Args&, const Variant& v) { s.setSelText(toBStr(v)); });
    m.property(
        "MultiLine", [](TextBox& s, Args&) { return Variant(s.multiLine()); },
        [](TextBox& s, Args&, const Variant& v) { s.setMultiLine(toBool(v)); });
    m.property(
        "TextRTF",
        [](TextBox& s, Args&) {
          requireRich(s, "TextRTF");
          return Variant(rtfOfText(s.text()));
        },
        [](TextBox& s, Args&, const Variant& v) {
          requireRich(s, "TextRTF");
          s.setText(BStr(textOfRtf(toBStr(v))));
        });
    m.byDefault("Text");
    return m;
  }();
  return table;
}

}  // namespace

void registerTextBoxes() {
  registerClass("VB.TextBox", [] { return ObjRef(new TextBox(false)); });
  registerClass("RichText.RichTextCtrl", [] { return ObjRef(new TextBox(true)); });
}

}  // namespace tlx::platform::forms
