"""Python client of the TALVEX control, through its command-line host (`talvex session`).

    import talvex
    with talvex.Session() as s:
        rc, rows = s.call("TextFileToArray", "parts.csv", talvex.Var("rows"))
        rs = s.create("ADODB.Recordset")
        rs.CursorLocation = 3
        print(rs.RecordCount)

Values travel both ways: str, bool, int, float, None (Null), datetime/date (dates),
Decimal (currency), lists (1-D arrays; rectangular lists of lists are 2-D and 3-D arrays),
objects as proxies whose attributes are read, set and called (a name the object does not have
raises AttributeError). A failed call raises TalvexError with the error's number and
description, and so does a value the host cannot receive. Standard library only.
"""

import datetime
import decimal
import itertools
import json
import math
import os
import shutil
import subprocess
import sys
import tempfile

__all__ = ["Session", "Var", "Array", "Object", "TalvexError", "Empty", "Missing", "Nothing",
           "ErrorValue", "I2", "I4", "R4", "R8"]


_INVALID_ARG = -2147024809   # E_INVALIDARG, as the host numbers a request it cannot read
_UNKNOWN_NAME = -2147352570  # DISP_E_UNKNOWNNAME


class TalvexError(Exception):
    """A failed request: `number` as Basic's Err.Number shows it, and `description`."""

    def __init__(self, number, description):
        super().__init__(f"{description} ({number})")
        self.number = number
        self.description = description


def _check_nesting(value, limit):
    """Refuses lists nested deeper than the host's limit, counted without recursion."""
    pending = [(value, 1)]
    while pending:
        item, depth = pending.pop()
        if isinstance(item, (list, tuple)):
            if depth > limit:
                raise TalvexError(_INVALID_ARG, f"lists nest deeper than {limit} levels, the host's limit"
                                                " (see max_depth)")
            pending.extend((e, depth + 1) for e in item)


class _RecursionRoom:
    """Room on Python's recursion limit for values nested as deep as the host allows: each level
    takes a few frames in the conversions here and in the json module."""

    def __init__(self, depth):
        self._needed = 4 * depth + 200

    def __enter__(self):
        self._old = sys.getrecursionlimit()
        sys.setrecursionlimit(max(self._old, self._needed))

    def __exit__(self, *exc):
        sys.setrecursionlimit(self._old)
        return False


class _Sentinel:
    def __init__(self, name, form):
        self._name, self._form = name, form

    def __repr__(self):
        return f"talvex.{self._name}"


Empty = _Sentinel("Empty", {"empty": True})      # an uninitialised Variant
Missing = _Sentinel("Missing", {"missing": True})  # an omitted optional argument
Nothing = _Sentinel("Nothing", {"obj": None})    # an object reference to no object


class ErrorValue(int):
    """A Variant of the Error type (CVErr), carrying its code."""

    def __repr__(self):
        return f"talvex.ErrorValue({int(self)})"


class _Tagged:
    tag = ""

    def __init__(self, value):
        self.value = value

    def __repr__(self):
        return f"talvex.{type(self).__name__}({self.value!r})"


class I2(_Tagged):
    """A 16-bit integer, whatever its value."""
    tag = "i2"


class I4(_Tagged):
    """A 32-bit integer (a small int would otherwise travel as 16 bits)."""
    tag = "i4"


class R4(_Tagged):
    """A single-precision number."""
    tag = "r4"


class R8(_Tagged):
    """A double, also for integral values."""
    tag = "r8"


class Array(list):
    """An array with its lower bounds: `dims` is 1, 2 (rows of lists) or 3. Arrays that come
    back from the control with bounds other than 0, and every 2-D and 3-D array, are Arrays;
    a list works as well when sending."""

    def __init__(self, items=(), lbound=None, dims=1, allocated=True):
        super().__init__(items)
        self.dims = dims
        self.lbound = tuple(lbound) if lbound is not None else (0,) * dims
        self.allocated = allocated

    def __repr__(self):
        if not self.allocated:
            return "talvex.Array(allocated=False)"
        return f"talvex.Array({list(self)!r}, lbound={self.lbound!r}, dims={self.dims})"


