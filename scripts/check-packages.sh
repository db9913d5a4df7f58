#!/usr/bin/env bash
# Makes the packages with cpack and checks what they hold: the 64-bit
# Windows zip from build/windows, the 32-bit one from build/windows32 and
# the Linux tarball from build/native (scripts/test.sh builds all three
# first). Each package is unpacked into a directory of its own and checked
# by itself: its layout, its documents, its program, and the manual's
# recipe for trying the program on the bundled sample, its commands taken
# from the manual's text and run in the unpacked package as a sysop types
# them (the Linux ones under sh with an empty environment, the Windows ones
# as a batch file under wine's cmd). The 32-bit program cannot run here: it
# is checked statically for Windows XP (scripts/check-win32-exe.sh).
# Needs CMake (`cmake -E tar` lists and unpacks zip files too), binutils,
# mingw-w64's i686 compiler and binutils, groff and wine.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
# Text is compared byte for byte (the sample holds code page 866).
export LC_ALL=C

# The one place the version is defined.
version=$(sed -n 's/^project(Blurbsmith VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "no project version in CMakeLists.txt" >&2; exit 1; }

scratch=$(mktemp -d /tmp/blurbsmith-packages.XXXXXX)
trap 'rm -rf "$scratch"' EXIT

export WINEDEBUG=-all
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)

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
# Every line ends in LF alone, as Linux editors write them.
lf_only() {
  [ "$(tr -cd '\r' <"$1" | wc -c)" = 0 ] && [ "$(tr -cd '\n' <"$1" | wc -c)" -gt 0 ] &&
    [ "$(tail -c 1 "$1" | wc -l)" = 1 ]
}
ascii_only() { [ "$(LC_ALL=C tr -d '\000-\177' <"$1" | wc -c)" = 0 ]; }
# No line longer than 79 characters, its line end not counted.
lines_fit() { LC_ALL=C awk '{ sub(/\r$/, "") } length($0) > 79 { bad = 1 } END { exit bad }' "$1"; }
has_linux_paths() {
  [ "$(grep -cE '^(FASTECHOCFG|LOGFILE|ECHOLIST) +/[^ ]+'$'\r''?$' "$1")" = 3 ] &&
    ! grep -qE '[A-Za-z]:\\|\\' "$1"
}
has_windows_paths() {
  [ "$(grep -cE '^(FASTECHOCFG|LOGFILE|ECHOLIST) +C:\\' "$1")" = 3 ]
}
# The sample's settings name its files relative to their own directory, and
# show how to switch to the backbone list.
names_sample_files() {
  local text
  text=$(tr -d '\r' <"$1")
  grep -qx 'FASTECHOCFG  *fastecho.cfg' <<<"$text" && grep -qx 'LOGFILE  *blurbsmith.log' <<<"$text" &&
    grep -qx 'ECHOLIST  *echos.lst' <<<"$text" && grep -qx ';ECHOLIST  *backbone.na' <<<"$text" &&
    grep -qx ';ECHOLISTFORMAT  *NA' <<<"$text"
}
same_text_as() { tr -d '\r' <"$1" | cmp -s - "$2"; }
# Whether a file was created, removed or changed under a directory, but for
# the scratch copy trial that the manual's recipe makes there.
snapshot() {
  (cd "$1" && find . -path ./trial -prune -o -printf '%y %m %s %p\n' | LC_ALL=C sort &&
    find . -path ./trial -prune -o -type f -exec sha256sum {} + | LC_ALL=C sort)
}
# The manual page's rendering holds NAME, SYNOPSIS and every section of
# the manual it is written from (headings underlined with '='), in upper
# case.
man_has_sections() {  # man_has_sections PAGE MANUAL
  local rendered heading headings
  rendered=$(groff -man -Tutf8 "$1" 2>/dev/null | sed 's/\x1b\[[0-9;]*m//g; s/.\x08//g')
  mapfile -t headings < <(LC_ALL=C awk 'NR > 1 && /^=+$/ && length($0) == length(prev) { print toupper(prev) } { prev = $0 }' "$2")
  for heading in NAME SYNOPSIS "${headings[@]}"; do
    grep -qxF -- "$heading" <<<"$rendered" || { echo "  no section $heading" >&2; return 1; }
  done
}
# Every line of the manual's literal blocks shows in the rendered manual
# page as it is (backslashes, quotes, dashes and leading dots included).
man_shows_literal_lines() {  # man_shows_literal_lines PAGE MANUAL
  local rendered line
  rendered=$(groff -man -Tutf8 -rLL=200n "$1" 2>/dev/null |
    sed 's/\x1b\[[0-9;]*m//g; s/.\x08//g; s/^ *//; s/ *$//')
  while IFS= read -r line; do
    line=$(sed 's/^ *//; s/ *$//' <<<"$line")
    grep -qxF -- "$line" <<<"$rendered" || { echo "  not shown as it is: $line" >&2; return 1; }
  done < <(grep '^    ' "$2")
}
renders_without_warnings() {
  local warnings
  warnings=$(groff -man -Tutf8 -ww -z "$1" 2>&1) && [ -z "$warnings" ] ||
    { echo "$warnings" | sed 's/^/  /' >&2; return 1; }
}

