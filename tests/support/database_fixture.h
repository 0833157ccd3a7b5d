// A test run once against SQLite and once against a throwaway PostgreSQL, each starting from an
// empty database: TEST_P(DatabaseTest, ...) with INSTANTIATE_DATABASE_TESTS(DatabaseTest).
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "support/databases.h"

namespace tlxtest {

class DatabaseTest : public ::testing::TestWithParam<std::string> {
 protected:
  static OdbcConfig& config() {
    static OdbcConfig* c = [] {
      auto* cfg = new OdbcConfig;
      cfg->addSqlite("lite", cfg->dir() + "/lite.db");
      cfg->addPostgres("pg", PostgresServer::shared());
      cfg->exportToProcess();
      return cfg;
    }();
    return *c;
  }

  void SetUp() override {
    OdbcConfig& cfg = config();
    if (GetParam() == "sqlite") {
      db = {"lite", cfg.dir() + "/lite.db", nullptr};
      std::filesystem::remove(db.file);
    } else {
      db = {"pg", "", &PostgresServer::shared()};
      db.server->ensureRunning();
      db.sql("DROP SCHEMA public CASCADE; CREATE SCHEMA public;");
    }
  }

  bool postgres() const { return db.server != nullptr; }
  Database db;
};

}  // namespace tlxtest

#define INSTANTIATE_DATABASE_TESTS(fixture)                                                   \
  INSTANTIATE_TEST_SUITE_P(Databases, fixture, ::testing::Values("sqlite", "postgres"),   \
                           [](const ::testing::TestParamInfo<std::string>& i) { return i.param; })
