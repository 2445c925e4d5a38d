"""Arguments checked where they enter the package: a wrong type is a TypeError, a wrong value a
ValueError, both naming the argument in Python's terms, before anything reaches the library.
The compiled module calls the same checks for its own public methods."""

from __future__ import annotations

import math
import numbers
import os
from typing import Any, Optional, Sequence, Tuple

import numpy

_LARGEST_PLY_TOTAL = 100000  # the programs refuse larger totals too


def _kind(value: Any) -> str:
    return type(value).__name__


def whole(value: Any, name: str, low: Optional[int] = None, high: Optional[int] = None) -> int:
    """An int (or numpy integer, or a float without a fraction); never a bool or a string."""
    if isinstance(value, (bool, numpy.bool_)):
        raise TypeError(f"{name} must be a whole number, not {_kind(value)}")
    if isinstance(value, numbers.Integral):
        number = int(value)
    elif isinstance(value, numbers.Real):
        number_as_float = float(value)
        if not math.isfinite(number_as_float) or number_as_float != math.floor(number_as_float):
            raise ValueError(f"{name} must be a whole number, not {value!r}")
        number = int(number_as_float)
    else:
        raise TypeError(f"{name} must be a whole number, not {_kind(value)}")
    if low is not None and number < low:
        raise ValueError(f"{name} must be {low} or more, not {number}")
    if high is not None and number > high:
        raise ValueError(f"{name} must be at most {high}, not {number}")
    return number


def ply_total(value: Any, name: str) -> int:
    return whole(value, name, 1, _LARGEST_PLY_TOTAL)


def real(value: Any, name: str) -> float:
    """A finite real number (int, float, numpy scalar); never a bool, a string or NaN."""
    if isinstance(value, (bool, numpy.bool_)) or not isinstance(value, numbers.Real):
        raise TypeError(f"{name} must be a real number, not {_kind(value)}")
    number = float(value)
    if not math.isfinite(number):
        raise ValueError(f"{name} must be a finite number, not {number!r}")
    return number


def seconds(value: Any, name: str) -> Optional[float]:
    """None (no limit) or a positive number of seconds; infinity means no limit."""
    if value is None:
        return None
    if isinstance(value, (bool, numpy.bool_)) or not isinstance(value, numbers.Real):
        raise TypeError(f"{name} must be a number of seconds or None, not {_kind(value)}")
    number = float(value)
    if math.isinf(number) and number > 0:
        return None
    if not number > 0.0:
        raise ValueError(f"{name} must be a positive number of seconds, not {value!r}")
    return number


def flag(value: Any, name: str) -> bool:
    if not isinstance(value, (bool, numpy.bool_)):
        raise TypeError(f"{name} must be True or False, not {_kind(value)}")
    return bool(value)


def text(value: Any, name: str) -> str:
    if not isinstance(value, str):
        raise TypeError(f"{name} must be a str, not {_kind(value)}")
    return value


def choice(value: Any, name: str, choices: Sequence[str]) -> str:
    text(value, name)
    if value not in choices:
        raise ValueError(f"{name} must be one of {', '.join(map(repr, choices))}, not {value!r}")
    return value


def path(value: Any, name: str) -> str:
    """A str, bytes or path-like object (pathlib.Path) as the file-system path it names."""
    try:
        return os.fsdecode(os.fspath(value))
    except TypeError:
        raise TypeError(f"{name} must be a path (str or os.PathLike), not {_kind(value)}") from None


def finite_array(value: Any, name: str, columns: Optional[int] = None,
                 shape: Optional[Tuple[int, ...]] = None) -> numpy.ndarray:
    """Real numbers as a float array: of the given shape, or rows of `columns` numbers (a single
    row of them is taken as it is); NaN and infinity are refused with their place."""
    if isinstance(value, (str, bytes, dict)) or value is None:
        raise TypeError(f"{name} must be an array of numbers, not {_kind(value)}")
    try:
        array = numpy.asarray(value, dtype=float)
    except (TypeError, ValueError):
        raise TypeError(f"{name} must be an array of numbers") from None
    if numpy.asarray(value).dtype == bool:
        raise TypeError(f"{name} must be an array of numbers, not of bools")
    if shape is not None and array.shape != shape:
        raise ValueError(f"{name} must have the shape {shape}, not {array.shape}")
    if columns is not None and (array.ndim not in (1, 2) or array.shape[-1] != columns):
        raise ValueError(f"{name} must be {columns} numbers or rows of {columns}, not of shape "
                         f"{array.shape}")
    bad = numpy.argwhere(~numpy.isfinite(array))
    if bad.size:
        place = tuple(int(i) for i in bad[0])
        raise ValueError(f"{name} must be finite numbers: {array[place]!r} at index "
                         f"{place[0] if len(place) == 1 else place}")
    return array


def real_list(value: Any, name: str, length: Optional[int] = None) -> list:
    """A sequence of finite real numbers, optionally of a given length."""
    array = finite_array(value, name)
    if array.ndim != 1:
        raise ValueError(f"{name} must be a flat sequence of numbers, not of shape {array.shape}")
    if length is not None and len(array) != length:
        raise ValueError(f"{name} must have {length} numbers, not {len(array)}")
    return array.tolist()


def whole_list(value: Any, name: str) -> list:
    """A sequence of whole numbers (a list, tuple or numpy array of integers)."""
    if isinstance(value, (str, bytes, dict)) or not hasattr(value, "__iter__"):
        raise TypeError(f"{name} must be a sequence of whole numbers, not {_kind(value)}")
    return [whole(v, f"{name}[{i}]") for i, v in enumerate(value)]


def callable_or_none(value: Any, name: str):
    if value is not None and not callable(value):
        raise TypeError(f"{name} must be callable or None, not {_kind(value)}")
    return value


def instance(value: Any, name: str, kind: type):
    if not isinstance(value, kind):
        raise TypeError(f"{name} must be a kelm.{kind.__name__}, not {_kind(value)}")
    return value
