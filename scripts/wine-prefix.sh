#!/usr/bin/env bash
# Creates a wine prefix for running the Windows build's programs, quietly and
# once: an existing prefix (marked by its stamp file) is left as it is.
#   wine-prefix.sh <prefix folder> <stamp file>
set -euo pipefail

prefix=$1
stamp=$2
wine=${OUTFOLD_WINE:-/usr/lib/wine/wine64}
wineserver=${OUTFOLD_WINESERVER:-/usr/lib/wine/wineserver}

[ -f "$stamp" ] && exit 0

# No mono or gecko installer, and no menu entries or file associations
# written into the user's home.
disabled=(mscoree mshtml winemenubuilder.exe)
export WINEPREFIX=$prefix WINEDEBUG=-all
export WINEDLLOVERRIDES="$(IFS=,; echo "${disabled[*]}")="
mkdir -p "$prefix"
log=$prefix/wineboot.log
run() {
  if ! "$@" >>"$log" 2>&1; then
    echo "wine-prefix: '$*' failed in $prefix:" >&2
    cat "$log" >&2
    exit 1
  fi
}
run "$wine" wineboot -i
# wineboot returns before the prefix is fully written; a registry edit made
# meanwhile can find it half-made and fail.
"$wineserver" -w
# The same switches for every later run, which may update the prefix.
for dll in "${disabled[@]}"; do
  run "$wine" reg add 'HKCU\Software\Wine\DllOverrides' /v "$dll" /d "" /f
done
# Let wine finish writing the prefix, then start one program in it, so any
# first-run update of the prefix is over before the tests start in parallel.
"$wineserver" -w
run "$wine" cmd /c exit
"$wineserver" -w
touch "$stamp"
