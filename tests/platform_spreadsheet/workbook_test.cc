// The spreadsheet application through its members: workbooks, sheets and their names, typed
// cells, saving and reading back, write reservation, Quit, and damaged files.
#include <gtest/gtest.h>

#include <map>
#include <memory>

#include "talvex/convert.h"
#include "talvex/registry.h"
#include "automation/strings.h"
#include "platform/opc/encrypted_package.h"
#include "platform/opc/package.h"
#include "platform/spreadsheet/import.h"
#include "platform/spreadsheet/spreadsheet_application.h"
#include "platform/spreadsheet/workbook.h"
#include "platform/spreadsheet/write_reservation.h"
#include "support/scratch.h"

namespace tlx {
namespace {

using tlxtest::readFile;

// What a Python snippet prints (Debian's interpreter, with openpyxl), without the last line end.
std::string python(const std::string& code) {
  std::string out = tlxtest::shell("/usr/bin/python3 -c " + tlxtest::shellQuote(code));
  while (!out.empty() && out.back() == '\n') out.pop_back();
  return out;
}

class Spreadsheet : public ::testing::Test {
 protected:
  void SetUp() override {
    registerSpreadsheetApplication();
    xl = createObject("Excel.Application");
  }
  void TearDown() override {
    if (xl) callMethod(xl, "Quit");
  }
  ObjRef books() { return objectOf(getProperty(xl, "Workbooks")); }
  ObjRef add() { return objectOf(callMethod(books(), "Add")); }
  ObjRef sheet(const ObjRef& wb, Variant key) { return objectOf(getProperty(wb, "Worksheets", {key})); }
  ObjRef cell(const ObjRef& ws, int32_t r, int32_t c) { return objectOf(getProperty(ws, "Cells", {Variant(r), Variant(c)})); }
  std::string name(const ObjRef& ws) { return u8(toBStr(getProperty(ws, "Name"))); }
  std::string path(const std::string& file) { return dir.file(file); }

