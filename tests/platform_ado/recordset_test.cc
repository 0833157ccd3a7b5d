// The data-access component against real databases: every type and its Null fetched in blocks
// into bound buffers, against what Python's sqlite3 module and psql -A give; cursors, changes
// written back, transactions, and a server lost in the middle of a transaction.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "talvex/convert.h"
#include "talvex/dispatch.h"
#include "automation/strings.h"
#include "automation/test_objects.h"
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

// The description of the error a call raises; "succeeded" when it raises none.
std::string failure(const std::function<void()>& call) {
  try {
    call();
  } catch (const ComError& e) {
    return e.description();
  }
  return "succeeded";
}

class Ado : public DatabaseTest {
 protected:
  ObjRef connect() {
    ObjRef c = newConnection();
    callMethod(c, "Open", {Variant(("DSN=" + db.dsn + ";").c_str())});
    return c;
  }
  // Opens `source` with the given cursor location, cursor type and lock type.
  ObjRef open(const ObjRef& conn, const std::string& source, int location = 3, int type = 0, int lock = 1) {
    ObjRef rs = newRecordset();
    putProperty(rs, "CursorLocation", int16_t(location));
    callMethod(rs, "Open", {Variant(source.c_str()), Variant(conn), int16_t(type), int16_t(lock)});
    return rs;
  }
  static ObjRef field(const ObjRef& rs, int j) { return objectOf(getProperty(rs, "", {Variant(int16_t(j))})); }
  static Variant value(const ObjRef& rs, int j) { return getProperty(field(rs, j), "Value"); }
  static void set(const ObjRef& rs, int j, Variant v) { putProperty(field(rs, j), "Value", std::move(v)); }
  static bool eof(const ObjRef& rs) { return toBool(getProperty(rs, "EOF")); }
  static int type(const ObjRef& rs, int j) { return toI4(getProperty(field(rs, j), "Type")); }
  // The first column of the query's first row as the database's own tool prints it.
  std::string byTheTool(const std::string& sql) {
    if (postgres()) return db.sql(sql + ";");
    return tlxtest::shell("/usr/bin/python3 -c \"import sqlite3,sys; print(sqlite3.connect(sys.argv[1]).execute("
                          "sys.argv[2]).fetchone()[0])\" " +
                          tlxtest::shellQuote(db.file) + " " + tlxtest::shellQuote(sql));
  }
};

