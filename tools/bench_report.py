#!/usr/bin/python3
"""Turns the JSON of a kq_bench run into docs/PERFORMANCE.md and docs/performance.png.

Usage: tools/bench_report.py [build/bench/bench.json] [--md docs/PERFORMANCE.md]
                             [--png docs/performance.png] [--no-plot]

Benchmark names are "<workload>/<column>/<N>"; columns starting with "KQ" are this library.
Every figure is the median over the run's repetitions (the "_median" aggregate), as CPU time
per element (the run's "elements" counter), or wall time per element for the workloads in
WALL_TIME (their threads run in a child process, whose time the benchmark process does not
count as its own); ratios are library / peer from the same run.
The spread of a cell is (max - min) / median over the repetitions (the "_min" and "_max"
aggregates that kq_bench adds to every row).  A target counts as met only where the ratio of
the medians meets it and the spread of both columns is at most SPREAD_LIMIT.
Text between the markers <!-- notes --> and <!-- /notes --> of an existing report is kept.

A smoke test of the pipeline (sizes capped, short runs; the report says it is capped):
  KQ_BENCH_MAX_N=1000 build/bench/bin/kq_bench --benchmark_min_time=0.01 \
      --benchmark_repetitions=3 --benchmark_report_aggregates_only=true \
      --benchmark_out=/tmp/smoke.json --benchmark_out_format=json
  tools/bench_report.py /tmp/smoke.json --md /tmp/smoke.md --png /tmp/smoke.png
"""

import argparse
import json
import math
import os
import re
import sys
from collections import defaultdict

SPREAD_LIMIT = 0.25

# Every target, in one table:
# (workload, library column, peer column, sizes or None for every size run, goal on
#  library / peer, text, where it was set)
TARGETS = [
    # Flat array release.
    ("FreeMemoryArray", "KQ", "loop", [10000, 100000], 1.5,
     "<= 1.5 x a loop freeing the same structure", "issue 11"),
    # Order and keys at scale.
    ("SortedBuild", "KQ", "QStringList", [100000, 1000000], 1.5,
     "bulk path <= 1.5 x QStringList append + sort", "issue 12"),
    ("SortedBuild", "KQ", "vector", [100000, 1000000], 1.0,
     "AddRange <= 1.0 x vector push_back + stable_sort", "issue 21"),
    ("FindSorted", "KQ", "vector", [100000, 1000000], 2.0,
     "<= 2 x std::lower_bound", "issue 12"),
    ("FindNoCasePresent", "KQ", "vector", [1000, 10000, 100000, 1000000], 0.25,
     "key scan <= 0.25 x the vector's lowering scan", "issue 12"),
    ("FindNoCaseAbsent", "KQ", "vector", [1000, 10000, 100000, 1000000], 0.25,
     "key scan <= 0.25 x the vector's lowering scan", "issue 12"),
    ("AppendToSorted", "KQ", "vector", [100000], 1.5,
     "<= 1.5 x vector stable_sort of the tail + inplace_merge", "issue 12"),
    # Repeated look-ups on one container.
    ("FindRepeated", "KQ", "flat_hash_map", [10000, 100000, 1000000], 2.0,
     "repeated look-ups <= 2 x a hash map of the lowered texts", "issue 23"),
    ("FindRepeatedSorted", "KQ", "flat_hash_map", [100000, 1000000], 2.0,
     "repeated look-ups in a sorted array <= 2 x a hash map of the lowered texts", "issue 23"),
    # Per-element cost.
    ("AddUnsorted", "KQ", "vector", None, 1.5, "<= 1.5 x vector push_back", "issue 13"),
    ("AddUnsorted", "KQ", "vector", [1000, 10000, 100000], 1.0,
     "Add of copies <= 1.0 x vector push_back of copies (release not timed)", "issue 23"),
    ("CopyOut", "KQ_GetAt", "vector", None, 1.0, "GetAt <= 1.0 x vector copy-out", "issue 13"),
    ("CopyOut", "KQ_Subscript", "QStringList", None, 1.0, "operator[] <= 1.0 x QStringList",
     "issue 13"),
    ("AddSorted", "KQ", "QStringList", [10000], 1.2, "<= 1.2 x QStringList", "issue 13"),
    ("Heap", "KQ", "vector", [100000], 1.05, "<= 1.05 x vector bytes", "issue 13"),
    ("Heap", "KQ_indexed", "vector", [100000], 1.10,
     "after 2,000 look-ups <= 1.10 x vector bytes", "issue 23"),
    # Const iteration without the lock.
    ("ConstRangeFor", "KQ", "QStringList", [100000, 1000000], 1.5,
     "const range-for <= 1.5 x QStringList's", "lock-free reads"),
    ("ConstRangeFor", "KQ", "vector", [100000, 1000000], 2.5,
     "const range-for <= 2.5 x the vector's", "lock-free reads"),
    ("ConcurrentRangeFor", "KQ_2threads", "KQ", [100000, 1000000], 1 / 1.8,
     "2 threads' total rate >= 1.8 x one thread's", "lock-free reads"),
    # Earlier targets that still hold.
    ("AddSorted", "KQ", "vector", [10000, 100000], 0.2, "<= 0.2 x vector insert", "earlier"),
    ("RemoveFront", "KQ", "vector", None, 0.2, "<= 0.2 x vector erase", "earlier"),
    ("Key", "KQ", "lower_libdeflate", [16, 64], 1.2, "<= 1.2 x lower + libdeflate", "earlier"),
    ("Crc", "KQ", "zlib", None, 1.0, "time <= 1.0 x zlib", "earlier"),
    ("Crc", "KQ", "libdeflate", [1024, 4096, 65536], 1 / 0.7, ">= 0.7 x libdeflate speed",
     "earlier"),
]

