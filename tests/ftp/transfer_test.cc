// DownloadFile and UploadFile through the transfer control, against a real FTP server.
#include <gtest/gtest.h>

#include "automation/collection.h"
#include "talvex/convert.h"
#include "talvex/registry.h"
#include "automation/strings.h"
#include "control/talvex.h"
#include "support/ftp_server.h"
#include "support/talvex_session.h"

namespace tlx {
namespace {

using namespace tlxtest;

class CountingSite : public HostSite {
 public:
  void messageBox(const BStr&) override {}
  void doEvents() override { ++events; }
  long events = 0;
};

// Passes every call on to the real control and notes what the method set and executed.
class Recorder : public Dispatch {
 public:
  explicit Recorder(ObjRef inner) : inner_(std::move(inner)) {}
  Variant invoke(std::string_view member, InvokeKind kind, DispParams& params) override {
    if (kind != InvokeKind::PropertyGet) {
      std::string line(member);
      for (Variant* v : params.positional) line += "|" + u8(toBStr(*v));
      calls.push_back(line);
    }
    return inner_->invoke(member, kind, params);
  }
  std::vector<std::string> calls;

 private:
  ObjRef inner_;
};

class Transfer : public ::testing::Test {
 protected:
  void SetUp() override {
    server.addSampleFiles();
    writeFile(server.root() / "victim.txt", "keep me\n");
  }

  // Calls the method late-bound, as a host does, with the control wrapped in a recorder.
  int16_t call(const char* method, std::vector<Variant> args) {
    recorder = Ref<Recorder>(new Recorder(inet));
    args.insert(args.begin(), Variant(ObjRef(recorder)));
    return callWith(method, std::move(args));
  }
  int16_t callWith(const char* method, std::vector<Variant> args) {
    DispParams p;
    for (auto& a : args) p.positional.push_back(&a);
    return toI2(control.invoke(method, InvokeKind::Method, p));
  }
  Variant host() const { return Variant(u16(server.hostPort())); }
  // DownloadFile of `remoteFile` in `dir` as user "user".
  int16_t download(const char16_t* dir, const std::string& localFile, const char16_t* remoteFile = u"a.txt") {
    return call("DownloadFile", {host(), Variant(dir), path(localFile), Variant(remoteFile), Variant(u"user"),
                                 Variant(u"secret")});
  }
  Variant path(const fs::path& p) const { return Variant(u16(p.string())); }
  int responseCode() { return toI4(getProperty(inet, "ResponseCode")); }
  const std::vector<std::string>& calls() const { return recorder->calls; }