class Var:
    """A session variable passed by reference: what the method leaves in it comes back from
    call(). Give `value` to set it first; leave `name` out for a fresh one."""

    _counter = itertools.count(1)

    def __init__(self, name=None, value=Empty):
        self.name = name if name is not None else f"_var{next(Var._counter)}"
        self.value = value
        self._set = value is not Empty


def _shape(value, limit):
    """The lengths of a rectangular nest of lists, outermost first, at most `limit` deep: (2, 3)
    for two rows of three. Ragged or empty lists end the shape where they start."""
    if limit == 0 or not isinstance(value, (list, tuple)) or isinstance(value, Array) or not value:
        return ()
    inner = [_shape(v, limit - 1) for v in value]
    return (len(value),) + (inner[0] if all(s == inner[0] for s in inner) else ())


def _date_text(value):
    if isinstance(value, datetime.datetime):
        text = value.strftime("%Y-%m-%dT%H:%M:%S")
        return text + (f".{value.microsecond:06d}" if value.microsecond else "")
    return value.strftime("%Y-%m-%d")


def _number(x, tag):
    """A float: plain JSON reads back as a Double; other kinds and non-finite values are tagged."""
    if math.isnan(x):
        return {tag: "NaN"}
    if math.isinf(x):
        return {tag: "Infinity" if x > 0 else "-Infinity"}
    return x if tag == "r8" else {tag: x}


def _float(x):
    return float(x.lower().replace("infinity", "inf")) if isinstance(x, str) else float(x)


