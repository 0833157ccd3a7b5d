// The word export methods through the real host, checked by python-docx and LibreOffice.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "support/talvex_session.h"

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

// A 2-D array argument from its rows written as JSON.
json array2d(const std::string& rows) { return json{{"array2d", json::parse(rows)}}; }

const std::string kProbe = std::string(TALVEX_SOURCE_DIR) + "/tests/wordproc/docx_probe.py";

std::string run(const std::string& command) {
  std::string out;
  FILE* p = popen(command.c_str(), "r");
  if (!p) return out;
  char buf[4096];
  while (size_t n = fread(buf, 1, sizeof buf, p)) out.append(buf, n);
  pclose(p);
  return out;
}

class WordExport : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/talvex-word-XXXXXX";
    dir = mkdtemp(tmpl);
    options.workDir = dir;
    options.env["TALVEX_RECOVERY_DIR"] = dir + "/recovered";
  }
  void TearDown() override { fs::remove_all(dir); }

  std::string path(const std::string& name) const { return dir + "/" + name; }
  std::vector<json> session(const std::vector<json>& requests) { return tlxtest::runSession(requests, options); }
  int16_t call(const std::string& method, const json& args) {
    auto a = session({{{"call", method}, {"args", args}}});
    EXPECT_TRUE(a[0]["ok"]) << a[0].dump();
    return a[0]["result"].get<int16_t>();
  }
  json probe(const std::string& file) {
    std::string out = run("/usr/bin/python3 " + kProbe + " '" + file + "'");
    return json::parse(out);
  }
  // The paragraphs that hold text.
  static std::vector<json> texts(const json& doc) {
    std::vector<json> out;
    for (auto& p : doc["paragraphs"])
      if (!p["text"].get<std::string>().empty()) out.push_back(p);
    return out;
  }

  std::string dir;
  tlxtest::SessionOptions options;
};

TEST_F(WordExport, TextParagraphCarriesItsFormatAndTheNextOneTheOldFormat) {
  std::string doc = path("text.docx");
  ASSERT_EQ(call("TextToWord", {"Hello world", "", false, false, true, "Arial", 14, 6, 1, 1}), 1);
  auto a = session({{{"call", "TextToWord"}, {"args", {"Second", "", false, false}}},
                    {{"getobject", "Word.Application"}, {"as", "w"}},
                    {{"on", "w"}, {"get", "ActiveDocument"}, {"as", "d"}},
                    {{"on", "d"}, {"call", "SaveAs"}, {"args", {doc}}}});
  ASSERT_TRUE(a[3]["ok"]) << a[3].dump();
  json d = probe(doc);
  EXPECT_TRUE(d["landscape"] == false);  // the second call's orientation: portrait
  auto t = texts(d);
  ASSERT_EQ(t.size(), 1u);  // each call of the host is a new word processor
  EXPECT_EQ(t[0]["text"], "Second");
  EXPECT_EQ(t[0]["align"], 0);
  EXPECT_EQ(t[0]["after"], 10);
  EXPECT_EQ(t[0]["runs"][0]["name"], "Times New Roman");
  EXPECT_EQ(t[0]["runs"][0]["size"], 12);
  EXPECT_EQ(t[0]["runs"][0]["bold"], false);
}

