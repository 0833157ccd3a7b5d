// Text to PDF: any text and parameters give a PDF whose structure holds, or -2 and no file.
// Input: font size, rotation, width, height (16 bits each), then font name, author and title up to
// a NUL each, then the text file's bytes.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "automation/strings.h"
#include "fuzz_input.h"
#include "pdf/pdf_structure.h"
#include "pdf/pdf_writer.h"

using namespace tlx;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tlxfuzz::Input in(data, size);
  const int16_t fontSize = in.i16(), rotation = in.i16();
  const float width = in.i16() / 4.0f, height = in.i16() / 4.0f;
  const BStr font(u16(std::string(in.piece()))), author(u16(std::string(in.piece()))),
      title(u16(std::string(in.piece())));
  const std::string text = tlxfuzz::writeScratch("in.txt", in.rest());
  const std::string pdf = tlxfuzz::scratchDir() + "/out.pdf";

  PdfWriterState state;
  const int16_t r = CreatePDFFromFile(state, u16(text), u16(pdf), font, fontSize, rotation, width, height, author,
                                      u"creator", u"keywords", u"subject", title);
  FUZZ_CHECK(r == 1 || r == -2);
  std::error_code ec;
  if (r == 1) {
    std::ifstream f(pdf, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    const std::string fault = pdftest::structureFault(bytes);
    if (!fault.empty()) std::fprintf(stderr, "unsound PDF: %s\n", fault.c_str());
    FUZZ_CHECK(fault.empty());
  } else {
    FUZZ_CHECK(!std::filesystem::exists(pdf, ec));
  }
  std::filesystem::remove(pdf, ec);
  return 0;
}