class Session:
    """One `talvex session` process: one control and its session variables.

    binary: the host (default: $TALVEX, else `talvex` on PATH); cwd, env: its working directory
    and environment; trace: a file for the host's trace of every request and answer;
    max_line, max_depth: the host's limits."""

    def __init__(self, binary=None, cwd=None, env=None, trace=None, max_line=None, max_depth=None):
        binary = binary or os.environ.get("TALVEX") or shutil.which("talvex")
        if not binary:
            raise FileNotFoundError("no talvex host: pass binary=, set TALVEX or put talvex on PATH")
        args = [binary, "session"]
        if trace:
            args += ["--trace", os.fspath(trace)]
        if max_line:
            args += ["--max-line", str(max_line)]
        if max_depth:
            args += ["--max-depth", str(max_depth)]
        self._stderr = tempfile.TemporaryFile()
        self._binary = binary
        self._max_depth = max_depth or 1000
        self._methods = None
        try:
            self._process = subprocess.Popen(args, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                             stderr=self._stderr, cwd=cwd, env=env)
        except OSError:
            self._stderr.close()
            raise
        self._vars = {}
        self._objects = {}
        self.messages = []   # message boxes the control showed, oldest first
        self.clipboard = None  # the session clipboard's text after a call changed it

    # ---- the session --------------------------------------------------------------------

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()
        return False

    def close(self):
        """Ends the host (it saves nothing; documents left open are recovered by the host)."""
        if self._process is None:
            return
        try:
            self._process.stdin.close()
        except OSError:
            pass
        try:
            self._process.wait(timeout=60)
        except subprocess.TimeoutExpired:
            self._process.kill()
            self._process.wait()
        self._process.stdout.close()
        self._stderr.close()
        self._process = None

    def request(self, request):
        """Sends one request (a dict in the host's protocol) and returns its answer as a dict;
        raises TalvexError when it failed."""
        if self._process is None:
            raise ValueError("the session is closed")
        with _RecursionRoom(self._max_depth):
            return self._request(request)

    def _request(self, request):
        line = json.dumps(request, ensure_ascii=False, allow_nan=False) + "\n"
        try:
            data = line.encode("utf-8")
        except UnicodeEncodeError as e:
            raise TalvexError(_INVALID_ARG, f"a string holds the unpaired surrogate U+{ord(e.object[e.start]):04X},"
                                            " which the host cannot receive (its requests are UTF-8)") from None
        try:
            self._process.stdin.write(data)
            self._process.stdin.flush()
            reply = self._process.stdout.readline()
        except BrokenPipeError:
            reply = b""
        if not reply:
            raise ConnectionError("the talvex host ended: " + self._host_errors())
        answer = json.loads(reply)
        for name, value in answer.get("vars", {}).items():
            self._vars[name] = self._from_json(value)
        self.messages += answer.get("messages", [])
        if "clipboard" in answer:
            self.clipboard = answer["clipboard"]
        if not answer.get("ok"):
            error = answer.get("error", {})
            raise TalvexError(error.get("number", 0), error.get("description", ""))
        return answer

    def _host_errors(self):
        self._stderr.seek(0)
        return self._stderr.read().decode("utf-8", "replace").strip() or "no message"

    # ---- calls -------------------------------------------------------------------------

    def call(self, method, *args, **named):
        """Calls a method of the control. Returns its result; when Var arguments were given,
        a tuple of the result and each Var's value after the call, in argument order. A Var
        new to the session, given for a Variant parameter, starts as a dynamic array not yet
        dimensioned (as `Dim v()` declares it), which the array methods fill."""
        self._declare_arrays(method, args, named)
        return self._invoke({"call": method}, args, named)

    def method(self, name):
        """A method's parameters from the type library: dicts of name, type, optional, byval
        (None for a name the control does not have)."""
        if self._methods is None:
            listing = subprocess.run([self._binary, "methods", "--json"], check=True, capture_output=True)
            self._methods = {m["name"].lower(): m["params"] for m in json.loads(listing.stdout)}
        return self._methods.get(name.lower())

    def _declare_arrays(self, method, args, named):
        params = self.method(method) or []
        by_name = {p["name"].lower(): p for p in params}
        given = list(zip(params, args)) + [(by_name.get(k.lower()), v) for k, v in named.items()]
        for param, value in given:
            if (param and param["type"] == "Variant" and not param["byval"] and isinstance(value, Var)
                    and not value._set and value.name not in self._vars):
                self.let(value.name, Array(allocated=False))

    def _invoke(self, request, args, named):
        variables = [a for a in itertools.chain(args, named.values()) if isinstance(a, Var)]
        for v in variables:
            if v._set:
                self.let(v.name, v.value)
        request = dict(request)
        if args:
            request["args"] = [self.to_json(a) for a in args]
        if named:
            request["named"] = {k: self.to_json(v) for k, v in named.items()}
        result = self.from_json(self.request(request).get("result"))
        if not variables:
            return result
        return (result, *[self._vars.get(v.name, Empty) for v in variables])

    def let(self, name, value):
        """Sets a session variable; returns the value as the host holds it."""
        self.request({"let": name, "value": self.to_json(value)})
        return self._vars.get(name, Empty)

    def var(self, name):
        """A session variable's value as the last answer that changed it showed it."""
        return self._vars.get(name, Empty)

    def create(self, prog_id):
        """A new outside object by programmatic identifier (e.g. "ADODB.Recordset")."""
        return self.from_json(self.request({"create": prog_id})["result"])

    def getobject(self, prog_id):
        """A running instance (e.g. "AutoCAD.Application")."""
        return self.from_json(self.request({"getobject": prog_id})["result"])

    def picks(self, *points):
        """Points for the control's interactive picks, [x, y] or [x, y, z] each."""
        self.request({"picks": [list(p) for p in points]})

    # ---- values ------------------------------------------------------------------------

    def to_json(self, value):
        """A Python value in the host's tagged JSON forms."""
        _check_nesting(value, self._max_depth)
        with _RecursionRoom(self._max_depth):
            return self._to_json(value)

    def _to_json(self, value):
        if isinstance(value, Var):
            return {"var": value.name}
        if isinstance(value, Object):
            return {"obj": value._name}
        if isinstance(value, _Sentinel):
            return value._form
        if isinstance(value, _Tagged):
            v = value.value
            return _number(float(v), value.tag) if value.tag in ("r4", "r8") else {value.tag: int(v)}
        if isinstance(value, ErrorValue):
            return {"error": int(value)}
        if value is None or isinstance(value, (bool, str, int)):
            return value
        if isinstance(value, float):
            return _number(value, "r8")
        if isinstance(value, decimal.Decimal):
            return {"cy": str(value)}
        if isinstance(value, (datetime.datetime, datetime.date)):
            return {"date": _date_text(value)}
        if isinstance(value, Array):
            return self._array_json(value)
        if isinstance(value, (list, tuple)):
            dims = len(_shape(value, 3))
            if dims == 3:
                return {"array3d": [[[self._to_json(e) for e in r] for r in p] for p in value]}
            if dims == 2:
                return {"array2d": [[self._to_json(e) for e in row] for row in value]}
            return [self._to_json(e) for e in value]
        raise TypeError(f"talvex cannot send a {type(value).__name__}")

    def _array_json(self, a):
        if not a.allocated:
            return {"array": None}
        if a.dims == 1:
            form = {"array": [self._to_json(e) for e in a]}
        elif a.dims == 2:
            form = {"array2d": [[self._to_json(e) for e in row] for row in a]}
        else:
            form = {"array3d": [[[self._to_json(e) for e in r] for r in p] for p in a]}
        form["lbound"] = list(a.lbound)
        return form

    def from_json(self, value):
        """A value of an answer as Python."""
        with _RecursionRoom(self._max_depth):
            return self._from_json(value)

    def _from_json(self, value):
        if isinstance(value, list):
            return [self._from_json(e) for e in value]
        if not isinstance(value, dict):
            return value
        if "obj" in value:
            name = value["obj"]
            if name is None:
                return Nothing
            return self._objects.setdefault(name, Object(self, name))
        for tag in ("i2", "i4", "ui1"):
            if tag in value:
                return value[tag]
        for tag in ("r4", "r8"):
            if tag in value:
                return _float(value[tag])
        if "cy" in value:
            return decimal.Decimal(value["cy"])
        if "date" in value:
            return datetime.datetime.fromisoformat(value["date"])
        if "empty" in value:
            return Empty
        if "missing" in value:
            return Missing
        if "error" in value:
            return ErrorValue(value["error"])
        lbound = value.get("lbound")
        if "array" in value:
            if value["array"] is None:
                return Array(allocated=False)
            return Array(self._from_json(value["array"]), lbound, 1)
        if "array2d" in value:
            return Array([self._from_json(r) for r in value["array2d"]], lbound, 2)
        if "array3d" in value:
            return Array([[self._from_json(r) for r in p] for p in value["array3d"]], lbound, 3)
        return value  # a form this client does not know: as the host sent it


