#!/usr/bin/env bash
# Runs every fuzz target (or the ones named) for the given number of seconds
# each, with address and undefined-behaviour checks, starting from the seed
# corpus kept in tools/fuzz/corpus/ (one folder per target, named without
# "_fuzz"). What a run adds to the corpus stays in build/fuzz/corpus/<target>
# and its output in build/fuzz/<target>.log; a finding stops its target,
# leaves its input in build/fuzz/findings/<target>, and makes the script fail.
#
#   bash scripts/fuzz.sh SECONDS [TARGET...]
#   (targets: dialog_answer_fuzz project_file_fuzz expression_fix_fuzz)
set -uo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

if [ $# -lt 1 ] || ! [[ $1 =~ ^[0-9]+$ ]]; then
  echo "usage: bash scripts/fuzz.sh SECONDS [TARGET...]" >&2
  exit 2
fi
seconds=$1
shift
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(dialog_answer_fuzz project_file_fuzz expression_fix_fuzz)
fi

cmake --preset fuzz >/dev/null && cmake --build --preset fuzz --target "${targets[@]}" || exit 1

failed=()
for target in "${targets[@]}"; do
  seeds=tools/fuzz/corpus/${target%_fuzz}
  corpus=build/fuzz/corpus/$target
  findings=build/fuzz/findings/$target
  mkdir -p "$corpus" "$findings"
  echo "==== $target: $seconds s from $seeds"
  log=build/fuzz/$target.log
  "build/fuzz/tools/fuzz/$target" -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="$findings/" "$corpus" "$seeds" >"$log" 2>&1
  status=$?
  grep -E '^(stat::number_of_executed_units|stat::new_units_added|SUMMARY)' "$log"
  [ $status -eq 0 ] || failed+=("$target")
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "findings in: ${failed[*]} (see build/fuzz/findings)" >&2
  exit 1
fi
