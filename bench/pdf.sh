#!/usr/bin/env bash
# CreatePDFFromFile on a generated 10 MB text file, beside the usual peer route on the same
# file (enscript to PostScript, then ps2pdf from a file). Prints seconds, MB/s and the ratio,
# and the peak memory of the host for 10 MB and for 40 MB of text, which should not differ much.
set -euo pipefail
cd "$(dirname "$0")/.."
TALVEX=${TALVEX:-$PWD/build-release/talvex}
for tool in enscript ps2pdf qpdf; do
  command -v "$tool" >/dev/null || { echo "bench/pdf.sh: $tool is missing (scripts/setup --bench)" >&2; exit 1; }
done
work=$(mktemp -d /tmp/talvex-bench-pdf.XXXXXX)
trap 'rm -rf "$work"' EXIT

/usr/bin/python3 - "$TALVEX" "$work" <<'PY'
import os, random, subprocess, sys, time

talvex, work = sys.argv[1], sys.argv[2]

def generate(path, size):
    rnd = random.Random(12)
    words = ["alpha", "beta", "gamma", "delta", "(note)", "C:\\data", "42", "3.14", "total:",
             "x", "lorem", "ipsum", "dolor", "sit", "amet,", "consectetur", "adipiscing"]
    lines, total = [], 0
    while total < size:
        n = rnd.choice((0, 3, 6, 9, 12, 14, 18, 26))
        line = " ".join(rnd.choice(words) for _ in range(n))
        if rnd.random() < 0.002:
            line = "\f" + line
        lines.append(line)
        total += len(line) + 2
    with open(path, "w", newline="") as f:
        f.write("\r\n".join(lines) + "\r\n")

def timed(argv):
    """Runs one command; returns (seconds, peak resident memory in MB, output). The peak comes
    from /usr/bin/time: a forked Python child would report this script's own memory."""
    start = time.perf_counter()
    proc = subprocess.run(["/usr/bin/time", "-f", "%M"] + argv, capture_output=True)
    seconds = time.perf_counter() - start
    if proc.returncode != 0:
        sys.exit("bench/pdf.sh: %s failed (%d): %s %s"
                 % (argv[0], proc.returncode, proc.stdout, proc.stderr))
    peak_kb = int(proc.stderr.decode().strip().splitlines()[-1])
    return seconds, peak_kb / 1024.0, proc.stdout

def ours(txt, pdf):
    seconds, peak, out = timed([talvex, "call", "CreatePDFFromFile", txt, pdf])
    if b'"result":1' not in out:
        sys.exit("bench/pdf.sh: CreatePDFFromFile answered " + out.decode())
    subprocess.run(["qpdf", "--check", pdf], check=True, stdout=subprocess.DEVNULL)
    return seconds, peak

small, large = os.path.join(work, "ten.txt"), os.path.join(work, "forty.txt")
generate(small, 10 * 1000 * 1000)
generate(large, 40 * 1000 * 1000)
mb = os.path.getsize(small) / 1e6

ours(small, os.path.join(work, "warm.pdf"))  # page cache and binary warm for both routes
t_ours, peak_small = ours(small, os.path.join(work, "ours.pdf"))
t_large, peak_large = ours(large, os.path.join(work, "ours40.pdf"))
t_enscript, _, _ = timed(["enscript", "-q", "-B", "-o", os.path.join(work, "peer.ps"), small])
t_ps2pdf, _, _ = timed(["ps2pdf", os.path.join(work, "peer.ps"), os.path.join(work, "peer.pdf")])
t_peer = t_enscript + t_ps2pdf

print("input: %.1f MB of text" % mb)
print("CreatePDFFromFile:  %7.3f s  %8.1f MB/s  (output %.1f MB)"
      % (t_ours, mb / t_ours, os.path.getsize(os.path.join(work, "ours.pdf")) / 1e6))
print("enscript + ps2pdf:  %7.3f s  %8.1f MB/s  (enscript %.3f s, ps2pdf %.3f s)"
      % (t_peer, mb / t_peer, t_enscript, t_ps2pdf))
print("ratio: %.1f times faster than the peer (aim: at least 10)" % (t_peer / t_ours))
print("peak memory of the host: %.1f MB for 10 MB of text, %.1f MB for 40 MB (%.3f s)"
      % (peak_small, peak_large, t_large))
PY
