#include "control/bindings.h"
#include "control/talvex.h"
#include "pdf/pdf_writer.h"

namespace tlx {
namespace {

// CreatePDFFromFile(strTextFile, strPDFFile, [strFontName = "Courier"], [intFontSize = 10],
//   [intRotation = 0], [sngWidth = 8.5], [sngHeight = 11], [strAuthor], [strCreator],
//   [strKeywords], [strSubject], [strTitle]) As Integer
Variant createPDFFromFile(TALVEX& control, CallArgs& a) {
  return Variant(CreatePDFFromFile(control.pdfState(), a.str(0), a.str(1), a.str(2), a.i2(3),
                                   a.i2(4), a.r4(5), a.r4(6), a.str(7), a.str(8), a.str(9),
                                   a.str(10), a.str(11)));
}

}  // namespace

std::span<const Binding> pdfBindings() {
  static const std::vector<Binding> bindings = {
      {"CreatePDFFromFile", createPDFFromFile},
  };
  return bindings;
}

}  // namespace tlx
