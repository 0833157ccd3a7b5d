"""Sample drawings for the drawing tests, made and read by an independent DXF library.

  drawings.py make PATH [VERSION]  writes the sample drawing (R2000 unless told)
  drawings.py facts PATH           prints what a reader finds in PATH as one JSON object
  drawings.py entities PATH        prints the geometry of the model and paper space entities
  drawings.py solids PATH          prints the audit errors and the meshes of the solids' bodies
"""
import json
import sys

import ezdxf
from ezdxf.math import Vec3

# A body as other writers store it: kept as read.
SAT = [
    "400 0 1 0",
    "@8 TALVEX 12 ACIS 7.0 NT 24 Mon Jan 01 00:00:00 2024",
    "1 9.9999999999999995e-07 1e-10",
    "body $-1 -1 $-1 $1 $-1 $-1 #",
    "lump $-1 -1 $-1 $-1 $2 $0 #",
    "shell $-1 -1 $-1 $-1 $-1 $-1 $-1 $1 #",
    "End-of-ACIS-data",
]


def make(path, version="R2000"):
    """What the application models and what it only keeps: layers, a block with attribute
    definitions inserted in model and paper space, lines, arcs, circles, ellipses, texts,
    multiline text, a polyline, a hatch, a dimension, a solid, extended data and an XRECORD."""
    doc = ezdxf.new(version)
    doc.layers.add("WALLS", color=1)
    blk = doc.blocks.new("TAG")
    blk.add_circle((0, 0), 1)
    blk.add_attdef("NUM", (0, 0), dxfattribs={"height": 0.5})
    blk.add_attdef("DESC", (0, -1), dxfattribs={"height": 0.5})
    msp = doc.modelspace()
    line = msp.add_line((0, 0), (100, 0), dxfattribs={"layer": "WALLS"})
    msp.add_arc((50, 50), 10, 0, 90)
    msp.add_circle((20, 30), 5)
    msp.add_text("Hello", dxfattribs={"height": 2.5, "insert": (5, 5)})
    ref = msp.add_blockref("TAG", (200, 100))
    ref.add_auto_attribs({"NUM": "1", "DESC": "first"})
    if doc.dxfversion > "AC1009":
        msp.add_ellipse((70, 20), major_axis=(10, 0), ratio=0.5)
        msp.add_mtext("Line1\\PLine2", dxfattribs={"char_height": 2, "insert": (0, 60)})
        msp.add_lwpolyline([(0, 0), (10, 10), (20, -5)])
        h = msp.add_hatch(color=2)
        h.paths.add_polyline_path([(0, 0), (5, 0), (5, 5)], is_closed=True)
        msp.add_linear_dim(base=(0, -10), p1=(0, 0), p2=(100, 0)).render()
        msp.add_3dsolid().sat = SAT
        doc.appids.new("TALVEXTEST")
        line.set_xdata("TALVEXTEST", [(1000, "kept as read"), (1040, 3.25)])
        doc.rootdict.add_xrecord("TALVEX_DATA").reset([(1, "kept"), (40, 3.5)])
        doc.layouts.new("Layout2").add_circle((50, 50), 10)
    psp = doc.layout("Layout1")
    psp.add_blockref("TAG", (10, 10)).add_auto_attribs({"NUM": "P1", "DESC": "paper"})
    psp.add_text("Paper note", dxfattribs={"insert": (1, 1)})
    doc.saveas(path)


def handles(path):
    """Whether the handles written in the file (the reader adds objects of its own when it
    loads) are unique and below $HANDSEED."""
    lines = open(path, encoding="latin-1").read().splitlines()
    pairs = [(lines[i].strip(), lines[i + 1]) for i in range(0, len(lines) - 1, 2)]
    seen, seed, section, record = [], 0, "", ""
    for i, (code, value) in enumerate(pairs):
        if code == "0":
            record = value
        if code == "2" and i > 0 and pairs[i - 1] == ("0", "SECTION"):
            section = value
        elif code == "9" and value == "$HANDSEED":
            seed = int(pairs[i + 1][1], 16)
        elif section != "HEADER" and code == ("105" if record == "DIMSTYLE" else "5"):
            seen.append(int(value, 16))
    return len(seen) == len(set(seen)), seed == 0 or all(h < seed for h in seen)


