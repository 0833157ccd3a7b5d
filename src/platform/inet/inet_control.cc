#include "platform/inet/inet_control.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>

#include "talvex/convert.h"
#include "talvex/registry.h"
#include "automation/strings.h"
#include "platform/inet/ftp_client.h"
#include "platform/inet/inet_url.h"

namespace tlx {

namespace {

using namespace platform::inet;

constexpr HRESULT kStillExecuting = hr::basicError(35764);
// How long one read of StillExecuting may wait for the command to end: short enough for the
// host's message loop, long enough that a polling caller does not spin a core.
constexpr auto kPollWait = std::chrono::milliseconds(4);

enum State : int16_t { icNone = 0, icRequesting = 5, icError = 11, icResponseCompleted = 12 };

class InetControl : public Object<InetControl> {
 public:
  static const Members<InetControl>& members();
  std::string typeName() const override { return "Inet"; }

  ~InetControl() override {
    cancel();
    if (worker_.joinable()) worker_.join();
  }

  // The URL says who logs in: a URL without a user means anonymous, so that a login set for
  // one server is never offered to the next.
  void setUrl(const BStr& text) {
    if (!text.empty()) {
      InetUrl url = parseInetUrl(text);
      protocol_ = url.protocol;
      urlTls_ = url.explicitTls;
      host_ = url.host;
      port_ = url.port.value_or(defaultPort(url.protocol));
      user_ = url.user.value_or(std::u16string());
      password_ = url.password.value_or(std::u16string());
    }
    url_ = text;
  }

  // A URL or host set as a property starts over in the login directory; the URL passed to
  // Execute continues the session when it names the same server and user.
  void putUrl(const BStr& text) {
    setUrl(text);
    startOver_ = true;
  }

  void setRemoteHost(const BStr& text) {
    InetUrl url = parseInetUrl(text);
    host_ = url.host;
    if (url.port) port_ = *url.port;
    startOver_ = true;
  }

  void setProtocol(int16_t p) {
    if (p != icDefault && p != icFTP) throw ComError(hr::E_INVALIDARG, "Only FTP (2) is supported");
    protocol_ = icFTP;
  }

  void execute(const Variant& url, const Variant& operation) {
    std::lock_guard lock(mutex_);
    if (running_) throw ComError(kStillExecuting, "Still executing last request");
    if (!url.isMissing()) setUrl(toBStr(url));
    if (protocol_ != icFTP) throw ComError(hr::E_INVALIDARG, "Only FTP (2) is supported");
    if (host_.empty()) throw ComError(hr::E_INVALIDARG, "No remote host given");
    FtpCommand command = parseFtpCommand(operation.isMissing() ? BStr() : toBStr(operation));
    FtpEndpoint endpoint = endpointNow();
    if (worker_.joinable()) worker_.join();  // it has finished: running_ is false
    responseCode_ = 0;
    responseInfo_ = BStr();
    chunk_.clear();
    chunkAt_ = 0;
    cancelled_ = false;
    running_ = true;
    state_ = icRequesting;
    try {
      worker_ = std::thread([this, endpoint, command, startOver = std::exchange(startOver_, false)] {
        if (startOver) client_.forgetDirectory();
        runCommand(endpoint, command);
      });
    } catch (...) {
      running_ = false;
      state_ = icError;
      throw;
    }
  }

  bool stillExecuting() {
    std::unique_lock lock(mutex_);
    if (running_) finished_.wait_for(lock, kPollWait, [this] { return !running_; });
    return running_;
  }

  void cancel() {
    std::lock_guard lock(mutex_);
    if (running_) cancelled_ = true;
  }

  Variant getChunk(int32_t size, int32_t dataType) {
    if (size < 0) throw ComError(hr::INVALID_PROCEDURE_CALL, "Invalid procedure call or argument");
    if (dataType != 0 && dataType != 1) throw ComError(hr::E_INVALIDARG, "DataType must be 0 (text) or 1 (bytes)");
    std::lock_guard lock(mutex_);
    std::u16string_view part = std::u16string_view(chunk_).substr(chunkAt_, static_cast<size_t>(size));
    chunkAt_ += part.size();
    if (dataType == 0) return Variant(part);
    std::string bytes = u8(part);
    auto array = SafeArray::vector(static_cast<int32_t>(bytes.size()));
    for (size_t i = 0; i < bytes.size(); ++i) array->elements()[i] = Variant(static_cast<uint8_t>(bytes[i]));
    return Variant(std::move(array));
  }

  template <class T>
  T result(const T& field) {
    std::lock_guard lock(mutex_);
    return field;
  }

  BStr url_, host_, user_, password_, caFile_;
  int16_t protocol_ = icFTP;
  int32_t port_ = 21;
  int32_t timeout_ = 60;
  bool useTls_ = false, urlTls_ = false, verify_ = true, startOver_ = false;
  // Written by the worker, read by the host: under mutex_.
  int32_t responseCode_ = 0;
  BStr responseInfo_;
  int16_t state_ = icNone;

