#!/usr/bin/env python3
"""Which tests catch which planted faults.

Takes the outcome files that mutants.py writes (--json) and, for every mutant
they list as killed, plants it again in a clean tree, rebuilds, runs the whole
suite without stopping at the first failure, and records every test that
failed. The summary names, for each test, the faults only it catches, and a
small set of tests that together still catch every fault: tests outside that
set catch nothing the set does not, which is what to look at first when the
suite must shrink.

  kill_matrix.py --tree CLEAN_CHECKOUT --build CLEAN_CHECKOUT/build/native \
                 --out matrix.json OUTCOMES.json [OUTCOMES.json ...]
  kill_matrix.py --summary matrix.json
"""
import argparse
import json
import pathlib
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ElementTree


def failing_tests(build):
    with tempfile.NamedTemporaryFile(suffix=".xml") as report:
        subprocess.run(["ctest", "--test-dir", build, "-j2", "--timeout", "120",
                        "--output-junit", report.name],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        root = ElementTree.parse(report.name).getroot()
    return sorted(case.get("name") for case in root.iter("testcase")
                  if case.get("status") == "fail" or case.find("failure") is not None)


def plant_and_run(tree, build, mutant):
    path = pathlib.Path(tree) / mutant["file"]
    original = path.read_text()
    lines = original.splitlines(keepends=True)
    index = mutant["line"] - 1
    if mutant["before"].strip() not in lines[index]:
        return None  # the tree no longer has this line
    lines[index] = mutant["text"] + "\n"
    try:
        path.write_text("".join(lines))
        built = subprocess.run(["cmake", "--build", build, "-j2"],
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return failing_tests(build) if built.returncode == 0 else None
    finally:
        path.write_text(original)


def key(mutant):
    return f'{mutant["file"]}:{mutant["line"]}: {mutant["op"]}: {mutant["after"].strip()}'


def collect(args):
    matrix = {}
    mutants = [m for f in args.outcomes for m in json.load(open(f)) if m["outcome"] == "killed"]
    for number, mutant in enumerate(mutants, 1):
        if key(mutant) in matrix:
            continue
        failed = plant_and_run(args.tree, args.build, mutant)
        print(f"[{number}/{len(mutants)}] {key(mutant)}: "
              f"{'not run' if failed is None else len(failed)} failing", flush=True)
        if failed is not None:
            matrix[key(mutant)] = failed
        json.dump(matrix, open(args.out, "w"), indent=1)
    subprocess.run(["cmake", "--build", args.build, "-j2"], stdout=subprocess.DEVNULL)


def summarise(matrix):
    only = {}
    for fault, tests in matrix.items():
        if len(tests) == 1:
            only.setdefault(tests[0], []).append(fault)
    print(f"{len(matrix)} faults; caught by one test only:")
    for test, faults in sorted(only.items()):
        print(f"  {test}: {len(faults)}  ({'; '.join(faults)})")
    # Greedy cover: the test that catches most of what is still uncaught, in turn.
    uncaught, cover = {f for f, t in matrix.items() if t}, []
    while uncaught:
        counts = {}
        for fault in uncaught:
            for test in matrix[fault]:
                counts[test] = counts.get(test, 0) + 1
        best = max(counts, key=lambda t: (counts[t], t))
        cover.append((best, counts[best]))
        uncaught -= {f for f in uncaught if best in matrix[f]}
    print(f"{len(cover)} tests together catch every fault:")
    for test, newly in cover:
        print(f"  {test}: +{newly}")


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--tree")
    parser.add_argument("--build")
    parser.add_argument("--out", default="kill-matrix.json")
    parser.add_argument("--summary")
    parser.add_argument("outcomes", nargs="*")
    args = parser.parse_args()
    if args.summary:
        summarise(json.load(open(args.summary)))
    elif args.tree and args.build and args.outcomes:
        collect(args)
        summarise(json.load(open(args.out)))
    else:
        parser.error("give --summary MATRIX, or --tree, --build and outcome files")


if __name__ == "__main__":
    sys.exit(main())
