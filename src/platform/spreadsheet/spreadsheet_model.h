// Inside the spreadsheet application: the state behind its automation objects.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "talvex/dispatch.h"
#include "platform/app/documents.h"
#include "platform/spreadsheet/cell_ref.h"
#include "platform/spreadsheet/import.h"
#include "platform/spreadsheet/workbook.h"

namespace tlx::platform::spreadsheet {

// The application's "method failed" error.
inline constexpr HRESULT kAppError = hr::basicError(1004);

// Named "Book1" until saved, then by its file name.
struct BookCore : app::DocumentState {
  std::unique_ptr<Workbook> book;
  std::string fullName;  // the path, or the name while never saved
  bool onDisk = false;
  bool readOnly = false;
  bool markedSaved = false;  // Saved set to True by the caller
  SourceFormat source = SourceFormat::Xlsx;  // until saved as XLSX
  size_t activeSheet = 0;

  bool saved() const { return markedSaved || !book->changed(); }
  void saveAs(const std::string& path);
};

struct AppCore : app::Instance<BookCore> {
  static constexpr const char* kEnded = "The spreadsheet application has ended";
  static constexpr const char* kClosed = "The workbook has been closed";
  bool visible = false;

  std::shared_ptr<BookCore> add();
  std::shared_ptr<BookCore> open(const std::string& path, bool readOnly, const Variant& password,
                                 const Variant& writeResPassword);
  void close(const std::shared_ptr<BookCore>& book) { closeDocument(book); }
  void keep(const std::shared_ptr<BookCore>& book);  // open, active, listed for recovery at host exit
};

// Every change to a workbook opened read-only fails with the same error.
inline void refuseIfReadOnly(const BookCore& book) {
  if (book.readOnly) throw ComError(kAppError, "The workbook is read-only");
}

using AppPtr = std::shared_ptr<AppCore>;
using BookPtr = std::shared_ptr<BookCore>;
// The objects of the application as a whole, and those inside one workbook (`doc`).
template <class Self>
using AppObject = app::AppObject<Self, AppCore>;
template <class Self>
using DocObject = app::DocObject<Self, AppCore>;

ObjRef workbookObject(const AppPtr& app, const BookPtr& book);
ObjRef worksheetsObject(const AppPtr& app, const BookPtr& book);
ObjRef worksheetObject(const AppPtr& app, const BookPtr& book, Sheet* sheet);
ObjRef rangeObject(const AppPtr& app, const BookPtr& book, Sheet* sheet, Area area);

// A worksheet by name (any case) or 1-based index, read so that a damaged one fails here.
Sheet* pickSheet(BookCore& book, const Variant& key);
// A cell or an area given as text ("A1", "A1:C3") or as a Range object.
Area areaOf(const Variant& v);

}  // namespace tlx::platform::spreadsheet