class Object:
    """A proxy of an object in the session: `obj.Prop` reads a property, `obj.Prop = v` sets
    it, `obj.Method(...)` calls a method (Var arguments as in Session.call), `obj[key]` reads
    the default Item."""

    def __init__(self, session, name):
        object.__setattr__(self, "_session", session)
        object.__setattr__(self, "_name", name)
        object.__setattr__(self, "_kinds", {})

    def _kind(self, member):
        key = member.lower()
        if key not in self._kinds:
            self._kinds[key] = self._session.from_json(
                self._session.request({"on": self._name, "member": member})["result"])
        return self._kinds[key]

    def __getattr__(self, member):
        if member.startswith("_"):
            raise AttributeError(member)
        kind = self._kind(member)
        if kind == "property":
            return self._session.from_json(self._session.request({"on": self._name, "get": member})["result"])
        if kind == "unknown":
            raise AttributeError(f"object {self._name} has no member {member!r}")
        return _Member(self, member)

    def __setattr__(self, member, value):
        try:
            self._session.request({"on": self._name, "put": member, "value": self._session.to_json(value)})
        except TalvexError as e:
            if e.number == _UNKNOWN_NAME:
                raise AttributeError(f"object {self._name} has no member {member!r}") from None
            raise

    def __getitem__(self, key):
        return self._session._invoke({"on": self._name, "get": "Item"}, (key,), {})

    def __repr__(self):
        return f"<talvex object {self._name}>"


class _Member:
    """A member to call: a method, or a property that takes arguments."""

    def __init__(self, owner, member):
        self._owner, self._member = owner, member

    def __call__(self, *args, **named):
        o = self._owner
        return o._session._invoke({"on": o._name, "call": self._member}, args, named)

    def __repr__(self):
        return f"<talvex member {self._owner._name}.{self._member}>"
