// Ranges of a document's text, their font, and the tables they become.
#include "talvex/convert.h"
#include "platform/wordproc/word_model.h"

namespace tlx::platform::wordproc {

namespace {

class CountObj : public Object<CountObj> {
 public:
  explicit CountObj(int32_t n) : count(n) {}
  static const Members<CountObj>& members() {
    static const Members<CountObj> m = [] {
      Members<CountObj> t;
      t.property("Count", [](CountObj& s, Args&) { return Variant(s.count); });
      return t;
    }();
    return m;
  }
  int32_t count;
};

class TableObj : public Object<TableObj> {
 public:
  TableObj(int32_t r, int32_t c, std::string s) : rows(r), cols(c), style(std::move(s)) {}
  std::string typeName() const override { return "Table"; }
  static const Members<TableObj>& members() {
    static const Members<TableObj> m = [] {
      Members<TableObj> t;
      t.property("Rows", [](TableObj& s, Args&) { return Variant(ObjRef(makeRef<CountObj>(s.rows))); });
      t.property("Columns", [](TableObj& s, Args&) { return Variant(ObjRef(makeRef<CountObj>(s.cols))); });
      t.property("Style", [](TableObj& s, Args&) { return Variant(u16(s.style)); });
      return t;
    }();
    return m;
  }
  int32_t rows, cols;
  std::string style;
};

using SpanPtr = std::shared_ptr<Span>;

// The paragraphs a range covers, a pending block laid out now.
std::vector<Para>& laidOut(Document& d, Span& s) {
  if (s.block) {
    s.paras = d.layOut(s.block);
    s.block.reset();
  }
  return s.paras;
}

// The paragraphs a range's formatting reaches: at the end of the document with nothing put
// there yet, the last paragraph (the one the next text is typed into); a pending block's model.
std::vector<Para> reached(Document& d, Span& s) {
  if (s.block) return {d.formatOf(s.block)};
  if (s.paras.empty() && s.atEnd) return {d.lastParagraph()};
  return s.paras;
}

class FontObj : public InDoc<FontObj> {
 public:
  FontObj(AppPtr a, DocPtr d, SpanPtr s) : InDoc(std::move(a), std::move(d)), span(std::move(s)) {}
  std::string typeName() const override { return "Font"; }
  CharFormat first() {
    auto paras = reached(model(), *span);
    if (paras.empty()) throw ComError(NO_MEMBER, "The range is empty");
    return model().charFormat(paras.front());
  }
  template <class F>
  void each(F&& f) {
    for (auto& p : reached(model(), *span)) f(p);
  }
  static const Members<FontObj>& members() {
    static const Members<FontObj> m = [] {
      Members<FontObj> t;
      t.property(
          "Bold", [](FontObj& s, Args&) { return Variant(s.first().bold ? int32_t(-1) : int32_t(0)); },
          [](FontObj& s, Args&, const Variant& v) {
            bool on = toBool(v);
            s.each([&](const Para& p) { s.model().setBold(p, on); });
          });
      t.property(
          "Name", [](FontObj& s, Args&) { return Variant(s.first().name); },
          [](FontObj& s, Args&, const Variant& v) {
            BStr name = toBStr(v);
            s.each([&](const Para& p) { s.model().setFontName(p, name.view()); });
          });
      t.property(
          "Size", [](FontObj& s, Args&) { return Variant(float(s.first().size)); },
          [](FontObj& s, Args&, const Variant& v) {
            double size = toDouble(v);
            s.each([&](const Para& p) { s.model().setFontSize(p, size); });
          });
      return t;
    }();
    return m;
  }
  SpanPtr span;
};

bool flag(Args& a, size_t i) { return a.has(i) && toBool(a.value(i)); }

class RangeObj : public InDoc<RangeObj> {
 public:
  RangeObj(AppPtr a, DocPtr d, SpanPtr s) : InDoc(std::move(a), std::move(d)), span(std::move(s)) {}
  std::string typeName() const override { return "Range"; }

