#!/usr/bin/env python3
"""Reads the figures that scripts/bench.sh leaves in one folder and prints
them as tables: VELMORIN's ratio to the floor for each copy (SSE2, AVX2,
AVX-512) on each target (the native build, and the win64 and win32 DLLs
under Wine, over several processes), where a forced narrower copy is set
against a floor that copies no wider than it; VELMORIN's memory throughput
at 64 MiB beside a plain copy's; its speed-up over the byte-at-a-time peer;
and the native figures in full beside the Python peer. Every verdict carries the spread of
the repetitions and the load of the machine it was measured under. Figures
only: the exit status does not depend on them.

usage: report.py RESULTS_DIR [--json OUT.json]
"""
import argparse
import json
import math
import os
import re

SIZES = [15, 4 << 10, 1 << 20, 64 << 20]
SIZE_NAMES = {15: "15 B", 4 << 10: "4 KiB", 1 << 20: "1 MiB", 64 << 20: "64 MiB"}
PATHS = ["sse2", "avx2", "avx512"]
PATH_NAMES = {"sse2": "SSE2", "avx2": "AVX2", "avx512": "AVX-512"}
TARGETS = ["native", "win64", "win32"]
TARGET_NAMES = {"native": "linux (native)", "win64": "win64 (Wine)", "win32": "win32 (Wine)"}

# Highest ratio to the floor for the copy the processor takes, by size; a
# forced narrower copy against its same-width floor; the largest spread at
# 64 MiB; lowest speed-ups over the peers and share of a plain copy's
# memory throughput.
FLOOR_GOALS = {15: 1.0, 4 << 10: 1.0, 1 << 20: 0.9, 64 << 20: 0.85}
NARROWER_GOALS = {4 << 10: 1.1, 1 << 20: 1.1}
LARGEST_SPREAD = 0.10
THROUGHPUT_GOAL = 0.80
BYTE_PEER_GOALS = {1 << 20: 3.0}
PYTHON_GOALS = {64 << 20: 100.0}

DEBUG_NOTE = (
    "Google Benchmark's \"Library was built as DEBUG\" (in native-*.txt) is about the benchmark\n"
    "library itself: Debian builds libbenchmark without NDEBUG. It does not time anything of its\n"
    "own inside the measured loop; the code under test is built {build} (the bench preset).")


def read_json(path):
    try:
        with open(path) as f:
            return json.load(f)
    except (OSError, ValueError):
        return None


def suite_figures(data):
    """{(contestant, size): {"cpu": ns, "real": ns, "cv": fraction, "repetitions": n}}"""
    unit = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}
    figures = {}
    for b in data["benchmarks"]:
        m = re.match(r"Measure/(\w+)/bytes:(\d+)", b["name"])
        if not m or b.get("run_type") != "aggregate":
            continue
        entry = figures.setdefault((m.group(1), int(m.group(2))), {})
        scale = unit[b.get("time_unit", "ns")]
        if b["aggregate_name"] == "median":
            entry.update(cpu=b["cpu_time"] * scale, real=b["real_time"] * scale, repetitions=b.get("repetitions"))
            if "faults" in b:
                entry["faults"] = b["faults"]
            if "kernel_s" in b:
                entry["kernel"] = b["kernel_s"] * 1e9
        elif b["aggregate_name"] == "cv":
            entry["cv"] = b["cpu_time"]
    return figures


def faults(entry):
    return f"{entry['faults']:.0f}" if "faults" in entry else "-"


def kernel_share(entry):
    return f"{100 * entry['kernel'] / entry['cpu']:.0f}%" if "kernel" in entry and entry["cpu"] else "-"


def read_load(path):
    """(before, after): the 1-minute load averages around one run."""
    loads = {}
    try:
        with open(path) as f:
            for line in f:
                word, *values = line.split()
                loads[word] = float(values[0])
    except (OSError, ValueError, IndexError):
        pass
    return loads.get("before"), loads.get("after")


def read_text(path):
    try:
        with open(path) as f:
            return f.read().strip()
    except OSError:
        return None


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


