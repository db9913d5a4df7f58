#!/usr/bin/env bash
# Makes both packages with cpack and checks what they hold: the Windows zip
# from build/windows and the Linux tarball from build/native (scripts/test.sh
# builds both first). Needs nothing beyond CMake: `cmake -E tar` lists and
# unpacks zip files too.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

# The one place the version is defined.
version=$(sed -n 's/^project(Blurbsmith VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "no project version in CMakeLists.txt" >&2; exit 1; }

scratch=$(mktemp -d /tmp/blurbsmith-packages.XXXXXX)
trap 'rm -rf "$scratch"' EXIT

failures=0
check() {  # check DESCRIPTION COMMAND...
  local what=$1
  shift
  if "$@"; then
    echo "ok   $what"
  else
    echo "FAIL $what"
    failures=$((failures + 1))
  fi
}

# Regular members only, without the directory entries, sorted.
members() { cmake -E tar tf "$1" | grep -v '/$' | LC_ALL=C sort; }
unpack() { mkdir -p "$2" && (cd "$2" && cmake -E tar xf "$1"); }
# Every line ends in CR LF, and no CR stands anywhere else.
crlf_only() {
  local lf cr crlf
  lf=$(tr -cd '\n' <"$1" | wc -c)
  cr=$(tr -cd '\r' <"$1" | wc -c)
  crlf=$(grep -c $'\r$' "$1" || true)
  [ "$lf" -gt 0 ] && [ "$lf" = "$cr" ] && [ "$lf" = "$crlf" ] && [ "$(tail -c 1 "$1" | wc -l)" = 1 ]
}
has_linux_paths() {
  [ "$(grep -cE '^(FASTECHOCFG|LOGFILE|ECHOLIST) +/[^ ]+'$'\r''$' "$1")" = 3 ] &&
    ! grep -qE '[A-Za-z]:\\|\\' "$1"
}
has_windows_paths() {
  [ "$(grep -cE '^(FASTECHOCFG|LOGFILE|ECHOLIST) +C:\\' "$1")" = 3 ]
}
same_text_as() { tr -d '\r' <"$1" | cmp -s - "$2"; }

echo "== Windows package (build/windows)"
(cd build/windows && cpack) >"$scratch/cpack-windows.log" || { cat "$scratch/cpack-windows.log"; exit 1; }
zip=$root/build/windows/blurbsmith-$version-win64.zip
check "blurbsmith-$version-win64.zip made" test -f "$zip"
cmake -E tar tvf "$zip"
check "zip holds README.txt, blurbsmith.cfg.sample, blurbsmith.exe, flat" \
  test "$(members "$zip")" = $'README.txt\nblurbsmith.cfg.sample\nblurbsmith.exe'
win=$scratch/win
unpack "$zip" "$win"
check "zip: blurbsmith.exe is the built one" cmp -s "$win/blurbsmith.exe" build/windows/src/blurbsmith.exe
check "zip: README.txt has CR LF line ends" crlf_only "$win/README.txt"
check "zip: README.txt is README.md" same_text_as "$win/README.txt" README.md
check "zip: blurbsmith.cfg.sample is the Windows sample" cmp -s "$win/blurbsmith.cfg.sample" sample/blurbsmith.cfg.sample
check "zip: blurbsmith.cfg.sample has Windows paths" has_windows_paths "$win/blurbsmith.cfg.sample"
check "zip: blurbsmith.cfg.sample has CR LF line ends" crlf_only "$win/blurbsmith.cfg.sample"

echo "== Linux package (build/native)"
(cd build/native && cpack) >"$scratch/cpack-native.log" || { cat "$scratch/cpack-native.log"; exit 1; }
top=blurbsmith-$version-linux-x86_64
tgz=$root/build/native/$top.tar.gz
check "$top.tar.gz made" test -f "$tgz"
cmake -E tar tvf "$tgz"
check "tarball holds one top directory with README.md, blurbsmith, blurbsmith.1, blurbsmith.cfg.sample" \
  test "$(members "$tgz")" = "$top/README.md"$'\n'"$top/blurbsmith"$'\n'"$top/blurbsmith.1"$'\n'"$top/blurbsmith.cfg.sample"
lin=$scratch/lin
unpack "$tgz" "$lin"
dir=$lin/$top
check "tarball: blurbsmith is the built one" cmp -s "$dir/blurbsmith" build/native/src/blurbsmith
check "tarball: blurbsmith is executable" test -x "$dir/blurbsmith"
check "tarball: README.md is README.md" cmp -s "$dir/README.md" README.md
check "tarball: blurbsmith.cfg.sample is the Linux sample" cmp -s "$dir/blurbsmith.cfg.sample" sample/blurbsmith.cfg.linux.sample
check "tarball: blurbsmith.cfg.sample has Linux paths" has_linux_paths "$dir/blurbsmith.cfg.sample"
check "tarball: blurbsmith.cfg.sample has CR LF line ends" crlf_only "$dir/blurbsmith.cfg.sample"
check "tarball: blurbsmith.1 is a manual page of version $version" \
  grep -q "^\.TH BLURBSMITH 1 .*\"Blurbsmith $version\"" "$dir/blurbsmith.1"
check "tarball: blurbsmith.1 has no unfilled @VARIABLE@" bash -c '! grep -q "@[A-Z_]*@" "$1"' _ "$dir/blurbsmith.1"

# The packaged program, run in its unpacked directory with the packaged
# sample as its settings (its paths moved under a directory that does not
# exist): it shows the package's version, reads the sample without an error,
# takes the LOGFILE path whole, and stops where the log cannot be created.
sed "s|/home/fido/|$scratch/none/|" "$dir/blurbsmith.cfg.sample" >"$dir/blurbsmith.cfg"
set +e
(cd "$scratch" && "$dir/blurbsmith") >"$scratch/console.txt"
code=$?
set -e
expected=$'\n'"Blurbsmith ver $version started:"$'\n  Preparing...\n'
expected+="  Reading \"$dir/blurbsmith.cfg\"..."$'\n'
expected+="  Opening log ($scratch/none/log/blurbsmith.log.."$'\n'
expected+="Error: Can't create file \"$scratch/none/log/blurbsmith.log\""$'\n\n'
check "packaged blurbsmith reads the packaged sample (exit 255 at the log)" \
  test "$code:$(cat -v "$scratch/console.txt")" = "255:$(printf '%s' "$expected" | cat -v)"

if ((failures)); then
  echo "== $failures package checks failed"
  exit 1
fi
echo "== Packages: all checks passed"
