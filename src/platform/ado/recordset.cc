#include <memory>

#include "talvex/convert.h"
#include "talvex/registry.h"
#include "automation/row_reader.h"
#include "automation/strings.h"
#include "platform/ado/ado.h"
#include "platform/ado/connection.h"
#include "platform/ado/cursor.h"
#include "platform/ado/xml_rows.h"

namespace tlx {

namespace platform::ado {

namespace {

enum CursorType : int32_t { adOpenForwardOnly = 0, adOpenKeyset = 1, adOpenDynamic = 2, adOpenStatic = 3 };
enum LockType : int32_t { adLockReadOnly = 1, adLockPessimistic = 2, adLockOptimistic = 3, adLockBatchOptimistic = 4 };

[[noreturn]] void itemNotFound() {
  throw ComError(hr::basicError(3265), "Item cannot be found in the collection corresponding to the requested name or ordinal.");
}

// A source that names a table rather than holding a statement: one word, maybe quoted or dotted.
bool namesTable(std::u16string_view s) {
  if (s.empty()) return false;
  for (char16_t c : s)
    if (c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'(' || c == u';' || c == u'*') return false;
  return true;
}

class Field : public Object<Field> {
 public:
  Field(std::shared_ptr<Cursor> cursor, size_t col) : cursor_(std::move(cursor)), col_(col) {}
  static const Members<Field>& members();
  std::string typeName() const override { return "Field"; }

  const ColumnInfo& info() const {
    cursor_->checkOpen();
    return cursor_->columns()[col_];
  }
  std::shared_ptr<Cursor> cursor_;
  size_t col_;
};

const Members<Field>& Field::members() {
  static const Members<Field> table = [] {
    Members<Field> m;
    m.property("Name", [](Field& f, Args&) { return Variant(f.info().name); });
    m.property(
        "Value", [](Field& f, Args&) { return f.cursor_->value(f.col_); },
        [](Field& f, Args&, const Variant& v) { f.cursor_->setValue(f.col_, v); });
    m.property("Type", [](Field& f, Args&) { return Variant(f.info().type); });
    m.property("DefinedSize", [](Field& f, Args&) { return Variant(f.info().definedSize); });
    m.property("ActualSize", [](Field& f, Args&) { return Variant(static_cast<int32_t>(f.cursor_->actualSize(f.col_))); });
    m.property("Precision", [](Field& f, Args&) { return Variant(static_cast<uint8_t>(f.info().precision)); });
    m.property("NumericScale", [](Field& f, Args&) { return Variant(static_cast<uint8_t>(f.info().scale)); });
    m.byDefault("Value");
    return m;
  }();
  return table;
}

class Fields : public Object<Fields> {
 public:
  explicit Fields(std::shared_ptr<Cursor> cursor) : cursor_(std::move(cursor)) {
    for (size_t c = 0; c < cursor_->width(); ++c) items_.push_back(ObjRef(makeRef<Field>(cursor_, c)));
  }
  static const Members<Fields>& members();
  std::string typeName() const override { return "Fields"; }
  std::vector<Variant> enumerate() override { return {items_.begin(), items_.end()}; }

  // By position from 0, or by name without regard to case.
  const ObjRef& item(const Variant& index) const {
    cursor_->checkOpen();
    if (index.isString()) {
      for (size_t c = 0; c < cursor_->width(); ++c)
        if (equalsNoCase(cursor_->columns()[c].name, index.str())) return items_[c];
      itemNotFound();
    }
    const int32_t i = toI4(index);
    if (i < 0 || static_cast<size_t>(i) >= items_.size()) itemNotFound();
    return items_[static_cast<size_t>(i)];
  }

 private:
  std::shared_ptr<Cursor> cursor_;
  std::vector<ObjRef> items_;
};

const Members<Fields>& Fields::members() {
  static const Members<Fields> table = [] {
    Members<Fields> m;
    m.property("Count", [](Fields& f, Args&) { return Variant(static_cast<int32_t>(f.enumerate().size())); });
    m.property("Item", [](Fields& f, Args& a) { return Variant(f.item(a[0])); }, {}, {"Index"});
    m.byDefault("Item");
    return m;
  }();
  return table;
}

class Recordset : public Object<Recordset>, public RowReader {
 public:
  static const Members<Recordset>& members();
  std::string typeName() const override { return "Recordset"; }
  // The driver's messages of a failed call are kept in the connection's Errors.
  template <class Call>
  auto guarded(Call&& call) -> decltype(call()) {
    try {
      return call();
    } catch (const OdbcError& e) {
      if (connection_) connection_->errors = e.records();
      throw;
    }
  }
  Variant invoke(std::string_view member, InvokeKind kind, DispParams& params) override {
    return guarded([&] { return Object<Recordset>::invoke(member, kind, params); });
  }
  void readRows(const std::function<void(Variant*)>& visit) override { guarded([&] { cursor().readRows(visit); }); }

