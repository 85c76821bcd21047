"""pytest setup: without KQSTRINGARRAY_LIBRARY, the tests use the library of a native build of
this checkout (build/test, or build/demo), when there is one."""
import glob
import os

_HERE = os.path.dirname(os.path.abspath(__file__))

if not os.environ.get("KQSTRINGARRAY_LIBRARY"):
    for preset in ("test", "demo"):
        built = sorted(glob.glob(os.path.join(_HERE, "..", "build", preset, "lib",
                                              "libKQStringArray.so.*")))
        if built:
            os.environ["KQSTRINGARRAY_LIBRARY"] = os.path.abspath(built[0])
            break
