#!/usr/bin/env bash
# Databases: a SQLite table filled through the data-access component in one transaction, read
# back into an array and into a CSV file, and checked with the sqlite3 shell. The DSN is
# talvex_demo from the build tree's own ODBC configuration (scripts/setup writes it).
set -euo pipefail

odbc="$(dirname "$TALVEX")/odbc"
[ -f "$odbc/odbc.ini" ] || { echo "demo: no ODBC configuration in $odbc (run make demo)" >&2; exit 1; }
export ODBCSYSINI="$odbc" ODBCINI="$odbc/odbc.ini"
db=$(sed -n 's/^Database=//p' "$odbc/odbc.ini" | head -1)
rm -f "$db"
csv="$DEMO_DIR/parts.csv"

requests=(
  '{"create":"ADODB.Connection","as":"c"}'
  '{"on":"c","call":"Open","args":["DSN=talvex_demo;"]}'
  '{"on":"c","call":"Execute","args":["CREATE TABLE parts (id integer PRIMARY KEY, name varchar(40), qty integer, price real)"]}'
  '{"on":"c","call":"BeginTrans"}'
  '{"create":"ADODB.Recordset","as":"rs"}'
  '{"on":"rs","put":"CursorLocation","value":3}'
  '{"on":"rs","call":"Open","args":["parts",{"obj":"c"},3,3]}'
  '{"on":"rs","call":"AddNew","args":[["id","name","qty","price"],[1,"Bolt M6",120,0.15]]}'
  '{"on":"rs","call":"AddNew","args":[["id","name","qty","price"],[2,"Nut M6",300,0.05]]}'
  '{"on":"rs","call":"AddNew","args":[["id","name","qty","price"],[3,"Washer \"wide\"",75,0.02]]}'
  '{"on":"c","call":"CommitTrans"}'
  '{"on":"rs","call":"Close"}'
  '{"on":"c","call":"Close"}'
  '{"let":"a","value":[]}'
  '{"call":"DatabaseTableToArray","args":["talvex_demo","SELECT name, qty, price FROM parts ORDER BY id",{"var":"a"},"","",true]}'
  "{\"call\":\"DatabaseTableToTextFile\",\"args\":[\"talvex_demo\",\"SELECT id, name, qty * price AS value FROM parts ORDER BY id\",\"$csv\",\"\",\"\",true,\",\",true]}"
)
echo "--- a session: requests (>) and answers (<)"
transcript "${requests[@]}"

echo "--- the CSV file $csv"
tr -d '\r' <"$csv"
echo "--- the table, as the sqlite3 shell reads it"
sqlite3 -header -column "$db" 'SELECT * FROM parts'
