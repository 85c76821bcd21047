#!/usr/bin/python3
"""Turns the JSON of a kq_bench run into docs/PERFORMANCE.md and docs/performance.png.

Usage: tools/bench_report.py [build/bench/bench.json] [--md docs/PERFORMANCE.md]
                             [--png docs/performance.png]

Benchmark names are "<workload>/<column>/<N>"; columns starting with "KQ" are this library.
Every figure is the median over the run's repetitions (the "_median" aggregates), as CPU time
per element (the run's "elements" counter); ratios are library / peer from the same run.
Text between the markers <!-- notes --> and <!-- /notes --> of an existing report is kept.
"""

import argparse
import json
import math
import os
import re
import sys
from collections import defaultdict

# (workload, library column, peer column, sizes or None for all, goal on library/peer, text)
TARGETS = [
    ("AddSorted", "KQ", "vector", [10000, 100000], 0.2, "<= 0.2 x std::vector"),
    ("AddSorted", "KQ", "QStringList", [10000, 100000], 1.2, "<= 1.2 x QStringList"),
    ("FindNoCaseAbsent", "KQ", "vector", [1000, 10000], 0.25, ">= 4x faster than std::vector"),
    ("FindNoCaseAbsent", "KQ", "vector", [100000], 1 / 1.5, ">= 1.5x faster than std::vector"),
    ("FindNoCasePresent", "KQ", "vector", [1000, 10000], 0.25, ">= 4x faster than std::vector"),
    ("FindNoCasePresent", "KQ", "vector", [100000], 1 / 1.5, ">= 1.5x faster than std::vector"),
    ("AddUnsorted", "KQ", "vector", None, 1.5, "<= 1.5 x std::vector push_back"),
    ("CopyOut", "KQ_GetAt", "vector", None, 1.5, "GetAt <= 1.5 x std::vector copy-out"),
    ("CopyOut", "KQ_Subscript", "QStringList", None, 1.0, "operator[] <= 1.0 x QStringList"),
    ("RemoveFront", "KQ", "vector", None, 0.2, "<= 0.2 x std::vector"),
    ("Key", "KQ", "lower_libdeflate", [16, 64], 1.2, "<= 1.2 x lower + libdeflate"),
    ("Crc", "KQ", "zlib", None, 1.0, ">= zlib (time <= 1.0 x)"),
    ("Crc", "KQ", "libdeflate", [1024, 4096, 65536], 1 / 0.7, ">= 0.7 x libdeflate"),
    ("Heap", "KQ", "vector", None, 1.2, "<= 1.2 x std::vector bytes"),
]

UNITS = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}


def load(path):
    with open(path, encoding="utf-8") as f:
        data = json.load(f)
    # results[workload][column][n] = value (ns per element, or bytes per element for Heap)
    results = defaultdict(lambda: defaultdict(dict))
    for b in data["benchmarks"]:
        if b.get("run_type") == "aggregate" and b.get("aggregate_name") != "median":
            continue
        if b.get("run_type") == "iteration" and b.get("repetitions", 1) > 1:
            continue  # only medians when repetitions were made
        parts = b["run_name"].split("/")
        if len(parts) < 3:
            continue
        workload, column, n = parts[0], parts[1], int(parts[2])
        if workload == "Heap":
            value = b["heap_bytes_per_element"]
        else:
            value = b["cpu_time"] * UNITS[b["time_unit"]] / b["elements"]
        results[workload][column][n] = value
    return data["context"], results


def ratio(results, workload, lib, peer, n):
    try:
        return results[workload][lib][n] / results[workload][peer][n]
    except (KeyError, ZeroDivisionError):
        return None


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


def targets_table(results):
    lines = [
        "| Workload | N | Library | Peer | Ratio (library / peer) | Goal | Met |",
        "|---|---|---|---|---|---|---|",
    ]
    met_count = total = 0
    for workload, lib, peer, sizes, goal, text in TARGETS:
        if peer not in results.get(workload, {}):
            lines.append(f"| {workload} | - | {lib} | {peer} | peer not built | {text} | - |")
            continue
        for n in sizes or sorted(results[workload][lib]):
            r = ratio(results, workload, lib, peer, n)
            if r is None:
                continue
            met = r <= goal
            total += 1
            met_count += met
            lines.append(f"| {workload} | {n} | {lib} | {peer} | {r:.2f} | {text} "
                         f"(ratio <= {goal:.2f}) | {'yes' if met else '**no**'} |")
    lines.append("")
    lines.append(f"{met_count} of {total} target cells met in this run.")
    return "\n".join(lines)


