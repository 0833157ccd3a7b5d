#include "platform/ado/connection.h"

#include "talvex/convert.h"
#include "talvex/registry.h"
#include "automation/strings.h"
#include "platform/ado/ado.h"
#include "platform/ado/cursor.h"
#include "platform/ado/odbc_rows.h"

namespace tlx::platform::ado {

namespace {

constexpr HRESULT kClosed = hr::basicError(3704);
constexpr HRESULT kOpen = hr::basicError(3705);

// The parts of a connection string without a "Provider=" naming the ODBC provider itself.
std::u16string withoutProvider(std::u16string_view s) {
  std::u16string out;
  size_t start = 0;
  while (start < s.size()) {
    size_t end = s.find(u';', start);
    if (end == s.npos) end = s.size();
    std::u16string_view part = s.substr(start, end - start);
    // A braced value may hold ';': copy it whole.
    if (size_t brace = part.find(u"={"); brace != part.npos) {
      size_t close = s.find(u'}', start + brace);
      while (close != s.npos && close + 1 < s.size() && s[close + 1] == u'}') close = s.find(u'}', close + 2);
      end = close == s.npos ? s.size() : s.find(u';', close);
      if (end == s.npos) end = s.size();
      part = s.substr(start, end - start);
    }
    BStr key = lcase(trimSpaces(part.substr(0, part.find(u'='))));
    bool provider = key == std::u16string_view(u"provider") &&
                    lcase(part.substr(part.find(u'=') + 1)).view().starts_with(u"msdasql");
    if (!provider && !part.empty()) out.append(part).append(u";");
    start = end + 1;
  }
  return out;
}

// A value for a connection string: braced when it holds a character that would end it.
std::u16string attributeValue(std::u16string_view v) {
  if (v.find_first_of(u";{}") == v.npos && (v.empty() || (v.front() != u' ' && v.back() != u' ')))
    return std::u16string(v);
  std::u16string out = u"{";
  for (char16_t c : v) {
    out += c;
    if (c == u'}') out += u'}';
  }
  return out + u"}";
}

class ErrorObject : public Object<ErrorObject> {
 public:
  explicit ErrorObject(Diagnostic d) : d_(std::move(d)) {}
  static const Members<ErrorObject>& members() {
    static const Members<ErrorObject> table = [] {
      Members<ErrorObject> m;
      m.property("Number", [](ErrorObject&, Args&) { return Variant(hr::E_FAIL); });
      m.property("Description", [](ErrorObject& e, Args&) { return Variant(e.d_.text.c_str()); });
      m.property("Source", [](ErrorObject&, Args&) { return Variant("ADODB.Connection"); });
      m.property("SQLState", [](ErrorObject& e, Args&) { return Variant(e.d_.state.c_str()); });
      m.property("NativeError", [](ErrorObject& e, Args&) { return Variant(e.d_.native); });
      m.byDefault("Description");
      return m;
    }();
    return table;
  }

 private:
  Diagnostic d_;
};

class ErrorsObject : public Object<ErrorsObject> {
 public:
  explicit ErrorsObject(Ref<Connection> owner) : owner_(std::move(owner)) {}
  static const Members<ErrorsObject>& members() {
    static const Members<ErrorsObject> table = [] {
      Members<ErrorsObject> m;
      m.property("Count", [](ErrorsObject& e, Args&) { return Variant(static_cast<int32_t>(e.owner_->errors.size())); });
      m.property("Item", [](ErrorsObject& e, Args& a) { return e.item(toI4(a[0])); }, {}, {"Index"});
      m.method("Clear", {}, [](ErrorsObject& e, Args&) {
        e.owner_->errors.clear();
        return Variant();
      });
      m.byDefault("Item");
      return m;
    }();
    return table;
  }
  std::vector<Variant> enumerate() override {
    std::vector<Variant> out;
    for (size_t i = 0; i < owner_->errors.size(); ++i) out.push_back(item(static_cast<int32_t>(i)));
    return out;
  }

