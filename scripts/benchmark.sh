#!/usr/bin/env bash
# Benchmark: Blurbsmith on large generated nodes, the native program and
# blurbsmith.exe under wine, side by side with a reference and, when asked,
# with an earlier version of the program.
#
# The program reads the echo list once per run, whatever the number of
# areas; a design that read it from its first line for every area would
# cost the areas times the lines. The reference is what that design cannot
# beat: `wc -l` reading exactly the bytes such a reading from the top reads
# (make_fixture counts them in scan.txt: the whole list for an area it does
# not describe, the list up to its line for one it does). The list is named
# on wc's command line once for every whole reading; the partial ones are
# added up, make as many more whole lists as they hold, and the remainder is
# a prefix of the list written to a file of its own, named once.
#
# Writing cases ("AREAS writes LINES", "AREAS writes-na LINES"): the node a
# list that describes most of its areas meets. AREAS eligible areas, every
# other one described already, and a list of LINES lines, comma (FASTECHO)
# or NA, that gives half of them, picked at random, a new description at
# random places (its other lines other echoes, a comment every 50 lines;
# some comma lines under HOLD or DOWN), read with FORCEDESC YES: each run
# writes AREAS/2 descriptions and their "+" lines. They run for 1024 and
# 4096 areas and 5000 and 50000 lines: the growth table. The 50 MB list
# (700000 lines) shows that memory is bounded by the areas, not by the
# list; no reference is timed for it, nor for 50000 lines (seconds each).
#
# List cases ("4096 FORMAT"): 4096 eligible areas and a 5000-line list (CR
# LF, with comment lines) that lists the even-numbered ones, in each list
# format and encoding: FASTECHO lines with ASCII descriptions (some with
# HOLD or DOWN), the same node as an NA list, a FIDOCONFIG area file and a
# hub's %LIST reply (AREAFIX), FASTECHO lines with Russian descriptions in
# code page 866 and in UTF-8, and NA lines in code page 1251 (AUTO places
# the list by its letters and translates it).
#
# Open cases: the 4096-area node with a 10-line list, where reading the list
# costs next to nothing and what the walk and the lookups cost besides
# shows, against the same node with no ECHOLIST.
#
# Each case runs each program RUNS times (default 5), each run on a fresh
# copy of the FastEcho file (a run fills the descriptions, so a second run
# on the same file would find nothing to do) and appending to a log that
# an earlier run left, as on a real node, interleaved with the reference.
# Reported: the median whole-process wall time (under wine: of the wine
# process, which includes starting the Windows program) and the largest
# peak resident set size. Both builds must write the same file in every
# case, or the benchmark stops.
#
# Usage: scripts/benchmark.sh      (RUNS=N scripts/benchmark.sh for N runs)
# CASES="4096 na;4096 writes 5000" runs only those cases (and the open
# cases); PROGRAMS=DIR times the blurbsmith and blurbsmith.exe in DIR
# instead of building them; BEFORE=DIR times those of DIR as well, side by
# side in the same runs (an earlier version, built from its own checkout;
# not for the 50 MB list, which a version that reads the list for every
# area would take minutes over).
# It builds the native Release program (linked statically, as shipped) into
# build/bench and the Windows Release program into build/bench-windows. It
# runs wine in WINEPREFIX (wine's default when unset) with a wine server of
# its own for the whole run. On a fresh Debian machine it installs what it
# needs first.
set -euo pipefail
cd "$(dirname "$0")/.."

runs=${RUNS:-5}
big_lines=700000  # about 50 MB of list
cases=("1024 writes 5000" "1024 writes 50000" "4096 writes 5000" "4096 writes 50000"
  "1024 writes-na 5000" "1024 writes-na 50000" "4096 writes-na 5000" "4096 writes-na 50000"
  "4096 writes $big_lines"
  "4096 fastecho" "4096 na" "4096 fidoconfig" "4096 areafix" "4096 cp866" "4096 utf8" "4096 cp1251")
