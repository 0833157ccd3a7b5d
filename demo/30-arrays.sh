#!/usr/bin/env bash
# Arrays and delimited text: a CSV file into an array, out as an HTML page and back to CSV,
# and a sort, all through the command-line host.
set -euo pipefail

csv="$DEMO_DIR/parts.csv"
printf 'Part,Qty,Price\r\nBolt M6,120,0.15\r\nNut M6,300,0.05\r\nWasher,75,0.02\r\n' >"$csv"
echo "--- input $csv"
tr -d '\r' <"$csv"

requests=(
  '{"let":"a","value":{"array":[]}}'
  "{\"call\":\"TextFileToArray\",\"args\":[\"$csv\",{\"var\":\"a\"}]}"
  "{\"call\":\"TwoDArrayToHTMLFile\",\"args\":[{\"var\":\"a\"},\"$DEMO_DIR/parts.html\",\"Parts\",\"Parts list\"],\"named\":{\"intBorder\":1,\"blnBoldFirstRow\":true}}"
  "{\"call\":\"TwoDArrayToTextFile\",\"args\":[{\"var\":\"a\"},\"$DEMO_DIR/back.csv\"]}"
  '{"let":"n","value":[3.5,-1,"pear",10,"Apple",2]}'
  '{"call":"SortOneDArray","args":[{"var":"n"}]}'
  '{"call":"SortOneDArray","args":[{"var":"n"},1]}'
)
echo "--- a session: requests (>) and answers (<)"
transcript "${requests[@]}"

echo "--- the page $DEMO_DIR/parts.html"
tr -d '\r' <"$DEMO_DIR/parts.html"

echo "--- back to CSV: identical to the input?"
if cmp -s "$csv" "$DEMO_DIR/back.csv"; then echo "yes, byte for byte"; else echo "NO"; exit 1; fi
