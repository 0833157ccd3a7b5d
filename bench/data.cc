// DatabaseTableToArray and DatabaseTableToTextFile on a SQLite table of 1,000,000 rows x 5
// columns (integer, real, text, date, text), beside the sqlite3 shell exporting the same query
// as CSV and pyodbc's fetchall() on the same DSN. Prints seconds, the ratios, and the memory the
// array holds against the size of its values.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <malloc.h>

#include "automation/strings.h"
#include "bench_support.h"
#include "automation/variant.h"
#include "data/data.h"
#include "platform/registry/components.h"

namespace {

// TALVEX_BENCH_ROWS sets another size (for profiling).
const int kRows = std::getenv("TALVEX_BENCH_ROWS") ? std::atoi(std::getenv("TALVEX_BENCH_ROWS")) : 1'000'000;
const char* const kQuery = "SELECT id, amount, name, day, note FROM big";

using bench::run;
using bench::seconds;

// Resident memory, after the allocator has given back what was freed (the driver's buffers).
long residentBytes() {
  malloc_trim(0);
  long pages = 0, resident = 0;
  if (FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
  }
  return resident * sysconf(_SC_PAGESIZE);
}

// Numbers and dates as 8 bytes, text as its 16-bit characters.
double valueBytes(const tlx::Variant& array) {
  double total = 0;
  for (const tlx::Variant& v : array.arrayRef().elements()) total += v.isString() ? 2.0 * v.str().size() : 8.0;
  return total;
}

}  // namespace

int main() {
  namespace fs = std::filesystem;
  char tmpl[] = "/tmp/talvex-bench-data-XXXXXX";
  const fs::path dir = mkdtemp(tmpl);
  const std::string db = (dir / "big.db").string();
  run("sqlite3 " + db +
      " \"CREATE TABLE big (id integer, amount real, name text, day date, note text);"
      " WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < " + std::to_string(kRows) + ")"
      " INSERT INTO big SELECT x, x * 0.25, 'customer name ' || x, date('2000-01-01', '+' || (x % 9000) || ' days'),"
      " 'note ' || (x * 7 % 1000) FROM c;\"");
  std::ofstream(dir / "odbcinst.ini") << "[SQLite3Local]\nDriver=/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so\n";
  std::ofstream(dir / "odbc.ini") << "[bench]\nDriver=SQLite3Local\nDatabase=" << db << "\n";
  setenv("ODBCSYSINI", dir.c_str(), 1);
  setenv("ODBCINI", (dir / "odbc.ini").c_str(), 1);
  tlx::registerPlatformComponents();

  const tlx::BStr query = tlx::u16(kQuery);
  tlx::Variant array(tlx::SafeArray::vector(0));
  const long before = residentBytes();
  int16_t rc = 0;
  const double toArray = seconds([&] { rc = tlx::DatabaseTableToArray(u"bench", query, array); });
  const long held = residentBytes() - before;
  if (rc != 1) return std::fprintf(stderr, "DatabaseTableToArray answered %d\n", rc), 1;
  const double values = valueBytes(array);
  array = tlx::Variant();

  const std::string csv = (dir / "talvex.csv").string();
  const double toFile = seconds([&] { rc = tlx::DatabaseTableToTextFile(u"bench", query, tlx::u16(csv), {}, {}, false, u","); });
  if (rc != 1) return std::fprintf(stderr, "DatabaseTableToTextFile answered %d\n", rc), 1;

  const double shell = seconds([&] { run("sqlite3 -csv " + db + " '" + kQuery + "' > " + (dir / "sqlite.csv").string()); });
  const std::string py = "/usr/bin/python3 -c \"import pyodbc; c = pyodbc.connect('DSN=bench'); "
                         "rows = c.cursor().execute('" + std::string(kQuery) + "').fetchall(); assert len(rows) == " +
                         std::to_string(kRows) + "\"";
  const bool havePyodbc = std::system("/usr/bin/python3 -c 'import pyodbc' 2>/dev/null") == 0;
  const double pyodbc = havePyodbc ? seconds([&] { run(py); }) : 0;

  std::printf("%d rows x 5 columns from SQLite through ODBC\n", kRows);
  std::printf("  DatabaseTableToArray     %6.2f s\n", toArray);
  std::printf("  DatabaseTableToTextFile  %6.2f s\n", toFile);
  std::printf("  sqlite3 -csv             %6.2f s   array / shell %.2f, text file / shell %.2f (aim: within 2)\n",
              shell, toArray / shell, toFile / shell);
  if (havePyodbc)
    std::printf("  pyodbc fetchall()        %6.2f s   array / pyodbc %.2f, text file / pyodbc %.2f (aim: below 1)\n",
                pyodbc, toArray / pyodbc, toFile / pyodbc);
  else
    std::printf("  pyodbc is missing (scripts/setup --bench installs python3-pyodbc)\n");
  std::printf("  array memory %.0f MB for %.0f MB of values: %.2f times (aim: within 3)\n", held / 1e6, values / 1e6,
              held / values);
  fs::remove_all(dir);
  return 0;
}