# What one "element" is, per workload (the default: one element of the container).
UNIT_OF = {
    "Heap": "bytes per element",
    "FindSorted": "ns per look-up",
    "FindRepeated": "ns per look-up",
    "FindRepeatedSorted": "ns per look-up",
    "FirstFind": "ns per element added (N adds, then one look-up)",
    "Crc": "ns per byte",
    "Key": "ns per unit",
    "FindNoCasePresent": "ns per element visited",
    "FindNoCaseAbsent": "ns per element visited",
    "FindExact": "ns per element visited",
    "PtrFind": "ns per element visited",
    "ConcurrentRangeFor": "ns per element, all threads' elements together",
}
# Workloads timed in wall time (they set their iteration times themselves).
WALL_TIME = {"ConcurrentRangeFor"}
X_NAME = {"Crc": "bytes", "Key": "units"}

UNITS = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}


class Cell:
    """The median of one benchmark and its spread over the repetitions."""

    def __init__(self):
        self.median = None
        self.low = None
        self.high = None
        self.repetitions = 1

    @property
    def spread(self):
        if self.repetitions < 2 or None in (self.median, self.low, self.high) or not self.median:
            return None
        return (self.high - self.low) / self.median


def value_of(b, workload):
    if workload == "Heap":
        return b.get("heap_bytes_per_element")
    elements = b.get("elements")
    if not elements:
        return None
    time = b["real_time"] if workload in WALL_TIME else b["cpu_time"]
    return time * UNITS[b["time_unit"]] / elements


def load(path):
    """context, results[workload][column][n] = Cell, skipped names."""
    with open(path, encoding="utf-8") as f:
        data = json.load(f)
    results = defaultdict(lambda: defaultdict(dict))
    skipped = set()
    for b in data["benchmarks"]:
        parts = b["run_name"].split("/")
        if len(parts) < 3:
            continue
        workload, column, n = parts[0], parts[1], int(parts[2])
        if b.get("error_occurred"):
            skipped.add(f"{workload}/{column}: {b.get('error_message', 'skipped')}")
            continue
        cell = results[workload][column].setdefault(n, Cell())
        cell.repetitions = max(cell.repetitions, int(b.get("repetitions", 1)))
        value = value_of(b, workload)
        if b.get("run_type") == "aggregate":
            name = b.get("aggregate_name")
            # the elements counter of the "min"/"max" aggregates is itself the min/max of a
            # constant, so the per-element value stays the time's min/max
            if name == "median":
                cell.median = value
            elif name == "min":
                cell.low = value
            elif name == "max":
                cell.high = value
        elif cell.repetitions == 1:
            cell.median = cell.low = cell.high = value
    # drop cells without a median (a run cut short)
    for workload in list(results):
        for column in list(results[workload]):
            cells = results[workload][column]
            for n in [n for n, c in cells.items() if c.median is None]:
                del cells[n]
            if not cells:
                del results[workload][column]
        if not results[workload]:
            del results[workload]
    return data["context"], results, sorted(skipped)


