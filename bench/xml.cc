// XMLFileToArray of a flat table of 1,000,000 records x 5 fields (about 100 MB), beside
// pandas.read_xml (lxml) and xml.etree.ElementTree.iterparse on the same file, in one run.
// Prints seconds, the ratio to the faster peer, and the memory the call held at its peak and
// after, against the size of the array's values.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>

#include <malloc.h>

#include "automation/strings.h"
#include "bench_support.h"
#include "talvex/variant.h"
#include "platform/registry/components.h"
#include "xml/xml_files.h"

namespace {

// TALVEX_BENCH_ROWS sets another size, TALVEX_BENCH_NO_PEERS skips the peers (for profiling).
const int kRows = std::getenv("TALVEX_BENCH_ROWS") ? std::atoi(std::getenv("TALVEX_BENCH_ROWS")) : 1'000'000;

using bench::run;
using bench::seconds;
using bench::statusKilobytes;

// Numbers and dates as 8 bytes, text as its 16-bit characters, plus 16 bytes a cell.
double valueBytes(const tlx::Variant& array) {
  double total = 0;
  for (const tlx::Variant& v : array.arrayRef().elements()) total += 16 + (v.isString() ? 2.0 * v.str().size() : 0);
  return total;
}

void writeTable(const std::string& path) {
  std::ofstream out(path);
  out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<orders>\n";
  for (int r = 1; r <= kRows; ++r)
    out << "<rec><id>" << r << "</id><name>name " << r % 50000 << "</name><qty>" << r % 997 << "</qty><day>2024-0"
        << r % 9 + 1 << "-1" << r % 10 << "</day><note>note " << r * 7 % 1000 << "</note></rec>\n";
  out << "</orders>\n";
}

}  // namespace

int main() {
  namespace fs = std::filesystem;
  char tmpl[] = "/tmp/talvex-bench-xml-XXXXXX";
  const fs::path dir = mkdtemp(tmpl);
  const std::string path = (dir / "orders.xml").string();
  writeTable(path);
  tlx::registerPlatformComponents();

  tlx::Variant array(tlx::SafeArray::vector(0));
  malloc_trim(0);
  const long before = statusKilobytes("VmRSS:");
  int16_t rc = 0;
  const std::clock_t cpuStart = std::clock();
  const double ours = seconds([&] { rc = tlx::XMLFileToArray(tlx::u16(path), array, true); });
  const double oursCpu = double(std::clock() - cpuStart) / CLOCKS_PER_SEC;
  malloc_trim(0);
  const long held = statusKilobytes("VmRSS:") - before;
  const long peak = statusKilobytes("VmHWM:") - before;
  if (rc != 1) return std::fprintf(stderr, "XMLFileToArray answered %d\n", rc), 1;
  const double values = valueBytes(array);
  if (array.arrayRef().ubound(1) != kRows) return std::fprintf(stderr, "XMLFileToArray read too few rows\n"), 1;
  array = tlx::Variant();
  if (std::getenv("TALVEX_BENCH_NO_PEERS")) return std::printf("XMLFileToArray %.2f s (%.2f s of CPU)\n", ours, oursCpu), 0;

  const std::string py = "/usr/bin/python3 -c \"import sys, pandas as pd; d = pd.read_xml(sys.argv[1], parser='lxml'); "
                         "assert len(d) == " + std::to_string(kRows) + "\" " + path;
  const double pandas = seconds([&] { run(py); });
  const std::string et = "/usr/bin/python3 -c \"import sys, xml.etree.ElementTree as ET\n"
                         "rows = []\n"
                         "for event, e in ET.iterparse(sys.argv[1]):\n"
                         "    if e.tag == 'rec':\n"
                         "        rows.append([c.text for c in e]); e.clear()\n"
                         "assert len(rows) == " + std::to_string(kRows) + "\" " + path;
  const double iterparse = seconds([&] { run(et); });
  const double faster = std::min(pandas, iterparse);

  std::printf("XMLFileToArray of %d records x 5 fields, %.0f MB of XML\n", kRows, fs::file_size(path) / 1e6);
  std::printf("  XMLFileToArray (with headings)      %6.2f s\n", ours);
  std::printf("  pandas.read_xml (lxml)              %6.2f s   %.1f times ours\n", pandas, pandas / ours);
  std::printf("  ElementTree.iterparse               %6.2f s   %.1f times ours\n", iterparse, iterparse / ours);
  std::printf("  ratio to the faster peer: %.1f (aim: at least 5)\n", faster / ours);
  std::printf("  memory: peak %.0f MB, held after %.0f MB, for %.0f MB of array values: %.2f and %.2f times (aim: within 3)\n",
              peak / 1e3, held / 1e3, values / 1e6, peak * 1e3 / values, held * 1e3 / values);
  fs::remove_all(dir);
  return 0;
}
