#!/usr/bin/env bash
# The main job: builds the plug-in and the simulated host, then plays a user
# session on the example project: the Layer menu before and after selecting a
# pre-comp layer, the command with its dialog answered, the result, and undo;
# the run is also drawn as a timeline picture (SVG).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/bootstrap.sh
cmake --preset native >/dev/null
cmake --build --preset native --target outfold-host Outfold

settings=$(mktemp -d)
trap 'rm -rf "$settings"' EXIT
run() { build/native/tools/outfold-host --settings "$settings" --project examples/demo.json "$@"; }

echo "== The Layer menu with nothing selected, then with the pre-comp layer selected"
run deselect Main menu select Main Intro menu

echo
echo "== Outfold on the pre-comp layer: prefix \"Hero\", keep the pre-comp layer"
echo "   (Title's rotation expression names Logo: its copy follows the rename to Hero_Logo,"
echo "    while the pre-comp's own expression keeps naming its own Logo)"
timeline=build/native/demo-timeline.svg
frames=build/native/demo-frames.svg
run --timeline "$timeline" --frames 0.5,2,4 "$frames" show picture Main 2 select Main Intro \
    user "set prefixInput Hero" user "click optionKeepInComp" user "click buttonOK" \
    outfold show undo show

echo
echo "== The run as a timeline picture, before and after: $timeline"
echo "== What a viewer sees of Main at 0.5 s, 2 s and 4 s, before and after: $frames"
