"""Drawings with block attributes for the end-to-end tests, made and queried by ezdxf.

  attribute_drawings.py make PATH VERSION           writes a drawing
  attribute_drawings.py records PATH QUERY_JSON     the records an extraction should give
  attribute_drawings.py changes BEFORE AFTER        what differs between two drawings
"""
import json
import math
import os
import re
import sys
import time

import ezdxf


def make(path, version):
    doc = ezdxf.new(version)
    for name, color in (("WALLS", 1), ("DOORS", 2), ("TITLE", 3)):
        doc.layers.add(name, color=color)
    door = doc.blocks.new("DOOR")
    door.add_line((0, 0), (0.9, 0))
    door.add_attdef("NUMBER", (0, -0.3))
    door.add_attdef("FIRE", (0, -0.6))
    office = doc.blocks.new("OFFICE DOOR")
    office.add_attdef("NUMBER", (0, 0))
    room = doc.blocks.new("RAUM")
    room.add_attdef("NAME", (0, 0))
    title = doc.blocks.new("TITLEBLOCK")
    title.add_attdef("PROJECT", (5, 30))
    title.add_attdef("SHEET", (5, 20))
    doc.blocks.new("PLAIN").add_line((0, 0), (1, 1))

    msp = doc.modelspace()
    msp.add_line((0, 0), (100, 0), dxfattribs={"layer": "WALLS"})
    values = [("D01", "EI30"), ("D02", "EI60"), ("D03", "-")]
    for i, (number, fire) in enumerate(values):
        attribs = {"layer": "DOORS" if i < 2 else "WALLS"}
        if i == 1:
            attribs.update(rotation=30, xscale=2, yscale=0.5, color=5, linetype="CONTINUOUS", ltscale=1.5)
        ref = msp.add_blockref("DOOR", (10.5 * (i + 1), -2.25, 0.125), dxfattribs=attribs)
        ref.add_auto_attribs({"NUMBER": number, "FIRE": fire})
    # A block name with a blank, and a block carrying the same tag twice.
    ref = msp.add_blockref("OFFICE DOOR", (50, 5), dxfattribs={"layer": "DOORS"})
    ref.add_attrib("NUMBER", "O-1", (50, 5))
    ref.add_attrib("NUMBER", "O-1 second", (50, 6))
    # Values and names beyond ASCII.
    ref = msp.add_blockref("RAUM", (60, 5), dxfattribs={"layer": "WALLS"})
    ref.add_attrib("NAME", "Büro Größe – Ø 東京", (60, 5))
    # A value holding the array scratch delimiter.
    ref = msp.add_blockref("DOOR", (70, 5), dxfattribs={"layer": "DOORS"})
    ref.add_auto_attribs({"NUMBER": "D|04", "FIRE": ""})
    msp.add_blockref("PLAIN", (80, 5))  # no attributes

    psp = doc.layout("Layout1")
    ref = psp.add_blockref("TITLEBLOCK", (10, 10), dxfattribs={"layer": "TITLE"})
    ref.add_auto_attribs({"PROJECT": "Harbour Office", "SHEET": "A-101"})
    ref = psp.add_blockref("DOOR", (20, 10), dxfattribs={"layer": "TITLE"})
    ref.add_auto_attribs({"NUMBER": "P01", "FIRE": "EI90"})
    if version != "R12":
        second = doc.layouts.new("Layout2")
        ref = second.add_blockref("TITLEBLOCK", (10, 10), dxfattribs={"layer": "TITLE"})
        ref.add_auto_attribs({"PROJECT": "Second layout", "SHEET": "A-102"})
    doc.saveas(path)


def text(s):
    """Values as a reader shows them: \\U+XXXX escapes stand for the characters."""
    return re.sub(r"\\U\+([0-9A-Fa-f]{4})", lambda m: chr(int(m.group(1), 16)), s)


def general(x):
    return "%.15g" % x


def timestamp(path):
    t = time.localtime(os.stat(path).st_mtime)
    hour = t.tm_hour % 12 or 12
    return "%d/%d/%d %d:%02d:%02d %s" % (
        t.tm_mon, t.tm_mday, t.tm_year, hour, t.tm_min, t.tm_sec, "AM" if t.tm_hour < 12 else "PM")


def handle_number(h):
    return str(int(h, 16) & 0x7FFFFFFF) if h else "0"


