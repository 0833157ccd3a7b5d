// Shared by the drawing application tests: scratch folders and drawings made by ezdxf.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>

#include "support/scratch.h"

namespace cadtest {

// Debian's ezdxf belongs to the system interpreter, not to whatever python3 comes first.
inline std::string runPython(const std::string& dir, const std::string& script, const std::string& args = "") {
  std::string path = dir + "/script.py";
  std::ofstream(path) << script;
  auto [rc, out] = tlxtest::runCommand("/usr/bin/python3 " + path + " " + args + " 2>&1");
  if (rc != 0) ADD_FAILURE() << "python failed: " << out;
  return out;
}

// A drawing with what the application models and what it only keeps: layers, a block with
// attribute definitions inserted in model and paper space, lines, arcs, circles, ellipses,
// texts, multiline text, a polyline, a hatch, a dimension, a solid and an XRECORD.
inline const char* const kMakeDrawing = R"PY(
import ezdxf, sys
doc = ezdxf.new(sys.argv[2] if len(sys.argv) > 2 else 'R2000')
doc.layers.add('WALLS', color=1)
blk = doc.blocks.new('TAG')
blk.add_circle((0, 0), 1)
blk.add_attdef('NUM', (0, 0), dxfattribs={'height': 0.5})
blk.add_attdef('DESC', (0, -1), dxfattribs={'height': 0.5})
msp = doc.modelspace()
msp.add_line((0, 0), (100, 0), dxfattribs={'layer': 'WALLS'})
msp.add_arc((50, 50), 10, 0, 90)
msp.add_circle((20, 30), 5)
msp.add_text('Hello', dxfattribs={'height': 2.5, 'insert': (5, 5)})
ref = msp.add_blockref('TAG', (200, 100))
ref.add_auto_attribs({'NUM': '1', 'DESC': 'first'})
if doc.dxfversion > 'AC1009':
    msp.add_ellipse((70, 20), major_axis=(10, 0), ratio=0.5)
    msp.add_mtext('Line1\\PLine2', dxfattribs={'char_height': 2, 'insert': (0, 60)})
    msp.add_lwpolyline([(0, 0), (10, 10), (20, -5)])
    h = msp.add_hatch(color=2)
    h.paths.add_polyline_path([(0, 0), (5, 0), (5, 5)], is_closed=True)
    msp.add_linear_dim(base=(0, -10), p1=(0, 0), p2=(100, 0)).render()
    msp.add_3dsolid()
    xr = doc.rootdict.add_xrecord('TALVEX_TEST')
    xr.reset([(1, 'kept'), (40, 3.5)])
psp = doc.layout('Layout1')
r2 = psp.add_blockref('TAG', (10, 10))
r2.add_auto_attribs({'NUM': 'P1', 'DESC': 'paper'})
psp.add_text('Paper note', dxfattribs={'insert': (1, 1)})
doc.saveas(sys.argv[1])
)PY";

// What an independent reader finds in a drawing, as JSON.
inline const char* const kInspect = R"PY(
import ezdxf, sys, json
doc = ezdxf.readfile(sys.argv[1])
auditor = doc.audit()
def attribs(e):
    return {a.dxf.tag: a.dxf.text for a in e.attribs} if e.dxftype() == 'INSERT' else None
out = {
  'version': doc.dxfversion,
  'errors': [str(e) for e in auditor.errors],
  'model': [e.dxftype() for e in doc.modelspace()],
  'paper': [e.dxftype() for e in doc.layout('Layout1')],
  'inserts': [attribs(e) for e in doc.modelspace().query('INSERT')] + [attribs(e) for e in doc.layout('Layout1').query('INSERT')],
  'views': {v.dxf.name: [v.dxf.center[0], v.dxf.center[1], v.dxf.height, v.dxf.width] for v in doc.views},
  'vports': {},
  'handles_unique': True,
  'xrecord': None,
}
for vp in doc.viewports:
    out['vports'][vp.dxf.name] = {'center': list(vp.dxf.center)[:2], 'height': vp.dxf.height,
        'grid_on': vp.dxf.get('grid_on', 0), 'grid': list(vp.dxf.get('grid_spacing', (0, 0)))[:2]}
# Handles as written in the file (the reader adds objects of its own when it loads).
lines = open(sys.argv[1], encoding='latin-1').read().splitlines()
pairs = [(lines[i].strip(), lines[i + 1]) for i in range(0, len(lines) - 1, 2)]
seen, seed, section, record = [], 0, '', ''
for i, (code, value) in enumerate(pairs):
    if code == '0': record = value
    if code == '2' and i > 0 and pairs[i - 1] == ('0', 'SECTION'): section = value
    elif code == '9' and value == '$HANDSEED': seed = int(pairs[i + 1][1], 16)
    elif section != 'HEADER' and code == ('105' if record == 'DIMSTYLE' else '5'): seen.append(int(value, 16))
out['handles_unique'] = len(seen) == len(set(seen))
out['seed_ok'] = seed == 0 or all(h < seed for h in seen)
if doc.dxfversion > 'AC1009':
    xr = doc.rootdict.get('TALVEX_TEST')
    out['xrecord'] = [[t[0], t[1]] for t in xr.tags] if xr is not None else None
print(json.dumps(out))
)PY";

// A script's report: its last line of output (warnings may come before it).
inline nlohmann::json lastJson(const std::string& out) {
  std::string line = out;
  while (!line.empty() && line.back() == '\n') line.pop_back();
  if (auto nl = line.rfind('\n'); nl != std::string::npos) line = line.substr(nl + 1);
  try {
    return nlohmann::json::parse(line);
  } catch (...) {
    ADD_FAILURE() << "reader output: " << out;
    return nlohmann::json::object();
  }
}

inline nlohmann::json inspect(const std::string& dir, const std::string& file) {
  return lastJson(runPython(dir, kInspect, "'" + file + "'"));
}

using tlxtest::ScratchDir;

}  // namespace cadtest
