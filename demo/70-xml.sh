#!/usr/bin/env bash
# XML files: a small parts table read into an array through the recordset's XML data source,
# and the same file copied node for node into a tree view, then read back as an outline array.
set -euo pipefail

xml="$DEMO_DIR/parts.xml"
cat >"$xml" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<parts>
  <part id="1"><name>Bolt M6</name><qty>120</qty></part>
  <part id="2"><name>Mutter – M6</name><qty>300</qty><tag>steel</tag><tag>zinc</tag></part>
  <part id="3"><name>Washer</name></part>
</parts>
XML
echo "--- the file $xml"
cat "$xml"

requests=(
  '{"let":"a","value":[]}'
  "{\"call\":\"XMLFileToArray\",\"args\":[\"$xml\",{\"var\":\"a\"},true]}"
  '{"create":"MSComctlLib.TreeCtrl","as":"tv"}'
  "{\"call\":\"XMLFileToTreeView\",\"args\":[\"$xml\",{\"obj\":\"tv\"},true]}"
  '{"let":"outline","value":[]}'
  '{"call":"TreeViewToTwoDArray","args":[{"obj":"tv"},{"var":"outline"},true]}'
)
echo "--- a session: requests (>) and answers (<)"
transcript "${requests[@]}"
