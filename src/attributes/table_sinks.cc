// The table sinks of the attribute walk: rows added to a recordset the caller holds, or to a
// table reached by DSN. One transaction per call: the overwrite deletions and the new rows are
// committed together, and the first failure rolls all of them back.
#include "attributes/attribute_methods.h"
#include "attributes/attribute_walk.h"
#include "talvex/convert.h"
#include "cad/acad_steps.h"
#include "data/database_query.h"

namespace tlx {

using namespace attributes;

namespace {

// Each record as a new row, its fields filled by position. A record without a found tag under
// *SUPPRESS is cancelled: left pending, the next AddNew would store it.
class RecordsetRows : public RecordSink {
 public:
  RecordsetRows(const ObjRef& rs, bool suppress) : rs_(rs), suppress_(suppress) {}

  void beginRecord() override {
    callMethod(rs_, "AddNew");
    index_ = 0;
  }
  void field(std::u16string_view, const Variant* value) override {
    ObjRef fields = objectOf(getProperty(rs_, "Fields"));
    putProperty(objectOf(getProperty(fields, "Item", {Variant(index_++)})), "Value",
                value ? *value : Variant::null());
  }
  void endRecord(bool found) override { callMethod(rs_, suppress_ && !found ? "CancelUpdate" : "Update"); }

 private:
  ObjRef rs_;
  bool suppress_;
  int32_t index_ = 0;
};

void deleteToEnd(const ObjRef& rs) {
  while (!toBool(getProperty(rs, "EOF"))) {
    callMethod(rs, "Delete");
    callMethod(rs, "MoveNext");
  }
}

// Trap mode from BeginTrans on: any failure leaves this by an exception.
int16_t storeRecords(const AcadContext& ctx, const ExtractionTemplate& t, const ObjRef& conn, const ObjRef& rs,
                     bool overwrite, bool fromFirstRow) {
  callMethod(conn, "BeginTrans");
  if (overwrite) {
    if (fromFirstRow) callMethod(rs, "MoveFirst");
    deleteToEnd(rs);
  }
  WalkSteps steps(WalkSteps::StopAtFirstFailure);
  RecordsetRows rows(rs, t.Suppress);
  int16_t count = harvestAttributes(ctx, t, steps, rows);
  callMethod(conn, "CommitTrans");
  return count;
}

// A row half filled when the walk stopped is dropped too, so that no later move of the
// recordset stores it outside the rolled-back transaction.
void rollBack(const ObjRef& conn, const ObjRef& rs) {
  callQuietly(rs, "CancelUpdate");
  callQuietly(conn, "RollbackTrans");
}

}  // namespace

int16_t AttributesToRecordset(const AcadContext& ctx, const ExtractionTemplate& ExtractionTemplate, const ObjRef& objConn,
                              const ObjRef& objRecd, bool blnOverwrite) {
  ErrorFrame f;
  if (int16_t code = cad::guardCode(ctx, f)) return code;
  try {
    return storeRecords(ctx, ExtractionTemplate, objConn, objRecd, blnOverwrite, true);
  } catch (...) {
    rollBack(objConn, objRecd);
    return -3;
  }
}

int16_t AttributesToDatabaseTable(const AcadContext& ctx, const ExtractionTemplate& ExtractionTemplate,
                                  const BStr& strDSN, const BStr& strTable, const BStr& strUserID,
                                  const BStr& strPassword, bool blnOverwrite) {
  ErrorFrame f;
  if (int16_t code = cad::guardCode(ctx, f)) return code;
  DatabaseQuery table;
  if (auto failed = table.open(strDSN, strUserID, strPassword, strTable, adOpenStatic, adLockOptimistic))
    return failed == DatabaseQuery::kConnection ? -3 : -4;
  try {
    // The recordset is at its first row after opening.
    int16_t count = storeRecords(ctx, ExtractionTemplate, table.conn, table.rs, blnOverwrite, false);
    table.close();
    return count;
  } catch (...) {
    rollBack(table.conn, table.rs);
    table.closeAfterFailure();
    return -5;
  }
}

}  // namespace tlx
