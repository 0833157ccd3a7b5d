// One FTP session over libcurl: the connection (kept between commands by libcurl's connection
// cache) and the current directory, which this side keeps as the absolute path the server
// reported, so that a new connection after a drop or a cancel lands in the same place.
// One command at a time, from one thread at a time.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include <curl/curl.h>

#include "platform/inet/ftp_command.h"

namespace tlx::platform::inet {

struct FtpEndpoint {
  std::string host;  // UTF-8, without brackets
  int32_t port = 21;
  std::string user;  // empty: anonymous
  std::string password;
  bool tls = false;  // AUTH TLS on the control and data connections
  bool verifyCertificate = true;
  std::string caFile;      // empty: the system's certificate store
  int32_t timeoutSeconds;  // connection, each server reply, and a stalled transfer; 0: no limit
};

struct FtpOutcome {
  int32_t code = 0;  // the libcurl result: 0 done; 67 login refused, 78 no such remote file, ...
  std::string info;  // the server's last reply, or what went wrong (never the password)
  std::string data;  // what DIR, LS, PWD and SIZE return
};

class FtpClient {
 public:
  FtpClient();
  ~FtpClient();
  FtpClient(const FtpClient&) = delete;
  FtpClient& operator=(const FtpClient&) = delete;

  // Runs one command to its end; setting `cancelled` (from any thread) ends it within 50 ms.
  FtpOutcome run(const FtpEndpoint& endpoint, const FtpCommand& command, const std::atomic<bool>& cancelled);

  // The server's current directory as last reported; empty before the first CD or PWD.
  const std::string& currentDirectory() const { return cwd_; }
  // The next command starts from the login directory again.
  void forgetDirectory() { cwd_.clear(); }

 private:
  struct Job;
  static size_t collectReply(char* data, size_t size, size_t n, void* job);
  // Sets the options of one command; false (with the outcome filled) when a local file fails.
  bool prepare(Job& job, const FtpEndpoint& endpoint, const FtpCommand& command, FtpOutcome& outcome);
  bool openDownload(Job& job, const std::string& localFile, FtpOutcome& outcome);
  bool openUpload(Job& job, const std::string& localFile, FtpOutcome& outcome);
  std::string listing(Job& job, const FtpCommand& command);
  std::string serverCommands(Job& job, const FtpCommand& command);
  void setCommonOptions(Job& job, const FtpEndpoint& endpoint, const std::string& urlPath);
  CURLcode perform(const std::atomic<bool>& cancelled);
  void finish(Job& job, CURLcode result, FtpOutcome& outcome);
  void closeSession();

  CURLM* multi_ = nullptr;
  CURL* easy_ = nullptr;
  std::string cwd_;
  std::string sessionKey_;
};

}  // namespace tlx::platform::inet
