// The typed facade written from the type library: declared types in and out, by-reference
// variables written back, optional parameters left out, failures as ComError.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <type_traits>

#include <fmt/format.h>
#include <talvex/control.h>

#include "automation/collection.h"
#include "automation/strings.h"
#include "control/type_library.h"
#include "support/scratch.h"

namespace {

using namespace tlx;
namespace fs = std::filesystem;

class RecordingSite : public HostSite {
 public:
  void messageBox(const BStr& text) override { messages.push_back(u8(text.view())); }
  std::vector<std::string> messages;
};

// Results have the declared types.
static_assert(std::is_same_v<decltype(std::declval<Control&>().ZoomAll()), int16_t>);
static_assert(std::is_same_v<decltype(std::declval<Control&>().CreateLine()), ObjRef>);
static_assert(std::is_same_v<decltype(std::declval<Control&>().AboutBox()), void>);
static_assert(std::is_same_v<typelib::SortOrderType, std::remove_cvref_t<decltype(typelib::tlxDescending)>>);
// An enumeration parameter takes its constants, not bare numbers.
static_assert(!std::is_invocable_v<decltype(&Control::Regenerate), Control&, int>);

class Facade : public ::testing::Test {
 protected:
  tlxtest::ScratchDir scratch_{"talvex-facade"};
  const fs::path dir_ = scratch_.path();
  BStr file(const std::string& name, const std::string& content) {
    std::ofstream(dir_ / name, std::ios::binary) << content;
    return u16((dir_ / name).string());
  }

  RecordingSite site_;
  Control c_{site_};
};

TEST_F(Facade, ByReferenceVariablesReceiveWhatTheMethodLeaves) {
  Variant grid = Variant::unallocatedArray();  // as Dim grid() declares it
  ASSERT_EQ(c_.TextFileToArray(file("f.csv", "x,1\r\ny,2\r\n"), grid), 1);
  ASSERT_TRUE(grid.isArray());
  EXPECT_EQ(grid.array()->dims(), 2);
  EXPECT_EQ(grid.array()->at(1, 1), Variant(u"2"));
  EXPECT_LT(c_.TextFileToArray(u"/nonexistent/f.csv", grid), 1);
  Variant whole = Variant::unallocatedArray();
  ASSERT_EQ(c_.TextFileToArray(file("g.csv", "a,b\r\n"), whole, u";"), 1) << "an optional by-value string";
  EXPECT_EQ(whole.array()->at(0, 0), Variant(u"a,b"));

  BStr text, endOfRow;
  ASSERT_EQ(c_.TwoDArrayToText(grid, text, u"|", endOfRow), 1);
  EXPECT_EQ(text.view(), u"x|1\r\ny|2\r\n");
  EXPECT_EQ(endOfRow.view(), u"\r\n") << "the default replaced the blank variable";
  const BStr fixed = u";";
  ASSERT_EQ(c_.TwoDArrayToText(grid, text, fixed, u"#"), 1) << "values and constants pass as well";
  EXPECT_EQ(text.view(), u"x;1#y;2#");
}

TEST_F(Facade, EnumerationsObjectsAndOmittedOptionals) {
  Variant items = Variant::unallocatedArray();
  ASSERT_EQ(c_.MultiLineTextToOneDArray(u"b,c,a", items), 1);
  ASSERT_EQ(c_.SortOneDArray(items, typelib::tlxDescending), 1);
  EXPECT_EQ(items.array()->at(0), Variant(u"c"));
  ASSERT_EQ(c_.SortOneDArray(items), 1) << "the order left out";
  EXPECT_EQ(items.array()->at(0), Variant(u"a"));

  ObjRef dict = newDictionary();
  Variant pairs = Variant::unallocatedArray();
  ASSERT_EQ(c_.TextFileToArray(file("d.csv", "k1,v1\r\nk2,v2\r\n"), pairs), 1);
  ASSERT_EQ(c_.TwoDArrayToDictionary(pairs, dict), 1);
  EXPECT_EQ(getProperty(dict, "Count"), Variant(int32_t{2}));
  Variant back = Variant::unallocatedArray();
  ASSERT_EQ(c_.DictionaryToArray(dict, back, true), 1);
  EXPECT_EQ(back.array()->dims(), 2);
}

TEST_F(Facade, FailuresRaiseAsTheControlRaisesThem) {
  try {
    c_.CreateLine();
    FAIL() << "no drawing application is attached";
  } catch (const ComError& e) {
    EXPECT_EQ(e.number(), -2147220270);
    EXPECT_EQ(e.description(), "AutoCAD is not active.");
  }
  c_.AboutBox();
  EXPECT_EQ(site_.messages.size(), 1u);
}

TEST(FacadeHeader, EveryMethodOfTheTypeLibraryIsThere) {
  const fs::path header = fs::path(TALVEX_BINARY).parent_path() / "generated/talvex/control.h";
  std::ifstream in(header);
  ASSERT_TRUE(in) << header;
  std::stringstream text;
  text << in.rdbuf();
  for (const MethodInfo& m : typeLibrary()) {
    std::string comment = "  // " + m.signature() + "\n";
    if (!m.statusCodes.empty()) comment += "  // Status codes:\n";
    for (const StatusCode& c : m.statusCodes) comment += fmt::format("  //   {:>2} {}\n", c.code, c.meaning);
    EXPECT_NE(text.str().find(comment + "  "), std::string::npos) << m.name;
  }
  EXPECT_NE(text.str().find("  //   -1 the file cannot be opened for reading\n"), std::string::npos);
}

}  // namespace
