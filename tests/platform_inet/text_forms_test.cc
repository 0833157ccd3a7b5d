// The transfer control's command texts, URL forms and the server listings it reads.
#include <gtest/gtest.h>

#include "talvex/com_error.h"
#include "automation/strings.h"
#include "platform/inet/ftp_command.h"
#include "platform/inet/ftp_listing.h"
#include "platform/inet/inet_url.h"

namespace tlx::platform::inet {
namespace {

using Args = std::vector<std::string>;

TEST(FtpCommandText, VerbsSynonymsArgumentsAndQuotedNames) {
  struct Case {
    const char16_t* text;
    FtpVerb verb;
    Args args;
  };
  for (const Case& c : {Case{u"get a.txt b.txt", FtpVerb::Get, {"a.txt", "b.txt"}}, {u"RECV a b", FtpVerb::Get, {"a", "b"}},
                        {u"Send a b", FtpVerb::Put, {"a", "b"}}, {u"  CD \t pub  ", FtpVerb::Cd, {"pub"}},
                        {u"DIR", FtpVerb::Dir, {}}, {u"RENAME old new", FtpVerb::Rename, {"old", "new"}},
                        {u"CD caf\u00e9", FtpVerb::Cd, {"caf\xC3\xA9"}},  // UTF-8 on the wire
                        // Quoted names keep their blanks.
                        {u"GET \"a b.txt\" \"/tmp/c d.txt\"", FtpVerb::Get, {"a b.txt", "/tmp/c d.txt"}},
                        {u"CD \"say \"\"hi\"\"\"", FtpVerb::Cd, {"say \"hi\""}}}) {
    const FtpCommand cmd = parseFtpCommand(c.text);
    EXPECT_EQ(cmd.verb, c.verb) << u8(c.text);
    EXPECT_EQ(cmd.args, c.args) << u8(c.text);
  }
}

TEST(FtpCommandText, RefusesWhatItCannotSendSafely) {
  for (const char16_t* bad : {u"", u"   ", u"FETCH a b", u"GET a", u"GET a b.txt c", u"CD", u"PWD x",
                              u"GET \"a b", u"GET \"a\"b c", u"GET \"\" b", u"CD pub\r\nDELE x",
                              u"CD pub\nDELE x"}) {
    EXPECT_THROW(parseFtpCommand(bad), ComError) << u8(bad);
  }
  EXPECT_THROW(parseFtpCommand(std::u16string_view(u"CD a\0b", 6)), ComError);
}

// Every part of a URL on one line: scheme, TLS, user, password, host, port and path.
std::string shown(const InetUrl& u) {
  return std::to_string(u.protocol) + (u.explicitTls ? "s " : " ") + (u.user ? u8(*u.user) : "-") + ":" +
         (u.password ? u8(*u.password) : "-") + "@" + u8(u.host) + ":" + (u.port ? std::to_string(*u.port) : "-") +
         u8(u.path);
}

TEST(InetUrlForms, UserPasswordHostAndPort) {
  for (auto [text, parts] : {std::pair{u"ftp://ann:s3:cr@t@files.example:2121", "2 ann:s3:cr@t@files.example:2121"},
                             {u"ftp://ann@files.example", "2 ann:-@files.example:-"},
                             {u"127.0.0.1:2121", "2 -:-@127.0.0.1:2121"},  // no scheme: FTP
                             {u"FTPS://[::1]:990/pub/x", "2s -:-@::1:990/pub/x"},
                             {u"http://h", "4 -:-@h:-"}})
    EXPECT_EQ(shown(parseInetUrl(text)), parts) << u8(text);
}

TEST(InetUrlForms, RefusesBadHostsAndPorts) {
  for (const char16_t* bad : {u"", u"ftp://", u"ftp://user@", u"gopher://h", u"h:0", u"h:65536", u"h:21x",
                              u"h:", u"[::1", u"[::1]x"})
    EXPECT_THROW(parseInetUrl(bad), ComError) << u8(bad);
}

// Unix long forms (a name with two blanks, a link, no group column), DOS forms, and lines of
// neither form (garbage, a size too large, no name), which are skipped like "." and "..".
TEST(FtpListingText, UnixAndDosFormsAndGarbage) {
  auto e = parseFtpListing(
      "total 12\r\n"
      "drwxr-xr-x   2 owner    group        4096 Dec 06 22:00 sub\r\n"
      "-rw-r--r--   1 owner    group          12 Jan  1  2024 two  blanks.txt\r\n"
      "lrwxrwxrwx   1 owner    group           5 Dec 06 22:00 link -> a.txt\r\n"
      "-rw-r--r--   1 owner           7 Feb 29 09:05 no-group\n"
      "drwxr-xr-x   2 owner    group        4096 Dec 06 22:00 .\r\n"
      "drwxr-xr-x   2 owner    group        4096 Dec 06 22:00 ..\r\n"
      "12-06-24  10:00PM       <DIR>          My Documents\r\n"
      "12-06-24  10:01PM                 1234 report 1.txt\r\n"
      "this is not a listing\r\n"
      "-rw-r--r-- 1 o g 99999999999999999999 Dec 06 22:00 huge\r\n"
      "-rw-r--r-- 1 o g 12 Dec 06 22:00\r\n"
      "\r\n\n\r");
  EXPECT_EQ(formatDirResult(e), "sub/\r\ntwo  blanks.txt\r\nlink\r\nno-group\r\nMy Documents/\r\nreport 1.txt\r\n");
  std::vector<int64_t> sizes;
  for (const FtpListEntry& x : e) sizes.push_back(x.size);
  EXPECT_EQ(sizes, (std::vector<int64_t>{4096, 12, 5, 7, -1, 1234}));
}

}  // namespace
}  // namespace tlx::platform::inet