  std::u16string text() {
    std::u16string out;
    for (auto& p : laidOut(model(), *span)) out += model().text(p) + u"\r";
    return out;
  }
  void setText(std::u16string_view t) {
    if (span->atEnd) {
      laidOut(model(), *span);
      span->block = model().appendText(t);
      span->paras = span->block ? std::vector<Para>() : model().insertAtEnd(t);
    } else {
      if (laidOut(model(), *span).empty()) throw ComError(NO_MEMBER, "The range is empty");
      model().setText(span->paras.front(), t);
    }
  }
  Variant convertToTable(Args& a) {
    if (a.has(0)) {
      Variant sep = a.value(0);
      bool tabs = sep.isString() ? sep.str().view() == u"\t" : toI4(sep) == 1;
      if (!tabs) throw ComError(hr::E_INVALIDARG, "Only tabs separate the cells of a converted table");
    }
    TableRequest r;
    r.minColumns = a.has(2) ? toI4(a.value(2)) : 0;
    r.columnWidth = a.has(3) ? toDouble(a.value(3)) : 0;
    r.format = a.has(4) ? toI4(a.value(4)) : 0;
    r.borders = flag(a, 5);
    r.shading = flag(a, 6);
    r.font = flag(a, 7);
    r.color = flag(a, 8);
    r.headingRows = flag(a, 9);
    r.lastRow = flag(a, 10);
    r.firstColumn = flag(a, 11);
    r.lastColumn = flag(a, 12);
    r.autoFit = flag(a, 13);
    if (r.columnWidth < 0 || r.minColumns < 0 || r.minColumns > 63)
      throw ComError(BAD_NUMBER, "The number must be between 1 and 63.");
    auto [rows, cols] = span->block ? model().convertToTable(span->block, r) : model().convertToTable(span->paras, r);
    span->paras.clear();
    span->block.reset();
    std::string style = "Talvex table format " + std::to_string(r.format);
    return Variant(ObjRef(makeRef<TableObj>(rows, cols, style)));
  }

  static const Members<RangeObj>& members() {
    static const Members<RangeObj> m = [] {
      Members<RangeObj> t;
      t.property(
          "Text", [](RangeObj& s, Args&) { return Variant(s.text()); },
          [](RangeObj& s, Args&, const Variant& v) { s.setText(toBStr(v).view()); });
      t.property("Font", [](RangeObj& s, Args&) { return Variant(ObjRef(makeRef<FontObj>(s.app, s.doc, s.span))); });
      t.property("Paragraphs", [](RangeObj& s, Args&) { return Variant(paragraphsObject(s.app, s.doc)); });
      t.method("InsertParagraphAfter", {}, [](RangeObj& s, Args&) {
        laidOut(s.model(), *s.span);
        auto paras = reached(s.model(), *s.span);
        if (paras.empty()) throw ComError(NO_MEMBER, "The range is empty");
        Para text = s.model().insertParagraphAfter(paras.back());
        paras.insert(paras.end() - 1, text);
        s.span->paras = paras;
        return Variant();
      });
      t.method("ConvertToTable",
               {"Separator", "NumRows", "NumColumns", "InitialColumnWidth", "Format", "ApplyBorders",
                "ApplyShading", "ApplyFont", "ApplyColor", "ApplyHeadingRows", "ApplyLastRow", "ApplyFirstColumn",
                "ApplyLastColumn", "AutoFit", "AutoFitBehavior", "DefaultTableBehavior"},
               [](RangeObj& s, Args& a) { return s.convertToTable(a); });
      t.byDefault("Text");
      return t;
    }();
    return m;
  }
  SpanPtr span;
};

}  // namespace

ObjRef countObject(int32_t count) { return ObjRef(makeRef<CountObj>(count)); }

ObjRef rangeObject(const AppPtr& app, const DocPtr& doc, Span span) {
  return ObjRef(makeRef<RangeObj>(app, doc, std::make_shared<Span>(std::move(span))));
}

}  // namespace tlx::platform::wordproc
