// Single-byte encodings the writer emits: WinAnsiEncoding (Windows-1252) for shown text, as the
// font declares it, and PDFDocEncoding for the document information strings. A character an
// encoding cannot hold becomes "?"; a surrogate pair counts as one character.
#pragma once

#include <string>
#include <string_view>

namespace tlx::pdf {

void appendWinAnsi(std::u16string_view text, std::string& out);
void appendPdfDoc(std::u16string_view text, std::string& out);

// Literal-string escaping: backslash first, then both parentheses.
void appendEscaped(std::string_view bytes, std::string& out);

// A name object's characters: regular printable ASCII as is, everything else as #xx.
std::string nameChars(std::u16string_view name);

}  // namespace tlx::pdf