[ -z "${CASES:-}" ] || IFS=';' read -r -a cases <<<"$CASES"
list_lines=5000
open_areas=4096
open_lines=10
export LC_ALL=C WINEDEBUG=-all

scripts/install-deps.sh
cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DBLURBSMITH_STATIC=ON >/dev/null
cmake --build build/bench --target blurbsmith make_fixture >/dev/null
cmake -S . -B build/bench-windows -G Ninja -DCMAKE_BUILD_TYPE=Release -DBLURBSMITH_TESTS=OFF \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" >/dev/null
cmake --build build/bench-windows --target blurbsmith >/dev/null
programs=${PROGRAMS:-}
native_program=${programs:-build/bench/src}/blurbsmith
windows_program=${programs:-build/bench-windows/src}/blurbsmith.exe
before=${BEFORE:-}
[ -z "$before" ] || [ -x "$before/blurbsmith" ] || { echo "BEFORE=$before holds no blurbsmith" >&2; exit 1; }

WINE=$(command -v wine64 || echo /usr/lib/wine/wine64)
WINESERVER=$(command -v wineserver || echo /usr/lib/wine/wineserver)
root=$(mktemp -d /tmp/blurbsmith-bench.XXXXXX)
# One wine server for the whole run, so that no run pays for starting it.
export WINEPREFIX="${WINEPREFIX:-$HOME/.wine}"
[ -f "$WINEPREFIX/system.reg" ] || { "$WINE" wineboot --init >/dev/null 2>&1 || true; "$WINESERVER" -w || true; }
"$WINESERVER" -p >/dev/null 2>&1 || true
trap '"$WINESERVER" -k >/dev/null 2>&1 || true; rm -rf "$root"' EXIT
"$WINE" cmd /c exit 0 >/dev/null 2>&1 || true

# Runs "$@" once; sets run_ms (wall time in ms, 3 decimals) and run_kb (peak
# RSS in KB). /usr/bin/time wraps the programs and the reference alike.
time_run() {
  local start end
  start=$(date +%s%N)
  /usr/bin/time -f %M -o "$root/rss" "$@" >/dev/null 2>&1
  end=$(date +%s%N)
  run_ms=$(awk -v ns=$((end - start)) 'BEGIN { printf "%.3f", ns / 1e6 }')
  run_kb=$(tail -n 1 "$root/rss")
}

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
ratio() { awk -v p="$1" -v w="$2" 'BEGIN { if (w > 0) printf "%.2f", p / w; else printf "-" }'; }
mb() { awk -v k="$1" 'BEGIN { printf "%.1f", k / 1024 }'; }

# Sets up case directory $1 for AREAS=$2, LINES=$3 (0: no ECHOLIST) and
# case kind $4: prog/ holds the programs beside their settings (before/ the
# earlier version's), work/ the files they use.
setup_case() {
  local dir=$1 areas=$2 lines=$3 kind=${4:-fastecho} echolist="" setting force=NO
  mkdir -p "$dir/prog" "$dir/work" "$dir/fixture"
  cp "$native_program" "$windows_program" "$dir/prog/"
  case $kind in
    na | cp1251 | writes-na) setting=NA ;;
    fidoconfig) setting=FIDOCONFIG ;;
    areafix) setting=AREAFIX ;;
    *) setting=FASTECHO ;;
  esac
  case $kind in writes*) force=YES ;; esac
  # The settings name only what every version knows: ECHOLISTFORMAT where
  # it is not the default.
  ((lines > 0)) && echolist="ECHOLIST echos.lst\r\n"
  [ $setting = FASTECHO ] || echolist+="ECHOLISTFORMAT $setting\r\n"
  printf "FASTECHOCFG fastecho.cfg\r\nLOGFILE blurbsmith.log\r\n${echolist}FORCEDESC $force\r\nUPCASEFIRSTDESCCHAR YES\r\n" \
    > "$dir/prog/blurbsmith.cfg"
  if [ -n "$before" ]; then
    mkdir -p "$dir/before"
    cp "$before/blurbsmith" "$before/blurbsmith.exe" "$dir/prog/blurbsmith.cfg" "$dir/before/"
  fi
  case $kind in
    writes) build/bench/tools/make_fixture writes "$dir/fixture" "$areas" "$lines" fastecho ;;
    writes-na) build/bench/tools/make_fixture writes "$dir/fixture" "$areas" "$lines" na ;;
    *) build/bench/tools/make_fixture bench "$dir/fixture" "$areas" "$((lines > 0 ? lines : 1))" "$kind" ;;
  esac
  cp "$dir/fixture/echos.lst" "$dir/work/"
}

