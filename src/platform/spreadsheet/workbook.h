// The workbook model behind the spreadsheet application: sheets of typed cells read from and
// saved to an XLSX package. Sheets are read when first used; a sheet, the workbook part or the
// styles are written back only when changed, every other part stays as it was stored.
#pragma once

#include <pugixml.hpp>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "talvex/variant.h"
#include "platform/opc/package.h"
#include "platform/opc/xml_parts.h"
#include "platform/spreadsheet/styles.h"

namespace tlx::platform::spreadsheet {

constexpr int32_t kMaxRows = 1048576;
constexpr int32_t kMaxCols = 16384;
constexpr size_t kMaxCellChars = 32767;
constexpr double kDefaultColumnWidth = 8.43;

struct Cell {
  int32_t col = 0;
  uint32_t style = 0;
  int32_t sst = -1;      // shared-string index the value came from, while unchanged
  int32_t formula = -1;  // index into Sheet::formulas, -1 for none
  Variant value;         // Empty, R8, String, Boolean, Date or Error
};

struct Row {
  std::string attrs;  // attributes other than r, kept as read (height, style, ...)
  std::vector<Cell> cells;  // ordered by column
};

struct ColumnRange {
  int32_t max = 0;
  std::optional<double> width;
  std::string attrs;  // other attributes, kept as read
};

class Workbook;

class Sheet {
 public:
  std::string name;
  std::string part;  // "xl/worksheets/sheet1.xml"
  pugi::xml_node entry;  // its <sheet> element in the workbook part

  // Cells; reading a sheet's part happens on first use.
  const Cell* find(int32_t row, int32_t col);
  Cell& cell(int32_t row, int32_t col);  // made when missing
  void reserve(int32_t row, int32_t cells);  // room for a new row's cells, made at once
  void setValue(int32_t row, int32_t col, const Variant& v);
  Variant value(int32_t row, int32_t col);
  std::u16string text(int32_t row, int32_t col);

  double columnWidth(int32_t col);
  void setColumnWidth(int32_t col, double width);
  // Widest displayed text in each column of the block, as a width in characters.
  void autoFit(int32_t row1, int32_t col1, int32_t row2, int32_t col2);

  bool changed() const { return dirty_; }
  // The part as it is to be saved, a piece at a time.
  opc::Package::PieceWriter pieces();
  std::map<int32_t, Row>& rows() { load(); return rows_; }
  const std::vector<std::string>& formulas() { load(); return formulas_; }

 private:
  friend class Workbook;
  void load();
  class Slicer;
  bool readSliced();  // false: the part needs one whole DOM
  void readWhole();
  void keepOuter(std::string text);
  void clear();
  void readOuter(const pugi::xml_document& doc);
  void readRow(const pugi::xml_node& row, int32_t& lastRow);
  Workbook* book_ = nullptr;
  bool loaded_ = false;
  bool dirty_ = false;
  // Where a save resumes writing the part: what follows `next`, once `head` is written.
  struct WriteProgress {
    std::string head, tail;
    std::map<int32_t, Row>::const_iterator next;
    bool started = false;
  };
  std::string outerHead() const;
  std::string outer_;  // the part as read (a new sheet's for a new one), without its cell table
  size_t tableAt_ = 0;  // where the cell table was, npos when it had none
  std::string prefix_;    // of its elements: "x:" when the part writes <x:worksheet>
  std::map<int32_t, Row> rows_;  // rows are never erased, so pointers to them stay valid
  Row* lastFound_ = nullptr;  // the row used last, tried first
  int32_t lastFoundRow_ = 0;
  size_t lastRowCells_ = 0;  // cells of the row read last
  std::map<int32_t, ColumnRange> columns_;  // by first column
  std::vector<std::string> formulas_;       // the <f> elements as read
};

class Workbook {
 public:
  // A new workbook with sheets "Sheet1" ... "SheetN".
  static std::unique_ptr<Workbook> create(int sheets);
  // Reads the workbook part, its relationships, shared strings and styles; sheets later.
  static std::unique_ptr<Workbook> load(opc::Package package);

  std::vector<std::unique_ptr<Sheet>>& sheets() { return sheets_; }
  Sheet* sheetNamed(std::u16string_view name);  // without regard to case
  // Adds a sheet at `position` (0-based) with the next free default name.
  Sheet& addSheet(size_t position);
  void rename(Sheet& sheet, const std::u16string& name);  // checks the name
  bool changed() const;
  void touch() { touched_ = true; }
  void settle() { touched_ = false; }  // what it holds now is what was opened

  // The write-reservation password, when the workbook carries one.
  bool writeReserved() const;
  bool checkWriteReservation(std::u16string_view password) const;

  void save(const std::string& path);

  Styles& styles() { return styles_; }
  bool date1904() const { return date1904_; }
  const BStr& sharedString(int32_t i) const;
  opc::Package& package() { return package_; }
  void formulaDropped() { formulasDropped_ = true; }

 private:
  Workbook() = default;
  pugi::xml_node sheetsNode();
  std::u16string nextSheetName() const;

  opc::Package package_;
  std::string workbookPart_ = "xl/workbook.xml";
  pugi::xml_document workbookXml_;
  std::unique_ptr<opc::Relationships> rels_;
  std::unique_ptr<opc::ContentTypes> types_;
  std::vector<BStr> sharedStrings_;
  Styles styles_;
  std::vector<std::unique_ptr<Sheet>> sheets_;
  bool date1904_ = false;
  bool workbookDirty_ = false;
  bool touched_ = false;
  bool formulasDropped_ = false;
  int nextSheetNumber_ = 1;  // where the search for a free sheet part name starts
  unsigned nextSheetId_ = 0;  // the highest sheetId given, 0 until a sheet is added
};

// A sheet name the application refuses: empty, over 31 characters, or holding : \ / ? * [ ].
// Returns the reason, or "" when the name is acceptable.
std::string badSheetName(std::u16string_view name);

}  // namespace tlx::platform::spreadsheet
