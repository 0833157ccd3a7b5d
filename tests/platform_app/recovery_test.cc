// Unsaved work at host exit: what is saved, under which name, and what a failure leaves.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <stdexcept>

#include "platform/app/recovery.h"
#include "support/scratch.h"

namespace tlx::platform::app {
namespace {

namespace fs = std::filesystem;

struct Doc {
  bool open = true, saved = false;
};

class Recovery : public ::testing::Test {
 protected:
  // The recovery folder's files after a recovery, with their contents.
  std::map<std::string, std::string> recover(int expectSaved) {
    EXPECT_EQ(recoverUnsaved((dir / "rec").string(), log), expectSaved);
    std::map<std::string, std::string> files;
    if (fs::exists(dir / "rec"))
      for (auto& e : fs::directory_iterator(dir / "rec"))
        files[e.path().filename()] = tlxtest::readFile(e.path());
    return files;
  }
  tlxtest::ScratchDir scratch{"talvex-recovery"};
  const fs::path dir = scratch.path();
  std::ostringstream log;
};

RecoverySave writes(const std::string& text) {
  return [text](const std::string& path) {
    std::ofstream(path) << text;
    return true;
  };
}

TEST_F(Recovery, SavesWhatHasUnsavedWorkUnderFreeNamesAndSaysWhere) {
  fs::create_directories(dir / "rec");
  std::ofstream(dir / "rec" / "Book1.xlsx") << "earlier";
  listUnsaved("Book1", ".xlsx", writes("first"));
  listUnsaved("Book1", ".xlsx", writes("second"));
  listUnsaved("Book2", ".xlsx", [](const std::string&) { return false; });  // saved meanwhile
  listUnsaved("Book3", ".xlsx", [](const std::string& path) -> bool {
    std::ofstream(path) << "half";
    throw std::runtime_error("disk full");
  });
  unlistUnsaved(listUnsaved("Book4", ".xlsx", writes("closed")));
  auto doc = std::make_shared<Doc>(), closed = std::make_shared<Doc>(), kept = std::make_shared<Doc>();
  closed->open = false;
  kept->saved = true;
  auto save = [](const Doc&, const std::string& path) { std::ofstream(path) << "drawing"; };
  listForRecovery(doc, "/work/plan.dxf", ".dxf", save);
  listForRecovery(closed, "gone.dxf", ".dxf", save);
  listForRecovery(kept, "kept.dxf", ".dxf", save);

  EXPECT_EQ(recover(3), (std::map<std::string, std::string>{
                            {"Book1.xlsx", "earlier"}, {"Book1 (2).xlsx", "first"}, {"Book1 (3).xlsx", "second"}, {"plan.dxf", "drawing"}}));
  const std::string rec = (dir / "rec").string();
  EXPECT_EQ(log.str(), "talvex: unsaved Book1 saved to " + rec + "/Book1 (2).xlsx\n"
                       "talvex: unsaved Book1 saved to " + rec + "/Book1 (3).xlsx\n"
                       "talvex: unsaved Book3 could not be saved: disk full\n"
                       "talvex: unsaved plan saved to " + rec + "/plan.dxf\n");
  EXPECT_EQ(recover(0).size(), 4u);  // the list is empty afterwards
}

TEST_F(Recovery, NothingSavedLeavesNoFolder) {
  listUnsaved("Book1", ".xlsx", [](const std::string&) { return false; });
  listUnsaved("Book2", ".xlsx", [](const std::string&) -> bool { throw std::runtime_error("no"); });
  EXPECT_TRUE(recover(0).empty());
  EXPECT_FALSE(fs::exists(dir / "rec"));
  // A folder that cannot be made is said, not thrown.
  std::ofstream(dir / "file") << "x";
  listUnsaved("Book5", ".xlsx", writes("x"));
  EXPECT_EQ(recoverUnsaved((dir / "file" / "rec").string(), log), 0);
  EXPECT_NE(log.str().find("Book5 could not be saved"), std::string::npos) << log.str();
}

}  // namespace
}  // namespace tlx::platform::app
