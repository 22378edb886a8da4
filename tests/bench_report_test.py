#!/usr/bin/env python3
"""The benchmark report's allocator share and 64 MiB spread, on made-up figures
whose ratios are known, for whichever copy this processor takes.
usage: bench_report_test.py REPORT_PY"""
import json, os, subprocess, sys, tempfile

MIB, BIG = 1 << 20, 64 << 20
# (file, {(contestant, size): (ns, cv)}): allocations alone take a share of the floor, VELMORIN lies between.
RUNS = {
    "win64-{}-1": {("allocations", MIB): 900, ("floor", MIB): 1000, ("velmorin", MIB): 950,
                   ("allocations", BIG): 60, ("floor", BIG): 80, ("velmorin", BIG): 70, ("streaming_copy", BIG): 36},
    "win64-{}-2": {("allocations", MIB): 800, ("floor", MIB): 1000, ("velmorin", MIB): 860,
                   ("allocations", BIG): 50, ("floor", BIG): 80, ("velmorin", BIG): 59},
    "native-{}": {("allocations", BIG): 10, ("floor", BIG): 210, ("velmorin", BIG): 110, ("streaming_copy", BIG): 80},
}
SPREADS = {("native-{}", "velmorin"): 0.14, ("native-{}", "streaming_copy"): 0.2}
EXPECTED = ["win64 (Wine)      1 MiB  allocations alone    900 ns (50% in the kernel): 0.85 [0.80-0.90] of the floor;"
            " the bytes' work 0.40 of the floor's",
            "win64 (Wine)     64 MiB  allocations alone     60 ns (50% in the kernel): 0.69 [0.62-0.75] of the floor;"
            " the bytes' work 0.40 of the floor's",
            "0.05 of the floor; the bytes' work 0.50", "spread 14%, plain copy's 20%",
            "the two allocations alone allow 90%"]

with tempfile.TemporaryDirectory() as folder:
    for name, times in RUNS.items():
        rows = []
        for (who, size), ns in times.items():
            stem = f"Measure/{who}/bytes:{size}"
            rows += [{"name": stem + "_median", "run_type": "aggregate", "aggregate_name": "median", "cpu_time": ns,
                      "real_time": ns, "time_unit": "ns", "kernel_s": ns / 2e9},
                     {"name": stem + "_cv", "run_type": "aggregate", "aggregate_name": "cv",
                      "cpu_time": SPREADS.get((name, who), 0.01), "real_time": 0.01, "time_unit": "ns"}]
        for path in ("sse2", "avx2", "avx512"):
            with open(os.path.join(folder, name.format(path) + ".json"), "w") as f:
                json.dump({"benchmarks": rows}, f)
    out = os.path.join(folder, "report.json")
    text = subprocess.run([sys.executable, sys.argv[1], folder, "--json", out], check=True, capture_output=True,
                          text=True).stdout
    shares = {(r["target"], r["bytes"]): r.get("allocations_share_of_floor") for r in json.load(open(out))["rows"]}

missing = [line for line in EXPECTED if line not in text]
if abs((shares.get(("win64", BIG)) or 0) - 0.6875) > 1e-9:
    missing.append(f"the JSON's share for win64 at 64 MiB: {shares.get(('win64', BIG))}, not 0.6875")
for line in missing:
    print("not in the report:", line)
print(text if missing else f"ok: {len(EXPECTED)} lines and the JSON rows")
sys.exit(1 if missing else 0)
