// The host under faults, through the real binary: memory running out, values it cannot write,
// a file-size limit, second application instances, many hosts ending at once with one recovery
// folder, and symbolic links. Nothing is lost, nothing is left half-written, the session goes on.
#include <gtest/gtest.h>

#include <random>
#include <set>

#include "support/databases.h"
#include "support/talvex_session.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using tlxtest::ProcessResult;
using tlxtest::SessionOptions;

std::string repeat(const std::string& s, size_t n) {
  std::string out;
  out.reserve(s.size() * n);
  for (size_t i = 0; i < n; ++i) out += s;
  return out;
}

std::string lines(const std::vector<json>& requests) {
  std::string input;
  for (auto& r : requests) input += r.dump() + "\n";
  return input;
}

json call(const std::string& method, json args) { return json{{"call", method}, {"args", std::move(args)}}; }

// Runs a Python snippet with Debian's interpreter (openpyxl, python-docx, ezdxf); its output.
std::string python(const std::string& code, const std::string& args = "") {
  return tlxtest::shell("/usr/bin/python3 -c " + tlxtest::shellQuote(code) + " " + args);
}

std::string randomText(size_t n, unsigned seed) {
  std::mt19937 random(seed);
  std::string s(n, ' ');
  for (char& c : s) c = "abcdefghijklmnopqrstuvwxyz0123456789"[random() % 36];
  return s;
}

struct Folder : tlxtest::ScratchDir {
  Folder() : ScratchDir("talvex-faults") {}
  std::string at(const std::string& name) const { return file(name); }
  std::set<std::string> names() const {
    std::set<std::string> out;
    for (auto& e : fs::directory_iterator(path())) out.insert(e.path().filename().string());
    return out;
  }
};

// A SQLite database with a table `t` of `rows` rows (x, a 32-character h) and a table `old`
// holding the date 0001-01-01, reached as the DSN "lite".
struct Lite {
  explicit Lite(const Folder& folder, int rows = 10) {
    odbc.addSqlite("lite", folder.at("lite.db"));
    tlxtest::shell("sqlite3 " + folder.at("lite.db") + " " +
                   tlxtest::shellQuote("create table t as with recursive c(x) as (select 1 union all select x + 1 "
                                       "from c where x < " + std::to_string(rows) + ") select x, hex(randomblob(16)) h "
                                       "from c; create table old(d date); insert into old values ('0001-01-01');"));
  }
  tlxtest::OdbcConfig odbc;
};

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

TEST(Faults, RunningOutOfMemoryFailsTheRequestAndTheSessionGoesOn) {
  if (kSanitized) GTEST_SKIP() << "an address-space limit leaves the sanitizer no room";
  SessionOptions options;
  options.limits[RLIMIT_AS] = rlim_t(1) << 30;
  const std::string kept = R"({"let":"a","value":["kept"]})";
  // 5 million numbers (80 MB as values), kept without being echoed back.
  const std::string big = R"({"let":"big","echo":false,"value":[)" + repeat("0,", 5000000) + "0]}";
  const std::vector<std::string> hungry = {
      // 10 million empty arrays, each an array of its own: the line fits, its values do not.
      R"({"let":"a","value":[)" + repeat("[],", 10000000) + "[]]}",
      // A short line whose values are 40 copies of the big variable.
      R"({"let":"a","value":[)" + repeat(R"({"var":"big"},)", 39) + R"({"var":"big"}]})",
  };
  std::string input = kept + "\n" + big + "\n";
  for (size_t i = 0; i < hungry.size(); ++i)
    input += hungry[i] + "\n" + json{{"let", "b" + std::to_string(i)}, {"value", {{"var", "a"}}}}.dump() + "\n";
  ProcessResult r = tlxtest::runHost({"session"}, input, options);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  auto a = tlxtest::parseAnswers(r.out);
  ASSERT_EQ(a.size(), 2 + 2 * hungry.size()) << r.err;
  EXPECT_EQ(a[1]["changed"], json::array({"big"}));
  for (size_t i = 0; i < hungry.size(); ++i) {
    SCOPED_TRACE(i);
    const json& failed = a[2 + 2 * i];
    EXPECT_EQ(failed["ok"], false);
    EXPECT_EQ(failed["error"]["description"], "Out of memory") << failed.dump().substr(0, 300);
    EXPECT_EQ(a[3 + 2 * i]["vars"]["b" + std::to_string(i)], json::array({"kept"})) << "the variable is as it was";
  }
}

