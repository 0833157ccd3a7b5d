"""The README's recipes, each run as it stands in a folder holding its inputs, and what they
wrote read back by independent readers: openpyxl, python-docx, sqlite3 and qpdf."""
import json
import os
import re
import shutil
import sqlite3
import subprocess
import tempfile
import unittest
from pathlib import Path

import docx
import ezdxf
import openpyxl

README = Path(__file__).resolve().parents[2] / "README.md"
RECIPE = re.compile(r"<!-- recipe: (\S+) -->\n```sh\n(.*?)```", re.S)
SQLITE_DRIVER = "/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so"


class Recipes(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.recipes = dict(RECIPE.findall(README.read_text()))
        cls.host = Path(os.environ.get("TALVEX") or shutil.which("talvex")).resolve()

    def setUp(self):
        self.dir = Path(tempfile.mkdtemp(prefix="talvex-recipe-"))
        self.addCleanup(shutil.rmtree, self.dir)
        # The DSN talvex_demo, a SQLite file in the folder.
        (self.dir / "odbcinst.ini").write_text(f"[SQLite3]\nDriver={SQLITE_DRIVER}\n")
        (self.dir / "odbc.ini").write_text(f"[talvex_demo]\nDriver=SQLite3\nDatabase={self.dir}/demo.db\n")
        self.db = sqlite3.connect(self.dir / "demo.db")
        self.addCleanup(self.db.close)

    def run_recipe(self, name):
        """Runs the recipe with the built host first on PATH; every answer must be a success."""
        env = dict(os.environ, PATH=f"{self.host.parent}:{os.environ['PATH']}", ODBCSYSINI=str(self.dir),
                   ODBCINI=str(self.dir / "odbc.ini"), TALVEX_RECOVERY_DIR=str(self.dir / "recovered"))
        run = subprocess.run(["bash", "-e", "-o", "pipefail", "-c", self.recipes[name]], cwd=self.dir, env=env,
                             capture_output=True, text=True, timeout=300)
        self.assertEqual(run.returncode, 0, run.stderr)
        self.assertEqual(run.stderr, "")
        for line in run.stdout.splitlines():
            answer = json.loads(line)
            self.assertTrue(answer["ok"], answer)
            if isinstance(answer.get("result"), int):
                self.assertGreaterEqual(answer["result"], 0, answer)
        self.assertFalse((self.dir / "recovered").exists(), "nothing was left open and unsaved")

    def test_every_recipe_is_tested(self):
        self.assertEqual(set(self.recipes), {"csv-to-xlsx", "query-to-csv", "array-to-docx",
                                             "attributes-to-sqlite", "text-to-pdf"})

    def test_csv_to_xlsx(self):
        # Written here, so its lines end with LF alone.
        (self.dir / "parts.csv").write_text("part,qty\nbolt,12\nnut,7\n")
        self.run_recipe("csv-to-xlsx")
        sheet = openpyxl.load_workbook(self.dir / "parts.xlsx").active
        self.assertEqual(list(sheet.values), [("part", "qty"), ("bolt", "12"), ("nut", "7")])

    def test_query_to_csv(self):
        self.db.executescript("CREATE TABLE parts (name TEXT, qty INTEGER);"
                              "INSERT INTO parts VALUES ('nut', 7), ('bolt', 12);")
        self.db.commit()
        self.run_recipe("query-to-csv")
        self.assertEqual((self.dir / "parts-out.csv").read_bytes(), b"name,qty\r\nbolt,12\r\nnut,7\r\n")

    def test_array_to_docx(self):
        self.run_recipe("array-to-docx")
        document = docx.Document(self.dir / "parts.docx")
        self.assertEqual(len(document.tables), 1)
        table = document.tables[0]
        self.assertEqual([[c.text for c in row.cells] for row in table.rows],
                         [["Part", "Qty"], ["bolt", "12"], ["nut", "7"]])
        borders = table.style.element.find(".//" + docx.oxml.ns.qn("w:tblBorders"))
        self.assertIsNotNone(borders, "the table's style draws borders")
        self.assertEqual(borders.find(docx.oxml.ns.qn("w:insideH")).get(docx.oxml.ns.qn("w:val")), "single")

    def test_attributes_to_sqlite(self):
        drawing = ezdxf.new("R2000")
        block = drawing.blocks.new("PART")
        for tag, y in (("NAME", 0), ("QTY", -2)):
            block.add_attdef(tag, (0, y))
        for name, qty, x in (("bolt", "12", 0), ("nut", "7", 10)):
            drawing.modelspace().add_blockref("PART", (x, 0)).add_auto_attribs({"NAME": name, "QTY": qty})
        drawing.saveas(self.dir / "panel.dxf")
        (self.dir / "blocks.tpl").write_text("*INPUT\nBLOCK: PART\nLAYER: *\nSPACE: *\n*OUTPUT\nBLOCK_NAME\n"
                                             "*ATTRIBUTE_TAGS\nNAME\nQTY\n")
        self.db.execute("CREATE TABLE blocks (block TEXT, name TEXT, qty TEXT)")
        self.db.commit()
        self.run_recipe("attributes-to-sqlite")
        self.assertEqual(sorted(self.db.execute("SELECT * FROM blocks")), [("PART", "bolt", "12"), ("PART", "nut", "7")])

    def test_text_to_pdf(self):
        (self.dir / "notes.txt").write_text("First line\nSecond line\n")  # as written on Linux
        self.run_recipe("text-to-pdf")
        pdf = str(self.dir / "notes.pdf")
        check = subprocess.run(["qpdf", "--check", pdf], capture_output=True, text=True)
        self.assertEqual(check.returncode, 0, check.stdout + check.stderr)
        pages = subprocess.run(["qpdf", "--show-npages", pdf], capture_output=True, text=True)
        self.assertEqual(pages.stdout.strip(), "1")
        content = subprocess.run(["qpdf", "--qdf", "--object-streams=disable", pdf, "-"], capture_output=True)
        for line in (b"(First line\\n)", b"(Second line\\n)"):  # each line its own text line
            self.assertIn(line, content.stdout)


if __name__ == "__main__":
    unittest.main()
