#!/usr/bin/env bash
# The spreadsheet application: an array goes into a workbook, a range of it comes back as an
# array, and a sample DXF drawing is laid out in a workbook by sections; openpyxl reads both
# saved workbooks back.
set -euo pipefail

book="$DEMO_DIR/figures.xlsx"
drawing="$DEMO_DIR/sample.dxf"
layout="$DEMO_DIR/sample-dxf.xlsx"
echo "--- a sample drawing made with ezdxf: $drawing"
/usr/bin/python3 tests/office_e2e/workbooks.py dxf-make "$drawing" 3

echo "--- a session: requests on the left (>), answers below (<)"
requests=(
  '{"create":"Excel.Application","as":"xl"}'
  '{"on":"xl","get":"Workbooks","as":"books"}'
  '{"on":"books","call":"Add","as":"new"}'
  "{\"on\":\"new\",\"call\":\"SaveAs\",\"args\":[\"$book\"]}"
  '{"on":"new","call":"Close"}'
  '{"let":"a","value":{"array2d":[["Region","Q1","Q2","Since"],["North",120,135.5,{"date":"2019-04-01T00:00:00"}],["South",98,101.25,{"date":"2021-10-15T00:00:00"}]]}}'
  "{\"call\":\"TwoDArrayToExcel\",\"args\":[{\"var\":\"a\"},\"$book\",\"Sheet1\",2,2,\"\",\"\",0,true]}"
  '{"on":"xl","get":"ActiveWorkbook","as":"wb"}'
  '{"on":"wb","call":"Save"}'
  '{"let":"r","value":{"array":[]}}'
  "{\"call\":\"ExcelToTwoDArray\",\"args\":[\"$book\",{\"i2\":1},3,2,4,5,{\"var\":\"r\"}]}"
  "{\"call\":\"DXFToExcel\",\"args\":[\"$drawing\"]}"
  '{"getobject":"Excel.Application","as":"xl2"}'
  '{"on":"xl2","get":"ActiveWorkbook","as":"dxfbook"}'
  "{\"on\":\"dxfbook\",\"call\":\"SaveAs\",\"args\":[\"$layout\"]}"
  '{"on":"xl2","call":"Quit"}'
)
transcript "${requests[@]}"

echo "--- the saved workbooks, read back with openpyxl"
/usr/bin/python3 - "$book" "$layout" <<'PY'
import sys
import openpyxl

ws = openpyxl.load_workbook(sys.argv[1]).active
print(f"{sys.argv[1]}: sheet {ws.title!r}, cells {ws.dimensions}")
for row in ws.iter_rows(min_row=2, min_col=2, values_only=True):
    print("   ", row)
print("    column widths:", {k: round(v.width, 2) for k, v in ws.column_dimensions.items() if v.width})
wb = openpyxl.load_workbook(sys.argv[2], read_only=True)
print(f"{sys.argv[2]}: sheets {wb.sheetnames}")
for ws in wb.worksheets[:2]:
    rows = list(ws.iter_rows(max_row=6, values_only=True))
    print(f"    {ws.title}: first rows {rows}")
PY
