// The transfer control's FTP command text: a verb and its arguments, split at blanks. A name
// holding blanks is written in quotation marks ("a b.txt"; "" inside stands for one mark).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tlx::platform::inet {

enum class FtpVerb { Cd, Cdup, Pwd, Dir, Ls, Get, Put, Mkdir, Rmdir, Delete, Rename, Size, Quit, Close };

struct FtpCommand {
  FtpVerb verb;
  std::vector<std::string> args;  // UTF-8, as sent to the server or used as local paths
};

// Raises a ComError for an unknown verb, a wrong number of arguments, an open quotation mark,
// or a name holding CR, LF or NUL (which would let a name carry further commands).
FtpCommand parseFtpCommand(std::u16string_view text);

}  // namespace tlx::platform::inet
