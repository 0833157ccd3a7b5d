"""The Python client against the real host: calls, values both ways, object proxies, errors."""

import datetime
import decimal
import math
import os
import tempfile
import unittest

import talvex

UNKNOWN_NAME = -2147352570   # DISP_E_UNKNOWNNAME
INVALID_ARG = -2147024809    # E_INVALIDARG: a request the host cannot read
RAISED = -2147220270         # the control's raised error


class SessionTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.addCleanup(self.dir.cleanup)
        self.s = talvex.Session(cwd=self.dir.name)
        self.addCleanup(self.s.close)

    def path(self, name):
        return os.path.join(self.dir.name, name)


class Calls(SessionTest):
    def test_text_file_to_array_returns_status_and_the_by_reference_output(self):
        with open(self.path("f.csv"), "w", newline="") as f:
            f.write("part,qty\r\nbolt,12\r\n")
        rc, v = self.s.call("TextFileToArray", "f.csv", talvex.Var("v"))
        self.assertEqual(rc, 1)
        self.assertEqual(v, [["part", "qty"], ["bolt", "12"]])
        rc, v = self.s.call("TextFileToArray", self.path("f.csv"), talvex.Var("v"), strDelimiter=";")
        self.assertEqual(v, [["part,qty"], ["bolt,12"]], "a named argument reaches its parameter")
        rc, missing = self.s.call("TextFileToArray", "none.csv", talvex.Var())
        self.assertLess(rc, 1, "a missing file is a status code, not an exception")

    def test_lists_go_in_as_arrays_and_variables_come_back(self):
        rc, text, eor = self.s.call("TwoDArrayToText", [["x", 1], ["y", 2.5]], talvex.Var("t"), ",",
                                    talvex.Var("eor", ""))
        self.assertEqual(rc, 1)
        self.assertEqual(text, "x,1\r\ny,2.5\r\n")
        self.assertEqual(eor, "\r\n")
        rc, items = self.s.call("MultiLineTextToOneDArray", "a;b", talvex.Var("u"), strDelimiter=";")
        self.assertEqual(items, ["a", "b"])
        self.assertEqual(self.s.var("u"), ["a", "b"])


class Values(SessionTest):
    def echo(self, value):
        return self.s.let("x", value)

    def test_scalars_round_trip(self):
        when = datetime.datetime(2024, 1, 31, 13, 5, 7)
        for value in ["text", "ünïcödé €", True, False, 7, 40000, 3000000000, 2.5, -0.125, when,
                      decimal.Decimal("12.3400")]:
            self.assertEqual(self.echo(value), value, value)
        self.assertIsNone(self.echo(None), "None is Null")
        self.assertEqual(self.echo(datetime.date(2020, 2, 29)), datetime.datetime(2020, 2, 29))
        self.assertIs(self.echo(talvex.Empty), talvex.Empty)
        self.assertTrue(math.isnan(self.echo(float("nan"))))
        self.assertEqual(self.echo(float("-inf")), float("-inf"))
        self.assertEqual(self.echo(talvex.I4(5)), 5)
        self.assertEqual(self.s.request({"let": "y", "value": self.s.to_json(talvex.I4(5))})["vars"]["y"], {"i4": 5})

    def test_arrays_keep_shape_and_bounds(self):
        self.assertEqual(self.echo([1, "a", None]), [1, "a", None])
        grid = self.echo([[1, 2, 3], [4, 5, 6]])
        self.assertEqual((grid, grid.dims), ([[1, 2, 3], [4, 5, 6]], 2))
        cube = self.echo([[[1, 2], [3, 4]], [[5, 6], [7, 8]]])
        self.assertEqual(cube.dims, 3)
        self.assertEqual(self.echo([[1, 2], [3]]), [[1, 2], [3]], "ragged lists stay arrays of arrays")
        based = self.echo(talvex.Array([[1, 2]], lbound=(1, 1), dims=2))
        self.assertEqual((based.lbound, based), ((1, 1), [[1, 2]]))
        self.assertEqual(self.echo(based).lbound, (1, 1), "an answer's array can be sent back unchanged")
        self.assertFalse(self.echo(talvex.Array(allocated=False)).allocated)
        when = datetime.datetime(1999, 12, 31, 23, 59, 59)
        self.assertEqual(self.echo([[when, None]]), [[when, None]])

    def test_values_python_cannot_send_are_refused_before_the_host(self):
        with self.assertRaises(TypeError):
            self.s.to_json(object())
        def nest(depth, value="x"):
            for _ in range(depth):
                value = [value]
            return value
        for value, words in [("a\ud800b", "unpaired surrogate U+D800"), (nest(1001), "deeper than 1000 levels")]:
            with self.assertRaises(talvex.TalvexError) as e:
                self.s.let("x", value)
            self.assertIn(words, e.exception.description)
        back, depth = self.s.let("x", nest(600)), 0
        while isinstance(back, list):
            back, depth = back[0], depth + 1
        self.assertEqual((back, depth), ("x", 600), "deep values still go there and back")


