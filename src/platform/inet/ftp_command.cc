#include "platform/inet/ftp_command.h"

#include <array>

#include "talvex/com_error.h"
#include "automation/strings.h"

namespace tlx::platform::inet {

namespace {

struct VerbSpec {
  std::u16string_view name;
  FtpVerb verb;
  size_t minArgs, maxArgs;
};

constexpr std::array<VerbSpec, 16> kVerbs{{
    {u"CD", FtpVerb::Cd, 1, 1},         {u"CDUP", FtpVerb::Cdup, 0, 0},
    {u"PWD", FtpVerb::Pwd, 0, 0},       {u"DIR", FtpVerb::Dir, 0, 1},
    {u"LS", FtpVerb::Ls, 0, 1},         {u"GET", FtpVerb::Get, 2, 2},
    {u"RECV", FtpVerb::Get, 2, 2},      {u"PUT", FtpVerb::Put, 2, 2},
    {u"SEND", FtpVerb::Put, 2, 2},      {u"MKDIR", FtpVerb::Mkdir, 1, 1},
    {u"RMDIR", FtpVerb::Rmdir, 1, 1},   {u"DELETE", FtpVerb::Delete, 1, 1},
    {u"RENAME", FtpVerb::Rename, 2, 2}, {u"SIZE", FtpVerb::Size, 1, 1},
    {u"QUIT", FtpVerb::Quit, 0, 0},     {u"CLOSE", FtpVerb::Close, 0, 0},
}};

[[noreturn]] void invalid(const std::string& why) {
  throw ComError(hr::E_INVALIDARG, "Invalid FTP command: " + why);
}

bool isBlank(char16_t c) { return c == u' ' || c == u'\t'; }

// Splits at runs of blanks; a token opening with a quotation mark runs to the closing one.
std::vector<std::u16string> splitWords(std::u16string_view text) {
  std::vector<std::u16string> words;
  size_t i = 0;
  while (true) {
    while (i < text.size() && isBlank(text[i])) ++i;
    if (i == text.size()) return words;
    std::u16string word;
    if (text[i] == u'"') {
      for (++i;; ++i) {
        if (i == text.size()) invalid("a quotation mark is not closed");
        if (text[i] == u'"' && !(i + 1 < text.size() && text[i + 1] == u'"')) break;
        if (text[i] == u'"') ++i;
        word += text[i];
      }
      ++i;
      if (i < text.size() && !isBlank(text[i])) invalid("text follows a closing quotation mark");
    } else {
      while (i < text.size() && !isBlank(text[i])) word += text[i++];
    }
    words.push_back(std::move(word));
  }
}

// A name holding CR, LF or NUL could end the command and start another one.
bool hasLineBreakOrNul(std::u16string_view name) {
  return name.find_first_of(std::u16string_view(u"\r\n\0", 3)) != std::u16string_view::npos;
}

}  // namespace

FtpCommand parseFtpCommand(std::u16string_view text) {
  if (hasLineBreakOrNul(text)) invalid("it holds a line break or NUL character");
  std::vector<std::u16string> words = splitWords(text);
  if (words.empty()) invalid("no command given");
  for (const VerbSpec& spec : kVerbs) {
    if (!equalsNoCase(words[0], spec.name)) continue;
    size_t n = words.size() - 1;
    if (n < spec.minArgs || n > spec.maxArgs)
      invalid(u8(spec.name) + " takes " + std::to_string(spec.minArgs) +
              (spec.maxArgs != spec.minArgs ? " or " + std::to_string(spec.maxArgs) : "") +
              " name(s), given " + std::to_string(n) + " (quote names holding blanks)");
    FtpCommand cmd{spec.verb, {}};
    for (size_t k = 1; k < words.size(); ++k) {
      if (words[k].empty()) invalid("an empty name");
      cmd.args.push_back(u8(words[k]));
    }
    return cmd;
  }
  invalid("unknown command " + u8(words[0]));
}

}  // namespace tlx::platform::inet
