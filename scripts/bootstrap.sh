#!/usr/bin/env bash
# Installs the Debian packages the project needs, only those missing.
# Safe to run again and again.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config python3
  duktape-dev nlohmann-json3-dev libcli11-dev libgtest-dev googletest
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine64
  librsvg2-bin
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if ((${#missing[@]})); then
  echo "bootstrap: installing ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
