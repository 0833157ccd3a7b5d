// List-type controls and text boxes into one-dimensional arrays.
#include "controls_support.h"

namespace tlxtest {
namespace {

ObjRef listOf(const char* progId, std::vector<const char*> items) {
  ObjRef lb = control(progId);
  for (const char* s : items) callMethod(lb, "AddItem", {Variant(s)});
  return lb;
}

TEST(ListControls, AllEntriesOrTheSelectedOnes) {
  Variant a = emptyArray();
  EXPECT_EQ(ComboBoxToOneDArray(listOf("VB.ComboBox", {"a", "b"}), a), 1);
  EXPECT_EQ(texts(a), (Texts{"a", "b"}));

  // Several selected: the session test; one: the ListIndex entry.
  ObjRef single = listOf("VB.ListBox", {"x", "y"});
  EXPECT_EQ(ListBoxToOneDArray(single, a), 1);
  EXPECT_EQ(texts(a), (Texts{"x", "y"}));
  put(single, "ListIndex", {int32_t{1}});
  EXPECT_EQ(ListBoxToOneDArray(single, a, true), 1);
  EXPECT_EQ(texts(a), (Texts{"y"}));
}

// Every method tests the control's type first, then the array; the list methods share one copy.
TEST(ListControls, TypeTestFirstThenTheArrayAndEmptyListsCannotBeDimensioned) {
  Variant a = strings({"keep"});
  ObjRef lb = listOf("VB.ListBox", {"a"});
  EXPECT_EQ(ComboBoxToOneDArray(lb, a), -1);
  EXPECT_EQ(ListBoxToOneDArray(ObjRef(), a), -1);
  EXPECT_EQ(FileListBoxToOneDArray(lb, a), -1);
  EXPECT_EQ(TextBoxToOneDArray(control("RichText.RichTextCtrl"), a), -1);
  Variant notArray(u"x");
  EXPECT_EQ(ListBoxToOneDArray(lb, notArray), -2);
  EXPECT_EQ(notArray, Variant(u"x"));
  EXPECT_EQ(texts(a), (Texts{"keep"}));

  // Nothing to hold: the run-time error, the array as it was.
  EXPECT_EQ(ListBoxToOneDArray(control("VB.ListBox"), a), -3);
  EXPECT_EQ(ListBoxToOneDArray(lb, a, true), -3);
  EXPECT_EQ(texts(a), (Texts{"keep"}));
  Variant unallocated = Variant::unallocatedArray();
  EXPECT_EQ(ListBoxToOneDArray(lb, unallocated), 1);
  EXPECT_EQ(texts(unallocated), (Texts{"a"}));
}

// What each list holds is the controls' own business (tests/platform_forms); here the methods copy
// it. The directory and drive lists share the list boxes' copy; the file list grows its own.
TEST(ListControls, DirectoryDriveAndFileListsOverARealTree) {
  ScratchTree t;
  t.dir("src");
  for (const char* name : {"a.txt", "data.csv", "notes.txt"}) t.file(name);
  const std::string root = t.root.string();
  Variant a = emptyArray();
  ObjRef dlb = control("VB.DirListBox");
  put(dlb, "Path", {Variant(u16(root))});
  EXPECT_EQ(DirListBoxToOneDArray(dlb, a), 1);
  EXPECT_EQ(texts(a), (Texts{root + "/src"}));
  EXPECT_EQ(DriveListBoxToOneDArray(control("VB.DriveListBox"), a), 1);
  EXPECT_EQ(texts(a)[0], "/");

  ObjRef flb = control("VB.FileListBox");
  put(flb, "Path", {Variant(u16(root))});
  EXPECT_EQ(FileListBoxToOneDArray(flb, a), 1);
  EXPECT_EQ(texts(a), (Texts{"a.txt", "data.csv", "notes.txt"}));

  // Selected only: grown one name at a time; nothing selected leaves the caller's array alone.
  Variant mine = strings({"one", "two", "three", "four", "five"});
  EXPECT_EQ(FileListBoxToOneDArray(flb, mine, true), 1);
  EXPECT_EQ(texts(mine), (Texts{"one", "two", "three", "four", "five"}));
  put(flb, "MultiSelect", {int32_t{1}});
  put(flb, "Selected", {int32_t{0}, true});
  put(flb, "Selected", {int32_t{2}, true});
  EXPECT_EQ(FileListBoxToOneDArray(flb, mine, true), 1);
  EXPECT_EQ(texts(mine), (Texts{"a.txt", "notes.txt"}));
}

TEST(TextControls, LinesEndAtLineFeedsAndCarriageReturnsAreDropped) {
  ObjRef tb = control("VB.TextBox");
  ObjRef rtb = control("RichText.RichTextCtrl");
  const std::pair<std::u16string, Texts> cases[] = {
      {u"x\r\ny", {"x", "y"}},
      {u"x\n\n", {"x", ""}},
      {u"x\ry", {"xy"}},
      {u"", {""}},
      {u"one\r\ntwo\nthree\r\n", {"one", "two", "three"}},
      {u"\u00e9t\u00e9\r\n\r\nhiver", {"\u00e9t\u00e9", "", "hiver"}},
  };
  for (const auto& [text, lines] : cases) {
    Variant a = emptyArray(), b = emptyArray();
    put(tb, "Text", {Variant(text)});
    put(rtb, "Text", {Variant(text)});
    EXPECT_EQ(TextBoxToOneDArray(tb, a), 1);
    EXPECT_EQ(texts(a), lines) << u8(text);
    EXPECT_EQ(RichTextBoxToOneDArray(rtb, b), 1);
    EXPECT_EQ(texts(b), lines) << u8(text);
  }
  Variant a = emptyArray(), none(int16_t{3});
  EXPECT_EQ(RichTextBoxToOneDArray(rtb, none), -1);
  EXPECT_EQ(RichTextBoxToOneDArray(control("VB.DriveListBox"), a), -2);  // no Text member
}

}  // namespace
}  // namespace tlxtest
