// The parser settings every XML reader shares: hostile input is refused the same way whether it
// is read from memory, from a file or by SAX, and nothing of the files it points at gets out.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <tuple>

#include <libxml/SAX2.h>

#include "platform/xmldom/xml_parser.h"
#include "support/scratch.h"
#include "support/hostile_xml.h"

namespace tlx::platform::xmldom {
namespace {

namespace fs = std::filesystem;

using tlxtest::attributes;
using tlxtest::repeat;

std::string laughs() { return tlxtest::laughsDoctype() + "<t>&l9;</t>"; }

// Reads `xml` the three ways; each gives its error.
std::vector<ParseError> readEveryWay(const fs::path& dir, const std::string& xml) {
  const std::string file = (dir / "in.xml").string();
  std::ofstream(file, std::ios::binary) << xml;
  std::vector<ParseError> errors(3);
  DocPtr fromMemory = readMemory(xml, errors[0]);
  EXPECT_EQ(bool(fromMemory), !errors[0]);
  DocPtr fromFile = readFile(file, errors[1]);
  EXPECT_EQ(bool(fromFile), !errors[1]);
  xmlSAXHandler handler{};
  xmlSAXVersion(&handler, 2);
  const bool read = saxFile(file, handler, nullptr, errors[2]);
  EXPECT_EQ(read, !errors[2]);
  return errors;
}

TEST(Parser, HostileInputIsRefusedTheSameEveryWay) {
  const tlxtest::ScratchDir scratch("talvex-xml");
  const fs::path dir = scratch.path();
  std::ofstream(dir / "secret.txt") << "SECRET";
  std::ofstream(dir / "secret.dtd") << "<!ENTITY leak 'SECRET'>";
  const std::string d = dir.string();
  const int kLibxml = -1;  // any error libxml2 itself reports
  const struct {
    const char* what;
    std::string xml;
    int code;
  } cases[] = {
      {"well-formed", "<r a='1'>&amp;<i/></r>", 0},
      // Many small references, more text in all than the file: still far below the bound.
      {"internal entities within bounds", "<!DOCTYPE t [<!ENTITY e 'abcdefgh'>]><t>" + repeat("&e;", 50000) + "</t>", 0},
      {"external entity", "<!DOCTYPE t [<!ENTITY x SYSTEM 'file://" + d + "/secret.txt'>]><t>&x;</t>", kErrorExternalEntity},
      {"external entity in an attribute", "<!DOCTYPE t [<!ENTITY x SYSTEM '" + d + "/secret.txt'>]><t a='&x;'/>", kErrorExternalEntity},
      {"external parameter entity", "<!DOCTYPE t [<!ENTITY % p SYSTEM '" + d + "/secret.dtd'> %p;]><t>&leak;</t>",
       kErrorExternalEntity},
      {"network entity", "<!DOCTYPE t [<!ENTITY x SYSTEM 'http://127.0.0.1:9/x'>]><t>&x;</t>", kErrorExternalEntity},
      {"external DTD", "<!DOCTYPE t SYSTEM '" + d + "/secret.dtd'><t>&leak;</t>", kLibxml},
      {"billion laughs", laughs(), kErrorEntityExpansion},
      {"quadratic blowup", "<!DOCTYPE t [<!ENTITY a '" + std::string(100000, 'x') + "'>]><t>" + repeat("&a;", 200) + "</t>",
       kErrorEntityExpansion},
      {"deep nesting", repeat("<a>", 100000) + repeat("</a>", 100000), kLibxml},
      {"10,001 attributes", "<t>" + attributes(10001) + "</t>", kErrorLimit},
      // As many attributes as an element may have, and "=" in plenty where no attribute is.
      {"10,000 attributes", "<!DOCTYPE t [<!-- " + repeat("a=", 20000) + " -->]><t a='" + repeat("=", 20000) + "'>" +
                                attributes(10000) + "<![CDATA[" + repeat("x=", 20000) + "]]>" + repeat("<!-- y= -->", 20000) + "</t>",
       0},
      {"not well-formed", "<r>\n  <i>x</j>\n</r>", XML_ERR_TAG_NAME_MISMATCH},
  };
  for (auto& c : cases) {
    for (const ParseError& e : readEveryWay(dir, c.xml)) {
      EXPECT_TRUE(c.code == kLibxml ? e.code > 0 && e.code < kErrorExternalEntity : e.code == c.code)
          << c.what << ": " << e.code << " " << e.reason;
      EXPECT_EQ((e.reason + e.srcText).find("SECRET"), std::string::npos) << c.what;
    }
  }
  ParseError e;
  EXPECT_FALSE(readMemory("<r>\n  <i>x</j>\n</r>", e));
  EXPECT_EQ(std::tuple(e.reason, e.line, e.srcText), std::tuple(std::string("Opening and ending tag mismatch: i line 2 and j"), 2,
                                                                std::string("  <i>x</j>")));
  EXPECT_FALSE(readFile(d + "/missing.xml", e));
  EXPECT_EQ(e.code, kErrorNotFound);
}

}  // namespace
}  // namespace tlx::platform::xmldom
