// The spreadsheet methods at scale, beside their peers in one run: TwoDArrayToExcel of
// 100,000 x 10 mixed cells then SaveAs, beside libxlsxwriter (constant-memory mode, in process)
// and openpyxl write-only writing the same cells; ExcelToTwoDArray of the saved file beside
// openpyxl read-only; DXFToExcel of the 200,000-entity drawing then SaveAs.
// Files are kept in $TALVEX_BENCH_DIR (default /tmp/talvex-bench).
#include <xlsxwriter.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "talvex/convert.h"
#include "talvex/dispatch.h"
#include "talvex/registry.h"
#include "automation/strings.h"
#include "dxf/dxf_methods.h"
#include "office/office_methods.h"
#include "platform/registry/components.h"

namespace {

using namespace tlx;

constexpr int kRows = 100000, kCols = 10;

// Column c of row r: text, whole numbers, fractions, dates and Booleans in turn.
Variant cellValue(int r, int c) {
  switch (c % 5) {
    case 0: return Variant(u16("item " + std::to_string(r) + "/" + std::to_string(c)));
    case 1: return Variant(int32_t(r * 7 + c));
    case 2: return Variant(r * 0.25 + c);
    case 3: return Variant(Date{makeDate(2000, 1, 1) + r % 9000});
    default: return Variant((r + c) % 2 == 0);
  }
}

const char* const kPeer = R"PY(
import datetime, sys, time
import openpyxl
out, ours, rows, cols = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4])
base = datetime.datetime(2000, 1, 1)
def value(r, c):
    k = c % 5
    return ["item %d/%d" % (r, c), r * 7 + c, r * 0.25 + c, base + datetime.timedelta(days=r % 9000), (r + c) % 2 == 0][k]
t = time.perf_counter()
wb = openpyxl.Workbook(write_only=True)
ws = wb.create_sheet()
for r in range(rows):
    ws.append([value(r, c) for c in range(cols)])
wb.save(out)
write = time.perf_counter() - t
t = time.perf_counter()
n = 0
for row in openpyxl.load_workbook(ours, read_only=True).active.iter_rows(values_only=True):
    n += len(row)
read = time.perf_counter() - t
print("%.3f %.3f %d" % (write, read, n))
)PY";

const char* const kDrawing = R"PY(
import ezdxf, sys
doc = ezdxf.new('R2000')
msp = doc.modelspace()
for i in range(int(sys.argv[2])):
    if i % 3 == 0: msp.add_line((i, 0), (i, 10))
    elif i % 3 == 1: msp.add_circle((i, 5), 2)
    else: msp.add_text('T%d' % i, dxfattribs={'insert': (i, 20), 'height': 2.5})
doc.saveas(sys.argv[1])
)PY";

double now() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

std::string run(const std::string& cmd) {
  std::string out;
  std::unique_ptr<FILE, int (*)(FILE*)> p(popen(cmd.c_str(), "r"), pclose);
  char buf[512];
  while (p && fgets(buf, sizeof buf, p.get())) out += buf;
  return out;
}

double libxlsxwriterSeconds(const std::string& path) {
  double t = now();
  lxw_workbook_options options = {};
  options.constant_memory = LXW_TRUE;
  lxw_workbook* wb = workbook_new_opt(path.c_str(), &options);
  lxw_worksheet* ws = workbook_add_worksheet(wb, nullptr);
  lxw_format* date = workbook_add_format(wb);
  format_set_num_format(date, "m/d/yyyy");
  for (int r = 0; r < kRows; ++r)
    for (int c = 0; c < kCols; ++c) {
      Variant v = cellValue(r, c);
      if (v.isString()) worksheet_write_string(ws, lxw_row_t(r), lxw_col_t(c), u8(v.str()).c_str(), nullptr);
      else if (v.type() == vtDate) worksheet_write_number(ws, lxw_row_t(r), lxw_col_t(c), v.date(), date);
      else if (v.type() == vtBoolean) worksheet_write_boolean(ws, lxw_row_t(r), lxw_col_t(c), v.boolean(), nullptr);
      else worksheet_write_number(ws, lxw_row_t(r), lxw_col_t(c), toDouble(v), nullptr);
    }
  workbook_close(wb);
  return now() - t;
}

ObjRef activeWorkbook() { return objectOf(getProperty(getObject("Excel.Application"), "ActiveWorkbook")); }

}  // namespace