# `cmake --install` of a build puts the package's files, and only those,
# into the prefix: the same bytes, but for blurbsmith.exe, which a strip
# stamps anew.
installs_as_packaged() {  # installs_as_packaged BUILD_DIR PACKAGE_DIR
  local prefix=$scratch/install-${1##*/}
  cmake --install "$1" --prefix "$prefix" >/dev/null &&
    diff <(cd "$prefix" && find . | sort) <(cd "$2" && find . | sort) >&2 &&
    diff -r -x blurbsmith.exe "$prefix" "$2" >&2
}

# Runs a program: natively with an empty environment, or blurbsmith.exe
# under wine. Standard output goes to the file OUT, the exit code to the
# variable `code`. On a loaded machine wine now and then fails to start a
# program (exit code 1, nothing written); the program never ends with 1 and
# writes its first line at once, so such a start is tried again (three
# starts at most).
run() {  # run OUT PROGRAM ARGUMENTS...
  local out=$1 program=$2 try
  shift 2
  for try in 1 2 3; do
    code=0
    case $program in
      *.exe) "$wine" "$program" "$@" >"$out" 2>>"$scratch/wine-stderr.log" || code=$? ;;
      *) env -i "$program" "$@" >"$out" 2>&1 || code=$? ;;
    esac
    [ "$code" = 1 ] && [ ! -s "$out" ] && [[ $program == *.exe ]] || return 0
    echo "  (wine did not start the program; try $((try + 1)))" >&2
  done
}

# "TAG<TAB>DESCRIPTION" for each area row of a listing, each "Would add"
# line of a preview, each "Added" tag of a run.
listed_areas() {
  LC_ALL=C tr -d '\r' <"$1" | LC_ALL=C sed -n 's/^ *[0-9][0-9]*  *[0-9][0-9]*  \([^ ][^ ]*\) *\(.*\)$/\1\t\2/p'
}
would_add() {
  LC_ALL=C tr -d '\r' <"$1" | LC_ALL=C sed -n 's/^   Would add description for area \([^ ]*\): "\(.*\)"$/\1\t\2/p'
}
added_tags() { LC_ALL=C tr -d '\r' <"$1" | LC_ALL=C sed -n 's/^   Added description for area \(.*\)$/\1/p'; }
count_line() { LC_ALL=C tr -d '\r' <"$1" | LC_ALL=C sed -n "s/^  Description $2 added to \([0-9]*\) areas\$/\1/p"; }

