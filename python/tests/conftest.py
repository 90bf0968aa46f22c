"""Shared fixtures: the sample tables, and libvarnel.so through ctypes as the hosts call it."""

import ctypes
import os
import pathlib

import pytest

import varnel

SAMPLES = pathlib.Path(__file__).resolve().parents[2] / "samples"


class WeatherCondition(ctypes.Structure):
    _fields_ = [("name", ctypes.c_char * 24), ("iceThickness", ctypes.c_double),
                ("windSpeed", ctypes.c_double), ("temperature", ctypes.c_double)]


class LineAttrib(ctypes.Structure):
    _fields_ = [("name", ctypes.c_char * 32), ("area", ctypes.c_double),
                ("diameter", ctypes.c_double), ("unitMass", ctypes.c_double),
                ("column4Value", ctypes.c_double), ("elasticModulus", ctypes.c_double),
                ("expansionCoeff", ctypes.c_double), ("column7Value", ctypes.c_double),
                ("ratedStrength", ctypes.c_double), ("column9Number", ctypes.c_int),
                ("column10Text", ctypes.c_char * 68)]


class WeatherConditionSeq(ctypes.Structure):
    _fields_ = [("allocatorTag", ctypes.c_ubyte), ("first", ctypes.POINTER(WeatherCondition)),
                ("last", ctypes.POINTER(WeatherCondition)),
                ("end", ctypes.POINTER(WeatherCondition))]


class WeatherArea(ctypes.Structure):
    _fields_ = [("name", ctypes.c_char * 24), ("conditions", WeatherConditionSeq)]


class WeatherAreaSeq(ctypes.Structure):
    _fields_ = [("allocatorTag", ctypes.c_ubyte), ("first", ctypes.POINTER(WeatherArea)),
                ("last", ctypes.POINTER(WeatherArea)), ("end", ctypes.POINTER(WeatherArea))]


class LineAttribSeq(ctypes.Structure):
    _fields_ = [("allocatorTag", ctypes.c_ubyte), ("first", ctypes.POINTER(LineAttrib)),
                ("last", ctypes.POINTER(LineAttrib)), ("end", ctypes.POINTER(LineAttrib))]


assert ctypes.sizeof(WeatherCondition) == 48 and ctypes.sizeof(LineAttrib) == 168


def c_condition(c: varnel.Condition) -> WeatherCondition:
    return WeatherCondition(c.name_gbk, c.ice_mm, c.wind_ms, c.temperature_c)


def c_conductor(a: varnel.Conductor) -> LineAttrib:
    return LineAttrib(a.name_gbk, a.area_mm2, a.diameter_mm, a.unit_mass_kg_per_km,
                      a.column4_value, a.elastic_modulus, a.expansion_coeff, a.column7_value,
                      a.rated_strength_n, a.column9_number, a.column10_text.encode("gbk"))


@pytest.fixture(scope="session")
def libvarnel():
    """libvarnel.so from the path in VARNEL_LIBRARY (scripts/run_tests.sh passes the release
    build's), with the prototypes of the exports the comparisons call."""
    path = os.environ.get("VARNEL_LIBRARY")
    if not path or not os.path.exists(path):
        why = f"VARNEL_LIBRARY={path!r} does not name libvarnel.so (build/release/bin/)"
        if os.environ.get("VARNEL_REQUIRE_LIBRARY"):
            pytest.fail(why)
        pytest.skip(why)
    lib = ctypes.CDLL(path)
    d, p = ctypes.c_double, ctypes.POINTER
    lib.StateEquationGetForce.argtypes = [d, d, p(LineAttrib), p(WeatherCondition),
                                          p(WeatherCondition), d, p(d)]
    lib.StateEquationGetForce.restype = ctypes.c_bool
    lib.StateEquationGetControl.argtypes = [d, d, d, p(LineAttrib), p(WeatherConditionSeq), d, d]
    lib.StateEquationGetControl.restype = ctypes.c_int
    lib.CalcBZ.argtypes = [p(WeatherCondition), p(LineAttrib)]
    lib.CalcBZ.restype = d
    lib.CPBodyWindHZ.argtypes = [p(WeatherCondition), d, d, d, d, p(d), p(d)]
    lib.CPBodyWindHZ.restype = None
    lib.CPLineWindHZ.argtypes = [p(WeatherCondition), p(LineAttrib), d, d, d]
    lib.CPLineWindHZ.restype = d
    lib.CPInsuWindHZ.argtypes = [p(WeatherCondition), d, d]
    lib.CPInsuWindHZ.restype = d
    lib.LoadWeatherAreaFromDBF.argtypes = [ctypes.c_char_p, ctypes.c_int]
    lib.LoadHZWeatherAreaFromDBF.argtypes = [ctypes.c_char_p, ctypes.c_int]
    lib.LoadLineAttribFromDBF.argtypes = [ctypes.c_char_p]
    lib.GetWeatherAreaLib.restype = p(WeatherAreaSeq)
    lib.GetHZWeatherAreaLib.restype = p(WeatherAreaSeq)
    lib.GetLineAttribLib.restype = p(LineAttribSeq)
    return lib


@pytest.fixture(scope="session")
def areas():
    return varnel.load_weather_areas(SAMPLES / "weather_areas.dbf")


@pytest.fixture(scope="session")
def conductors():
    return varnel.load_conductors(SAMPLES / "conductors.dbf")
