"""Workbooks in shapes other writers give them, made from one openpyxl workbook (A1 "hello",
B1 2 on sheet "Data"):

    workbook_variants.py VARIANT OUT

plain; prefixed (the workbook and sheet parts write the main namespace with a prefix, x:, as
.NET and some Java libraries do); no-styles (no styles part); empty-styles (<styleSheet/>);
sheet (the sheet part's rows replaced by the XML on standard input).
"""
import io
import re
import sys
import zipfile

import openpyxl

MAIN = "http://schemas.openxmlformats.org/spreadsheetml/2006/main"


def prefixed(xml):
    xml = re.sub(r"<(/?)([A-Za-z]+)(?=[\s/>])", r"<\1x:\2", xml)
    return xml.replace('xmlns="' + MAIN + '"', 'xmlns:x="' + MAIN + '"', 1)


def change(parts, variant, rows):
    if variant == "prefixed":
        for name in ("xl/workbook.xml", "xl/worksheets/sheet1.xml"):
            parts[name] = prefixed(parts[name].decode()).encode()
    elif variant == "no-styles":
        del parts["xl/styles.xml"]
        for name, pattern in (("xl/_rels/workbook.xml.rels", r"<Relationship [^>]*styles[^>]*/>"),
                              ("[Content_Types].xml", r"<Override [^>]*styles\.xml[^>]*/>")):
            parts[name] = re.sub(pattern, "", parts[name].decode()).encode()
    elif variant == "empty-styles":
        parts["xl/styles.xml"] = ('<styleSheet xmlns="%s"/>' % MAIN).encode()
    elif variant == "sheet":
        parts["xl/worksheets/sheet1.xml"] = ('<worksheet xmlns="%s"><sheetData>%s</sheetData></worksheet>'
                                             % (MAIN, rows)).encode()


def main(variant, out):
    wb = openpyxl.Workbook()
    ws = wb.active
    ws.title = "Data"
    ws["A1"], ws["B1"] = "hello", 2
    buf = io.BytesIO()
    wb.save(buf)
    with zipfile.ZipFile(buf) as z:
        parts = {name: z.read(name) for name in z.namelist()}
    change(parts, variant, sys.stdin.read() if variant == "sheet" else "")
    with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as z:
        for name, data in parts.items():
            z.writestr(name, data)


if __name__ == "__main__":
    main(*sys.argv[1:3])
