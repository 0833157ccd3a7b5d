#include "control/bind.h"
#include "pdf/pdf_writer.h"

namespace tlx {

std::span<const Binding> pdfBindings() {
  static constexpr Binding bindings[] = {bind<"CreatePDFFromFile", CreatePDFFromFile>()};
  return bindings;
}

}  // namespace tlx
