#include "office/excel_steps.h"

#include "talvex/registry.h"
#include "office/office_application.h"

namespace tlx::office {

ObjRef obtainExcel(ErrorFrame& f) { return obtainApplication(f, kExcelProgId); }

ObjRef openWorkbook(ErrorFrame& f, const ObjRef& xl, const BStr& strWorkbook, const BStr& strPassword,
                    const BStr& strWriteResPassword) {
  ObjRef wb;
  f.step([&] {
    ObjRef books = objectOf(getProperty(xl, "Workbooks"));
    Variant name(strWorkbook), password(strPassword), writeRes(strWriteResPassword);
    DispParams p{{&name}, {{"Password", &password}, {"WriteResPassword", &writeRes}}};
    wb = objectOf(books->invoke("Open", InvokeKind::Method, p));
  });
  return wb;
}

bool validSelector(const Variant& varWorksheet) {
  if (varWorksheet.type() == vtI2) return varWorksheet.i2() > 0;
  if (varWorksheet.type() == vtString) return !varWorksheet.str().empty();
  return false;
}

ObjRef worksheet(ErrorFrame& f, const ObjRef& wb, const Variant& varWorksheet) {
  ObjRef ws;
  f.step([&] { ws = objectOf(callMethod(objectOf(getProperty(wb, "Worksheets")), "Item", {varWorksheet})); });
  return ws;
}

void closeWorkbook(ObjRef& wb, bool passSaveChangesFalse) {
  ErrorFrame quiet;
  if (wb) quiet.step([&] { callMethod(wb, "Close", passSaveChangesFalse ? std::vector<Variant>{Variant(false)} : std::vector<Variant>{}); });
  wb = ObjRef();
}

void quitExcel(ObjRef& xl) {
  ErrorFrame quiet;
  if (xl) quiet.step([&] { callMethod(xl, "Quit"); });
  xl = ObjRef();
}

ObjRef cell(const ObjRef& ws, int32_t row, int32_t col) {
  return objectOf(getProperty(ws, "Cells", {Variant(row), Variant(col)}));
}

bool insideSheet(int32_t row1, int32_t col1, int32_t row2, int32_t col2) {
  auto rowOk = [](int32_t r) { return r >= 1 && r <= kMaxRows; };
  auto colOk = [](int32_t c) { return c >= 1 && c <= kMaxCols; };
  return rowOk(row1) && rowOk(row2) && colOk(col1) && colOk(col2);
}

}  // namespace tlx::office
