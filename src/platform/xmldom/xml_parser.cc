#include "platform/xmldom/xml_parser.h"

#include <fcntl.h>
#include <libxml/SAX2.h>
#include <libxml/parserInternals.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <unordered_map>

namespace tlx::platform::xmldom {

namespace {

constexpr int kOptions = XML_PARSE_NONET | XML_PARSE_NOENT;
constexpr size_t kSourceLineLimit = 4096;
// Entities may produce at most this much text in all, or as much as the input holds if that is
// more: enough for any sound use, and far from what a few nested or repeated entities can make.
constexpr uint64_t kExpansionFloor = 16u << 20;
constexpr int kEntityNestingLimit = 40;
constexpr size_t kAttributeLimit = 10000;

// Set from a callback that stopped the parse; libxml2 would only report a user stop.
struct Stop {
  int code = 0;
  std::string reason;
};

struct Context {
  Stop stop;
  void* user = nullptr;
  uint64_t budget = kExpansionFloor;
  uint64_t expanded = 0;
  std::unordered_map<const xmlEntity*, uint64_t> sizes;  // text an entity expands to, in full
};

Context& contextOf(void* ctx) { return *static_cast<Context*>(static_cast<xmlParserCtxtPtr>(ctx)->_private); }

std::string text(const xmlChar* s) { return s ? reinterpret_cast<const char*>(s) : ""; }

constexpr uint64_t kUnbounded = ~uint64_t{0};

// The length of an entity's text with every entity in it expanded, found once per entity;
// kUnbounded for a loop or nesting deeper than any sound document needs.
uint64_t expandedSize(xmlParserCtxtPtr ctxt, Context& state, xmlEntityPtr e, int depth) {
  if (e->etype == XML_INTERNAL_PREDEFINED_ENTITY) return 1;
  if (auto it = state.sizes.find(e); it != state.sizes.end()) return it->second;
  if (depth > kEntityNestingLimit) return kUnbounded;
  state.sizes[e] = kUnbounded;  // while it is being measured: a reference back is a loop
  const std::string_view content(reinterpret_cast<const char*>(e->content ? e->content : BAD_CAST ""));
  uint64_t size = 0;
  for (size_t at = 0; at < content.size() && size != kUnbounded;) {
    const size_t amp = content.find('&', at);
    const size_t semi = amp == content.npos ? content.npos : content.find(';', amp);
    if (semi == content.npos) {
      size += content.size() - at;
      break;
    }
    size += amp - at;
    at = semi + 1;
    if (content[amp + 1] == '#') continue;  // a character reference
    const std::string name(content.substr(amp + 1, semi - amp - 1));
    xmlEntityPtr inner = xmlGetDocEntity(ctxt->myDoc, BAD_CAST name.c_str());
    const uint64_t innerSize = inner ? expandedSize(ctxt, state, inner, depth + 1) : 0;
    size = innerSize == kUnbounded || size + innerSize > state.budget ? kUnbounded : size + innerSize;
  }
  return state.sizes[e] = size;
}

xmlEntityPtr internalEntity(void* ctx, const xmlChar* name) {
  xmlEntityPtr e = xmlSAX2GetEntity(ctx, name);
  if (!e) return e;
  if (e->etype != XML_INTERNAL_GENERAL_ENTITY && e->etype != XML_INTERNAL_PREDEFINED_ENTITY) {
    abortParse(ctx, kErrorExternalEntity, "The external entity '" + text(name) + "' is not loaded.");
    return nullptr;
  }
  Context& state = contextOf(ctx);
  const uint64_t size = expandedSize(static_cast<xmlParserCtxtPtr>(ctx), state, e, 0);
  if (size == kUnbounded || (state.expanded += size) > state.budget) {
    abortParse(ctx, kErrorEntityExpansion,
               "Entities expand to more than " + std::to_string(state.budget >> 20) + " MB of text.");
    return nullptr;
  }
  return e;
}

xmlEntityPtr internalParameterEntity(void* ctx, const xmlChar* name) {
  xmlEntityPtr e = xmlSAX2GetParameterEntity(ctx, name);
  if (e && e->etype != XML_INTERNAL_PARAMETER_ENTITY) {
    abortParse(ctx, kErrorExternalEntity, "The external entity '%" + text(name) + "' is not loaded.");
    return nullptr;
  }
  return e;
}

void noExternalSubset(void*, const xmlChar*, const xmlChar*, const xmlChar*) {}
void quiet(void*, xmlErrorPtr) {}

struct CtxtFree {
  void operator()(xmlParserCtxt* c) const {
    if (c->myDoc) xmlFreeDoc(c->myDoc);
    c->myDoc = nullptr;
    xmlFreeParserCtxt(c);
  }
};
using CtxtPtr = std::unique_ptr<xmlParserCtxt, CtxtFree>;

CtxtPtr safeContext(const xmlSAXHandler* handler, Context& state) {
  CtxtPtr ctxt(xmlNewParserCtxt());
  if (!ctxt) return nullptr;
  if (handler) *ctxt->sax = *handler;
  ctxt->sax->getEntity = internalEntity;
  ctxt->sax->getParameterEntity = internalParameterEntity;
  ctxt->sax->externalSubset = noExternalSubset;
  ctxt->sax->serror = quiet;
  ctxt->sax->warning = nullptr;
  ctxt->sax->error = nullptr;
  ctxt->sax->initialized = XML_SAX2_MAGIC;
  ctxt->vctxt.error = nullptr;
  ctxt->vctxt.warning = nullptr;
  ctxt->userData = ctxt.get();
  ctxt->_private = &state;
  return ctxt;
}

// The line `line` (from 1) of `source`, cut at a few kilobytes.
std::string lineIn(std::string_view source, int line) {
  size_t at = 0;
  for (int n = 1; n < line && at != source.npos; ++n) {
    at = source.find('\n', at);
    if (at != source.npos) ++at;
  }
  if (at == source.npos || at >= source.size()) return {};
  std::string_view rest = source.substr(at, kSourceLineLimit);
  return std::string(rest.substr(0, rest.find_first_of("\r\n")));
}

std::string lineInFile(const std::string& path, int line) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return {};
  std::string out;
  int n = 1, c;
  while (n <= line && out.size() < kSourceLineLimit && (c = std::fgetc(f)) != EOF) {
    if (c == '\n') {
      ++n;
    } else if (n == line && c != '\r') {
      out += static_cast<char>(c);
    }
  }
  std::fclose(f);
  return out;
}

// Fills `error` from a parse that returned; true when the input was well formed.
bool finish(xmlParserCtxtPtr ctxt, const Context& state, ParseError& error) {
  if (state.stop.code) {
    error.code = state.stop.code;
    error.reason = state.stop.reason;
  } else if (!ctxt->wellFormed || ctxt->errNo != 0) {
    const xmlError* e = xmlCtxtGetLastError(ctxt);
    error.code = e && e->code ? e->code : XML_ERR_INTERNAL_ERROR;
    error.reason = e && e->message ? e->message : "The document could not be read.";
    while (!error.reason.empty() && (error.reason.back() == '\n' || error.reason.back() == ' ')) error.reason.pop_back();
    error.line = e ? e->line : 0;
    error.linepos = e ? e->int2 : 0;
  } else {
    return true;
  }
  if (!error.line && ctxt->input) {
    error.line = ctxt->input->line;
    error.linepos = ctxt->input->col;
  }
  return false;
}

// The text as code units, of one byte or two (UTF-16 of either order, told by its mark or by
// its first character, "<"); a unit outside ASCII reads as a letter, since only markup
// characters matter here.
class Units {
 public:
  explicit Units(std::string_view bytes) : p_(reinterpret_cast<const unsigned char*>(bytes.data())), n_(bytes.size()) {
    auto starts = [&](std::string_view s) { return bytes.substr(0, s.size()) == s; };
    if (starts("\xFF\xFE") || starts(std::string_view("<\0", 2))) width_ = 2;
    if (starts("\xFE\xFF") || starts(std::string_view("\0<", 2))) width_ = 2, high_ = 0;
  }
  size_t size() const { return n_ / width_; }
  char operator[](size_t i) const {
    if (width_ == 1) return static_cast<char>(p_[i]);
    const unsigned char hi = p_[2 * i + high_], lo = p_[2 * i + 1 - high_];
    return hi || lo >= 0x80 ? 'x' : static_cast<char>(lo);
  }
  bool startsWith(size_t at, std::string_view s) const {
    if (at + s.size() > size()) return false;
    for (size_t k = 0; k < s.size(); ++k)
      if ((*this)[at + k] != s[k]) return false;
    return true;
  }
  // Just past the next `end` from `at`, or the end of the text.
  size_t past(size_t at, std::string_view end) const {
    for (; at < size(); ++at)
      if (startsWith(at, end)) return at + end.size();
    return size();
  }
  // The next "<" from `at`.
  size_t nextOpen(size_t at) const {
    if (width_ == 2) {
      while (at < size() && (*this)[at] != '<') ++at;
      return at;
    }
    const void* lt = at < n_ ? std::memchr(p_ + at, '<', n_ - at) : nullptr;
    return lt ? static_cast<size_t>(static_cast<const unsigned char*>(lt) - p_) : n_;
  }

