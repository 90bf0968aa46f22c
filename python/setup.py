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


def library_sources():
    """The C++ sources of the static libraries the module is made of, read from the CMake files
    that build them (cmake/varnel_library.cmake, thermal/CMakeLists.txt, and the command's
    profile reader and drawing in tools/CMakeLists.txt): one list to keep, so a file added to
    the library cannot be left out of the module."""
    found = []
    for cmake_file, folder in (("cmake/varnel_library.cmake", ""),
                               ("thermal/CMakeLists.txt", "thermal/"),
                               ("tools/CMakeLists.txt", "tools/")):
        with open(os.path.join(ROOT, cmake_file), encoding="utf-8") as f:
            text = f.read()
        for body in re.findall(r"add_library\(\s*varnel_\w+\s+STATIC\s+([^)]*)\)", text):
            found += [folder + name for name in body.split() if name.endswith(".cpp")]
    if not found:
        raise RuntimeError("no static library sources in cmake/varnel_library.cmake")
    return found


LIBRARY_SOURCES = library_sources()
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
        "varnel builds from its source tree: python/ with calc/, dbf/, libraries/, design/, "
        "thermal/ and tools/ "
        "beside it; missing: " + ", ".join(missing))

VERSION = project_version()

ParallelCompile("VARNEL_BUILD_JOBS", default=2).install()

core = Pybind11Extension(
    "varnel._core",
    [os.path.join(ROOT, s) for s in sources],
    include_dirs=[ROOT],
    cxx_std=20,
    # fmt (the command's reader and drawing format with it) as Debian's headers alone.
    define_macros=[("VARNEL_VERSION", '"%s"' % VERSION), ("NDEBUG", None),
                   ("FMT_HEADER_ONLY", None)],
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
