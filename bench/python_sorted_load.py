#!/usr/bin/env python3
"""Loading a sorted array from Python: StringArray(words, sorted=True) beside what a Python
programmer writes without the library, sorted(words, key=str.lower).  Prints both medians, their
spread ((slowest - fastest) / median) and the ratio.

usage: KQSTRINGARRAY_LIBRARY=build/demo/lib/libKQStringArray.so.1 \
         bench/python_sorted_load.py [--words N] [--repetitions R]
Time a Release build of the library (the demo preset's); without KQSTRINGARRAY_LIBRARY the
script takes the library python/conftest.py finds (the Debug build of the test preset first).
"""
import argparse
import os
import random
import statistics
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "python"))
import conftest  # noqa: E402,F401  (points KQSTRINGARRAY_LIBRARY at a native build)
from kqstringarray import StringArray  # noqa: E402


def make_words(count, seed=2026):
    """`count` words of 2-14 letters, mixed case, with repeats, some accented."""
    rng = random.Random(seed)
    letters = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ\u00e9\u00fc\u00df"
    vocabulary = ["".join(rng.choice(letters) for _ in range(rng.randint(2, 14)))
                  for _ in range(count // 2)]
    return [rng.choice(vocabulary) for _ in range(count)]


def timed(call, repetitions):
    times = []
    for _ in range(repetitions):
        start = time.perf_counter()
        result = call()
        times.append(time.perf_counter() - start)
        del result
    median = statistics.median(times)
    return median, (max(times) - min(times)) / median


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--words", type=int, default=270_000)
    parser.add_argument("--repetitions", type=int, default=7)
    args = parser.parse_args()
    words = make_words(args.words)
    library = lambda: StringArray(words, sorted=True)  # noqa: E731
    peer = lambda: sorted(words, key=str.lower)  # noqa: E731
    assert len(library()) == len(peer())
    lib_median, lib_spread = timed(library, args.repetitions)
    peer_median, peer_spread = timed(peer, args.repetitions)
    print(f"StringArray(words, sorted=True), {args.words} words: {lib_median * 1e3:.1f} ms "
          f"(spread {lib_spread:.0%})")
    print(f"sorted(words, key=str.lower): {peer_median * 1e3:.1f} ms (spread {peer_spread:.0%})")
    print(f"ratio: {lib_median / peer_median:.2f} (target <= 3)")


if __name__ == "__main__":
    main()
