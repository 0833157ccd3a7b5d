// Text and tables into a word-processor document, one member call per step.
#include "automation/cls_concat.h"
#include "talvex/convert.h"
#include "automation/frame.h"
#include "talvex/registry.h"
#include "automation/strings.h"
#include "office/office_application.h"
#include "office/word_methods.h"

namespace tlx {

namespace {

constexpr std::string_view kWordProgId = "Word.Application";

ObjRef obtainWord(ErrorFrame& f) { return obtainApplication(f, kWordProgId); }

ObjRef get(const ObjRef& o, std::string_view member, std::vector<Variant> args = {}) {
  return objectOf(getProperty(o, member, std::move(args)));
}

// The new paragraph's format, read before writing and put back at the end.
struct KeptFormat {
  int16_t alignment = 0;
  bool bold = false;
  BStr name;
  int16_t size = 0;
  int16_t spaceAfter = 0;
};

struct Prepared {
  ObjRef doc, endRange, para;
  KeptFormat kept;
};

Prepared prepareDocument(const ObjRef& word, const BStr& strDocument, int32_t lngPageOrientation) {
  Prepared p;
  ObjRef docs = get(word, "Documents");
  if (!trimSpaces(strDocument).empty())
    p.doc = objectOf(callMethod(docs, "Open", {Variant(strDocument)}));
  else
    p.doc = objectOf(callMethod(docs, "Add"));
  putProperty(get(p.doc, "PageSetup"), "Orientation", Variant(int32_t(lngPageOrientation == 1 ? 1 : 0)));
  p.endRange = get(callMethod(get(p.doc, "Bookmarks"), "Item", {Variant(u"\\endofdoc")}).obj(), "Range");
  p.para = objectOf(callMethod(get(get(p.doc, "Content"), "Paragraphs"), "Add"));
  ObjRef font = get(get(p.para, "Range"), "Font");
  p.kept.alignment = toI2(getProperty(p.para, "Alignment"));
  p.kept.bold = toBool(getProperty(font, "Bold"));
  p.kept.name = toBStr(getProperty(font, "Name"));
  p.kept.size = toI2(getProperty(font, "Size"));
  p.kept.spaceAfter = toI2(getProperty(get(p.para, "Format"), "SpaceAfter"));
  return p;
}

void setFont(const ObjRef& range, const BStr& name, int16_t size, bool bold) {
  ObjRef font = get(range, "Font");
  putProperty(font, "Name", Variant(name));
  putProperty(font, "Size", Variant(size));
  putProperty(font, "Bold", Variant(bold));
}

void writeBack(const Prepared& p) {
  ObjRef font = get(get(p.para, "Range"), "Font");
  putProperty(font, "Bold", Variant(p.kept.bold));
  putProperty(font, "Name", Variant(p.kept.name));
  putProperty(font, "Size", Variant(p.kept.size));
  putProperty(p.para, "Alignment", Variant(int32_t(p.kept.alignment)));
  putProperty(get(p.para, "Format"), "SpaceAfter", Variant(p.kept.spaceAfter));
}

void closeUp(ObjRef& word, bool blnSave, bool blnClose) {
  if (blnSave) callMethod(get(word, "Documents"), "Save", {Variant(true)});
  if (blnClose) callMethod(word, "Quit", {Variant(false)});
}

// The table text appended at the end and converted, with the paragraph format around it.
void tableToDocument(ObjRef& word, const BStr& text, const WordTable& t) {
  Prepared p = prepareDocument(word, t.strDocument, t.lngPageOrientation);
  ObjRef format = get(p.para, "Format");
  putProperty(format, "SpaceAfter", Variant(int16_t(0)));
  putProperty(p.para, "Alignment", Variant(t.lngParagraphAlign));
  putProperty(p.endRange, "Text", Variant(text));
  setFont(p.endRange, t.strFont, t.intSize, t.blnBold);
  putProperty(format, "SpaceAfter", Variant(t.intSpaceAfter));
  callMethod(p.endRange, "ConvertToTable",
             {Variant(u"\t"), Variant::missing(), Variant::missing(), Variant(t.intColumnWidth),
              Variant(t.lngTableType), Variant(t.blnBorders), Variant(t.blnShading), Variant(t.blnFont),
              Variant(t.blnColor), Variant(t.blnHeadingRows), Variant(t.blnLastRow), Variant(t.blnFirstColumn),
              Variant(t.blnLastColumn), Variant(t.blnAutoFit)});
  writeBack(p);
  closeUp(word, t.blnSave, t.blnClose);
}

// Strings and numbers go in without a string of their own; Null and the like refuse.
void appendCell(clsConcat& text, const Variant& v) {
  if (v.isString()) return text.SConcat(std::u16string_view(v.str()));
  char16_t number[kNumberChars];
  if (size_t n = formatNumber(v, number)) return text.SConcat(std::u16string_view(number, n));
  text.SConcat(std::u16string_view(toBStr(v)));
}

BStr oneDText(const SafeArray& a) {
  clsConcat text;
  for (int32_t i = a.lbound(1), last = a.ubound(1); i <= last; ++i) {
    appendCell(text, a.at(i));
    text.SConcat(i == last ? u"\r\n" : u"\t");
  }
  return text.GetString();
}

BStr twoDText(const SafeArray& a) {
  if (a.dims() != 2) throw ComError(hr::basicError(9), "Subscript out of range");
  clsConcat text;
  for (int32_t r = a.lbound(1); r <= a.ubound(1); ++r)
    for (int32_t c = a.lbound(2), last = a.ubound(2); c <= last; ++c) {
      appendCell(text, a.at(r, c));
      text.SConcat(c == last ? u"\r\n" : u"\t");
    }
  return text.GetString();
}

template <class MakeText>
int16_t arrayToWord(Variant& varArray, const WordTable& t, MakeText&& makeText) {
  ErrorFrame f;
  ObjRef word = obtainWord(f);
  if (!word) return -1;
  if (!varArray.isArray()) return -2;
  try {
    putProperty(word, "Visible", Variant(true));
    BStr text = makeText(varArray.arrayRef());
    tableToDocument(word, text, t);
    return 1;
  } catch (...) {
    return -3;
  }
}

// The recordset is left on its first record, whatever happened.
void moveFirst(const ObjRef& objRecd) {
  ErrorFrame quiet;
  if (objRecd) quiet.step([&] { callMethod(objRecd, "MoveFirst"); });
}

BStr headerLine(const ObjRef& objRecd) {
  ObjRef fields = get(objRecd, "Fields");
  int32_t count = toI4(getProperty(fields, "Count"));
  std::u16string line;
  for (int32_t i = 0; i < count; ++i) {
    line += toBStr(getProperty(get(fields, "Item", {Variant(i)}), "Name")).view();
    line += i == count - 1 ? u"\r\n" : u"\t";
  }
  return BStr(line);
}

}  // namespace

int16_t TextToWord(const BStr& strText, const BStr& strDocument, bool blnSave, bool blnClose, bool blnBold,
                   const BStr& strFont, int16_t intSize, int16_t intSpaceAfter, int32_t lngParagraphAlign,
                   int32_t lngPageOrientation) {
  ErrorFrame f;
  ObjRef word = obtainWord(f);
  if (!word) return -1;
  try {
    putProperty(word, "Visible", Variant(true));
    Prepared p = prepareDocument(word, strDocument, lngPageOrientation);
    ObjRef range = get(p.para, "Range");
    putProperty(range, "Text", Variant(strText));
    putProperty(p.para, "Alignment", Variant(lngParagraphAlign));
    ObjRef font = get(range, "Font");
    putProperty(font, "Bold", Variant(blnBold));
    putProperty(font, "Name", Variant(strFont));
    putProperty(font, "Size", Variant(intSize));
    putProperty(get(p.para, "Format"), "SpaceAfter", Variant(intSpaceAfter));
    callMethod(get(p.para, "Range"), "InsertParagraphAfter");
    writeBack(p);
    closeUp(word, blnSave, blnClose);
    return 1;
  } catch (...) {
    return -2;
  }
}

int16_t OneDArrayToWord(Variant& varArray, const WordTable& table) {
  return arrayToWord(varArray, table, oneDText);
}

int16_t TwoDArrayToWord(Variant& varArray, const WordTable& table) {
  return arrayToWord(varArray, table, twoDText);
}

int16_t RecordsetToWord(const ObjRef& objRecd, bool blnIncludeHeadings, const WordTable& table) {
  ErrorFrame f;
  ObjRef word = obtainWord(f);
  if (!word) return -1;
  f.step([&] { putProperty(word, "Visible", Variant(true)); });
  try {
    if (!objRecd) throw ComError(hr::OBJECT_REQUIRED, "Object required");
    // From the first record, so that a recordset the host has moved on still gives all its rows.
    callMethod(objRecd, "MoveFirst");
    BStr rows = toBStr(callMethod(objRecd, "GetString", {Variant(int32_t(2)), Variant(int32_t(-1)), Variant(u"\t")}));
    callMethod(objRecd, "MoveFirst");
    BStr text = blnIncludeHeadings ? BStr(std::u16string(headerLine(objRecd).view()) + std::u16string(rows.view())) : rows;
    tableToDocument(word, text, table);
  } catch (...) {
    moveFirst(objRecd);
    return -2;
  }
  moveFirst(objRecd);
  return 1;
}

}  // namespace tlx
