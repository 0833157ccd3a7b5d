// DatabaseTableToArray and DatabaseTableToTextFile on a table of 1,000,000 rows x 8 columns
// (integer, big integer, double, decimal(12,2), text of 5-40 characters, varchar(20), timestamp,
// Boolean; about 5 % Nulls in three of them) in SQLite and in a throwaway PostgreSQL, beside
// pyodbc's fetchall() of the same query and the databases' shells writing the same rows to a file.
//
// Each of our calls runs in a fresh process of this program (`bench_data measure ...`), which
// reports its time and its peak memory: the high-water mark of its resident set (VmHWM) after the
// call less its resident set (VmRSS) before it, drivers included. Times are the best of three runs. The text file methods stop at
// a Null, so the file is written from the rows without one (85 % of them).
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "support/databases.h"
#include "bench_support.h"
#include "automation/strings.h"
#include "talvex/variant.h"
#include "bench_support.h"
#include "data/data.h"
#include "platform/registry/components.h"

namespace {

namespace fs = std::filesystem;
using bench::run;
using bench::seconds;

// TALVEX_BENCH_ROWS sets another size (for profiling).
const long kRows = std::getenv("TALVEX_BENCH_ROWS") ? std::atol(std::getenv("TALVEX_BENCH_ROWS")) : 1'000'000;
const std::string kColumns = "id, big, amount, price, note, code, at, flag";
const std::string kArrayQuery = "SELECT " + kColumns + " FROM big";
const std::string kFileQuery = kArrayQuery + " WHERE amount IS NOT NULL AND note IS NOT NULL AND at IS NOT NULL";
const std::string kWords = "lorem ipsum dolor sit amet consectetur adipiscing elit";

std::string rowsSql(bool postgres) {
  const std::string n = std::to_string(kRows);
  const std::string every20 = "CASE WHEN x % 20 = ";
  std::string values = std::string(postgres ? "x, x::bigint * 1000003, " : "x, x * 1000003, ") + every20 + "0 THEN NULL ELSE x * 0.25 END, round((x % 100000) * 1.01, 2), " +
                       every20 + "7 THEN NULL ELSE substr('" + kWords + "', 1, 5 + x % 36) END, 'C-' || (x % 9973), " +
                       every20 + "13 THEN NULL ELSE ";
  if (postgres)
    return "CREATE TABLE big (id integer, big bigint, amount double precision, price numeric(12,2), note text,"
           " code varchar(20), at timestamp, flag boolean);"
           "INSERT INTO big SELECT " + values + "timestamp '2000-01-01' + x * interval '1 minute' END, x % 2 = 1"
           " FROM generate_series(1, " + n + ") x;";
  return "CREATE TABLE big (id integer, big bigint, amount double, price decimal(12,2), note text,"
         " code varchar(20), at timestamp, flag boolean);"
         "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < " + n + ")"
         " INSERT INTO big SELECT " + values + "datetime('2000-01-01', '+' || x || ' minutes') END, x % 2 FROM c;";
}

// Numbers and dates as 8 bytes, text as its 16-bit characters.
double valueBytes(const tlx::Variant& array) {
  double total = 0;
  for (const tlx::Variant& v : array.arrayRef().elements()) total += v.isString() ? 2.0 * v.str().size() : 8.0;
  return total;
}

// The child: one call, then "seconds peak-bytes value-bytes" on standard output.
int measure(const std::string& dsn, const std::string& what, const std::string& file) {
  tlx::registerPlatformComponents();
  const tlx::BStr user = tlx::u16(dsn.starts_with("pg") ? "postgres" : "");
  tlx::Variant array(tlx::SafeArray::vector(0));
  int16_t rc = 0;
  const long before = bench::statusKilobytes("VmRSS:");
  const double time = seconds([&] {
    rc = what == "array" ? tlx::DatabaseTableToArray(tlx::u16(dsn), tlx::u16(kArrayQuery), array, user)
                         : tlx::DatabaseTableToTextFile(tlx::u16(dsn), tlx::u16(kFileQuery), tlx::u16(file), user, {},
                                                        false, u",");
  });
  const double peak = (bench::statusKilobytes("VmHWM:") - before) * 1024.0;
  if (rc != 1) return std::fprintf(stderr, "%s answered %d\n", what.c_str(), rc), 1;
  std::printf("%f %f %f\n", time, peak, what == "array" ? valueBytes(array) : double(fs::file_size(file)));
  return 0;
}

struct Measured {
  double seconds, peak, size;
};

// Every time is the best of a few runs: the machine may be busy with other work.
constexpr int kRuns = 3;

double bestSeconds(auto&& step) {
  double best = 1e300;
  for (int i = 0; i < kRuns; ++i) best = std::min(best, seconds(step));
  return best;
}

Measured ourCall(const std::string& dsn, const std::string& what, const std::string& file) {
  Measured best{1e300, 0, 0};
  for (int i = 0; i < kRuns; ++i) {
    const std::string out = tlxtest::shell("/proc/" + std::to_string(getpid()) + "/exe measure " + dsn + " " + what + " " + file);
    Measured m{};
    if (std::sscanf(out.c_str(), "%lf %lf %lf", &m.seconds, &m.peak, &m.size) != 3) {
      std::fprintf(stderr, "bench: %s on %s gave: %s\n", what.c_str(), dsn.c_str(), out.c_str());
      std::exit(1);
    }
    best = {std::min(best.seconds, m.seconds), std::max(best.peak, m.peak), m.size};
  }
  return best;
}

struct Figures {
  double arrayPerPyodbc, filePerShell, arrayMemory;
};

// `streaming` is the same database through a DSN whose driver keeps only the rows being fetched.
Figures compare(const std::string& name, const std::string& dsn, const std::string& streaming,
                const std::string& shellCommand, const fs::path& dir) {
  const Measured array = ourCall(dsn, "array", "-");
  const Measured ours = ourCall(streaming, "array", "-");
  const Measured file = ourCall(dsn, "textfile", (dir / (name + "-talvex.csv")).string());
  const std::string shellFile = (dir / (name + "-shell.csv")).string();
  const double shell = bestSeconds([&] { run(shellCommand + " > " + shellFile); });
  const double pyodbc = bestSeconds([&] {
    run("/usr/bin/python3 -c \"import pyodbc; rows = pyodbc.connect('DSN=" + dsn + "').cursor().execute('" + kArrayQuery +
        "').fetchall(); assert len(rows) == " + std::to_string(kRows) + "\"");
  });
  std::printf("%s, %ld rows x 8 columns\n", name.c_str(), kRows);
  std::printf("  DatabaseTableToArray     %6.2f s  peak %5.0f MB for %4.0f MB of values\n", array.seconds,
              array.peak / 1e6, array.size / 1e6);
  std::printf("    %-22s %6.2f s  peak %5.0f MB, %.2f times the values (the rest is the driver's)\n",
              dsn == "pg" ? "with UseDeclareFetch=1" : "with StepAPI=1", ours.seconds, ours.peak / 1e6, ours.peak / ours.size);
  std::printf("  pyodbc fetchall()        %6.2f s\n", pyodbc);
  std::printf("  DatabaseTableToTextFile  %6.2f s  peak %5.0f MB for a file of %4.0f MB (%.2f times; aim: within 2)\n",
              file.seconds, file.peak / 1e6, file.size / 1e6, file.peak / file.size);
  std::printf("  shell to a file          %6.2f s  (%.0f MB)\n", shell, fs::file_size(shellFile) / 1e6);
  return {array.seconds / pyodbc, file.seconds / shell, array.peak / array.size};
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 5 && std::string(argv[1]) == "measure") return measure(argv[2], argv[3], argv[4]);
  if (std::system("/usr/bin/python3 -c 'import pyodbc' 2>/dev/null") != 0)
    return std::fprintf(stderr, "pyodbc is missing (scripts/setup --bench installs python3-pyodbc)\n"), 1;
  const fs::path dir = tlxtest::makeTempDir("talvex-bench-data");
  const std::string db = (dir / "big.db").string();
  run("sqlite3 " + db + " " + tlxtest::shellQuote(rowsSql(false)));
  tlxtest::PostgresServer pg;
  pg.ensureRunning();
  pg.sql(rowsSql(true));
  tlxtest::OdbcConfig odbc;
  odbc.addSqlite("lite", db);
  odbc.addPostgres("pg", pg);
  odbc.exportToProcess();
  // The same databases through drivers that keep only the rows being fetched.
  std::ofstream(odbc.dir() + "/odbc.ini", std::ios::app)
      << "[lite-stream]\nDriver=SQLite3Local\nDatabase=" << db << "\nStepAPI=1\n\n[pg-stream]\nDriver=PostgreSQLLocal\n"
      << "Servername=127.0.0.1\nPort=" << pg.port() << "\nDatabase=talvex\nUsername=postgres\nSSLmode=disable\n"
      << "BoolsAsChar=0\nUseDeclareFetch=1\nFetch=10000\n";

  const Figures lite = compare("SQLite", "lite", "lite-stream", "sqlite3 -csv " + db + " " + tlxtest::shellQuote(kFileQuery), dir);
  const Figures post = compare("PostgreSQL", "pg", "pg-stream",
                               "psql -X -A -t -F ',' -h 127.0.0.1 -p " + std::to_string(pg.port()) +
                                   " -U postgres -d talvex -c " + tlxtest::shellQuote(kFileQuery),
                               dir);
  std::printf("aims: array/pyodbc at most 0.5, textfile/shell at most 2, array-memory/values at most 2\n");
  std::printf("ratio sqlite array/pyodbc %.2f\n", lite.arrayPerPyodbc);
  std::printf("ratio sqlite textfile/shell %.2f\n", lite.filePerShell);
  std::printf("ratio postgres array/pyodbc %.2f\n", post.arrayPerPyodbc);
  std::printf("ratio postgres textfile/shell %.2f\n", post.filePerShell);
  std::printf("ratio sqlite array-memory/values %.2f\n", lite.arrayMemory);
  std::printf("ratio postgres array-memory/values %.2f\n", post.arrayMemory);
  fs::remove_all(dir);
  return 0;
}
