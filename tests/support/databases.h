// Databases for tests: a SQLite file and a throwaway PostgreSQL server on 127.0.0.1, each
// reached through a DSN in a test-local odbc.ini (OdbcConfig), and checked with their own shells
// (sqlite3, psql) rather than through the data-access component. Header-only.
#pragma once

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <utility>

#include "support/scratch.h"

namespace tlxtest {

constexpr const char* kSqliteDriver = "/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so";
constexpr const char* kPostgresDriver = "/usr/lib/x86_64-linux-gnu/odbc/psqlodbcw.so";

// A PostgreSQL 15 cluster of its own in a temporary folder, listening on a free loopback port.
class PostgresServer {
 public:
  // One server for the whole test process, started on first use.
  static PostgresServer& shared() {
    static PostgresServer server;
    return server;
  }

  // The port is chosen now; the cluster is made and started by the first ensureRunning().
  PostgresServer() : dir_(makeTempDir("talvex-pg")), port_(freePort()) {
    if (geteuid() == 0) {
      shell("chown postgres " + dir_.string());
      runAs_ = "runuser -u postgres -- ";
    }
  }
  ~PostgresServer() {
    stop(true);
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }

  void ensureRunning() {
    if (made_) return;
    copyTemplate();
    start();
    run(bin("createdb") + " -h 127.0.0.1 -p " + std::to_string(port_) + " -U postgres talvex");
    made_ = true;
  }

  void start() {
    run(bin("pg_ctl") + " -D " + data() + " -l " + (dir_ / "log").string() + " -w -o " +
        shellQuote("-c listen_addresses=127.0.0.1 -p " + std::to_string(port_) + " -k " + dir_.string() +
                   " -c fsync=off") +
        " start >/dev/null");
    running_ = true;
  }
  // "immediate" stops at once, as a crash would; "fast" rolls open work back cleanly.
  void stop(bool quietly = false, const char* mode = "fast") {
    if (!std::exchange(running_, false)) return;
    std::string cmd = bin("pg_ctl") + " -D " + data() + " -m " + mode + " stop >/dev/null 2>&1";
    if (quietly) std::system(cmd.c_str()); else run(cmd);
  }

  int port() const { return port_; }
  // Runs SQL through psql; rows come back as lines of fields separated by "|".
  std::string sql(const std::string& statements) const {
    return shell("psql -X -q -At -h 127.0.0.1 -p " + std::to_string(port_) + " -U postgres -d talvex -v ON_ERROR_STOP=1 -c " +
                 shellQuote(statements) + " 2>&1");
  }

 private:
  static int freePort() {
    int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t n = sizeof a;
    getsockname(s, reinterpret_cast<sockaddr*>(&a), &n);
    close(s);
    return ntohs(a.sin_port);
  }
  static std::string bin(const char* tool) { return std::string("/usr/lib/postgresql/15/bin/") + tool; }
  std::string data() const { return (dir_ / "data").string(); }
  // A fresh cluster costs seconds; one made by initdb is kept (per user) and copied, under a lock
  // so that test processes running side by side make it once.
  void copyTemplate() {
    const std::string tmpl = "/tmp/talvex-pg15-template-" + std::to_string(geteuid());
    const std::string make = "[ -f " + tmpl + "/data/PG_VERSION ] || { rm -rf " + tmpl + " && mkdir -p " + tmpl +
                             " && chown " + (runAs_.empty() ? "$(id -u)" : "postgres") + " " + tmpl + " && " + runAs_ +
                             bin("initdb") + " -D " + tmpl + "/data -U postgres -A trust -E UTF8 --locale=C.UTF-8 --no-sync >/dev/null; }";
    shell("flock " + tmpl + ".lock -c " + shellQuote(make));
    run("cp -a " + tmpl + "/data " + data());
  }
  void run(const std::string& cmd) const { shell(runAs_ + cmd); }

  std::filesystem::path dir_;
  int port_;
  std::string runAs_;
  bool running_ = false;
  bool made_ = false;
};

// A folder holding odbcinst.ini and odbc.ini for the DSNs of one test.
class OdbcConfig {
 public:
  OdbcConfig() : dir_(makeTempDir("talvex-odbc")) {
    std::ofstream(dir_ / "odbcinst.ini") << "[SQLite3Local]\nDriver=" << kSqliteDriver << "\n\n[PostgreSQLLocal]\nDriver="
                                         << kPostgresDriver << "\n";
    std::ofstream(dir_ / "odbc.ini");
  }
  ~OdbcConfig() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  OdbcConfig(const OdbcConfig&) = delete;
  OdbcConfig& operator=(const OdbcConfig&) = delete;

  std::string dir() const { return dir_.string(); }
  void addSqlite(const std::string& dsn, const std::string& file) {
    std::ofstream(dir_ / "odbc.ini", std::ios::app) << "[" << dsn << "]\nDriver=SQLite3Local\nDatabase=" << file << "\n\n";
  }
  void addPostgres(const std::string& dsn, const PostgresServer& pg) {
    std::ofstream(dir_ / "odbc.ini", std::ios::app)
        << "[" << dsn << "]\nDriver=PostgreSQLLocal\nServername=127.0.0.1\nPort=" << pg.port()
        << "\nDatabase=talvex\nUsername=postgres\nSSLmode=disable\nBoolsAsChar=0\n\n";
  }
  std::map<std::string, std::string> env() const {
    return {{"ODBCSYSINI", dir_.string()}, {"ODBCINI", (dir_ / "odbc.ini").string()}};
  }
  // For tests that use the component in their own process.
  void exportToProcess() const {
    for (auto& [k, v] : env()) setenv(k.c_str(), v.c_str(), 1);
  }

 private:
  std::filesystem::path dir_;
};

// One database reached by a DSN, with a shell of its own to set it up and check it.
struct Database {
  std::string dsn;
  std::string file;  // the SQLite file (empty for PostgreSQL)
  PostgresServer* server = nullptr;

  std::string sql(const std::string& statements) const {
    if (server) return server->sql(statements);
    return shell("sqlite3 -batch " + shellQuote(file) + " " + shellQuote(statements) + " 2>&1");
  }
};

}  // namespace tlxtest