class Objects(SessionTest):
    def test_proxies_read_set_and_call(self):
        d = self.s.create("Scripting.Dictionary")
        self.assertIsInstance(d, talvex.Object)
        d.CompareMode = 1
        self.assertEqual(d.CompareMode, 1, "a property is set and read as an attribute")
        d.Add("k1", "one")
        d.Add("k2", 2)
        self.assertEqual(d.Count, 2)
        self.assertTrue(d.Exists("k1"))
        self.assertEqual(d["k1"], "one")
        self.assertEqual(d.Item("k2"), 2, "an indexed property is called")
        self.assertEqual(d.Keys(), ["k1", "k2"])
        with self.assertRaises(talvex.TalvexError):
            d.Add("k1", "again")
        with self.assertRaises(talvex.TalvexError) as e:
            d.CompareMode = 0
        self.assertIn("Invalid procedure call", e.exception.description, "a filled dictionary keeps its mode")
        for misspelt in (lambda: d.Cuont, lambda: setattr(d, "Cuont", 1)):
            with self.assertRaises(AttributeError):
                misspelt()

    def test_proxies_pass_to_the_control(self):
        d = self.s.create("Scripting.Dictionary")
        self.assertEqual(self.s.call("TwoDArrayToDictionary", [["a", "1"], ["b", "2"]], d), 1)
        self.assertEqual(d.Count, 2)
        rc, back = self.s.call("DictionaryToArray", d, talvex.Var("back"), True)
        self.assertEqual(rc, 1)
        self.assertEqual(sorted(map(tuple, back)), [("a", "1"), ("b", "2")])
        self.assertIs(self.s.create("Scripting.Dictionary"), self.s.from_json({"obj": "$2"}),
                      "one proxy per session object")


class Errors(SessionTest):
    def test_errors_carry_number_and_description(self):
        with self.assertRaises(talvex.TalvexError) as e:
            self.s.call("Frobnicate", 1)
        self.assertEqual(e.exception.number, UNKNOWN_NAME)
        self.assertIn("Frobnicate", e.exception.description)
        with self.assertRaises(talvex.TalvexError) as e:
            self.s.call("CreateLine")
        self.assertEqual((e.exception.number, e.exception.description), (RAISED, "AutoCAD is not active."))
        with self.assertRaises(talvex.TalvexError) as e:
            self.s.request({"bogus": 1})
        self.assertEqual(e.exception.number, INVALID_ARG)
        self.assertEqual(self.s.call("TwoDArrayToHTMLFile", [["still", "working"]], "w.html"), 1,
                         "the session goes on, and a call without variables returns its result alone")

    def test_a_closed_or_missing_host_is_reported(self):
        self.s.close()
        with self.assertRaises(ValueError):
            self.s.call("AboutBox")
        with self.assertRaises(FileNotFoundError):
            talvex.Session(binary=self.path("no-such-host"))

    def test_messages_and_trace(self):
        trace = self.path("trace.txt")
        with talvex.Session(trace=trace) as s:
            s.call("AboutBox")
            self.assertEqual(len(s.messages), 1)
        with open(trace) as f:
            self.assertTrue(f.readline().startswith('> {"call":"AboutBox"}'))


if __name__ == "__main__":
    unittest.main()
