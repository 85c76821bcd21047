#!/usr/bin/env python3
"""Checks that KQStringArray.dll exports the C interface under its plain C names.

Every function that KQStringArrayC.h declares must be in the DLL's export table exactly under its
own name (no underscore, no @N decoration, no C++ mangling), the DLL may export no other kq_
name, and the module-definition file must list exactly those functions for the DLL, so that an
import library made from it (MSVC: lib /def:KQStringArray.def /machine:x86) resolves them all.

usage: check_c_exports.py KQStringArrayC.h KQStringArray.dll KQStringArray.def
"""
import os
import re
import sys

import pefile


def declared_functions(header):
    """The kq_ functions that the header declares (comments left out)."""
    with open(header, encoding="utf-8") as f:
        text = f.read()
    text = re.sub(r"/\*.*?\*/", " ", text, flags=re.S)
    text = re.sub(r"//[^\n]*", " ", text)
    return set(re.findall(r"\b(kq_\w+)\s*\(", text))


def exported_names(dll):
    """The names in the DLL's export table."""
    pe = pefile.PE(dll, fast_load=True)
    pe.parse_data_directories(
        directories=[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_EXPORT"]])
    if not hasattr(pe, "DIRECTORY_ENTRY_EXPORT"):
        return set()
    return {symbol.name.decode("ascii") for symbol in pe.DIRECTORY_ENTRY_EXPORT.symbols
            if symbol.name is not None}


def definition_file(path):
    """The LIBRARY name and the EXPORTS names of a module-definition file."""
    library = None
    names = set()
    in_exports = False
    with open(path, encoding="utf-8") as f:
        for raw in f:
            line = raw.split(";", 1)[0].strip()
            if not line:
                continue
            words = line.split()
            if words[0] == "LIBRARY":
                library = words[1].strip('"') if len(words) > 1 else ""
                in_exports = False
            elif words[0] == "EXPORTS":
                in_exports = True
            elif in_exports:
                names.add(words[0])
    return library, names


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    header, dll, definition = sys.argv[1:]
    failures = []

    declared = declared_functions(header)
    if len(declared) < 10:
        failures.append(f"{header}: only {len(declared)} kq_ functions found: {sorted(declared)}")
    exports = exported_names(dll)
    for name in sorted(declared - exports):
        failures.append(f"{dll}: {name} is not exported under its plain name")
    stray = {name for name in exports if name.startswith("kq_")} - declared
    for name in sorted(stray):
        failures.append(f"{dll}: exports {name}, which the header does not declare")
    for name in sorted(exports):
        if re.match(r"_?kq_\w+@\d+$", name) or name.startswith("_kq_"):
            failures.append(f"{dll}: decorated C name {name}")

    library, listed = definition_file(definition)
    if library != os.path.basename(dll):
        failures.append(f"{definition}: LIBRARY {library!r}, expected {os.path.basename(dll)}")
    if listed != declared:
        failures.append(f"{definition}: lists {sorted(listed)}, expected {sorted(declared)}")

    for failure in failures:
        print("FAIL:", failure)
    if failures:
        return 1
    print(f"{dll}: all {len(declared)} C functions exported by name and listed in {definition}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
