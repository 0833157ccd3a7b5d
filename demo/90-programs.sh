#!/usr/bin/env bash
# Using the control from programs: one method's shape, a traced session with its password masked,
# and the Python client.
set -euo pipefail

echo "--- talvex methods TextFileToArray"
"$TALVEX" methods TextFileToArray

echo "--- talvex session --trace: what the trace file holds"
printf '%s\n' \
  '{"let":"conn","value":"DSN=parts;UID=sa;PWD=s3cret;"}' \
  '{"call":"DatabaseTableToArray","args":["nodsn","select 1",{"var":"a"},"sa","s3cret"]}' \
  | "$TALVEX" session --trace "$DEMO_DIR/trace.txt" >/dev/null
cat "$DEMO_DIR/trace.txt"

echo "--- the Python client"
printf 'part,qty\r\nbolt,12\r\nnut,7\r\n' >"$DEMO_DIR/parts.csv"
cd "$DEMO_DIR"
PYTHONPATH="$OLDPWD/clients/python" PYTHONDONTWRITEBYTECODE=1 /usr/bin/python3 - <<'PY'
import talvex
with talvex.Session() as s:
    rc, rows = s.call("TextFileToArray", "parts.csv", talvex.Var("rows"))
    print("TextFileToArray ->", rc, list(rows))
    d = s.create("Scripting.Dictionary")
    for part, qty in rows[1:]:
        d.Add(part, int(qty))
    print("dictionary: Count", d.Count, "bolt", d["bolt"])
    try:
        s.call("CreateLine")
    except talvex.TalvexError as e:
        print("CreateLine raised", e.number, e.description)
PY
