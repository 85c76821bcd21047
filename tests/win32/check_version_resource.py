#!/usr/bin/python3
"""Reads the version resource back out of a built DLL and checks every field against the project
version, and the version macros of KQStringArrayVersion.h against it too when the header is given.

usage: check_version_resource.py DLL MAJOR.MINOR.PATCH [KQStringArrayVersion.h]
"""
import re
import sys

import pefile  # Debian: python3-pefile

VS_FF_SPECIALBUILD = 0x20


def dotted(most, least):
    """A version as its four 16-bit parts: 1.4.0.0."""
    return f"{most >> 16}.{most & 0xFFFF}.{least >> 16}.{least & 0xFFFF}"


def header_checks(header, major, minor, patch, version):
    """(name, actual, expected) for each version macro of the generated header."""
    with open(header, encoding="utf-8") as f:
        macros = dict(re.findall(r"^#define (KQSTRINGARRAY_VERSION_\w+) (.+?)\s*$", f.read(),
                                 flags=re.M))
    return [(name, macros.get(name), expected) for name, expected in [
        ("KQSTRINGARRAY_VERSION_MAJOR", str(major)),
        ("KQSTRINGARRAY_VERSION_MINOR", str(minor)),
        ("KQSTRINGARRAY_VERSION_PATCH", str(patch)),
        ("KQSTRINGARRAY_VERSION_STRING", f'"{version}"'),
    ]]


def main():
    if len(sys.argv) not in (3, 4):
        sys.exit(__doc__)
    dll, version = sys.argv[1:3]
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
    if len(sys.argv) == 4:
        checks += header_checks(sys.argv[3], major, minor, patch, version)
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
