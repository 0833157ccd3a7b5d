// Tables that pandas wrote (through lxml): XMLFileToArray gives the values pandas.read_xml
// reads back, and the field names it gives the columns.
#include <nlohmann/json.hpp>

#include "xml/xml_files.h"
#include "xml_support.h"

namespace tlxtest {
namespace {

TEST_F(XmlTest, ArrayGivesWhatPandasReadsFromItsOwnFiles) {
  const nlohmann::json tables = nlohmann::json::parse(pythonOutput("pandas_files.py", dir.string()));
  ASSERT_EQ(tables.size(), 4u);
  for (auto& [name, table] : tables.items()) {
    SCOPED_TRACE(name);
    Variant a(SafeArray::vector(0));
    ASSERT_EQ(XMLFileToArray(u16(table["path"].get<std::string>()), a, true), 1);
    Rows got = rowsOf(a);
    ASSERT_EQ(got.size(), table["rows"].size() + 1);
    EXPECT_EQ(got[0], table["columns"].get<std::vector<std::string>>());
    for (size_t r = 0; r < table["rows"].size(); ++r)
      for (size_t c = 0; c < got[0].size(); ++c) {
        const nlohmann::json& want = table["rows"][r][c];
        // pandas has no value for an empty element; here it is an empty string.
        EXPECT_EQ(got[r + 1][c], want.is_null() ? "" : want.get<std::string>()) << "row " << r << " column " << c;
      }
  }
}

}  // namespace
}  // namespace tlxtest
