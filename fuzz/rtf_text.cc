// The rich text box's RTF reader: any text reads without a crash into no more characters than
// it holds, and a plain text written as rich text reads back as itself (line ends as CR LF).
// Input: one byte choosing 8-bit text (even) or 16-bit units (odd), then the text.
#include <string>

#include "fuzz_input.h"
#include "platform/forms/rtf.h"

using namespace tlx;

namespace {

std::u16string withCrLf(std::u16string_view text) {
  std::u16string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'\r' || text[i] == u'\n') {
      if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
      out += u"\r\n";
    } else {
      out += text[i];
    }
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tlxfuzz::Input in(data, size);
  const bool wide = in.byte() & 1;
  std::u16string text;
  std::string_view rest = in.rest();
  if (wide)
    for (; rest.size() >= 2; rest.remove_prefix(2))
      text.push_back(static_cast<char16_t>(uint8_t(rest[0]) | (uint8_t(rest[1]) << 8)));
  else
    for (char c : rest) text.push_back(static_cast<uint8_t>(c));

  FUZZ_CHECK(platform::forms::textOfRtf(text).size() <= text.size());
  FUZZ_CHECK(platform::forms::textOfRtf(platform::forms::rtfOfText(text)) == withCrLf(text));
  return 0;
}
