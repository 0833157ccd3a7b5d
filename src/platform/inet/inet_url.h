// The transfer control's URL forms: [scheme://][user[:password]@]host[:port][/path]. A host
// without a scheme means FTP. The user part ends at the last "@" of the text, so a password may
// hold "@", ":" and "/" (and a path may not hold "@"); nothing is percent-decoded. Blanks around
// the whole text are ignored.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tlx::platform::inet {

enum Protocol : int16_t { icUnknown = 0, icDefault = 1, icFTP = 2, icHTTP = 4, icHTTPS = 5 };

struct InetUrl {
  Protocol protocol = icFTP;
  bool explicitTls = false;            // ftps://: AUTH TLS on the control connection
  std::optional<std::u16string> user;  // present when the URL names one
  std::optional<std::u16string> password;
  std::u16string host;                 // without brackets for an IPv6 address
  std::optional<int32_t> port;
  std::u16string path;                 // from the "/" after the host on; may be empty
};

// Raises E_INVALIDARG for an unknown scheme, an empty host or a port that is not 1 to 65535.
InetUrl parseInetUrl(std::u16string_view text);

// The port a protocol uses when none is given.
int32_t defaultPort(Protocol protocol);

}  // namespace tlx::platform::inet
