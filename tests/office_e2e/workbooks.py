"""Independent readers and writers for the worksheet and DXF tests: openpyxl and ezdxf."""
import datetime
import hashlib
import json
import os
import sys
import zipfile

import openpyxl
from openpyxl.chart import BarChart, Reference
from openpyxl.styles import Font, PatternFill
from openpyxl.workbook.defined_name import DefinedName

sys.path.append(os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, "platform_spreadsheet"))
from formats import fact  # a cell as [kind, value], as the workbook tests compare them


def make_rich(path):
    wb = openpyxl.Workbook()
    ws = wb.active
    ws.title = "Data"
    ws.append(["Name", "Amount", "When", "Flag"])
    ws.append(["alpha", 1234.5, datetime.datetime(2024, 1, 31, 13, 5), True])
    ws.append(["beta", -0.25, datetime.date(2023, 12, 24), False])
    ws.append(["gamma", 1e12, datetime.datetime(2020, 2, 29), None])
    for ref, code in (("B2", "#,##0.00"), ("B3", "0.00%"), ("B4", "0.00E+00"),
                      ("C2", "m/d/yyyy h:mm"), ("C3", "yyyy-mm-dd"), ("C4", "d-mmm-yy")):
        ws[ref].number_format = code
    ws["A1"].font = Font(bold=True)
    ws["A1"].fill = PatternFill("solid", fgColor="FFFF00")
    ws["B5"] = "=SUM(B2:B4)"
    ws["A6"] = "merged"
    ws.merge_cells("A6:C6")
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


def facts(path):
    wb = openpyxl.load_workbook(path)
    out = {"sheets": wb.sheetnames}
    for ws in wb:
        out[ws.title] = {
            "cells": {c.coordinate: fact(c) for row in ws.iter_rows() for c in row if c.value is not None},
            "widths": {k: d.width for k, d in ws.column_dimensions.items() if d.customWidth},
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
        lines = [l[:-1] if l.endswith("\r") else l for l in f.read().split("\n")]
    pairs = [(lines[i].strip(), lines[i + 1]) for i in range(0, len(lines) - 1, 2)]
    expected = []  # (sheet index, row, code, value)
    sheet, row, name, new_section = 0, 0, None, False
    for code, value in pairs:
        if code == "0" and value == "SECTION":
            new_section = True
        if code == "2" and new_section:
            name, new_section = value, False
        row += 1
        if name == "HEADER" and code == "9":
            row += 1
        elif (name, code, value) in (("TABLES", "0", "TABLE"), ("BLOCKS", "0", "BLOCK")):
            row += 3
        expected.append((sheet, row, code, value))
        if (code == "0" and value == "ENDSEC") or row > 60000:
            sheet, row, name = sheet + 1, 0, None
        if value == "EOF":
            break
    sheets = openpyxl.load_workbook(xlsx, read_only=True).worksheets
    got = [{(c.row, c.column): c.value for r in sheets[i].iter_rows() for c in r if c.value is not None}
           for i in range(sheet + 1)]
    problems = []
    for s, r, code, value in expected:
        a, b = got[s].pop((r, 1), None), got[s].pop((r, 2), None)
        if (a, b if b is not None else "") != (code, value):
            problems.append([s, r, code, value, a, b])
    problems += [["extra cells", s, len(rest)] for s, rest in enumerate(got) if rest]
    print(json.dumps({"sheets": [ws.title for ws in sheets], "problems": problems[:10]}))


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
    if cmd in ("facts", "parts"):
        print(json.dumps({"facts": facts, "parts": parts}[cmd](*args)))
    else:
        {"make-rich": make_rich, "dxf-make": dxf_make, "dxf-check": dxf_check, "make-existing": make_existing}[cmd](*args)
