#!/usr/bin/env bash
# The control from Python (`import talvex`, in process) beside the standard library and openpyxl,
# each case in a process of its own so that its peak memory is its own: TextFileToArray of a
# 100 MB 10-column CSV beside list(csv.reader(f)); TwoDArrayToExcel of 100,000 x 10 cells from
# lists + SaveAs beside openpyxl write-only; ExcelToTwoDArray of those 1,000,000 cells beside
# openpyxl read-only iter_rows(values_only=True); XMLFileToArray of 100 MB beside
# ElementTree.iterparse. Times cover the work alone (not interpreter start or imports); the
# `ratio python ...` lines are our time over the peer's (lower is better), wall clock, with the
# ratio of CPU times beside it for a machine that is busy with other work.
set -euo pipefail
cd "$(dirname "$0")/.."
TALVEX=${TALVEX:-$PWD/build-release/talvex}
work=$(mktemp -d /tmp/talvex-bench-python.XXXXXX)
trap 'rm -rf "$work"' EXIT
export PYTHONPATH=$(dirname "$TALVEX")/python:$PWD/bench PYTHONDONTWRITEBYTECODE=1

cat > "$work/case.py" <<'PY'
import csv, datetime, resource, sys, time

def value(r, c):
    k = c % 5
    return ["item %d/%d" % (r, c), r * 7 + c, r * 0.25 + c,
            datetime.datetime(2000, 1, 1) + datetime.timedelta(days=r % 9000), (r + c) % 2 == 0][k]

def run(case, path, out):
    if case in ("talvex-csv", "talvex-excel-write", "talvex-excel-read", "talvex-xml"):
        import talvex
        c, rows = talvex.Control(), talvex.Ref([])
    if case == "talvex-excel-write":
        cells = [[value(r, k) for k in range(10)] for r in range(100000)]
        xl = talvex.create("Excel.Application")
        xl.Workbooks.Add().SaveAs(path)
        xl.Quit()
    elif case == "openpyxl-excel-write":
        import openpyxl
        cells = [[value(r, k) for k in range(10)] for r in range(100000)]
    elif case.startswith("openpyxl"):
        import openpyxl
    else:
        import xml.etree.ElementTree as ET
    start, cpu = time.perf_counter(), time.process_time()
    if case == "talvex-csv":
        assert c.TextFileToArray(path, rows) == 1
        n = len(rows.value)
    elif case == "csv":
        with open(path, newline="") as f:
            n = len(list(csv.reader(f)))
    elif case == "talvex-excel-write":
        assert c.TwoDArrayToExcel(cells, path, 1, 1, 1) == 1
        talvex.get_object("Excel.Application").ActiveWorkbook.SaveAs(out)
        n = len(cells)
    elif case == "openpyxl-excel-write":
        wb = openpyxl.Workbook(write_only=True)
        ws = wb.create_sheet()
        for row in cells:
            ws.append(row)
        wb.save(out)
        n = len(cells)
    elif case == "talvex-excel-read":
        assert c.ExcelToTwoDArray(path, 1, 1, 1, 100000, 10, rows, True) == 1
        n = len(rows.value) * len(rows.value[0])
    elif case == "openpyxl-excel-read":
        n = sum(len(list(row)) for row in openpyxl.load_workbook(path, read_only=True).active.iter_rows(values_only=True))
    elif case == "talvex-xml":
        assert c.XMLFileToArray(path, rows, True) == 1
        n = len(rows.value)
    elif case == "elementtree":
        table = []
        for event, e in ET.iterparse(path):
            if e.tag == "rec":
                table.append([x.text for x in e])
                e.clear()
        n = len(table)
    seconds, cpu = time.perf_counter() - start, time.process_time() - cpu
    print("%.3f %.3f %.0f %d" % (seconds, cpu, resource.getrusage(resource.RUSAGE_SELF).ru_maxrss / 1024, n))

run(*sys.argv[1:])
PY

cat > "$work/compare.py" <<'PY'
import os, subprocess, sys

from csv_rows import write_csv

work = sys.argv[1]

def case(name, path, out=""):
    text = subprocess.run([sys.executable, os.path.join(work, "case.py"), name, path, out],
                          check=True, capture_output=True, text=True).stdout.split()
    return float(text[0]), float(text[1]), float(text[2]), int(text[3])

def compare(title, label, ours, peer, ours_name, peer_name):
    (t1, c1, m1, n1), (t2, c2, m2, n2) = ours, peer
    print(title)
    print(f"  {ours_name:<34} {t1:7.2f} s ({c1:6.2f} s CPU)  peak {m1:6.0f} MB  ({n1} read or written)")
    print(f"  {peer_name:<34} {t2:7.2f} s ({c2:6.2f} s CPU)  peak {m2:6.0f} MB  ({n2})")
    print(f"ratio python {label} {t1 / t2:.3f}")
    print(f"  (CPU time ratio {c1 / c2:.3f}, steadier on a busy machine)")

csv_path = os.path.join(work, "data.csv")
write_csv(csv_path, 100)
compare("TextFileToArray of a 100 MB 10-column CSV into a list of rows", "textfile/csv",
        case("talvex-csv", csv_path), case("csv", csv_path), "talvex TextFileToArray", "list(csv.reader(f))")
os.remove(csv_path)

ours_xlsx, peer_xlsx = os.path.join(work, "talvex.xlsx"), os.path.join(work, "openpyxl.xlsx")
compare("TwoDArrayToExcel of 100,000 x 10 cells from lists + SaveAs", "excel-write/openpyxl",
        case("talvex-excel-write", os.path.join(work, "empty.xlsx"), ours_xlsx),
        case("openpyxl-excel-write", "", peer_xlsx),
        "talvex TwoDArrayToExcel + SaveAs", "openpyxl write-only")
compare("ExcelToTwoDArray of those 1,000,000 cells into lists", "excel/openpyxl",
        case("talvex-excel-read", ours_xlsx), case("openpyxl-excel-read", ours_xlsx),
        "talvex ExcelToTwoDArray", "openpyxl read-only iter_rows")

xml_path = os.path.join(work, "orders.xml")
with open(xml_path, "w") as f:
    f.write('<?xml version="1.0" encoding="UTF-8"?>\n<orders>\n')
    for r in range(1, 1000001):
        f.write(f"<rec><id>{r}</id><name>name {r % 50000}</name><qty>{r % 997}</qty><day>2024-0{r % 9 + 1}"
                f"-1{r % 10}</day><note>note {r * 7 % 1000}</note></rec>\n")
    f.write("</orders>\n")
compare(f"XMLFileToArray of {os.path.getsize(xml_path) / 1e6:.0f} MB of XML (1,000,000 records x 5)",
        "xml/elementtree", case("talvex-xml", xml_path), case("elementtree", xml_path),
        "talvex XMLFileToArray", "ElementTree.iterparse into lists")
PY

/usr/bin/python3 "$work/compare.py" "$work"
