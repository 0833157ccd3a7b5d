// The transfer control against a real FTP server on 127.0.0.1.
#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <set>
#include <thread>

#include "talvex/convert.h"
#include "talvex/dispatch.h"
#include "automation/strings.h"
#include "platform/inet/inet_control.h"
#include "support/ftp_server.h"

namespace tlx {
namespace {

using namespace tlxtest;
using Clock = std::chrono::steady_clock;

constexpr int kLoginDenied = 67, kRemoteFileNotFound = 78, kCouldNotConnect = 7, kTimedOut = 28,
              kAborted = 42, kQuoteError = 21, kNoSuchDirectory = 9, kWriteError = 23, kReadError = 26;

// The control as a host drives it: by member name.
struct Inet {
  ObjRef obj = newInetControl();

  explicit Inet(const std::string& url = {}) {
    if (!url.empty()) put("URL", Variant(u16(url)));
  }
  void put(const char* name, Variant v) { putProperty(obj, name, std::move(v)); }
  void start(const std::string& command) { callMethod(obj, "Execute", {Variant::missing(), Variant(u16(command))}); }
  bool running() { return toBool(getProperty(obj, "StillExecuting")); }
  void wait() {
    while (running()) {
    }
  }
  // Runs one command to its end; its ResponseCode.
  int run(const std::string& command) {
    start(command);
    wait();
    return code();
  }
  int code() { return toI4(getProperty(obj, "ResponseCode")); }
  std::string info() { return u8(toBStr(getProperty(obj, "ResponseInfo"))); }
  int state() { return toI4(getProperty(obj, "State")); }
  // What a command that gives text gave, or its failure.
  std::string answer(const std::string& command) { return run(command) == 0 ? chunks() : "failed: " + info(); }
  std::string chunks() {
    std::string all;
    for (BStr part; !(part = toBStr(callMethod(obj, "GetChunk", {Variant(int32_t{7})}))).empty();) all += u8(part);
    return all;
  }
};

std::string userUrl(const FtpServer& s) { return "ftp://user:secret@" + s.hostPort(); }

std::set<std::string> lines(const std::string& text) {
  std::set<std::string> out;
  for (size_t at = 0, end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2)
    out.insert(text.substr(at, end - at));
  return out;
}

class InetControl : public ::testing::Test {
 protected:
  void SetUp() override { server.addSampleFiles(); }

