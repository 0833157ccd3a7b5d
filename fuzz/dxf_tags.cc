// DXF tag reader: any text gives tags inside it or a DxfError, and tags written back read the same.
#include <string>
#include <vector>

#include "fuzz_input.h"
#include "platform/cad/dxf_tags.h"

using namespace tlx::platform::cad;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::vector<Tag> tags;
  bool crlf = false;
  try {
    TagReader reader(text);
    for (Tag t; reader.next(t);) {
      FUZZ_CHECK(size_t(t.off) + t.len <= text.size());
      tags.push_back(t);
    }
    crlf = reader.crlf();
  } catch (const DxfError&) {
    return 0;
  }
  std::string out;
  TagWriter writer(out, crlf);
  for (const Tag& t : tags) {
    const std::string_view value = text.substr(t.off, t.len);
    if (!value.empty() && value.back() == '\r') return 0;  // a CR before the line end is the line end
    toReal(value);
    toInt(value);
    toHandle(value);
    writer.write(t.code, value);
  }
  TagReader again(out);
  size_t i = 0;
  for (Tag t; again.next(t); ++i) {
    FUZZ_CHECK(i < tags.size());
    FUZZ_CHECK(t.code == tags[i].code);
    FUZZ_CHECK(std::string_view(out).substr(t.off, t.len) == text.substr(tags[i].off, tags[i].len));
  }
  FUZZ_CHECK(i == tags.size());
  return 0;
}
