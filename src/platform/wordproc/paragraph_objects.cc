// The paragraphs of a document, each paragraph and its format.
#include "talvex/convert.h"
#include "platform/wordproc/word_model.h"

namespace tlx::platform::wordproc {

namespace {

// A paragraph's Format and the paragraph itself share Alignment and SpaceAfter.
template <class Self>
void paragraphFormatMembers(Members<Self>& t) {
  t.property(
      "Alignment", [](Self& s, Args&) { return Variant(int32_t(s.model().alignment(s.para))); },
      [](Self& s, Args&, const Variant& v) { s.model().setAlignment(s.para, toI4(v)); });
  t.property(
      "SpaceAfter", [](Self& s, Args&) { return Variant(float(s.model().spaceAfter(s.para))); },
      [](Self& s, Args&, const Variant& v) { s.model().setSpaceAfter(s.para, toDouble(v)); });
}

class ParagraphFormatObj : public InDoc<ParagraphFormatObj> {
 public:
  ParagraphFormatObj(AppPtr a, DocPtr d, Para p) : InDoc(std::move(a), std::move(d)), para(std::move(p)) {}
  std::string typeName() const override { return "ParagraphFormat"; }
  static const Members<ParagraphFormatObj>& members() {
    static const Members<ParagraphFormatObj> m = [] {
      Members<ParagraphFormatObj> t;
      paragraphFormatMembers(t);
      return t;
    }();
    return m;
  }
  Para para;
};

class ParagraphObj : public InDoc<ParagraphObj> {
 public:
  ParagraphObj(AppPtr a, DocPtr d, Para p) : InDoc(std::move(a), std::move(d)), para(std::move(p)) {}
  std::string typeName() const override { return "Paragraph"; }
  static const Members<ParagraphObj>& members() {
    static const Members<ParagraphObj> m = [] {
      Members<ParagraphObj> t;
      paragraphFormatMembers(t);
      t.property("Range", [](ParagraphObj& s, Args&) {
        s.model().text(s.para);  // a paragraph that left the document fails here
        return Variant(rangeObject(s.app, s.doc, Span{false, {s.para}, nullptr}));
      });
      t.property("Format", [](ParagraphObj& s, Args&) {
        return Variant(ObjRef(makeRef<ParagraphFormatObj>(s.app, s.doc, s.para)));
      });
      return t;
    }();
    return m;
  }
  Para para;
};

ObjRef paragraphObject(const AppPtr& app, const DocPtr& doc, Para p) {
  return ObjRef(makeRef<ParagraphObj>(app, doc, std::move(p)));
}

class ParagraphsObj : public InDoc<ParagraphsObj> {
 public:
  using InDoc::InDoc;
  std::string typeName() const override { return "Paragraphs"; }
  std::vector<Variant> enumerate() override {
    return app::objectsOf(model().paragraphs(), [&](const Para& p) { return paragraphObject(app, doc, p); });
  }
  Variant item(int32_t i) {
    auto all = model().paragraphs();
    if (i < 1 || i > int32_t(all.size())) throw ComError(NO_MEMBER, "The requested member of the collection does not exist.");
    return Variant(paragraphObject(app, doc, all[size_t(i - 1)]));
  }
  static const Members<ParagraphsObj>& members() {
    static const Members<ParagraphsObj> m = [] {
      Members<ParagraphsObj> t;
      t.property("Count", [](ParagraphsObj& s, Args&) { return Variant(int32_t(s.model().paragraphs().size())); });
      t.method("Item", {"Index"}, [](ParagraphsObj& s, Args& a) { return s.item(toI4(a[0])); });
      t.property("First", [](ParagraphsObj& s, Args&) { return s.item(1); });
      t.property("Last", [](ParagraphsObj& s, Args&) {
        return s.item(int32_t(s.model().paragraphs().size()));
      });
      t.method("Add", {"Range"}, [](ParagraphsObj& s, Args&) {
        return Variant(paragraphObject(s.app, s.doc, s.model().appendParagraph()));
      });
      t.byDefault("Item");
      return t;
    }();
    return m;
  }
};

}  // namespace

ObjRef paragraphsObject(const AppPtr& app, const DocPtr& doc) { return ObjRef(makeRef<ParagraphsObj>(app, doc)); }

}  // namespace tlx::platform::wordproc
