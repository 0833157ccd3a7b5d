// Inside the spreadsheet application: the state behind its automation objects.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "talvex/dispatch.h"
#include "platform/spreadsheet/cell_ref.h"
#include "platform/spreadsheet/import.h"
#include "platform/spreadsheet/workbook.h"

namespace tlx::xlsx {

struct BookCore {
  std::unique_ptr<Workbook> book;
  std::string name;      // "Book1", or the file name
  std::string fullName;  // the path, or the name while never saved
  bool onDisk = false;
  bool open = true;
  bool readOnly = false;
  bool markedSaved = false;  // Saved set to True by the caller
  int recoveryTicket = 0;
  SourceFormat source = SourceFormat::Xlsx;  // until saved as XLSX
  size_t activeSheet = 0;

  bool saved() const { return markedSaved || !book->changed(); }
  void saveAs(const std::string& path);
};

struct AppCore {
  bool alive = true;
  bool visible = false;
  int nextBook = 1;
  std::vector<std::shared_ptr<BookCore>> books;
  std::shared_ptr<BookCore> active;
  Dispatch* wrapper = nullptr;

  std::shared_ptr<BookCore> add();
  std::shared_ptr<BookCore> open(const std::string& path, bool readOnly, const Variant& password,
                                 const Variant& writeResPassword);
  void close(const std::shared_ptr<BookCore>& book);
  void keep(const std::shared_ptr<BookCore>& book);  // listed for recovery at host exit
};

using AppPtr = std::shared_ptr<AppCore>;
using BookPtr = std::shared_ptr<BookCore>;

ObjRef workbookObject(const AppPtr& app, const BookPtr& book);
ObjRef worksheetObject(const AppPtr& app, const BookPtr& book, Sheet* sheet);
ObjRef rangeObject(const AppPtr& app, const BookPtr& book, Sheet* sheet, Area area);

}  // namespace tlx::xlsx