  bool isOpen() const { return cursor_ && !cursor_->closed; }
  Cursor& cursor() const {
    if (!isOpen()) raiseClosed();
    return *cursor_;
  }
  void requireClosed() const {
    if (isOpen()) raiseOpen();
  }

  void open(const Variant& source, const Variant& connection, const Variant& cursorType, const Variant& lockType);
  void openOn(std::unique_ptr<RowSource> rows, bool forwardOnly);
  void openQuery();
  void openXmlFile();
  void close() {
    cursor().close();
    cursor_.reset();
    fields_.reset();
    // A connection opened from a connection string belongs to the recordset.
    if (ownsConnection_) connection_->close();
    if (ownsConnection_) connection_.reset();
    ownsConnection_ = false;
  }
  void setConnection(const Variant& v);
  const ObjRef& fields() {
    cursor();
    if (!fields_) fields_ = ObjRef(makeRef<Fields>(cursor_));
    return fields_;
  }
  BStr getString(const Variant& format, int32_t rows, const BStr& column, const BStr& row, const BStr& null);
  Variant getRows(int32_t rows);

  int32_t cursorLocation = adUseServer;
  int32_t cacheSize = 1;
  int32_t cursorType = adOpenForwardOnly;
  int32_t lockType = adLockReadOnly;
  BStr source;
  BStr connectionText;  // a connection string given instead of an object
  bool xmlSource = false;  // connectionText names the XML data source

