// The PDF writer's state, kept in the control between its private steps. Every conversion
// re-initialises it; after a call it holds the last conversion's values.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "talvex/variant.h"

namespace tlx {

struct PdfWriterState {
  // Bytes written to the PDF so far, each item's carriage return included. 64-bit so that
  // offsets stay right past 2 GB; the cross-reference table caps them at ten digits.
  int64_t bytePosition = 0;
  int32_t objectCounter = 0;           // highest object number assigned so far
  std::vector<int64_t> objectOffsets;  // by object number; grows with the document
  int32_t pageCount = 0;               // pages begun; also the current page's number
  std::vector<int32_t> pageObjects;    // page object number, by page number (index 0 unused)
  int32_t lineCounter = 0;             // -1 before the first line, 0 after each page end

  int32_t pageHeight = 0;  // points
  int32_t pageWidth = 0;
  int32_t linesPerPage = 0;
  int32_t charsPerLine = 0;
  BStr fontName;
  int64_t fontSize = 0;  // fixed point, 4 decimals (value x 10,000)
  int64_t leading = 0;   // fixed point, 4 decimals
  int16_t rotation = 0;
  double footerX = 0;
  int32_t footerY = 25;

  int32_t infoObject = 0;
  int32_t catalogObject = 0;
  int32_t pagesObject = 0;
  int32_t encodingObject = 0;
  int32_t resourcesObject = 0;

  BStr author, creator, keywords, subject, title;
  BStr textFile, pdfFile;

  std::string buffer;  // encoded items not yet flushed
  // The file the flushes append to: a fresh file beside the PDF, renamed onto it only when the
  // document is complete, so a failed conversion never leaves a half-written PDF.
  std::filesystem::path outputPath;
  std::string scratch;  // reused per text line, to spare an allocation each
};

}  // namespace tlx
