#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when missing.
# Safe to run again: it only calls apt-get when something is absent.
set -euo pipefail

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
updated=0

# Installs those of the given packages that are missing.
install_missing() {
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  ((${#missing[@]})) || return 0
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  if ((!updated)); then
    $SUDO apt-get update -qq
    updated=1
  fi
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

install_missing \
  cmake ninja-build g++ googletest libgtest-dev \
  g++-mingw-w64-x86-64-posix wine64 \
  clang e2fsprogs \
  time locales \
  strace \
  groff-base

# The 32-bit Windows program (Windows XP SP3 and later) is built with
# mingw-w64's i686 compiler in its win32 thread model, whose runtime needs
# nothing beyond kernel32 and msvcrt. Never wine32: these kernels cannot run
# 32-bit code, and it breaks the wine launcher for 64-bit programs.
install_missing g++-mingw-w64-i686-win32

# The sanitizer and fuzzer runtimes belong to the clang that is installed,
# whichever version the distribution calls clang.
clang_major=$(clang --version | sed -n 's/.*clang version \([0-9][0-9]*\).*/\1/p' | head -n 1)
install_missing "libclang-rt-${clang_major}-dev"

# The end-to-end suite runs blurbsmith.exe under wine with a Russian locale
# (OEM code page 866); wine needs the locale to map file names.
if ! locale -a 2>/dev/null | grep -qix 'ru_RU.utf8'; then
  echo "Generating the ru_RU.UTF-8 locale"
  $SUDO localedef -i ru_RU -f UTF-8 ru_RU.UTF-8
fi
