"""The control in process through `import talvex`: values both ways, references, arguments,
proxies of the outside applications, errors, threads and the recovery of unsaved work at exit."""

import datetime
import decimal
import inspect
import logging
import math
import os
import subprocess
import sys
import tempfile
import threading
import unittest

import openpyxl
import talvex
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer

# Documents the tests leave open go to a folder of their own when the interpreter exits.
os.environ.setdefault("TALVEX_RECOVERY_DIR", tempfile.mkdtemp(prefix="talvex-recovery-"))

RAISED = -2147220270         # the control's raised error
PARAM_NOT_FOUND = -2147352572


class InProcess(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.addCleanup(self.dir.cleanup)
        self.c = talvex.Control()

    def path(self, name):
        return os.path.join(self.dir.name, name)


class Values(InProcess):
    def echo(self, value):
        d = talvex.create("Scripting.Dictionary")
        d.Add("k", value)
        return d["k"]

    def test_scalars_round_trip(self):
        when = datetime.datetime(2024, 1, 31, 13, 5, 7)
        for value in ["", "a", "text", "ünï €", "𝄞 clef", "lone \ud800 half", True, False, 7, -40000, 2.5,
                      -0.125, float("inf"), when, decimal.Decimal("12.3400"), b"\x00\xffbytes", None,
                      talvex.Empty, talvex.Nothing, talvex.ErrorValue(-2146826246)]:
            back = self.echo(value)
            self.assertEqual((back, type(back)), (value, type(value)), repr(value))
        self.assertTrue(math.isnan(self.echo(float("nan"))))
        self.assertEqual(self.echo(3000000000), 3e9, "past 32 bits a Double")
        self.assertEqual(self.echo(datetime.date(2020, 2, 29)), datetime.datetime(2020, 2, 29))
        self.assertEqual(self.echo(decimal.Decimal("1.23456")), decimal.Decimal("1.2346"), "Currency keeps 4 places")

    def test_arrays_keep_shape_and_bounds(self):
        for value in [[], [1, "a", None], [[1, 2, 3], [4, 5, 6]], [[1, 2], [3]], [[[1]], [[2]]], [["x"], []],
                      talvex.Array([[1, 2]], lbound=(1, 5), dims=2), talvex.Array(["a"], lbound=(-3,)),
                      talvex.Array([[[1, 2], [3, 4]], [[5, 6], [7, 8]]], dims=3), talvex.Array(allocated=False)]:
            back = self.echo(value)
            self.assertEqual((back, type(back)), (value, type(value)), repr(value))
        self.assertEqual(self.echo(("t", 1)), ["t", 1], "a tuple is an array")
        # Big arrays share repeated texts and dates: near misses must stay apart.
        day = datetime.datetime(2024, 3, 1)
        big = [[f"k{i % 7}", "é\x00" * (i % 3), "𝄞\ud800"[i % 2:], day + datetime.timedelta(seconds=i % 5)]
               for i in range(5000)]
        self.assertEqual(self.echo(big), big)

    def test_values_without_a_variant_form_are_refused(self):
        deep = "x"
        for _ in range(1001):
            deep = [deep]
        for value, error in [(object(), TypeError), (deep, ValueError), (datetime.date(99, 1, 1), OverflowError),
                             (decimal.Decimal("1e20"), OverflowError), ([talvex.Ref(1)], TypeError)]:
            with self.assertRaises(error, msg=type(value).__name__):
                self.echo(value)


class Calls(InProcess):
    def test_references_named_and_omitted_arguments(self):
        with open(self.path("f.csv"), "w", newline="") as f:
            f.write("part;qty\r\nbolt;12\r\n")
        rows = talvex.Ref([])
        self.assertEqual(self.c.TextFileToArray(self.path("f.csv"), rows, strDelimiter=";"), 1)
        self.assertEqual(rows.value, [["part", "qty"], ["bolt", "12"]])
        self.assertEqual(self.c.TextFileToArray(self.path("f.csv"), rows), 1, "the default delimiter")
        self.assertEqual(rows.value, [["part;qty"], ["bolt;12"]])
        plain = []
        self.assertEqual(self.c.TextFileToArray(self.path("f.csv"), plain), 1)
        self.assertEqual(plain, [], "a plain value passes its value only")
        text, eor = talvex.Ref(""), talvex.Ref("")
        self.assertEqual(self.c.TwoDArrayToText([["x", 1], ["y", 2.5]], text, ",", eor), 1)
        self.assertEqual((text.value, eor.value), ("x,1\r\ny,2.5\r\n", "\r\n"))
        items = talvex.Ref(["b", "c", "a"])
        self.c.SortOneDArray(items, talvex.tlxDescending)
        self.assertEqual(items.value, ["c", "b", "a"])
        self.assertLess(self.c.TextFileToArray(self.path("none.csv"), rows), 1, "a status code, not an exception")

    def test_methods_come_from_the_type_library(self):
        signature = inspect.signature(talvex.Control.TextFileToArray)
        self.assertEqual(list(signature.parameters), ["self", "strTextFile", "varArray", "strDelimiter",
                                                      "blnRemoveQuotes"])
        self.assertEqual(signature.parameters["strDelimiter"].default, ",")
        self.assertIn("Function TextFileToArray(", talvex.Control.TextFileToArray.__doc__)
        self.assertEqual((talvex.SortOrderType.tlxDescending, talvex.tlxModelSpace), (1, 0))
        self.assertRegex(talvex.__version__, r"^\d+\.\d+")
        with open(os.path.join(os.path.dirname(talvex.__file__), "_talvex.pyi")) as f:
            self.assertIn("    def TextFileToArray(self, strTextFile: str | Ref[Any], varArray: Any", f.read())

    def test_errors(self):
        with self.assertRaises(talvex.ComError) as e:
            self.c.CreateLine()
        self.assertEqual((e.exception.number, e.exception.description), (RAISED, "AutoCAD is not active."))
        with self.assertRaises(talvex.ComError) as e:
            self.c.TextFileToArray("f.csv", talvex.Ref(), strNoSuch=1)
        self.assertEqual(e.exception.number, PARAM_NOT_FOUND)
        with self.assertRaises(AttributeError):
            self.c.Frobnicate()
        self.c.AboutBox()
        self.assertEqual(len(self.c.messages), 1, "a message box is kept, not shown")


class Proxies(InProcess):
    def test_each_outside_application(self):
        xl = talvex.create("Excel.Application")
        sheet = xl.Workbooks.Add().Worksheets(1)
        sheet.Range("A1:B2").Value = [[1, "two"], [3.5, None]]
        self.assertEqual(sheet.Cells(1, 2).Value(), "two", "a property that takes arguments is called")
        self.assertEqual(talvex.get_object("Excel.Application").Workbooks.Count, 1)
        cad = talvex.create("AutoCAD.Application")
        line = cad.Documents.Add().ModelSpace.AddLine([0, 0, 0], [10, 10, 0])
        self.assertEqual((line.ObjectName, self.c.IsAutoCADUp()), ("AcDbLine", True))
        conn = talvex.create("ADODB.Connection")
        conn.Open(f"Driver=/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so;Database={self.path('t.db')}")
        conn.Execute("CREATE TABLE t (a INTEGER, b TEXT)")
        conn.Execute("INSERT INTO t VALUES (1, 'x')")
        rs = talvex.create("ADODB.Recordset")
        rs.Open("SELECT * FROM t", conn)
        self.assertEqual([f.Name for f in rs.Fields()], ["a", "b"])
        self.assertEqual((rs.Fields("b").Value, rs.EOF), ("x", False))
        box = talvex.create("VB.ListBox")
        box.AddItem("one")
        self.assertEqual(self.c.ListBoxToOneDArray(box, items := talvex.Ref([])), 1)
        self.assertEqual(items.value, ["one"])
        for obj in (xl, cad, conn, rs, box):
            with self.assertRaises(AttributeError, msg=repr(obj)):
                obj.Cuont
            with self.assertRaises(AttributeError, msg=repr(obj)):
                obj.Cuont = 1
        for app in (xl, cad):
            app.Quit()

    def test_collections_pass_to_the_control_and_iterate(self):
        d = talvex.create("Scripting.Dictionary")
        self.assertEqual(self.c.TwoDArrayToDictionary([["a", "1"], ["b", "2"]], d), 1)
        self.assertEqual((d.Count, list(d), d["b"]), (2, ["a", "b"], "2"))
        d["b"] = 3
        self.assertEqual(d.Item("b"), 3)
        self.assertEqual(d, d.Items and d, "the same object compares equal")


class Threads(InProcess):
    def test_threads_call_at_once(self):
        with open(self.path("big.csv"), "w") as f:
            f.write("a,b,c,d,e\r\n" * 100000)
        failures = []

        def work(control, i):
            try:
                rows, text = talvex.Ref([]), talvex.Ref("")
                for _ in range(3):
                    if control.TextFileToArray(self.path("big.csv"), rows) != 1 or len(rows.value) != 100000:
                        failures.append("read")
                    control.TwoDArrayToText([[i, "x"]], text, ",", "\n")
                    if text.value != f"{i},x\n":
                        failures.append(text.value)
            except Exception as e:  # noqa: BLE001 - reported below
                failures.append(repr(e))

        workers = [threading.Thread(target=work, args=(c, i)) for i, c in enumerate([self.c, self.c, talvex.Control()])]
        for w in workers:
            w.start()
        for w in workers:
            w.join()
        self.assertEqual(failures, [])

    def test_python_goes_on_while_a_call_waits(self):
        # The call downloads from an FTP server that another thread of this interpreter runs: it
        # can only finish if that thread runs while the call is in the core. Dropping the object
        # says QUIT to the same server, which must be answered before the drop returns.
        with open(self.path("served.txt"), "w") as f:
            f.write("served\n")
        logging.getLogger("pyftpdlib").addHandler(logging.NullHandler())  # quiet
        authorizer = DummyAuthorizer()
        authorizer.add_anonymous(self.dir.name)
        phase, quit_phases = ["call"], []

        def ftp_QUIT(handler, line):
            quit_phases.append(phase[0])
            FTPHandler.ftp_QUIT(handler, line)

        handler = type("Handler", (FTPHandler,), {"authorizer": authorizer, "ftp_QUIT": ftp_QUIT})
        server = FTPServer(("127.0.0.1", 0), handler)
        threading.Thread(target=server.serve_forever, kwargs={"timeout": 0.05}, daemon=True).start()
        inet = talvex.create("InetCtls.Inet")
        inet.RequestTimeout = 30  # a call that held the interpreter would fail after this, not hang
        host = f"127.0.0.1:{server.socket.getsockname()[1]}"
        try:
            self.assertEqual(self.c.DownloadFile(inet, host, "", self.path("got.txt"), "served.txt", "anonymous"), 1)
            phase[0] = "drop"
            del inet
            phase[0] = "after"  # no thread switch can come before this store
            self.assertEqual(quit_phases, ["drop"])
        finally:
            server.close_all()
        with open(self.path("got.txt")) as f:
            self.assertEqual(f.read(), "served\n")


class Exit(unittest.TestCase):
    def test_unsaved_work_is_recovered_with_a_warning(self):
        with tempfile.TemporaryDirectory() as folder:
            script = ("import talvex\n"
                      "xl = talvex.create('Excel.Application')\n"
                      "xl.Workbooks.Add().SaveAs('empty.xlsx')\n"
                      "xl.Quit()\n"
                      "assert talvex.Control().TwoDArrayToExcel([['kept', 1]], 'empty.xlsx', 1, 1, 1) == 1")
            package = os.path.dirname(os.path.dirname(talvex.__file__))
            run = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True, cwd=folder,
                                 env=dict(os.environ, TALVEX_RECOVERY_DIR=os.path.join(folder, "rec"), PYTHONPATH=package))
            self.assertEqual(run.returncode, 0, run.stderr)
            saved = os.path.join(folder, "rec", "empty.xlsx")
            self.assertIn(f"TalvexWarning: talvex: unsaved empty saved to {saved}", run.stderr)
            sheet = openpyxl.load_workbook(saved).active
            self.assertEqual([sheet["A1"].value, sheet["B1"].value], ["kept", 1])


if __name__ == "__main__":
    unittest.main()
