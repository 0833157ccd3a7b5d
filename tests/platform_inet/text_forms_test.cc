// The transfer control's command texts, URL forms and the server listings it reads.
#include <gtest/gtest.h>

#include "talvex/com_error.h"
#include "platform/inet/ftp_command.h"
#include "platform/inet/ftp_listing.h"
#include "platform/inet/inet_url.h"

namespace tlx::platform::inet {
namespace {

using Args = std::vector<std::string>;

TEST(FtpCommandText, VerbsSynonymsArgumentsAndQuotedNames) {
  EXPECT_EQ(parseFtpCommand(u"get a.txt b.txt").args, (Args{"a.txt", "b.txt"}));
  EXPECT_EQ(parseFtpCommand(u"RECV a b").verb, FtpVerb::Get);
  EXPECT_EQ(parseFtpCommand(u"Send a b").verb, FtpVerb::Put);
  EXPECT_EQ(parseFtpCommand(u"  CD \t pub  ").args, (Args{"pub"}));
  EXPECT_TRUE(parseFtpCommand(u"DIR").args.empty());
  EXPECT_EQ(parseFtpCommand(u"DIR sub").args, (Args{"sub"}));
  EXPECT_EQ(parseFtpCommand(u"RENAME old new").verb, FtpVerb::Rename);
  EXPECT_EQ(parseFtpCommand(u"CD caf\u00e9").args, (Args{"caf\xC3\xA9"}));  // UTF-8 on the wire
  // Quoted names keep their blanks.
  EXPECT_EQ(parseFtpCommand(u"GET \"a b.txt\" \"/tmp/c d.txt\"").args, (Args{"a b.txt", "/tmp/c d.txt"}));
  EXPECT_EQ(parseFtpCommand(u"CD \"say \"\"hi\"\"\"").args, (Args{"say \"hi\""}));
}

TEST(FtpCommandText, RefusesWhatItCannotSendSafely) {
  for (const char16_t* bad : {u"", u"   ", u"FETCH a b", u"GET a", u"GET a b.txt c", u"CD", u"PWD x",
                              u"GET \"a b", u"GET \"a\"b c", u"GET \"\" b", u"CD pub\r\nDELE x",
                              u"CD pub\nDELE x"}) {
    EXPECT_THROW(parseFtpCommand(bad), ComError) << std::string(bad, bad + std::char_traits<char16_t>::length(bad));
  }
  EXPECT_THROW(parseFtpCommand(std::u16string_view(u"CD a\0b", 6)), ComError);
}

TEST(InetUrlForms, UserPasswordHostAndPort) {
  InetUrl u = parseInetUrl(u"ftp://ann:s3:cr@t@files.example:2121");
  EXPECT_EQ(*u.user, u"ann");
  EXPECT_EQ(*u.password, u"s3:cr@t");
  EXPECT_EQ(u.host, u"files.example");
  EXPECT_EQ(*u.port, 2121);

  u = parseInetUrl(u"ftp://ann@files.example");
  EXPECT_EQ(*u.user, u"ann");
  EXPECT_FALSE(u.password);
  EXPECT_FALSE(u.port);

  u = parseInetUrl(u"127.0.0.1:2121");  // no scheme: FTP
  EXPECT_EQ(u.protocol, icFTP);
  EXPECT_FALSE(u.user);
  EXPECT_EQ(u.host, u"127.0.0.1");
  EXPECT_EQ(*u.port, 2121);

  u = parseInetUrl(u"FTPS://[::1]:990/pub/x");
  EXPECT_TRUE(u.explicitTls);
  EXPECT_EQ(u.host, u"::1");
  EXPECT_EQ(u.path, u"/pub/x");
  EXPECT_EQ(parseInetUrl(u"http://h").protocol, icHTTP);
}

TEST(InetUrlForms, RefusesBadHostsAndPorts) {
  for (const char16_t* bad : {u"", u"ftp://", u"ftp://user@", u"gopher://h", u"h:0", u"h:65536", u"h:21x",
                              u"h:", u"[::1", u"[::1]x"})
    EXPECT_THROW(parseInetUrl(bad), ComError);
}

TEST(FtpListingText, UnixLongForm) {
  auto e = parseFtpListing(
      "total 12\r\n"
      "drwxr-xr-x   2 owner    group        4096 Dec 06 22:00 sub\r\n"
      "-rw-r--r--   1 owner    group          12 Jan  1  2024 two  blanks.txt\r\n"
      "lrwxrwxrwx   1 owner    group           5 Dec 06 22:00 link -> a.txt\r\n"
      "-rw-r--r--   1 owner           7 Feb 29 09:05 no-group\n"
      "drwxr-xr-x   2 owner    group        4096 Dec 06 22:00 .\r\n"
      "drwxr-xr-x   2 owner    group        4096 Dec 06 22:00 ..\r\n");
  ASSERT_EQ(e.size(), 4u);
  EXPECT_EQ(e[0].name, "sub");
  EXPECT_TRUE(e[0].isDirectory);
  EXPECT_EQ(e[1].name, "two  blanks.txt");
  EXPECT_EQ(e[1].size, 12);
  EXPECT_EQ(e[2].name, "link");
  EXPECT_EQ(e[3].name, "no-group");
  EXPECT_EQ(formatDirResult(e), "sub/\r\ntwo  blanks.txt\r\nlink\r\nno-group\r\n");
}

TEST(FtpListingText, DosFormAndGarbage) {
  auto e = parseFtpListing(
      "12-06-24  10:00PM       <DIR>          My Documents\r\n"
      "12-06-24  10:01PM                 1234 report 1.txt\r\n"
      "this is not a listing\r\n"
      "-rw-r--r-- 1 o g 99999999999999999999 Dec 06 22:00 huge\r\n"
      "-rw-r--r-- 1 o g 12 Dec 06 22:00\r\n"
      "\r\n\n\r");
  ASSERT_EQ(e.size(), 2u);
  EXPECT_EQ(e[0].name, "My Documents");
  EXPECT_TRUE(e[0].isDirectory);
  EXPECT_EQ(e[1].name, "report 1.txt");
  EXPECT_EQ(e[1].size, 1234);
}

}  // namespace
}  // namespace tlx::platform::inet