# The log as a node has it: there from earlier runs, so that each run
# appends to it (every line at the end of the file as it is then).
fresh_log() { printf '\r\n> 10 Dec 26 04:00:00 BLSM Blurbsmith ver 0.2 finished.\r\n' > "$1"; }

# One untimed run of a program in case directory $1, on a fresh FastEcho
# file: warms the page cache and checks that it added $2 descriptions. The
# resulting FastEcho file is kept as $3 for comparing the builds.
check_run() {
  local dir=$1 expected=$2 result=$3
  shift 3
  cp "$dir/fixture/fastecho.cfg" "$dir/work/"
  fresh_log "$dir/work/blurbsmith.log"
  (cd "$dir/work" && "$@" > "$dir/console")
  grep -q "Description was added to $expected areas" "$dir/console" || {
    echo "unexpected result of $* in $dir (expected $expected descriptions):" >&2
    tail -n 5 "$dir/console" >&2
    exit 1
  }
  cp "$dir/work/fastecho.cfg" "$result"
}

# Times one run of "$@" in the work directory of $dir on a fresh FastEcho
# file; appends its time to the array named $1 and keeps the largest peak
# in the variable named $2.
timed() {
  local -n times=$1 peak=$2
  shift 2
  cp "$dir/fixture/fastecho.cfg" . && fresh_log blurbsmith.log
  time_run "$@"
  times+=("$run_ms")
  ((run_kb > peak)) && peak=$run_kb
  return 0
}

