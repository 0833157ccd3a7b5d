// The control object: the one class through which every call enters.
#pragma once

#include <string_view>

#include "attributes/extraction_template.h"
#include "talvex/dispatch.h"
#include "cad/acad_context.h"
#include "control/bindings.h"
#include "pdf/pdf_writer_state.h"
#include "talvex/host_site.h"

namespace tlx {

class TALVEX final : public Dispatch {
 public:
  static constexpr int kVersionMajor = 0;
  static constexpr int kVersionMinor = 1;

  explicit TALVEX(HostSite& site);
  ~TALVEX() override;  // releases the held document, then the application

  // Late-bound call by method name: arguments coerced to the declared types, named arguments
  // placed by parameter name, by-reference parameters written back to the caller's variables,
  // omitted optionals read as declared. Unknown: DISP_E_UNKNOWNNAME.
  Variant invoke(std::string_view member, InvokeKind kind, DispParams& params) override;
  Variant invoke(int32_t dispid, DispParams& params);
  std::string typeName() const override { return "TALVEX"; }

  // Binds one method (by its declared name) to `invoker` and returns the previous binding; tests
  // use it to stand in for a family.
  static Invoker replaceBinding(std::string_view method, Invoker invoker);

  // What the families work on.
  HostSite& site() { return site_; }
  AcadContext acad() { return AcadContext{objAcadApp, objAcadDoc, site_}; }
  ExtractionTemplate& extractionTemplate() { return ExtractionTemplate_; }
  PdfWriterState& pdfState() { return pdfState_; }

 private:
  HostSite& site_;
  ObjRef objAcadApp;
  ObjRef objAcadDoc;
  ExtractionTemplate ExtractionTemplate_;
  PdfWriterState pdfState_;
};

}  // namespace tlx
