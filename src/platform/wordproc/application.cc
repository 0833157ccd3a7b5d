#include <cmath>
#include <filesystem>

#include "talvex/convert.h"
#include "talvex/registry.h"
#include "automation/strings.h"
#include "platform/app/documents.h"
#include "platform/app/recovery.h"
#include "platform/wordproc/document.h"
#include "platform/wordproc/word_application.h"

namespace tlx::docx {

namespace {

constexpr const char* kProgId = "Word.Application";
constexpr HRESULT NO_FILE = hr::basicError(5174);
constexpr HRESULT NO_MEMBER = hr::basicError(5941);
constexpr HRESULT BAD_DOCUMENT = hr::basicError(5792);

[[noreturn]] void disconnected() { throw ComError(hr::RPC_E_DISCONNECTED, "The word processor has ended"); }

using app::absolutePath;

// A path in the working folder that no file holds yet.
std::string freeName(const std::string& stem) {
  namespace fs = std::filesystem;
  fs::path p = fs::current_path() / (stem + ".docx");
  for (int n = 2; fs::exists(p); ++n) p = fs::current_path() / (stem + " (" + std::to_string(n) + ").docx");
  return p.string();
}

struct DocCore {
  std::unique_ptr<Document> doc;
  std::string name;      // "Document1", or the file name
  std::string fullName;  // the path, or the name while never saved
  bool onDisk = false;
  bool open = true;
  bool markedSaved = false;
  int recoveryTicket = 0;

  bool saved() const { return markedSaved || !doc->changed(); }
  Document& live() {
    if (!open) throw ComError(hr::RPC_E_DISCONNECTED, "The document has been closed");
    return *doc;
  }
  void saveAs(const std::string& path) {
    std::string full = absolutePath(path);
    try {
      doc->save(full);
    } catch (const opc::PackageError& e) {
      throw ComError(BAD_DOCUMENT, e.what());
    }
    name = std::filesystem::path(full).filename().string();
    fullName = full;
    onDisk = true;
    markedSaved = false;
  }
  void save() { saveAs(onDisk ? fullName : freeName(name)); }
};
using DocPtr = std::shared_ptr<DocCore>;

struct AppCore {
  bool alive = true;
  bool visible = false;
  int nextDoc = 1;
  std::vector<DocPtr> docs;
  DocPtr active;

