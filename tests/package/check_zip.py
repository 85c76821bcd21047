#!/usr/bin/env python3
"""Checks the Windows archive of `cmake --workflow --preset package-win32`.

The archive holds one top-level folder with everything a Windows client needs: the three DLLs
and the MinGW runtime DLLs they load, the import libraries, KQStringArray.def (for an MSVC
import library), the headers and the licence.  Every DLL the archive's DLLs import must be in
bin/ beside them, or be a part of Windows.

usage: check_zip.py KQStringArray-<version>-win32.zip
"""
import sys
import zipfile

import pefile

REQUIRED = [
    "bin/KQStringArray.dll",
    "bin/KQString.dll",
    "bin/CKQError.dll",
    "bin/libstdc++-6.dll",
    "bin/libgcc_s_dw2-1.dll",
    "bin/libwinpthread-1.dll",
    "lib/libKQStringArray.dll.a",
    "lib/libKQString.dll.a",
    "lib/libCKQError.dll.a",
    "lib/KQStringArray.def",
    "lib/cmake/KQStringArray/KQStringArrayConfig.cmake",
    "include/KQObject.h",
    "include/KQPtrArray.h",
    "include/KQArrayIterator.h",
    "include/KQResultCodes.h",
    "include/KQStringArray.h",
    "include/KQStringArrayC.h",
    "include/KQString.h",
    "include/KQError.h",
    "include/KQStringArray_export.h",
    "include/KQString_export.h",
    "include/CKQError_export.h",
    "share/doc/KQStringArray/LICENSE",
]

# DLLs that come with Windows itself (lower case).
SYSTEM_DLLS = {"kernel32.dll", "msvcrt.dll", "user32.dll", "advapi32.dll", "ntdll.dll"}


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    failures = []
    with zipfile.ZipFile(sys.argv[1]) as archive:
        names = [name for name in archive.namelist() if not name.endswith("/")]
        tops = {name.split("/", 1)[0] for name in archive.namelist()}
        if len(tops) != 1:
            sys.exit(f"FAIL: expected one top-level folder, found {sorted(tops)}")
        top = tops.pop()
        members = {name[len(top) + 1:] for name in names}
        for required in REQUIRED:
            if required not in members:
                failures.append(f"missing {required}")

        shipped = {m.split("/", 1)[1].lower() for m in members if m.startswith("bin/")}
        for member in sorted(m for m in members if m.startswith("bin/") and m.endswith(".dll")):
            image = pefile.PE(data=archive.read(f"{top}/{member}"), fast_load=True)
            image.parse_data_directories(
                directories=[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_IMPORT"]])
            for entry in getattr(image, "DIRECTORY_ENTRY_IMPORT", []):
                dll = entry.dll.decode("ascii").lower()
                if dll not in shipped and dll not in SYSTEM_DLLS \
                        and not dll.startswith("api-ms-win-"):
                    failures.append(f"{member} imports {dll}, which is not in bin/")

    for failure in failures:
        print("FAIL:", failure)
    if failures:
        return 1
    print(f"{sys.argv[1]}: {len(members)} files under {top}/, all {len(REQUIRED)} required ones, "
          "every imported DLL shipped or part of Windows")
    return 0


if __name__ == "__main__":
    sys.exit(main())