  FtpServer server;
  ScratchDir localDir{"talvex-inet-local"};
  fs::path local = localDir.path();
};

TEST_F(InetControl, SessionKeepsLoginAndDirectoryBetweenCommands) {
  Inet inet(userUrl(server));
  EXPECT_EQ(inet.state(), 0);
  EXPECT_EQ(inet.run("CD sub"), 0) << inet.info();
  EXPECT_EQ(inet.state(), 12);
  EXPECT_EQ(inet.run("GET a.txt " + (local / "got.txt").string()), 0) << inet.info();
  EXPECT_EQ(readFile(local / "got.txt"), "in sub\n");
  EXPECT_EQ(inet.answer("PWD"), "/sub");
  EXPECT_EQ(inet.run("CDUP"), 0);
  EXPECT_EQ(inet.run("GET a.txt " + (local / "got.txt").string()), 0);
  EXPECT_EQ(readFile(local / "got.txt"), "top\n");
  EXPECT_EQ(lines(inet.answer("DIR")), (std::set<std::string>{"a.txt", "a b.txt", "sub/"}));
  EXPECT_EQ(inet.answer("DIR sub"), "a.txt\r\n");
  EXPECT_EQ(inet.answer("LS sub"), "a.txt\r\n");
  // One login for the whole session.
  const std::string log = server.log();
  EXPECT_EQ(log.find("<- USER"), log.rfind("<- USER")) << log;
}

TEST_F(InetControl, FileCommandsAndQuotedNames) {
  Inet inet(userUrl(server));
  EXPECT_EQ(inet.run("MKDIR \"new dir\""), 0) << inet.info();
  EXPECT_TRUE(fs::is_directory(server.root() / "new dir"));
  EXPECT_EQ(inet.run("PUT \"" + (server.root() / "a b.txt").string() + "\" \"new dir/c d.txt\""), 0);
  EXPECT_EQ(readFile(server.root() / "new dir" / "c d.txt"), "blanks\n");
  EXPECT_EQ(inet.answer("SIZE \"new dir/c d.txt\""), "7");
  EXPECT_EQ(inet.run("RENAME \"new dir/c d.txt\" moved.txt"), 0);
  EXPECT_TRUE(fs::exists(server.root() / "moved.txt"));
  EXPECT_EQ(inet.run("DELETE moved.txt"), 0);
  EXPECT_EQ(inet.run("RMDIR \"new dir\""), 0);
  EXPECT_FALSE(fs::exists(server.root() / "moved.txt") || fs::exists(server.root() / "new dir"));
  EXPECT_EQ(inet.run("RMDIR \"new dir\""), kQuoteError);
  EXPECT_NE(inet.info().find("550"), std::string::npos) << inet.info();
  EXPECT_EQ(inet.state(), 11);
  writeFile(server.root() / "caf\xC3\xA9.txt", "accent\n");
  EXPECT_EQ(inet.run("GET caf\xC3\xA9.txt " + (local / "\xC3\xA9.txt").string()), 0) << inet.info();
  EXPECT_EQ(readFile(local / "\xC3\xA9.txt"), "accent\n");
  EXPECT_EQ(inet.run("CLOSE"), 0);
  EXPECT_EQ(inet.run("GET \"a b.txt\" \"" + (local / "x y.txt").string() + "\""), 0);
  EXPECT_EQ(readFile(local / "x y.txt"), "blanks\n");
}

TEST_F(InetControl, RefusedLoginAndMissingFilesAreTheControlsState) {
  Inet wrong("ftp://user:not-the-password@" + server.hostPort());
  EXPECT_EQ(wrong.run("GET a.txt " + (local / "a.txt").string()), kLoginDenied);
  EXPECT_NE(wrong.info().find("530"), std::string::npos) << wrong.info();
  EXPECT_EQ(wrong.info().find("not-the-password"), std::string::npos);

  Inet inet(userUrl(server));
  writeFile(local / "keep.txt", "older copy\n");
  EXPECT_EQ(inet.run("GET nothing.txt " + (local / "keep.txt").string()), kRemoteFileNotFound);
  EXPECT_EQ(readFile(local / "keep.txt"), "older copy\n");
  fs::remove(local / "keep.txt");
  EXPECT_EQ(inet.run("CD nowhere"), kNoSuchDirectory);
  EXPECT_EQ(inet.answer("PWD"), "/");
  EXPECT_EQ(inet.run("GET a.txt " + (local / "no-such-folder" / "a.txt").string()), kWriteError);
  EXPECT_NE(inet.info().find("no-such-folder"), std::string::npos);
  EXPECT_EQ(inet.run("PUT " + (local / "missing.txt").string() + " up.txt"), kReadError);
  EXPECT_EQ(inet.run("PUT " + local.string() + " up.txt"), kReadError);  // a folder is not a file
  EXPECT_TRUE(fs::is_empty(local));  // no partial or temporary file anywhere
  EXPECT_FALSE(fs::exists(server.root() / "up.txt"));

  Inet anonymous("ftp://" + server.hostPort());
  EXPECT_EQ(anonymous.run("GET a.txt " + (local / "anon.txt").string()), 0);
  EXPECT_NE(anonymous.run("PUT " + (local / "anon.txt").string() + " up.txt"), 0);  // read-only
}

// Empty, line ends and control bytes, and megabytes of random bytes go up and come back unchanged.
TEST_F(InetControl, UploadThenDownloadIsByteForByte) {
  std::mt19937 random(7);
  std::string noise(3 << 20, '\0');
  for (char& c : noise) c = static_cast<char>(random());
  Inet inet(userUrl(server));
  for (const auto& [name, bytes] : {std::pair<std::string, std::string>{"empty.bin", ""},
                                    {"breaks.bin", std::string("\r\n\n\r\x1a\0end", 9)}, {"noise.bin", noise}}) {
    SCOPED_TRACE(name);
    const fs::path source = local / name, back = local / (name + ".back");
    writeFile(source, bytes);
    ASSERT_EQ(inet.run("PUT " + source.string() + " sub/" + name), 0) << inet.info();
    ASSERT_EQ(inet.run("GET sub/" + name + " " + back.string()), 0) << inet.info();
    // The copy that came back, the server's, and the source itself (left as it was).
    for (const fs::path& copy : {back, server.root() / "sub" / name, source}) EXPECT_TRUE(readFile(copy) == bytes) << copy;
  }
}

TEST_F(InetControl, UnreachableHostAndSilentServer) {
  FtpServer gone;
  gone.kill();
  Inet refused(gone.hostPort());
  EXPECT_EQ(refused.run("DIR"), kCouldNotConnect);

  FtpServer silent({.silent = true});
  Inet inet(silent.hostPort());
  inet.put("RequestTimeout", Variant(int32_t{1}));
  auto began = Clock::now();
  EXPECT_EQ(inet.run("DIR"), kTimedOut) << inet.info();
  EXPECT_LT(Clock::now() - began, std::chrono::seconds(4));
}

// A slow download: a second command waits its turn, Cancel ends it at once and the session goes
// on; a server killed in mid-transfer fails it. Neither leaves a partial file behind.
TEST_F(InetControl, CancelAndServerKilledInMidTransfer) {
  FtpServer slow({.throttle = 256 * 1024});
  writeFile(slow.root() / "big.bin", std::string(8 << 20, 'x'));
  writeFile(slow.root() / "a.txt", "top\n");
  Inet inet(userUrl(slow));
  const std::string getBig = "GET big.bin " + (local / "big.bin").string();
  inet.start(getBig);
  try {
    inet.start("PWD");
    ADD_FAILURE() << "a second Execute was accepted";
  } catch (const ComError& e) {
    EXPECT_EQ(e.number(), hr::basicError(35764));
    EXPECT_EQ(e.description(), "Still executing last request");
  }
  // A caller polling StillExecuting waits a little each time rather than spinning a core.
  auto polling = Clock::now();
  for (int i = 0; i < 100; ++i) ASSERT_TRUE(inet.running());
  EXPECT_GE(Clock::now() - polling, std::chrono::milliseconds(200));
  callMethod(inet.obj, "Cancel");
  auto began = Clock::now();
  inet.wait();
  EXPECT_LT(Clock::now() - began, std::chrono::seconds(1));
  EXPECT_EQ(inet.code(), kAborted);
  EXPECT_TRUE(fs::is_empty(local));
  EXPECT_EQ(inet.run("GET a.txt " + (local / "a.txt").string()), 0) << inet.info();

  fs::remove(local / "a.txt");
  inet.start(getBig);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  slow.kill();
  inet.wait();
  EXPECT_NE(inet.code(), 0);
  EXPECT_EQ(inet.state(), 11);
  EXPECT_TRUE(fs::is_empty(local));
}

TEST_F(InetControl, ExplicitTlsWithCertificateChecks) {
  SelfSignedCertificate cert;
  FtpServer tls({.certFile = cert.cert, .keyFile = cert.key});
  writeFile(tls.root() / "a.txt", "secret data\n");
  const std::string get = "GET a.txt " + (local / "a.txt").string();

  Inet plain(userUrl(tls));
  EXPECT_NE(plain.run(get), 0);  // the server requires TLS

  Inet untrusted("ftps://user:secret@" + tls.hostPort());
  EXPECT_NE(untrusted.run(get), 0);  // self-signed: refused by default
  EXPECT_FALSE(fs::exists(local / "a.txt"));

  Inet trusted(userUrl(tls));
  trusted.put("UseTLS", Variant(true));
  trusted.put("CAFile", Variant(u16(cert.cert.string())));
  EXPECT_EQ(trusted.run(get), 0) << trusted.info();
  EXPECT_EQ(readFile(local / "a.txt"), "secret data\n");
}

TEST(InetControlProperties, UrlSetsHostPortAndCredentials) {
  Inet inet;
  inet.put("URL", Variant(u"ftp://ann:p@ss@files.example:2121"));
  EXPECT_EQ(toBStr(getProperty(inet.obj, "RemoteHost")), u"files.example");
  EXPECT_EQ(toI4(getProperty(inet.obj, "RemotePort")), 2121);
  EXPECT_EQ(toBStr(getProperty(inet.obj, "UserName")), u"ann");
  EXPECT_EQ(toBStr(getProperty(inet.obj, "Password")), u"p@ss");
  inet.put("URL", Variant(u"other.example"));  // no user: anonymous, on the default port
  EXPECT_EQ(toI4(getProperty(inet.obj, "RemotePort")), 21);
  EXPECT_EQ(toBStr(getProperty(inet.obj, "UserName")), u"");
  EXPECT_EQ(toBStr(getProperty(inet.obj, "Password")), u"");
  EXPECT_THROW(inet.put("Protocol", Variant(int16_t{4})), ComError);
  EXPECT_THROW(inet.put("RemotePort", Variant(int32_t{0})), ComError);
  EXPECT_THROW(inet.start("FETCH x"), ComError);
  EXPECT_FALSE(inet.running());
}

}  // namespace
}  // namespace tlx
