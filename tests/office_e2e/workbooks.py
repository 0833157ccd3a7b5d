"""Independent readers and writers for the spreadsheet tests: openpyxl, ezdxf, LibreOffice."""
import datetime
import hashlib
import json
import os
import subprocess
import sys
import tempfile
import zipfile

import openpyxl
from openpyxl.chart import BarChart, Reference
from openpyxl.styles import Font, PatternFill
from openpyxl.workbook.defined_name import DefinedName


def make_rich(path):
    wb = openpyxl.Workbook()
    ws = wb.active
    ws.title = "Data"
    ws.append(["Name", "Amount", "When", "Flag"])
    ws.append(["alpha", 1234.5, datetime.datetime(2024, 1, 31, 13, 5), True])
    ws.append(["beta", -0.25, datetime.date(2023, 12, 24), False])
    ws.append(["gamma", 1e12, datetime.datetime(2020, 2, 29), None])
    ws["B2"].number_format = "#,##0.00"
    ws["B3"].number_format = "0.00%"
    ws["B4"].number_format = "0.00E+00"
    ws["C2"].number_format = "m/d/yyyy h:mm"
    ws["C3"].number_format = "yyyy-mm-dd"
    ws["C4"].number_format = "d-mmm-yy"
    ws["A1"].font = Font(bold=True)
    ws["A1"].fill = PatternFill("solid", fgColor="FFFF00")
    ws["B5"] = "=SUM(B2:B4)"
    ws["A6"] = "merged"
    ws.merge_cells("A6:C6")
    ws["E1"] = 0.1 + 0.2
    ws["E2"] = 123456789012345.0
    ws["E3"] = 0.000012345
    ws["E4"] = "  padded  "
    ws.column_dimensions["A"].width = 20
    other = wb.create_sheet("Other")
    other["A1"] = "second sheet"
    other["B2"] = 42
    charts = wb.create_sheet("Charts")
    for i in range(1, 6):
        charts.append([i, i * i])
    chart = BarChart()
    chart.add_data(Reference(charts, min_col=2, min_row=1, max_row=5))
    charts.add_chart(chart, "D2")
    wb.defined_names.append(DefinedName("Amounts", attr_text="Data!$B$2:$B$4"))
    wb.save(path)


def cell_fact(c):
    v = c.value
    if isinstance(v, datetime.datetime):
        return ["date", v.isoformat()]
    if isinstance(v, datetime.date):
        return ["date", datetime.datetime(v.year, v.month, v.day).isoformat()]
    if isinstance(v, datetime.time):
        return ["time", v.isoformat()]
    if isinstance(v, bool):
        return ["bool", v]
    if isinstance(v, (int, float)):
        return ["number", float(v)]
    if v is None:
        return ["empty", None]
    return ["text", str(v)]


def facts(path):
    wb = openpyxl.load_workbook(path)
    out = {"sheets": wb.sheetnames, "names": sorted(wb.defined_names.definedName and [d.name for d in wb.defined_names.definedName] or [])}
    for ws in wb:
        cells = {}
        formats = {}
        for row in ws.iter_rows():
            for c in row:
                if c.value is not None:
                    cells[c.coordinate] = cell_fact(c)
                    formats[c.coordinate] = c.number_format
        out[ws.title] = {
            "cells": cells,
            "formats": formats,
            "merged": sorted(str(r) for r in ws.merged_cells.ranges),
            "widths": {k: d.width for k, d in ws.column_dimensions.items() if d.customWidth},
            "bold": [c.coordinate for row in ws.iter_rows() for c in row if c.font and c.font.b],
            "charts": len(ws._charts),
        }
    return out


def parts(path):
    """Each entry: CRC, compressed size and a digest of the content."""
    out = {}
    with zipfile.ZipFile(path) as z:
        for info in z.infolist():
            out[info.filename] = [info.CRC, info.compress_size, hashlib.sha1(z.read(info)).hexdigest()]
    return out


def dxf_make(path, lines):
    import ezdxf
    doc = ezdxf.new()
    msp = doc.modelspace()
    for i in range(int(lines)):
        msp.add_line((i, 0), (i, 1))
    doc.blocks.new("B1").add_circle((0, 0), 1)
    doc.saveas(path)


