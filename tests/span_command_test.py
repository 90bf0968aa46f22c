"""End-to-end tests of varnel span, one span's curve, against the textbook formulas evaluated in
60 decimal digits with Python's decimal module (no third-party multiprecision library).

Run by ctest in the same pytest session as varnel_command_test.py, whose helpers it uses.
"""
import json
import math
import os
import random
import re
import subprocess
import time
from decimal import Decimal, localcontext

import pytest

from varnel_command_test import VARNEL, fail, run, succeed

SPAN_KEYS = ["model", "low_point_m", "near_height_above_low_point_m",
             "far_height_above_low_point_m", "max_sag_m", "max_sag_at_m", "length_m",
             "near_stress_N_per_mm2", "far_stress_N_per_mm2", "near_angle_deg", "far_angle_deg"]


def _cosh(x):
    e = x.exp()
    return (e + 1 / e) / 2


def _sinh(x):
    e = x.exp()
    return (e - 1 / e) / 2


def _asinh(x):
    if x < 0:
        return -_asinh(-x)
    return (x + (x * x + 1).sqrt()).ln()


def _atan(x):
    # Halve the angle until the Taylor series converges at once, then double back.
    halvings = 0
    while abs(x) > Decimal("0.01"):
        x = x / (1 + (1 + x * x).sqrt())
        halvings += 1
    term, total, n = x, x, 1
    while True:
        term = -term * x * x
        n += 2
        step = term / n
        if abs(step) < Decimal(10) ** -60:
            break
        total += step
    return total * (2 ** halvings)


def catenary_oracle(l, h, stress, load, points=0):
    """The catenary's figures straight from cosh, sinh and asinh, in 60 digits."""
    with localcontext() as ctx:
        ctx.prec = 60
        l, h, s0, g = (Decimal(v) for v in (l, h, stress, load))
        p = s0 / g
        a = l / 2 - p * _asinh(h / (2 * p * _sinh(l / (2 * p))))

        def y(x):
            return p * (_cosh((x - a) / p) - _cosh(a / p))

        def sag(x):
            return h * x / l - y(x)

        pi = 4 * _atan(Decimal(1))
        xm = a + p * _asinh(h / l)
        doc = {
            "low_point_m": a,
            "near_height_above_low_point_m": p * (_cosh(a / p) - 1),
            "far_height_above_low_point_m": p * (_cosh((l - a) / p) - 1),
            "max_sag_m": sag(xm),
            "max_sag_at_m": xm,
            "length_m": p * (_sinh((l - a) / p) + _sinh(a / p)),
            "near_stress_N_per_mm2": s0 * _cosh(a / p),
            "far_stress_N_per_mm2": s0 * _cosh((l - a) / p),
            "near_angle_deg": _atan(_sinh(a / p)) * 180 / pi,
            "far_angle_deg": _atan(_sinh((l - a) / p)) * 180 / pi,
        }
        doc["points"] = [(Decimal(x), y(Decimal(x)), sag(Decimal(x)))
                         for x in [float(l) * i / points if i < points else float(l)
                                   for i in range(points + 1)]] if points else []
        return doc


def span_args(l, h, stress, load, *extra):
    return ["span", "--span", repr(l), "--height-difference", repr(h), "--stress", repr(stress),
            "--load", repr(load)] + list(extra)


@pytest.mark.parametrize("seed", range(40))
def test_span_json_matches_a_multiprecision_catenary(seed):
    rnd = random.Random(seed)
    l = rnd.uniform(50, 2500)
    h = rnd.uniform(-1.6, 1.6) * l  # |h| > l included
    p = l * math.exp(rnd.uniform(math.log(0.25), math.log(1000)))
    stress = rnd.uniform(20, 300)
    load = stress / p
    doc = json.loads(succeed(span_args(l, h, stress, load, "--points", "8", "--json")))
    assert list(doc) == SPAN_KEYS + ["points"]
    assert doc["model"] == "catenary"
    exact = catenary_oracle(l, h, stress, load, 8)
    for key in SPAN_KEYS[1:]:
        want = float(exact[key])
        if key == "low_point_m":
            # Its error is a few ulps of p·asinh(…), not of a, where the low point nears a support.
            assert abs(doc[key] - want) <= 1e-10 * abs(want) + 1e-15 * (l + abs(want)), key
        else:
            assert doc[key] == pytest.approx(want, rel=1e-10), key
    assert len(doc["points"]) == 9
    scale = float(exact["max_sag_m"])
    for got, (x, y, sag) in zip(doc["points"], exact["points"]):
        assert got["x_m"] == float(x)
        assert got["sag_m"] == pytest.approx(float(sag), rel=1e-10, abs=1e-13 * scale)
        assert got["height_m"] == pytest.approx(float(y), rel=1e-10, abs=1e-13 * scale)
    # The stress at the higher support exceeds the lower one's by γ·|h|.
    high = max(doc["near_stress_N_per_mm2"], doc["far_stress_N_per_mm2"])
    low = min(doc["near_stress_N_per_mm2"], doc["far_stress_N_per_mm2"])
    assert high - low == pytest.approx(load * abs(h), rel=1e-12, abs=1e-14 * high)


