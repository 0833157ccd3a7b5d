#include "platform/inet/inet_url.h"

#include "talvex/com_error.h"
#include "automation/strings.h"

namespace tlx::platform::inet {

namespace {

[[noreturn]] void invalidUrl(const std::string& why) { throw ComError(hr::E_INVALIDARG, "Invalid URL: " + why); }

struct Scheme {
  std::u16string_view name;
  Protocol protocol;
  bool tls;
};
constexpr Scheme kSchemes[] = {
    {u"ftp", icFTP, false}, {u"ftps", icFTP, true}, {u"http", icHTTP, false}, {u"https", icHTTPS, false}};

int32_t parsePort(std::u16string_view digits) {
  if (digits.empty() || digits.size() > 5) invalidUrl("the port must be a number from 1 to 65535");
  int32_t port = 0;
  for (char16_t c : digits) {
    if (c < u'0' || c > u'9') invalidUrl("the port must be a number from 1 to 65535");
    port = port * 10 + (c - u'0');
  }
  if (port < 1 || port > 65535) invalidUrl("the port must be a number from 1 to 65535");
  return port;
}

// host, [v6], host:port, [v6]:port
void parseHostPort(std::u16string_view hostPort, InetUrl& url) {
  std::u16string_view portText;
  bool hasPort = false;
  if (!hostPort.empty() && hostPort.front() == u'[') {
    size_t close = hostPort.find(u']');
    if (close == std::u16string_view::npos) invalidUrl("an IPv6 address is not closed with ]");
    url.host = hostPort.substr(1, close - 1);
    std::u16string_view rest = hostPort.substr(close + 1);
    if (!rest.empty()) {
      if (rest.front() != u':') invalidUrl("text follows the IPv6 address");
      portText = rest.substr(1);
      hasPort = true;
    }
  } else {
    size_t colon = hostPort.rfind(u':');
    url.host = hostPort.substr(0, colon);
    if (colon != std::u16string_view::npos) {
      portText = hostPort.substr(colon + 1);
      hasPort = true;
    }
  }
  if (url.host.empty()) invalidUrl("no host name");
  if (hasPort) url.port = parsePort(portText);
}

}  // namespace

int32_t defaultPort(Protocol protocol) {
  switch (protocol) {
    case icHTTP: return 80;
    case icHTTPS: return 443;
    default: return 21;
  }
}

InetUrl parseInetUrl(std::u16string_view text) {
  InetUrl url;
  text = trimSpaces(text);
  size_t sep = text.find(u"://");
  if (sep != std::u16string_view::npos) {
    std::u16string_view name = text.substr(0, sep);
    const Scheme* found = nullptr;
    for (const Scheme& s : kSchemes)
      if (equalsNoCase(name, s.name)) found = &s;
    if (!found) invalidUrl("unknown scheme " + u8(name));
    url.protocol = found->protocol;
    url.explicitTls = found->tls;
    text.remove_prefix(sep + 3);
  }
  // The last "@" ends the user part, so that a password may hold "@", ":" and "/".
  size_t at = text.rfind(u'@');
  size_t authorityStart = 0;
  if (at != std::u16string_view::npos) {
    std::u16string_view userInfo = text.substr(0, at);
    size_t colon = userInfo.find(u':');
    url.user = std::u16string(userInfo.substr(0, colon));
    if (colon != std::u16string_view::npos) url.password = std::u16string(userInfo.substr(colon + 1));
    authorityStart = at + 1;
  }
  size_t slash = text.find(u'/', authorityStart);
  parseHostPort(text.substr(authorityStart, slash == std::u16string_view::npos ? std::u16string_view::npos
                                                                               : slash - authorityStart),
                url);
  if (slash != std::u16string_view::npos) url.path = text.substr(slash);
  return url;
}

}  // namespace tlx::platform::inet
