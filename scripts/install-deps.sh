#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when missing.
# Safe to run again: it only calls apt-get when something is absent.
set -euo pipefail

packages=(
  cmake ninja-build g++ googletest libgtest-dev
  g++-mingw-w64-x86-64-posix wine64
  clang libclang-rt-14-dev e2fsprogs
  time
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