def cell(results, workload, column, n):
    return results.get(workload, {}).get(column, {}).get(n)


def ratio(results, workload, lib, peer, n):
    a, b = cell(results, workload, lib, n), cell(results, workload, peer, n)
    if a is None or b is None or not b.median:
        return None
    return a.median / b.median


def fmt(value):
    if value is None:
        return "-"
    if value >= 100:
        return f"{value:.0f}"
    if value >= 10:
        return f"{value:.1f}"
    if value >= 0.1:
        return f"{value:.2f}"
    return f"{value:.3g}"


def fmt_spread(spread):
    return "-" if spread is None else f"{100 * spread:.0f}%"


def targets_table(results):
    lines = [
        "| Workload | N | Library | Peer | Library median | Peer median | Ratio | Spread "
        "(library, peer) | Goal | Set in | Met |",
        "|---|---|---|---|---|---|---|---|---|---|---|",
    ]
    met_count = total = 0
    for workload, lib, peer, sizes, goal, text, origin in TARGETS:
        columns = results.get(workload, {})
        goal_text = f"{text} (ratio <= {goal:.2f})"
        if lib not in columns or peer not in columns:
            missing = lib if lib not in columns else peer
            total += len(sizes or [None])
            lines.append(f"| {workload} | {', '.join(map(str, sizes or [])) or 'all'} | {lib} | "
                         f"{peer} | - | - | - | - | {goal_text} | {origin} | "
                         f"**no** ({missing} not run) |")
            continue
        for n in sizes or sorted(set(columns[lib]) | set(columns[peer])):
            total += 1
            a, b = columns[lib].get(n), columns[peer].get(n)
            if a is None or b is None:
                lines.append(f"| {workload} | {n} | {lib} | {peer} | {fmt(a and a.median)} | "
                             f"{fmt(b and b.median)} | - | - | {goal_text} | {origin} | "
                             "**no** (not measured at this N) |")
                continue
            r = a.median / b.median if b.median else None
            spreads = [a.spread, b.spread]
            steady = all(s is not None and s <= SPREAD_LIMIT for s in spreads)
            reached = r is not None and r <= goal
            met = reached and steady
            met_count += met
            if met:
                verdict = "yes"
            elif reached:
                verdict = "**no** (spread)"
            else:
                verdict = "**no**"
            lines.append(f"| {workload} | {n} | {lib} | {peer} | {fmt(a.median)} | "
                         f"{fmt(b.median)} | {fmt(r)} | {fmt_spread(a.spread)}, "
                         f"{fmt_spread(b.spread)} | {goal_text} | {origin} | {verdict} |")
    lines.append("")
    lines.append(f"{met_count} of {total} target cells met in this run (a cell is met when the "
                 f"ratio of the medians meets the goal and both spreads are at most "
                 f"{100 * SPREAD_LIMIT:.0f}%).")
    return "\n".join(lines)


