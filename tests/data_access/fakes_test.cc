// The four methods against fake data-access objects that fail on a chosen member: which code
// each failure gives, what is closed on the way out, and the calls made in their order.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "talvex/convert.h"
#include "talvex/registry.h"
#include "automation/strings.h"
#include "automation/test_objects.h"
#include "data/data.h"
#include "platform/registry/components.h"
#include "support/databases.h"

using namespace tlx;

namespace {

// What the fakes were asked, and which member fails on which of its calls (0 = the first).
struct Script {
  std::vector<std::string> log;
  std::string failOn;
  int failAt = 0;  // negative: every call
  std::map<std::string, int> calls;
  std::vector<std::vector<Variant>> rows = {{Variant(int32_t(1)), Variant(u"a")}, {Variant(int32_t(2)), Variant(u"b")}};

  void note(const std::string& what, std::string_view member) {
    log.push_back(what);
    const int call = calls[std::string(member)]++;
    if (!failOn.empty() && member == failOn && (call == failAt || failAt < 0)) throw ComError(hr::E_FAIL, "fake failure");
  }
};

std::string shown(DispParams& p) {
  std::string out;
  for (Variant* v : p.positional) {
    if (!out.empty()) out += ",";
    out += v->isObject() ? "obj" : u8(toBStr(*v));
  }
  return out;
}

// A data-access object of the fakes: notes each call as PREFIX.Member(args) or PREFIX.Member=value,
// then answers as `answer` says.
class Fake : public Dispatch {
 public:
  using Answer = std::function<Variant(const std::string& member, DispParams& p)>;
  Fake(Script& s, std::string prefix, Answer answer) : s_(s), prefix_(std::move(prefix)), answer_(std::move(answer)) {}
  Variant invoke(std::string_view member, InvokeKind kind, DispParams& p) override {
    const bool put = kind == InvokeKind::PropertyPut;
    s_.note(prefix_ + std::string(member) + (put ? "=" + shown(p) : "(" + shown(p) + ")"), member);
    return answer_(std::string(member), p);
  }

 private:
  Script& s_;
  std::string prefix_;
  Answer answer_;
};

// A recordset over the script's rows; its fields read the row it stands on.
ObjRef fakeRecordset(Script& s) {
  auto at = std::make_shared<size_t>(0);
  return makeRef<Fake>(s, "rs.", [&s, at](const std::string& m, DispParams& p) {
    if (m == "RecordCount") return Variant(static_cast<int32_t>(s.rows.size()));
    if (m == "Fields")
      return Variant(ObjRef(makeRef<Fake>(s, "fields.", [](auto&, auto&) { return Variant(int16_t(2)); })));
    if (m.empty()) {
      const size_t j = static_cast<size_t>(toI4(*p.positional[0]));
      return Variant(ObjRef(makeRef<Fake>(s, "field.", [&s, at, j](const std::string& member, DispParams&) {
        return member == "Name" ? Variant(("f" + std::to_string(j)).c_str()) : s.rows.at(*at).at(j);
      })));
    }
    if (m == "EOF") return Variant(*at >= s.rows.size());
    if (m == "MoveNext") ++*at;
    if (m == "MoveFirst") *at = 0;
    return Variant();
  });
}

class Fakes : public ::testing::Test {
 protected:
  void SetUp() override {
    registerClass("ADODB.Connection",
                  [this] { return ObjRef(makeRef<Fake>(script, "conn.", [](auto&, auto&) { return Variant(); })); });
    registerClass("ADODB.Recordset", [this] { return fakeRecordset(script); });
  }
  void TearDown() override {
    unregisterClass("ADODB.Connection");
    unregisterClass("ADODB.Recordset");
  }
  int16_t toArray() { return DatabaseTableToArray(u"dsn", u"SELECT 1", array, u"me", u"pw", true); }
  int16_t toFile() { return DatabaseTableToTextFile(u"dsn", u"SELECT 1", file(), u"me", u"pw", true, u",", false); }
  BStr file() const { return u16((dir / "out.txt").string()); }
  // A fresh script whose `member` fails on its call `at`.
  void failOn(const std::string& member, int at = 0) {
    script = Script{};
    script.failOn = member, script.failAt = at;
  }
  bool closedBoth() const {
    auto has = [&](const std::string& s) { return std::find(script.log.begin(), script.log.end(), s) != script.log.end(); };
    return has("rs.Close()") && has("conn.Close()");
  }

  Script script;
  Variant array = Variant(SafeArray::vector(0));
  tlxtest::ScratchDir scratch{"talvex-fakes"};
  const std::filesystem::path dir = scratch.path();
};

TEST_F(Fakes, EachFailureHasItsCodeAndClosesWhatWasOpened) {
  EXPECT_EQ(toArray(), 1);
  EXPECT_EQ(script.log.back(), "conn.Close()");
  EXPECT_EQ(array.arrayRef().at(2, 1), Variant(u"b"));
  struct Case {
    std::string member;
    int at;
    int16_t arrayCode, fileCode;
  };
  for (const Case& c : {Case{"Open", 0, -2, -1}, Case{"Open", 1, -3, -2}, Case{"MoveNext", 1, -4, -3},
                        Case{"Value", 3, -4, -3}, Case{"Close", 0, -4, -3}}) {
    SCOPED_TRACE(c.member + " " + std::to_string(c.at));
    failOn(c.member, c.at);
    EXPECT_EQ(toArray(), c.arrayCode);
    if (c.arrayCode == -4) EXPECT_TRUE(closedBoth());
    if (c.arrayCode == -3) EXPECT_EQ(script.log.back(), "conn.Close()");
    failOn(c.member, c.at);
    EXPECT_EQ(toFile(), c.fileCode);
    if (c.fileCode == -3) EXPECT_TRUE(closedBoth());
    EXPECT_FALSE(std::filesystem::exists(dir / "out.txt"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 0);
  }
}

TEST_F(Fakes, TheHostsRecordsetIsRepositionedAndItsErrorReachesTheCaller) {
  ObjRef rs = fakeRecordset(script);
  failOn("MoveNext");
  EXPECT_EQ(RecordsetToArray(rs, array, false), -2);
  EXPECT_EQ(script.log.back(), "rs.MoveFirst()");
  failOn("MoveNext");
  EXPECT_EQ(RecordsetToTextFile(rs, file(), false, u",", false), -1);
  EXPECT_EQ(script.log.back(), "rs.MoveFirst()");
  // The success path's last MoveFirst failing goes to the trap, whose own MoveFirst is not caught.
  failOn("MoveFirst", 1);
  EXPECT_EQ(RecordsetToArray(rs, array, false), -2);
  failOn("MoveFirst", -1);
  EXPECT_EQ(errorOf([&] { RecordsetToArray(rs, array, false); }), hr::E_FAIL);
  EXPECT_EQ(errorOf([&] { RecordsetToTextFile(rs, file(), false, u",", false); }), hr::E_FAIL);
  EXPECT_FALSE(std::filesystem::exists(dir / "out.txt"));
}

TEST(ConnectionString, OrdinaryPartsGoInUnchangedAndOthersAreBraced) {
  EXPECT_EQ(odbcConnectionString(u"db", u"", u""), u"DSN=db;UID=;PWD=;");
  EXPECT_EQ(odbcConnectionString(u"my db", u"ann", u"se cret="), u"DSN=my db;UID=ann;PWD=se cret=;");
  EXPECT_EQ(odbcConnectionString(u"db", u"ann", u"a;b}c{"), u"DSN=db;UID=ann;PWD={a;b}}c{};");
}

}  // namespace
