#include "data/database_query.h"

#include "automation/frame.h"
#include "talvex/registry.h"
#include "data/data.h"

namespace tlx {

namespace {

constexpr int16_t kCacheSize = 20;

}  // namespace

void callQuietly(const ObjRef& obj, std::string_view member) {
  ErrorFrame f;
  f.step([&] { callMethod(obj, member); });
}

DatabaseQuery::Failure DatabaseQuery::open(const BStr& dsn, const BStr& user, const BStr& password,
                                           const BStr& source, int16_t cursorType, int16_t lockType) {
  ErrorFrame f;
  f.enter();
  f.step([&] { conn = createObject("ADODB.Connection"); });
  f.step([&] { callMethod(conn, "Open", {Variant(odbcConnectionString(dsn, user, password))}); });
  if (f.pending()) return kConnection;
  f.step([&] { rs = createObject("ADODB.Recordset"); });
  f.step([&] { putProperty(rs, "CursorLocation", adUseClient); });
  f.step([&] { putProperty(rs, "CacheSize", kCacheSize); });
  f.step([&] { callMethod(rs, "Open", {Variant(source), Variant(conn), cursorType, lockType}); });
  if (!f.pending()) return kNone;
  callQuietly(conn, "Close");
  return kQuery;
}

void DatabaseQuery::close() {
  callMethod(rs, "Close");
  callMethod(conn, "Close");
}

void DatabaseQuery::closeAfterFailure() {
  callQuietly(rs, "Close");
  callQuietly(conn, "Close");
}

}  // namespace tlx
