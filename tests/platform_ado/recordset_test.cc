// The data-access component against real databases: cursors, changes written back, transactions,
// and a server lost in the middle of a transaction. Values and their types: fetch_test.cc.
#include <gtest/gtest.h>

#include <string>

#include "talvex/convert.h"
#include "talvex/dispatch.h"
#include "automation/strings.h"
#include "automation/test_objects.h"
#include "platform/ado/ado.h"
#include "support/database_fixture.h"

using namespace tlx;
using tlxtest::DatabaseTest;

namespace {

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
};

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
  try {
    open(conn, "SELECT * FROM missing_table");
    FAIL() << "opened a missing table";
  } catch (const ComError& e) {
    EXPECT_NE(e.description().find("missing_table"), std::string::npos) << e.description();
  }
  ObjRef errors = objectOf(getProperty(conn, "Errors"));
  ASSERT_GE(toI4(getProperty(errors, "Count")), 1);
  EXPECT_FALSE(toBStr(getProperty(objectOf(getProperty(errors, "Item", {Variant(int32_t(0))})), "Description")).empty());

  ObjRef wrong = newConnection();
  try {
    callMethod(wrong, "Open", {Variant("DSN=no_such_dsn;")});
    FAIL() << "connected to a missing DSN";
  } catch (const ComError& e) {
    EXPECT_NE(e.description().find("not found"), std::string::npos) << e.description();
  }
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
