#!/usr/bin/env python3
"""Compares the exported interface of built libraries with the baseline kept in abi/.

For every library given, the exported symbols are read from the file itself and compared, by
their mangled names, with <BASELINE_DIR>/<name>.symbols:

- a symbol of the baseline that the library no longer exports is a break: old clients that use
  it no longer load (a changed signature shows as a removed mangled name), and the check fails;
- a symbol the library exports beyond the baseline is an addition, which old clients cannot
  notice: it is listed and the check passes.

Where the symbols come from:
  ELF shared libraries  `nm -D --defined-only`, without the standard library's template
                        instantiations and inline variables (weak or unique symbols in std:: or
                        __gnu_cxx::, emitted where the compiler chose not to inline) and the
                        linker's section markers: what stays is the library's own interface.
  Windows DLLs          the export table (`objdump -p`), which holds exactly what the library
                        marks for export.

Baseline files (<name> is the library's file name up to ".so", or the DLL's name):
  <name>.symbols    the mangled names, sorted, one a line: the list that is compared;
  <name>.demangled  the same names demangled, line for line, for readers of a change.

--update writes both files from the libraries given (when the interface changes on purpose: a
new major version, or additions to be kept as the new floor).

usage: abi_check.py [--update] [--nm NM] [--objdump OBJDUMP] [--cxxfilt CXXFILT]
                    BASELINE_DIR LIBRARY...
"""
import argparse
import os
import re
import subprocess
import sys

# Markers the linker defines in every ELF object: no part of any interface.
ELF_MARKERS = {"_init", "_fini", "_edata", "_end", "__bss_start"}
# nm's letters for weak (V, W, v, w) and unique global (u) symbols.
WEAK_OR_UNIQUE = set("VWvwu")
STANDARD_LIBRARY = ("std::", "__gnu_cxx::")


def demangle(cxxfilt, names):
    """The demangled form of each name, in order."""
    if not names:
        return []
    output = subprocess.run([cxxfilt], input="\n".join(names) + "\n", check=True,
                            capture_output=True, text=True).stdout.splitlines()
    if len(output) != len(names):
        sys.exit(f"{cxxfilt} returned {len(output)} names for {len(names)}")
    return output


def elf_symbols(nm, cxxfilt, library):
    """The library's own dynamic symbols: mangled names."""
    listing = subprocess.run([nm, "-D", "--defined-only", library], check=True,
                             capture_output=True, text=True).stdout
    entries = []
    for line in listing.splitlines():
        fields = line.split()
        if len(fields) < 2:
            continue
        kind, name = fields[-2], fields[-1]
        # A versioned definition (name@VERSION) would come from a version script: none here.
        name = name.split("@", 1)[0]
        if name not in ELF_MARKERS:
            entries.append((kind, name))
    readable = demangle(cxxfilt, [name for _, name in entries])
    return {name for (kind, name), text in zip(entries, readable)
            if not (kind in WEAK_OR_UNIQUE and text.startswith(STANDARD_LIBRARY))}


def pe_exports(objdump, library):
    """The names in the DLL's export table (as objdump -p prints them)."""
    dump = subprocess.run([objdump, "-p", library], check=True, capture_output=True,
                          text=True).stdout
    names = set()
    in_table = False
    for line in dump.splitlines():
        if line.startswith("[Ordinal/Name Pointer] Table"):
            in_table = True
            continue
        if in_table:
            match = re.match(r"\s*\[\s*\d+\]\s+(\S+)", line)
            if not match:
                break
            names.add(match.group(1))
    return names


def baseline_name(library):
    """libKQString.so.1.4.0 -> libKQString.so; KQString.dll -> KQString.dll."""
    name = os.path.basename(library)
    return re.sub(r"(\.so)(\.\d+)*$", r"\1", name)


def read_list(path):
    with open(path, encoding="utf-8") as f:
        return {line.strip() for line in f if line.strip()}


def write_lists(directory, name, symbols, cxxfilt):
    ordered = sorted(symbols)
    os.makedirs(directory, exist_ok=True)
    with open(os.path.join(directory, name + ".symbols"), "w", encoding="utf-8") as f:
        f.writelines(symbol + "\n" for symbol in ordered)
    with open(os.path.join(directory, name + ".demangled"), "w", encoding="utf-8") as f:
        f.writelines(text + "\n" for text in demangle(cxxfilt, ordered))


def main():
    parser = argparse.ArgumentParser(
        description="Compares libraries' exported symbols with a baseline; fails on removals.")
    parser.add_argument("--update", action="store_true",
                        help="write the baseline from the libraries instead of checking")
    parser.add_argument("--nm", default="nm", help="nm for ELF libraries (default: nm)")
    parser.add_argument("--objdump", default="objdump",
                        help="objdump that reads PE files, for DLLs (default: objdump)")
    parser.add_argument("--cxxfilt", default="c++filt", help="demangler (default: c++filt)")
    parser.add_argument("baseline_dir")
    parser.add_argument("libraries", nargs="+")
    args = parser.parse_args()

    failures = 0
    for library in args.libraries:
        name = baseline_name(library)
        if name.lower().endswith(".dll"):
            current = pe_exports(args.objdump, library)
        else:
            current = elf_symbols(args.nm, args.cxxfilt, library)
        if not current:
            print(f"FAIL: {library}: exports nothing")
            failures += 1
            continue
        baseline_file = os.path.join(args.baseline_dir, name + ".symbols")

        if args.update:
            old = read_list(baseline_file) if os.path.exists(baseline_file) else set()
            write_lists(args.baseline_dir, name, current, args.cxxfilt)
            print(f"{baseline_file}: {len(current)} symbols "
                  f"({len(current - old)} added, {len(old - current)} removed)")
            continue

        if not os.path.exists(baseline_file):
            print(f"FAIL: {library}: no baseline {baseline_file} (write one with --update)")
            failures += 1
            continue
        baseline = read_list(baseline_file)
        removed = sorted(baseline - current)
        added = sorted(current - baseline)
        for symbol, text in zip(removed, demangle(args.cxxfilt, removed)):
            print(f"FAIL: {name}: removed {symbol}  [{text}]")
        for symbol, text in zip(added, demangle(args.cxxfilt, added)):
            print(f"{name}: added {symbol}  [{text}]")
        print(f"{name}: {len(baseline)} baseline symbols, {len(removed)} removed, "
              f"{len(added)} added")
        failures += 1 if removed else 0

    if failures:
        print(f"ABI check FAILED for {failures} of {len(args.libraries)} libraries")
        return 1
    if not args.update:
        print(f"ABI check passed: no baseline symbol removed from {len(args.libraries)} libraries")
    return 0


if __name__ == "__main__":
    sys.exit(main())
