"""Drawings for the end-to-end tests, made and read by an independent DXF library.

  drawings.py make PATH    writes a sample drawing (R2000)
  drawings.py facts PATH   prints what a reader finds in PATH as one JSON object
  drawings.py entities PATH  prints the geometry of the model and paper space entities
"""
import json
import sys

import ezdxf
from ezdxf.lldxf.types import dxftag
from ezdxf.lldxf.tags import Tags

SAT = [
    "400 0 1 0",
    "@8 TALVEX 12 ACIS 7.0 NT 24 Mon Jan 01 00:00:00 2024",
    "1 9.9999999999999995e-07 1e-10",
    "body $-1 -1 $-1 $1 $-1 $-1 #",
    "lump $-1 -1 $-1 $-1 $2 $0 #",
    "shell $-1 -1 $-1 $-1 $-1 $-1 $-1 $1 #",
    "End-of-ACIS-data",
]


def make(path):
    doc = ezdxf.new("R2000")
    doc.layers.add("WALLS", color=1)
    doc.layers.add("TITLE", color=3)
    doc.layers.add("NOTES", color=5)

    door = doc.blocks.new("DOOR")
    door.add_line((0, 0), (0.9, 0))
    door.add_arc((0, 0), 0.9, 0, 90)
    door.add_attdef("NUMBER", (0, -0.3), dxfattribs={"height": 0.2})
    door.add_attdef("FIRE", (0, -0.6), dxfattribs={"height": 0.2})

    title = doc.blocks.new("TITLEBLOCK")
    title.add_lwpolyline([(0, 0), (180, 0), (180, 40), (0, 40)], close=True)
    title.add_attdef("PROJECT", (5, 30), dxfattribs={"height": 3})
    title.add_attdef("SHEET", (5, 20), dxfattribs={"height": 3})

    msp = doc.modelspace()
    msp.add_line((0, 0), (100, 0), dxfattribs={"layer": "WALLS"})
    msp.add_line((100, 0), (100, 60), dxfattribs={"layer": "WALLS"})
    msp.add_arc((50, 60), 20, 0, 180, dxfattribs={"layer": "WALLS"})
    msp.add_circle((30, 30), 5, dxfattribs={"layer": "WALLS"})
    msp.add_ellipse((70, 30), major_axis=(10, 0), ratio=0.5, dxfattribs={"layer": "WALLS"})
    msp.add_text("Ground floor", dxfattribs={"layer": "NOTES", "height": 2.5, "insert": (5, 70)})
    msp.add_mtext("Line one\\PLine two", dxfattribs={"layer": "NOTES", "char_height": 2, "insert": (5, 80)})
    for i, (x, fire) in enumerate([(10, "EI30"), (40, "EI60"), (80, "-")], start=1):
        ref = msp.add_blockref("DOOR", (x, 0), dxfattribs={"layer": "WALLS"})
        ref.add_auto_attribs({"NUMBER": "D%02d" % i, "FIRE": fire})
    solid = msp.add_3dsolid(dxfattribs={"layer": "WALLS"})
    solid.sat = SAT
    # Kinds and data the engine keeps only as it read them.
    hatch = msp.add_hatch(color=2, dxfattribs={"layer": "WALLS"})
    hatch.paths.add_polyline_path([(60, 40), (90, 40), (90, 55), (60, 55)], is_closed=True)
    msp.add_spline([(0, 90), (20, 100), (40, 90), (60, 100)], dxfattribs={"layer": "NOTES"})
    line = msp.add_line((0, -10), (100, -10), dxfattribs={"layer": "NOTES"})
    doc.appids.new("TALVEXTEST")
    line.set_xdata("TALVEXTEST", [(1000, "kept as read"), (1040, 3.25)])
    xrec = doc.objects.add_xrecord(doc.rootdict.dxf.handle)
    xrec.reset([(1, "talvex"), (40, 1.5)])
    doc.rootdict["TALVEX_DATA"] = xrec

    psp = doc.layout("Layout1")
    tb = psp.add_blockref("TITLEBLOCK", (10, 10), dxfattribs={"layer": "TITLE"})
    tb.add_auto_attribs({"PROJECT": "Harbour Office", "SHEET": "A-101"})
    psp.add_text("Paper note", dxfattribs={"layer": "TITLE", "insert": (15, 60)})
    second = doc.layouts.new("Layout2")
    second.add_circle((50, 50), 10, dxfattribs={"layer": "TITLE"})
    doc.saveas(path)


