#!/usr/bin/env bash
# The session host beside Python's csv module, each in a process of its own so that its peak
# memory is its own: TextFileToArray of a 20 MB 10-column CSV, timed from the request to the last
# byte of the answer (28 MB of JSON) through `talvex session`, beside list(csv.reader(f)) of the
# same file (timed in its interpreter); then one request line of 5 million empty strings. The
# `ratio session ...` line is our time over the peer's (lower is better), the best of three
# runs each, wall clock, with the CPU time ratio beside it for a machine busy with other work.
set -euo pipefail
cd "$(dirname "$0")/.."
TALVEX=${TALVEX:-$PWD/build-release/talvex}
work=$(mktemp -d /tmp/talvex-bench-session.XXXXXX)
trap 'rm -rf "$work"' EXIT

cat > "$work/compare.py" <<'PY'
import csv, os, resource, subprocess, sys, time

from csv_rows import write_csv

talvex, work = sys.argv[1], sys.argv[2]

def status_mb(pid, key):
    with open(f"/proc/{pid}/status") as f:
        return next(int(line.split()[1]) for line in f if line.startswith(key)) / 1024

def host_cpu(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")

def session(request):
    """Seconds and CPU seconds from the request to the answer's last byte, the host's peak
    memory in MB, and the answer."""
    host = subprocess.Popen([talvex, "session"], stdin=subprocess.PIPE, stdout=subprocess.PIPE)
    host.stdin.write(b'{"let":"rows","value":{"array":null}}\n')
    host.stdin.flush()
    host.stdout.readline()
    cpu = host_cpu(host.pid)
    start = time.perf_counter()
    host.stdin.write(request)
    host.stdin.flush()
    answer = host.stdout.readline()
    seconds = time.perf_counter() - start
    cpu, peak = host_cpu(host.pid) - cpu, status_mb(host.pid, "VmHWM:")
    host.stdin.close()
    host.wait()
    return seconds, cpu, peak, answer

def python_csv(path):
    code = ("import csv,resource,sys,time\n"
            "s,c=time.perf_counter(),time.process_time()\n"
            "with open(sys.argv[1],newline='') as f: n=len(list(csv.reader(f)))\n"
            "print(time.perf_counter()-s,time.process_time()-c,"
            "resource.getrusage(resource.RUSAGE_SELF).ru_maxrss/1024,n)")
    out = subprocess.run([sys.executable, "-c", code, path], check=True, capture_output=True, text=True).stdout
    t, c, m, n = out.split()
    return float(t), float(c), float(m), int(n)

path = os.path.join(work, "data.csv")
rows = write_csv(path, 20)
# Bytes of the array's values in memory: a 16-byte Variant and a 16-bit string each.
with open(path, newline="") as f:
    array = sum(16 + (4 + 2 * len(field) + 2 + 3) // 4 * 4 for line in f for field in line[:-2].split(","))
size = os.path.getsize(path)
request = ('{"call":"TextFileToArray","args":["%s",{"var":"rows"}]}\n' % path).encode()

ours = min((session(request) for _ in range(3)), key=lambda r: r[0])
peer = min((python_csv(path) for _ in range(3)), key=lambda r: r[0])
t1, c1, m1, answer = ours
t2, c2, m2, n2 = peer
assert answer.startswith(b'{"ok":true,"result":1,') and answer.count(b"],[") + 1 == n2 == rows, answer[:200]
print(f"TextFileToArray of a {size / 1e6:.0f} MB 10-column CSV ({rows} rows), request to the answer's last byte")
print(f"  {'talvex session':<24} {t1:7.2f} s ({c1:6.2f} s CPU)  peak {m1:6.0f} MB "
      f"({m1 / (array / 2**20):.2f} times the array's {array / 2**20:.0f} MB of values), answer {len(answer) / 1e6:.0f} MB")
print(f"  {'list(csv.reader(f))':<24} {t2:7.2f} s ({c2:6.2f} s CPU)  peak {m2:6.0f} MB")
print(f"ratio session textfile/csv {t1 / t2:.3f}")
print(f"  (CPU time ratio {c1 / c2:.3f}, steadier on a busy machine)")

strings = 5000000
line = b'{"let":"e","value":[' + b'"",' * (strings - 1) + b'""]}\n'
t, c, peak, answer = session(line)
assert answer.startswith(b'{"ok":true,"vars":{"e":[""') and answer.count(b'""') == strings, answer[:200]
print(f"A request line of {strings:,} empty strings ({len(line) / 1e6:.0f} MB): {t:.2f} s, peak {peak:.0f} MB")
PY

PYTHONPATH="$PWD/bench" PYTHONDONTWRITEBYTECODE=1 /usr/bin/python3 "$work/compare.py" "$TALVEX" "$work"
