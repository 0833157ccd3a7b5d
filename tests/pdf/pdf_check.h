// Helpers of the PDF tests: scratch folders, outside checkers, and an in-process reading of the
// writer's output (cross-reference offsets, stream lengths, the text items of every page).
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "pdf/pdf_structure.h"
#include "support/scratch.h"

namespace pdftest {

namespace fs = std::filesystem;

using namespace tlxtest;

// A scratch folder that also lists what is in it, in order of name.
struct TempDir : ScratchDir {
  TempDir() : ScratchDir("talvex-pdf") {}
  std::vector<std::string> entries() const {
    std::vector<std::string> names;
    for (auto& e : fs::directory_iterator(path())) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
};

inline CommandResult qpdfCheck(const std::string& pdf) { return runCommand("qpdf --check " + shellQuote(pdf) + " 2>&1"); }

// Pages of `pdftotext -layout`, split at the form feed that ends every page.
inline std::vector<std::string> pdfText(const std::string& pdf) {
  std::string text = runCommand("pdftotext -layout " + shellQuote(pdf) + " - 2>/dev/null").out;
  std::vector<std::string> pages;
  size_t start = 0, ff;
  while ((ff = text.find('\f', start)) != std::string::npos) {
    pages.push_back(text.substr(start, ff - start));
    start = ff + 1;
  }
  return pages;
}

// The non-blank lines of one page of pdftotext output, blanks at both ends removed.
inline std::vector<std::string> lines(const std::string& page) {
  std::vector<std::string> out;
  std::istringstream in(page);
  std::string line;
  while (std::getline(in, line)) {
    size_t a = line.find_first_not_of(' '), b = line.find_last_not_of(' ');
    if (a != std::string::npos) out.push_back(line.substr(a, b - a + 1));
  }
  return out;
}

// Checks what a reader relies on (see pdf_structure.h).
inline ::testing::AssertionResult wellFormed(const std::string& pdf) {
  const std::string fault = structureFault(pdf);
  if (fault.empty()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << fault;
}

// The strings shown by "T* (...\r\n) Tj", page by page, as written (still escaped).
inline std::vector<std::vector<std::string>> textItems(const std::string& pdf) {
  std::vector<std::vector<std::string>> pages;
  size_t at = 0;
  while ((at = pdf.find("stream\r\nBT\r", at)) != std::string::npos) {
    size_t end = pdf.find("\rET\r", at);
    std::vector<std::string> items;
    size_t t = at;
    while ((t = pdf.find("\rT* (", t)) != std::string::npos && t < end) {
      size_t close = pdf.find("\r\n) Tj\r", t);
      items.push_back(pdf.substr(t + 5, close - t - 5));
      t = close;
    }
    pages.push_back(items);
    at = end;
  }
  return pages;
}

inline std::string unescape(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 1 < s.size()) ++i;
    out.push_back(s[i]);
  }
  return out;
}

// Replaces the creation date, the one part of the output that differs from run to run.
inline std::string withoutDate(std::string pdf) {
  size_t at = pdf.find("/CreationDate (D:");
  if (at != std::string::npos) pdf.replace(at + 17, 14, "YYYYMMDDHHMMSS");
  return pdf;
}

}  // namespace pdftest
