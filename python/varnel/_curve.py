"""One span's curve (catenary or parabola) and the catenary change of state."""

from __future__ import annotations

import dataclasses
import math
from typing import Sequence, Union

import numpy as np

from . import _args, _core
from ._core import Condition, Conductor

ArrayLike = Union[float, Sequence[float], np.ndarray]

MODELS = ("catenary", "parabola", "flat-parabola")


def _positive(value: float, what: str) -> float:
    v = _args.real(value, what)
    if not (math.isfinite(v) and v > 0):
        raise ValueError(f"{what} = {v!r}: must be a finite number above 0")
    return v


def _finite(value: float, what: str) -> float:
    v = _args.real(value, what)
    if not math.isfinite(v):
        raise ValueError(f"{what} = {v!r}: must be a finite number")
    return v


def _model(value: str) -> str:
    if not isinstance(value, str):
        raise TypeError(f"model must be a str, not {_args.describe(value)}")
    if value not in MODELS:
        raise ValueError(f"model = {value!r}: the span models are 'catenary', 'parabola' and "
                         "'flat-parabola'")
    return value


@dataclasses.dataclass(frozen=True)
class SpanCurve:
    """One span's curve under a horizontal stress, as ``span_curve`` gives it.

    x is measured horizontally from the near support (m), heights upwards. The inputs:
    ``span`` l (m), ``height_difference`` h (m, the far support above the near one, negative
    when lower), ``stress`` σ₀ (N/mm², horizontal), ``load`` γ (N/(m·mm²)) and ``model``
    ("catenary", "parabola" or "flat-parabola"); ``parameter`` p = σ₀/γ (m).

    The figures:

    - ``low_point``: the low point's x, m; negative when the near support is the lower one and
      the curve only rises from it, beyond l when the far one is;
    - ``near_height_above_low_point``, ``far_height_above_low_point``: each support's height
      above the low point, m (far − near = h);
    - ``max_sag``: the largest sag, m, the vertical distance from the chord down to the
      conductor; ``max_sag_at``: its x, m, where the slope equals h/l (mid-span for the
      parabolas);
    - ``length``: the conductor's length between the supports, m (the catenary's exact; the
      parabolas' l/cos β + γ²·l³·cos β/(24σ₀²), cos β as the model takes it);
    - ``near_stress``, ``far_stress``: the stress along the conductor at each support, N/mm²
      (σ₀ + γ × the support's height above the low point, so far − near = γ·h);
    - ``near_angle_deg``, ``far_angle_deg``: the conductor's angle to the horizontal at each
      support, degrees, positive where it descends from the support into the span;
    - ``near_vertical_stress``, ``far_vertical_stress``: the vertical component of the stress
      at each support, N/mm² (× the area: the N the span hangs on that support), negative when
      the low point lies beyond the support; their sum is the span's weight per mm².

    ``height_at(x)``, ``sag_at(x)`` and ``stress_at(x)`` give the curve at any finite x (m),
    an array of x's shape or a float for a number.

    Swung by a ``horizontal_load`` γh (N/(m·mm²), ``load`` then the vertical one): the curve
    hangs in the plane of the resultant load and the chord, η = ``swing_deg`` from the
    vertical. The catenary's plane span is ``plane_span`` = √(l² + h²·sin²η) and its height
    difference ``plane_height_difference`` = h·cos η (the parabola keeps l and h); ``stress`` is
    square to the load, ``parameter`` σ₀/γ with γ the resultant. The figures above are the curve
    in its plane, but for ``low_point`` and ``max_sag_at``, horizontal from the near support;
    ``max_sag`` is along the load, ``max_sag_vertical`` and ``max_sag_sideways`` its parts; and
    along the span x is horizontal: ``height_at`` the 3-D height above the near support,
    ``sag_at`` the sag along the load, ``vertical_sag_at`` and ``sideways_at`` its parts. Without
    a horizontal load these are the vertical curve's (η = 0, nothing sideways).

    >>> c = span_curve(1000, 150, 50, 25e-3)
    >>> round(c.sag_at(350), 3), round(c.max_sag, 3), round(c.max_sag_at, 2)
    (57.614, 63.517, 503.07)
    >>> round(c.far_stress - c.near_stress, 6) == round(25e-3 * 150, 6)
    True
    """

    model: str
    span: float
    height_difference: float
    stress: float
    load: float
    parameter: float
    low_point: float
    near_height_above_low_point: float
    far_height_above_low_point: float
    max_sag: float
    max_sag_at: float
    length: float
    near_stress: float
    far_stress: float
    near_angle_deg: float
    far_angle_deg: float
    near_vertical_stress: float
    far_vertical_stress: float
    horizontal_load: float = 0.0
    swing_deg: float = 0.0
    plane_span: float = math.nan
    plane_height_difference: float = math.nan
    max_sag_vertical: float = math.nan
    max_sag_sideways: float = 0.0

    def _along(self, what: str, x: ArrayLike) -> Union[float, np.ndarray]:
        at = _args.reals(x, "x")
        out = _core.span_curve_at(self.model, self.span, self.height_difference, self.stress,
                                  self.load, what, np.ascontiguousarray(at.reshape(-1)),
                                  self.horizontal_load)
        if at.shape == ():
            return float(out[0])
        return out.reshape(at.shape)

    def height_at(self, x: ArrayLike) -> Union[float, np.ndarray]:
        """The conductor's height above the near support at x (m from it), m. Any finite x: the
        curve continues beyond the supports."""
        return self._along("height", x)

    def sag_at(self, x: ArrayLike) -> Union[float, np.ndarray]:
        """The sag at x (m from the near support): the vertical distance from the chord down to
        the conductor, m."""
        return self._along("sag", x)

    def vertical_sag_at(self, x: ArrayLike) -> Union[float, np.ndarray]:
        """The sag's vertical part at x (m, horizontal from the near support), m."""
        return self._along("vertical_sag", x)

    def sideways_at(self, x: ArrayLike) -> Union[float, np.ndarray]:
        """The sag's sideways part at x (m, horizontal from the near support), m: downwind."""
        return self._along("sideways", x)

    def stress_at(self, x: ArrayLike) -> Union[float, np.ndarray]:
        """The stress along the conductor at x (m from the near support), N/mm²: σ₀ + γ × its
        height above the low point (for the catenary σ₀·cosh((x − a)/p) exactly)."""
        return self._along("stress", x)


