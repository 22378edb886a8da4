#!/usr/bin/env python3
"""Combines the suite's Google Benchmark JSON and the Python peer's JSON into
one table: VELMORIN's time per call at each size, its ratio to the floor, and
how many times faster it is than the byte-at-a-time and the Python peers,
beside the goals. Figures only: the exit status does not depend on them.

usage: report.py NATIVE.json PYTHON.json [--json OUT.json]
"""
import argparse
import json
import os
import re

SIZES = [15, 4 << 10, 1 << 20, 64 << 20]
SIZE_NAMES = {15: "15 B", 4 << 10: "4 KiB", 1 << 20: "1 MiB", 64 << 20: "64 MiB"}

# Highest ratio to the floor, lowest speed-ups over the peers, by size.
FLOOR_GOALS = {15: 2.0, 4 << 10: 1.5, 1 << 20: 1.2, 64 << 20: 1.2}
BYTE_PEER_GOALS = {1 << 20: 3.0}
PYTHON_GOALS = {64 << 20: 100.0}


def native_figures(path):
    """{(contestant, size): {"cpu": ns, "real": ns, "cv": fraction, "repetitions": n}}"""
    with open(path) as f:
        data = json.load(f)
    unit = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}
    figures = {}
    for b in data["benchmarks"]:
        m = re.match(r"Measure/(\w+)/bytes:(\d+)", b["name"])
        if not m or b.get("run_type") != "aggregate":
            continue
        key = (m.group(1), int(m.group(2)))
        entry = figures.setdefault(key, {})
        scale = unit[b.get("time_unit", "ns")]
        if b["aggregate_name"] == "median":
            entry.update(cpu=b["cpu_time"] * scale, real=b["real_time"] * scale,
                         repetitions=b.get("repetitions"))
        elif b["aggregate_name"] == "cv":
            entry["cv"] = b["cpu_time"]
    return data.get("context", {}), figures


def python_figures(path):
    with open(path) as f:
        data = json.load(f)
    return data.get("context", {}), {b["bytes"]: {"cpu": b["cpu_time_ns"], "real": b["real_time_ns"],
                                                  "cv": b["cv"], "repetitions": b["repetitions"]}
                                     for b in data["benchmarks"]}


def duration(ns):
    for unit, scale in (("s", 1e9), ("ms", 1e6), ("us", 1e3)):
        if ns >= scale:
            return f"{ns / scale:.3g} {unit}"
    return f"{ns:.3g} ns"


def cpu_model():
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                if line.startswith("model name"):
                    return line.split(":", 1)[1].strip()
    except OSError:
        pass
    return "unknown"


def verdict(value, goal, at_most):
    if goal is None:
        return ""
    met = value <= goal if at_most else value >= goal
    return f"{'<=' if at_most else '>='}{goal:g} {'met' if met else 'MISSED'}"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("native")
    parser.add_argument("python")
    parser.add_argument("--json", help="also write the table and the context here")
    args = parser.parse_args()

    context, native = native_figures(args.native)
    py_context, python = python_figures(args.python)

    rows = []
    for size in SIZES:
        ours = native.get(("velmorin", size))
        floor = native.get(("floor", size))
        peer = native.get(("byte_at_a_time", size))
        py = python.get(size)
        if not ours or not floor:
            continue
        rows.append({
            "bytes": size,
            "velmorin_ns": ours["cpu"], "velmorin_cv": ours.get("cv"),
            "floor_ns": floor["cpu"], "floor_cv": floor.get("cv"),
            "ratio_to_floor": ours["cpu"] / floor["cpu"],
            "byte_at_a_time_ns": peer["cpu"] if peer else None,
            "faster_than_byte_at_a_time": peer["cpu"] / ours["cpu"] if peer else None,
            "python_ns": py["cpu"] if py else None,
            "faster_than_python": py["cpu"] / ours["cpu"] if py else None,
        })

    load = context.get("load_avg") or []
    print(f"machine: {os.cpu_count()} processors (nproc), {cpu_model()}; "
          f"load average at the start {' '.join(f'{x:.2f}' for x in load)}")
    print(f"capitalising copy in use: {context.get('capitalising_copy', 'unknown')}; "
          f"Python {py_context.get('python', '?')}")
    repetitions = sorted({v.get("repetitions") for v in native.values() if v.get("repetitions")})
    print(f"median process CPU time per call (the caller's release of the result included), "
          f"{'/'.join(map(str, repetitions))} repetitions in random order\n")

    header = (f"{'size':>7} {'VELMORIN':>10} {'cv':>5} {'floor':>10} {'cv':>5} {'ratio':>6} {'goal':<10}"
              f" {'byte peer':>10} {'faster':>7} {'goal':<8} {'Python':>10} {'faster':>7} {'goal':<10}")
    print(header)
    print("-" * len(header))
    for r in rows:
        size = r["bytes"]
        peer = r["faster_than_byte_at_a_time"]
        py = r["faster_than_python"]
        print(f"{SIZE_NAMES[size]:>7} {duration(r['velmorin_ns']):>10} {100 * (r['velmorin_cv'] or 0):4.1f}%"
              f" {duration(r['floor_ns']):>10} {100 * (r['floor_cv'] or 0):4.1f}%"
              f" {r['ratio_to_floor']:6.2f} {verdict(r['ratio_to_floor'], FLOOR_GOALS.get(size), True):<10}"
              f" {duration(r['byte_at_a_time_ns']) if peer else '-':>10} {f'{peer:.1f}x' if peer else '-':>7}"
              f" {verdict(peer, BYTE_PEER_GOALS.get(size), False) if peer else '':<8}"
              f" {duration(r['python_ns']) if py else '-':>10} {f'{py:.0f}x' if py else '-':>7}"
              f" {verdict(py, PYTHON_GOALS.get(size), False) if py else '':<10}")

    if args.json:
        with open(args.json, "w") as f:
            json.dump({"machine": {"nproc": os.cpu_count(), "cpu_model": cpu_model()},
                       "context": context, "python_context": py_context, "rows": rows}, f, indent=2)
        print(f"\nwritten: {args.json}")


if __name__ == "__main__":
    main()