TEST_F(WordExport, FormatsOrientationAndSavingInOneSession) {
  std::string doc = path("one.docx");
  auto a = session({
      {{"call", "TextToWord"}, {"args", {"Title", "", false, false, true, "Arial", 14, 6, 1, 1}}},
      {{"getobject", "Word.Application"}, {"as", "w"}},
      {{"on", "w"}, {"get", "ActiveDocument"}, {"as", "d"}},
      {{"on", "d"}, {"call", "SaveAs"}, {"args", {doc}}},
      {{"call", "TextToWord"}, {"args", {"Body\ttext", doc, true, false, false, "Courier New", 9, 0, 2, 1}}},
      {{"call", "TextToWord"}, {"args", {"Tail", doc, true, true, false, "Arial", 11, 3, 5, 5}}},
  });
  for (auto& r : a) ASSERT_TRUE(r["ok"]) << r.dump();
  EXPECT_EQ(a[4]["result"], 1);
  EXPECT_EQ(a[5]["result"], -2);  // alignment 5 is refused: the text is in, nothing saved
  json d = probe(doc);
  EXPECT_TRUE(d["landscape"]);
  EXPECT_GT(d["width"].get<long>(), d["height"].get<long>());
  auto t = texts(d);
  ASSERT_EQ(t.size(), 2u);
  EXPECT_EQ(t[0]["text"], "Title");
  EXPECT_EQ(t[0]["align"], 1);
  EXPECT_EQ(t[0]["after"], 6);
  EXPECT_EQ(t[0]["runs"][0]["bold"], true);
  EXPECT_EQ(t[0]["runs"][0]["name"], "Arial");
  EXPECT_EQ(t[0]["runs"][0]["size"], 14);
  EXPECT_EQ(t[1]["text"], "Body\ttext");
  EXPECT_EQ(t[1]["align"], 2);
  EXPECT_EQ(t[1]["runs"][0]["name"], "Courier New");
  // The empty paragraph after each text has the format the document had before.
  const json& last = d["paragraphs"].back();
  EXPECT_EQ(last["text"], "");
  EXPECT_EQ(last["align"], 0);
}

TEST_F(WordExport, ArraysBecomeTablesWithTheirStyle) {
  std::string doc = path("tables.docx");
  json two = {{"let", "a"}, {"value", {{"array2d", {{"Name", "Qty", "Note"}, {"apple", 1, "tab\there"}}}}}};
  auto a = session({
      two,
      {{"call", "TwoDArrayToWord"},
       {"args", {{{"var", "a"}}, "   ", false, false, 16, false, "Arial", 10, 10, 0, 0, true, true, true, true, true,
                 false, false, false, true, 5}}},
      {{"getobject", "Word.Application"}, {"as", "w"}},
      {{"on", "w"}, {"get", "ActiveDocument"}, {"as", "d"}},
      {{"on", "d"}, {"call", "SaveAs"}, {"args", {doc}}},
      {{"call", "OneDArrayToWord"}, {"args", {{"x", 2.5, "line\r\nbreak"}, doc, true, false, 22, true}}},
  });
  for (auto& r : a) ASSERT_TRUE(r["ok"]) << r.dump();
  EXPECT_EQ(a[1]["result"], 1);
  EXPECT_EQ(a[5]["result"], 1);
  json d = probe(doc);
  EXPECT_FALSE(d["landscape"]);  // orientation 5 reads as portrait
  ASSERT_EQ(d["tables"].size(), 2u);
  json t1 = d["tables"][0], t2 = d["tables"][1];
  EXPECT_EQ(t1["style"], "Talvex Grid 1");
  // A tab inside a value splits its cell; short rows are filled up.
  EXPECT_EQ(t1["rows"], json::parse(R"([["Name","Qty","Note",""],["apple","1","tab","here"]])"));
  EXPECT_EQ(t1["font"][0]["name"], "Arial");
  EXPECT_EQ(t1["font"][0]["size"], 10);
  // A line end inside a value starts a new row.
  EXPECT_EQ(t2["rows"], json::parse(R"([["x","2.5","line"],["break","",""]])"));
  EXPECT_EQ(t2["style"], "Talvex Grid 7-BSFC");
  EXPECT_EQ(t2["font"][0]["bold"], true);
  EXPECT_EQ(d["body"].back(), "sectPr");
}

TEST_F(WordExport, StatusCodesOfTheArrayMethods) {
  auto a = session({
      {{"call", "OneDArrayToWord"}, {"args", {"not an array"}}},
      {{"call", "TwoDArrayToWord"}, {"args", {5}}},
      {{"call", "OneDArrayToWord"}, {"args", json::parse(R"([["a", null]])")}},
      {{"call", "TwoDArrayToWord"}, {"args", json::parse(R"([["one", "dimension"]])")}},
      {{"call", "TwoDArrayToWord"}, {"args", {array2d(R"([["a"]])"), path("missing.docx")}}},
      {{"call", "OneDArrayToWord"}, {"args", {{"a"}, "", false, false, 43}}},
      {{"call", "TextToWord"}, {"args", {"x", path("missing.docx")}}},
  });
  std::vector<int> codes;
  for (auto& r : a) {
    EXPECT_TRUE(r["ok"]) << r.dump();
    codes.push_back(r.value("result", 0));
  }
  EXPECT_EQ(codes, (std::vector<int>{-2, -2, -3, -3, -3, -3, -2}));
}

