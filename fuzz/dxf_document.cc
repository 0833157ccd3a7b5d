// DXF document loader: any text loads or gives a DxfError; a loaded drawing answers the questions
// the drawing application asks of it, saves, and the saved text loads to the same text again.
#include <string>

#include "fuzz_input.h"
#include "platform/cad/dxf_document.h"

using namespace tlx::platform::cad;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::unique_ptr<Document> doc;
  try {
    doc = Document::parse(std::string(reinterpret_cast<const char*>(data), size));
  } catch (const DxfError&) {
    return 0;
  }
  doc->view();
  doc->modelExtents();
  doc->limits();
  for (const BlockDef& b : doc->blocks()) doc->blockExtents(b.name(), 0);
  doc->updateExtents();
  const std::string saved = doc->text();
  std::unique_ptr<Document> again = Document::parse(saved);
  FUZZ_CHECK(again->text() == saved);
  return 0;
}
