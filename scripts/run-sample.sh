#!/usr/bin/env bash
# Runs Blurbsmith's whole job on the bundled sample in a scratch directory:
# the program in its own directory with its settings file, the FastEcho
# configuration file and the echo list in the current directory.
# On a fresh Debian machine it installs what it needs first.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset native >/dev/null
cmake --build --preset native --target blurbsmith make_fixture >/dev/null

scratch=$(mktemp -d /tmp/blurbsmith-sample.XXXXXX)
mkdir -p "$scratch/prog" "$scratch/work"
cp build/native/src/blurbsmith "$scratch/prog/"
cp sample/blurbsmith.cfg "$scratch/prog/blurbsmith.cfg"
build/native/tools/make_fixture sample "$scratch/work"

# The sample's echo list has Russian text in code page 866, as FidoNet uses it.
show_cp866() { iconv -f CP866 -t UTF-8 2>/dev/null || cat; }

cd "$scratch/work"
echo "== Scratch directory: $scratch"
echo "== Settings ($scratch/prog/blurbsmith.cfg):"
cat "$scratch/prog/blurbsmith.cfg"
echo "== Echo list (echos.lst):"
show_cp866 < echos.lst
echo "== Areas before:"
"$OLDPWD/build/native/tools/make_fixture" show fastecho.cfg | show_cp866
echo "== Run (console output):"
set +e
"$scratch/prog/blurbsmith"
code=$?
set -e
echo "== Exit code: $code"
echo "== Areas after:"
"$OLDPWD/build/native/tools/make_fixture" show fastecho.cfg | show_cp866
echo "== Log (blurbsmith.log):"
show_cp866 < blurbsmith.log
