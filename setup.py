"""Builds the Python package kqstringarray with the shared libraries inside it.

build_py configures a Release build of the shared libraries alone (no tests, no examples) in
build/python/cmake, installs it into build/python/stage and copies libKQStringArray.so.1 and its
companions libKQString.so.1 and libCKQError.so.1 into kqstringarray/_libs (their run path is
$ORIGIN, so they find each other there), with the _version.py that CMake wrote from the project
version.  The package's version is the same project version, read from CMakeLists.txt; the build
stops if the two disagree.

The wheel carries native code for one platform: it is tagged py3-none-<platform> (any Python 3,
which loads the libraries through ctypes, on this platform only), never py3-none-any.
"""
import os
import re
import shutil
import subprocess
import sys

from setuptools import Distribution, setup
from setuptools.command.build_py import build_py

try:
    from setuptools.command.bdist_wheel import bdist_wheel  # setuptools 70.1 and later
except ImportError:
    from wheel.bdist_wheel import bdist_wheel  # Debian: python3-wheel

ROOT = os.path.dirname(os.path.abspath(__file__))
BUILD = os.path.join(ROOT, "build", "python")
LIBRARIES = ["libKQStringArray.so.1", "libKQString.so.1", "libCKQError.so.1"]


def project_version():
    """The VERSION of project(KQStringArray ...) in CMakeLists.txt."""
    with open(os.path.join(ROOT, "CMakeLists.txt"), encoding="utf-8") as f:
        found = re.search(r"project\(\s*KQStringArray\b[^)]*?\bVERSION\s+(\d+\.\d+\.\d+)\b",
                          f.read())
    if not found:
        raise RuntimeError("CMakeLists.txt: no VERSION in project(KQStringArray ...)")
    return found.group(1)


def run(*command):
    print(" ".join(command), flush=True)
    subprocess.run(command, check=True)


class BuildPyWithLibraries(build_py):
    """build_py, then the CMake build of the libraries into the package."""

    def run(self):
        if not sys.platform.startswith("linux"):
            raise RuntimeError("the Python package build is written for Linux shared libraries")
        super().run()
        cmake_build = os.path.join(BUILD, "cmake")
        stage = os.path.join(BUILD, "stage")
        configure = ["cmake", "-S", ROOT, "-B", cmake_build, "-DCMAKE_BUILD_TYPE=Release",
                     "-DKQ_BUILD_TESTS=OFF", "-DKQ_BUILD_EXAMPLES=OFF",
                     f"-DCMAKE_INSTALL_PREFIX={stage}", "-DCMAKE_INSTALL_LIBDIR=lib"]
        if shutil.which("ninja") and not os.path.exists(os.path.join(cmake_build,
                                                                     "CMakeCache.txt")):
            configure += ["-G", "Ninja"]
        run(*configure)
        run("cmake", "--build", cmake_build)
        shutil.rmtree(stage, ignore_errors=True)
        run("cmake", "--install", cmake_build, "--strip")

        package = os.path.join(self.build_lib, "kqstringarray")
        libraries = os.path.join(package, "_libs")
        shutil.rmtree(libraries, ignore_errors=True)
        os.makedirs(libraries)
        for name in LIBRARIES:
            # The file itself under its soname (a wheel holds no symbolic links).
            shutil.copy(os.path.join(stage, "lib", name), os.path.join(libraries, name))

        version_file = os.path.join(cmake_build, "python", "kqstringarray", "_version.py")
        with open(version_file, encoding="utf-8") as f:
            written = re.search(r'__version__ = "([^"]+)"', f.read()).group(1)
        if written != self.distribution.get_version():
            raise RuntimeError(f"CMake wrote version {written}, the package is "
                               f"{self.distribution.get_version()}")
        shutil.copy(version_file, os.path.join(package, "_version.py"))


class BinaryDistribution(Distribution):
    """A distribution that carries native code, though no extension module: installed into the
    platform's library folder, its wheel not pure (Root-Is-Purelib: false)."""

    def has_ext_modules(self):
        return True


class PlatformWheel(bdist_wheel):
    """A wheel for this platform (it carries the libraries), for any Python 3."""

    def get_tag(self):
        platform = super().get_tag()[2]
        return "py3", "none", platform


setup(
    version=project_version(),
    package_dir={"": "python"},
    packages=["kqstringarray"],
    distclass=BinaryDistribution,
    cmdclass={"build_py": BuildPyWithLibraries, "bdist_wheel": PlatformWheel},
    # Everything the build writes stays under build/python.
    options={"build": {"build_base": os.path.join(BUILD, "setuptools")},
             "egg_info": {"egg_base": BUILD}},
)
