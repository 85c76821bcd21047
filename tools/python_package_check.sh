#!/usr/bin/env bash
# Builds the Python package from this checkout as a user installs it and tests the installed
# copy, offline:
#   1. a fresh virtual environment in build/python/venv that sees the system's setuptools, wheel,
#      build and pytest (Debian python3-venv python3-setuptools python3-wheel python3-build
#      python3-pip python3-pytest);
#   2. `pip install --no-build-isolation --no-index .` (setup.py builds the libraries with CMake);
#   3. the pytest suite, copied alone into a folder of its own, so that neither the source package
#      nor python/conftest.py (which points KQSTRINGARRAY_LIBRARY at build/test) is seen: what it
#      tests is the installed package, with the libraries inside it;
#   4. `python3 -m build --no-isolation --wheel` into build/python/dist, and the suite again
#      against that wheel installed in place of the first.
# KQ_PYTHON names the interpreter (default /usr/bin/python3, the one Debian's packages serve).
set -euo pipefail
cd "$(dirname "$0")/.."

python=${KQ_PYTHON:-/usr/bin/python3}
work=$PWD/build/python
venv=$work/venv
tests=$work/pytest
rm -rf "$venv" "$tests" "$work/dist" "$work/setuptools"

"$python" -m venv --system-site-packages "$venv"
"$venv/bin/python" -m pip install --no-build-isolation --no-index .

# The project version as CMake saw it when it built the libraries for the package.
expected=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$work/cmake/CMakeCache.txt")
if [ -z "$expected" ]; then
  echo "no project version in $work/cmake/CMakeCache.txt" >&2
  exit 1
fi

mkdir -p "$tests"
cp python/test_kqstringarray.py "$tests/"

# Runs the suite and checks where the package and its library come from.
check_installed() {
  (
    cd "$tests"
    unset KQSTRINGARRAY_LIBRARY PYTHONPATH
    export KQ_EXPECTED_VERSION=$expected PYTHONDONTWRITEBYTECODE=1
    "$venv/bin/python" -c '
import os, sys
import kqstringarray as k
package = os.path.dirname(k.__file__)
library = k._find_library()
print(f"kqstringarray {k.__version__} from {package}, library {library}")
if not package.startswith(sys.prefix + os.sep):
    sys.exit("FAIL: the package imported is not the one installed in " + sys.prefix)
if os.path.dirname(library) != os.path.join(package, "_libs"):
    sys.exit("FAIL: the library loaded is not the one inside the package")
'
    "$venv/bin/python" -m pytest -q -p no:cacheprovider --rootdir "$tests" test_kqstringarray.py
  )
}
check_installed

"$venv/bin/python" -m build --no-isolation --wheel --outdir "$work/dist" .
wheels=("$work"/dist/kqstringarray-"$expected"-*.whl)
if [ ! -f "${wheels[0]}" ]; then
  echo "FAIL: no wheel of version $expected in $work/dist" >&2
  exit 1
fi
wheel=${wheels[0]}
case $wheel in
*-none-any.whl)
  echo "FAIL: $wheel is marked pure Python, but it carries the libraries" >&2
  exit 1
  ;;
esac
echo "wheel: $(basename "$wheel")"
"$venv/bin/python" -m pip install --no-index --force-reinstall --no-deps "$wheel"
check_installed
