// Text box selection, and the rich text box's rich text read by a real RTF reader.

#include "support/form_controls.h"

namespace tlxtest {
namespace {

TEST(TextBox, SelectionReadAndReplaced) {
  ObjRef tb = control("VB.TextBox");
  put(tb, "Text", {Variant("Hello world")});
  put(tb, "SelStart", {int32_t{6}});
  put(tb, "SelLength", {int32_t{50}});
  EXPECT_EQ(toI4(get(tb, "SelLength")), 5);
  EXPECT_EQ(text(tb, "SelText"), "world");
  put(tb, "SelText", {Variant("there, you")});
  EXPECT_EQ(text(tb, "Text"), "Hello there, you");
  EXPECT_EQ(toI4(get(tb, "SelStart")), 16);
  EXPECT_EQ(toI4(get(tb, "SelLength")), 0);
  put(tb, "SelStart", {int32_t{99}});
  EXPECT_EQ(toI4(get(tb, "SelStart")), 16);
  EXPECT_EQ(errorOf([&] { put(tb, "SelStart", {int32_t{-1}}); }), hr::basicError(380));
  put(tb, "Text", {Variant("new")});
  EXPECT_EQ(toI4(get(tb, "SelStart")), 0);
  EXPECT_FALSE(toBool(get(tb, "MultiLine")));
  EXPECT_EQ(errorOf([&] { get(tb, "TextRTF"); }), hr::DISP_E_UNKNOWNNAME);
  EXPECT_TRUE(tb->supports("{33AD4EE1-6699-11CF-B70C-00AA0060D393}"));
  EXPECT_FALSE(control("RichText.RichTextCtrl")->supports("{33AD4EE1-6699-11CF-B70C-00AA0060D393}"));
}

TEST(RichTextBox, RichTextRoundTripsTheText) {
  ObjRef rtb = control("RichText.RichTextCtrl");
  const std::u16string original = u"Line {one} \\ \u00e9\u20ac\ttab\r\nsecond\r\n\r\nlast";
  put(rtb, "Text", {Variant(original)});
  const std::string rtf = text(rtb, "TextRTF");
  EXPECT_EQ(rtf.rfind("{\\rtf1", 0), 0u);
  EXPECT_NE(rtf.find("\\{one\\}"), std::string::npos);
  EXPECT_NE(rtf.find("\\u8364?"), std::string::npos);
  put(rtb, "TextRTF", {Variant(u16(rtf))});
  EXPECT_EQ(toBStr(get(rtb, "Text")).view(), std::u16string_view(original));

  // Rich text written elsewhere: tables skipped, code page bytes, Unicode with fallbacks.
  put(rtb, "TextRTF", {Variant(u16("{\\rtf1\\ansi{\\fonttbl{\\f0 Times;}}{\\*\\generator x;}"
                                   "\\f0 caf\\'e9 \\'80\\uc2\\u8364xy!\\par {\\b bold}\\line end\\par}"))});
  EXPECT_EQ(toBStr(get(rtb, "Text")).view(), std::u16string_view(u"caf\u00e9 \u20ac\u20ac!\r\nbold\vend"));
  // Text that is not rich text is taken as it is.
  put(rtb, "TextRTF", {Variant("plain {text}")});
  EXPECT_EQ(text(rtb, "Text"), "plain {text}");
}

TEST(RichTextBox, AnIndependentReaderFindsTheText) {
  if (std::system("command -v unrtf >/dev/null 2>&1") != 0) GTEST_SKIP() << "unrtf is not installed";
  ScratchTree t;
  ObjRef rtb = control("RichText.RichTextCtrl");
  put(rtb, "Text", {Variant(u"first line\r\nsecond {braced} line")});
  const fs::path file = t.file("doc.rtf", text(rtb, "TextRTF"));
  const std::string out = shell("unrtf --text --nopict " + shellQuote(file.string()) + " 2>/dev/null", false);
  EXPECT_NE(out.find("first line"), std::string::npos) << out;
  EXPECT_NE(out.find("second {braced} line"), std::string::npos) << out;
}

}  // namespace
}  // namespace tlxtest
