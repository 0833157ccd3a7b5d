// libxml2 with the settings every reader here shares: no network, no DTD loading, no external
// entities (general or parameter), entity expansion bounded in total (16 MB of text, or the
// input's size if larger), element depth under libxml2's nesting limit (256), at most 10,000
// attributes on an element, and nothing printed: the error is kept for the caller.
#pragma once

#include <libxml/parser.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace tlx::platform::xmldom {

// What failed and where; code 0 means the input parsed.
struct ParseError {
  int32_t code = 0;
  std::string reason;   // UTF-8
  int32_t line = 0;     // from 1; 0 when unknown
  int32_t linepos = 0;  // from 1
  std::string srcText;  // the offending line, when it could be read back
  explicit operator bool() const { return code != 0; }
};

struct DocFree {
  void operator()(xmlDoc* d) const { xmlFreeDoc(d); }
};
using DocPtr = std::unique_ptr<xmlDoc, DocFree>;

constexpr int kErrorExternalEntity = 0x7000;  // our own code: an external entity was referenced
constexpr int kErrorNotFound = 0x7001;        // the file could not be opened
constexpr int kErrorEntityExpansion = 0x7002;  // entities would expand to too much text
constexpr int kErrorLimit = 0x7003;            // a reader's own bound on what the input makes

// A whole document (a file, or text in memory), entities substituted.
DocPtr readFile(const std::string& path, ParseError& error);
DocPtr readMemory(std::string_view utf8, ParseError& error);

// Runs `handler` (SAX2) over a file. Callbacks receive the parser context as their first
// argument; `user` is in its _private member. False (with `error` set) when the file failed.
bool saxFile(const std::string& path, const xmlSAXHandler& handler, void* user, ParseError& error);

// Stops the parse from inside a callback with a reason of the caller's.
void abortParse(void* context, int code, std::string reason);
// The `user` that saxFile was given, from a callback's context.
void* userOf(void* context);

}  // namespace tlx::platform::xmldom