 private:
  Ref<Connection> connection_;
  bool ownsConnection_ = false;
  std::shared_ptr<Cursor> cursor_;
  ObjRef fields_;
};

void Recordset::setConnection(const Variant& v) {
  requireClosed();
  ownsConnection_ = false;
  if (v.isObject() && !v.obj()) {
    connection_.reset();
  } else if (v.isObject()) {
    connection_ = refCast<Connection>(v.obj());
    if (!connection_) throw ComError(hr::basicError(3001), "The connection object is not one this recordset can use.");
  } else {
    BStr text = toBStr(v);
    const XmlProvider xml = xmlProviderOf(text);
    if (xml == XmlProvider::Unavailable)
      throw ComError(hr::basicError(3706), "Provider cannot be found. It may not be properly installed.");
    connection_.reset();
    connectionText = std::move(text);
    xmlSource = xml == XmlProvider::Available;
    return;
  }
  xmlSource = false;
}

void Recordset::open(const Variant& src, const Variant& connection, const Variant& type, const Variant& lock) {
  requireClosed();
  if (!src.isMissing()) source = toBStr(src);
  if (!connection.isMissing()) setConnection(connection);
  if (!type.isMissing()) cursorType = toI4(type);
  if (!lock.isMissing()) lockType = toI4(lock);
  if (!connection_ && xmlSource) return openXmlFile();
  if (!connection_) {
    if (connectionText.empty()) throw ComError(hr::basicError(3709), "The connection cannot be used to perform this operation. It is either closed or invalid in this context.");
    auto own = makeRef<Connection>();
    own->open(Variant(connectionText), Variant::missing(), Variant::missing());
    connection_ = own;
    ownsConnection_ = true;
  }
  try {
    openQuery();
  } catch (...) {
    if (ownsConnection_) {
      connection_->close();
      connection_.reset();
      ownsConnection_ = false;
    }
    throw;
  }
}

void Recordset::openQuery() {
  const std::shared_ptr<Link>& link = connection_->link();
  const bool table = namesTable(source);
  std::u16string sql = table ? u"SELECT * FROM " + std::u16string(source.view()) : std::u16string(source.view());
  auto query = std::make_unique<QuerySource>(link, std::move(sql));
  if (!query->hasResult()) throw ComError(hr::E_FAIL, "The statement returned no rows to open a recordset on.");
  std::unique_ptr<TableWriter> writer;
  if (lockType != adLockReadOnly) {
    if (table)
      writer = std::make_unique<TableWriter>(link, source, true, query->columns());
    else if (!query->baseTable().empty())
      writer = std::make_unique<TableWriter>(link, query->baseTable(), false, query->columns());
  }
  const bool forwardOnly = cursorLocation != adUseClient && cursorType == adOpenForwardOnly;
  openOn(std::move(query), forwardOnly);
  cursor_->writer = std::move(writer);
  if (!forwardOnly) cursorType = adOpenStatic;
}

// An XML table file: every row read now, read-only, as a client cursor reads.
void Recordset::openXmlFile() {
  auto rows = xmlFileRows(source);
  cursorLocation = adUseClient;
  lockType = adLockReadOnly;
  openOn(std::move(rows), false);
  cursorType = adOpenStatic;
}

void Recordset::openOn(std::unique_ptr<RowSource> rows, bool forwardOnly) {
  requireClosed();
  cursor_ = std::make_shared<Cursor>(std::move(rows), forwardOnly);
  fields_.reset();
  if (connection_) connection_->track(cursor_);
}

// Text of the rows from the current one on; the cursor ends after the last row written.
BStr Recordset::getString(const Variant& format, int32_t rows, const BStr& column, const BStr& row, const BStr& null) {
  Cursor& c = cursor();
  if (!format.isMissing() && toI4(format) != 2) throw ComError(hr::E_INVALIDARG, "Only the text format (2) is supported.");
  if (c.eof()) throw ComError(hr::basicError(3021), "Either BOF or EOF is True, or the current record has been deleted. Requested operation requires a current record.");
  std::u16string out;
  for (int32_t n = 0; !c.eof() && (rows < 0 || n < rows); ++n) {
    for (size_t f = 0; f < c.width(); ++f) {
      const Variant v = c.value(f);
      out += v.isNull() || v.isEmpty() ? null.view() : toBStr(v).view();
      out += f + 1 < c.width() ? column.view() : row.view();
    }
    c.moveNext();
  }
  return BStr(out);
}

// Rows as a (field, row) array, as many as asked for (all when negative).
Variant Recordset::getRows(int32_t rows) {
  Cursor& c = cursor();
  std::vector<std::vector<Variant>> taken;
  while (!c.eof() && (rows < 0 || static_cast<int32_t>(taken.size()) < rows)) {
    auto& r = taken.emplace_back();
    for (size_t f = 0; f < c.width(); ++f) r.push_back(c.value(f));
    c.moveNext();
  }
  auto array = SafeArray::matrix(static_cast<int32_t>(c.width()), static_cast<int32_t>(taken.size()));
  for (size_t r = 0; r < taken.size(); ++r)
    for (size_t f = 0; f < c.width(); ++f) array->at(static_cast<int32_t>(f), static_cast<int32_t>(r)) = std::move(taken[r][f]);
  return Variant(std::move(array));
}

Variant none() { return Variant(); }

// AddNew and Update may take field names or positions and their values: one each, or arrays.
void assignFields(Recordset& rs, const Variant& names, const Variant& values) {
  auto& fields = static_cast<Fields&>(*rs.fields());
  auto put = [&](const Variant& name, const Variant& value) { putProperty(fields.item(name), "Value", value); };
  if (names.isArray() != values.isArray()) throw ComError(hr::E_INVALIDARG, "Fields and values must both be lists or both single");
  if (!names.isArray()) return put(names, values);
  const auto& n = names.arrayRef().elements();
  const auto& v = values.arrayRef().elements();
  if (n.size() != v.size()) throw ComError(hr::E_INVALIDARG, "As many values as fields are needed");
  for (size_t i = 0; i < n.size(); ++i) put(n[i], v[i]);
}

const Members<Recordset>& Recordset::members() {
  static const Members<Recordset> table = [] {
    using R = Recordset;
    Members<R> m;
    auto intProperty = [&m](const char* name, int32_t R::*field, auto check) {
      m.property(
          name, [field](R& r, Args&) { return Variant(r.*field); },
          [field, check](R& r, Args&, const Variant& v) {
            r.requireClosed();
            int32_t value = toI4(v);
            check(value);
            r.*field = value;
          });
    };
    intProperty("CursorLocation", &R::cursorLocation, [](int32_t& v) { v = v == adUseClient ? adUseClient : adUseServer; });
    intProperty("CursorType", &R::cursorType, [](int32_t& v) {
      if (v < adOpenForwardOnly || v > adOpenStatic) throw ComError(hr::E_INVALIDARG, "Unknown cursor type");
    });
    intProperty("LockType", &R::lockType, [](int32_t& v) {
      if (v < adLockReadOnly || v > adLockBatchOptimistic) throw ComError(hr::E_INVALIDARG, "Unknown lock type");
    });
    m.property(
        "CacheSize", [](R& r, Args&) { return Variant(r.cacheSize); },
        [](R& r, Args&, const Variant& v) {
          int32_t n = toI4(v);
          if (n < 1) throw ComError(hr::E_INVALIDARG, "The cache size must be at least 1");
          r.cacheSize = n;
        });
    m.property(
        "Source", [](R& r, Args&) { return Variant(r.source); },
        [](R& r, Args&, const Variant& v) {
          r.requireClosed();
          r.source = toBStr(v);
        });
    m.property(
        "ActiveConnection",
        [](R& r, Args&) { return r.connection_ ? Variant(ObjRef(r.connection_)) : Variant(ObjRef()); },
        [](R& r, Args&, const Variant& v) { r.setConnection(v); });
    m.method("Open", {"Source", "ActiveConnection", "CursorType", "LockType", "Options"}, [](R& r, Args& a) {
      r.open(a.value(0, Variant::missing()), a.value(1, Variant::missing()), a.value(2, Variant::missing()),
             a.value(3, Variant::missing()));
      return none();
    });
    m.method("Close", {}, [](R& r, Args&) {
      r.close();
      return none();
    });
    m.property("State", [](R& r, Args&) { return Variant(r.isOpen() ? int32_t(adStateOpen) : int32_t(adStateClosed)); });
    m.property("RecordCount", [](R& r, Args&) { return Variant(r.cursor().recordCount()); });
    m.property("BOF", [](R& r, Args&) { return Variant(r.cursor().bof()); });
    m.property("EOF", [](R& r, Args&) { return Variant(r.cursor().eof()); });
    m.property("EditMode", [](R& r, Args&) { return Variant(r.cursor().editMode()); });
    m.property(
        "AbsolutePosition", [](R& r, Args&) { return Variant(r.cursor().absolutePosition()); },
        [](R& r, Args&, const Variant& v) { r.cursor().moveTo(toI4(v)); });
    auto step = [&m](const char* name, void (Cursor::*move)()) {
      m.method(name, {}, [move](R& r, Args&) {
        (r.cursor().*move)();
        return none();
      });
    };
    step("MoveFirst", &Cursor::moveFirst);
    step("MoveLast", &Cursor::moveLast);
    step("MoveNext", &Cursor::moveNext);
    step("MovePrevious", &Cursor::movePrevious);
    step("CancelUpdate", &Cursor::cancelUpdate);
    m.method("Move", {"NumRecords", "Start"}, [](R& r, Args& a) {
      int32_t n = toI4(a[0]);
      for (; n > 0; --n) r.cursor().moveNext();
      for (; n < 0; ++n) r.cursor().movePrevious();
      return none();
    });
    m.method("Delete", {"AffectRecords"}, [](R& r, Args&) {
      r.cursor().remove();
      return none();
    });
    m.method("AddNew", {"FieldList", "Values"}, [](R& r, Args& a) {
      r.cursor().addNew();
      if (a.has(0)) {
        assignFields(r, a[0], a.value(1));
        r.cursor().update();
      }
      return none();
    });
    m.method("Update", {"Fields", "Values"}, [](R& r, Args& a) {
      if (a.has(0)) assignFields(r, a[0], a.value(1));
      r.cursor().update();
      return none();
    });
    // Without an index: the collection; with one, the field itself (the default member's chain).
    m.property("Fields", [](R& r, Args& a) {
      const ObjRef& f = r.fields();
      return a.has(0) ? Variant(static_cast<Fields&>(*f).item(a[0])) : Variant(f);
    }, {}, {"Index"});
    m.method("GetString", {"StringFormat", "NumRows", "ColumnDelimeter", "RowDelimeter", "NullExpr"}, [](R& r, Args& a) {
      return Variant(r.getString(a.value(0, Variant::missing()), toI4(a.value(1, Variant(int32_t(-1)))),
                                 toBStr(a.value(2, Variant(u"\t"))), toBStr(a.value(3, Variant(u"\r"))),
                                 toBStr(a.value(4, Variant(u"")))));
    });
    m.method("GetRows", {"Rows", "Start", "Fields"}, [](R& r, Args& a) {
      return r.getRows(toI4(a.value(0, Variant(int32_t(-1)))));
    });
    m.byDefault("Fields");
    return m;
  }();
  return table;
}

}  // namespace

Variant Connection::execute(const BStr& sql, Variant* recordsAffected) {
  auto query = std::make_unique<QuerySource>(link(), std::u16string(sql.view()));
  if (recordsAffected) *recordsAffected = Variant(static_cast<int32_t>(query->hasResult() ? -1 : query->rowsAffected()));
  auto rs = makeRef<Recordset>();
  rs->source = sql;
  rs->setConnection(Variant(ObjRef(Ref<Connection>(this))));
  if (query->hasResult()) rs->openOn(std::move(query), cursorLocation != adUseClient);
  return Variant(ObjRef(rs));
}

}  // namespace platform::ado

ObjRef newConnection() { return ObjRef(makeRef<platform::ado::Connection>()); }
ObjRef newRecordset() { return ObjRef(makeRef<platform::ado::Recordset>()); }

void openRecordsetOn(const ObjRef& recordset, std::unique_ptr<platform::ado::RowSource> source) {
  auto rs = refCast<platform::ado::Recordset>(recordset);
  if (!rs) throw ComError(hr::E_INVALIDARG, "Not a recordset of this component");
  rs->cursorLocation = platform::ado::adUseClient;
  rs->openOn(std::move(source), false);
  rs->cursorType = 3;
}

void registerDataAccess() {
  registerClass("ADODB.Connection", newConnection);
  registerClass("ADODB.Recordset", newRecordset);
}

}  // namespace tlx