def columns(doc, path, e, space):
    d = e.dxf
    insert = d.insert
    return {
        "FULL_FILE_NAME": path,
        "FILE_NAME": os.path.basename(path),
        "FILE_TIMESTAMP": timestamp(path),
        "FILE_SIZE": str(os.path.getsize(path)),
        "BLOCK_NAME": text(d.name),
        "BLOCK_LAYER": d.layer,
        "BLOCK_SPACE": space,
        # R12 files hold no owners (ezdxf makes them up in memory).
        "BLOCK_OWNERID": handle_number(d.get("owner")) if doc.dxfversion > "AC1009" else "0",
        "BLOCK_OBJECTID": handle_number(d.handle),
        "BLOCK_OBJECTNAME": "AcDbBlockReference",
        "BLOCK_HANDLE": d.handle,
        "BLOCK_COLOR": str(d.get("color", 256)),
        "BLOCK_LINETYPE": d.get("linetype", "ByLayer"),
        "BLOCK_ROTATION": general(d.get("rotation", 0) * math.pi / 180),
        "BLOCK_VISIBLE": "False" if d.get("invisible", 0) else "True",
        "BLOCK_XSCALE": general(d.get("xscale", 1)),
        "BLOCK_YSCALE": general(d.get("yscale", 1)),
        "BLOCK_ZSCALE": general(d.get("zscale", 1)),
        "BLOCK_LINETYPESCALE": general(d.get("ltscale", 1)),
        "BLOCK_LINEWEIGHT": str(d.get("lineweight", -1)),
        "BLOCK_HASEXTENTIONDICTIONARY": "True" if e.has_extension_dict else "False",
        "BLOCK_X": "%.10f" % insert[0],
        "BLOCK_Y": "%.10f" % insert[1],
        "BLOCK_Z": "%.10f" % insert[2],
    }


def records(path, query):
    """The records of the blocks a template selects, as fields (header, values, found)."""
    doc = ezdxf.readfile(path)
    out = []
    spaces = []
    if query["space"] in ("MODEL", "*"):
        spaces.append(("MODEL", doc.modelspace()))
    if query["space"] in ("PAPER", "*"):
        spaces.append(("PAPER", doc.layouts.active_layout()))
    for space, layout in spaces:
        for e in layout.query("INSERT"):
            name, layer = text(e.dxf.name).upper(), e.dxf.layer.upper()
            # A filter is "*" or the names between blanks.
            if query["blocks"] != "*" and " %s " % name not in query["blocks"]:
                continue
            if query["layers"] != "*" and " %s " % layer not in query["layers"]:
                continue
            attribs = list(e.attribs)
            if not attribs:
                continue
            values = columns(doc, path, e, space)
            header = [c for c in query["columns"]]
            fields = [values[c] for c in query["columns"]]
            found = False
            if query["tags"] == ["*"]:
                for a in attribs:
                    header.append(a.dxf.tag)
                    fields.append(text(a.dxf.text))
                    found = True
            else:
                for tag in query["tags"]:
                    header.append(tag)
                    match = [a for a in attribs if a.dxf.tag.upper() == tag]
                    fields.append(text(match[0].dxf.text) if match else "N/A")
                    found = found or bool(match)
            out.append({"header": header, "fields": fields, "found": found})
    return out


def dump(doc):
    """Every entity of every layout and block, with its attributes, by handle."""
    out = {}
    for layout in list(doc.layouts) + list(doc.blocks):
        for e in layout:
            entry = {k: str(v) for k, v in e.dxfattribs().items()}
            if e.dxftype() == "INSERT":
                for a in e.attribs:
                    out[a.dxf.handle] = {k: str(v) for k, v in a.dxfattribs().items()}
            out[e.dxf.handle] = entry
    return out


def changes(before_path, after_path):
    before, after = ezdxf.readfile(before_path), ezdxf.readfile(after_path)
    a, b = dump(before), dump(after)
    diff = []
    for handle in sorted(set(a) | set(b)):
        x, y = a.get(handle, {}), b.get(handle, {})
        for key in sorted(set(x) | set(y)):
            if x.get(key) != y.get(key):
                diff.append([handle, key, text(x.get(key, "")), text(y.get(key, ""))])
    return {"audit_errors": [str(e.message) for e in after.audit().errors], "changes": diff}


if __name__ == "__main__":
    command = sys.argv[1]
    if command == "make":
        make(sys.argv[2], sys.argv[3])
    elif command == "records":
        print(json.dumps(records(sys.argv[2], json.loads(sys.argv[3])), ensure_ascii=False))
    elif command == "changes":
        print(json.dumps(changes(sys.argv[2], sys.argv[3]), ensure_ascii=False))
    else:
        sys.exit(__doc__)
