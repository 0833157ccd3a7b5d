// Every code / value pair of a DXF file becomes a row of two cells; every section gets a sheet.
// Pairs are handed to the application in runs of consecutive rows (one Range.Value per run):
// the cells written are the same as pair by pair, blank rows included, at a fraction of the calls.
#include <filesystem>
#include <fstream>
#include <string>

#include "talvex/convert.h"
#include "automation/frame.h"
#include "talvex/registry.h"
#include "automation/strings.h"
#include "automation/text_file.h"
#include "dxf/dxf_methods.h"

namespace tlx {

namespace {

constexpr int32_t kRowsPerSheet = 60000;
constexpr size_t kMaxCellChars = 32767;

ObjRef cellOf(const ObjRef& ws, int32_t row, int32_t col) {
  return objectOf(getProperty(ws, "Cells", {Variant(row), Variant(col)}));
}

// The pairs not yet written to the current sheet: consecutive rows from `first`.
class PendingRows {
 public:
  void add(const ObjRef& ws, int32_t row, std::u16string code, std::u16string value) {
    if (!codes_.empty() && row != first_ + int32_t(codes_.size())) flush(ws);
    if (codes_.empty()) first_ = row;
    codes_.push_back(std::move(code));
    values_.push_back(std::move(value));
  }
  void flush(const ObjRef& ws) {
    if (codes_.empty()) return;
    int32_t n = int32_t(codes_.size());
    auto block = std::make_unique<SafeArray>(std::vector<Bound>{{0, n}, {0, 2}});
    for (int32_t i = 0; i < n; ++i) {
      block->at(i, 0) = Variant(codes_[size_t(i)]);
      block->at(i, 1) = Variant(values_[size_t(i)]);
    }
    codes_.clear();
    values_.clear();
    ObjRef range = objectOf(getProperty(ws, "Range", {Variant(cellOf(ws, first_, 1)), Variant(cellOf(ws, first_ + n - 1, 2))}));
    putProperty(range, "Value", Variant(std::move(block)));
  }

 private:
  int32_t first_ = 0;
  std::vector<std::u16string> codes_, values_;
};

bool readLine(std::istream& in, std::string& line) {
  if (!std::getline(in, line)) return false;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return true;
}

// A new sheet after `ws`, selected: the next current sheet.
ObjRef nextSheet(const ObjRef& wb, const ObjRef& ws) {
  callMethod(cellOf(ws, 1, 1), "Activate");
  ObjRef sheets = objectOf(getProperty(wb, "Worksheets"));
  Variant after(ws);
  DispParams p{{}, {{"After", &after}}};
  ObjRef added = objectOf(sheets->invoke("Add", InvokeKind::Method, p));
  callMethod(added, "Select");
  return added;
}

void nameSheet(const ObjRef& ws, const std::u16string& name) {
  putProperty(ws, "Name", Variant(name));
  putProperty(objectOf(getProperty(ws, "Columns", {Variant(u"A")})), "ColumnWidth", Variant(int16_t(10)));
  putProperty(objectOf(getProperty(ws, "Columns", {Variant(u"B")})), "ColumnWidth", Variant(int16_t(30)));
}

}  // namespace

int16_t DXFToExcel(const BStr& strDXFfile, const BStr& strWorkbook) {
  ObjRef xl, wb, ws;
  PendingRows pending;
  try {
    xl = createObject("Excel.Application");
    putProperty(xl, "Visible", Variant(true));
    ObjRef books = objectOf(getProperty(xl, "Workbooks"));
    wb = trimSpaces(strWorkbook).empty() ? objectOf(callMethod(books, "Add"))
                                          : objectOf(callMethod(books, "Open", {Variant(strWorkbook)}));
    ws = objectOf(callMethod(objectOf(getProperty(wb, "Worksheets")), "Item", {Variant(int16_t(1))}));
    // A pipe or a device would be waited on for ever: only a regular file is a drawing.
    std::error_code ec;
    if (!std::filesystem::is_regular_file(toPath(strDXFfile), ec)) return -1;
    std::ifstream dxf(toPath(strDXFfile), std::ios::binary);
    if (!dxf) return -1;
    int32_t row = 0;
    bool newSection = false;
    std::string codeLine, valueLine;
    std::u16string value, sheetName = std::u16string(toBStr(getProperty(ws, "Name")).view());
    while (value != u"EOF") {
      if (!readLine(dxf, codeLine) || !readLine(dxf, valueLine)) {
        pending.flush(ws);
        return -1;
      }
      std::u16string code(trimSpaces(decodeText(codeLine)));
      value = std::u16string(decodeText(valueLine).view());
      if (value.size() > kMaxCellChars) value.resize(kMaxCellChars);  // what a cell can hold
      if (code == u"0" && value == u"SECTION") newSection = true;
      if (code == u"2" && newSection) {
        pending.flush(ws);
        nameSheet(ws, value);
        sheetName = std::u16string(toBStr(getProperty(ws, "Name")).view());
        newSection = false;
      }
      ++row;
      if (sheetName == u"HEADER" && code == u"9") row += 1;
      else if (sheetName == u"TABLES" && code == u"0" && value == u"TABLE") row += 3;
      else if (sheetName == u"BLOCKS" && code == u"0" && value == u"BLOCK") row += 3;
      pending.add(ws, row, code, value);
      if ((code == u"0" && value == u"ENDSEC") || row > kRowsPerSheet) {
        pending.flush(ws);
        ws = nextSheet(wb, ws);
        sheetName = std::u16string(toBStr(getProperty(ws, "Name")).view());
        row = 0;
      }
    }
    pending.flush(ws);
    return 1;
  } catch (...) {
    ErrorFrame quiet;
    if (ws) quiet.step([&] { pending.flush(ws); });
    return -1;
  }
}

}  // namespace tlx
