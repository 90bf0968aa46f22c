"""End-to-end tests of the catenary in the design commands: varnel critical --model catenary.

Run by ctest in the same pytest session as varnel_command_test.py, whose helpers it uses.
"""
import json

import pytest

from varnel_command_test import DESIGN6, fail, succeed


def _critical(*extra):
    return json.loads(succeed(["critical"] + DESIGN6 + list(extra) + ["--json"]))


@pytest.mark.parametrize("shape", [[], ["--cos", "0.9"]])
def test_catenary_critical_spans_are_the_parabolas_for_short_spans(shape):
    """Below 400 m the sags are a percent or two of the span: the parabola's critical spans are
    the catenary's to its own error; the same pairs, in the same order, either way."""
    parabola = _critical(*shape)
    catenary = _critical("--model", "catenary", *shape)
    assert parabola["model"] == "parabola" and catenary["model"] == "catenary"
    assert catenary["candidates"] == parabola["candidates"]
    assert [(p["a"], p["b"]) for p in catenary["pairs"]] == \
        [(p["a"], p["b"]) for p in parabola["pairs"]]
    compared = 0
    for p, c in zip(parabola["pairs"], catenary["pairs"]):
        if p["span_m"] is not None and 10 < p["span_m"] < 400:
            assert c["span_m"] == pytest.approx(p["span_m"], rel=2e-3)
            compared += 1
    assert compared >= 3
    ranges = catenary["ranges"]
    assert ranges[0]["from_m"] == 0 and ranges[-1]["to_m"] is None
    assert all(a["to_m"] == b["from_m"] for a, b in zip(ranges, ranges[1:]))
    # Each boundary is where two conditions' limits cross: the critical span of the pair of
    # conditions either side of it.
    spans = {(p["a"]["index"], p["b"]["index"]): p["span_m"] for p in catenary["pairs"]}
    for a, b in zip(ranges, ranges[1:]):
        key = tuple(sorted((a["controlling"]["index"], b["controlling"]["index"])))
        if key in spans:
            assert spans[key] == b["from_m"]


def test_catenary_critical_with_a_fixed_height_difference():
    doc = _critical("--model", "catenary", "--height-difference", "60")
    assert doc["height_difference_m"] == 60
    level = _critical("--model", "catenary")
    # A height difference makes a span's conductor longer and its sag larger: the crossing moves.
    moved = [(a["span_m"], b["span_m"]) for a, b in zip(doc["pairs"], level["pairs"])
             if a["span_m"] and b["span_m"] and b["span_m"] > 50]
    assert moved and all(x != y for x, y in moved)


def test_height_difference_needs_the_catenary():
    fail(["critical"] + DESIGN6 + ["--height-difference", "60"], 2, "--height-difference")
    fail(["critical"] + DESIGN6 + ["--model", "catenary", "--height-difference", "60",
                                   "--cos", "0.9"], 2)
