// What fetching rows in blocks into bound buffers can get wrong, against what Python's sqlite3
// module and psql -A give: a Null in every type, text longer than its buffer or its declared
// size, exact decimals, fractions of a second, non-ASCII text, binary, columns of unknown size,
// the field types a caller reads, and results of no rows, one row, exactly a block and a block
// and one row.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "talvex/convert.h"
#include "talvex/dispatch.h"
#include "automation/strings.h"
#include "platform/ado/ado.h"
#include "support/database_fixture.h"

using namespace tlx;
using tlxtest::DatabaseTest;

namespace {

// One column of the table: its type and a value in each database, and what the field gives.
// `textual` values are compared with the database's own tool as well.
struct Column {
  std::string sqliteType, pgType, sqliteValue, pgValue;
  Variant sqliteExpected, pgExpected;
  bool textual = false;
};

const std::string kLong = std::string(300, 'x') + "é";  // longer than any bound text buffer

std::vector<Column> columns() {
  const Variant date(Date{makeDate(2024, 2, 29)});
  const Variant stamp(Date{makeDate(2024, 1, 31, 13, 5, 7.25)});
  return {
      {"integer", "integer", "-42", "-42", int32_t(-42), int32_t(-42)},
      {"bigint", "bigint", "9007199254740993", "9007199254740993", u"9007199254740993", u"9007199254740993"},
      {"double", "double precision", "0.1", "0.1", 0.1, 0.1},
      // The SQLite driver shows decimals as text; PostgreSQL's are Currency where they fit it
      // exactly, and its 18 digits stay exact as text.
      {"decimal(10,2)", "numeric(10,2)", "12345678.25", "12345678.25", u"12345678.25", Currency{123456782500}},
      {"decimal(12,2)", "numeric(18,2)", "12.5", "1234567890123456.78", u"12.5", u"1234567890123456.78", true},
      {"timestamp", "timestamp", "'2024-01-31 13:05:07.25'", "'2024-01-31 13:05:07.25'", stamp, stamp},
      {"date", "date", "'2024-02-29'", "'2024-02-29'", date, date},
      {"boolean", "boolean", "1", "true", true, true},
      {"text", "text", "'" + kLong + "'", "'" + kLong + "'", u16(kLong), u16(kLong), true},
      {"varchar(20)", "varchar(20)", "'Grüße 日本 ✓'", "'Grüße 日本 ✓'", u"Grüße 日本 ✓", u"Grüße 日本 ✓", true},
      // SQLite does not hold text to its declared size.
      {"varchar(5)", "varchar(5)", "'longer than five'", "'abcde'", u"longer than five", u"abcde", true},
      // No declared type, and a numeric with no precision, have no size to size a buffer by.
      {"", "numeric", "'free text'", "123456789012345678901234567890.5", u"free text",
       u"123456789012345678901234567890.5", true},
      {"blob", "bytea", "x'00ff41'", "'\\x00ff41'", Variant(), Variant()},
  };
}

class Fetch : public DatabaseTest {
 protected:
  ObjRef open(const std::string& sql, int location = 3) {
    ObjRef conn = newConnection();
    callMethod(conn, "Open", {Variant(("DSN=" + db.dsn + ";").c_str())});
    ObjRef rs = newRecordset();
    putProperty(rs, "CursorLocation", int16_t(location));
    callMethod(rs, "Open", {Variant(sql.c_str()), Variant(conn), int16_t(0), int16_t(1)});
    return rs;
  }
  static ObjRef field(const ObjRef& rs, int j) { return objectOf(getProperty(rs, "", {Variant(int16_t(j))})); }
  static Variant value(const ObjRef& rs, int j) { return getProperty(field(rs, j), "Value"); }
  static int type(const ObjRef& rs, int j) { return toI4(getProperty(field(rs, j), "Type")); }
  // The first column of the query's first row as the database's own tool prints it.
  std::string byTheTool(const std::string& sql) {
    if (postgres()) return db.sql(sql + ";");
    return tlxtest::shell("/usr/bin/python3 -c \"import sqlite3,sys; print(sqlite3.connect(sys.argv[1]).execute("
                          "sys.argv[2]).fetchone()[0])\" " +
                          tlxtest::shellQuote(db.file) + " " + tlxtest::shellQuote(sql));
  }
};

TEST_P(Fetch, EveryTypeAndItsNullComeBackAsTheDatabaseHoldsThem) {
  const std::vector<Column> cols = columns();
  std::string create = "CREATE TABLE v (k integer", values = "1", names;
  for (size_t j = 0; j < cols.size(); ++j) {
    const std::string name = "c" + std::to_string(j);
    create += ", " + name + " " + (postgres() ? cols[j].pgType : cols[j].sqliteType);
    values += ", " + (postgres() ? cols[j].pgValue : cols[j].sqliteValue);
    names += (j ? ", " : "") + name;
  }
  db.sql(create + "); INSERT INTO v VALUES (" + values + "); INSERT INTO v (k) VALUES (2);");
  ObjRef rs = open("SELECT " + names + " FROM v ORDER BY k");
  for (size_t j = 0; j < cols.size(); ++j) {
    SCOPED_TRACE(cols[j].pgType);
    const Variant got = value(rs, static_cast<int>(j));
    if (cols[j].pgType == "bytea") {
      ASSERT_TRUE(got.isArray());
      EXPECT_EQ(got.arrayRef().elementType(), vtUI1);
      EXPECT_EQ(got.arrayRef().size(), 3u);
      EXPECT_EQ(got.arrayRef().at(1), Variant(uint8_t(0xFF)));
      continue;
    }
    EXPECT_EQ(got, postgres() ? cols[j].pgExpected : cols[j].sqliteExpected);
    if (cols[j].textual) {
      EXPECT_EQ(u8(toBStr(got)) + "\n", byTheTool("SELECT c" + std::to_string(j) + " FROM v WHERE k = 1"));
    }
  }
  EXPECT_EQ(std::vector<int>({type(rs, 0), type(rs, 5), type(rs, 6)}), std::vector<int>({3, 135, 133}));
  if (postgres()) EXPECT_EQ(type(rs, 3), 131);
  EXPECT_EQ(toI4(getProperty(field(rs, 9), "ActualSize")), 10);  // UTF-16 units
  EXPECT_EQ(u8(toBStr(getProperty(field(rs, 9), "Name"))), "c9");
  callMethod(rs, "MoveNext");
  for (size_t j = 0; j < cols.size(); ++j) EXPECT_TRUE(value(rs, static_cast<int>(j)).isNull()) << cols[j].pgType;
}

// Rows of one integer come 1,024 to a block where the driver fetches blocks (psqlODBC): results
// of no rows, one, a block, a block and one, and two blocks and one, read by a client cursor and
// by a forward-only one, give what the database counts and sums.
TEST_P(Fetch, RowCountsAroundABlock) {
  db.sql("CREATE TABLE n (k integer);");
  int inserted = 0;
  for (int rows : {0, 1, 1024, 1025, 2049}) {
    db.sql("INSERT INTO n SELECT k FROM (" +
           std::string(postgres() ? "SELECT generate_series(" + std::to_string(inserted + 1) + ", " + std::to_string(rows) + ") AS k"
                                  : "WITH RECURSIVE c(k) AS (SELECT " + std::to_string(inserted + 1) +
                                        " UNION ALL SELECT k + 1 FROM c WHERE k < " + std::to_string(rows) + ") SELECT k FROM c") +
           ") s WHERE k > " + std::to_string(inserted) + " AND k <= " + std::to_string(rows) + ";");
    inserted = rows;
    SCOPED_TRACE(rows);
    const std::string sum = byTheTool("SELECT coalesce(sum(k), 0) FROM n");
    for (int location : {3, 2}) {
      ObjRef rs = open("SELECT k FROM n ORDER BY k", location);
      if (location == 3) {
        EXPECT_EQ(toI4(getProperty(rs, "RecordCount")), rows);
      }
      long long total = 0, count = 0;
      for (; !toBool(getProperty(rs, "EOF")); callMethod(rs, "MoveNext"), ++count) total += toI4(value(rs, 0));
      EXPECT_EQ(count, rows);
      EXPECT_EQ(std::to_string(total) + "\n", sum);
    }
  }
}

INSTANTIATE_DATABASE_TESTS(Fetch);

}  // namespace
