#!/usr/bin/env bash
# Installs the Debian packages of `cmake --workflow --preset package-deb` with dpkg, builds the
# package clients against the system's copy (pkg-config, and CMake's find_package) with no path
# of ours given, runs them with no loader setting, and removes (purges) the packages again,
# whatever happened, so the machine is left as it was.  Needs root (dpkg), g++, pkg-config and
# cmake.
#
# usage: check_deb.sh [DIR]   (DIR holds the .deb files; default build/package-deb)
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
deb_dir="${1:-$here/../../build/package-deb}"
runtime=(libkqstringarray1)
dev=(libkqstringarray-dev)

shopt -s nullglob
debs=("$deb_dir"/libkqstringarray1_*.deb "$deb_dir"/libkqstringarray-dev_*.deb)
if [ "${#debs[@]}" -ne 2 ]; then
  echo "FAIL: expected one runtime and one -dev package in $deb_dir, found: ${debs[*]:-none}" >&2
  exit 1
fi
for package in "${runtime[@]}" "${dev[@]}"; do
  if [ "$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)" = "install ok installed" ]; then
    echo "FAIL: $package is installed already; this check would remove it afterwards" >&2
    exit 1
  fi
done

work="$(mktemp -d)"
cleanup() {
  # --purge, not only -r: the runtime package's maintainer scripts would keep it listed.
  dpkg --purge "${dev[@]}" "${runtime[@]}" >/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# The development package names the runtime package of its own version.
version="$(dpkg-deb -f "$deb_dir"/libkqstringarray1_*.deb Version)"
depends="$(dpkg-deb -f "$deb_dir"/libkqstringarray-dev_*.deb Depends)"
if [ "$depends" != "libkqstringarray1 (= $version)" ]; then
  echo "FAIL: libkqstringarray-dev depends on '$depends', expected 'libkqstringarray1 (= $version)'" >&2
  exit 1
fi

dpkg -i "${debs[@]}"

# The libraries in the multiarch folder, the links split between the packages.
multiarch="$(gcc -print-multiarch)"
libdir="/usr/lib/$multiarch"
owned_by() { # owned_by PACKAGE FILE
  if [[ "$(dpkg -S "$2")" != "$1: $2" ]]; then
    echo "FAIL: $2 does not come from $1" >&2
    exit 1
  fi
}
for library in KQStringArray KQString CKQError; do
  owned_by libkqstringarray1 "$libdir/lib$library.so.1"
  owned_by libkqstringarray-dev "$libdir/lib$library.so"
done
owned_by libkqstringarray-dev "$libdir/pkgconfig/kqstringarray.pc"
owned_by libkqstringarray-dev "$libdir/cmake/KQStringArray/KQStringArrayConfig.cmake"

# pkg-config sees a system installation: no -I/usr/include, no -L of the system folder.
flags="$(pkg-config --cflags --libs kqstringarray)"
echo "pkg-config --cflags --libs kqstringarray: $flags"
case " $flags " in
  *" -I/usr/include "* | *" -L$libdir "* | *pkgconfig*)
    echo "FAIL: pkg-config names system folders: $flags" >&2
    exit 1 ;;
esac
test "$(pkg-config --modversion kqstringarray)" = "${version%-*}"

# The README's pkg-config command, then the program with no loader setting at all.
# shellcheck disable=SC2046,SC2086
g++ -std=c++20 "$here/client/modern.cpp" $(pkg-config --cflags --libs kqstringarray) \
  -o "$work/modern_client"
env -u LD_LIBRARY_PATH "$work/modern_client"
loaded=0
while read -r name _ path _; do
  if [ "$(realpath "$path")" != "$(realpath "$libdir/$name")" ]; then
    echo "FAIL: the client loads $name from $path, not from $libdir" >&2
    exit 1
  fi
  loaded=$((loaded + 1))
done < <(ldd "$work/modern_client" | grep -E '^\s*lib(KQ|CKQ)')
test "$loaded" -eq 3

# The CMake package from the system folders (no CMAKE_PREFIX_PATH).
cmake -S "$here/client" -B "$work/cmake-client" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$work/cmake-client" --target check

echo "Debian packages: installed, clients built and run, removed"
