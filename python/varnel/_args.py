"""Arguments as the public functions take them: real numbers, arrays of them, records.

Everything a user hands in is checked here before it reaches the compiled module, so a wrong
type is answered in the terms of the function called (``span``, ``conductor``), never with the
compiled module's own signature, and nothing is converted that Python or numpy would convert
silently but wrongly: a text is not a number (``"80"``, nor ``["80", "95"]`` read character by
character), a complex number is not a real one, a date is not a length, ``True`` is not 1 m.
"""

from __future__ import annotations

import datetime
import inspect
import numbers
from collections.abc import Mapping
from typing import Any

import numpy as np

from . import _core
from ._core import Condition, Conductor

# Types that numpy or float() would turn into numbers but that hold no number here.
_TEXTS = (str, bytes, bytearray, memoryview)


def describe(value: Any) -> str:
    """A type and a short repr, for messages: ``str '80'``."""
    shown = repr(value)
    if len(shown) > 60:
        shown = shown[:57] + "..."
    return f"{type(value).__name__} {shown}"


def is_real(value: Any) -> bool:
    """A real number that is not a truth value: int, float, numpy's, Fraction..."""
    return isinstance(value, numbers.Real) and not isinstance(value, (bool, np.bool_))


def real(value: Any, what: str) -> float:
    """``value`` as a float, or TypeError naming ``what`` when it is not a real number."""
    if is_real(value):
        return float(value)
    if isinstance(value, np.ndarray) and value.ndim == 0:
        return real(value[()], what)
    if isinstance(value, (complex, np.complexfloating)):
        raise TypeError(f"{what} must be a real number, not the complex {value!r}")
    raise TypeError(f"{what} must be a real number, not {describe(value)}")


def reals(value: Any, what: str) -> np.ndarray:
    """``value`` (a number, a sequence or array of numbers, a pandas Series) as a float64 array
    of its own shape. TypeError for texts, bytes, mappings, sets, complex numbers, dates and
    truth values, naming ``what`` and the first element at fault."""
    if isinstance(value, _TEXTS):
        raise TypeError(f"{what} must be numbers, not {describe(value)}")
    if isinstance(value, (Mapping, set, frozenset)):
        raise TypeError(f"{what} must be numbers in order, not {describe(value)}")
    if is_real(value):
        return np.asarray(float(value), dtype=np.float64)
    try:
        array = np.asarray(value)
    except ValueError as e:  # ragged nesting
        raise ValueError(f"{what}: not an array of numbers ({e})") from None
    kind = array.dtype.kind
    if kind in ("i", "u", "f"):
        return array.astype(np.float64, copy=False)
    if kind in ("U", "S") and not isinstance(value, np.ndarray):
        # numpy made texts of numbers beside a text ([80, "a"]): find the element as given.
        try:
            array = np.asarray(value, dtype=object)
            kind = "O"
        except ValueError:
            pass
    if kind == "O":
        flat = array.reshape(-1)
        for i, element in enumerate(flat):
            if not is_real(element):
                at = f"{what}[{i}]" if array.ndim else what
                return _refuse(element, at)
        return np.array([float(x) for x in flat], dtype=np.float64).reshape(array.shape)
    first = array.reshape(-1)[0] if array.size else value
    return _refuse(first, f"{what}[0]" if array.ndim else what, kind)


def _refuse(element: Any, what: str, kind: str = "") -> np.ndarray:
    if kind == "c" or isinstance(element, (complex, np.complexfloating)):
        raise TypeError(f"{what} = {element!r}: complex numbers are refused, not cut to their "
                        "real part")
    if kind in ("M", "m") or isinstance(element, (np.datetime64, np.timedelta64, datetime.date,
                                                  datetime.time, datetime.timedelta)):
        raise TypeError(f"{what} = {element!r}: a date or a duration is not a length or a "
                        "figure")
    if kind == "b" or isinstance(element, (bool, np.bool_)):
        raise TypeError(f"{what} = {element!r}: a truth value is not a number")
    raise TypeError(f"{what} must be a real number, not {describe(element)}")


def _holding(value: Any, kind: type, what: str) -> Any:
    if not isinstance(value, kind):
        raise TypeError(f"{what} must be a varnel.{kind.__name__}, not {describe(value)}")
    if not _core._holds_record(value):
        raise TypeError(f"{what} is a varnel.{kind.__name__} made by __new__ without __init__: "
                        "it holds no record")
    return value


def conductor(value: Any, what: str = "conductor") -> Conductor:
    return _holding(value, Conductor, what)


def condition(value: Any, what: str = "condition") -> Condition:
    return _holding(value, Condition, what)


def condition_list(value: Any, what: str = "conditions") -> list[Condition]:
    """A weather area or a sequence of Condition as a list, at least one."""
    if isinstance(value, Condition):
        raise TypeError(f"{what} must be a sequence of varnel.Condition (a weather area, a "
                        "list), not one condition: put it in a list")
    if isinstance(value, _TEXTS) or isinstance(value, Mapping):
        raise TypeError(f"{what} must be a sequence of varnel.Condition, not {describe(value)}")
    try:
        found = list(value)
    except TypeError:
        raise TypeError(f"{what} must be a sequence of varnel.Condition, not "
                        f"{describe(value)}") from None
    if not found:
        raise ValueError(f"{what}: at least one condition is needed")
    return [condition(c, f"{what}[{i}]") for i, c in enumerate(found)]


def path_bytes(path: Any, what: str = "path") -> bytes:
    """A file name as the system takes it; a NUL refused as Python's own open refuses it."""
    import os

    try:
        native = os.fsencode(os.fspath(path))
    except TypeError:
        raise TypeError(f"{what} must be a str, bytes or os.PathLike, not "
                        f"{describe(path)}") from None
    if b"\0" in native:
        raise ValueError(f"{what}: embedded null byte in {path!r}")
    return native


def _checked_init(cls: type, signature: inspect.Signature) -> None:
    """Binds a record's constructor arguments as a Python function would, so a missing or
    unknown argument is named in the record's own terms (``Condition(): missing a required
    argument: 'temperature_c'``) rather than by the compiled module's overload list."""
    compiled = cls.__init__

    def __init__(self, *args: Any, **kwargs: Any) -> None:
        try:
            bound = signature.bind(*args, **kwargs)
        except TypeError as e:
            raise TypeError(f"{cls.__name__}(): {e}") from None
        compiled(self, *bound.args, **bound.kwargs)

    __init__.__signature__ = signature.replace(  # type: ignore[attr-defined]
        parameters=[inspect.Parameter("self", inspect.Parameter.POSITIONAL_ONLY),
                    *signature.parameters.values()])
    __init__.__doc__ = compiled.__doc__
    cls.__init__ = __init__  # type: ignore[misc]


def _parameters(required: str, optional: str = "") -> inspect.Signature:
    plain, keyword = inspect.Parameter.POSITIONAL_OR_KEYWORD, inspect.Parameter.KEYWORD_ONLY
    return inspect.Signature(
        [inspect.Parameter(n, plain) for n in required.split()] +
        [inspect.Parameter(n, keyword, default=None) for n in optional.split()])


_checked_init(Condition, _parameters("name ice_mm wind_ms temperature_c"))
_checked_init(Conductor, _parameters(
    "name area_mm2 diameter_mm unit_mass_kg_per_km elastic_modulus expansion_coeff "
    "rated_strength_n",
    "aluminium_area_mm2 steel_area_mm2 aluminium_wires stranding column4_value column7_value "
    "column9_number column10_text"))