def workload_tables(results):
    out = []
    for workload in sorted(results):
        columns = results[workload]
        libs = sorted(c for c in columns if c.startswith("KQ"))
        peers = sorted(c for c in columns if not c.startswith("KQ"))
        sizes = sorted({n for c in columns.values() for n in c})
        unit = "bytes per element" if workload == "Heap" else "ns per element (median CPU time)"
        xname = "bytes" if workload == "Crc" else ("units" if workload == "Key" else "N")
        header = [xname] + libs + peers + [f"{l} / {p}" for l in libs for p in peers]
        out.append(f"### {workload}\n\n{unit}\n")
        out.append("| " + " | ".join(header) + " |")
        out.append("|" + "---|" * len(header))
        for n in sizes:
            row = [str(n)]
            row += [fmt(columns[c].get(n)) for c in libs + peers]
            row += [fmt(ratio(results, workload, l, p, n)) for l in libs for p in peers]
            out.append("| " + " | ".join(row) + " |")
        out.append("")
    return "\n".join(out)


def machine_notes(context):
    caches = ", ".join(f"L{c['level']} {c['type']} {c['size'] // 1024} KiB"
                       for c in context.get("caches", []))
    load_avg = ", ".join(f"{x:.2f}" for x in context.get("load_avg", []))
    return "\n".join([
        f"- Run on {context.get('date', '?')}, host `{context.get('host_name', '?')}`: "
        f"{context.get('num_cpus', '?')} CPUs at {context.get('mhz_per_cpu', '?')} MHz; {caches}.",
        f"- Load average at the start: {load_avg}.  The machine's two cores were shared with "
        "other developers' builds and tests during the run, so absolute times are noisy; "
        "medians of interleaved repetitions and ratios taken within the same run are what "
        "this report relies on.",
        f"- Peers built into the binary: {context.get('kq_peers', '?')}; start-up checks: "
        f"{context.get('kq_checks', '?')}.",
        f"- Library build type: {context.get('library_build_type', '?')} (this is the "
        "benchmark library's own build; Debian ships it as a debug build, which does not "
        "affect the timed code).",
    ])


def plot(results, png):
    import matplotlib

    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    workloads = [w for w in sorted(results) if w != "Heap"]
    cols = 4
    rows = math.ceil(len(workloads) / cols)
    fig, axes = plt.subplots(rows, cols, figsize=(4.2 * cols, 3.4 * rows))
    for ax, workload in zip(axes.flat, workloads):
        for column, values in sorted(results[workload].items()):
            xs = sorted(values)
            style = "-o" if column.startswith("KQ") else "--s"
            ax.loglog(xs, [values[x] for x in xs], style, label=column, markersize=4)
        ax.set_title(workload, fontsize=10)
        ax.set_xlabel("bytes" if workload == "Crc" else "units" if workload == "Key" else "N",
                      fontsize=8)
        ax.set_ylabel("ns per element", fontsize=8)
        ax.tick_params(labelsize=7)
        ax.grid(True, which="both", alpha=0.3)
        ax.legend(fontsize=6)
    for ax in list(axes.flat)[len(workloads):]:
        ax.axis("off")
    fig.suptitle("kq_bench: median CPU time per element (log-log); solid = this library",
                 fontsize=11)
    fig.tight_layout()
    fig.savefig(png, dpi=90)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("json", nargs="?", default="build/bench/bench.json")
    parser.add_argument("--md", default="docs/PERFORMANCE.md")
    parser.add_argument("--png", default="docs/performance.png")
    args = parser.parse_args()

    context, results = load(args.json)
    notes = ""
    if os.path.exists(args.md):
        with open(args.md, encoding="utf-8") as f:
            match = re.search(r"<!-- notes -->.*?<!-- /notes -->", f.read(), re.S)
            if match:
                notes = match.group(0)
    if not notes:
        notes = "<!-- notes -->\n(no notes yet)\n<!-- /notes -->"

    md = "\n".join([
        "# Performance",
        "",
        "Generated by `tools/bench_report.py` from the JSON of `cmake --workflow --preset "
        "bench` (the `bench_suite` test runs `kq_bench` with interleaved repetitions).  Every "
        "figure is the median of the repetitions, as CPU time per element; every ratio is "
        "library / peer from the same run, so below 1 means the library is faster (or, for "
        "Heap, smaller).  The plot is [performance.png](performance.png).",
        "",
        "## Machine",
        "",
        machine_notes(context),
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
        "Find workloads count every element visit of a full scan per query (1,000 queries), "
        "so their ns per element is the scan cost per element.  RemoveFront runs only up to "
        "N = 10,000 (the peers are quadratic).  Heap is measured once per repetition at "
        "N = 100,000 texts of 24 units.",
        "",
        workload_tables(results),
        "",
        "![ns per element against N](performance.png)",
        "",
    ])
    with open(args.md, "w", encoding="utf-8") as f:
        f.write(md)
    plot(results, args.png)
    print(f"wrote {args.md} and {args.png}")


if __name__ == "__main__":
    sys.exit(main())
