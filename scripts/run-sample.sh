#!/usr/bin/env bash
# Runs Blurbsmith on the sample node the packages ship (sample/data), as the
# manual tells a sysop to try it: the sample copied to a scratch directory,
# and the program run there with -c blurbsmith.cfg: the listing, the
# preview, the job and the listing again, then the log.
# On a fresh Debian machine it installs what it needs first.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset native >/dev/null
cmake --build --preset native --target blurbsmith >/dev/null
exe=$PWD/build/native/src/blurbsmith

scratch=$(mktemp -d /tmp/blurbsmith-sample.XXXXXX)
cp sample/data/* "$scratch/"

# The sample's lists have Russian text in code page 866, as FidoNet uses it.
show_cp866() { iconv -f CP866 -t UTF-8 2>/dev/null || cat; }

cd "$scratch"
echo "== Scratch directory: $scratch"
echo "== Settings (blurbsmith.cfg):"
cat blurbsmith.cfg
echo "== Echo list (echos.lst):"
show_cp866 <echos.lst
echo "== Areas before: blurbsmith -c blurbsmith.cfg -l"
"$exe" -c blurbsmith.cfg -l
echo "== Preview: blurbsmith -c blurbsmith.cfg -n"
"$exe" -c blurbsmith.cfg -n
echo "== The job: blurbsmith -c blurbsmith.cfg"
set +e
"$exe" -c blurbsmith.cfg
code=$?
set -e
echo "== Exit code: $code"
echo "== Areas after: blurbsmith -c blurbsmith.cfg -l"
"$exe" -c blurbsmith.cfg -l
echo "== Log (blurbsmith.log):"
show_cp866 <blurbsmith.log
echo "== Files now: reserve copy \$FE_CFG\$.QZ\$ beside blurbsmith.cfg"
ls -l
