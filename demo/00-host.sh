#!/usr/bin/env bash
# The command-line host: the type library, the about box, and an outside object in a session.
set -euo pipefail

echo "--- talvex methods (first lines and the count)"
"$TALVEX" methods >"$DEMO_DIR/methods.txt"
head -4 "$DEMO_DIR/methods.txt"
tail -1 "$DEMO_DIR/methods.txt"

echo "--- talvex call AboutBox"
"$TALVEX" call AboutBox

echo "--- a session: requests on the left (>), answers below (<)"
requests=(
  '{"create":"Scripting.Dictionary","as":"d"}'
  '{"on":"d","call":"Add","args":["pi",3.14159]}'
  '{"on":"d","call":"Add","args":["answer",42]}'
  '{"on":"d","get":"Count"}'
  '{"on":"d","call":"Keys"}'
  '{"let":"names","value":{"array":null}}'
  '{"call":"MultiLineTextToOneDArray","args":["red;green;blue",{"var":"names"}],"named":{"strDelimiter":";"}}'
  '{"call":"NoSuchMethod"}'
  'not json at all'
)
transcript "${requests[@]}"
