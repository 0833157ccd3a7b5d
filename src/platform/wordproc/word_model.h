// Inside the word processor: the state behind its automation objects, and how they make one
// another.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "talvex/dispatch.h"
#include "platform/app/documents.h"
#include "platform/wordproc/document.h"

namespace tlx::platform::wordproc {

constexpr HRESULT NO_FILE = hr::basicError(5174);
constexpr HRESULT NO_MEMBER = hr::basicError(5941);
constexpr HRESULT BAD_DOCUMENT = hr::basicError(5792);
constexpr HRESULT BAD_NUMBER = hr::basicError(5148);

// Named "Document1" until saved, then by its file name.
struct DocCore : app::DocumentState {
  std::unique_ptr<Document> doc;
  std::string fullName;  // the path, or the name while never saved
  bool onDisk = false;
  bool markedSaved = false;

  bool saved() const { return markedSaved || !doc->changed(); }
  void saveAs(const std::string& path);
  void save();  // a document never saved goes to the working folder under its name
};
using DocPtr = std::shared_ptr<DocCore>;

struct AppCore : app::Instance<DocCore> {
  static constexpr const char* kEnded = "The word processor has ended";
  static constexpr const char* kClosed = "The document has been closed";
  bool visible = false;

  DocPtr add();
  DocPtr open(const std::string& path);
  void close(const DocPtr& doc) { closeDocument(doc); }
  DocPtr keep(const DocPtr& doc);  // open, active, listed for recovery at host exit
};
using AppPtr = std::shared_ptr<AppCore>;

template <class Self>
using AppObject = app::AppObject<Self, AppCore>;

// An object inside one document. A closed document's objects still answer what the document
// object holds itself (Name, FullName, Saved); whatever reaches its content fails in model().
template <class Self>
class InDoc : public app::DocObject<Self, AppCore> {
 public:
  using Base = app::DocObject<Self, AppCore>;
  using Base::Base;
  void check() const { app::checkRunning(this->app); }
  Document& model() {
    if (!this->doc->open) throw ComError(hr::RPC_E_DISCONNECTED, AppCore::kClosed);
    return *this->doc->doc;
  }
};

// What a range covers: some paragraphs, or the end of the document before text was put there,
// or text put there and still pending as a block.
struct Span {
  bool atEnd = false;
  std::vector<Para> paras;
  Block block;
};

ObjRef documentObject(const AppPtr& app, const DocPtr& doc);
ObjRef rangeObject(const AppPtr& app, const DocPtr& doc, Span span);
ObjRef paragraphsObject(const AppPtr& app, const DocPtr& doc);
ObjRef countObject(int32_t count);  // an object with just a Count

}  // namespace tlx::platform::wordproc
