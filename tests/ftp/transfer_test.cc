// DownloadFile and UploadFile through the transfer control, against a real FTP server.
#include <gtest/gtest.h>

#include <chrono>
#include <random>

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
using Clock = std::chrono::steady_clock;

class CountingSite : public HostSite {
 public:
  void messageBox(const BStr&) override { ++messages; }
  void doEvents() override { ++events; }
  int messages = 0;
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

TEST_F(Transfer, DirectoryIsChangedOnlyWhenGiven) {
  const std::string got = (local / "got.txt").string();
  for (const char16_t* none : {u"", u"   "}) {
    EXPECT_EQ(call("DownloadFile", {host(), Variant(none), path(got), Variant(u"a.txt"), Variant(u"user"),
                                    Variant(u"secret")}),
              1);
    EXPECT_EQ(calls().size(), 5u);
    EXPECT_EQ(readFile(got), "top\n");
  }
  EXPECT_EQ(call("DownloadFile", {host(), Variant(u"sub"), path(got), Variant(u"a.txt"), Variant(u"user"),
                                  Variant(u"secret")}),
            1);
  EXPECT_EQ(calls()[4], "Execute|ftp://user:secret@" + server.hostPort() + "|CD sub");
  EXPECT_EQ(readFile(got), "in sub\n");

  // A refused change of directory ends the call before the file could come from elsewhere.
  fs::remove(got);
  EXPECT_EQ(call("DownloadFile", {host(), Variant(u"nowhere"), path(got), Variant(u"a.txt"), Variant(u"user"),
                                  Variant(u"secret")}),
            -1);
  EXPECT_EQ(calls().size(), 5u);
  EXPECT_FALSE(fs::exists(got));
}

TEST_F(Transfer, UploadThenDownloadIsByteForByte) {
  std::mt19937 random(7);
  std::string binary(3 << 20, '\0');
  for (char& c : binary) c = static_cast<char>(random());
  for (const std::string& content : {std::string(), binary, std::string("\r\n\n\r\x1a\0end", 9)}) {
    writeFile(local / "out.bin", content);
    ASSERT_EQ(call("UploadFile", {host(), Variant(u"sub"), path(local / "out.bin"), Variant(u"up.bin"),
                                  Variant(u"user"), Variant(u"secret")}),
              1);
    EXPECT_EQ(calls().back(), "Execute|ftp://user:secret@" + server.hostPort() + "|PUT " +
                                  (local / "out.bin").string() + " up.bin");
    ASSERT_EQ(responseCode(), 0);
    ASSERT_EQ(call("DownloadFile", {host(), Variant(u"sub"), path(local / "back.bin"), Variant(u"up.bin"),
                                    Variant(u"user"), Variant(u"secret")}),
              1);
    EXPECT_EQ(readFile(local / "back.bin"), content);
    EXPECT_EQ(readFile(local / "out.bin"), content);  // the source is left as it was
  }
  EXPECT_GT(site.events, 0);
}

TEST_F(Transfer, TwoHundredMegabytesBothWays) {
  std::string block(1 << 20, '\0');
  std::mt19937 random(11);
  for (char& c : block) c = static_cast<char>(random());
  {
    std::ofstream out(local / "big.bin", std::ios::binary);
    for (int i = 0; i < 200; ++i) {
      block[0] = static_cast<char>(i);  // no two megabytes alike
      out.write(block.data(), static_cast<std::streamsize>(block.size()));
    }
  }
  auto began = Clock::now();
  ASSERT_EQ(call("UploadFile", {host(), Variant(u""), path(local / "big.bin"), Variant(u"big.bin"),
                                Variant(u"user"), Variant(u"secret")}),
            1);
  ASSERT_EQ(responseCode(), 0);
  ASSERT_EQ(call("DownloadFile", {host(), Variant(u""), path(local / "back.bin"), Variant(u"big.bin"),
                                  Variant(u"user"), Variant(u"secret")}),
            1);
  ASSERT_EQ(responseCode(), 0);
  double seconds = std::chrono::duration<double>(Clock::now() - began).count();
  // The caller polls; it must not spin while the worker moves the data.
  EXPECT_LT(site.events, static_cast<long>(seconds * 1000) + 100) << site.events << " polls in " << seconds << " s";
  std::ifstream a(local / "big.bin", std::ios::binary), b(local / "back.bin", std::ios::binary),
      c(server.root() / "big.bin", std::ios::binary);
  std::string x(1 << 20, '\0'), y(1 << 20, '\0'), z(1 << 20, '\0');
  for (int i = 0; i < 200; ++i) {
    a.read(x.data(), x.size());
    b.read(y.data(), y.size());
    c.read(z.data(), z.size());
    ASSERT_TRUE(x == y && x == z) << "megabyte " << i;
  }
  EXPECT_EQ(fs::file_size(local / "back.bin"), 200u << 20);
}

TEST_F(Transfer, LineBreaksInNamesAreRefusedBeforeAnythingIsSent) {
  const Variant got = path(local / "got.txt");
  EXPECT_EQ(call("DownloadFile", {host(), Variant(u""), got, Variant(u"a.txt\r\nDELE victim.txt"),
                                  Variant(u"user"), Variant(u"secret")}),
            -1);
  EXPECT_EQ(call("UploadFile", {host(), Variant(u"sub\nDELE victim.txt"), got, Variant(u"x.txt"),
                                Variant(u"user"), Variant(u"secret")}),
            -1);
  EXPECT_EQ(call("DownloadFile", {host(), Variant(u""), got, Variant(u"a.txt"), Variant(u"user\r\nDELE victim.txt"),
                                  Variant(u"secret")}),
            -1);
  EXPECT_TRUE(calls().empty());
  EXPECT_EQ(server.log().find("DELE"), std::string::npos) << server.log();
  EXPECT_EQ(server.log().find("USER"), std::string::npos);
  EXPECT_EQ(readFile(server.root() / "victim.txt"), "keep me\n");
}

TEST_F(Transfer, NamesWithBlanksSplitUnlessQuoted) {
  const std::string got = (local / "got b.txt").string();
  EXPECT_EQ(call("DownloadFile", {host(), Variant(u""), path(local / "g.txt"), Variant(u"a b.txt"),
                                  Variant(u"user"), Variant(u"secret")}),
            -1);  // three names for GET
  EXPECT_EQ(call("DownloadFile", {host(), Variant(u""), Variant(u16("\"" + got + "\"")), Variant(u"\"a b.txt\""),
                                  Variant(u"user"), Variant(u"secret")}),
            1);
  EXPECT_EQ(readFile(got), "blanks\n");
}

TEST_F(Transfer, FailuresOfTheTransferAreLeftToTheControl) {
  const std::string got = (local / "got.txt").string();
  EXPECT_EQ(call("DownloadFile", {host(), Variant(u""), path(got), Variant(u"missing.txt"), Variant(u"user"),
                                  Variant(u"secret")}),
            1);
  EXPECT_EQ(responseCode(), 78);
  EXPECT_EQ(call("DownloadFile", {host(), Variant(u""), path(got), Variant(u"a.txt"), Variant(u"user"),
                                  Variant(u"wrong-password")}),
            1);
  EXPECT_EQ(responseCode(), 67);
  EXPECT_EQ(u8(toBStr(getProperty(inet, "ResponseInfo"))).find("wrong-password"), std::string::npos);
  EXPECT_EQ(call("DownloadFile", {host(), Variant(u""), path(local / "none" / "got.txt"), Variant(u"a.txt"),
                                  Variant(u"user"), Variant(u"secret")}),
            1);
  EXPECT_EQ(responseCode(), 23);
  EXPECT_TRUE(fs::is_empty(local));

  SilentServer silent;
  putProperty(inet, "RequestTimeout", Variant(int32_t{1}));
  auto began = Clock::now();
  EXPECT_EQ(call("DownloadFile", {Variant(u16(silent.hostPort())), Variant(u""), path(got), Variant(u"a.txt")}), 1);
  EXPECT_EQ(responseCode(), 28);
  EXPECT_LT(Clock::now() - began, std::chrono::seconds(4));
}

TEST_F(Transfer, ObjectsThatAreNoTransferControl) {
  auto args = [&](Variant obj) {
    return std::vector<Variant>{std::move(obj), host(), Variant(u""), path(local / "a.txt"), Variant(u"a.txt")};
  };
  EXPECT_EQ(callWith("DownloadFile", args(Variant(newDictionary()))), -1);
  EXPECT_EQ(callWith("UploadFile", args(Variant(ObjRef()))), -1);
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
