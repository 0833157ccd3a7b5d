// The command line as a shell user meets it: usage errors that say what was wrong, exit statuses
// that tell a failed call from a done one, the version, and the progress line of a long call.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <fstream>
#include <thread>

#include "control/talvex.h"
#include "progress.h"
#include "support/talvex_session.h"

namespace {

using tlxtest::runHost;
using namespace std::chrono_literals;

TEST(CommandLine, UsageErrorsSayWhatWasWrong) {
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{}, "talvex: no command given"},
      {{"bogus"}, "talvex: unknown command 'bogus'"},
      {{"session", "--max-depth", "5001"}, "talvex session: --max-depth 5001: at most 5000"},
      {{"session", "--max-depth", "0"}, "talvex session: --max-depth 0: at least 1"},
      {{"session", "--max-depth", "x"}, "talvex session: --max-depth x: not a whole number"},
      {{"session", "--max-line", "-5"}, "talvex session: --max-line -5: at least 1"},
      {{"session", "--trace"}, "talvex session: --trace needs a value"},
      {{"session", "--frobnicate", "1"}, "talvex session: unknown option '--frobnicate'"},
      {{"call"}, "talvex call: no METHOD given"},
      {{"call", "--loud", "AboutBox"}, "talvex call: unknown option '--loud'"},
      {{"methods", "--jsn"}, "talvex methods: unknown option '--jsn'"},
      {{"methods", "Zoom", "extra"}, "talvex methods: unexpected 'extra'"},
  };
  for (const auto& [args, message] : cases) {
    auto r = runHost(args, "");
    EXPECT_EQ(r.exitCode, 2) << message;
    EXPECT_EQ(r.err.rfind(message + "\nusage: talvex session ", 0), 0u) << r.err;
    EXPECT_EQ(r.out, "");
  }
}

// 0 done, 1 an error raised (or no such method), 3 a failure code, with what failed on stderr; the
// answer is printed whatever the status, a by-reference argument's value in its "vars".
TEST(CommandLine, CallExitStatusSaysHowTheCallEnded) {
  const struct {
    std::vector<std::string> args;
    int status;
    std::string err, out;
  } cases[] = {
      {{"call", "MultiLineTextToOneDArray", "x,y", R"({"array":null})"}, 0, "",
       R"({"ok":true,"result":1,"vars":{"arg2":["x","y"]},"messages":[]})"},
      {{"call", "--quiet", "AboutBox"}, 0, "",
       R"({"ok":true,"result":{"empty":true},"vars":{},"messages":["TALVEX\nVersion 0.1"]})"},
      {{"call", "TextFileToArray", "/no/such.csv", R"({"array":null})"}, 3,
       "talvex: TextFileToArray returned -1: the file cannot be opened for reading\n",
       R"({"ok":true,"result":-1,"vars":{},"messages":[]})"},
      {{"call", "MultiLineTextToOneDArray", "x,y", "undeclared"}, 3,
       "talvex: MultiLineTextToOneDArray returned -1: varArray holds no array\n",
       R"({"ok":true,"result":-1,"vars":{},"messages":[]})"},
      {{"call", "DocumentCount"}, 3, "talvex: DocumentCount returned -1: no AutoCAD instance attached\n",
       R"({"ok":true,"result":{"i4":-1},"vars":{},"messages":[]})"},
      {{"call", "CreateCircle", "1"}, 1, "talvex: CreateCircle failed: AutoCAD is not active. (error -2147220270)\n",
       R"({"ok":false,"error":{"number":-2147220270,"description":"AutoCAD is not active."},"vars":{},"messages":[]})"},
      {{"call", "Frobnicate"}, 1, "talvex: Frobnicate failed: Unknown name: Frobnicate (error -2147352570)\n",
       R"({"ok":false,"error":{"number":-2147352570,"description":"Unknown name: Frobnicate"},"vars":{},"messages":[]})"},
      // An argument past the nesting limit is refused before the call, by its answer alone.
      {{"call", "AboutBox", std::string(60000, '[') + std::string(60000, ']')}, 1, "",
       R"({"ok":false,"error":{"number":-2147024809,"description":"Malformed request: arg1 nests deeper than 1000 )"
       R"(levels"},"vars":{},"messages":[]})"},
  };
  for (const auto& c : cases) {
    auto r = runHost(c.args, "");
    EXPECT_EQ(r.exitCode, c.status) << c.args[1];
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(r.out, c.out + "\n");
  }
}

