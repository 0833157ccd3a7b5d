#!/usr/bin/env bash
# TwoDArrayToWord of ROWS x 5 cells (10,000 by default) then save through the command-line host
# (host start and JSON parse of the array included), beside python-docx building the same table
# (bench/word_peer.py). Prints both times, the ratio and the host's peak memory beside the size
# of the table's text. bench_word measures the method alone.
set -euo pipefail
cd "$(dirname "$0")/.."
TALVEX=${TALVEX:-$PWD/build-release/talvex}
ROWS=${ROWS:-10000}
work=$(mktemp -d /tmp/talvex-bench-word.XXXXXX)
trap 'rm -rf "$work"' EXIT

/usr/bin/python3 - "$TALVEX" "$work" "$ROWS" <<'PY'
import json, os, subprocess, sys, time

talvex, work, rows = sys.argv[1], sys.argv[2], int(sys.argv[3])
table = [[f"r{r}c{c} text" if c % 2 == 0 else r * 10 + c for c in range(5)] for r in range(rows)]
text_bytes = sum(len(str(v)) + 1 for row in table for v in row)

doc = os.path.join(work, "talvex.docx")
requests = "\n".join(json.dumps(r) for r in [
    {"let": "a", "value": {"array2d": table}},
    {"call": "TwoDArrayToWord", "args": [{"var": "a"}, "", False, False, 16]},
    {"getobject": "Word.Application", "as": "w"},
    {"on": "w", "get": "ActiveDocument", "as": "d"},
    {"on": "d", "call": "SaveAs", "args": [doc]},
]) + "\n"
start = time.perf_counter()
proc = subprocess.run(["/usr/bin/time", "-f", "%M", talvex, "session"], input=requests.encode(),
                      capture_output=True, cwd=work)
ours = time.perf_counter() - start
assert proc.returncode == 0 and os.path.exists(doc), proc.stderr.decode()
peak_mb = int(proc.stderr.decode().strip().splitlines()[-1]) / 1024

peer_out = subprocess.run(["/usr/bin/python3", "bench/word_peer.py", str(rows), doc], capture_output=True,
                          check=True, text=True).stdout.split()
peer, rows_read = float(peer_out[0]), int(peer_out[1])
assert rows_read == rows, rows_read
print(f"host: TwoDArrayToWord {rows} x 5 + save: {ours:.2f} s (host start and JSON included), peak {peak_mb:.0f} MB")
print(f"python-docx same table + save:   {peer:.2f} s")
print(f"ratio: {peer / ours:.1f} x faster; table text {text_bytes / 1e6:.2f} MB")
PY
