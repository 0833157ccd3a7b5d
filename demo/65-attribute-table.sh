#!/usr/bin/env bash
# Block attributes into a database table: the sample drawing's doors extracted through a
# template into a SQLite table of the demo DSN in one transaction, then read with sqlite3.
set -euo pipefail

odbc="$(dirname "$TALVEX")/odbc"
[ -f "$odbc/odbc.ini" ] || { echo "demo: no ODBC configuration in $odbc (run make demo)" >&2; exit 1; }
export ODBCSYSINI="$odbc" ODBCINI="$odbc/odbc.ini"
db=$(sed -n 's/^Database=//p' "$odbc/odbc.ini" | head -1)
drawing="$DEMO_DIR/doors.dxf"
template="$DEMO_DIR/door-table.tpl"

/usr/bin/python3 tests/attributes_e2e/attribute_drawings.py make "$drawing" R2000
printf '%s\r\n' "*INPUT" "BLOCK: DOOR" "LAYER: *" "SPACE: *" "*OUTPUT" "BLOCK_NAME" "BLOCK_SPACE" \
  "BLOCK_X" "BLOCK_Y" "*ATTRIBUTE_TAGS" "NUMBER" "FIRE" > "$template"
sqlite3 "$db" "DROP TABLE IF EXISTS doors;
  CREATE TABLE doors (block varchar(40), space varchar(8), x varchar(30), y varchar(30), number varchar(20), fire varchar(20))"

requests=(
  "{\"call\":\"OpenDocument\",\"args\":[\"$drawing\"]}"
  "{\"call\":\"PrepTemplate\",\"args\":[\"$template\"]}"
  '{"call":"AttributesToDatabaseTable","args":["talvex_demo","doors","","",true]}'
)
echo "--- a session: requests (>) and answers (<)"
transcript "${requests[@]}"
echo "--- the table doors, as the sqlite3 shell reads it"
sqlite3 -header -column "$db" 'SELECT * FROM doors'
