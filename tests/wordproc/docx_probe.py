# Reads a DOCX with python-docx and prints what the tests check, as JSON. With "make FILE" it
# writes a document with a header, an image, a table and a custom style instead.
import io
import json
import struct
import sys
import zlib

import docx
from docx.shared import Pt


def pt(length):
    return None if length is None else round(length.pt, 2)


def probe(path):
    d = docx.Document(path)
    s = d.sections[0]
    out = {
        "landscape": s.orientation == 1,
        "width": s.page_width, "height": s.page_height,
        "paragraphs": [], "tables": [],
        "body": [child.tag.split("}")[1] for child in d.element.body],
        "header": [p.text for p in s.header.paragraphs],
        "images": len(d.inline_shapes),
    }
    for p in d.paragraphs:
        out["paragraphs"].append({
            "text": p.text,
            "align": None if p.alignment is None else int(p.alignment),
            "after": pt(p.paragraph_format.space_after),
            "style": p.style.name,
            "runs": [{"bold": r.bold, "name": r.font.name, "size": pt(r.font.size)} for r in p.runs],
        })
    for t in d.tables:
        first = t.rows[0].cells[0].paragraphs[0].runs if len(t.rows) else []
        out["tables"].append({
            "style": t.style.name if t.style is not None else None,
            "rows": [[c.text for c in r.cells] for r in t.rows],
            "font": [{"name": r.font.name, "size": pt(r.font.size), "bold": r.bold} for r in first],
        })
    print(json.dumps(out))


def png():
    raw = b"".join(b"\x00" + bytes([200, 30, 30] * 8) for _ in range(8))
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", 8, 8, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))


def make(path):
    d = docx.Document()
    d.sections[0].header.paragraphs[0].text = "Running header"
    style = d.styles.add_style("Remark", docx.enum.style.WD_STYLE_TYPE.PARAGRAPH)
    style.font.size = Pt(9)
    d.add_paragraph("Before", style="Remark")
    d.add_picture(io.BytesIO(png()))
    t = d.add_table(rows=1, cols=2)
    t.rows[0].cells[0].text = "old"
    t.rows[0].cells[1].text = "table"
    d.add_paragraph("Last words")
    d.save(path)


if __name__ == "__main__":
    if sys.argv[1] == "make":
        make(sys.argv[2])
    else:
        probe(sys.argv[1])