def cpu_flags():
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                if line.startswith("flags"):
                    return set(line.split(":", 1)[1].split())
    except OSError:
        pass
    return set()


def spread_of_ratio(ratio, cv_a, cv_b):
    """The ratio's spread from the two contestants' coefficients of variation."""
    return ratio * math.hypot(cv_a or 0.0, cv_b or 0.0)


def verdict(value, spread, goal, at_most, load):
    """'met' or 'missed' only where the spread cannot turn it; 'unclear'
    where it can. A verdict other than 'met' names the load it ran under."""
    if goal is None:
        return ""
    met = value <= goal if at_most else value >= goal
    if met:
        return "met"
    clear = value - spread > goal if at_most else value + spread < goal
    word = "missed" if clear else "unclear"
    return f"{word} (load {load_text(load)})"


def load_text(load):
    before, after = load
    if before is None:
        return "?"
    return f"{before:.1f}" if after is None else f"{before:.1f}-{after:.1f}"


def beside(run, other, size):
    """VELMORIN's figures and another benchmark's at one size, from one run; None where missing."""
    if not run:
        return None, None
    return run["figures"].get(("velmorin", size)), run["figures"].get((other, size))


def median(values):
    values = sorted(values)
    n = len(values)
    return values[n // 2] if n % 2 else (values[n // 2 - 1] + values[n // 2]) / 2


def ratio_over_processes(run, ours_name, other, size, invert=False):
    """The median over the run's processes of one contestant's time over
    another's (or its inverse), with the spread within a process (the median
    of the processes' spreads from their repetitions) and the lowest and
    highest process; None where a figure is missing."""
    ratios, spreads = [], []
    for figures in run["processes"]:
        ours, theirs = figures.get((ours_name, size)), figures.get((other, size))
        if not ours or not theirs:
            continue
        r = theirs["cpu"] / ours["cpu"] if invert else ours["cpu"] / theirs["cpu"]
        ratios.append(r)
        spreads.append(spread_of_ratio(r, ours.get("cv"), theirs.get("cv")))
    if not ratios:
        return None
    return {"ratio": median(ratios), "within": median(spreads), "low": min(ratios), "high": max(ratios),
            "processes": len(ratios)}


def ratio_text(r):
    text = f"{r['ratio']:4.2f}±{r['within']:4.2f}"
    if r["processes"] > 1:
        text += f" [{r['low']:.2f}-{r['high']:.2f}]"
    return text


def ratio_spread(r):
    """What could turn a verdict: the larger of the spread within a process
    and half the range between processes."""
    return max(r["within"], (r["high"] - r["low"]) / 2)


def print_allocator_share(runs, widest, rows):
    """What the allocator alone takes of the floor's time at the sizes where
    its fresh pages count: the lowest ratio that any implementation making the
    contract's two allocations could reach, and VELMORIN's ratio over the
    floor for the work on the bytes alone. Medians over the processes."""
    lines = []
    for target in TARGETS:
        run = runs.get((target, widest))
        for size in SIZES[2:]:
            bound, work = [], []
            for figures in run["processes"] if run else []:
                ours, floor, alone = (figures.get((name, size)) for name in ("velmorin", "floor", "allocations"))
                if not (ours and floor and alone):
                    continue
                bound.append(alone["cpu"] / floor["cpu"])
                if floor["cpu"] > alone["cpu"]:
                    work.append((ours["cpu"] - alone["cpu"]) / (floor["cpu"] - alone["cpu"]))
            if not bound:
                continue
            between = f" [{min(bound):.2f}-{max(bound):.2f}]" if len(bound) > 1 else ""
            work_text = f"{median(work):.2f}" if work else "-"
            alone = run["figures"].get(("allocations", size), {})
            fault_text = f", {faults(alone)} faults" if "faults" in alone else ""
            lines.append(f"  {TARGET_NAMES[target]:<16} {SIZE_NAMES[size]:>6}  allocations alone {duration(alone.get('cpu', 0)):>9}"
                         f" ({kernel_share(alone)} in the kernel{fault_text}): {median(bound):.2f}{between} of the floor;"
                         f" the bytes' work {work_text} of the floor's")
            for r in rows:
                if (r["target"], r["copy"], r["bytes"]) == (target, widest, size):
                    r["allocations_share_of_floor"] = median(bound)
                    r["work_ratio_to_floor"] = median(work) if work else None
    if lines:
        print(f"\nThe allocator's share, {PATH_NAMES[widest]} copy: the contract's two allocations and one release alone\n"
              "(no byte copied) over the floor's time, the lowest ratio any implementation could reach on this\n"
              "allocator; and VELMORIN's time over the floor's with that share taken out of both:")
        print("\n".join(lines))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("results")
    parser.add_argument("--json", help="also write the table and the context here")
    args = parser.parse_args()
    folder = args.results

    # (target, path) -> {"figures" (the first process's), "processes", "context", "load"};
    # a run under Wine is one file per process, TARGET-PATH-N.json.
    runs = {}
    for target in TARGETS:
        for path in PATHS:
            names = [f"{target}-{path}.json"] + [f"{target}-{path}-{n}.json" for n in range(1, 100)]
            found = [d for d in (read_json(os.path.join(folder, name)) for name in names) if d is not None]
            if not found:
                continue
            processes = [suite_figures(d) for d in found]
            runs[(target, path)] = {"figures": processes[0], "processes": processes,
                                    "context": found[0].get("context", {}),
                                    "load": read_load(os.path.join(folder, f"load-{target}-{path}.txt"))}
    paths = [p for p in PATHS if any((t, p) in runs for t in TARGETS)]
    statuses = {t: read_text(os.path.join(folder, f"{t}-status.txt")) for t in TARGETS}

    flags = cpu_flags()
    has = lambda *names: "yes" if all(n in flags for n in names) else "no"
    all_loads = [x for r in runs.values() for x in r["load"] if x is not None]
    print(f"machine: {os.cpu_count()} processors (nproc), {cpu_model()}; avx2 {has('avx2')}, "
          f"avx512f+bw {has('avx512f', 'avx512bw')}")
    if all_loads:
        print(f"load average (1 min) during the runs: {min(all_loads):.2f} to {max(all_loads):.2f}")
    native_context = next((r["context"] for (t, _), r in runs.items() if t == "native"), {})
    if native_context.get("library_build_type") == "debug":
        print(DEBUG_NOTE.format(build=native_context.get("velmorin_build_type", "release").capitalize()))
    print()

    rows = []
    widest = next((p for p in reversed(PATHS) if p == "sse2" or (p == "avx2" and has("avx2") == "yes")
                   or (p == "avx512" and has("avx512f", "avx512bw") == "yes")), "sse2")
    print("Ratio to the floor: median time per call (the caller's release of the result included)\n"
          "over VELMORIN's floor: two allocations from the same allocator, two copies, one release.\n"
          f"The copy this processor takes ({PATH_NAMES[widest]}) against the floor whose copy is memcpy;\n"
          "each forced narrower copy against a floor that copies with vectors of its own width.\n"
          "± is the spread within a process, from the repetitions' coefficients of variation; under\n"
          "Wine the figure is the median over processes and [low-high] the processes' range. Native:\n"
          "process CPU time on the stand-in's allocator; Wine: thread CPU time on oleaut32's.\n")
    header = f"{'copy':<8} {'size':>6} {'goal':>6}  " + "  ".join(f"{TARGET_NAMES[t]:<38}" for t in TARGETS)
    print(header)
    print("-" * len(header))
    for path in paths:
        narrower = path != widest
        goals = NARROWER_GOALS if narrower else FLOOR_GOALS
        floor_name = "floor_same_width" if narrower else "floor"
        for size in SIZES:
            cells = []
            goal = goals.get(size)
            for target in TARGETS:
                run = runs.get((target, path))
                r = ratio_over_processes(run, "velmorin", floor_name, size) if run else None
                marked = ""
                if r is None and narrower and run:
                    # Figures from before the same-width floor: against memcpy's, marked.
                    r, marked = ratio_over_processes(run, "velmorin", "floor", size), "*"
                if r is None:
                    cells.append("-" if run or not statuses[target] else "not measured")
                    continue
                spread = ratio_spread(r)
                v = verdict(r["ratio"], spread, goal, True, run["load"])
                ours = run["figures"].get(("velmorin", size), {})
                if size == SIZES[-1] and not narrower and goal is not None:
                    # At the largest size the goal holds the time's own spread as well.
                    cv = ours.get("cv") or 0.0
                    if cv >= LARGEST_SPREAD:
                        # Beside it a plain copy's spread in the same run: one that varies as
                        # much is the machine's memory throughput varying, not the call.
                        plain = (run["figures"].get(("streaming_copy", size)) or {}).get("cv")
                        beside_plain = f", plain copy's {100 * plain:.0f}%" if plain is not None else ""
                        v = f"spread {100 * cv:.0f}%{beside_plain} (load {load_text(run['load'])})"
                cells.append(f"{ratio_text(r)}{marked} {v}")
                rows.append({"target": target, "copy": path, "bytes": size,
                             "floor": "floor (memcpy)" if marked else floor_name,
                             "velmorin_ns": ours.get("cpu"), "velmorin_cv": ours.get("cv"),
                             "ratio_to_floor": r["ratio"], "spread": spread, "processes": r["processes"],
                             "lowest_process": r["low"], "highest_process": r["high"], "goal": goal,
                             "verdict": v, "load": run["load"]})
            goal_text = "<=" + format(goal, "g") if goal is not None else ""
            print(f"{PATH_NAMES[path]:<8} {SIZE_NAMES[size]:>6} {goal_text:>6}  "
                  + "  ".join(f"{c:<38}" for c in cells))
    if any("plain copy's" in r["verdict"] for r in rows):
        print(f"spread past {LARGEST_SPREAD:.0%} at {SIZE_NAMES[SIZES[-1]]}: beside it, the spread of a plain copy "
              "into a fresh string in the same run")
    if any(r["floor"] == "floor (memcpy)" for r in rows):
        print("* against the floor whose copy is memcpy: these figures have no same-width floor")
    for target in TARGETS:
        if statuses[target]:
            print(f"{TARGET_NAMES[target]}: {statuses[target]}")

    size = SIZES[-1]
    print(f"\nMemory throughput at {SIZE_NAMES[size]}, {PATH_NAMES[widest]} copy: VELMORIN moving 3N bytes a call "
          f"(reads the text once,\nwrites both strings) against a plain copy into a fresh string of the same "
          f"allocator (2N), in the same run\n(goal >={THROUGHPUT_GOAL:.0%}):")
    for target in TARGETS:
        run = runs.get((target, widest))
        shares, ceilings = [], []
        for figures in run["processes"] if run else []:
            ours, plain = figures.get(("velmorin", size)), figures.get(("streaming_copy", size))
            if ours and plain:
                shares.append((3 * size / ours["cpu"], 2 * size / plain["cpu"]))
                # A call that took no longer than its two allocations alone.
                if ("allocations", size) in figures:
                    ceilings.append(1.5 * plain["cpu"] / figures[("allocations", size)]["cpu"])
        if not shares:
            continue
        share = median([a / b for a, b in shares])
        low, high = min(a / b for a, b in shares), max(a / b for a, b in shares)
        v = "met" if share >= THROUGHPUT_GOAL else f"missed (load {load_text(run['load'])})"
        between = f" [{low:.0%}-{high:.0%} over {len(shares)} processes]" if len(shares) > 1 else ""
        ceiling = f"; the two allocations alone allow {median(ceilings):.0%}" if ceilings and median(ceilings) < 1 else ""
        print(f"  {TARGET_NAMES[target]:<16} VELMORIN {median([a for a, _ in shares]):5.1f} GB/s, plain copy "
              f"{median([b for _, b in shares]):5.1f} GB/s: {share:.0%}{between} {v}{ceiling}")

    print_allocator_share(runs, widest, rows)

    size = 1 << 20
    print(f"\nFaster than the byte-at-a-time peer at {SIZE_NAMES[size]} (goal >={BYTE_PEER_GOALS[size]:g}x):")
    for path in paths:
        cells = []
        for target in TARGETS:
            run = runs.get((target, path))
            ours, peer = beside(run, "byte_at_a_time", size)
            if not ours or not peer:
                cells.append("-")
                continue
            speedup = peer["cpu"] / ours["cpu"]
            spread = spread_of_ratio(speedup, ours.get("cv"), peer.get("cv"))
            v = verdict(speedup, spread, BYTE_PEER_GOALS[size], False, run["load"])
            cells.append(f"{speedup:.1f}x±{spread:.1f} {v}")
            for r in rows:
                if (r["target"], r["copy"], r["bytes"]) == (target, path, size):
                    r["faster_than_byte_at_a_time"] = speedup
        print(f"  {PATH_NAMES[path]:<8} " + "  ".join(f"{TARGET_NAMES[t]} {c:<22}" for t, c in zip(TARGETS, cells)))

    python = read_json(os.path.join(folder, "python.json"))
    if ("native", widest) in runs:
        run = runs[("native", widest)]
        native = run["figures"]
        py = {b["bytes"]: b for b in python["benchmarks"]} if python else {}
        print(f"\nThe native build in full, {PATH_NAMES[widest]} copy "
              f"({run['context'].get('capitalising_copy', '?')}), load {load_text(run['load'])}; "
              f"Python {python.get('context', {}).get('python', '?') if python else 'not run'}:")
        header = (f"{'size':>7} {'VELMORIN':>10} {'cv':>5} {'faults':>6} {'kernel':>6} {'floor':>10} {'cv':>5}"
                  f" {'faults':>6} {'kernel':>6} {'byte peer':>10} {'Python':>10} {'faster':>7} {'goal':<10}")
        print(header)
        print("-" * len(header))
        for size in SIZES:
            ours, floor = native.get(("velmorin", size)), native.get(("floor", size))
            peer, p = native.get(("byte_at_a_time", size)), py.get(size)
            if not ours or not floor:
                continue
            faster = p["cpu_time_ns"] / ours["cpu"] if p else None
            spread = spread_of_ratio(faster, ours.get("cv"), p.get("cv")) if p else 0
            v = verdict(faster, spread, PYTHON_GOALS.get(size), False, run["load"]) if p else ""
            print(f"{SIZE_NAMES[size]:>7} {duration(ours['cpu']):>10} {100 * (ours.get('cv') or 0):4.1f}%"
                  f" {faults(ours):>6} {kernel_share(ours):>6}"
                  f" {duration(floor['cpu']):>10} {100 * (floor.get('cv') or 0):4.1f}%"
                  f" {faults(floor):>6} {kernel_share(floor):>6}"
                  f" {duration(peer['cpu']) if peer else '-':>10} {duration(p['cpu_time_ns']) if p else '-':>10}"
                  f" {f'{faster:.0f}x' if faster else '-':>7} {v:<10}")

    print("faults: page faults per call; kernel: the share of the CPU time spent in the kernel.")
    print("\nVerdicts: met (within the goal), missed (past it by more than the spread), unclear (past it,\n"
          "but by less than the spread: a quieter machine decides). The load is the 1-minute load\n"
          "average before and after that run, on a machine of "
          f"{os.cpu_count()} processors: above that, other work took turns with the benchmark.")

    if args.json:
        with open(args.json, "w") as f:
            json.dump({"machine": {"nproc": os.cpu_count(), "cpu_model": cpu_model(),
                                   "avx2": has("avx2"), "avx512": has("avx512f", "avx512bw")},
                       "statuses": statuses, "native_context": native_context, "rows": rows}, f, indent=2)
        print(f"\nwritten: {args.json}")


if __name__ == "__main__":
    main()