TEST(Faults, AValueTheHostCannotWriteFailsItsRequestOnly) {
  Folder folder;
  Lite lite(folder);
  // A cell formatted as a date whose number lies past the year 9999.
  const std::string book = folder.at("far.xlsx");
  python("import openpyxl,sys; wb=openpyxl.Workbook(); c=wb.active['A1']; c.value=3000000; "
         "c.number_format='yyyy-mm-dd'; wb.save(sys.argv[1])", book);
  SessionOptions options;
  options.env = lite.odbc.env();
  auto a = tlxtest::runSession(
      std::vector<json>{
          {{"create", "Excel.Application"}, {"as", "xl"}},
          {{"on", "xl"}, {"get", "Workbooks"}, {"as", "books"}},
          {{"on", "books"}, {"call", "Open"}, {"args", {book}}},
          {{"on", "xl"}, {"get", "ActiveSheet"}, {"as", "sheet"}},
          {{"on", "sheet"}, {"get", "Range"}, {"args", {"A1"}}, {"as", "cell"}},
          {{"let", "v"}, {"value", "before"}},
          {{"on", "cell"}, {"get", "Value"}, {"as", "v"}},
          {{"let", "w"}, {"value", {{"var", "v"}}}},
          call("DatabaseTableToArray", {"lite", "select d from old", {{"var", "v"}}}),
          call("AboutBox", json::array()),
      },
      options);
  ASSERT_EQ(a.size(), 10u);
  EXPECT_EQ(a[6]["ok"], false);
  EXPECT_NE(a[6]["error"]["description"].get<std::string>().find("Overflow"), std::string::npos) << a[6];
  EXPECT_EQ(a[7]["vars"]["w"], "before") << "the variable is as it was";
  // A date out of range read from a database: a failure code, or an answer refused.
  EXPECT_TRUE(a[8]["ok"] == false || a[8]["result"].get<int>() < 0) << a[8];
  EXPECT_EQ(a[9]["ok"], true);
}

// A 1 MB file-size limit while five writers replace a file and the text writer makes one: each
// fails through its own failure path, and the old files stay whole.
TEST(Faults, AFileSizeLimitFailsTheWriteAndKeepsTheOldFile) {
  Folder folder;
  Lite lite(folder, 100000);  // 4 MB of text
  const std::string big = randomText(3 << 20, 1);
  std::ofstream(folder.at("big.txt")) << big;
  python("import ezdxf,sys; d=ezdxf.new(); m=d.modelspace()\nfor i in range(30000): m.add_line((i,0),(i,1))\n"
         "d.saveas(sys.argv[1])",
         folder.at("big.dxf"));
  python("import openpyxl,docx,ezdxf,sys; openpyxl.Workbook().save(sys.argv[1]); docx.Document().save(sys.argv[2]); "
         "ezdxf.new().saveas(sys.argv[3])",
         folder.at("old.xlsx") + " " + folder.at("old.docx") + " " + folder.at("old.dxf"));
  std::ofstream(folder.at("old.pdf")) << "%PDF-1.2 old";
  std::ofstream(folder.at("old.txt")) << "old";
  std::map<std::string, std::string> before;
  for (const char* name : {"old.xlsx", "old.docx", "old.dxf", "old.pdf", "old.txt"}) before[name] = tlxtest::readFile(folder.at(name));
  json rows = json::array();
  for (int i = 0; i < 30000; ++i) rows.push_back({randomText(40, i), randomText(40, i + 1)});

  SessionOptions options;
  options.env = lite.odbc.env();
  options.env["TALVEX_RECOVERY_DIR"] = folder.at("recovered");
  options.limits[RLIMIT_FSIZE] = 1 << 20;
  ProcessResult r = tlxtest::runHost(
      {"session"},
      lines({call("TwoDArrayToExcel", {{{"array2d", rows}}, folder.at("old.xlsx"), 1, 1, 1}),
             {{"getobject", "Excel.Application"}, {"as", "xl"}},
             {{"on", "xl"}, {"get", "ActiveWorkbook"}, {"as", "wb"}},
             {{"on", "wb"}, {"call", "Save"}},
             call("TextToWord", {big, folder.at("old.docx"), true, false}),
             call("OpenDocument", {folder.at("big.dxf")}),
             call("SaveDocument", {folder.at("old.dxf")}),
             call("CreatePDFFromFile", {folder.at("big.txt"), folder.at("old.pdf")}),
             call("DatabaseTableToTextFile", {"lite", "select * from t", folder.at("old.txt")}),
             call("TwoDArrayToTextFile", {{{"array2d", rows}}, folder.at("new.txt")})}),
      options);
  ASSERT_EQ(r.exitCode, 0) << "the host outlives the limit: " << r.err;
  auto a = tlxtest::parseAnswers(r.out);
  ASSERT_EQ(a.size(), 10u);
  EXPECT_EQ(a[0]["result"], 1);
  EXPECT_EQ(a[3]["ok"], false) << "Save: " << a[3];
  for (size_t i : {4, 6, 7, 8, 9}) EXPECT_LT(a[i]["result"].get<int>(), 0) << i << ": " << a[i];
  for (auto& [name, content] : before) EXPECT_EQ(tlxtest::readFile(folder.at(name)), content) << name;
  // The writers' temporary files are gone; the workbook's recovery at exit failed the same way.
  const std::set<std::string> made = {"big.txt", "big.dxf", "lite.db", "new.txt", "old.xlsx",
                                      "old.docx", "old.dxf", "old.pdf", "old.txt"};
  EXPECT_EQ(folder.names(), made);
  EXPECT_NE(r.err.find("unsaved old could not be saved"), std::string::npos) << r.err;
}

