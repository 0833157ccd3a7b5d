// Text file to PDF: a PDF 1.2 file written item by item, one text line per output line, in
// one standard Type 1 font with line wrapping, page breaks and a page number on every page.
#pragma once

#include <cstdint>
#include <string_view>

#include "talvex/variant.h"
#include "pdf/pdf_writer_state.h"

namespace tlx {

// 1 done; -1 the text file does not exist; -2 a failure in the writer's own steps (then no
// output file is left behind and an existing PDF of that name stays as it was).
int16_t CreatePDFFromFile(PdfWriterState& state, const BStr& strTextFile, const BStr& strPDFFile,
                          const BStr& strFontName, int16_t intFontSize, int16_t intRotation,
                          float sngWidth, float sngHeight, const BStr& strAuthor,
                          const BStr& strCreator, const BStr& strKeywords, const BStr& strSubject,
                          const BStr& strTitle);

// The private steps, in the order they run. Each throws ComError on failure.
namespace pdf {

bool PdfFileExists(const BStr& path);
void PdfSetup(PdfWriterState& state, const BStr& fontName, int16_t fontSize, int16_t rotation,
              float width, float height);
// `item` is already encoded; a carriage return follows it.
void PdfWrite(PdfWriterState& state, std::string_view item, bool flush = false);
void PdfWriteHeader(PdfWriterState& state);
void PdfWriteResources(PdfWriterState& state);
void PdfWritePages(PdfWriterState& state);
int64_t PdfBeginPage(PdfWriterState& state);  // returns the stream start position
void PdfEndPage(PdfWriterState& state, int64_t streamStart);
void PdfWriteTrailer(PdfWriterState& state);

}  // namespace pdf
}  // namespace tlx
