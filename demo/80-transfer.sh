#!/usr/bin/env bash
# FTP transfer: a local FTP server on a free port of 127.0.0.1; one session uploads a file
# through the transfer control, downloads it again under another name, and the two are compared.
set -euo pipefail

root="$DEMO_DIR/ftp-root"
mkdir -p "$root/incoming"
/usr/bin/python3 tests/support/ftp_server.py "$root" >"$DEMO_DIR/ftp.port" 2>"$DEMO_DIR/ftp.log" &
server=$!
trap 'kill $server 2>/dev/null || true' EXIT
for _ in $(seq 50); do grep -q PORT "$DEMO_DIR/ftp.port" && break; sleep 0.1; done
port=$(awk '{print $2}' "$DEMO_DIR/ftp.port")
echo "--- FTP server on 127.0.0.1:$port (user \"user\")"

head -c 3000000 /dev/urandom >"$DEMO_DIR/report.bin"
session=$(cat <<JSON
{"create": "InetCtls.Inet", "as": "inet"}
{"call": "UploadFile", "args": [{"obj": "inet"}, "127.0.0.1:$port", "incoming", "$DEMO_DIR/report.bin", "report.bin", "user", "secret"]}
{"on": "inet", "get": "ResponseInfo"}
{"call": "DownloadFile", "args": [{"obj": "inet"}, "127.0.0.1:$port", "incoming", "$DEMO_DIR/copy.bin", "report.bin", "user", "secret"]}
{"on": "inet", "get": "ResponseCode"}
JSON
)
echo "$session" | sed 's/"secret"/"***"/'
echo "--- answers"
echo "$session" | "$TALVEX" session
cmp "$DEMO_DIR/report.bin" "$DEMO_DIR/copy.bin"
echo "--- cmp: report.bin and copy.bin are identical ($(stat -c %s "$DEMO_DIR/copy.bin") bytes)"