TEST(Faults, EveryApplicationInstanceKeepsItsUnsavedWork) {
  struct Case {
    const char* name;
    std::vector<json> requests;
    const char* check;  // Python over the recovered files (sys.argv[1:]); prints what they hold
    const char* holds;
  };
  Folder folder;
  const std::string dxf = folder.at("one.dxf"), book = folder.at("first.xlsx");
  python("import ezdxf,openpyxl,sys; d=ezdxf.new(); d.modelspace().add_circle((0,0),1); d.saveas(sys.argv[1]); "
         "openpyxl.Workbook().save(sys.argv[2])",
         dxf + " " + book);
  const json cells = {{"array2d", json::array({json::array({"first", 1})})}};
  const std::vector<Case> cases = {
      {"workbook then DXFToExcel",
       {call("TwoDArrayToExcel", {cells, book, 1, 1, 1}), call("DXFToExcel", {dxf})},
       "import openpyxl,sys\nfor f in sorted(sys.argv[1:]): print(sorted({v for ws in openpyxl.load_workbook(f) "
       "for row in ws.iter_rows(values_only=True) for v in row if v in ('first', 'CIRCLE')}))",
       "['CIRCLE']\n['first']\n"},
      {"workbook then a new spreadsheet application",
       {call("TwoDArrayToExcel", {cells, book, 1, 1, 1}), {{"create", "Excel.Application"}}},
       "import openpyxl,sys\nfor f in sys.argv[1:]: print(openpyxl.load_workbook(f).active['A1'].value)", "first\n"},
      {"document then a new word processor",
       {call("TextToWord", {"keep me"}), {{"create", "Word.Application"}}},
       "import docx,sys\nfor f in sys.argv[1:]: print(next(p.text for p in docx.Document(f).paragraphs if p.text))", "keep me\n"},
      {"drawing then a new drawing application",
       {call("OpenDocument", {dxf}), call("CreateLine", {0, false, false, 0, 0, 0, 10, 5, 0}),
        {{"create", "AutoCAD.Application"}}},
       "import ezdxf,sys\nfor f in sys.argv[1:]: print(sorted(e.dxftype() for e in ezdxf.readfile(f).modelspace()))",
       "['CIRCLE', 'LINE']\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path recovered = folder.path() / c.name;
    SessionOptions options;
    options.env["TALVEX_RECOVERY_DIR"] = recovered.string();
    ProcessResult r = tlxtest::runHost({"session"}, lines(c.requests), options);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    for (auto& a : tlxtest::parseAnswers(r.out)) EXPECT_EQ(a["ok"], true) << a;
    std::string files;
    for (auto& e : fs::directory_iterator(recovered)) {
      files += " " + tlxtest::shellQuote(e.path().string());
      EXPECT_NE(r.err.find("saved to " + e.path().string()), std::string::npos) << r.err;
    }
    EXPECT_EQ(python(c.check, files), c.holds) << r.err;
  }
}

// Twenty hosts with one recovery folder, ended at the same moment once each holds a document.
TEST(Faults, HostsEndingAtOnceEachRecoverIntoAFileOfTheirOwn) {
  Folder folder;
  const std::string texts = python(R"(import docx, json, os, subprocess, sys
env = dict(os.environ, TALVEX_RECOVERY_DIR=sys.argv[2])
hosts = [subprocess.Popen([sys.argv[1], "session"], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                          stderr=subprocess.PIPE, text=True, env=env) for _ in range(20)]
for i, h in enumerate(hosts):
    h.stdin.write(json.dumps({"call": "TextToWord", "args": [f"host {i}"]}) + "\n")
    h.stdin.flush()
assert all(json.loads(h.stdout.readline())["ok"] for h in hosts)
for h in hosts:
    h.stdin.close()
for h in hosts:
    err = h.stderr.read()
    h.wait()
    saved = err[err.index("saved to ") + 9:].split("\n")[0]
    print(next(p.text for p in docx.Document(saved).paragraphs if p.text))
)", tlxtest::shellQuote(TALVEX_BINARY) + " " + tlxtest::shellQuote(folder.at("recovered")));
  std::string expected;
  for (int i = 0; i < 20; ++i) expected += "host " + std::to_string(i) + "\n";
  EXPECT_EQ(texts, expected);
  EXPECT_EQ(folder.names().size(), 1u);
  EXPECT_EQ(std::distance(fs::directory_iterator(folder.at("recovered")), {}), 20);
}

// Every writer writes through a symbolic link to the file it names, and makes that file when
// the link dangles: the link stays a link.
TEST(Faults, WritersWriteThroughSymbolicLinks) {
  Folder folder;
  Lite lite(folder);
  std::ofstream(folder.at("in.txt")) << "some text";
  python("import openpyxl,docx,ezdxf,sys; openpyxl.Workbook().save(sys.argv[1]); docx.Document().save(sys.argv[2]); "
         "ezdxf.new().saveas(sys.argv[3])",
         folder.at("book.xlsx") + " " + folder.at("doc.docx") + " " + folder.at("one.dxf"));
  const json cells = {{"array2d", json::array({json::array({"through", 1})})}};
  struct Case {
    const char* file;
    bool exists;  // the link's target is there before the write
    std::vector<json> requests;
  };
  auto target = [&](const char* name) { return folder.at(std::string("target-") + name); };
  auto link = [&](const char* name) { return folder.at(std::string("link-") + name); };
  const std::vector<Case> cases = {
      {"a.txt", false, {call("TwoDArrayToTextFile", {cells, link("a.txt")})}},
      {"b.txt", true, {call("DatabaseTableToTextFile", {"lite", "select * from t", link("b.txt")})}},
      {"c.txt", false, {call("DatabaseTableToTextFile", {"lite", "select * from t", link("c.txt")})}},
      {"d.pdf", true, {call("CreatePDFFromFile", {folder.at("in.txt"), link("d.pdf")})}},
      {"e.pdf", false, {call("CreatePDFFromFile", {folder.at("in.txt"), link("e.pdf")})}},
      {"f.dxf", false, {call("OpenDocument", {folder.at("one.dxf")}), call("SaveDocument", {link("f.dxf")})}},
      {"g.xlsx",
       true,
       {call("TwoDArrayToExcel", {cells, link("g.xlsx"), 1, 1, 1}), {{"getobject", "Excel.Application"}, {"as", "xl"}},
        {{"on", "xl"}, {"get", "ActiveWorkbook"}, {"as", "wb"}}, {{"on", "wb"}, {"call", "Save"}}}},
      {"h.xlsx",
       false,
       {{{"create", "Excel.Application"}, {"as", "xl"}}, {{"on", "xl"}, {"get", "Workbooks"}, {"as", "wbs"}},
        {{"on", "wbs"}, {"call", "Add"}, {"as", "wb"}}, {{"on", "wb"}, {"call", "SaveAs"}, {"args", {link("h.xlsx")}}}}},
      {"i.docx", true, {call("TextToWord", {"through", link("i.docx"), true, true})}},
  };
  for (const Case& c : cases) {
    if (c.exists) fs::copy_file(folder.at(fs::path(c.file).extension() == ".docx" ? "doc.docx"
                                          : fs::path(c.file).extension() == ".xlsx" ? "book.xlsx"
                                                                                     : "in.txt"),
                                target(c.file));
    fs::create_symlink(fs::path(target(c.file)).filename(), link(c.file));  // relative, as users make them
  }
  std::vector<json> requests;
  for (const Case& c : cases) requests.insert(requests.end(), c.requests.begin(), c.requests.end());
  SessionOptions options;
  options.env = lite.odbc.env();
  auto a = tlxtest::runSession(requests, options);
  ASSERT_EQ(a.size(), requests.size());
  for (auto& answer : a) {
    const json result = answer.value("result", json(1));
    EXPECT_TRUE(answer["ok"] == true && !(result.is_number() && result < 0)) << answer;
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    EXPECT_TRUE(fs::is_symlink(link(c.file)));
    EXPECT_TRUE(fs::is_regular_file(target(c.file)));
    EXPECT_NE(tlxtest::readFile(target(c.file)), c.exists ? tlxtest::readFile(folder.at("in.txt")) : "");
  }
  EXPECT_EQ(python("import openpyxl,docx,sys; print(openpyxl.load_workbook(sys.argv[1]).active['A1'].value, "
                   "openpyxl.load_workbook(sys.argv[2]).active['A1'].value is None, "
                   "'through' in [p.text for p in docx.Document(sys.argv[3]).paragraphs])",
                   target("g.xlsx") + " " + target("h.xlsx") + " " + target("i.docx")),
            "through True True\n");
  EXPECT_EQ(folder.names().size(), 5 + 2 * cases.size()) << "no file beside the links";
}

}  // namespace
