#!/usr/bin/env bash
# Text file to PDF: a short text with parentheses, a backslash, a long line and a page break
# becomes a PDF through the talvex host; qpdf checks it and pdftotext reads it back.
set -euo pipefail

text="$DEMO_DIR/notes.txt"
pdf="$DEMO_DIR/notes.pdf"
{
  printf 'Quarterly notes (draft)\r\n'
  printf 'Path: C:\\data\\q3 -- costs rose 4%% (see table)\r\n'
  printf '\r\n'
  printf 'This line is long enough to be wrapped: it runs on past the ninety-two characters that fit across a letter page in Courier 10.\r\n'
  for i in $(seq 1 70); do printf 'item %02d\r\n' "$i"; done
  printf '\fAppendix: this line opens a new page.\r\n'
} >"$text"
echo "--- $(wc -l <"$text") lines of text in $text"

echo "> \$TALVEX call CreatePDFFromFile $text $pdf Courier 10 0 8.5 11 Demo talvex" \
  "'\"\"' Notes '\"Notes (Q3)\"'"
"$TALVEX" call CreatePDFFromFile "$text" "$pdf" Courier 10 0 8.5 11 Demo talvex '""' Notes '"Notes (Q3)"'

echo "--- qpdf --check"
qpdf --check "$pdf"

echo "--- pdfinfo (title, producer, pages)"
pdfinfo "$pdf" | grep -E '^(Title|Producer|Pages|Page size):'

echo "--- pdftotext -layout, first lines of page 1"
pdftotext -layout -f 1 -l 1 "$pdf" - | head -8
echo "--- last page"
pdftotext -layout -f 3 -l 3 "$pdf" - | grep -v '^\s*$'
