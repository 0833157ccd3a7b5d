// A real FTP server on 127.0.0.1 for one test (pyftpdlib, Debian's python3-pyftpdlib), on a port
// the system picks: user "user" / "secret" with every right, anonymous read-only, both rooted
// in a fresh directory. Killed when the object ends. Or a listener that never answers.
#pragma once

#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "support/scratch.h"

#ifndef TALVEX_SOURCE_DIR
#error "TALVEX_SOURCE_DIR must name the source tree"
#endif

namespace tlxtest {

namespace fs = std::filesystem;

struct FtpServerOptions {
  fs::path certFile{}, keyFile{};  // both given: TLS required on control and data connections
  long throttle = 0;           // bytes per second on data connections; 0: no limit
  bool silent = false;         // accepts connections (the kernel completes them) and never says a word
};

class FtpServer {
 public:
  explicit FtpServer(const FtpServerOptions& options = {}) {
    fs::create_directory(root());
    std::string command = "exec /usr/bin/python3 " + shellQuote(std::string(TALVEX_SOURCE_DIR) + "/tests/support/ftp_server.py") +
                          " " + shellQuote(root().string());
    if (!options.certFile.empty())
      command += " --tls " + shellQuote(options.certFile.string()) + " " + shellQuote(options.keyFile.string());
    if (options.throttle) command += " --throttle " + std::to_string(options.throttle);
    if (options.silent) command += " --silent";
    // The server tells its port and process; the pipe stays open until it is killed.
    fromServer_ = popen((command + " 2>" + shellQuote(logPath().string())).c_str(), "r");
    if (!fromServer_ || std::fscanf(fromServer_, "PORT %d PID %d", &port_, &pid_) != 2) {
      kill();
      throw std::runtime_error("the FTP server did not start: " + log());
    }
  }
  FtpServer(const FtpServer&) = delete;
  FtpServer& operator=(const FtpServer&) = delete;
  ~FtpServer() { kill(); }

  // a.txt "top\n", sub/a.txt "in sub\n", "a b.txt" "blanks\n".
  void addSampleFiles() const {
    fs::create_directories(root() / "sub");
    writeFile(root() / "a.txt", "top\n");
    writeFile(root() / "sub" / "a.txt", "in sub\n");
    writeFile(root() / "a b.txt", "blanks\n");
  }

  std::string hostPort() const { return "127.0.0.1:" + std::to_string(port_); }
  fs::path root() const { return dir_.path() / "root"; }
  // Every command the server received, one a line ("user@127.0.0.1:port <== RETR a.txt").
  std::string log() const { return readFile(logPath()); }
  // Ends the server at once, as a crash would: connections drop without a reply, and the port
  // is one where nothing listens.
  void kill() {
    if (pid_ > 0) ::kill(pid_, SIGKILL);
    if (fromServer_) pclose(fromServer_);
    pid_ = -1;
    fromServer_ = nullptr;
  }

 private:
  fs::path logPath() const { return dir_.path() / "server.log"; }

  ScratchDir dir_{"talvex-ftp"};
  FILE* fromServer_ = nullptr;
  pid_t pid_ = -1;
  int port_ = 0;
};

// A self-signed certificate for 127.0.0.1, made with openssl.
struct SelfSignedCertificate {
  ScratchDir dir{"talvex-cert"};
  fs::path cert = dir.path() / "cert.pem", key = dir.path() / "key.pem";
  SelfSignedCertificate() {
    shell("openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1 "
          "-keyout " + key.string() + " -out " + cert.string() + " 2>&1");
  }
};

}  // namespace tlxtest