  FtpServer server;
  ScratchDir localDir{"talvex-ftp-local"};
  fs::path local = localDir.path();
  CountingSite site;
  TALVEX control{site};
  ObjRef inet = createObject("InetCtls.Inet");
  Ref<Recorder> recorder;
};

TEST_F(Transfer, TheThreeUrlFormsWithTrimmedParts) {
  const std::string hp = server.hostPort();
  const std::string got = (local / "got.txt").string();
  EXPECT_EQ(call("DownloadFile", {Variant(u16(" " + hp + " ")), Variant(u""), path(got), Variant(u"a.txt"),
                                  Variant(u" user "), Variant(u" secret ")}),
            1);
  EXPECT_EQ(calls(), (std::vector<std::string>{"URL| " + hp + " ", "UserName|user", "Password|secret",
                                               "Protocol|2", "Execute|ftp://user:secret@" + hp + "|GET a.txt " + got}));
  EXPECT_EQ(readFile(got), "top\n");

  fs::remove(got);
  EXPECT_EQ(call("DownloadFile", {host(), Variant(u""), path(got), Variant(u"a.txt"), Variant(u"anonymous")}), 1);
  EXPECT_EQ(calls().back(), "Execute|ftp://anonymous@" + hp + "|GET a.txt " + got);
  EXPECT_EQ(readFile(got), "top\n");

  // The same control after a login: a user alone brings no password of the earlier call, and
  // neither user nor password logs in anonymously.
  EXPECT_EQ(call("DownloadFile", {host(), Variant(u""), path(got), Variant(u"a.txt"), Variant(u"user")}), 1);
  EXPECT_EQ(calls().back(), "Execute|ftp://user@" + hp + "|GET a.txt " + got);
  EXPECT_EQ(responseCode(), 67);
  EXPECT_EQ(call("UploadFile", {host(), Variant(u""), path(got), Variant(u"up.txt"), Variant(u""), Variant(u" ")}), 1);
  EXPECT_EQ(calls().back(), "Execute|ftp://" + hp + "|PUT " + got + " up.txt");
  EXPECT_NE(responseCode(), 0);  // anonymous may not write
  std::string log = server.log();
  EXPECT_EQ(log.substr(log.rfind("<- USER ") + 8, 9), "anonymous");
  EXPECT_FALSE(fs::exists(server.root() / "up.txt"));
}

// The host's loop runs while the control works. A small file can arrive within the first poll
// (each poll waits a few milliseconds for the end), so a throttled server makes this one last.
TEST_F(Transfer, TheHostLoopRunsWhileTheControlWorks) {
  FtpServer slow({.throttle = 64 * 1024});
  writeFile(slow.root() / "slow.bin", std::string(128 * 1024, 'x'));
  const std::string got = (local / "slow.bin").string();
  EXPECT_EQ(call("DownloadFile", {Variant(u16(slow.hostPort())), Variant(u""), path(got), Variant(u"slow.bin"),
                                  Variant(u"user"), Variant(u"secret")}),
            1);
  EXPECT_EQ(fs::file_size(got), 128u * 1024);
  EXPECT_GT(site.events, 0);
}

TEST_F(Transfer, DirectoryIsChangedOnlyWhenGiven) {
  const std::string got = (local / "got.txt").string();
  for (const char16_t* none : {u"", u"   "}) {
    EXPECT_EQ(download(none, got), 1);
    EXPECT_EQ(calls().size(), 5u);
    EXPECT_EQ(readFile(got), "top\n");
  }
  EXPECT_EQ(download(u"sub", got), 1);
  EXPECT_EQ(calls()[4], "Execute|ftp://user:secret@" + server.hostPort() + "|CD sub");
  EXPECT_EQ(readFile(got), "in sub\n");

  // A refused change of directory ends the call before the file could come from elsewhere.
  fs::remove(got);
  EXPECT_EQ(download(u"nowhere", got), -1);
  EXPECT_EQ(calls().size(), 5u);
  EXPECT_FALSE(fs::exists(got));
}

// What the method refuses itself gives -1 and sends nothing: a line break in any name (it would
// end the command and start another one on the server), blanks that make three names for GET,
// and objects that are no transfer control.
TEST_F(Transfer, RefusedCallsSendNothing) {
  const std::string got = (local / "got.txt").string();
  EXPECT_EQ(download(u"", got, u"a.txt\r\nDELE victim.txt"), -1);
  EXPECT_EQ(call("UploadFile", {host(), Variant(u"sub\nDELE victim.txt"), path(got), Variant(u"x.txt"),
                                Variant(u"user"), Variant(u"secret")}),
            -1);
  EXPECT_EQ(call("DownloadFile", {host(), Variant(u""), path(got), Variant(u"a.txt"),
                                  Variant(u"user\r\nDELE victim.txt"), Variant(u"secret")}),
            -1);
  EXPECT_TRUE(calls().empty());
  EXPECT_EQ(download(u"", got, u"a b.txt"), -1);
  for (Variant notAControl : {Variant(newDictionary()), Variant(ObjRef())})
    EXPECT_EQ(callWith("DownloadFile", {notAControl, host(), Variant(u""), path(got), Variant(u"a.txt")}), -1);
  EXPECT_EQ(server.log().find("USER"), std::string::npos) << server.log();
  EXPECT_EQ(readFile(server.root() / "victim.txt"), "keep me\n");
  EXPECT_TRUE(fs::is_empty(local));
}

TEST_F(Transfer, ThroughTheCommandLineHost) {
  const std::string got = (local / "host.txt").string();
  auto answers = runSession(std::vector<std::string>{
      R"({"create": "InetCtls.Inet", "as": "inet"})",
      R"({"call": "DownloadFile", "args": [{"obj": "inet"}, ")" + server.hostPort() + R"(", "sub", ")" + got +
          R"(", "a.txt", "user", "secret"]})",
      R"({"on": "inet", "get": "ResponseCode"})",
  });
  ASSERT_EQ(answers.size(), 3u);
  EXPECT_EQ(answers[1]["result"], 1) << answers[1].dump();
  EXPECT_EQ(answers[2]["result"], nlohmann::json({{"i4", 0}})) << answers[2].dump();
  EXPECT_EQ(readFile(got), "in sub\n");
}

}  // namespace
}  // namespace tlx
