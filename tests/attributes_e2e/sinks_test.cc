// The array and clipboard sinks at their edges: what is left in place when nothing is written,
// the private scratch file, and the clipboard of a desktop (under Xvfb) and of a session
// without one.
#include <gtest/gtest.h>

#include <filesystem>

#include "attribute_session.h"

namespace tlxtest {
namespace {

namespace fs = std::filesystem;

class Sinks : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directory(scratch);
    drawings("make " + shellQuote(drawing.string()) + " R2000");
  }
  // The block names, and one tag (or every tag: "*"), of the references in `space`.
  std::string writeTemplate(const std::string& name, const std::string& space, const std::string& tag,
                            bool suppress = false) {
    Query q;
    q.space = space, q.columns = {"BLOCK_NAME"}, q.tags = {tag}, q.suppress = suppress;
    return q.write(dir / name);
  }
  // The session with its temporary files in a folder of the test's own, and no desktop.
  SessionOptions options() {
    SessionOptions o;
    o.env = {{"TMPDIR", scratch.string()}, {"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}};
    return o;
  }
  ScratchDir folder{"talvex-sinks"};
  fs::path dir = folder.path(), scratch = dir / "tmp", drawing = dir / "Plan.dxf";
};

TEST_F(Sinks, TheArrayNeedsAnArrayAndKeepsItWhenNothingIsWritten) {
  auto answers = runSession(
      std::vector<std::string>{
          call("OpenDocument", {drawing.string()}).dump(),
          call("PrepTemplate", {writeTemplate("none.tpl", "NOWHERE", "NUMBER")}).dump(),
          R"({"let": "kept", "value": ["old"]})",
          call("AttributesToArray", {{{"var", "kept"}}, true}).dump(),  // 3: nothing selected
          R"({"let": "e", "value": {"empty": true}})",
          call("AttributesToArray", {{{"var", "e"}}}).dump(),  // 5: no array
          call("PrepTemplate", {writeTemplate("doors.tpl", "MODEL", "NUMBER", true)}).dump(),
          call("AttributesToArray", {{{"var", "kept"}}}).dump(),  // 7
          call("AttributesToClipboard", {true, "\t", true}).dump(),   // 8
          R"({"clipboard": true})",                                // 9
          call("PrepTemplate", {writeTemplate("none2.tpl", "NOWHERE", "NUMBER")}).dump(),
          call("AttributesToClipboard").dump(),  // 11: nothing selected: empty text
          R"({"clipboard": true})",              // 12
      },
      options());
  EXPECT_EQ(answers[3]["result"], 0);
  EXPECT_TRUE(answers[3]["vars"].empty()) << answers[3].dump();  // unchanged
  EXPECT_EQ(answers[5]["result"], -3);
  EXPECT_EQ(answers[7]["result"], 5) << answers[7].dump();  // D01 D02 D03 O-1 D|04
  json rows = answers[7]["vars"]["kept"]["array2d"];
  ASSERT_EQ(rows.size(), 5u) << answers[7].dump();
  EXPECT_EQ(rows[3], json({"OFFICE DOOR", "O-1"}));
  EXPECT_EQ(rows[4], json({"DOOR", "D|04"}));
  // Without a desktop the session clipboard holds the text; the answer reports it.
  EXPECT_EQ(answers[8]["result"], 5);
  std::string text = answers[8]["clipboard"].get<std::string>();
  EXPECT_EQ(text.substr(0, 29), "'BLOCK_NAME'\t'NUMBER'\r\n'DOOR'");
  EXPECT_EQ(answers[9]["result"], text);
  EXPECT_EQ(answers[11]["result"], 0);
  EXPECT_EQ(answers[11]["clipboard"], "");
  EXPECT_EQ(answers[12]["result"], "");
  // The scratch files were private and are gone.
  EXPECT_TRUE(fs::is_empty(scratch));
}

TEST_F(Sinks, TheDesktopClipboardKeepsTheTextAfterTheHostHasEnded) {
  if (std::system("command -v xvfb-run >/dev/null && command -v xclip >/dev/null") != 0)
    GTEST_SKIP() << "xvfb-run and xclip are installed by scripts/setup";
  std::string input = call("OpenDocument", {drawing.string()}).dump() + "\n" +
                      call("PrepTemplate", {writeTemplate("doors.tpl", "PAPER", "*")}).dump() + "\n" +
                      call("AttributesToClipboard", {false, ";"}).dump() + "\n";
  fs::path clip = dir / "clip.txt";
  SessionOptions o;
  o.binary = "/usr/bin/xvfb-run";
  // The host runs and ends; then another program reads the clipboard from the same display.
  ProcessResult r = runHost({"-a", "sh", "-c", "\"$0\" session && xclip -selection clipboard -o > \"$1\"",
                             TALVEX_BINARY, clip.string()},
                            input, o);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  auto answers = parseAnswers(r.out);
  ASSERT_EQ(answers.size(), 3u) << r.out;
  EXPECT_EQ(answers[2]["result"], 2) << answers[2].dump();
  EXPECT_FALSE(answers[2].contains("clipboard"));
  EXPECT_EQ(readFile(clip), "TITLEBLOCK;Harbour Office;A-101\r\nDOOR;P01;EI90\r\n");
}

}  // namespace
}  // namespace tlxtest