int main() {
  const char* envDir = std::getenv("TALVEX_BENCH_DIR");
  std::string dir = envDir ? envDir : "/tmp/talvex-bench";
  std::filesystem::create_directories(dir);
  registerPlatformComponents();
  auto script = [&](const char* name, const char* text) {
    std::string path = dir + "/" + name;
    std::ofstream(path) << text;
    return path;
  };

  // The array is made before the clock starts, as a caller would hold it.
  Variant array(std::make_unique<SafeArray>(std::vector<Bound>{{0, kRows}, {0, kCols}}));
  for (int r = 0; r < kRows; ++r)
    for (int c = 0; c < kCols; ++c) array.array()->at(r, c) = cellValue(r, c);
  std::string empty = dir + "/sheet-empty.xlsx", ours = dir + "/sheet-talvex.xlsx";
  ObjRef made = objectOf(callMethod(objectOf(getProperty(createObject("Excel.Application"), "Workbooks")), "Add"));
  callMethod(made, "SaveAs", {Variant(u16(empty))});
  callMethod(getObject("Excel.Application"), "Quit");

  double t = now();
  int16_t wrote = TwoDArrayToExcel(array, BStr(u16(empty)), Variant(int16_t(1)), 1, 1, BStr(), BStr(), 0, false, false);
  double filled = now() - t;
  callMethod(activeWorkbook(), "SaveAs", {Variant(u16(ours))});
  double write = now() - t;
  callMethod(getObject("Excel.Application"), "Quit");

  Variant back(std::make_unique<SafeArray>(std::vector<Bound>{{0, 1}}));
  t = now();
  ExcelToTwoDArray(BStr(u16(ours)), Variant(int16_t(1)), 1, 1, 1, 1, back, true, BStr(), BStr());
  double openOnly = now() - t;
  t = now();
  int16_t read = ExcelToTwoDArray(BStr(u16(ours)), Variant(int16_t(1)), 1, 1, kRows, kCols, back, true, BStr(), BStr());
  double readSeconds = now() - t;
  bool same = read == 1 && toBStr(back.array()->at(kRows - 1, 0)).view() == cellValue(kRows - 1, 0).str().view() &&
              toDouble(back.array()->at(kRows - 1, 2)) == toDouble(cellValue(kRows - 1, 2));

  if (!same && read == 1)
    std::printf("last row read back: \"%s\", %s\n", u8(toBStr(back.array()->at(kRows - 1, 0))).c_str(),
                u8(toBStr(back.array()->at(kRows - 1, 2))).c_str());
  double lxw = libxlsxwriterSeconds(dir + "/sheet-libxlsxwriter.xlsx");
  double pyWrite = 0, pyRead = 0;
  long pyCells = 0;
  std::string peer = run("/usr/bin/python3 " + script("peer_sheet.py", kPeer) + " " + dir + "/sheet-openpyxl.xlsx " +
                         ours + " " + std::to_string(kRows) + " " + std::to_string(kCols));
  if (std::sscanf(peer.c_str(), "%lf %lf %ld", &pyWrite, &pyRead, &pyCells) != 3) {
    std::printf("openpyxl run failed: %s\n", peer.c_str());
    return 1;
  }

  std::printf("TwoDArrayToExcel %d x %d + SaveAs: %.2f s (status %d; cells %.2f s, save %.2f s)\n", kRows, kCols,
              write, wrote, filled, write - filled);
  std::printf("  libxlsxwriter constant memory:  %.2f s  -> ours %.2f x its time\n", lxw, write / lxw);
  std::printf("  openpyxl write-only:            %.2f s  -> ours %.1f x faster\n", pyWrite, pyWrite / write);
  std::printf("ExcelToTwoDArray of that file:    %.2f s (status %d, last row %s; one cell alone %.2f s)\n",
              readSeconds, read, same ? "matches" : "DIFFERS", openOnly);
  std::printf("  openpyxl read-only:             %.2f s  -> ours %.1f x faster (%ld cells)\n", pyRead,
              pyRead / readSeconds, pyCells);

  std::string drawing = dir + "/dxf-200k.dxf";  // the DXF benchmark's drawing, when it has run
  if (!std::filesystem::exists(drawing)) {
    drawing = dir + "/dxf-200k-sheet.dxf";
    if (!std::filesystem::exists(drawing))
      run("/usr/bin/python3 " + script("make_sheet_dxf.py", kDrawing) + " " + drawing + " 200000");
  }
  long pairs = 0;
  {
    std::ifstream in(drawing);
    std::string line;
    while (std::getline(in, line)) ++pairs;
    pairs /= 2;
  }
  t = now();
  int16_t laid = DXFToExcel(BStr(u16(drawing)), BStr());
  callMethod(activeWorkbook(), "SaveAs", {Variant(u16(dir + "/dxf-200k.xlsx"))});
  double dxf = now() - t;
  callMethod(getObject("Excel.Application"), "Quit");
  std::printf("DXFToExcel of %s + SaveAs: %.2f s (status %d), %ld rows, %.0f rows/s\n",
              std::filesystem::path(drawing).filename().c_str(), dxf, laid, pairs, pairs / dxf);
  return wrote == 1 && read == 1 && laid == 1 && same ? 0 : 1;
}
