#!/usr/bin/env python3
"""Runs tools/abi_check.py on the built libraries against altered copies of the baseline.

Each case edits the baseline of the first library, runs the checker and compares its exit
status and output with what the case expects: a symbol the build lacks (removed, or its
signature changed) fails, a symbol the baseline lacks (added) passes and is named, a missing
baseline fails.

usage: check_abi_check.py ABI_CHECK BASELINE_DIR WORK_DIR --nm NM | --objdump OBJDUMP LIBRARY...
"""
import os
import shutil
import subprocess
import sys


def removed_member(symbols):
    """A member the library never had, as if it had been removed."""
    return symbols + ["_ZN14CKQStringArray13RemovedMemberEv"]


def changed_signature(symbols):
    """An existing member under another parameter list: GetAt(unsigned long) for GetAt(unsigned)."""
    return [s.replace("5GetAtEj", "5GetAtEm") if "5GetAtEj" in s else s for s in symbols]


def added_member(symbols):
    """The baseline without one member the library exports: an addition in the build."""
    return [s for s in symbols if "kq_string_array_new" not in s]


def no_baseline(symbols):
    return None


# name, baseline edit, expected exit status, text the output must contain
CASES = [
    ("unchanged", lambda symbols: symbols, 0, "0 removed, 0 added"),
    ("removed member", removed_member, 1, "removed _ZN14CKQStringArray13RemovedMemberEv"),
    ("changed signature", changed_signature, 1, "5GetAtEm"),
    ("added member", added_member, 0, "added kq_string_array_new"),
    ("missing baseline", no_baseline, 1, "no baseline"),
]


def main():
    if len(sys.argv) < 7 or sys.argv[4] not in ("--nm", "--objdump"):
        sys.exit(__doc__)
    checker, baseline_dir, work_dir = sys.argv[1:4]
    tool = sys.argv[4:6]
    libraries = sys.argv[6:]
    name = os.path.basename(libraries[0])
    name = name.split(".so")[0] + ".so" if ".so" in name else name
    with open(os.path.join(baseline_dir, name + ".symbols"), encoding="utf-8") as f:
        symbols = f.read().split()

    failures = 0
    for case, edit, expected_status, expected_text in CASES:
        directory = os.path.join(work_dir, case.replace(" ", "-"))
        shutil.rmtree(directory, ignore_errors=True)
        shutil.copytree(baseline_dir, directory)
        edited = edit(list(symbols))
        target = os.path.join(directory, name + ".symbols")
        if edited is None:
            os.remove(target)
        else:
            if edited == symbols and case != "unchanged":
                sys.exit(f"case '{case}' did not change the baseline of {name}")
            with open(target, "w", encoding="utf-8") as f:
                f.writelines(symbol + "\n" for symbol in sorted(edited))
        run = subprocess.run([sys.executable, checker, *tool, directory, *libraries],
                             capture_output=True, text=True)
        ok = run.returncode == expected_status and expected_text in run.stdout
        print(f"{'ok    ' if ok else 'FAILED'} {case}: exit {run.returncode}")
        if not ok:
            print(f"  expected exit {expected_status} and '{expected_text}'; output:")
            print(run.stdout + run.stderr)
            failures += 1
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
