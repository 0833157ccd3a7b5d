// Builders of hostile XML shared by the parser's own tests and the methods' end-to-end ones.
#pragma once

#include <string>

namespace tlxtest {

inline std::string repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

// One element with `n` attributes.
inline std::string attributes(int n) {
  std::string tag = "<r";
  for (int i = 0; i < n; ++i) tag += " a" + std::to_string(i) + "='" + std::to_string(i) + "'";
  return tag + "/>";
}

// A document type whose entity l9 expands to a billion "lol"s.
inline std::string laughsDoctype() {
  std::string d = "<!ENTITY l0 'lol'>";
  for (int i = 1; i <= 9; ++i)
    d += "<!ENTITY l" + std::to_string(i) + " '" + repeat("&l" + std::to_string(i - 1) + ";", 10) + "'>";
  return "<!DOCTYPE t [" + d + "]>";
}

}  // namespace tlxtest