# Every line of the file ENTRIES is a whole line of the file LISTING.
all_in() {  # all_in LISTING ENTRIES
  local line
  while IFS= read -r line; do
    grep -qxF -- "$line" "$1" || { echo "  not listed: $line" >&2; return 1; }
  done <"$2"
}
# The rows of two listings other than those of the given entries are equal.
same_rows_besides() {  # same_rows_besides LISTING1 ENTRIES1 LISTING2 ENTRIES2
  cmp -s <(LC_ALL=C grep -vxF -f "$2" "$1") <(LC_ALL=C grep -vxF -f "$4" "$3")
}

# The commands of the manual's recipe for trying the sample on SYSTEM
# (Windows or Linux): the literal block after the line of its section "Try
# it safely first" that ends in "On SYSTEM:". Read from the package's own
# manual, README.txt or README, as the sysop reads them.
recipe_commands() {  # recipe_commands MANUAL SYSTEM
  awk -v marker="On $2:" '
    { sub(/\r$/, "") }
    /^Try it safely first$/ { section = 1; getline; next }
    section && /^=+$/ { exit }
    section && substr($0, length($0) - length(marker) + 1) == marker { block = 1; next }
    block && /^    / { print substr($0, 5); found = 1; next }
    block && found { exit }
  ' "$1"
}

# Runs the manual's recipe for SYSTEM in PACKAGE_DIR, its commands one after
# another as the package's manual writes them: a shell script under sh with
# an empty environment but for PATH (Linux), a batch file under wine's cmd
# (Windows). With no input, for two minutes and 20 MB of files at most: a
# command that asks a question must neither hang the check nor fill the
# disk asking it again and again. After each command the script writes
# "### EXIT-CODE". Sets `recipe` to the commands and `codes` to their exit
# codes; the output of command N goes to the file OUT/N.
# On a loaded machine wine now and then fails to start a program (exit code
# 1, nothing written; the program never ends with 1): then the whole recipe
# runs again, three times at most, which it may, since it begins by
# removing its scratch copy.
run_recipe() {  # run_recipe OUT PACKAGE_DIR SYSTEM
  local out=$1 package=$2 system=$3 command try n retry manual
  manual=$package/README
  [ "$system" = Windows ] && manual=$package/README.txt
  mapfile -t recipe < <(recipe_commands "$manual" "$system")
  for try in 1 2 3; do
    rm -rf "$out"
    mkdir -p "$out"
    case $system in
      Linux)
        for command in "${recipe[@]}"; do printf '%s\necho "### $?"\n' "$command"; done >"$out/recipe.sh"
        (cd "$package" && ulimit -f 20480 && timeout 120 env -i PATH=/usr/bin:/bin /bin/sh "$out/recipe.sh") \
          </dev/null >"$out/all" 2>&1 || true
        ;;
      Windows)
        {
          printf '@echo off\r\n'
          for command in "${recipe[@]}"; do printf '%s\r\necho ### %%ERRORLEVEL%%\r\n' "$command"; done
        } >"$out/recipe.bat"
        # Wine's drive Z: is the root of the file system.
        (cd "$package" && ulimit -f 20480 && timeout 120 "$wine" cmd /c "Z:${out//\//\\}\\recipe.bat") \
          </dev/null >"$out/all" 2>>"$scratch/wine-stderr.log" || true
        ;;
    esac
    LC_ALL=C awk -v out="$out" '
      /^### [0-9]+\r?$/ { sub(/\r$/, ""); print $2 > (out "/codes"); n++; next }
      { print > (out "/" (n + 0)) }
    ' "$out/all"
    touch "$out/codes"
    mapfile -t codes <"$out/codes"
    retry=0
    for n in "${!recipe[@]}"; do
      touch "$out/$n"
      [[ $system == Windows && ${codes[n]:-} == 1 && ! -s $out/$n && ${recipe[n]} == *blurbsmith* ]] && retry=1
    done
    ((retry)) || return 0
    echo "  (wine did not start the program; the recipe again, try $((try + 1)))" >&2
  done
}

