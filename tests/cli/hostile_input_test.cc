// The session host fed what no well-behaved client sends: every line gets a clear answer or the
// host ends cleanly with a message; nothing crashes, hangs or holds memory without bound.
#include <gtest/gtest.h>

#include "support/talvex_session.h"

namespace {

using nlohmann::json;
using tlxtest::ProcessResult;
using tlxtest::runHost;

std::vector<json> answersOf(const ProcessResult& r) {
  EXPECT_EQ(r.exitCode, 0) << r.err;
  return tlxtest::parseAnswers(r.out);
}

std::string description(const json& answer) { return answer["error"]["description"].get<std::string>(); }

bool refused(const json& answer, const std::string& why) {
  return answer["ok"] == false && description(answer).find("Malformed request: " + why) != std::string::npos;
}

std::string nested(int depth, const std::string& inner = "1") {
  return std::string(depth, '[') + inner + std::string(depth, ']');
}

std::string let(const std::string& name, const std::string& value) {
  return R"({"let":")" + name + R"(","value":)" + value + "}";
}

TEST(HostileInput, DeepNestingIsRefusedUpToTheLimitAndConfigurable) {
  auto a = answersOf(runHost({"session"}, let("deep", nested(100000)) + "\n" + nested(100000) + "\n" +
                                              let("ok", nested(999)) + "\n" +
                                              let("objects", std::string(5000, '{') + std::string(5000, '}')) +
                                              "\n" + R"({"call":"AboutBox"})" + "\n"));
  ASSERT_EQ(a.size(), 5u);
  EXPECT_TRUE(refused(a[0], "brackets nest deeper than 1000 levels")) << a[0];
  EXPECT_TRUE(refused(a[1], "brackets nest deeper than 1000 levels")) << a[1];
  EXPECT_TRUE(a[2]["ok"]) << "999 arrays inside the request object are within the limit";
  EXPECT_TRUE(refused(a[3], "brackets nest deeper")) << a[3];
  EXPECT_TRUE(a[4]["ok"]);

  auto b = answersOf(runHost({"session", "--max-depth", "5000"}, let("deep", nested(4999)) + "\n"));
  ASSERT_EQ(b.size(), 1u);
  EXPECT_TRUE(b[0]["ok"]);
  EXPECT_EQ(b[0]["vars"]["deep"], json::parse(nested(4999)));
}

TEST(HostileInput, AVariableCannotBeStackedIntoItselfPastTheLimit) {
  std::string input = let("a", "[]") + "\n";
  for (int i = 0; i < 12; ++i) input += let("a", R"([{"var":"a"}])") + "\n";
  auto a = answersOf(runHost({"session", "--max-depth", "10"}, input));
  ASSERT_EQ(a.size(), 13u);
  for (int i = 0; i <= 9; ++i) EXPECT_TRUE(a[i]["ok"]) << i;
  EXPECT_TRUE(refused(a[10], "arrays nest deeper than 10 levels")) << a[10];
  EXPECT_EQ(a[9]["vars"]["a"], json::parse(nested(9, "[]")));
}

TEST(HostileInput, AnOverlongLineIsSkippedWithoutBeingHeld) {
  const std::string huge = R"({"let":"big","value":")" + std::string(100 << 20, 'x') + R"("})";
  auto a = answersOf(runHost({"session"}, huge + "\n" + R"({"call":"AboutBox"})" + "\n" + huge));
  ASSERT_EQ(a.size(), 3u);
  EXPECT_TRUE(refused(a[0], "line longer than 33554432 bytes")) << a[0];
  EXPECT_TRUE(a[1]["ok"]) << "the session goes on after the line";
  EXPECT_TRUE(refused(a[2], "line longer than")) << "a last line without its end counts too";

  auto b = answersOf(runHost({"session", "--max-line", "100"}, let("s", '"' + std::string(60, 'y') + '"') + "\n" +
                                                                  let("s", '"' + std::string(100, 'y') + '"') + "\n"));
  ASSERT_EQ(b.size(), 2u);
  EXPECT_TRUE(b[0]["ok"]);
  EXPECT_TRUE(refused(b[1], "line longer than 100 bytes"));
}

TEST(HostileInput, GarbageAndInvalidUtf8GetAnAnswerEach) {
  // Garbage with a NUL, a lone CR and bytes of no encoding (the fuzz targets try much more).
  std::string input = std::string("#\0{\r\x01\xFF\"[", 8) + "\n";
  input += let("s", "\"\xFF\xFE\xC3\x28\"") + "\n";
  input += let("s", "\"\xED\xA0\x80\"") + "\n";  // an encoded surrogate
  input += std::string("{\"let\":\"\xC0\xAF\",\"value\":1}\n");
  input += let("n", "[1e400]") + "\n";  // parses, but as no double
  // Dates the runtime cannot hold (years 100 to 9999), which used to fail only when shown.
  for (const char* date : {"20221474836484-02-31T13:05:00", "2024-01-01T00:00:nan", "99-12-31", "10000-01-01"})
    input += let("d", std::string(R"({"date":")") + date + R"("})") + "\n";
  auto a = answersOf(runHost({"session"}, input));
  ASSERT_EQ(a.size(), 9u);
  for (const json& answer : a) EXPECT_TRUE(refused(answer, "")) << answer;
}

// A thousand requests, more answers than a pipe holds, to a host whose standard output is closed
// or a pipe whose reader has gone: what it says, and its exit status.
TEST(HostileInput, NoReaderForTheAnswersEndsTheSessionWithAMessage) {
  const std::string host = "yes '{\"call\":\"AboutBox\"}' | head -n 1000 | " + tlxtest::shellQuote(TALVEX_BINARY);
  for (const std::string& run : {host + " session 2>&1 >&-; echo \"exit $?\"",
                                 "{ { " + host + " session 2>&3; echo \"exit $?\" >&3; } | true; } 3>&1"})
    EXPECT_EQ(tlxtest::shell("bash -c " + tlxtest::shellQuote(run)),
              "talvex session: standard output is closed; session ended\nexit 1\n") << run;
}

TEST(HostileInput, AnUnusableCodePageIsSaidAtStart) {
  tlxtest::SessionOptions options;
  options.env["TALVEX_CODEPAGE"] = "NO-SUCH-PAGE";
  auto r = runHost({"session"}, R"({"call":"AboutBox"})" "\n", options);
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(r.err.find("TALVEX_CODEPAGE: Unknown code page NO-SUCH-PAGE"), std::string::npos) << r.err;
  EXPECT_EQ(runHost({"session"}, "").err, "");  // the default page says nothing
}

}  // namespace