 private:
  FtpEndpoint endpointNow() const {
    return FtpEndpoint{u8(host_), port_,   u8(user_), u8(password_), useTls_ || urlTls_,
                       verify_,   u8(caFile_), timeout_};
  }

  void runCommand(const FtpEndpoint& endpoint, const FtpCommand& command) {
    FtpOutcome outcome;
    try {
      outcome = client_.run(endpoint, command, cancelled_);
    } catch (const std::exception& e) {  // nothing may escape a worker thread
      outcome = FtpOutcome{CURLE_OUT_OF_MEMORY, e.what(), {}};
    } catch (...) {
      outcome = FtpOutcome{CURLE_OUT_OF_MEMORY, "The transfer failed", {}};
    }
    std::lock_guard lock(mutex_);
    responseCode_ = outcome.code;
    responseInfo_ = u16(outcome.info);
    chunk_ = std::u16string(u16(outcome.data).view());
    state_ = outcome.code == 0 ? icResponseCompleted : icError;
    running_ = false;
    finished_.notify_all();
  }

  std::mutex mutex_;
  std::condition_variable finished_;
  bool running_ = false;
  std::atomic<bool> cancelled_{false};
  std::thread worker_;
  FtpClient client_;  // used by the worker only, one command at a time
  std::u16string chunk_;
  size_t chunkAt_ = 0;
};

using M = Members<InetControl>;
using Self = InetControl;

// A plain read-write property of the caller's side.
template <class T, class Convert>
void field(M& m, std::string name, T Self::*member, Convert convert) {
  m.property(
      std::move(name), [member](Self& s, Args&) { return Variant(s.*member); },
      [member, convert](Self& s, Args&, const Variant& v) { s.*member = convert(v); });
}

const M& InetControl::members() {
  static const M table = [] {
    M m;
    m.property(
        "URL", [](Self& s, Args&) { return Variant(s.url_); },
        [](Self& s, Args&, const Variant& v) { s.putUrl(toBStr(v)); });
    m.property(
        "RemoteHost", [](Self& s, Args&) { return Variant(s.host_); },
        [](Self& s, Args&, const Variant& v) { s.setRemoteHost(toBStr(v)); });
    m.property(
        "Protocol", [](Self& s, Args&) { return Variant(s.protocol_); },
        [](Self& s, Args&, const Variant& v) { s.setProtocol(toI2(v)); });
    m.property(
        "RemotePort", [](Self& s, Args&) { return Variant(s.port_); },
        [](Self& s, Args&, const Variant& v) {
          int32_t port = toI4(v);
          if (port < 1 || port > 65535) throw ComError(hr::E_INVALIDARG, "RemotePort must be 1 to 65535");
          s.port_ = port;
        });
    m.property(
        "RequestTimeout", [](Self& s, Args&) { return Variant(s.timeout_); },
        [](Self& s, Args&, const Variant& v) {
          int32_t seconds = toI4(v);
          if (seconds < 0) throw ComError(hr::E_INVALIDARG, "RequestTimeout cannot be negative");
          s.timeout_ = seconds;
        });
    field(m, "UserName", &Self::user_, [](const Variant& v) { return toBStr(v); });
    field(m, "Password", &Self::password_, [](const Variant& v) { return toBStr(v); });
    field(m, "CAFile", &Self::caFile_, [](const Variant& v) { return toBStr(v); });
    field(m, "UseTLS", &Self::useTls_, [](const Variant& v) { return toBool(v); });
    field(m, "VerifyCertificate", &Self::verify_, [](const Variant& v) { return toBool(v); });
    m.property("StillExecuting", [](Self& s, Args&) { return Variant(s.stillExecuting()); });
    m.property("ResponseCode", [](Self& s, Args&) { return Variant(s.result(s.responseCode_)); });
    m.property("ResponseInfo", [](Self& s, Args&) { return Variant(s.result(s.responseInfo_)); });
    m.property("State", [](Self& s, Args&) { return Variant(s.result(s.state_)); });
    m.method("Execute", {"URL", "Operation", "InputData", "InputHdrs"}, [](Self& s, Args& a) {
      s.execute(a.value(0, Variant::missing()), a.value(1, Variant::missing()));
      return Variant();
    });
    m.method("Cancel", {}, [](Self& s, Args&) {
      s.cancel();
      return Variant();
    });
    m.method("GetChunk", {"Size", "DataType"}, [](Self& s, Args& a) {
      return s.getChunk(toI4(a[0]), a.has(1) ? toI4(a[1]) : 0);
    });
    return m;
  }();
  return table;
}

}  // namespace

ObjRef newInetControl() { return ObjRef(new InetControl()); }

void registerInetControl() {
  registerClass(kInetProgId, [] { return newInetControl(); });
}

}  // namespace tlx