# The exit codes of the last recipe run: one 0 for each of its commands.
recipe_all_zero() { test "${#codes[@]}" = "${#recipe[@]}" && ! grep -qvx 0 <(printf '%s\n' "${codes[@]}"); }

# The manual's recipe run in an unpacked package: it copies sample/ to the
# scratch copy trial, goes there and runs the program from the directory
# above with -c blurbsmith.cfg: the listing, the preview, the job, the
# listing again. Then the recipe once more, as the manual says to start
# afresh: the same commands, from the same directory.
try_recipe() {  # try_recipe LABEL PACKAGE_DIR SYSTEM
  local label=$1 package=$2 system=$3
  local work=$package/trial out=$scratch/out-$label round1=$scratch/recipe-$label-1
  local round2=$scratch/recipe-$label-2 round step n steps="" names=(list1 preview job list2)
  local failures_before=$failures
  snapshot "$package" >"$out.package-before"
  run_recipe "$round1" "$package" "$system"
  snapshot "$package" >"$out.package-after"

  check "$label: the manual's $system recipe copies the sample and runs the program" test "${#recipe[@]}" -ge 6
  check "$label: each command of the recipe exits with 0" recipe_all_zero
  # The program's runs, named in order.
  for n in "${!recipe[@]}"; do
    [[ ${recipe[n]%% *} == *blurbsmith ]] || continue
    steps+="${steps:+|}${recipe[n]#* }"
    ((${#names[@]})) && cp "$round1/$n" "$out.${names[0]}" && names=("${names[@]:1}")
  done
  check "$label: the recipe runs the program with -c blurbsmith.cfg: -l, -n, the job, -l" \
    test "$steps" = "-c blurbsmith.cfg -l|-c blurbsmith.cfg -n|-c blurbsmith.cfg|-c blurbsmith.cfg -l"
  for step in list1 preview job list2; do touch "$out.$step"; done

  listed_areas "$out.list1" >"$out.areas1"
  listed_areas "$out.list2" >"$out.areas2"
  would_add "$out.preview" >"$out.would"
  sed 's/\t.*/\t/' "$out.would" >"$out.would-empty"
  cut -f 1 "$out.would" >"$out.would-tags"
  added_tags "$out.job" >"$out.added-tags"

  check "$label: the first listing shows the sample's areas" test "$(wc -l <"$out.areas1")" -ge 5
  check "$label: the preview announces descriptions" test -s "$out.would"
  check "$label: the first listing shows those areas without description" all_in "$out.areas1" "$out.would-empty"
  check "$label: the job adds exactly the areas the preview announced" cmp -s "$out.would-tags" "$out.added-tags"
  check "$label: the preview's count is the job's" \
    test "$(count_line "$out.preview" "would be"):$(count_line "$out.job" was)" = \
    "$(wc -l <"$out.added-tags"):$(wc -l <"$out.added-tags")"
  check "$label: the second listing shows the descriptions the preview announced" \
    all_in "$out.areas2" "$out.would"
  check "$label: the other areas are listed as before" \
    same_rows_besides "$out.areas1" "$out.would-empty" "$out.areas2" "$out.would"
  check "$label: the reserve copy \$FE_CFG\$.QZ\$ in trial is the sample's fastecho.cfg" \
    cmp -s "$work/\$FE_CFG\$.QZ\$" "$package/sample/fastecho.cfg"
  check "$label: the log trial/blurbsmith.log tells each description added" \
    test "$(grep -c '^+ .* Added description for area ' "$work/blurbsmith.log" || true)" = "$(wc -l <"$out.added-tags")"
  check "$label: nothing but trial was created or changed in the unpacked package" \
    cmp -s "$out.package-before" "$out.package-after"

  # Starting afresh: trial is the sample again, with a new log.
  run_recipe "$round2" "$package" "$system"
  for n in "${!recipe[@]}"; do
    [[ ${recipe[n]%% *} == *blurbsmith ]] && break
  done
  check "$label: the recipe again: each command exits with 0" recipe_all_zero
  check "$label: the recipe again: the first listing is the first round's (trial made anew)" \
    cmp -s <(listed_areas "$round2/$n") "$out.areas1"
  check "$label: the recipe again: trial/blurbsmith.log holds this round's run only" \
    test "$(grep -c '^+ .* Added description for area ' "$work/blurbsmith.log" || true)" = "$(wc -l <"$out.added-tags")"
  if ((failures > failures_before)); then
    for round in "$round1" "$round2"; do
      echo "  -- the manual's $system recipe, ${round##*-}. round: each command, its output, its exit code"
      for n in "${!recipe[@]}"; do
        echo "  \$ ${recipe[n]}"
        LC_ALL=C tr -d '\r' <"$round/$n" | sed -n '1,30s/^/  /p'
        echo "  (exit code $(sed -n "$((n + 1))p" "$round/codes"))"
      done
    done
  fi
  rm -rf "$work"
}

echo "== Windows package (build/windows)"
(cd build/windows && cpack) >"$scratch/cpack-windows.log" || { cat "$scratch/cpack-windows.log"; exit 1; }
zip=$root/build/windows/blurbsmith-$version-win64.zip
check "blurbsmith-$version-win64.zip made" test -f "$zip"
cmake -E tar tvf "$zip"
check "zip holds README.txt, blurbsmith.cfg.sample, blurbsmith.exe and sample/, flat" \
  test "$(members "$zip")" = "$(printf '%s\n' README.txt blurbsmith.cfg.sample blurbsmith.exe \
    sample/backbone.na sample/blurbsmith.cfg sample/echos.lst sample/fastecho.cfg)"
# Unpacked where no path is written in advance (with a blank in its name):
# the manual's recipe must work from wherever the package was unpacked.
win="$scratch/unpacked here/win64"
unpack "$zip" "$win"
check "cmake --install build/windows puts the zip's files" installs_as_packaged build/windows "$win"
check "zip: README.txt is pure ASCII" ascii_only "$win/README.txt"
check "zip: README.txt has CR LF line ends" crlf_only "$win/README.txt"
check "zip: README.txt has no line over 79 characters" lines_fit "$win/README.txt"
check "zip: README.txt is the manual doc/manual.txt" same_text_as "$win/README.txt" doc/manual.txt
check "zip: blurbsmith.cfg.sample is the Windows sample" cmp -s "$win/blurbsmith.cfg.sample" sample/blurbsmith.cfg.sample
check "zip: blurbsmith.cfg.sample has Windows paths" has_windows_paths "$win/blurbsmith.cfg.sample"
check "zip: blurbsmith.cfg.sample has CR LF line ends" crlf_only "$win/blurbsmith.cfg.sample"
for name in blurbsmith.cfg echos.lst backbone.na; do
  check "zip: sample/$name has CR LF line ends" crlf_only "$win/sample/$name"
  check "zip: sample/$name is the sample's" same_text_as "$win/sample/$name" "sample/data/$name"
done
check "zip: sample/fastecho.cfg is the sample's" cmp -s "$win/sample/fastecho.cfg" sample/data/fastecho.cfg
check "zip: sample/blurbsmith.cfg names the sample's files and the backbone list" \
  names_sample_files "$win/sample/blurbsmith.cfg"
run "$scratch/version-win" "$win/blurbsmith.exe" --version
check "zip: blurbsmith.exe runs under wine and is version $version (line end CR LF)" \
  test "$code:$(cat -v "$scratch/version-win")" = "0:Blurbsmith $version^M"
try_recipe zip "$win" Windows
check "zip: the program's console lines end in CR LF" crlf_only "$scratch/out-zip.job"

echo "== 32-bit Windows package (build/windows32): checked, not run"
(cd build/windows32 && cpack) >"$scratch/cpack-windows32.log" || { cat "$scratch/cpack-windows32.log"; exit 1; }
zip32=$root/build/windows32/blurbsmith-$version-win32.zip
check "blurbsmith-$version-win32.zip made" test -f "$zip32"
cmake -E tar tvf "$zip32"
check "win32 zip holds the win64 zip's files, flat" test "$(members "$zip32")" = "$(members "$zip")"
win32="$scratch/unpacked here/win32"
unpack "$zip32" "$win32"
check "cmake --install build/windows32 puts the win32 zip's files" installs_as_packaged build/windows32 "$win32"
check "win32 zip: README.txt, blurbsmith.cfg.sample and sample/ are the win64 zip's" \
  diff -r -x blurbsmith.exe "$win32" "$win"
check "win32 zip: blurbsmith.exe is stripped (no debugging sections)" \
  bash -c '! objdump -h "$1" | grep -q "\.debug_"' _ "$win32/blurbsmith.exe"
echo "     blurbsmith.exe: $(wc -c <"$win32/blurbsmith.exe") bytes"
check "win32 zip: blurbsmith.exe is a PE32 console program for i386 that Windows XP loads (scripts/check-win32-exe.sh)" \
  scripts/check-win32-exe.sh "$win32/blurbsmith.exe"
# The static check refuses what XP cannot load: the 64-bit program, and a
# 32-bit one made for Vista that calls GetTickCount64 and imports advapi32.
refused_by_xp_check() {  # refused_by_xp_check PROGRAM FAULT...
  local report fault
  report=$(scripts/check-win32-exe.sh "$1" 2>&1 >/dev/null) && { echo "  $1 passed" >&2; return 1; }
  shift
  for fault in "$@"; do
    grep -qF -- "$fault" <<<"$report" || { echo "  no fault \"$fault\" in:" >&2; echo "$report" >&2; return 1; }
  done
}
check "check-win32-exe.sh refuses the 64-bit blurbsmith.exe" \
  refused_by_xp_check "$win/blurbsmith.exe" "not pei-i386" "not 010b (PE32)"
printf '#include <windows.h>\nint main() { return int(GetTickCount64() + GetUserNameA(nullptr, nullptr)); }\n' \
  >"$scratch/vista.cpp"
i686-w64-mingw32-g++-win32 -D_WIN32_WINNT=0x0600 -o "$scratch/vista.exe" "$scratch/vista.cpp" -ladvapi32 \
  -Wl,--major-subsystem-version,6,--minor-subsystem-version,0,--major-os-version,6,--minor-os-version,0
check "check-win32-exe.sh refuses a program for Vista" \
  refused_by_xp_check "$scratch/vista.exe" "subsystem version 6.0" "operating system version 6.0" \
  "imports from ADVAPI32.dll" "KERNEL32.dll!GetTickCount64"

echo "== Linux package (build/native)"
(cd build/native && cpack) >"$scratch/cpack-native.log" || { cat "$scratch/cpack-native.log"; exit 1; }
top=blurbsmith-$version-linux-x86_64
tgz=$root/build/native/$top.tar.gz
check "$top.tar.gz made" test -f "$tgz"
cmake -E tar tvf "$tgz"
check "tarball holds one top directory with README, blurbsmith, blurbsmith.1, blurbsmith.cfg.sample and sample/" \
  test "$(members "$tgz")" = "$(printf "$top/%s\n" README blurbsmith blurbsmith.1 blurbsmith.cfg.sample \
    sample/backbone.na sample/blurbsmith.cfg sample/echos.lst sample/fastecho.cfg)"
lin="$scratch/unpacked here/tarball"
unpack "$tgz" "$lin"
dir=$lin/$top
check "cmake --install build/native puts the tarball's files" installs_as_packaged build/native "$dir"
check "tarball: README is pure ASCII" ascii_only "$dir/README"
check "tarball: README has LF line ends" lf_only "$dir/README"
check "tarball: README has no line over 79 characters" lines_fit "$dir/README"
check "tarball: README is the zip's README.txt" same_text_as "$win/README.txt" "$dir/README"
check "tarball: README is the manual doc/manual.txt" cmp -s "$dir/README" doc/manual.txt
check "tarball: blurbsmith.1 is a manual page of version $version" \
  grep -q "^\.TH BLURBSMITH 1 .*\"Blurbsmith $version\"" "$dir/blurbsmith.1"
check "tarball: blurbsmith.1 has no unfilled @VARIABLE@" bash -c '! grep -q "@[A-Z_]*@" "$1"' _ "$dir/blurbsmith.1"
check "tarball: groff renders blurbsmith.1 without warnings" renders_without_warnings "$dir/blurbsmith.1"
check "tarball: blurbsmith.1 shows NAME, SYNOPSIS and every section of README" \
  man_has_sections "$dir/blurbsmith.1" "$dir/README"
check "tarball: blurbsmith.1 shows README's literal blocks as they are" \
  man_shows_literal_lines "$dir/blurbsmith.1" "$dir/README"
check "tarball: blurbsmith is executable" test -x "$dir/blurbsmith"
check "tarball: blurbsmith is linked statically (no dynamic section)" \
  bash -c 'LC_ALL=C readelf -d "$1" | grep -q "There is no dynamic section"' _ "$dir/blurbsmith"
check "tarball: blurbsmith is stripped (no .symtab)" \
  bash -c 'LC_ALL=C readelf -S "$1" >/dev/null && ! LC_ALL=C readelf -S "$1" | grep -q "\.symtab"' _ "$dir/blurbsmith"
echo "     blurbsmith: $(wc -c <"$dir/blurbsmith") bytes"
run "$scratch/version-lin" "$dir/blurbsmith" --version
check "tarball: blurbsmith runs with an empty environment and is version $version" \
  test "$code:$(cat "$scratch/version-lin")" = "0:Blurbsmith $version"
check "tarball: blurbsmith.cfg.sample is the Linux sample" cmp -s "$dir/blurbsmith.cfg.sample" sample/blurbsmith.cfg.linux.sample
check "tarball: blurbsmith.cfg.sample has Linux paths" has_linux_paths "$dir/blurbsmith.cfg.sample"
check "tarball: blurbsmith.cfg.sample has Linux line ends" lf_only "$dir/blurbsmith.cfg.sample"
for name in blurbsmith.cfg echos.lst backbone.na; do
  check "tarball: sample/$name has LF line ends" lf_only "$dir/sample/$name"
  check "tarball: sample/$name is the zip's, with LF" same_text_as "$win/sample/$name" "$dir/sample/$name"
done
check "tarball: sample/fastecho.cfg is the zip's" cmp -s "$dir/sample/fastecho.cfg" "$win/sample/fastecho.cfg"
try_recipe tarball "$dir" Linux

# The packaged program, run in a copy of its unpacked directory with the
# packaged sample settings as its settings (their paths moved under a
# directory that does not exist): it reads them without an error, takes the
# LOGFILE path whole, and stops where the log cannot be created.
cp -R "$dir" "$scratch/installed"
sed "s|/home/fido/|$scratch/none/|" "$dir/blurbsmith.cfg.sample" >"$scratch/installed/blurbsmith.cfg"
cd "$scratch"
run "$scratch/console.txt" "$scratch/installed/blurbsmith"
cd "$root"
expected=$'\n'"Blurbsmith ver $version started:"$'\n  Preparing...\n'
expected+="  Reading \"$scratch/installed/blurbsmith.cfg\"..."$'\n'
expected+="  Opening log ($scratch/none/log/blurbsmith.log.."$'\n'
expected+="Error: Can't create file \"$scratch/none/log/blurbsmith.log\" (no such directory)"$'\n\n'
check "tarball: blurbsmith reads its blurbsmith.cfg.sample without an error (exit 255 at the log)" \
  test "$code:$(cat -v "$scratch/console.txt")" = "255:$(printf '%s' "$expected" | cat -v)"

if ((failures)); then
  echo "== $failures package checks failed"
  exit 1
fi
echo "== Packages: all checks passed"