TEST_F(WordExport, OutsideDocumentsKeepEveryPartWhenAppendedTo) {
  std::string made = path("made.docx");
  run("/usr/bin/python3 " + kProbe + " make '" + made + "'");
  ASSERT_TRUE(fs::exists(made));
  // The same document after a pass through LibreOffice is the second outside writer.
  run("cd '" + dir + "' && mkdir -p lo && soffice --headless -env:UserInstallation=file://" + dir +
      "/profile --convert-to docx:\"MS Word 2007 XML\" --outdir lo made.docx >/dev/null 2>&1");
  std::string fromLo = dir + "/lo/made.docx";
  ASSERT_TRUE(fs::exists(fromLo));
  for (const std::string& file : {made, fromLo}) {
    json before = probe(file);
    EXPECT_EQ(call("TwoDArrayToWord", {array2d(R"([["new", "row"]])"), file, true, true, 8, false, "Arial", 10,
                                       10, 0, 0, true, true, true, true, true}),
              1);
    EXPECT_EQ(call("TextToWord", {"Appended", file, true, true}), 1);
    json after = probe(file);
    EXPECT_EQ(after["header"], before["header"]) << file;
    EXPECT_EQ(after["images"], 1) << file;
    ASSERT_EQ(after["tables"].size(), before["tables"].size() + 1) << file;
    EXPECT_EQ(after["tables"][0]["rows"], before["tables"][0]["rows"]) << file;
    EXPECT_EQ(after["tables"].back()["rows"], json::parse(R"([["new","row"]])")) << file;
    auto t = texts(after);
    EXPECT_EQ(t.front()["text"], "Before") << file;
    EXPECT_EQ(t.front()["style"], "Remark") << file;
    EXPECT_EQ(t.back()["text"], "Appended") << file;
  }
}

TEST_F(WordExport, EveryTableFormatConvertsThroughLibreOffice) {
  std::string doc = path("formats.docx");
  std::vector<json> requests;
  for (int format = 0; format < 43; ++format)
    requests.push_back({{"call", "TwoDArrayToWord"},
                        {"args", {array2d("[[\"Head " + std::to_string(format) + "\", \"B\"], [\"body\", \"2\"], [\"last\", \"3\"]]"),
                                  format == 0 ? "" : doc, true, false, format, false, "Arial", 10, 10, 0, 0, true,
                                  true, true, true, true, true, true, true, true}}});
  requests.insert(requests.begin() + 1, json{{"getobject", "Word.Application"}, {"as", "w"}});
  requests.insert(requests.begin() + 2, json{{"on", "w"}, {"get", "ActiveDocument"}, {"as", "d"}});
  requests.insert(requests.begin() + 3, json{{"on", "d"}, {"call", "SaveAs"}, {"args", {doc}}});
  auto a = session(requests);
  for (auto& r : a) ASSERT_TRUE(r["ok"]) << r.dump();
  json d = probe(doc);
  ASSERT_EQ(d["tables"].size(), 43u);
  std::string out = run("cd '" + dir + "' && soffice --headless -env:UserInstallation=file://" + dir +
                        "/profile --convert-to pdf formats.docx 2>&1");
  ASSERT_TRUE(fs::exists(path("formats.pdf"))) << out;
  std::string text = run("pdftotext '" + path("formats.pdf") + "' -");
  for (int format = 0; format < 43; ++format)
    EXPECT_NE(text.find("Head " + std::to_string(format)), std::string::npos) << format;
}

