#!/usr/bin/env python3
"""The benchmark report's reading of the allocator's share, on figures made
up for it: two Wine processes and a native run whose allocations alone, floor
and VELMORIN times give known ratios, for whichever copy this processor takes.

usage: bench_report_test.py REPORT_PY
"""
import json
import os
import subprocess
import sys
import tempfile

MIB, LARGEST = 1 << 20, 64 << 20


def figures(times, kernels, spreads):
    """Google Benchmark's JSON shape: a median and a cv per contestant and size."""
    rows = []
    for (name, size), ns in times.items():
        median = {"name": f"Measure/{name}/bytes:{size}_median", "run_type": "aggregate",
                  "aggregate_name": "median", "cpu_time": ns, "real_time": ns, "time_unit": "ns"}
        if (name, size) in kernels:
            median["kernel_s"] = kernels[(name, size)] * 1e-9
        rows += [median, {"name": f"Measure/{name}/bytes:{size}_cv", "run_type": "aggregate",
                          "aggregate_name": "cv", "cpu_time": spreads.get((name, size), 0.01), "real_time": 0.01,
                          "time_unit": "ns"}]
    return {"context": {}, "benchmarks": rows}


def main():
    report = sys.argv[1]
    # (target, process) -> allocations alone, floor, VELMORIN at 1 MiB and 64 MiB, in ns.
    runs = {
        ("win64", 1): {MIB: (900, 1000, 950), LARGEST: (60, 80, 70)},
        ("win64", 2): {MIB: (800, 1000, 860), LARGEST: (50, 80, 59)},
        ("native", None): {MIB: (10, 110, 60), LARGEST: (10, 210, 110)},
    }
    with tempfile.TemporaryDirectory() as folder:
        for (target, process), sizes in runs.items():
            times, kernels, spreads = {}, {}, {}
            if target == "native":
                # A 64 MiB call that varies past the goal, beside a plain copy that varies more.
                times[("streaming_copy", LARGEST)] = 80
                spreads.update({("velmorin", LARGEST): 0.14, ("streaming_copy", LARGEST): 0.2})
            for size, (alone, floor, ours) in sizes.items():
                times.update({("allocations", size): alone, ("floor", size): floor, ("velmorin", size): ours})
                kernels[("allocations", size)] = alone / 2
            for path in ("sse2", "avx2", "avx512"):
                name = f"{target}-{path}" + (f"-{process}" if process else "") + ".json"
                with open(os.path.join(folder, name), "w") as f:
                    json.dump(figures(times, kernels, spreads), f)
        out = os.path.join(folder, "report.json")
        text = subprocess.run([sys.executable, report, folder, "--json", out], check=True,
                              capture_output=True, text=True).stdout
        with open(out) as f:
            rows = json.load(f)["rows"]

    failures = []
    lines = [line for line in text.splitlines() if "allocations alone" in line]
    # Per process the bound is alone/floor and the work (ours-alone)/(floor-alone); the median of two is their mean.
    expected = {
        ("win64", MIB): ("0.85 [0.80-0.90] of the floor", "work 0.40 of"),
        ("win64", LARGEST): ("0.69 [0.62-0.75] of the floor", "work 0.40 of"),
        ("native", MIB): ("0.09 of the floor", "work 0.50 of"),
        ("native", LARGEST): ("0.05 of the floor", "work 0.50 of"),
    }
    names = {"win64": "win64 (Wine)", "native": "linux (native)"}
    sizes = {MIB: " 1 MiB", LARGEST: "64 MiB"}
    for (target, size), parts in expected.items():
        line = next((l for l in lines if l.strip().startswith(names[target]) and sizes[size] in l), None)
        if line is None:
            failures.append(f"no allocator line for {target} at {sizes[size]}")
            continue
        for part in parts + ("(50% in the kernel)",):
            if part not in line:
                failures.append(f"{target} at {sizes[size]}: {part!r} not in {line.strip()!r}")
    if "spread 14%, plain copy's 20%" not in text:
        failures.append("the native 64 MiB spread is not set beside the plain copy's")
    shares = {(r["target"], r["bytes"]): r.get("allocations_share_of_floor") for r in rows}
    if abs((shares.get(("win64", LARGEST)) or 0) - 0.6875) > 1e-9:
        failures.append(f"the JSON's share for win64 at 64 MiB is {shares.get(('win64', LARGEST))}, not 0.6875")
    for failure in failures:
        print("FAIL:", failure)
    if failures:
        print(text)
        return 1
    print(f"ok: {len(expected)} allocator lines and the JSON rows")
    return 0


if __name__ == "__main__":
    sys.exit(main())