def workload_tables(results):
    out = []
    for workload in sorted(results):
        columns = results[workload]
        libs = sorted(c for c in columns if c.startswith("KQ"))
        peers = sorted(c for c in columns if not c.startswith("KQ"))
        sizes = sorted({n for c in columns.values() for n in c})
        unit = UNIT_OF.get(workload, "ns per element")
        if workload in WALL_TIME:
            unit += " (median wall time)"
        elif workload != "Heap":
            unit += " (median CPU time)"
        header = ([X_NAME.get(workload, "N")] + [f"{c} (spread)" for c in libs + peers]
                  + [f"{l} / {p}" for l in libs for p in peers])
        out.append(f"### {workload}\n\n{unit}\n")
        out.append("| " + " | ".join(header) + " |")
        out.append("|" + "---|" * len(header))
        for n in sizes:
            row = [str(n)]
            for c in libs + peers:
                value = columns[c].get(n)
                row.append("-" if value is None
                           else f"{fmt(value.median)} ({fmt_spread(value.spread)})")
            row += [fmt(ratio(results, workload, l, p, n)) for l in libs for p in peers]
            out.append("| " + " | ".join(row) + " |")
        out.append("")
    return "\n".join(out)


def repetitions_of(results):
    return max((c.repetitions for w in results.values() for col in w.values()
                for c in col.values()), default=1)


def machine_notes(context, results, skipped):
    caches = ", ".join(f"L{c['level']} {c['type']} {c['size'] // 1024} KiB"
                       for c in context.get("caches", []))
    load_avg = ", ".join(f"{x:.2f}" for x in context.get("load_avg", []))
    notes = [
        f"- Run on {context.get('date', '?')}, host `{context.get('host_name', '?')}`: "
        f"{context.get('num_cpus', '?')} CPUs at {context.get('mhz_per_cpu', '?')} MHz"
        + (f"; {caches}." if caches else "."),
        f"- Load average at the start: {load_avg}.  Absolute times on a shared machine are "
        "noisy; medians of interleaved repetitions and ratios taken within the same run are "
        "what this report relies on, and the spread shows how far the repetitions scattered.",
        f"- {repetitions_of(results)} repetitions per benchmark.",
        f"- Peers built into the binary: {context.get('kq_peers', '?')}; start-up checks: "
        f"{context.get('kq_checks', '?')}.",
        f"- Library build type: {context.get('library_build_type', '?')} (this is the "
        "benchmark library's own build; Debian ships it as a debug build, which does not "
        "affect the timed code).",
    ]
    max_n = context.get("kq_max_n")
    if max_n and int(max_n) < 1000000:
        notes.insert(0, f"- **Capped run (KQ_BENCH_MAX_N={max_n})**: sizes above it were not "
                        "run; this is a smoke test of the pipeline, not a report.")
    for line in skipped:
        notes.append(f"- Skipped: {line}.")
    return "\n".join(notes)


