"""The TALVEX control in process.

    import talvex
    c = talvex.Control()
    rows = talvex.Ref([])
    if c.TextFileToArray("data.csv", rows, strDelimiter=";") == 1:
        print(rows.value[0])

Every method of the control is a method of Control, with its parameters by position or by name;
help(talvex.Control.TextFileToArray) shows its declaration. Values: str, int, float, bool,
None (Null), datetime/date (Date), Decimal (Currency), bytes (Byte arrays), lists and lists of
rows (arrays from 0), Array (other bounds, 3-D), Empty, Missing, Nothing, and outside objects as
proxies (create, get_object). Failures raise ComError. Calls release the GIL and run one at a
time. Unsaved work left open at exit is saved to the recovery folder, with a TalvexWarning.
"""

import atexit
import warnings

from ._values import Array, ComError, Empty, ErrorValue, Missing, Nothing, Ref, TalvexWarning
from ._talvex import *  # noqa: F401,F403  (Control, Object, create, get_object, the enumerations)
from ._talvex import __version__, _codepage_problem, _recover_unsaved

for _shown in (Array, ComError, ErrorValue, Ref, TalvexWarning):
    _shown.__module__ = __name__  # tracebacks say talvex.ComError


def _warn(lines):
    for line in lines:
        warnings.warn(line, TalvexWarning, stacklevel=2)


if _codepage_problem():
    _warn([f"talvex: TALVEX_CODEPAGE: {_codepage_problem()}; text files cannot be read or written"])
atexit.register(lambda: _warn(_recover_unsaved()))