def span_curve(span: float, height_difference: float, stress: float, load: float,
               model: str = "catenary", *, horizontal_load: float = 0.0) -> SpanCurve:
    """One span's curve: the horizontal ``span`` l (m), the ``height_difference`` h of the far
    support above the near one (m, negative when lower), the horizontal ``stress`` σ₀ (N/mm²)
    and the specific ``load`` γ (N/(m·mm²)), by ``model``: "catenary" (exact), "parabola" (the
    inclined parabola the state equation rests on, the load per metre of the chord) or
    "flat-parabola" (the load per horizontal metre, as older handbooks work inclined spans).
    The same figures as ``varnel span``; see ``SpanCurve`` for each.

    ``horizontal_load`` (N/(m·mm²), 0 or more; ``load`` then the vertical one) swings the curve
    into the plane of the resultant load, as ``varnel span --horizontal-load``.

    Raises ValueError unless span, stress and load are finite numbers above 0, the height
    difference is finite and the horizontal load 0 or more, or for a model of another name.

    >>> c = span_curve(300, 8, 161.5, 89e-3, model="flat-parabola")
    >>> round(2 * (c.span - c.low_point), 3), round(c.far_height_above_low_point, 4)
    (396.779, 10.8449)
    >>> span_curve(300, 8, 161.5, 89e-3).sag_at([0, 150, 300]).round(4)
    array([0.    , 6.2054, 0.    ])
    """
    inputs = dict(span=_positive(span, "span"),
                  height_difference=_finite(height_difference, "height_difference"),
                  stress=_positive(stress, "stress"), load=_positive(load, "load"))
    wind = _finite(horizontal_load, "horizontal_load")
    if wind < 0:
        raise ValueError(f"horizontal_load = {wind!r}: must be 0 or more")
    figures = _core.span_curve(_model(model), **inputs, horizontal_load=wind)
    return SpanCurve(**inputs, **figures, horizontal_load=wind)


def catenary_state_stress(span: ArrayLike, height_difference: ArrayLike, conductor: Conductor,
                          known: Condition, sought: Condition,
                          known_stress: ArrayLike, *,
                          wind_plane: bool = True) -> Union[float, np.ndarray]:
    """Horizontal stress (N/mm²) in ``sought`` of a conductor at ``known_stress`` (N/mm²) in
    ``known``, the span (m, horizontal) hanging as an exact catenary with its far support
    ``height_difference`` (m) above the near one.

    The conductor's unstressed length at 20 °C is kept: each element stretches by σ/E and
    α·(t − 20) with σ the stress along the conductor there (docs/catenary.md), the specific
    loads being ``specific_load``'s. For one level span of sag well under 3 % it agrees with
    ``state_stress`` within a few hundredths of a percent. A condition with wind hangs the span
    in the plane of its load and its chord, the stress square to the load there;
    ``wind_plane=False`` leaves it in the vertical plane under the resultant load instead, as
    earlier releases did, to measure what the plane changes (docs/catenary.md).

    ``span``, ``height_difference`` and ``known_stress`` broadcast against each other as numpy
    arrays do; the result has their shape, or is a float when all three are scalars. The work
    runs without the GIL. Raises ValueError for a span or stress that is not a finite number
    above 0 or a height difference that is not finite, naming the first such element, and for
    what has no answer (a temperature that would shrink the conductor to nothing, a stress
    beyond the range of a double).

    >>> line = Conductor("JL/G1A-240/30", 275.96, 21.6, 922.2, 73000, 19.6e-6, 75190)
    >>> cold, hot = Condition("cold", 0, 0, -10), Condition("hot", 0, 0, 40)
    >>> round(catenary_state_stress(300, 0, line, cold, hot, 100), 2)
    66.19
    >>> catenary_state_stress([200, 400], 0, line, cold, hot, 100).round(2)
    array([56.43, 73.35])
    """
    _args.conductor(conductor)
    _args.condition(known, "known")
    _args.condition(sought, "sought")
    arrays = [_args.reals(x, what) for x, what in ((span, "span"),
                                                    (height_difference, "height_difference"),
                                                    (known_stress, "known_stress"))]
    shape = np.broadcast_shapes(*(a.shape for a in arrays))
    if math.prod(shape) == 0:
        return np.empty(shape)
    flat = [a.reshape(-1) if a.size == 1 or a.shape == shape else
            np.broadcast_to(a, shape).reshape(-1) for a in arrays]
    if not isinstance(wind_plane, bool):
        raise TypeError(f"wind_plane must be True or False, not {_args.describe(wind_plane)}")
    out = _core.catenary_state_stress(flat[0], flat[1], flat[2], conductor, known, sought,
                                      wind_plane)
    if shape == ():
        return float(out[0])
    return out.reshape(shape)


__all__ = ["SpanCurve", "catenary_state_stress", "span_curve"]
