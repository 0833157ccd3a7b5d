"""The values of talvex that are plain Python: errors, references, arrays and the special values."""

from typing import Any, Generic, Iterable, Optional, Sequence, TypeVar

T = TypeVar("T")


class ComError(Exception):
    """A failure raised by the control or an outside object: `number` as Basic's Err.Number shows
    it (a signed 32-bit value), `description` and `source`. Status codes are return values."""

    def __init__(self, number: int, description: str = "", source: str = "") -> None:
        super().__init__(number, description, source)
        self.number = number
        self.description = description
        self.source = source

    def __str__(self) -> str:
        return f"{self.description} ({self.number})"


class TalvexWarning(UserWarning):
    """What the command-line host would print on standard error (unsaved work recovered at exit)."""


class _Special:
    def __init__(self, name: str) -> None:
        self._name = name

    def __repr__(self) -> str:
        return f"talvex.{self._name}"

    def __reduce__(self) -> str:
        return self._name


Empty = _Special("Empty")      # a Variant never assigned
Missing = _Special("Missing")  # an optional argument left out
Nothing = _Special("Nothing")  # an object reference to no object


class ErrorValue(int):
    """A Variant of the Error type (CVErr), carrying its code."""

    def __repr__(self) -> str:
        return f"talvex.ErrorValue({int(self)})"


class Ref(Generic[T]):
    """A by-reference argument: the method receives `value` and what it leaves there is `value`
    after the call. `talvex.Ref([])` starts an output array."""

    __slots__ = ("value",)

    def __init__(self, value: Any = Empty) -> None:
        self.value = value

    def __repr__(self) -> str:
        return f"talvex.Ref({self.value!r})"


class Array(list):
    """An array that plain lists cannot say: lower bounds other than 0 (`lbound`, one per
    dimension) or 3 and more dimensions (`dims`, nested lists, dimension 1 outermost).
    `Array(allocated=False)` is an array declared but never dimensioned."""

    def __init__(self, items: Iterable[Any] = (), lbound: Optional[Sequence[int]] = None, dims: int = 1,
                 allocated: bool = True) -> None:
        super().__init__(items)
        self.dims = dims
        self.lbound = tuple(lbound) if lbound is not None else (0,) * dims
        self.allocated = allocated

    def __repr__(self) -> str:
        if not self.allocated:
            return "talvex.Array(allocated=False)"
        return f"talvex.Array({list(self)!r}, lbound={self.lbound!r}, dims={self.dims})"

    def __eq__(self, other: object) -> bool:
        if isinstance(other, Array):
            return (list(self), self.lbound, self.dims, self.allocated) == \
                (list(other), other.lbound, other.dims, other.allocated)
        return list.__eq__(self, other)

    __hash__ = None  # type: ignore[assignment]