def plot(results, png):
    try:
        import matplotlib
    except ImportError:
        sys.exit("matplotlib is missing (apt-get install python3-matplotlib), or pass --no-plot")
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    workloads = [w for w in sorted(results) if w != "Heap"]
    cols = 4
    rows = math.ceil(len(workloads) / cols)
    fig, axes = plt.subplots(rows, cols, figsize=(4.2 * cols, 3.4 * rows), squeeze=False)
    for ax, workload in zip(axes.flat, workloads):
        for column, cells in sorted(results[workload].items()):
            xs = sorted(cells)
            ys = [cells[x].median for x in xs]
            # error bars from the fastest to the slowest repetition
            low = [max(0.0, y - (cells[x].low if cells[x].low is not None else y))
                   for x, y in zip(xs, ys)]
            high = [max(0.0, (cells[x].high if cells[x].high is not None else y) - y)
                    for x, y in zip(xs, ys)]
            style = "-o" if column.startswith("KQ") else "--s"
            ax.errorbar(xs, ys, yerr=[low, high], fmt=style, label=column, markersize=4,
                        capsize=2, linewidth=1)
        ax.set_xscale("log")
        ax.set_yscale("log")
        ax.set_title(workload, fontsize=10)
        ax.set_xlabel(X_NAME.get(workload, "N"), fontsize=8)
        ax.set_ylabel(UNIT_OF.get(workload, "ns per element"), fontsize=8)
        ax.tick_params(labelsize=7)
        ax.grid(True, which="both", alpha=0.3)
        ax.legend(fontsize=6)
    for ax in list(axes.flat)[len(workloads):]:
        ax.axis("off")
    fig.suptitle("kq_bench: median CPU time (log-log), bars from fastest to slowest "
                 "repetition; solid = this library", fontsize=11)
    fig.tight_layout(rect=(0, 0, 1, 0.97))
    fig.savefig(png, dpi=90)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("json", nargs="?", default="build/bench/bench.json")
    parser.add_argument("--md", default="docs/PERFORMANCE.md")
    parser.add_argument("--png", default="docs/performance.png")
    parser.add_argument("--no-plot", action="store_true", help="leave the plot as it is")
    args = parser.parse_args()

    context, results, skipped = load(args.json)
    if not results:
        sys.exit(f"{args.json}: no benchmark results")
    notes = ""
    if os.path.exists(args.md):
        with open(args.md, encoding="utf-8") as f:
            match = re.search(r"<!-- notes -->.*?<!-- /notes -->", f.read(), re.S)
            if match:
                notes = match.group(0)
    if not notes:
        notes = "<!-- notes -->\n(no notes yet)\n<!-- /notes -->"

    png_link = os.path.relpath(args.png, os.path.dirname(os.path.abspath(args.md)) or ".")
    md = "\n".join([
        "# Performance",
        "",
        "Generated by `tools/bench_report.py` from the JSON of `cmake --workflow --preset "
        "bench` (the `bench_suite` test runs `kq_bench` with interleaved repetitions).  Every "
        "figure is the median of the repetitions, as CPU time per element (wall time for "
        f"{', '.join(sorted(WALL_TIME))}); beside it, the "
        "spread: (slowest - fastest) / median over the repetitions.  Every ratio is library / "
        "peer from the same run, so below 1 means the library is faster (or, for Heap, "
        f"smaller).  The plot is [{os.path.basename(args.png)}]({png_link}).",
        "",
        "## Machine",
        "",
        machine_notes(context, results, skipped),
        "",
        "## Targets",
        "",
        targets_table(results),
        "",
        "## Notes",
        "",
        notes,
        "",
        "## All workloads",
        "",
        "Containers are built in a steady-state heap: untimed churn (frees and allocations of "
        "mixed sizes) runs before every timed build and between the elements of every "
        "container that a workload only reads, so items and texts do not lie in allocation "
        "order.  Linear find workloads count every element visit of a full scan per query "
        "(1,000 queries up to N = 10^5, 100 at 10^6), so their figure is the scan cost per "
        "element; FindSorted shows ns per look-up.  FindRepeated and FindRepeatedSorted make "
        "the same 1,000 case-insensitive look-ups (half present with their case scrambled, "
        "half absent) in every iteration on one container that lives through the run, after "
        "200 untimed passes of them, and show ns per look-up; their peer is an "
        "absl::flat_hash_map from the lowered text to its first index, which lowers each query "
        "before it looks it up.  FirstFind builds an unsorted container of N (as AddUnsorted) "
        "and makes one case-insensitive look-up of an absent text, timed together.  "
        "AddUnsorted and FirstFind do not time the container's release.  Sorted add one by "
        "one, the sorted build "
        "(while the library's sorted Append adds one string at a time) and the whole-array "
        "rows run up to N = 10^5; RemoveFront up to 10^4 (quadratic peers).  Heap is measured "
        "once per repetition at N = 10^5 texts of 24 units, everything the container "
        "allocates included; its KQ_indexed column measures the array after 2,000 look-ups "
        "of absent texts.  The range-for rows read every element by const reference and "
        "sum its length and first unit; ConcurrentRangeFor runs that loop on one or two threads "
        "at once (the `_2threads` columns) in a child process, so the benchmark process itself "
        "never has a second thread, and its figure is wall time over all threads' elements: "
        "two threads that scale perfectly show half the figure of one.",
        "",
        workload_tables(results),
        "",
        f"![ns per element against N]({png_link})",
        "",
    ])
    with open(args.md, "w", encoding="utf-8") as f:
        f.write(md)
    if not args.no_plot:
        plot(results, args.png)
    print(f"wrote {args.md}" + ("" if args.no_plot else f" and {args.png}"))


if __name__ == "__main__":
    sys.exit(main())