  DocPtr add() {
    auto d = std::make_shared<DocCore>();
    d->doc = Document::create();
    d->name = d->fullName = "Document" + std::to_string(nextDoc++);
    return keep(d);
  }
  DocPtr open(const std::string& path) {
    if (path.empty()) throw ComError(NO_FILE, "No file name given");
    std::string full = absolutePath(path);
    for (auto& d : docs)
      if (d->onDisk && d->fullName == full) return active = d;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(full, ec))
      throw ComError(NO_FILE, "This file could not be found. (" + path + ")");
    auto d = std::make_shared<DocCore>();
    try {
      d->doc = Document::load(opc::Package::open(full));
    } catch (const opc::PackageError& e) {
      throw ComError(BAD_DOCUMENT, "The file \"" + path + "\" cannot be opened: " + e.what());
    }
    d->name = std::filesystem::path(full).filename().string();
    d->fullName = full;
    d->onDisk = true;
    return keep(d);
  }
  void close(const DocPtr& listed) {
    DocPtr d = app::dropDocument(docs, active, listed);
    d->open = false;
    if (d->recoveryTicket) app::unlistUnsaved(d->recoveryTicket);
    d->recoveryTicket = 0;
  }
  // Listed for recovery at host exit until closed.
  DocPtr keep(const DocPtr& d) {
    docs.push_back(d);
    active = d;
    d->recoveryTicket =
        app::listForRecovery(d, d->name, ".docx", [](DocCore& c, const std::string& path) { c.doc->save(path); });
    return d;
  }
};
using AppPtr = std::shared_ptr<AppCore>;

// Every object checks that its application still runs before any member.
template <class Self>
class Live : public app::Live<Self> {
 public:
  explicit Live(AppPtr a) : app(std::move(a)) {}
  void check() {
    if (!app || !app->alive) disconnected();
  }
  AppPtr app;
};

// Objects inside one document.
template <class Self>
class InDoc : public Live<Self> {
 public:
  InDoc(AppPtr a, DocPtr d) : Live<Self>(std::move(a)), doc(std::move(d)) {}
  Document& model() { return doc->live(); }
  DocPtr doc;
};

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

// What a range covers: some paragraphs, or the end of the document before text was put there,
// or text put there and still pending as a block.
struct Span {
  bool atEnd = false;
  std::vector<Para> paras;
  Block block;
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

ObjRef paragraphsObject(const AppPtr& app, const DocPtr& doc);
ObjRef paragraphObject(const AppPtr& app, const DocPtr& doc, Para p);

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
      throw ComError(hr::basicError(5148), "The number must be between 1 and 63.");
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

ObjRef rangeObject(const AppPtr& app, const DocPtr& doc, Span span) {
  return ObjRef(makeRef<RangeObj>(app, doc, std::make_shared<Span>(std::move(span))));
}

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

ObjRef paragraphsObject(const AppPtr& app, const DocPtr& doc) { return ObjRef(makeRef<ParagraphsObj>(app, doc)); }

class BookmarkObj : public InDoc<BookmarkObj> {
 public:
  using InDoc::InDoc;
  std::string typeName() const override { return "Bookmark"; }
  static const Members<BookmarkObj>& members() {
    static const Members<BookmarkObj> m = [] {
      Members<BookmarkObj> t;
      t.property("Name", [](BookmarkObj&, Args&) { return Variant(u"\\endofdoc"); });
      t.property("Range", [](BookmarkObj& s, Args&) {
        s.model();
        return Variant(rangeObject(s.app, s.doc, Span{true, {}, nullptr}));
      });
      return t;
    }();
    return m;
  }
};

class BookmarksObj : public InDoc<BookmarksObj> {
 public:
  using InDoc::InDoc;
  std::string typeName() const override { return "Bookmarks"; }
  static const Members<BookmarksObj>& members() {
    static const Members<BookmarksObj> m = [] {
      Members<BookmarksObj> t;
      t.method("Item", {"Index"}, [](BookmarksObj& s, Args& a) {
        if (!equalsNoCase(toBStr(a[0]).view(), u"\\endofdoc"))
          throw ComError(NO_MEMBER, "The requested member of the collection does not exist.");
        return Variant(ObjRef(makeRef<BookmarkObj>(s.app, s.doc)));
      });
      t.method("Exists", {"Name"}, [](BookmarksObj&, Args& a) {
        return Variant(equalsNoCase(toBStr(a[0]).view(), u"\\endofdoc"));
      });
      t.byDefault("Item");
      return t;
    }();
    return m;
  }
};

class PageSetupObj : public InDoc<PageSetupObj> {
 public:
  using InDoc::InDoc;
  std::string typeName() const override { return "PageSetup"; }
  static const Members<PageSetupObj>& members() {
    static const Members<PageSetupObj> m = [] {
      Members<PageSetupObj> t;
      t.property(
          "Orientation", [](PageSetupObj& s, Args&) { return Variant(int32_t(s.model().orientation())); },
          [](PageSetupObj& s, Args&, const Variant& v) {
            int32_t o = toI4(v);
            if (o != 0 && o != 1) throw ComError(hr::basicError(5148), "The orientation must be 0 or 1.");
            s.model().setOrientation(o);
          });
      return t;
    }();
    return m;
  }
};

class DocumentObj : public InDoc<DocumentObj> {
 public:
  using InDoc::InDoc;
  std::string typeName() const override { return "Document"; }
  void close(Args& a) {
    if (!doc->open) return;
    if (a.has(0) && toI4(a.value(0)) != 0 && !doc->saved()) doc->save();
    app->close(doc);
  }
  static const Members<DocumentObj>& members() {
    static const Members<DocumentObj> m = [] {
      Members<DocumentObj> t;
      t.property("Name", [](DocumentObj& s, Args&) { return Variant(u16(s.doc->name)); });
      t.property("FullName", [](DocumentObj& s, Args&) { return Variant(u16(s.doc->fullName)); });
      t.property("Path", [](DocumentObj& s, Args&) {
        return Variant(u16(s.doc->onDisk ? std::filesystem::path(s.doc->fullName).parent_path().string() : ""));
      });
      t.property(
          "Saved", [](DocumentObj& s, Args&) { return Variant(s.doc->saved()); },
          [](DocumentObj& s, Args&, const Variant& v) { s.doc->markedSaved = toBool(v); });
      t.method("Save", {}, [](DocumentObj& s, Args&) {
        s.model();
        s.doc->save();
        return Variant();
      });
      t.method("SaveAs", {"FileName", "FileFormat"}, [](DocumentObj& s, Args& a) {
        s.model();
        s.doc->saveAs(u8(toBStr(a[0]).view()));
        return Variant();
      });
      t.method("Close", {"SaveChanges"}, [](DocumentObj& s, Args& a) {
        s.close(a);
        return Variant();
      });
      t.property("PageSetup", [](DocumentObj& s, Args&) { return Variant(ObjRef(makeRef<PageSetupObj>(s.app, s.doc))); });
      t.property("Bookmarks", [](DocumentObj& s, Args&) { return Variant(ObjRef(makeRef<BookmarksObj>(s.app, s.doc))); });
      t.property("Paragraphs", [](DocumentObj& s, Args&) { return Variant(paragraphsObject(s.app, s.doc)); });
      t.property("Content", [](DocumentObj& s, Args&) {
        return Variant(rangeObject(s.app, s.doc, Span{false, s.model().paragraphs(), nullptr}));
      });
      t.property("Tables", [](DocumentObj& s, Args&) { return Variant(ObjRef(makeRef<CountObj>(s.model().tableCount()))); });
      t.byDefault("Name");
      return t;
    }();
    return m;
  }
};

ObjRef documentObject(const AppPtr& app, const DocPtr& doc) { return ObjRef(makeRef<DocumentObj>(app, doc)); }

class DocumentsObj : public Live<DocumentsObj> {
 public:
  using Live::Live;
  std::string typeName() const override { return "Documents"; }
  std::vector<Variant> enumerate() override {
    return app::objectsOf(app->docs, [&](const DocPtr& d) { return documentObject(app, d); });
  }
  static const Members<DocumentsObj>& members() {
    static const Members<DocumentsObj> m = [] {
      Members<DocumentsObj> t;
      t.property("Count", [](DocumentsObj& s, Args&) { return Variant(int32_t(s.app->docs.size())); });
      t.method("Item", {"Index"}, [](DocumentsObj& s, Args& a) {
        auto missing = [](const Variant&) { return ComError(NO_MEMBER, "The requested member of the collection does not exist."); };
        auto& d = app::itemByKey(s.app->docs, a[0], 1, [](const DocCore& c) { return c.name; }, missing);
        return Variant(documentObject(s.app, d));
      });
      t.method("Add", {"Template", "NewTemplate", "DocumentType", "Visible"},
               [](DocumentsObj& s, Args&) { return Variant(documentObject(s.app, s.app->add())); });
      // Declared in full, so that a password given by position is known as one.
      t.method("Open",
               {"FileName", "ConfirmConversions", "ReadOnly", "AddToRecentFiles", "PasswordDocument",
                "PasswordTemplate", "Revert", "WritePasswordDocument", "WritePasswordTemplate", "Format"},
               [](DocumentsObj& s, Args& a) {
        return Variant(documentObject(s.app, s.app->open(u8(toBStr(a[0]).view()))));
      });
      t.method("Save", {"NoPrompt", "OriginalFormat"}, [](DocumentsObj& s, Args&) {
        for (auto& d : std::vector<DocPtr>(s.app->docs))
          if (!d->saved() || !d->onDisk) d->save();
        return Variant();
      });
      t.byDefault("Item");
      return t;
    }();
    return m;
  }
};

class ApplicationObj : public Live<ApplicationObj> {
 public:
  ApplicationObj() : Live(std::make_shared<AppCore>()) {}
  ~ApplicationObj() override { app->alive = false; }
  std::string typeName() const override { return "Application"; }

