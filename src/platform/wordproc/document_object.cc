// The Document object and what hangs on it alone: page setup and the bookmarks.
#include <filesystem>

#include "talvex/convert.h"
#include "automation/strings.h"
#include "platform/wordproc/word_model.h"

namespace tlx::platform::wordproc {

namespace {

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
            if (o != 0 && o != 1) throw ComError(BAD_NUMBER, "The orientation must be 0 or 1.");
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
        s.doc->saveAs(toUtf8(a[0]));
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
      t.property("Tables", [](DocumentObj& s, Args&) { return Variant(countObject(s.model().tableCount())); });
      t.byDefault("Name");
      return t;
    }();
    return m;
  }
};

}  // namespace

ObjRef documentObject(const AppPtr& app, const DocPtr& doc) { return ObjRef(makeRef<DocumentObj>(app, doc)); }

}  // namespace tlx::platform::wordproc
