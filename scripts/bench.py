#!/usr/bin/env python3
"""Outfold benchmark: how the command's cost grows with the size of a pre-comp.

For each size N it writes a project whose composition "Main" holds one
pre-comp layer "Big" (animated, scaled, rotated, two effects) over a solid;
the pre-comp holds N layers: a third each solid, text and shape layers, every
fourth parented to the layer above it, every fifth with an expression, every
seventh keyframed. Then it runs the command through outfold-host --stats in
three ways (rows) and prints, per run: the time of the command, the host
calls, the script runs, the host calls per layer, the share of the time spent
outside the host's operations and its script engine (the plug-in's own work),
the share spent in the script engine, and the median time of one script run
(in the rows with many runs, a one-statement script). The time each program
takes to start and read the project is not counted: outfold-host times the
command alone.

Runs are one at a time, so the machine's other work shows in the times;
compare ratios within one run of this program.
"""
import argparse
import json
import re
import subprocess
import sys
import tempfile
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent

def top_level(n):
    return sum(1 for i in range(n) if i % 4 != 3)


# Each row: its name, the user's answers in the dialog, and the script runs
# the command makes for N layers: the dialog and the copy, with the
# attributes the one look at the pre-comp layer's still opacity and fold,
# then one expression fix per renamed layer, or one detach statement per
# layer without parent when the attributes are discarded.
ROWS = [
    ("copy attributes, no rename", ["click buttonOK"], lambda n: 3),
    (
        "copy attributes, prefix + pre-comp name + seed fix",
        ["set prefixInput P_", "click prependPrecompName", "click fixRandomExpresions",
         "click buttonOK"],
        lambda n: n + 3,
    ),
    ("discard attributes, no rename", ["click optionDiscardAttributes", "click buttonOK"],
     lambda n: top_level(n) + 2),
]

EXPRESSIONS = ["wiggle(2, 20)", "seedRandom(3); random(100)", "time * 10"]


