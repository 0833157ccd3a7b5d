#!/usr/bin/env bash
# Attribute extraction on a generated drawing of 50,000 block references with 4 attributes
# each: OpenDocument + PrepTemplate + AttributesToFile through the host, beside ezdxf reading
# the same file, querying the references and writing the same CSV lines. Prints seconds, the
# ratio, and the host's peak memory against the file's size.
set -euo pipefail
cd "$(dirname "$0")/.."
TALVEX=${TALVEX:-$PWD/build-release/talvex}
work=$(mktemp -d /tmp/talvex-bench-attributes.XXXXXX)
trap 'rm -rf "$work"' EXIT

/usr/bin/python3 - "$TALVEX" "$work" <<'PY'
import json, os, subprocess, sys, time
import ezdxf

talvex, work = sys.argv[1], sys.argv[2]
REFS, TAGS = 50000, ["NUMBER", "ROOM", "FIRE", "WIDTH"]
drawing = os.path.join(work, "doors.dxf")
template = os.path.join(work, "doors.tpl")
ours_csv, peer_csv = os.path.join(work, "ours.csv"), os.path.join(work, "peer.csv")

doc = ezdxf.new("R2000")
door = doc.blocks.new("DOOR")
door.add_line((0, 0), (0.9, 0))
for i, tag in enumerate(TAGS):
    door.add_attdef(tag, (0, -0.3 * (i + 1)))
msp = doc.modelspace()
for i in range(REFS):
    ref = msp.add_blockref("DOOR", (i % 500, i // 500), dxfattribs={"layer": "DOORS"})
    ref.add_auto_attribs({"NUMBER": "D%05d" % i, "ROOM": "R%d" % (i // 10), "FIRE": "EI%d" % (30 * (i % 3 + 1)),
                          "WIDTH": "%d" % (800 + i % 5 * 100)})
doc.saveas(drawing)
size_mb = os.path.getsize(drawing) / 1e6
with open(template, "w", newline="") as f:
    f.write("\r\n".join(["*INPUT", "BLOCK: DOOR", "LAYER: *", "SPACE: MODEL", "*OUTPUT", "BLOCK_HANDLE",
                         "BLOCK_X", "BLOCK_Y", "*ATTRIBUTE_TAGS"] + TAGS) + "\r\n")

def ours():
    requests = "\n".join(json.dumps(r) for r in [
        {"call": "OpenDocument", "args": [drawing]},
        {"call": "PrepTemplate", "args": [template]},
        {"call": "AttributesToFile", "args": [ours_csv]}]) + "\n"
    start = time.perf_counter()
    proc = subprocess.run(["/usr/bin/time", "-f", "%M", talvex, "session"], input=requests.encode(),
                          capture_output=True)
    seconds = time.perf_counter() - start
    answers = [json.loads(l) for l in proc.stdout.decode().splitlines()]
    if proc.returncode != 0 or [a.get("result") for a in answers] != [1, 1, 32767]:
        sys.exit("bench/attributes.sh: the host answered %s %s" % (proc.stdout, proc.stderr))
    return seconds, int(proc.stderr.decode().strip().splitlines()[-1]) / 1024.0

def peer():
    start = time.perf_counter()
    d = ezdxf.readfile(drawing)
    with open(peer_csv, "w", newline="") as f:
        for ref in d.modelspace().query("INSERT"):
            if ref.dxf.name.upper() != "DOOR" or not ref.attribs:
                continue
            values = {}
            for a in ref.attribs:
                values.setdefault(a.dxf.tag.upper(), a.dxf.text)
            x, y = ref.dxf.insert[0], ref.dxf.insert[1]
            f.write(",".join([ref.dxf.handle, "%.10f" % x, "%.10f" % y] + [values.get(t, "N/A") for t in TAGS]) + "\r\n")
    return time.perf_counter() - start

ours()  # page cache and binary warm
t_ours, peak = ours()
t_peer = peer()
if open(ours_csv, "rb").read() != open(peer_csv, "rb").read():
    sys.exit("bench/attributes.sh: the two routes wrote different lines")
print("drawing: %d block references x %d attributes, %.1f MB" % (REFS, len(TAGS), size_mb))
print("talvex OpenDocument + PrepTemplate + AttributesToFile: %.2f s, peak %.0f MB (%.1f x the file)"
      % (t_ours, peak, peak / size_mb))
print("ezdxf readfile + query + CSV:                          %.2f s" % t_peer)
print("ratio: talvex is %.1f times faster than ezdxf" % (t_peer / t_ours))
PY