  void quit(Args& a) {
    bool save = a.has(0) && toI4(a.value(0)) != 0;
    app::endApplication(kProgId, this, *app, app->docs, [&](const DocPtr& d) {
      if (save && !d->saved()) d->save();
      app->close(d);
    });
  }

  static const Members<ApplicationObj>& members() {
    static const Members<ApplicationObj> m = [] {
      Members<ApplicationObj> t;
      t.property("Name", [](ApplicationObj&, Args&) { return Variant(u"Word"); });
      t.property(
          "Visible", [](ApplicationObj& s, Args&) { return Variant(s.app->visible); },
          [](ApplicationObj& s, Args&, const Variant& v) { s.app->visible = toBool(v); });
      t.property("Documents", [](ApplicationObj& s, Args&) { return Variant(ObjRef(makeRef<DocumentsObj>(s.app))); });
      t.property("ActiveDocument", [](ApplicationObj& s, Args&) {
        if (!s.app->active) throw ComError(hr::basicError(4248), "This command is not available because no document is open.");
        return Variant(documentObject(s.app, s.app->active));
      });
      t.method("Quit", {"SaveChanges", "OriginalFormat", "RouteDocument"}, [](ApplicationObj& s, Args& a) {
        s.quit(a);
        return Variant();
      });
      t.byDefault("Name");
      return t;
    }();
    return m;
  }
};

}  // namespace

}  // namespace tlx::docx

namespace tlx {

void registerWordApplication() {
  app::registerApplication(docx::kProgId, [] { return ObjRef(makeRef<docx::ApplicationObj>()); });
}

}  // namespace tlx
