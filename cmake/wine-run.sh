#!/usr/bin/env bash
# Runs a Windows test program under wine, as the Windows build's emulator.
# On a loaded machine wine now and then fails to start a program: exit code
# 1 and not a byte of output (a test program always writes before it can
# fail). Such a start is made again, three times at most, each retry said
# on standard error; any other result is the program's own and passes on.
wine=$1
shift
out=$(mktemp)
trap 'rm -f "$out"' EXIT
for attempt in 1 2 3; do
  "$wine" "$@" >"$out" 2>&1
  code=$?
  if [ "$code" -ne 1 ] || [ -s "$out" ]; then break; fi
  echo "wine ended with exit code 1 before the program began (start $attempt); starting it again" >&2
done
cat "$out"
exit "$code"