# Times the programs (and the earlier version's when $with_before is set)
# and, when given, the reference in case directory $1, interleaved, RUNS
# times each. Sets native_ms, wine_ms, before_native_ms, before_wine_ms,
# ref_ms (medians; "-" when not timed) and native_kb, wine_kb (largest
# peaks). The reference arguments follow $1.
time_case() {
  dir=$1
  shift
  local native=() wine=() before_native=() before_wine=() ref=() r
  native_kb=0 wine_kb=0
  local before_kb=0
  cd "$dir/work"
  for ((r = 0; r < runs; r++)); do
    timed native native_kb "$dir/prog/blurbsmith"
    timed wine wine_kb "$WINE" "$dir/prog/blurbsmith.exe"
    if [ -n "$with_before" ]; then
      timed before_native before_kb "$dir/before/blurbsmith"
      timed before_wine before_kb "$WINE" "$dir/before/blurbsmith.exe"
    fi
    if (($#)); then
      time_run "$@"
      ref+=("$run_ms")
    fi
  done
  cd - >/dev/null
  native_ms=$(printf '%s\n' "${native[@]}" | median)
  wine_ms=$(printf '%s\n' "${wine[@]}" | median)
  before_native_ms=- before_wine_ms=-
  if [ -n "$with_before" ]; then
    before_native_ms=$(printf '%s\n' "${before_native[@]}" | median)
    before_wine_ms=$(printf '%s\n' "${before_wine[@]}" | median)
  fi
  ref_ms=$( ((${#ref[@]})) && printf '%s\n' "${ref[@]}" | median || echo 0)
}

rows=()
worst_native_kb=0 worst_wine_kb=0
declare -A native_ratio_of wine_ratio_of native_ms_of wine_ms_of before_native_of before_wine_of
for case in "${cases[@]}"; do
  read -r areas kind lines <<<"$case"
  lines=${lines:-$list_lines}
  dir="$root/$areas-$kind-$lines"
  setup_case "$dir" "$areas" "$lines" "$kind"
  list_bytes=$(stat -c %s "$dir/work/echos.lst")
  read -r whole partial_bytes listed < "$dir/fixture/scan.txt"
  # The reference and the earlier version only where they take no minutes.
  with_ref=$( ((lines <= list_lines)) && echo 1 || echo "")
  with_before=$( [ -n "$before" ] && ((lines < big_lines)) && echo 1 || echo "")
  wc_args=()
  if [ -n "$with_ref" ]; then
    # The partial readings as whole lists plus one prefix file for the
    # rest, so that wc reads exactly as many bytes as a reading from the
    # top for every area.
    head -c $((partial_bytes % list_bytes)) "$dir/work/echos.lst" > "$dir/work/echos.part"
    for ((i = 0; i < whole + partial_bytes / list_bytes; i++)); do wc_args+=(echos.lst); done
    wc_args+=(echos.part)
  fi

  check_run "$dir" "$listed" "$dir/native.cfg" "$dir/prog/blurbsmith"
  check_run "$dir" "$listed" "$dir/wine.cfg" "$WINE" "$dir/prog/blurbsmith.exe"
  cmp -s "$dir/native.cfg" "$dir/wine.cfg" || { echo "the two builds wrote different files ($case)" >&2; exit 1; }
  if [ -n "$with_before" ]; then
    check_run "$dir" "$listed" "$dir/before.cfg" "$dir/before/blurbsmith"
    cmp -s "$dir/native.cfg" "$dir/before.cfg" || { echo "the earlier version wrote another file ($case)" >&2; exit 1; }
  fi
  [ -z "$with_ref" ] || (cd "$dir/work" && wc -l "${wc_args[@]}" >/dev/null)

  if [ -n "$with_ref" ]; then time_case "$dir" wc -l "${wc_args[@]}"; else time_case "$dir"; fi
  read_mb=$(awk -v b=$((whole * list_bytes + partial_bytes)) 'BEGIN { printf "%.0f", b / 1e6 }')
  ref_shown=$( [ -n "$with_ref" ] && printf '%.1f' "$ref_ms" || echo -)
  native_ratio_of[$case]=$(ratio "$native_ms" "$ref_ms") wine_ratio_of[$case]=$(ratio "$wine_ms" "$ref_ms")
  native_ms_of[$case]=$native_ms wine_ms_of[$case]=$wine_ms
  before_native_of[$case]=$before_native_ms before_wine_of[$case]=$before_wine_ms
  rows+=("$(printf '| %5d | %-9s | %6d | %8d | %7s | %8s | %9.1f | %5s | %8s | %7.1f | %5s | %8s | %8s | %7s |' \
    "$areas" "$kind" "$lines" "$list_bytes" "$read_mb" "$ref_shown" \
    "$native_ms" "${native_ratio_of[$case]}" "$before_native_ms" \
    "$wine_ms" "${wine_ratio_of[$case]}" "$before_wine_ms" "$(mb "$native_kb")" "$(mb "$wine_kb")")")
  ((native_kb > worst_native_kb)) && worst_native_kb=$native_kb
  ((wine_kb > worst_wine_kb)) && worst_wine_kb=$wine_kb
done

with_before=$before
open_rows=()
for open_list in "$open_lines" 0; do
  dir="$root/open-$open_list"
  setup_case "$dir" "$open_areas" "$open_list"
  # The fixture lists the even-numbered areas, one a line after a comment.
  expected=$((open_list > 0 ? open_list - 1 - (open_list - 1) / 13 : 0))
  check_run "$dir" "$expected" "$dir/native.cfg" "$dir/prog/blurbsmith"
  check_run "$dir" "$expected" "$dir/wine.cfg" "$WINE" "$dir/prog/blurbsmith.exe"
  cmp -s "$dir/native.cfg" "$dir/wine.cfg" || { echo "the two builds wrote different files" >&2; exit 1; }
  time_case "$dir"
  ((native_kb > worst_native_kb)) && worst_native_kb=$native_kb
  label=$( ((open_list > 0)) && echo "$open_list lines" || echo "none")
  open_rows+=("$(printf '| %5d | %-9s | %9.1f | %8s | %7.1f | %8s | %11s |' "$open_areas" "$label" "$native_ms" \
    "$before_native_ms" "$wine_ms" "$before_wine_ms" "$(mb "$native_kb")")")
  if ((open_list > 0)); then
    list_native=$native_ms list_wine=$wine_ms
  else
    open_native=$(awk -v a="$list_native" -v b="$native_ms" 'BEGIN { printf "%.1f", a - b }')
    open_wine=$(awk -v a="$list_wine" -v b="$wine_ms" 'BEGIN { printf "%.1f", a - b }')
  fi
done

echo
cpu=$(awk -F': *' '/^model name/ { print $2; exit }' /proc/cpuinfo)
echo "Blurbsmith benchmark, $(date +%Y-%m-%d), ${cpu:-unknown CPU}, $(nproc) cores, $("$WINE" --version);" \
  "$runs runs per case: median wall time, largest peak RSS${before:+; before: $before}"
echo
echo "| Areas | Case      |  Lines |    Bytes | MB read | wc -l ms | Native ms | Ratio |   Before | Wine ms | Ratio |   Before | Native RSS MB | Wine RSS MB |"
echo "|------:|:----------|-------:|---------:|--------:|---------:|----------:|------:|---------:|--------:|------:|---------:|------------:|----------:|"
printf '%s\n' "${rows[@]}"
echo
echo "| Areas | ECHOLIST  | Native ms |   Before | Wine ms |   Before | Native RSS MB |"
echo "|------:|:----------|----------:|---------:|--------:|---------:|--------------:|"
printf '%s\n' "${open_rows[@]}"
echo
verdict() { awk -v v="$1" -v l="$2" 'BEGIN { print (v != "-" && v <= l) ? "met" : "MISSED" }'; }
echo "Targets:"
for kind in writes writes-na; do
  small=${native_ms_of[4096 $kind 5000]:-} large=${native_ms_of[4096 $kind 50000]:-}
  if [ -n "$small" ] && [ -n "$large" ]; then
    growth=$(ratio "$large" "$small")
    echo "  $kind, 4096 areas: 50000 lines at most 3x the time of 5000 natively: ${growth}x, $(verdict "$growth" 3)"
  fi
done
if [ -n "${native_ratio_of[4096 writes 5000]:-}" ]; then
  n=${native_ratio_of[4096 writes 5000]} w=${wine_ratio_of[4096 writes 5000]}
  echo "  the writing case, 4096 x 5000, against the reference: native ${n}x (at most 0.25x: $(verdict "$n" 0.25))," \
    "wine ${w}x (at most 0.5x: $(verdict "$w" 0.5))"
fi
awk -v o="$open_wine" -v on="$open_native" -v k="$worst_native_kb" -v wk="$worst_wine_kb" -v lines="$open_lines" 'BEGIN {
  printf "  the %d-line list under wine at most 250 ms over no ECHOLIST: %s (%+.1f ms; native %+.1f ms)\n",
    lines, (o <= 250 ? "met" : "MISSED"), o, on
  printf "  native peak memory under 8 MB in every case: %s (%.1f MB); wine %.1f MB, wine'"'"'s own loader included\n",
    (k < 8192 ? "met" : "MISSED"), k / 1024, wk / 1024 }'
if [ -n "$before" ]; then
  echo "Against the earlier version (native, wine; lower is better):"
  for case in "${cases[@]}"; do
    b=${before_native_of[$case]:--}
    [ "$b" != - ] || continue
    awk -v c="$case" -v n="${native_ms_of[$case]}" -v b="$b" -v w="${wine_ms_of[$case]}" -v bw="${before_wine_of[$case]}" \
      'BEGIN { printf "  %-22s %6.2fx %6.2fx\n", c, n / b, w / bw }'
  done
fi
