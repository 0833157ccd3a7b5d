// A real FTP server on 127.0.0.1 for one test (pyftpdlib, Debian's python3-pyftpdlib), on a port
// the system picks: user "user" / "secret" with every right, anonymous read-only, both rooted
// in a fresh directory. Killed when the object ends. Also a listener that never answers.
#pragma once

#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "support/scratch.h"

#ifndef TALVEX_SOURCE_DIR
#error "TALVEX_SOURCE_DIR must name the source tree"
#endif

namespace tlxtest {

namespace fs = std::filesystem;

struct FtpServerOptions {
  std::string certFile, keyFile;  // both given: TLS required on control and data connections
  long throttle = 0;              // bytes per second on data connections; 0: no limit

  static FtpServerOptions throttled(long bytesPerSecond) {
    FtpServerOptions o;
    o.throttle = bytesPerSecond;
    return o;
  }
  static FtpServerOptions tls(const fs::path& cert, const fs::path& key) {
    FtpServerOptions o;
    o.certFile = cert.string();
    o.keyFile = key.string();
    return o;
  }
};

class FtpServer {
 public:
  explicit FtpServer(FtpServerOptions options = {}) : dir_(makeTempDir("talvex-ftp")) {
    fs::create_directory(root());
    int out[2];
    if (pipe(out) != 0) throw std::runtime_error("pipe failed");
    std::vector<std::string> args = {"/usr/bin/python3", std::string(TALVEX_SOURCE_DIR) + "/tests/support/ftp_server.py",
                                     root().string()};
    if (!options.certFile.empty()) args.insert(args.end(), {"--tls", options.certFile, options.keyFile});
    if (options.throttle) args.insert(args.end(), {"--throttle", std::to_string(options.throttle)});
    pid_ = fork();
    if (pid_ == 0) {
      dup2(out[1], 1);
      FILE* log = std::fopen(logPath().c_str(), "w");
      if (log) dup2(fileno(log), 2);
      close(out[0]);
      std::vector<char*> argv;
      for (auto& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      execv(argv[0], argv.data());
      _exit(127);
    }
    close(out[1]);
    FILE* fromServer = fdopen(out[0], "r");
    char line[64] = {};
    bool ok = fromServer && std::fgets(line, sizeof line, fromServer) && std::sscanf(line, "PORT %d", &port_) == 1;
    if (fromServer) std::fclose(fromServer);
    if (!ok) {
      kill();
      throw std::runtime_error("the FTP server did not start: " + readFile(logPath()));
    }
  }
  FtpServer(const FtpServer&) = delete;
  FtpServer& operator=(const FtpServer&) = delete;
  ~FtpServer() {
    kill();
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }

  // a.txt "top\n", sub/a.txt "in sub\n", "a b.txt" "blanks\n".
  void addSampleFiles() const {
    fs::create_directories(root() / "sub");
    writeFile(root() / "a.txt", "top\n");
    writeFile(root() / "sub" / "a.txt", "in sub\n");
    writeFile(root() / "a b.txt", "blanks\n");
  }

  int port() const { return port_; }
  std::string hostPort() const { return "127.0.0.1:" + std::to_string(port_); }
  fs::path root() const { return dir_ / "root"; }
  // Every command the server received, one a line ("user@127.0.0.1:port <== RETR a.txt").
  std::string log() const { return readFile(logPath()); }
  // Ends the server at once, as a crash would: connections drop without a reply.
  void kill() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

 private:
  fs::path logPath() const { return dir_ / "server.log"; }

  fs::path dir_;
  pid_t pid_ = -1;
  int port_ = 0;
};

// Accepts connections (the kernel completes them) and never says a word.
class SilentServer {
 public:
  SilentServer() : fd_(socket(AF_INET, SOCK_STREAM, 0)) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (fd_ < 0 || bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(fd_, 8) != 0 ||
        getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len) != 0)
      throw std::runtime_error("cannot listen");
    port_ = ntohs(a.sin_port);
  }
  ~SilentServer() { close(fd_); }
  std::string hostPort() const { return "127.0.0.1:" + std::to_string(port_); }

 private:
  int fd_;
  int port_ = 0;
};

// A port on 127.0.0.1 where nothing listens.
inline int closedPort() {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  close(fd);
  return ntohs(a.sin_port);
}

// A self-signed certificate for 127.0.0.1, made with openssl.
struct SelfSignedCertificate {
  fs::path dir = makeTempDir("talvex-cert");
  fs::path cert = dir / "cert.pem", key = dir / "key.pem";
  SelfSignedCertificate() {
    std::string cmd = "openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=127.0.0.1 "
                      "-addext subjectAltName=IP:127.0.0.1 -keyout " + key.string() + " -out " +
                      cert.string() + " >/dev/null 2>&1";
    if (std::system(cmd.c_str()) != 0) throw std::runtime_error("openssl failed");
  }
  ~SelfSignedCertificate() {
    std::error_code ec;
    fs::remove_all(dir, ec);
  }
};

}  // namespace tlxtest