def test_span_parabola_reproduces_the_oblique_handbook_case():
    # l = 1000 m, h = 150 m, σ₀ = 50 N/mm², γ = 25e-3: 57.5 m of sag 350 m from the lower support.
    doc = json.loads(succeed(span_args(1000, 150, 50, 0.025, "--model", "parabola",
                                       "--points", "20", "--json")))
    assert doc["model"] == "parabola"
    at350 = [p for p in doc["points"] if p["x_m"] == 350][0]
    assert round(at350["sag_m"], 1) == 57.5
    cos_b = 1000 / math.hypot(1000, 150)
    assert doc["max_sag_m"] == pytest.approx(0.025 * 1000 ** 2 / (8 * 50 * cos_b), rel=1e-14)
    assert doc["max_sag_at_m"] == 500
    text = succeed(span_args(1000, 150, 50, 0.025, "--points", "4")).decode()
    for needle in ["model catenary", "low point", "near support", "far support", "largest sag",
                   "length", "x m"]:
        assert needle in text
    # The near support's height is 0, not the −0 of 2p·sinh(0)·sinh(…).
    assert "-0.0000" not in text


@pytest.mark.parametrize("seed", range(12))
def test_span_swung_by_a_horizontal_load_is_the_catenary_in_its_plane(seed):
    """--horizontal-load: the curve in the plane of the resultant load and the chord, worked
    here in 60 digits from the vector geometry (the chord with its part along the load taken
    out, the load's direction), and its sag's vertical and sideways parts at horizontal x."""
    rnd = random.Random(100 + seed)
    l = rnd.uniform(100, 1500)
    h = rnd.uniform(-0.7, 0.7) * l
    stress = rnd.uniform(40, 150)
    gv = rnd.uniform(0.03, 0.07)
    gh = gv * rnd.uniform(0.1, 2.5)
    doc = json.loads(succeed(span_args(l, h, stress, gv, "--horizontal-load", repr(gh),
                                       "--points", "4", "--json")))
    with localcontext() as ctx:
        ctx.prec = 60
        g = Decimal(math.hypot(gv, gh))
        dz = -Decimal(gv) / g
        dy = (1 - dz * dz).sqrt()
        along = Decimal(h) * dz
        ux, uy, uz = Decimal(l), -along * dy, Decimal(h) - along * dz
        lp = (ux * ux + uy * uy + uz * uz).sqrt()
        plane = catenary_oracle(lp, -along, stress, g)
        assert doc["plane_span_m"] == pytest.approx(float(lp), rel=1e-12)
        assert doc["plane_height_difference_m"] == pytest.approx(float(-along), rel=1e-12,
                                                                 abs=1e-14 * l)
        for key in ["max_sag_m", "length_m", "near_stress_N_per_mm2", "far_stress_N_per_mm2"]:
            assert doc[key] == pytest.approx(float(plane[key]), rel=1e-10), key
        assert doc["max_sag_at_m"] == pytest.approx(float(plane["max_sag_at_m"] * ux / lp),
                                                     rel=1e-10, abs=1e-12 * l)
        assert doc["max_sag_vertical_m"] == pytest.approx(float(plane["max_sag_m"] * -dz),
                                                          rel=1e-10)
        assert doc["max_sag_sideways_m"] == pytest.approx(float(plane["max_sag_m"] * dy),
                                                          rel=1e-10)
        assert doc["swing_deg"] == pytest.approx(math.degrees(math.atan2(gh, gv)), rel=1e-12)
        # The points at horizontal x: the 3-D point below and beside the chord.
        p = Decimal(stress) / g
        a = plane["low_point_m"]
        for row in doc["points"][1:-1]:
            big_x = Decimal(row["x_m"]) * lp / ux
            y = p * (_cosh((big_x - a) / p) - _cosh(a / p))
            point_y = big_x * uy / lp - y * dy
            point_z = big_x * uz / lp - y * dz
            assert row["vertical_sag_m"] == pytest.approx(
                float(Decimal(h) * Decimal(row["x_m"]) / Decimal(l) - point_z), rel=1e-10)
            assert row["sideways_m"] == pytest.approx(float(point_y), rel=1e-10)
            assert row["height_m"] == pytest.approx(float(point_z), rel=1e-10, abs=1e-12 * l)
    text = succeed(span_args(l, h, stress, gv, "--horizontal-load", repr(gh))).decode()
    for needle in ["\u03b7 =", "In the plane of the load and the chord", "m sideways"]:
        assert needle in text
    # Without a horizontal load, and with one of 0, the curve is the vertical one.
    plain = json.loads(succeed(span_args(l, h, stress, gv, "--json")))
    zero = json.loads(succeed(span_args(l, h, stress, gv, "--horizontal-load", "0", "--json")))
    for key in SPAN_KEYS:
        assert zero[key] == plain[key], key
    assert zero["max_sag_sideways_m"] == 0 and zero["swing_deg"] == 0


