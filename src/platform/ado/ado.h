// The data-access component: "ADODB.Connection" and "ADODB.Recordset" over unixODBC.
//
// Connection: Open([ConnectionString], [UserID], [Password], [Options]), Close(), State,
//   ConnectionString (r/w), Execute(CommandText, [RecordsAffected], [Options]) (a forward-only,
//   read-only recordset; closed for a statement without rows), BeginTrans() (level 1),
//   CommitTrans(), RollbackTrans(), CursorLocation (r/w), ConnectionTimeout, CommandTimeout
//   (r/w, kept), Errors (Count, Item(i): Number, Description, Source, SQLState, NativeError;
//   Clear()).
// Recordset: CursorLocation, CacheSize, CursorType, LockType, Source, ActiveConnection (r/w),
//   Open([Source], [ActiveConnection], [CursorType], [LockType], [Options]), Close(), State,
//   RecordCount, BOF, EOF, MoveFirst(), MoveNext(), MovePrevious(), MoveLast(), Move(n),
//   AbsolutePosition (r/w), EditMode, Fields (default member; Fields(i) is the field itself),
//   AddNew([Fields], [Values]), Update([Fields], [Values]), Delete(), CancelUpdate(),
//   GetString([Format], [NumRows], [ColumnDelimiter], [RowDelimiter], [NullExpr]),
//   GetRows([Rows]).
// Fields: Count, Item(index from 0 | name) (default), enumeration.
// Field: Name, Value (default, r/w), Type, DefinedSize, ActualSize, Precision, NumericScale.
//
// A connection string is passed to the driver manager ("DSN=...;" or "Driver=...;"); a
// "Provider=" part naming the ODBC provider is dropped. A client cursor (CursorLocation 3) or a
// static, keyset or dynamic cursor reads every row when it opens and knows its RecordCount; a
// forward-only server cursor reads rows as it reaches them and reports -1. A recordset opened
// on a table name, or on a query of one table, with a lock type other than read-only writes its
// changes back with parameterised statements, inside the connection's transaction if one is open.
#pragma once

#include <memory>

#include "talvex/dispatch.h"

namespace tlx {

namespace platform::ado {
class RowSource;
}

// Registers both classes under their programmatic identifiers.
void registerDataAccess();

ObjRef newConnection();
ObjRef newRecordset();

// Opens `recordset` (one of ours) on rows from any source, e.g. a file read elsewhere; the
// recordset is then read-only with a client cursor.
void openRecordsetOn(const ObjRef& recordset, std::unique_ptr<platform::ado::RowSource> source);

}  // namespace tlx