TEST(CommandLine, VersionIsTheControlsVersion) {
  const std::string version =
      "talvex " + std::to_string(tlx::TALVEX::kVersionMajor) + "." + std::to_string(tlx::TALVEX::kVersionMinor) + "\n";
  for (const char* flag : {"--version", "version"}) EXPECT_EQ(runHost({flag}, "").out, version) << flag;
}

TEST(Progress, TextOfAmountsAndTime) {
  EXPECT_EQ(tlx::host::progressText(0, 999, 0ms), "read 0 B, written 999 B, 0.0 s");
  EXPECT_EQ(tlx::host::progressText(1500, 2'000'000, 3260ms), "read 1.5 kB, written 2.0 MB, 3.3 s");
  EXPECT_EQ(tlx::host::progressText(999'960, 7'500'000'000, 61000ms), "read 1.0 MB, written 7.5 GB, 61.0 s");
}

// Everything the terminal received until the writer side closes.
std::string drain(int master) {
  std::string got;
  char buffer[4096];
  for (ssize_t n; (n = read(master, buffer, sizeof buffer)) > 0;) got.append(buffer, size_t(n));
  return got;
}

// Reads the terminal into `got` until `text` appears in it; false when ten seconds pass without
// it. Waiting for what is drawn, not for a time, keeps a loaded machine from failing the test.
bool readUntil(int master, std::string& got, const std::string& text) {
  char buffer[4096];
  pollfd ready{master, POLLIN, 0};
  while (got.find(text) == std::string::npos) {
    ssize_t n = 0;
    if (poll(&ready, 1, 10'000) <= 0 || (n = read(master, buffer, sizeof buffer)) <= 0) return false;
    got.append(buffer, size_t(n));
  }
  return true;
}

TEST(Progress, OnATerminalOnlyAndClearedAtTheEnd) {
  int master = -1, terminal = -1;
  ASSERT_EQ(openpty(&master, &terminal, nullptr, nullptr, nullptr), 0);
  const std::string file = ::testing::TempDir() + "progress.bin";
  std::ofstream(file) << std::string(3'000'000, 'x');
  std::string shown;
  {
    tlx::host::Progress progress(terminal, 0ms, 10ms);
    std::ifstream in(file, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), {});
    ASSERT_TRUE(readUntil(master, shown, "\rread 3.0 MB, written ")) << shown;
    {
      tlx::host::Progress::Pause prompt;  // the line gives way, and nothing is drawn meanwhile
      std::this_thread::sleep_for(50ms);
    }
    EXPECT_TRUE(readUntil(master, shown, "\x1b[K\r\x1b[K\rread")) << "cleared for the prompt, drawn after";
  }
  close(terminal);
  shown += drain(master);
  close(master);
  EXPECT_EQ(shown.substr(shown.size() - 4), "\r\x1b[K") << "cleared at the end";

  int pipeEnds[2];
  ASSERT_EQ(pipe(pipeEnds), 0);
  { tlx::host::Progress quiet(pipeEnds[1], 0ms, 10ms); std::this_thread::sleep_for(50ms); }
  close(pipeEnds[1]);
  EXPECT_EQ(drain(pipeEnds[0]), "") << "not a terminal";
  close(pipeEnds[0]);
  std::remove(file.c_str());
}

// The host with its standard error on a terminal: a quick call leaves it untouched.
TEST(Progress, AQuickCallShowsNothing) {
  int master = -1;
  const pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    execl(TALVEX_BINARY, TALVEX_BINARY, "call", "MultiLineTextToOneDArray", "a", R"({"array":null})", nullptr);
    _exit(127);
  }
  const std::string shown = drain(master);
  int status = 0;
  waitpid(pid, &status, 0);
  close(master);
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(shown, "");
}

}  // namespace