 private:
  Variant item(int32_t i) {
    if (i < 0 || static_cast<size_t>(i) >= owner_->errors.size())
      throw ComError(hr::basicError(3265), "Item cannot be found in the collection");
    return Variant(ObjRef(makeRef<ErrorObject>(owner_->errors[static_cast<size_t>(i)])));
  }
  Ref<Connection> owner_;
};

}  // namespace

void raiseClosed() { throw ComError(kClosed, "Operation is not allowed when the object is closed."); }
void raiseOpen() { throw ComError(kOpen, "Operation is not allowed when the object is open."); }

Variant Connection::invoke(std::string_view member, InvokeKind kind, DispParams& params) {
  try {
    return Object<Connection>::invoke(member, kind, params);
  } catch (const OdbcError& e) {
    errors = e.records();
    throw;
  }
}

void Connection::open(const Variant& cs, const Variant& user, const Variant& password) {
  if (isOpen()) raiseOpen();
  if (!cs.isMissing()) connectionString = toBStr(cs);
  std::u16string text = withoutProvider(connectionString);
  if (!user.isMissing() && !toBStr(user).empty()) text += u"UID=" + attributeValue(toBStr(user)) + u";";
  if (!password.isMissing() && !toBStr(password).empty()) text += u"PWD=" + attributeValue(toBStr(password)) + u";";
  auto link = std::make_shared<Link>();
  link->connect(std::move(text));
  link_ = std::move(link);
  errors.clear();
}

void Connection::track(const std::shared_ptr<Cursor>& cursor) {
  std::erase_if(cursors_, [](const std::weak_ptr<Cursor>& c) { return c.expired(); });
  cursors_.push_back(cursor);
}

void Connection::close() {
  if (!isOpen()) raiseClosed();
  for (auto& c : cursors_)
    if (auto cursor = c.lock()) cursor->close();
  cursors_.clear();
  link_->disconnect();
  link_.reset();
}

const std::shared_ptr<Link>& Connection::link() const {
  if (!isOpen()) raiseClosed();
  return link_;
}

const Members<Connection>& Connection::members() {
  static const Members<Connection> table = [] {
    Members<Connection> m;
    m.method("Open", {"ConnectionString", "UserID", "Password", "Options"}, [](Connection& c, Args& a) {
      c.open(a.value(0, Variant::missing()), a.value(1, Variant::missing()), a.value(2, Variant::missing()));
      return Variant();
    });
    m.method("Close", {}, [](Connection& c, Args&) {
      c.close();
      return Variant();
    });
    m.property("State", [](Connection& c, Args&) { return Variant(c.isOpen() ? int32_t(adStateOpen) : int32_t(adStateClosed)); });
    m.property(
        "ConnectionString", [](Connection& c, Args&) { return Variant(c.connectionString); },
        [](Connection& c, Args&, const Variant& v) {
          if (c.isOpen()) raiseOpen();
          c.connectionString = toBStr(v);
        });
    m.method("Execute", {"CommandText", "RecordsAffected", "Options"}, [](Connection& c, Args& a) {
      return c.execute(toBStr(a[0]), a.has(1) ? &a[1] : nullptr);
    });
    m.method("BeginTrans", {}, [](Connection& c, Args&) {
      if (c.link()->inTransaction())
        throw ComError(hr::E_FAIL, "Only one transaction at a time can be open on a connection");
      c.link()->beginTransaction();
      return Variant(int32_t(1));
    });
    m.method("CommitTrans", {}, [](Connection& c, Args&) {
      if (!c.link()->inTransaction()) throw ComError(hr::E_FAIL, "No transaction is open");
      c.link()->endTransaction(true);
      return Variant();
    });
    m.method("RollbackTrans", {}, [](Connection& c, Args&) {
      if (!c.link()->inTransaction()) throw ComError(hr::E_FAIL, "No transaction is open");
      c.link()->endTransaction(false);
      return Variant();
    });
    m.property(
        "CursorLocation", [](Connection& c, Args&) { return Variant(c.cursorLocation); },
        [](Connection& c, Args&, const Variant& v) { c.cursorLocation = toI4(v) == adUseClient ? adUseClient : adUseServer; });
    m.property(
        "ConnectionTimeout", [](Connection& c, Args&) { return Variant(c.connectionTimeout); },
        [](Connection& c, Args&, const Variant& v) { c.connectionTimeout = toI4(v); });
    m.property(
        "CommandTimeout", [](Connection& c, Args&) { return Variant(c.commandTimeout); },
        [](Connection& c, Args&, const Variant& v) { c.commandTimeout = toI4(v); });
    m.property("Errors", [](Connection& c, Args&) {
      return Variant(ObjRef(makeRef<ErrorsObject>(Ref<Connection>(&c))));
    });
    return m;
  }();
  return table;
}

}  // namespace tlx::platform::ado