 private:
  const unsigned char* p_;
  size_t n_;
  int width_ = 1;
  int high_ = 1;  // where a unit's high byte is, in UTF-16
};

// Just past a declaration ("<!DOCTYPE ...>" with its internal subset) whose text starts at `at`.
size_t pastDeclaration(const Units& u, size_t at) {
  char quote = 0;
  int depth = 0;
  for (; at < u.size(); ++at) {
    const char c = u[at];
    if (quote) {
      if (c == quote) quote = 0;
    } else if (u.startsWith(at, "<!--")) {
      at = u.past(at + 4, "-->") - 1;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == '[') {
      ++depth;
    } else if (c == ']') {
      --depth;
    } else if (c == '>' && depth <= 0) {
      return at + 1;
    }
  }
  return at;
}

// Whether a start tag holds more than `bound` attributes. libxml2 compares every attribute of an
// element with every other, so such an element would hold the parser for minutes; one pass over
// the bytes finds it first.
bool tooManyAttributes(std::string_view bytes, size_t bound) {
  const Units u(bytes);
  for (size_t at = u.nextOpen(0); at < u.size(); at = u.nextOpen(at)) {
    if (u.startsWith(at, "<!--")) {
      at = u.past(at + 4, "-->");
    } else if (u.startsWith(at, "<![CDATA[")) {
      at = u.past(at + 9, "]]>");
    } else if (u.startsWith(at, "<?")) {
      at = u.past(at + 2, "?>");
    } else if (u.startsWith(at, "<!")) {
      at = pastDeclaration(u, at + 2);
    } else {
      size_t attributes = 0;
      char quote = 0;
      for (++at; at < u.size(); ++at) {
        const char c = u[at];
        if (quote) {
          if (c == quote) quote = 0;
        } else if (c == '"' || c == '\'') {
          quote = c;
        } else if (c == '=') {
          if (++attributes > bound) return true;
        } else if (c == '>' || c == '<') {
          break;
        }
      }
    }
  }
  return false;
}

bool refuseManyAttributes(std::string_view bytes, ParseError& error) {
  if (!tooManyAttributes(bytes, kAttributeLimit)) return false;
  error.code = kErrorLimit;
  error.reason = "An element has more than " + std::to_string(kAttributeLimit) + " attributes.";
  return true;
}

// The file's bytes, mapped for the attribute check; empty when they cannot be.
class MappedFile {
 public:
  explicit MappedFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st;
    if (fd >= 0 && fstat(fd, &st) == 0 && st.st_size > 0) {
      void* at = ::mmap(nullptr, static_cast<size_t>(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
      if (at != MAP_FAILED) bytes_ = std::string_view(static_cast<const char*>(at), static_cast<size_t>(st.st_size));
    }
    if (fd >= 0) ::close(fd);
  }
  ~MappedFile() {
    if (!bytes_.empty()) ::munmap(const_cast<char*>(bytes_.data()), bytes_.size());
  }
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;
  std::string_view bytes() const { return bytes_; }

 private:
  std::string_view bytes_;
};

uint64_t budgetFor(const std::string& path) {
  struct stat st;
  return std::max<uint64_t>(kExpansionFloor, stat(path.c_str(), &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0);
}

bool readable(const std::string& path, ParseError& error) {
  struct stat st;
  if (stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
      std::fclose(f);
      return true;
    }
  }
  error.code = kErrorNotFound;
  error.reason = "The system cannot locate the object specified: " + path;
  return false;
}

}  // namespace

void abortParse(void* ctx, int code, std::string reason) {
  Context& state = contextOf(ctx);
  if (!state.stop.code) state.stop = Stop{code, std::move(reason)};
  xmlStopParser(static_cast<xmlParserCtxtPtr>(ctx));
}

void* userOf(void* ctx) { return contextOf(ctx).user; }

DocPtr readFile(const std::string& path, ParseError& error) {
  error = {};
  if (!readable(path, error) || refuseManyAttributes(MappedFile(path).bytes(), error)) return nullptr;
  Context state;
  state.budget = budgetFor(path);
  CtxtPtr ctxt = safeContext(nullptr, state);
  DocPtr doc(xmlCtxtReadFile(ctxt.get(), path.c_str(), nullptr, kOptions));
  ctxt->myDoc = nullptr;
  if (finish(ctxt.get(), state, error) && doc) return doc;
  if (!error) error.code = XML_ERR_INTERNAL_ERROR, error.reason = "The document could not be read.";
  error.srcText = lineInFile(path, error.line);
  return nullptr;
}

DocPtr readMemory(std::string_view utf8, ParseError& error) {
  error = {};
  if (refuseManyAttributes(utf8, error)) return nullptr;
  Context state;
  state.budget = std::max<uint64_t>(kExpansionFloor, utf8.size());
  CtxtPtr ctxt = safeContext(nullptr, state);
  DocPtr doc(xmlCtxtReadMemory(ctxt.get(), utf8.data(), static_cast<int>(utf8.size()), nullptr, "UTF-8", kOptions));
  ctxt->myDoc = nullptr;
  if (finish(ctxt.get(), state, error) && doc) return doc;
  if (!error) error.code = XML_ERR_INTERNAL_ERROR, error.reason = "The document could not be read.";
  error.srcText = lineIn(utf8, error.line);
  return nullptr;
}

bool saxFile(const std::string& path, const xmlSAXHandler& handler, void* user, ParseError& error) {
  error = {};
  if (!readable(path, error) || refuseManyAttributes(MappedFile(path).bytes(), error)) return false;
  Context state;
  state.user = user;
  state.budget = budgetFor(path);
  CtxtPtr ctxt = safeContext(&handler, state);
  DocPtr doc(xmlCtxtReadFile(ctxt.get(), path.c_str(), nullptr, kOptions));
  ctxt->myDoc = nullptr;
  if (finish(ctxt.get(), state, error)) return true;
  error.srcText = lineInFile(path, error.line);
  return false;
}

}  // namespace tlx::platform::xmldom
