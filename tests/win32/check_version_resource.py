#!/usr/bin/python3
"""Reads the version resource back out of a built DLL and checks every field.

usage: check_version_resource.py DLL MAJOR.MINOR.PATCH
"""
import sys

import pefile  # Debian: python3-pefile

VS_FF_SPECIALBUILD = 0x20


def dotted(most, least):
    """A version as its four 16-bit parts: 1.4.0.0."""
    return f"{most >> 16}.{most & 0xFFFF}.{least >> 16}.{least & 0xFFFF}"


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    dll, version = sys.argv[1:]
    major, minor, patch = (int(part) for part in version.split("."))
    numbers = f"{major}, {minor}, {patch}, 0"

    pe = pefile.PE(dll, fast_load=True)
    pe.parse_data_directories(
        directories=[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"]])
    if not getattr(pe, "VS_FIXEDFILEINFO", None):
        sys.exit(f"FAIL: {dll} carries no version resource")
    fixed = pe.VS_FIXEDFILEINFO[0]

    strings = {}
    for info in getattr(pe, "FileInfo", []):
        for entry in info:
            if getattr(entry, "Key", b"") == b"StringFileInfo":
                for table in entry.StringTable:
                    for key, value in table.entries.items():
                        strings[key.decode()] = value.decode()

    expected_ms = (major << 16) | minor
    expected_ls = patch << 16
    checks = [
        ("FILEVERSION", dotted(fixed.FileVersionMS, fixed.FileVersionLS),
         dotted(expected_ms, expected_ls)),
        ("PRODUCTVERSION", dotted(fixed.ProductVersionMS, fixed.ProductVersionLS),
         dotted(expected_ms, expected_ls)),
        ("FILEFLAGS has VS_FF_SPECIALBUILD", bool(fixed.FileFlags & VS_FF_SPECIALBUILD), True),
        ("FILEFLAGSMASK covers VS_FF_SPECIALBUILD",
         bool(fixed.FileFlagsMask & VS_FF_SPECIALBUILD), True),
        ("FileVersion", strings.get("FileVersion"), numbers),
        ("ProductVersion", strings.get("ProductVersion"), numbers),
        ("InternalName", strings.get("InternalName"), "KQStringArray"),
        ("OriginalFilename", strings.get("OriginalFilename"), "KQStringArray.dll"),
        ("ProductName", strings.get("ProductName"), "KQStringArray"),
        ("SpecialBuild", strings.get("SpecialBuild"), "Win32"),
        ("FileDescription is present", bool(strings.get("FileDescription")), True),
    ]
    failures = 0
    for name, actual, expected in checks:
        status = "ok" if actual == expected else "FAIL"
        if actual != expected:
            failures += 1
        print(f"{status:4} {name}: {actual!r}" + ("" if actual == expected else
                                                  f" (expected {expected!r})"))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
