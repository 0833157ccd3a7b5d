#!/usr/bin/env bash
# Using the control from programs: one method's shape, a traced session with its password masked,
# Python in process, and the Python client of a host process.
set -euo pipefail

echo "--- talvex methods TextFileToArray"
"$TALVEX" methods TextFileToArray

echo "--- talvex session --trace: what the trace file holds"
printf '%s\n' \
  '{"let":"conn","value":"DSN=parts;UID=sa;PWD=s3cret;"}' \
  '{"call":"DatabaseTableToArray","args":["nodsn","select 1",{"var":"a"},"sa","s3cret"]}' \
  | "$TALVEX" session --trace "$DEMO_DIR/trace.txt" >/dev/null
cat "$DEMO_DIR/trace.txt"

printf 'part,qty\r\nbolt,12\r\nnut,7\r\n' >"$DEMO_DIR/parts.csv"
echo "--- Python in process: import talvex"
(cd "$DEMO_DIR" && PYTHONPATH="$(dirname "$TALVEX")/python" PYTHONDONTWRITEBYTECODE=1 /usr/bin/python3 - <<'PY'
import talvex
c = talvex.Control()
rows = talvex.Ref([])
print("talvex", talvex.__version__, "TextFileToArray ->", c.TextFileToArray("parts.csv", rows), rows.value)
try:
    c.CreateLine()
except talvex.ComError as e:
    print("CreateLine raised", e.number, e.description)
PY
)

echo "--- the Python client of a host process"
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