  tlxtest::ScratchDir dir{"talvex-xlsx"};
  ObjRef xl;
};

TEST_F(Spreadsheet, SheetsAreFoundAddedAndRenamedAndQuitEndsEveryReference) {
  ObjRef wb = add();
  ObjRef all = objectOf(getProperty(wb, "Worksheets"));
  EXPECT_EQ(toI4(getProperty(all, "Count")), 3);
  EXPECT_EQ(name(sheet(wb, Variant(int16_t(2)))), "Sheet2");
  EXPECT_EQ(name(sheet(wb, Variant(u"sHEET3"))), "Sheet3");
  EXPECT_THROW(sheet(wb, Variant(int16_t(4))), ComError);
  EXPECT_THROW(sheet(wb, Variant(u"Nope")), ComError);

  ObjRef first = sheet(wb, Variant(int16_t(1)));
  Variant after(first);
  DispParams p{{}, {{"After", &after}}};
  ObjRef added = objectOf(all->invoke("Add", InvokeKind::Method, p));
  EXPECT_EQ(name(added), "Sheet4");
  EXPECT_EQ(toI4(getProperty(added, "Index")), 2);
  Variant before(first);
  DispParams q{{}, {{"Before", &before}}};
  EXPECT_EQ(toI4(getProperty(objectOf(all->invoke("Add", InvokeKind::Method, q)), "Index")), 1);

  EXPECT_THROW(putProperty(first, "Name", Variant(u"SHEET2")), ComError);
  putProperty(first, "Name", Variant(u"SHEET1"));  // its own name, in another case
  EXPECT_EQ(name(first), "SHEET1");

  // Quit ends every reference still held, and the application is no longer running.
  EXPECT_EQ(getObject("Excel.Application").get(), xl.get());
  callMethod(xl, "Quit");
  for (const ObjRef& held : {first, wb}) EXPECT_THROW(getProperty(held, "Name"), ComError);
  EXPECT_THROW(getProperty(xl, "Workbooks"), ComError);
  EXPECT_THROW(getObject("Excel.Application"), ComError);
  xl = ObjRef();
}

TEST_F(Spreadsheet, TypedCellsAreSavedAndReadByOpenpyxl) {
  ObjRef wb = add();
  ObjRef ws = sheet(wb, Variant(int16_t(1)));
  auto arr = std::make_unique<SafeArray>(std::vector<Bound>{{0, 2}, {0, 3}});
  arr->at(0, 0) = Variant(u"text & <markup>");
  arr->at(0, 1) = Variant(int16_t(7));
  arr->at(0, 2) = Variant(Date{makeDate(2024, 1, 31, 13, 5)});
  arr->at(1, 0) = Variant(true);
  arr->at(1, 1) = Variant(ErrorValue{hr::basicError(2007)});
  arr->at(1, 2) = Variant(u"  spaced\ttab\x01");
  ObjRef block = objectOf(getProperty(ws, "Range", {Variant(u"B2:E4")}));
  putProperty(block, "Value", Variant(std::move(arr)));
  EXPECT_EQ(u8(toBStr(getProperty(cell(ws, 2, 4), "Text"))), "1/31/2024 13:05");
  EXPECT_EQ(getProperty(cell(ws, 2, 5), "Value").scode(), hr::basicError(2042));  // beyond the array: #N/A
  EXPECT_EQ(u8(toBStr(getProperty(cell(ws, 3, 3), "Text"))), "#DIV/0!");
  putProperty(objectOf(getProperty(ws, "Columns", {Variant(u"C")})), "ColumnWidth", Variant(25.5));
  EXPECT_FALSE(getProperty(wb, "Saved").boolean());
  callMethod(wb, "SaveAs", {Variant(u16(path("typed.xlsx")))});
  EXPECT_TRUE(getProperty(wb, "Saved").boolean());
  EXPECT_EQ(u8(toBStr(getProperty(wb, "Name"))), "typed.xlsx");
  callMethod(wb, "Close");

  std::string seen = python(
      "import openpyxl; ws = openpyxl.load_workbook(\"" + path("typed.xlsx") + "\").active; "
      "print(repr([ws[\"B2\"].value, ws[\"C2\"].value, str(ws[\"D2\"].value), ws[\"B3\"].value, ws[\"C3\"].value, "
      "ws[\"D3\"].value, ws[\"E2\"].value, ws.column_dimensions[\"C\"].width]))");
  // A control character is stored as the format's _xHHHH_ escape, which openpyxl leaves as is.
  EXPECT_EQ(seen, "['text & <markup>', 7, '2024-01-31 13:05:00', True, '#DIV/0!', '  spaced\\ttab_x0001_', '#N/A', 25.5]");
}

// Large sheets are read a slice of rows at a time; these cross slices in every way a writer can.
TEST_F(Spreadsheet, LargeSheetsReadTheSameAcrossSlicesPrefixesAndCdata) {
  ObjRef wb = add();
  callMethod(wb, "SaveAs", {Variant(u16(path("base.xlsx")))});
  callMethod(wb, "Close");
  auto rows = [](const std::string& x, int from, int to) {
    std::string out;
    for (int r = from; r <= to; ++r)
      out += "<" + x + "row r=\"" + std::to_string(r) + "\"><" + x + "c r=\"A" + std::to_string(r) + "\" t=\"inlineStr\"><" + x +
             "is><" + x + "t>row " + std::to_string(r) + " of a sheet well over one slice</" + x + "t></" + x + "is></" + x +
             "c><" + x + "c r=\"B" + std::to_string(r) + "\"><" + x + "v>" + std::to_string(r) + "</" + x + "v></" + x + "c></" + x + "row>";
    return out;
  };
  const std::string ns = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
  // An end tag inside a comment where the first slice would be cut, and one inside CDATA.
  std::string comment = "<!--" + std::string(600000, '.') + " </row> -->";
  std::string cdataRow = "<row r=\"9001\"><c r=\"A9001\" t=\"inlineStr\"><is><t><![CDATA[a </row> inside]]></t></is></c></row>";
  std::map<std::string, std::string> sheets = {
      {"plain", "<worksheet xmlns=\"" + ns + "\"><sheetData>" + rows("", 1, 20000) + "</sheetData></worksheet>"},
      {"prefixed", "<x:worksheet xmlns:x=\"" + ns + "\"><x:sheetData>" + rows("x:", 1, 20000) + "</x:sheetData></x:worksheet>"},
      {"cdata", "<worksheet xmlns=\"" + ns + "\"><sheetData>" + rows("", 1, 10) + comment + rows("", 11, 9000) + cdataRow + rows("", 9002, 20000) +
                    "</sheetData></worksheet>"}};
  for (auto& [name, xml] : sheets) {
    ASSERT_GT(xml.size(), size_t(2) << 20);
    platform::opc::Package p = platform::opc::Package::open(path("base.xlsx"));
    p.write("xl/worksheets/sheet1.xml", xml);
    p.save(path(name + ".xlsx"));
    ObjRef book = objectOf(callMethod(books(), "Open", {Variant(u16(path(name + ".xlsx")))}));
    ObjRef ws = sheet(book, Variant(int16_t(1)));
    for (int32_t r : {1, 4321, 12345, 20000})
      EXPECT_EQ(getProperty(cell(ws, r, 2), "Value"), Variant(double(r))) << name << " row " << r;
    EXPECT_EQ(getProperty(cell(ws, 20000, 1), "Value"), Variant(u"row 20000 of a sheet well over one slice")) << name;
    if (name == "cdata") {
      EXPECT_EQ(getProperty(cell(ws, 9001, 1), "Value"), Variant(u"a </row> inside"));
    }
    callMethod(book, "Close");
  }
}

TEST_F(Spreadsheet, WriteReservationNeedsTheRightPassword) {
  using platform::spreadsheet::iteratedPasswordHash, platform::spreadsheet::legacyPasswordHash;
  const std::string salt = "c2FsdHNhbHRzYWx0c2FsdA==";
  // The hashes openpyxl and Python's hashlib give for these passwords.
  EXPECT_EQ(legacyPasswordHash(u"secret"), "DAA7");
  EXPECT_EQ(legacyPasswordHash(u"abcdefghijklmnopq"), "C786");
  EXPECT_EQ(iteratedPasswordHash("SHA-512", salt, 1000, u"pw"),
            "VZpl3oHQ/GWZc9dr4o0Qk+3RRywBP6cIem3dqsZhywOvXRjatqCP8jBMXmXGVPBt5PFpEcmiRYDZh7uKF6qnmg==");

  ObjRef wb = add();
  callMethod(wb, "SaveAs", {Variant(u16(path("plain.xlsx")))});
  callMethod(wb, "Close");
  for (auto [file, element] :
       {std::pair{"legacy.xlsx", std::string("<fileSharing reservationPassword=\"DAA7\"/>")},
        std::pair{"sha.xlsx", "<fileSharing algorithmName=\"SHA-512\" saltValue=\"" + salt + "\" spinCount=\"1000\" hashValue=\"" +
                                  iteratedPasswordHash("SHA-512", salt, 1000, u"secret") + "\"/>"}}) {
    platform::opc::Package p = platform::opc::Package::open(path("plain.xlsx"));
    std::string book = p.read("xl/workbook.xml");
    size_t at = book.find("<bookViews");
    ASSERT_NE(at, std::string::npos);
    p.write("xl/workbook.xml", book.insert(at, element));
    p.save(path(file));
    auto open = [&](const char16_t* pw) {
      Variant name(u16(path(file))), res(pw);
      DispParams params{{&name}, {{"WriteResPassword", &res}}};
      return objectOf(books()->invoke("Open", InvokeKind::Method, params));
    };
    EXPECT_THROW(open(u""), ComError) << file;
    EXPECT_THROW(open(u"Secret"), ComError) << file;
    callMethod(open(u"secret"), "Close");
  }
}

// Each kind of damage fails the sheet when it is picked, every time (none reads the rows before
// the damage), and the whole workbook when it is read at once.
TEST_F(Spreadsheet, DamagedFilesAreRefusedWithAnError) {
  ObjRef wb = add();
  putProperty(cell(sheet(wb, Variant(int16_t(1))), 1, 1), "Value", Variant(u"x"));
  callMethod(wb, "SaveAs", {Variant(u16(path("good.xlsx")))});
  std::string bytes = readFile(path("good.xlsx"));
  EXPECT_NO_THROW(platform::spreadsheet::readAnyWorkbookBytes(bytes));
  for (size_t cut : {size_t(30), bytes.size() / 2, bytes.size() - 10})
    EXPECT_ANY_THROW(platform::spreadsheet::readAnyWorkbookBytes(bytes.substr(0, cut))) << cut;
  EXPECT_THROW(callMethod(books(), "Open", {Variant(u16(path("missing.xlsx")))}), ComError);

  const std::map<std::string, std::string> damaged = {
      {"not-well-formed", R"(<row r="1"><c r="A1"><v>1</v></row>)"},
      {"rows-out-of-order", R"(<row r="5"/><row r="2"/>)"},
      {"past-last-column", R"(<row r="1"><c r="XFE1"><v>1</v></c></row>)"},
      {"past-last-row", R"(<row r="1048577"><c r="A1048577"><v>1</v></c></row>)"},
      {"not-a-number", R"(<row r="1"><c r="A1"><v>NaN</v></c></row>)"},
      {"string-past-table", R"(<row r="1"><c r="A1" t="s"><v>99</v></c></row>)"},
      {"sizes-lie", R"(<row r="1"><c r="A1"><v>1</v></c></row>)"}};
  for (auto& [name, rows] : damaged) {
    std::string file = path(name + ".xlsx");
    platform::opc::Package p = platform::opc::Package::open(path("good.xlsx"));
    p.write("xl/worksheets/sheet2.xml",
            "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData>" + rows + "</sheetData></worksheet>");
    p.save(file);
    if (name == "sizes-lie") tlxtest::python("tests/support/zip_shapes.py", file + " " + file + " size-too-large sheet2.xml");
    EXPECT_THROW(platform::spreadsheet::readAnyWorkbookBytes(readFile(file)), platform::opc::PackageError) << name;
    ObjRef book = objectOf(callMethod(books(), "Open", {Variant(u16(file))}));
    EXPECT_THROW(sheet(book, Variant(int16_t(2))), ComError) << name;
    EXPECT_THROW(sheet(book, Variant(int16_t(2))), ComError) << name;
    callMethod(book, "Close");
  }
}

// Parts written again keep the namespace prefix their writer chose, and styles a workbook lacks
// are completed: every reader sees each cell, and unstyled numbers stay numbers.
TEST_F(Spreadsheet, RewrittenPartsKeepTheirPrefixAndMissingStylesAreCompleted) {
  for (std::string variant : {"prefixed", "no-styles", "empty-styles"}) {
    std::string file = path(variant + ".xlsx");
    tlxtest::python("tests/support/workbook_variants.py", variant + " " + file);
    ObjRef wb = objectOf(callMethod(books(), "Open", {Variant(u16(file))}));
    ObjRef ws = sheet(wb, Variant(int16_t(1)));
    putProperty(cell(ws, 1, 3), "Value", Variant(u"new"));
    putProperty(cell(ws, 2, 1), "Value", Variant(Date{makeDate(2024, 2, 29)}));
    Variant after(ws);
    DispParams added{{}, {{"After", &after}}};
    objectOf(getProperty(wb, "Worksheets"))->invoke("Add", InvokeKind::Method, added);
    callMethod(wb, "Save");
    callMethod(wb, "Close");
    std::string zipped = python("import zipfile; print(sorted(n for n in zipfile.ZipFile(\"" + file + "\").namelist() if \"styles\" in n or not n))");
    EXPECT_EQ(zipped, "['xl/styles.xml']") << variant;
    EXPECT_EQ(python("import openpyxl; wb = openpyxl.load_workbook(\"" + file + "\"); ws = wb[\"Data\"]; "
                     "print(ws[\"A1\"].value, ws[\"B1\"].value, ws[\"B1\"].number_format, ws[\"C1\"].value, ws[\"A2\"].value, len(wb.sheetnames))"),
              "hello 2 General new 2024-02-29 00:00:00 2") << variant;
  }
  // LibreOffice reads the prefixed sheet's cells too.
  tlxtest::shell("cd " + dir.path().string() + " && soffice -env:UserInstallation=file://" + path("lo") +
                 " --headless --convert-to csv prefixed.xlsx >/dev/null 2>&1");
  EXPECT_EQ(readFile(path("prefixed.csv")), "hello,2,new\n02/29/2024,,\n");
}

// Encrypts `plain` with an open password; msoffcrypto-tool, an independent reader, must get the
// same bytes back, so the file is known to be sound before our reader sees it.
void encrypt(const std::string& plain, const std::string& out, const std::string& password, const std::string& options = "") {
  using tlxtest::shellQuote;
  tlxtest::python("tests/support/encrypt_workbook.py", shellQuote(plain) + " " + shellQuote(out) + " " + shellQuote(password) + " " + options);
  if (options.find("--bad-hmac") != std::string::npos) return;
  tlxtest::shell("msoffcrypto-tool -p " + shellQuote(password) + " " + shellQuote(out) + " " + shellQuote(out + ".check"));
  ASSERT_EQ(readFile(out + ".check"), readFile(plain));
}

class EncryptedWorkbook : public Spreadsheet {
 protected:
  void SetUp() override {
    Spreadsheet::SetUp();
    python("import openpyxl, datetime\n"
           "wb = openpyxl.Workbook(); ws = wb.active; ws.title = \"Data\"\n"
           "ws[\"A1\"] = \"geheim\"; ws[\"B1\"] = 1234.5; ws[\"A2\"] = datetime.date(2024, 2, 29)\n"
           "for r in range(3, 400): ws.cell(r, 1, \"row %d\" % r)\n"  // a package of several segments
           "wb.create_sheet(\"Other\"); wb.save(\"" + path("plain.xlsx") + "\")");
  }
  ObjRef open(const std::string& file, const Variant& password) {
    Variant name(u16(path(file))), pw(password);
    DispParams params{{&name}, {{"Password", &pw}}};
    return objectOf(books()->invoke("Open", InvokeKind::Method, params));
  }
  std::string openError(const std::string& file, const Variant& password) {
    try {
      open(file, password);
    } catch (const ComError& e) {
      return e.what();
    }
    return "opened";
  }
};

TEST_F(EncryptedWorkbook, OpensOnlyWithItsPasswordAndIsNeverWrittenBackSilentlyPlain) {
  encrypt(path("plain.xlsx"), path("enc.xlsx"), "Pässwörd 1");
  EXPECT_NE(openError("enc.xlsx", Variant::missing()).find("none was given"), std::string::npos);
  EXPECT_NE(openError("enc.xlsx", Variant(u"pässwörd 1")).find("not correct"), std::string::npos);

  ObjRef wb = open("enc.xlsx", Variant(u"Pässwörd 1"));
  ObjRef ws = sheet(wb, Variant(u"Data"));
  EXPECT_EQ(getProperty(cell(ws, 1, 1), "Value"), Variant(u"geheim"));
  EXPECT_EQ(u8(toBStr(getProperty(cell(ws, 1, 2), "Text"))), "1234.5");
  EXPECT_EQ(getProperty(cell(ws, 2, 1), "Value"), Variant(Date{makeDate(2024, 2, 29)}));
  EXPECT_EQ(getProperty(cell(ws, 399, 1), "Value"), Variant(u"row 399"));
  EXPECT_EQ(toI4(getProperty(objectOf(getProperty(wb, "Worksheets")), "Count")), 2);

  putProperty(cell(ws, 1, 3), "Value", Variant(u"added"));
  std::string before = readFile(path("enc.xlsx"));
  try {
    callMethod(wb, "Save");
    ADD_FAILURE() << "Save wrote the decrypted workbook";
  } catch (const ComError& e) {
    EXPECT_NE(std::string(e.what()).find("SaveAs"), std::string::npos) << e.what();
  }
  EXPECT_EQ(readFile(path("enc.xlsx")), before);

  callMethod(wb, "SaveAs", {Variant(u16(path("copy.xlsx")))});
  EXPECT_EQ(python("import openpyxl; ws = openpyxl.load_workbook(\"" + path("copy.xlsx") +
                   "\")[\"Data\"]; print(ws[\"A1\"].value, ws[\"C1\"].value, ws[\"A399\"].value)"),
            "geheim added row 399");
  callMethod(wb, "Save");  // now the plain copy
  EXPECT_EQ(readFile(path("enc.xlsx")), before);
}

TEST_F(EncryptedWorkbook, BothSectorSizesAndDamageIsRefusedNotCrashedOn) {
  encrypt(path("plain.xlsx"), path("big-sectors.xlsx"), "pw", "--sector 4096 --spin 1000");
  callMethod(open("big-sectors.xlsx", Variant(u"pw")), "Close");
  encrypt(path("plain.xlsx"), path("tampered.xlsx"), "pw", "--bad-hmac --spin 1000");
  EXPECT_NE(openError("tampered.xlsx", Variant(u"pw")).find("integrity"), std::string::npos);

  encrypt(path("plain.xlsx"), path("small.xlsx"), "pw", "--spin 1000");
  std::string good = readFile(path("small.xlsx"));
  std::string plain = readFile(path("plain.xlsx"));
  EXPECT_EQ(platform::opc::decryptPackage(good, u"pw"), plain);
  EXPECT_THROW(platform::opc::decryptPackage(good, u"pw", 999), platform::opc::PackageError);  // more rounds than allowed
  // Every header field, directory entry and table sector changed in turn, and cuts anywhere:
  // each is decrypted as before or refused with an error.
  auto soundOrRefused = [&](const std::string& bytes, size_t at) {
    try {
      EXPECT_EQ(platform::opc::decryptPackage(bytes, u"pw"), plain) << at;
    } catch (const platform::opc::PackageError&) {
    }
  };
  for (size_t at = 0; at < good.size(); at += at < 1024 ? 3 : 97) {
    std::string bad = good;
    bad[at] = static_cast<char>(bad[at] ^ 0x5A);
    soundOrRefused(bad, at);
    soundOrRefused(good.substr(0, at), at);
  }
  tlxtest::writeFile(path("old.xls"), good.substr(0, 512) + std::string(1024, '\0'));
  EXPECT_NE(openError("old.xls", Variant(u"pw")).find("Cannot open"), std::string::npos);
}

}  // namespace
}  // namespace tlx
