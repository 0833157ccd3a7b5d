"""Workbooks of other kinds for the import tests: a source made by openpyxl, LibreOffice's
.xlsx, .xls, .ods and .csv of it, a Strict copy, and the cells openpyxl reads from a workbook."""
import datetime
import json
import os
import re
import subprocess
import sys
import tempfile
import zipfile

import openpyxl
from openpyxl.utils.datetime import CALENDAR_MAC_1904


def make_source(path, epoch1904=False):
    wb = openpyxl.Workbook()
    if epoch1904:
        wb.epoch = CALENDAR_MAC_1904
    ws = wb.active
    ws.title = "Numbers"
    ws.append(["n", 1.5, -42, 1000000, 0.125, 1e-05])
    ws.append(["text", "plain", 'quote " inside', "comma, here", "line\nbreak", "  padded  "])
    ws.append(["date", datetime.date(2024, 1, 15), datetime.datetime(2023, 12, 24, 13, 5, 30),
               datetime.date(1999 if epoch1904 else 1900, 3, 1), None, "after gap"])
    ws.append(["bool", True, False, "#N/A", "#DIV/0!", "Ünïcødé €"])
    ws.append([])
    ws.append(["last", None, 7])
    second = wb.create_sheet("Second")
    second["B2"], second["C3"] = "b2", 3
    third = wb.create_sheet("Third sheet")
    third["A1"], third["D10"], third["B2"] = True, "far", -0.5
    wb.save(path)


def convert(outdir, kind, *paths):
    with tempfile.TemporaryDirectory(prefix="lo-") as home:
        subprocess.run(["soffice", "-env:UserInstallation=file://" + home, "--headless", "--convert-to", kind,
                        "--outdir", outdir, *paths], capture_output=True, timeout=300, check=True)


# The namespaces and relationship types Strict names differently from Transitional.
STRICT = [
    ("http://schemas.openxmlformats.org/officeDocument/2006/relationships/extended-properties",
     "http://purl.oclc.org/ooxml/officeDocument/relationships/extendedProperties"),
    ("http://schemas.openxmlformats.org/officeDocument/2006/extended-properties",
     "http://purl.oclc.org/ooxml/officeDocument/extendedProperties"),
]
STRICT_LANGUAGES = r"http://schemas\.openxmlformats\.org/(spreadsheetml|drawingml|officeDocument)/2006/"


def make_strict(source, out):
    with zipfile.ZipFile(source) as zin, zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as zout:
        for info in zin.infolist():
            data = zin.read(info)
            if info.filename.endswith((".xml", ".rels")):
                text = data.decode("utf-8")
                for transitional, strict in STRICT:
                    text = text.replace(transitional, strict)
                text = re.sub(STRICT_LANGUAGES, r"http://purl.oclc.org/ooxml/\1/", text)
                text = re.sub(r"<workbook ", '<workbook conformance="strict" ', text, count=1)
                data = text.encode("utf-8")
            zout.writestr(info.filename, data)


def fact(c):
    v = c.value
    if c.data_type == "e":
        return ["error", v]
    if isinstance(v, datetime.datetime):
        return ["date", v.isoformat()]
    if isinstance(v, datetime.date):
        return ["date", datetime.datetime(v.year, v.month, v.day).isoformat()]
    if isinstance(v, bool):
        return ["bool", v]
    if isinstance(v, (int, float)):
        return ["number", float(v)]
    return ["text", str(v)]


def cells(path):
    wb = openpyxl.load_workbook(path)
    return [[ws.title, {c.coordinate: fact(c) for row in ws.iter_rows() for c in row if c.value is not None}]
            for ws in wb]


def make_all(dir):
    src, src1904 = os.path.join(dir, "source.xlsx"), os.path.join(dir, "source1904.xlsx")
    make_source(src)
    make_source(src1904, epoch1904=True)
    for kind in ("xlsx", "xls", "ods", "csv"):
        convert(os.path.join(dir, kind), kind, src, src1904)
    make_strict(src, os.path.join(dir, "strict.xlsx"))
    print(json.dumps({"source": cells(src), "source1904": cells(src1904)}))


if __name__ == "__main__":
    cmd, args = sys.argv[1], sys.argv[2:]
    if cmd == "make-all":
        make_all(*args)
    elif cmd == "cells":
        print(json.dumps(cells(*args)))