TEST_P(Ado, EveryTypeAndItsNullComeBackAsTheDatabaseHoldsThem) {
  const std::vector<Column> cols = columns();
  std::string create = "CREATE TABLE v (k integer", values = "1", names;
  for (size_t j = 0; j < cols.size(); ++j) {
    const std::string name = "c" + std::to_string(j);
    create += ", " + name + " " + (postgres() ? cols[j].pgType : cols[j].sqliteType);
    values += ", " + (postgres() ? cols[j].pgValue : cols[j].sqliteValue);
    names += (j ? ", " : "") + name;
  }
  db.sql(create + "); INSERT INTO v VALUES (" + values + "); INSERT INTO v (k) VALUES (2);");
  ObjRef rs = open(connect(), "SELECT " + names + " FROM v ORDER BY k");
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
TEST_P(Ado, RowCountsAroundABlock) {
  db.sql("CREATE TABLE n (k integer);");
  int inserted = 0;
  for (int rows : {0, 1, 1024, 1025, 2049}) {
    const std::string to = std::to_string(rows);
    db.sql("WITH RECURSIVE c(k) AS (SELECT " + std::to_string(inserted + 1) + " UNION ALL SELECT k + 1 FROM c WHERE k < " +
           to + ") INSERT INTO n SELECT k FROM c WHERE k <= " + to + ";");
    inserted = rows;
    SCOPED_TRACE(rows);
    const std::string sum = byTheTool("SELECT coalesce(sum(k), 0) FROM n");
    for (int location : {3, 2}) {
      ObjRef rs = open(connect(), "SELECT k FROM n ORDER BY k", location);
      if (location == 3) EXPECT_EQ(toI4(getProperty(rs, "RecordCount")), rows);
      long long total = 0, count = 0;
      for (; !eof(rs); callMethod(rs, "MoveNext"), ++count) total += toI4(value(rs, 0));
      EXPECT_EQ(count, rows);
      EXPECT_EQ(std::to_string(total) + "\n", sum);
    }
  }
}

TEST_P(Ado, CursorsCountAndMoveAsTheirKindAllows) {
  db.sql("CREATE TABLE n (k integer); INSERT INTO n VALUES (1); INSERT INTO n VALUES (2); INSERT INTO n VALUES (3);");
  ObjRef conn = connect();
  ObjRef rs = open(conn, "SELECT k FROM n ORDER BY k", 3, 0, 1);
  EXPECT_EQ(toI4(getProperty(rs, "RecordCount")), 3);
  EXPECT_EQ(toI4(getProperty(rs, "CursorType")), 3);  // a client cursor is static

  // Execute gives a forward-only server cursor, which cannot count (its moves: cursor_test.cc).
  ObjRef fwd = objectOf(callMethod(conn, "Execute", {Variant("SELECT k FROM n ORDER BY k")}));
  EXPECT_EQ(toI4(getProperty(fwd, "RecordCount")), -1);
  EXPECT_THROW(callMethod(fwd, "MovePrevious"), ComError);

  ObjRef none = open(conn, "SELECT k FROM n WHERE k > 9");
  EXPECT_TRUE(eof(none));
  EXPECT_EQ(toI4(getProperty(objectOf(getProperty(none, "Fields")), "Count")), 1);

  // Statements without rows give a closed recordset and the rows they touched.
  Variant update(u"UPDATE n SET k = k + 10"), affected;
  ObjRef closed = objectOf(callByRef(conn, "Execute", {&update, &affected}));
  EXPECT_EQ(toI4(getProperty(closed, "State")), 0);
  EXPECT_EQ(affected, Variant(int32_t(3)));
}

TEST_P(Ado, ChangesReachTheTableAsValuesNotAsSql) {
  db.sql("CREATE TABLE p (id integer PRIMARY KEY, name varchar(80));"
         "INSERT INTO p VALUES (1, 'one'); INSERT INTO p VALUES (2, 'two');");
  ObjRef conn = connect();
  ObjRef rs = open(conn, "p", 3, 3, 3);
  const char* hostile = "x'); DROP TABLE p; --";
  callMethod(rs, "AddNew");
  set(rs, 0, int32_t(3));
  set(rs, 1, hostile);
  callMethod(rs, "Update");
  EXPECT_EQ(toI4(getProperty(rs, "RecordCount")), 3);
  callMethod(rs, "MoveFirst");
  set(rs, 1, "uno");
  callMethod(rs, "MoveNext");  // moving on stores the edit
  callMethod(rs, "Delete");
  callMethod(rs, "Close");
  EXPECT_EQ(db.sql("SELECT id, name FROM p ORDER BY id;"), std::string("1|uno\n3|") + hostile + "\n");
}

TEST_P(Ado, IdenticalRowsWithoutAKeyAreDeletedOneAtATime) {
  db.sql("CREATE TABLE d (a varchar(5), b integer);"
         "INSERT INTO d VALUES ('x', 1); INSERT INTO d VALUES ('x', 1); INSERT INTO d VALUES ('y', 2);");
  ObjRef rs = open(connect(), "SELECT a, b FROM d ORDER BY a", 3, 3, 3);
  callMethod(rs, "Delete");
  EXPECT_EQ(db.sql("SELECT a, b FROM d ORDER BY a;"), "x|1\ny|2\n");
  callMethod(rs, "MoveNext");
  set(rs, 1, int32_t(5));
  callMethod(rs, "Update");
  EXPECT_EQ(db.sql("SELECT a, b FROM d ORDER BY a;"), "x|5\ny|2\n");
  EXPECT_EQ(toI4(getProperty(rs, "RecordCount")), 2);
}

TEST_P(Ado, TransactionsCommitOrRollBackEveryChange) {
  db.sql("CREATE TABLE t (a varchar(10)); INSERT INTO t VALUES ('keep1'); INSERT INTO t VALUES ('keep2');");
  ObjRef conn = connect();
  for (bool commit : {false, true}) {
    EXPECT_EQ(callMethod(conn, "BeginTrans"), Variant(int32_t(1)));
    EXPECT_THROW(callMethod(conn, "BeginTrans"), ComError);
    ObjRef rs = open(conn, "t", 3, 3, 3);
    while (!eof(rs)) {
      callMethod(rs, "Delete");
      callMethod(rs, "MoveNext");
    }
    callMethod(rs, "AddNew", {Variant("a"), Variant("new")});
    callMethod(rs, "AddNew");
    set(rs, 0, "new2");
    callMethod(rs, "Update");
    callMethod(conn, commit ? "CommitTrans" : "RollbackTrans");
    EXPECT_EQ(db.sql("SELECT a FROM t ORDER BY a;"), commit ? "new\nnew2\n" : "keep1\nkeep2\n");
  }
  EXPECT_THROW(callMethod(conn, "CommitTrans"), ComError);
}

TEST_P(Ado, DriverMessagesReachTheCaller) {
  ObjRef conn = connect();
  EXPECT_NE(failure([&] { open(conn, "SELECT * FROM missing_table"); }).find("missing_table"), std::string::npos);
  ObjRef errors = objectOf(getProperty(conn, "Errors"));
  ASSERT_GE(toI4(getProperty(errors, "Count")), 1);
  EXPECT_FALSE(toBStr(getProperty(objectOf(getProperty(errors, "Item", {Variant(int32_t(0))})), "Description")).empty());

  ObjRef wrong = newConnection();
  EXPECT_NE(failure([&] { callMethod(wrong, "Open", {Variant("DSN=no_such_dsn;")}); }).find("not found"), std::string::npos);
  EXPECT_EQ(toI4(getProperty(wrong, "State")), 0);
}

TEST_P(Ado, ClosingTheConnectionClosesItsRecordsets) {
  db.sql("CREATE TABLE c (a integer); INSERT INTO c VALUES (1); INSERT INTO c VALUES (2);");
  ObjRef conn = connect();
  ObjRef fwd = objectOf(callMethod(conn, "Execute", {Variant("SELECT a FROM c")}));
  ObjRef stat = open(conn, "c", 3, 3, 3);
  ObjRef f = field(stat, 0);
  callMethod(conn, "Close");
  for (const ObjRef& rs : {fwd, stat}) {
    EXPECT_EQ(toI4(getProperty(rs, "State")), 0);
    EXPECT_EQ(errorOf([&] { getProperty(rs, "EOF"); }), hr::basicError(3704));
  }
  EXPECT_EQ(errorOf([&] { getProperty(f, "Value"); }), hr::basicError(3704));

  // A recordset that opened its own connection from a string closes it with itself.
  ObjRef own = newRecordset();
  callMethod(own, "Open", {Variant("SELECT a FROM c"), Variant(("DSN=" + db.dsn + ";").c_str())});
  ObjRef ownConn = objectOf(getProperty(own, "ActiveConnection"));
  callMethod(own, "Close");
  EXPECT_EQ(toI4(getProperty(ownConn, "State")), 0);
}

TEST_P(Ado, GetStringWritesRowsFromTheCurrentOne) {
  db.sql("CREATE TABLE g (a integer, b varchar(5)); INSERT INTO g VALUES (1, 'x'); INSERT INTO g VALUES (2, NULL);"
         "INSERT INTO g VALUES (3, 'z');");
  ObjRef rs = open(connect(), "SELECT a, b FROM g ORDER BY a");
  EXPECT_EQ(callMethod(rs, "GetString"), Variant(u"1\tx\r2\t\r3\tz\r"));
  EXPECT_TRUE(eof(rs));
  callMethod(rs, "MoveFirst");
  callMethod(rs, "MoveNext");
  EXPECT_EQ(callMethod(rs, "GetString", {int16_t(2), int16_t(1), Variant(u";"), Variant(u"|"), Variant(u"-")}),
            Variant(u"2;-|"));
  Variant rows = callMethod(rs, "GetRows");
  ASSERT_TRUE(rows.isArray());
  EXPECT_EQ(rows.arrayRef().at(0, 0), Variant(int32_t(3)));
}

// The server goes away in the middle of a transaction's inserts: the call fails, and the table
// holds none of the transaction's rows.
TEST_P(Ado, ALostServerLeavesNoneOfTheTransaction) {
  if (!postgres()) GTEST_SKIP() << "needs a server to lose";
  db.sql("CREATE TABLE big (n integer, s varchar(20));");
  bool failed = false;
  {
    ObjRef conn = connect();
    callMethod(conn, "BeginTrans");
    ObjRef rs = open(conn, "big", 3, 3, 3);
    try {
      for (int32_t i = 0; i < 2000; ++i) {
        if (i == 1000) db.server->stop(false, "immediate");
        callMethod(rs, "AddNew", {Variant(int32_t(0)), Variant(i)});
      }
      callMethod(conn, "CommitTrans");
    } catch (const ComError&) {
      failed = true;
    }
  }
  db.server->start();
  EXPECT_TRUE(failed);
  EXPECT_EQ(db.sql("SELECT count(*) FROM big;"), "0\n");
}

INSTANTIATE_DATABASE_TESTS(Ado);

}  // namespace
