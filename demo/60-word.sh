#!/usr/bin/env bash
# Word export: a centred bold paragraph and one table in each of two formats go into a new
# document through the talvex host; python-docx reads the saved document back.
set -euo pipefail

doc="$DEMO_DIR/report.docx"
cd "$DEMO_DIR"
"$TALVEX" session <<EOF_REQUESTS
{"call": "TextToWord", "args": ["Quarterly figures", "", false, false, true, "Arial", 16, 8, 1]}
{"getobject": "Word.Application", "as": "w"}
{"on": "w", "get": "ActiveDocument", "as": "d"}
{"on": "d", "call": "SaveAs", "args": ["$doc"]}
{"let": "a", "value": {"array2d": [["Region", "Q1", "Q2"], ["North", 120, 135.5], ["South", 98, 101]]}}
{"call": "TwoDArrayToWord", "args": [{"var": "a"}, "$doc", true, false, 16, false, "Arial", 10, 10, 0, 0, true, true, true, true, true]}
{"call": "TwoDArrayToWord", "args": [{"var": "a"}, "$doc", true, true, 37, false, "Arial", 10, 10, 0, 0, true, true, true, true, true]}
EOF_REQUESTS
echo "--- python-docx reads $doc"
/usr/bin/python3 - "$doc" <<'PY'
import sys, docx
d = docx.Document(sys.argv[1])
for p in d.paragraphs:
    if p.text:
        r = p.runs[0]
        print(f"paragraph {p.text!r}: alignment {p.alignment}, bold {r.bold}, {r.font.name} {r.font.size.pt:g} pt")
for t in d.tables:
    print(f"table in style {t.style.name!r}:")
    for row in t.rows:
        print("   " + " | ".join(c.text for c in row.cells))
PY
