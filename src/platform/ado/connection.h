// The Connection object, shared by the recordsets opened on it.
#pragma once

#include <memory>
#include <vector>

#include "talvex/dispatch.h"
#include "platform/ado/odbc.h"

namespace tlx::platform::ado {
class Cursor;
}

namespace tlx::platform::ado {

enum ObjectState : int32_t { adStateClosed = 0, adStateOpen = 1 };
enum CursorLocation : int32_t { adUseServer = 2, adUseClient = 3 };

[[noreturn]] void raiseClosed();
[[noreturn]] void raiseOpen();

class Connection : public Object<Connection> {
 public:
  static const Members<Connection>& members();
  std::string typeName() const override { return "Connection"; }
  Variant invoke(std::string_view member, InvokeKind kind, DispParams& params) override;

  void open(const Variant& connectionString, const Variant& user, const Variant& password);
  void close();
  bool isOpen() const { return link_ && link_->connected(); }
  // The open link; raises when the connection is closed.
  const std::shared_ptr<Link>& link() const;
  Variant execute(const BStr& sql, Variant* recordsAffected);
  // Recordsets open on this connection are closed with it.
  void track(const std::shared_ptr<Cursor>& cursor);

  BStr connectionString;
  int32_t cursorLocation = adUseServer;
  int32_t connectionTimeout = 15;
  int32_t commandTimeout = 30;
  std::vector<Diagnostic> errors;

 private:
  std::shared_ptr<Link> link_;
  std::vector<std::weak_ptr<Cursor>> cursors_;
};

}  // namespace tlx::platform::ado