def dxf_check(dxf, xlsx):
    """Lays the file's pairs out by the import rules and compares with every sheet."""
    with open(dxf, newline="") as f:
        lines = f.read().split("\n")
    lines = [l[:-1] if l.endswith("\r") else l for l in lines]
    pairs = [(lines[i].strip(), lines[i + 1]) for i in range(0, len(lines) - 1, 2)]
    wb = openpyxl.load_workbook(xlsx, read_only=True)
    expected = []  # (sheet index, row, code, value)
    sheet, row, name, new_section, names = 0, 0, None, False, {}
    for code, value in pairs:
        if code == "0" and value == "SECTION":
            new_section = True
        if code == "2" and new_section:
            name, new_section = value, False
            names[sheet] = value
        row += 1
        if name == "HEADER" and code == "9":
            row += 1
        elif name == "TABLES" and code == "0" and value == "TABLE":
            row += 3
        elif name == "BLOCKS" and code == "0" and value == "BLOCK":
            row += 3
        expected.append((sheet, row, code, value))
        if (code == "0" and value == "ENDSEC") or row > 60000:
            sheet, row, name = sheet + 1, 0, None
        if value == "EOF":
            break
    problems = []
    sheets = wb.worksheets
    got = {}
    for i in range(sheet + 1):
        rows = {}
        for r in sheets[i].iter_rows():
            for c in r:
                if c.value is not None:
                    rows[(c.row, c.column)] = c.value
        got[i] = rows
    for s, r, code, value in expected:
        a, b = got[s].pop((r, 1), None), got[s].pop((r, 2), None)
        if (a, b if b is not None else "") != (code, value):
            problems.append([s, r, code, value, a, b])
    for s, rest in got.items():
        if rest:
            problems.append(["extra cells", s, len(rest)])
    print(json.dumps({"sheets": [ws.title for ws in sheets], "named": names, "problems": problems[:10],
                      "rows": len(expected)}))
    return None


def soffice_csv(path):
    with tempfile.TemporaryDirectory() as home:
        r = subprocess.run(["soffice", "-env:UserInstallation=file://" + home, "--headless", "--convert-to", "csv",
                            "--outdir", home, path], capture_output=True, text=True, timeout=180)
        name = os.path.splitext(os.path.basename(path))[0] + ".csv"
        text = open(os.path.join(home, name)).read() if os.path.exists(os.path.join(home, name)) else None
        return {"rc": r.returncode, "stderr": r.stderr, "csv": text}


def soffice_xlsx(csv_path, out):
    """A workbook made by LibreOffice from a CSV file (its own styles, strings and dates)."""
    with tempfile.TemporaryDirectory() as home:
        subprocess.run(["soffice", "-env:UserInstallation=file://" + home, "--headless", "--convert-to", "xlsx",
                        "--outdir", home, csv_path], capture_output=True, timeout=180, check=True)
        os.replace(os.path.join(home, os.path.splitext(os.path.basename(csv_path))[0] + ".xlsx"), out)


def make_existing(path):
    """A workbook whose first sheet has cells the DXF layout does not reach, and a second sheet."""
    wb = openpyxl.Workbook()
    ws = wb.active
    ws.title = "First"
    ws["A1"], ws["C1"], ws["A500"] = "old", "kept", "below"
    wb.create_sheet("Second")["A1"] = "untouched"
    wb.save(path)


if __name__ == "__main__":
    cmd, args = sys.argv[1], sys.argv[2:]
    if cmd == "make-rich":
        make_rich(*args)
    elif cmd == "facts":
        print(json.dumps(facts(*args)))
    elif cmd == "parts":
        print(json.dumps(parts(*args)))
    elif cmd == "dxf-make":
        dxf_make(*args)
    elif cmd == "dxf-check":
        dxf_check(*args)
    elif cmd == "soffice-xlsx":
        soffice_xlsx(*args)
    elif cmd == "make-existing":
        make_existing(*args)
    elif cmd == "soffice-csv":
        print(json.dumps(soffice_csv(*args)))
