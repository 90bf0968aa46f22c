"""Builds varnel._core from the library's own C++ sources in this repository.

Offline with Debian's setuptools and pybind11:
    pip install --no-build-isolation ./python
The compiler flags that affect floating point are the library's own (-O3, C++20, no fast-math,
no -march), so the module computes the same bits as libvarnel.so and varnel.dll.
"""

import os
import re

from pybind11.setup_helpers import ParallelCompile, Pybind11Extension, build_ext
from setuptools import setup

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)


def project_version():
    """The version in the top-level CMakeLists.txt project() call: the one place it is kept."""
    with open(os.path.join(ROOT, "CMakeLists.txt"), encoding="utf-8") as f:
        found = re.search(r"project\(\s*varnel\s+VERSION\s+([0-9.]+)", f.read())
    if not found:
        raise RuntimeError("no project(varnel VERSION ...) in CMakeLists.txt")
    return found.group(1)


LIBRARY_SOURCES = [
    "calc/coefficients.cpp",
    "calc/conductor_load.cpp",
    "calc/state_equation.cpp",
    "calc/control_search.cpp",
    "calc/wind_loads.cpp",
    "calc/span_curve.cpp",
    "calc/catenary_state.cpp",
    "dbf/table_path.cpp",
    "dbf/table_format.cpp",
    "dbf/table_file.cpp",
    "dbf/dbase.cpp",
    "dbf/table_check.cpp",
    "libraries/field_text.cpp",
    "libraries/weather/weather_area_loader.cpp",
    "libraries/components/component_loaders.cpp",
    "design/critical_spans.cpp",
    "design/strain_section.cpp",
    "design/input_checks.cpp",
    "design/line_profile.cpp",
    "design/profile_sections.cpp",
    "design/profile_clearances.cpp",
    "design/profile_towers.cpp",
    "design/catenary_section.cpp",
    "thermal/ieee738.cpp",
    "thermal/cigre601.cpp",
    "thermal/thermal_rating.cpp",
]
BINDING_SOURCES = [
    "python/src/core_module.cpp",
    "python/src/calc_bindings.cpp",
    "python/src/thermal_bindings.cpp",
    "python/src/curve_bindings.cpp",
    "python/src/profile_bindings.cpp",
]

sources = LIBRARY_SOURCES + BINDING_SOURCES
missing = [s for s in sources if not os.path.isfile(os.path.join(ROOT, s))]
if missing:
    raise RuntimeError(
        "varnel builds from its source tree: python/ with calc/, dbf/, libraries/, design/ and "
        "thermal/ "
        "beside it; missing: " + ", ".join(missing))

VERSION = project_version()

ParallelCompile("VARNEL_BUILD_JOBS", default=2).install()

core = Pybind11Extension(
    "varnel._core",
    [os.path.join(ROOT, s) for s in sources],
    include_dirs=[ROOT],
    cxx_std=20,
    define_macros=[("VARNEL_VERSION", '"%s"' % VERSION), ("NDEBUG", None)],
    # As CMake's Release build: -O3 after Python's own -O2.
    extra_compile_args=["-O3"],
)

setup(
    name="varnel",
    version=VERSION,
    description="Mechanical design of overhead power lines: the Varnel library for Python",
    license="MIT",
    python_requires=">=3.9",
    install_requires=["numpy"],
    extras_require={"pandas": ["pandas"]},
    packages=["varnel"],
    package_data={"varnel": ["py.typed", "*.pyi"]},
    ext_modules=[core],
    cmdclass={"build_ext": build_ext},
    zip_safe=False,
)
