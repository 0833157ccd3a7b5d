// The structure of the PDF writer's output, read in process: cross-reference offsets, the
// trailer and stream lengths. Free of the test framework, so the fuzz target checks with it too.
#pragma once

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

namespace pdftest {

inline long long numberAt(const std::string& s, size_t pos) {
  return std::strtoll(s.c_str() + pos, nullptr, 10);
}

// Checks what a reader relies on: "startxref" names the "xref" line, every entry's offset is the
// first byte of "<n> 0 obj", every stream's length object holds the stream's exact byte count.
inline std::string structureFault(const std::string& pdf) {
  auto fault = [](const auto&... parts) {
    std::ostringstream s;
    (s << ... << parts);
    return s.str();
  };
  if (pdf.rfind("%PDF-1.2\r", 0) != 0) return fault("no header");
  const std::string tail = "\r%%EOF\r";
  if (pdf.size() < tail.size() || pdf.compare(pdf.size() - tail.size(), tail.size(), tail) != 0)
    return fault("does not end with %%EOF");
  size_t sx = pdf.rfind("\rstartxref\r");
  if (sx == std::string::npos) return fault("no startxref");
  long long xref = numberAt(pdf, sx + 11);
  if (xref < 0 || static_cast<size_t>(xref) >= pdf.size() || pdf.compare(xref, 5, "xref\r") != 0)
    return fault("startxref ", xref, " does not point at xref");
  size_t pos = xref + 5;
  if (pdf.compare(pos, 2, "0 ") != 0) return fault("no subsection");
  long long count = numberAt(pdf, pos + 2);
  pos = pdf.find('\r', pos) + 1;
  if (pdf.compare(pos, 20, "0000000000 65535 f \r") != 0) return fault("bad free entry");
  pos += 20;
  std::vector<long long> offsets(count, 0);
  for (long long n = 1; n < count; ++n, pos += 20) {
    if (pdf.compare(pos + 10, 10, " 00000 n \r") != 0) return fault("bad entry ", n);
    offsets[n] = numberAt(pdf, pos);
    std::string head = std::to_string(n) + " 0 obj\r";
    if (offsets[n] <= 0 || static_cast<size_t>(offsets[n]) >= pdf.size() ||
        pdf.compare(offsets[n], head.size(), head) != 0)
      return fault("offset of object ", n, " (", offsets[n], ") misses it");
  }
  if (pdf.compare(pos, 8, "trailer\r") != 0) return fault("no trailer after the table");
  if (pdf.find("/Size " + std::to_string(count) + "\r", pos) == std::string::npos)
    return fault("/Size differs from the table");
  // Streams: an object whose dictionary begins "/Length <k> 0 R" holds, between "stream\r\n" and
  // "endstream", as many bytes as object k says. Found by object rather than by searching, since
  // the text and the document's properties may spell "/Length" or "endstream" themselves.
  int streams = 0;
  for (long long n = 1; n < count; ++n) {
    const std::string head = std::to_string(n) + " 0 obj\r<<\r/Length ";
    if (pdf.compare(offsets[n], head.size(), head) != 0) continue;
    ++streams;
    const long long lengthObject = numberAt(pdf, offsets[n] + head.size());
    const size_t data = pdf.find(">>\rstream\r\n", offsets[n]);
    if (data == std::string::npos) return fault("object ", n, " has no stream");
    if (lengthObject <= 0 || lengthObject >= count) return fault("bad /Length object");
    const long long length = numberAt(pdf, pdf.find('\r', offsets[lengthObject]) + 1);
    const size_t end = data + 11 + static_cast<size_t>(length);
    if (length < 0 || end > pdf.size() || pdf.compare(end, 10, "endstream\r") != 0)
      return fault("stream length of object ", lengthObject, " is wrong");
  }
  if (streams == 0) return fault("no content stream");
  return {};
}

}  // namespace pdftest