def inner_layer(i):
    """The i-th layer (0 = top) of the pre-comp."""
    kind = i % 3
    layer = {"name": f"L{i}"}
    if kind == 0:
        layer["source"] = "Layer Solid"
    elif kind == 1:
        layer.update(type="text", text=f"Text {i}")
    else:
        layer["type"] = "shape"
    streams = {"Position": [10 + i % 1900, 20 + i % 1000, 0]}
    if i % 4 == 3:
        layer["parent"] = f"L{i - 1}"
    if i % 5 == 0:
        streams["Opacity"] = {"value": 80, "expression": EXPRESSIONS[(i // 5) % 3]}
    if i % 7 == 0:
        streams["Rotation"] = {
            "keyframes": [{"time": 0, "value": 0}, {"time": 2, "value": 45 + i % 90}]
        }
    layer["streams"] = streams
    return layer


def project(n):
    return {
        "name": f"Bench {n}",
        "activeItem": "Main",
        "items": [
            {"type": "solid", "name": "Layer Solid", "width": 200, "height": 200,
             "color": [0.2, 0.4, 0.6]},
            {"type": "solid", "name": "Back Solid", "width": 1920, "height": 1080},
            {"type": "comp", "name": "Inner", "duration": 10,
             "layers": [inner_layer(i) for i in range(n)]},
            {
                "type": "comp", "name": "Main", "duration": 10,
                "layers": [
                    {
                        "name": "Big", "source": "Inner",
                        "streams": {
                            "Position": {"keyframes": [
                                {"time": 0, "value": [800, 500, 0]},
                                {"time": 3, "value": [1100, 600, 0]},
                            ]},
                            "Scale": [80, 80, 100],
                            "Rotation": 15,
                        },
                        "effects": [
                            {"kind": "host.gaussian-blur", "params": {"Blurriness": 4}},
                            {"kind": "host.fill"},
                        ],
                    },
                    {"source": "Back Solid"},
                ],
                "selection": ["Big"],
            },
        ],
    }


STATS = re.compile(
    r"stats: time_us=(\d+) host_calls=(\d+) script_runs=(\d+) operations_us=(\d+) scripts_us=(\d+)"
    r" median_script_us=([\d.]+)"
)


def run_once(command, project_file, user, settings):
    args = command + ["--stats", "--settings", settings, "--project", project_file,
                      "select", "Main", "Big"]
    for action in user:
        args += ["user", action]
    args.append("outfold")
    done = subprocess.run(args, capture_output=True, text=True)
    match = STATS.search(done.stdout)
    if done.returncode != 0 or not match or "result: A_Err_NONE (0)" not in done.stdout:
        sys.exit(f"bench: the run failed ({done.returncode}):\n{done.stdout[-2000:]}"
                 f"\n{done.stderr[-2000:]}")
    time_us, calls, scripts, operations_us, scripts_us = map(int, match.groups()[:5])
    return {"time": time_us / 1e6, "calls": calls, "scripts": scripts,
            "own": max(0.0, 1 - operations_us / time_us) if time_us else 0.0,
            "engine": scripts_us / time_us if time_us else 0.0,
            "median_script_ms": float(match.group(6)) / 1000}


def measure(command, sizes, repeat, work, label, rows):
    results = {}
    for row, user, expected_scripts in (ROWS[r - 1] for r in rows):
        print(f"\n{label}: {row}")
        print(f"{'N':>6} {'time s':>8} {'ratio':>6} {'host calls':>11} {'calls/layer':>11} "
              f"{'script runs':>11} {'plug-in':>8} {'scripts':>8} {'ms/run':>7}")
        previous = None
        for n in sizes:
            project_file = work / f"bench-{n}.json"
            if not project_file.exists():
                project_file.write_text(json.dumps(project(n)))
            runs = []
            for _ in range(repeat):
                with tempfile.TemporaryDirectory() as settings:
                    runs.append(run_once(command, str(project_file), user, settings))
            best = min(runs, key=lambda r: r["time"])
            if best["scripts"] != expected_scripts(n):
                sys.exit(f"bench: {best['scripts']} script runs, expected {expected_scripts(n)}")
            ratio = f"{best['time'] / previous:.2f}" if previous else ""
            previous = best["time"]
            print(f"{n:>6} {best['time']:>8.3f} {ratio:>6} {best['calls']:>11} "
                  f"{best['calls'] / n:>11.1f} {best['scripts']:>11} {best['own']:>8.0%} "
                  f"{best['engine']:>8.0%} {best['median_script_ms']:>7.3f}", flush=True)
            results[(row, n)] = best
    return results


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--sizes", default="250,500,1000,2000,4000",
                        help="layer counts of the pre-comp (default %(default)s)")
    parser.add_argument("--rows", default="1,2,3",
                        help="which rows to run, 1-based (default %(default)s)")
    parser.add_argument("--repeat", type=int, default=1,
                        help="runs per measurement; the fastest counts (default 1)")
    parser.add_argument("--build", default=str(ROOT / "build/native"),
                        help="the native build folder")
    parser.add_argument("--windows", default=str(ROOT / "build/windows"),
                        help="the Windows build folder (its outfold-host.exe runs under wine)")
    parser.add_argument("--windows-size", type=int, default=500,
                        help="the layer count for the Windows module; 0 skips it")
    options = parser.parse_args()
    sizes = [int(n) for n in options.sizes.split(",")]
    rows = [int(r) for r in options.rows.split(",")]

    with tempfile.TemporaryDirectory() as folder:
        work = Path(folder)
        native = [str(Path(options.build) / "tools/outfold-host")]
        measure(native, sizes, options.repeat, work, "native", rows)
        if options.windows_size > 0:
            exe = Path(options.windows) / "tools/outfold-host.exe"
            aex = Path(options.windows) / "Outfold.aex"
            if not exe.exists() or not aex.exists():
                print(f"\nwindows: {exe} or {aex} is missing; build the windows preset first")
                return
            # As the Windows build runs its own programs: in its wine prefix.
            wine = ["/usr/bin/env", f"WINEPREFIX={Path(options.windows) / 'wineprefix'}",
                    "WINEDEBUG=-all", "WINEDLLOVERRIDES=mscoree,mshtml=", "/usr/lib/wine/wine64"]
            measure(wine + [str(exe), "--plugin", str(aex)], [options.windows_size],
                    options.repeat, work, "windows module under wine", rows)


if __name__ == "__main__":
    main()
