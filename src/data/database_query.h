// A connection opened by DSN and one recordset on it, for the methods that own both for the
// length of one call. Reached through the data-access objects by member name only.
#pragma once

#include <cstdint>

#include "talvex/dispatch.h"
#include "talvex/variant.h"

namespace tlx {

constexpr int16_t adUseClient = 3;
constexpr int16_t adOpenForwardOnly = 0;
constexpr int16_t adOpenStatic = 3;
constexpr int16_t adLockReadOnly = 1;
constexpr int16_t adLockOptimistic = 3;

// Calls a member on the way out of a trap: a failure here changes nothing more.
void callQuietly(const ObjRef& obj, std::string_view member);

struct DatabaseQuery {
  enum Failure { kNone, kConnection, kQuery };

  // Continue-on-error steps: a new connection opened with the connection string, then the
  // recordset (client cursor, cache of 20) on `source`. A recordset that fails to open closes
  // the connection.
  Failure open(const BStr& dsn, const BStr& user, const BStr& password, const BStr& source,
               int16_t cursorType = adOpenForwardOnly, int16_t lockType = adLockReadOnly);
  void close();
  void closeAfterFailure();

  ObjRef conn, rs;
};

}  // namespace tlx
