// CreatePDFFromFile through the real command-line host: binding, argument order, defaults.
#include <gtest/gtest.h>

#include <string>

#include "pdf_check.h"
#include "support/talvex_session.h"

namespace {

using namespace pdftest;
using nlohmann::json;

json call(const std::vector<json>& args) {
  return json{{"call", "CreatePDFFromFile"}, {"args", args}};
}

// Text in ISO-8859-15 (A4 the euro sign, BD the oe ligature: both sit elsewhere in Windows-1252)
// is shown in WinAnsi.
TEST(PdfHost, ConvertsThroughTheHostWithDefaultsAndWithEveryArgument) {
  TempDir dir;
  const std::string txt = dir.file("in.txt"), plain = dir.file("plain.pdf"),
                    full = dir.file("full.pdf"), latin9 = dir.write("latin9.txt", "price \xA4" "5 \xBD\r\n");
  std::string text;
  for (int i = 1; i <= 61; ++i) text += "row " + std::to_string(i) + "\r\n";
  writeFile(txt, text);

  tlxtest::SessionOptions options;
  options.env["TALVEX_CODEPAGE"] = "ISO-8859-15";
  auto answers = tlxtest::runSession(std::vector<json>{
      call({txt, plain}),
      call({txt, full, "ARIAL", 12, 90, 8.27, 11.69, "An (author)", "Cr", "kw", "Subj",
            "Title \\ (1)"}),
      call({dir.file("missing.txt"), dir.file("never.pdf")}),
      call({txt, dir.file("never.pdf"), "Courier", 0}),
      call({latin9, dir.file("latin9.pdf")}),
  }, options);
  ASSERT_EQ(answers.size(), 5u);
  for (auto& a : answers) EXPECT_TRUE(a["ok"].get<bool>()) << a.dump();
  EXPECT_EQ(answers[0]["result"], 1);
  EXPECT_EQ(answers[1]["result"], 1);
  EXPECT_EQ(answers[2]["result"], -1);
  EXPECT_EQ(answers[3]["result"], -2);
  EXPECT_EQ(answers[4]["result"], 1);
  EXPECT_FALSE(fs::exists(dir.file("never.pdf")));

  EXPECT_EQ(qpdfCheck(plain).exitCode, 0);
  std::string bytes = readFile(plain);
  EXPECT_NE(bytes.find("\r/BaseFont /Courier\r"), std::string::npos);
  auto pages = pdfText(plain);
  ASSERT_EQ(pages.size(), 2u);
  EXPECT_EQ(lines(pages[1]), (std::vector<std::string>{"row 61", "2"}));

  bytes = readFile(full);
  EXPECT_NE(bytes.find("\r/BaseFont /ARIAL\r"), std::string::npos);
  EXPECT_NE(bytes.find("\r/MediaBox [ 0 0 595 842 ]\r"), std::string::npos);
  EXPECT_NE(bytes.find("\r/Rotate 90\r"), std::string::npos);
  EXPECT_NE(bytes.find("\r14.4 TL\r"), std::string::npos);
  std::string info = runCommand("pdfinfo " + shellQuote(full)).out;
  EXPECT_NE(info.find("Title:           Title \\ (1)\n"), std::string::npos) << info;
  EXPECT_NE(info.find("Author:          An (author)\n"), std::string::npos) << info;
  EXPECT_NE(info.find("Keywords:        kw\n"), std::string::npos) << info;

  EXPECT_EQ(textItems(readFile(dir.file("latin9.pdf")))[0][0], "price \x80" "5 \x9C");
  EXPECT_EQ(lines(pdfText(dir.file("latin9.pdf"))[0])[0], "price \xE2\x82\xAC" "5 \xC5\x93");
}

}  // namespace
