#!/usr/bin/env python3
"""Summarises a JSON result file of the benchmark suite as Markdown tables.

    build-release/bin/colorcorrect_bench --benchmark_repetitions=5 \\
        --benchmark_out=result.json --benchmark_out_format=json
    bench/summarize.py result.json

For every case it prints the median and the best pixel rate over the
repetitions (on a busy machine the best run is the one least disturbed by
other programs), and the median rate as a ratio to the reference loop and to
memcpy of the same frame, measured in the same run.
"""

import json
import statistics
import sys
from collections import defaultdict


def main(path):
    with open(path) as f:
        data = json.load(f)
    rates = defaultdict(list)
    labels = {}
    for b in data["benchmarks"]:
        if b.get("run_type") == "aggregate" or "pixels" not in b:
            continue
        name = b["run_name"] if "run_name" in b else b["name"]
        rates[name].append(b["pixels"] / 1e6)
        if b.get("label"):
            labels[name] = b["label"]

    def median(name):
        return statistics.median(rates[name]) if name in rates else None

    print(f"{data['context'].get('date', '')}, {data['context'].get('num_cpus', '?')} CPUs, "
          f"load average {data['context'].get('load_avg', '?')}")
    print()
    print("| case | frame | loop | Mpixel/s median | best | reference | x reference | / memcpy |")
    print("|---|---|---|---:|---:|---:|---:|---:|")
    for name in rates:
        parts = name.split("/")
        if parts[0] != "Process":
            continue
        case, frame = parts[1], "/".join(parts[2:])
        med = median(name)
        ref = median(f"Reference/{case}/{frame}")
        mem = median(f"Memcpy/{frame}")
        cells = [case, frame, labels.get(name, ""), f"{med:.0f}", f"{max(rates[name]):.0f}",
                 f"{ref:.0f}" if ref else "", f"{med / ref:.1f}" if ref else "",
                 f"{med / mem:.2f}" if mem else ""]
        print("| " + " | ".join(cells) + " |")
    others = [n for n in rates if n.split("/")[0] not in ("Process", "Reference")]
    if others:
        print()
        print("| benchmark | Mpixel/s median | best |")
        print("|---|---:|---:|")
        for name in others:
            print(f"| {name} | {median(name):.0f} | {max(rates[name]):.0f} |")


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit("usage: summarize.py RESULT.json")
    main(sys.argv[1])