def facts(path):
    doc = ezdxf.readfile(path)
    auditor = doc.audit()
    out = {
        "dxfversion": doc.dxfversion,
        "audit_errors": [str(e.message) for e in auditor.errors],
        "layers": sorted(l.dxf.name for l in doc.layers),
        "layouts": {},
        "inserts": [],
        "views": {},
        "vports": {},
        "xdata": None,
        "xrecord": None,
        "sat": None,
    }
    for layout in doc.layouts:
        counts = {}
        for e in layout:
            counts[e.dxftype()] = counts.get(e.dxftype(), 0) + 1
            if e.dxftype() == "INSERT":
                out["inserts"].append([layout.name, e.dxf.name, {a.dxf.tag: a.dxf.text for a in e.attribs}])
            if e.dxftype() == "3DSOLID":
                out["sat"] = list(e.sat)
            if e.dxftype() == "LINE" and e.has_xdata("TALVEXTEST"):
                out["xdata"] = [[t.code, t.value] for t in e.get_xdata("TALVEXTEST")]
        out["layouts"][layout.name] = counts
    out["inserts"].sort(key=json.dumps)
    for v in doc.views:
        out["views"][v.dxf.name] = {
            "center": list(v.dxf.center)[:2],
            "height": v.dxf.height,
            "width": v.dxf.width,
        }
    for vp in doc.viewports:
        entry = out["vports"].setdefault(vp.dxf.name, [])
        entry.append({
            "center": list(vp.dxf.center)[:2],
            "height": vp.dxf.height,
            "grid_on": vp.dxf.get("grid_on", 0),
            "grid_spacing": list(vp.dxf.get("grid_spacing", (0, 0)))[:2],
        })
    if "TALVEX_DATA" in doc.rootdict:
        out["xrecord"] = [[t.code, t.value] for t in doc.rootdict["TALVEX_DATA"].tags]
    return out


def geometry(e):
    t = e.dxftype()
    d = e.dxf
    if t == "LINE":
        return {"start": list(d.start), "end": list(d.end)}
    if t in ("CIRCLE", "ARC"):
        g = {"center": list(d.center), "radius": d.radius}
        if t == "ARC":
            g.update(start_angle=d.start_angle, end_angle=d.end_angle)
        return g
    if t == "ELLIPSE":
        return {"center": list(d.center), "major_axis": list(d.major_axis), "ratio": d.ratio}
    if t == "TEXT":
        return {"insert": list(d.insert), "height": d.height, "text": d.text}
    if t == "MTEXT":
        return {"insert": list(d.insert), "width": d.get("width", 0), "text": e.text}
    if t == "3DSOLID":
        return {"sat_lines": len(list(e.sat))}
    return {}


def entities(path):
    doc = ezdxf.readfile(path)
    out = {"audit_errors": [str(x.message) for x in doc.audit().errors], "model": [], "paper": []}
    for key, layout in (("model", doc.modelspace()), ("paper", doc.layouts.active_layout())):
        for e in layout:
            out[key].append(dict(type=e.dxftype(), handle=e.dxf.handle, **geometry(e)))
    return out


if __name__ == "__main__":
    if sys.argv[1] == "make":
        make(sys.argv[2])
    elif sys.argv[1] == "facts":
        print(json.dumps(facts(sys.argv[2]), sort_keys=True))
    elif sys.argv[1] == "entities":
        print(json.dumps(entities(sys.argv[2]), sort_keys=True))
    else:
        sys.exit("usage: drawings.py make|facts|entities PATH")