@pytest.mark.parametrize("args,needle", [
    (span_args(300, 8, 100, 0.03, "--horizontal-load", "-0.01"), "--horizontal-load"),
    (span_args(300, 8, 0, 0.089), "--stress"),
    (span_args(300, 8, 100, -1), "--load"),
    (span_args(0, 8, 100, 0.03), "--span"),
    (span_args(300, 8, 100, 0.03, "--model", "cat"), "--model"),
    (span_args(300, 8, 100, 0.03, "--points", "0"), "--points"),
    (["span", "--span", "300", "--stress", "100", "--load", "0.03"], "--height-difference"),
    (span_args(300, 8, 1e300, 1e-300), "beyond a double"),
])
def test_span_usage_errors(args, needle):
    fail(args, 2, needle)


@pytest.mark.parametrize("l,h,stress,load", [
    (1000, 0, 0.015, 0.03),   # p = 0.5 m, l/(2p) = 1000: cosh overflows
    (1000, 0, 0.02, 0.029),   # p = l/1450
    (5, 0, 1e-6, 0.5),        # a short span under next to no stress
])
def test_span_beyond_a_double_is_refused_with_its_size(l, h, stress, load):
    # The level catenary's sag p·(cosh(l/(2p)) − 1), in 60 digits: no double holds it.
    with localcontext() as ctx:
        ctx.prec = 60
        p = Decimal(stress) / Decimal(load)
        sag = p * (_cosh(Decimal(l) / (2 * p)) - 1)
        exponent = sag.adjusted()
        mantissa = float(sag.scaleb(-exponent))
    assert exponent > 308
    for extra in ([], ["--json"], ["--points", "4", "--json"],
                  ["--horizontal-load", repr(load), "--json"]):
        got, out, err = run(span_args(l, h, stress, load, *extra))
        assert got == 1 and out == b"" and len(err.splitlines()) == 1, err
        assert "beyond the range of a double" in err
        if not extra or extra[0] != "--horizontal-load":
            assert f"sag about {mantissa:.1f}e{exponent} m" in err, err


def test_span_just_within_a_double_is_exact():
    # l/(2p) = 700, the sag some 5e301·p: still a double, and to the oracle's digits.
    l, stress, load = 1400.0, 0.03, 0.03
    doc = json.loads(succeed(span_args(l, 0.0, stress, load, "--points", "4", "--json")))
    want = catenary_oracle(l, 0.0, stress, load, 4)
    for key in SPAN_KEYS[1:]:
        assert math.isfinite(doc[key])
        assert doc[key] == pytest.approx(float(want[key]), rel=1e-11, abs=1e-9), key
    for row, (_, height, sag) in zip(doc["points"], want["points"]):
        assert row["sag_m"] == pytest.approx(float(sag), rel=1e-11, abs=1e-9)


def test_span_over_5_km_warns():
    status, out, err = run(span_args(6000, 0, 50, 0.03))
    assert status == 0 and "largest sag" in out.decode()
    assert err == ("varnel: warning: --span: a span of 6000 m is longer than 5 km; check that it "
                   "is in metres\n")
    assert run(span_args(5000, 0, 50, 0.03))[2] == ""


@pytest.mark.skipif(os.environ.get("VARNEL_MILLION_SPANS") != "1",
                    reason="the optimised build runs it")
def test_span_million_points_in_flat_memory(tmp_path):
    # VmHWM as in varnel_command_test's million-span check: the points are written as they come.
    peak_kb = 0
    with open(tmp_path / "points.json", "wb") as out:
        p = subprocess.Popen([VARNEL] + span_args(1000, 150, 50, 0.025, "--points", "1000000",
                                                  "--json"), stdout=out, stderr=subprocess.PIPE)
        while p.poll() is None:
            try:
                with open(f"/proc/{p.pid}/status") as f:
                    hwm = re.search(r"VmHWM:\s+(\d+) kB", f.read())
                    peak_kb = max(peak_kb, int(hwm.group(1)) if hwm else 0)
            except OSError:
                pass
            time.sleep(0.05)
        assert p.wait(timeout=600) == 0, p.stderr.read()
    with open(tmp_path / "points.json", encoding="utf-8") as f:
        doc = json.load(f)
    assert len(doc["points"]) == 1000001 and doc["points"][-1]["x_m"] == 1000
    # The same point as a run of two points, to the bit.
    two = json.loads(succeed(span_args(1000, 150, 50, 0.025, "--points", "2", "--json")))
    assert doc["points"][500000] == two["points"][1]
    assert 0 < peak_kb < 50 * 1024, f"{peak_kb} KB"
