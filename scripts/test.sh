#!/usr/bin/env bash
# The project's whole check: installs what is missing, then configures, builds
# and tests the native build and the Windows x64 cross build (whose programs
# run under wine). Both builds are tried even when the first fails; the exit
# status is non-zero if anything failed.
set -uo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

bash scripts/bootstrap.sh || exit 1

failed=()
seconds() { date +%s; }
minutes() { printf '%dm%02ds' $(($1 / 60)) $(($1 % 60)); }

for preset in native windows; do
  start=$(seconds)
  echo "==== $preset: configure"
  if ! cmake --preset "$preset" >/dev/null; then
    failed+=("$preset configure")
    continue
  fi
  echo "==== $preset: build"
  if ! cmake --build --preset "$preset" -j2; then
    failed+=("$preset build")
    continue
  fi
  built=$(seconds)
  echo "==== $preset: test"
  ctest --preset "$preset" -j2 || failed+=("$preset tests")
  done_at=$(seconds)
  echo "==== $preset: build $(minutes $((built - start))), tests $(minutes $((done_at - built)))"
done

if ((${#failed[@]})); then
  echo "FAILED: ${failed[*]}"
  exit 1
fi
echo "All builds and tests passed."