def facts(path):
    doc = ezdxf.readfile(path)
    out = {
        "dxfversion": doc.dxfversion,
        "audit_errors": [str(e.message) for e in doc.audit().errors],
        "layers": sorted(l.dxf.name for l in doc.layers),
        "layouts": {},
        "inserts": [],
        "views": {},
        "vports": {},
        "xdata": None,
        "xrecord": None,
        "sat": None,
    }
    out["handles_unique"], out["seed_ok"] = handles(path)
    for layout in doc.layouts:
        out["layouts"][layout.name] = [e.dxftype() for e in layout]
        for e in layout:
            if e.dxftype() == "INSERT":
                out["inserts"].append([layout.name, e.dxf.name, {a.dxf.tag: a.dxf.text for a in e.attribs}])
            if e.dxftype() == "3DSOLID":
                out["sat"] = list(e.sat)
            if e.dxftype() == "LINE" and e.has_xdata("TALVEXTEST"):
                out["xdata"] = [[t.code, t.value] for t in e.get_xdata("TALVEXTEST")]
    out["inserts"].sort(key=json.dumps)
    for v in doc.views:
        out["views"][v.dxf.name] = {"center": list(v.dxf.center)[:2], "height": v.dxf.height, "width": v.dxf.width}
    for vp in doc.viewports:
        out["vports"].setdefault(vp.dxf.name, []).append({
            "center": list(vp.dxf.center)[:2],
            "height": vp.dxf.height,
            "grid_on": vp.dxf.get("grid_on", 0),
            "grid_spacing": list(vp.dxf.get("grid_spacing", (0, 0)))[:2],
        })
    if doc.dxfversion > "AC1009" and "TALVEX_DATA" in doc.rootdict:
        out["xrecord"] = [[t.code, t.value] for t in doc.rootdict["TALVEX_DATA"].tags]
    return out


# The fields read of each kind; points become lists.
FIELDS = {"LINE": "start end", "CIRCLE": "center radius", "ARC": "center radius start_angle end_angle",
          "ELLIPSE": "center major_axis ratio", "TEXT": "insert height text", "MTEXT": "insert width"}


def geometry(e):
    g = {f: e.dxf.get(f, 0) for f in FIELDS.get(e.dxftype(), "").split()}
    g = {f: list(v) if isinstance(v, Vec3) else v for f, v in g.items()}
    if e.dxftype() == "MTEXT":
        g["text"] = e.text
    elif e.dxftype() == "INSERT":
        g["attribs"] = {a.dxf.tag: a.dxf.text for a in e.attribs}
    elif e.dxftype() == "3DSOLID":
        g["sat_lines"] = len(list(e.sat))
    return g


def entities(path):
    doc = ezdxf.readfile(path)
    out = {"audit_errors": [str(x.message) for x in doc.audit().errors], "model": [], "paper": []}
    for key, layout in (("model", doc.modelspace()), ("paper", doc.layouts.active_layout())):
        for e in layout:
            out[key].append(dict(type=e.dxftype(), handle=e.dxf.handle, **geometry(e)))
    return out


def solids(path):
    """The faces, vertices and bounding box (x, y and z, each from least to greatest, rounded to
    1e-9) of each model space solid's body as ezdxf's ACIS reader meshes it."""
    from ezdxf.acis import api as acis
    doc = ezdxf.readfile(path)
    out = {"audit_errors": len(doc.audit().errors), "solids": []}
    for solid in doc.modelspace().query("3DSOLID"):
        mesh = acis.mesh_from_body(acis.load_dxf(solid)[0])[0]
        box = [round(f(v[i] for v in mesh.vertices), 9) for i in range(3) for f in (min, max)]
        out["solids"].append({"faces": len(mesh.faces), "vertices": len(mesh.vertices), "box": box})
    return out


if __name__ == "__main__":
    if sys.argv[1] == "make":
        make(*sys.argv[2:4])
    else:
        read = {"facts": facts, "entities": entities, "solids": solids}[sys.argv[1]]
        print(json.dumps(read(sys.argv[2]), sort_keys=True))
