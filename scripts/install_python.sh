#!/usr/bin/env bash
# Builds the Python package varnel from this tree into a virtual environment, offline: Debian's
# python3 with its numpy, pandas and pybind11 (the venv sees the system's packages), and pip
# without build isolation, so nothing is fetched.
#   scripts/install_python.sh [VENV]    default build/python-venv
# Then: VENV/bin/python -c "import varnel; print(varnel.__version__)"
set -euo pipefail
cd "$(dirname "$0")/.."

venv=${1:-build/python-venv}
bash scripts/install_deps.sh python

# Debian's own interpreter, whatever python3 comes first on PATH: the packages above are its.
/usr/bin/python3 -m venv --system-site-packages "$venv"
VARNEL_BUILD_JOBS=${VARNEL_BUILD_JOBS:-2} "$venv/bin/pip" install --no-build-isolation \
  --no-index --quiet --disable-pip-version-check ./python
# pip builds in the source tree; its scratch folders are not part of it.
rm -rf python/build python/varnel.egg-info
"$venv/bin/python" -c "import varnel; print('varnel', varnel.__version__, 'in', '$venv')"
