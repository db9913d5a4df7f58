#!/usr/bin/env bash
# Builds every target and runs every test: the native build (unit tests and
# the end-to-end suite on the native program and on blurbsmith.exe under
# wine), the Windows build (its unit tests under wine), the native tests
# again under AddressSanitizer and UndefinedBehaviorSanitizer, and each
# fuzz target for a bounded time (BLURBSMITH_FUZZ_SECONDS, default 60);
# then it makes the packages (the 64-bit and the 32-bit Windows zip, the
# Linux tarball) and checks what they hold. The 32-bit Windows program is
# built (the program alone) but cannot run on this machine's kernel: the
# package check holds it statically to what Windows XP loads
# (scripts/check-win32-exe.sh).
# On a fresh Debian machine it installs what it needs first.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

export WINEDEBUG=-all
export WINEPREFIX="${WINEPREFIX:-$HOME/.wine}"
WINE=$(command -v wine64 || echo /usr/lib/wine/wine64)
WINESERVER=$(command -v wineserver || echo /usr/lib/wine/wineserver)
# One wine server for the whole run, so that no Windows start pays wine's
# own start-up. It needs the prefix, which a new machine does not have yet:
# make that first and let its server end, then start the persistent one.
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "Creating the wine prefix $WINEPREFIX"
  "$WINE" wineboot --init >/dev/null 2>&1 || true
  "$WINESERVER" -w >/dev/null 2>&1 || true
fi
"$WINESERVER" -p >/dev/null 2>&1 || true
trap '"$WINESERVER" -k >/dev/null 2>&1 || true' EXIT
for _ in $(seq 50); do
  pgrep -u "$(id -u)" -f 'wineserver.* -p' >/dev/null && break
  sleep 0.2
done
pgrep -u "$(id -u)" -f 'wineserver.* -p' >/dev/null || { echo "the wine server did not start" >&2; exit 1; }
# The first program the server sees starts wine's own services, which keep
# the standard output they inherit: let them inherit /dev/null, not the pipe
# through which a test reads a program's output (it would wait for them).
"$WINE" cmd /c exit 0 >/dev/null 2>&1 || true

cmake --preset windows
cmake --build --preset windows
cmake --preset windows32
cmake --build --preset windows32
cmake --preset native
cmake --build --preset native
cmake --preset sanitize
cmake --build --preset sanitize
cmake --preset fuzz -DBLURBSMITH_FUZZ_SECONDS="${BLURBSMITH_FUZZ_SECONDS:-60}"
cmake --build --preset fuzz

status=0
echo "== Windows build: unit tests under wine"
ctest --preset windows || status=1
echo "== Native build: unit tests, end-to-end suite (native and under wine)"
ctest --preset native || status=1
echo "== Native build under AddressSanitizer and UndefinedBehaviorSanitizer"
ctest --preset sanitize || status=1
echo "== Fuzz targets"
ctest --preset fuzz || status=1
echo "== Packages, and the 32-bit Windows program checked statically for Windows XP"
scripts/check-packages.sh || status=1
exit $status