// Shaded header rows render dark: a page of one table with a black header (Grid 7) has more
// than twice the dark pixels of one with a plain header (Grid 1).
TEST_F(WordExport, ShadedHeaderRowsRender) {
  auto darkPixels = [&](int format) {
    std::string doc = path("f" + std::to_string(format) + ".docx");
    auto a = session({{{"call", "TwoDArrayToWord"},
                       {"args", {array2d(R"([["H1", "H2"], ["a", "b"]])"), "", false, false, format, false, "Arial", 20,
                                 10, 0, 0, true, true, true, true, true}}},
                      {{"getobject", "Word.Application"}, {"as", "w"}},
                      {{"on", "w"}, {"get", "ActiveDocument"}, {"as", "d"}},
                      {{"on", "d"}, {"call", "SaveAs"}, {"args", {doc}}}});
    run("cd '" + dir + "' && soffice --headless -env:UserInstallation=file://" + dir +
        "/profile --convert-to pdf '" + doc + "' >/dev/null 2>&1 && pdftoppm -gray -r 20 -f 1 -l 1 '" +
        path("f" + std::to_string(format) + ".pdf") + "' '" + path("page" + std::to_string(format)) + "'");
    std::string pgm;
    for (auto& e : fs::directory_iterator(dir))
      if (e.path().filename().string().starts_with("page" + std::to_string(format) + "-")) pgm = e.path();
    std::ifstream in(pgm, std::ios::binary);
    std::string data((std::istreambuf_iterator<char>(in)), {});
    long dark = 0;
    for (size_t i = data.size() > 64 ? 64 : 0; i < data.size(); ++i) dark += static_cast<unsigned char>(data[i]) < 100;
    return dark;
  };
  long plain = darkPixels(16), shaded = darkPixels(22);
  EXPECT_GT(shaded, plain * 2) << plain << " " << shaded;
}

TEST_F(WordExport, UnsavedDocumentsAreRecoveredUnlessClosed) {
  auto r = tlxtest::runHost({"session"},
                            json{{"call", "TextToWord"}, {"args", {"keep me"}}}.dump() + "\n" +
                                json{{"call", "OneDArrayToWord"}, {"args", {{"gone"}, "", false, true}}}.dump() + "\n",
                            options);
  EXPECT_EQ(r.exitCode, 0);
  // The second call quit the word processor without saving: nothing of it to recover, and the
  // first document went with it.
  EXPECT_EQ(r.err.find("saved to"), std::string::npos) << r.err;
  r = tlxtest::runHost({"session"}, json{{"call", "TextToWord"}, {"args", {"keep me"}}}.dump() + "\n", options);
  ASSERT_NE(r.err.find("saved to"), std::string::npos) << r.err;
  std::string file = dir + "/recovered/Document1.docx";
  ASSERT_TRUE(fs::exists(file));
  EXPECT_EQ(texts(probe(file))[0]["text"], "keep me");
}

TEST_F(WordExport, SavingEveryOpenDocumentAndQuitting) {
  auto a = session({
      {{"create", "Word.Application"}, {"as", "w"}},
      {{"on", "w"}, {"get", "Documents"}, {"as", "docs"}},
      {{"on", "docs"}, {"call", "Add"}, {"as", "d1"}},
      {{"call", "TextToWord"}, {"args", {"two", "", true, false}}},
      {{"on", "docs"}, {"get", "Count"}},
      {{"on", "d1"}, {"get", "FullName"}},
      {{"on", "d1"}, {"get", "Saved"}},
      {{"on", "w"}, {"call", "Quit"}, {"args", {false}}},
      {{"on", "docs"}, {"get", "Count"}},
  });
  EXPECT_EQ(a[3]["result"], 1);
  EXPECT_EQ(a[4]["result"], json::parse(R"({"i4":2})"));
  EXPECT_EQ(a[5]["result"], path("Document1.docx"));
  EXPECT_EQ(a[6]["result"], true);
  EXPECT_TRUE(fs::exists(path("Document2.docx")));
  EXPECT_FALSE(a[8]["ok"]);  // a reference held after Quit fails on every member
}

}  // namespace
