#!/usr/bin/env bash
# Benchmark: Blurbsmith on large generated nodes, the native program and
# blurbsmith.exe under wine, side by side with the reference that bounds
# what their design can reach.
#
# Scan cases: the fixture code writes a FastEcho file whose areas are all
# eligible and an echo list of 5000 lines (CR LF, with comment lines) that
# lists only the even-numbered areas, in each list format: FASTECHO
# (",TAG,Description", some with HOLD or DOWN, ASCII text), NA, FIDOCONFIG,
# AREAFIX (a hub's %LIST reply: flags, dot leaders, quoted descriptions),
# FASTECHO lines with Russian descriptions in code page 866 and in UTF-8,
# and NA lines with Russian descriptions in code page 1251 (AUTO places the
# list by its letters and translates each line it reads). The FASTECHO
# case runs for 100, 1000 and 4096 areas (4096 is FastEcho's maximum), the
# others for 4096. Every lookup reads the list from
# its first line: an unlisted tag reads it whole, a listed one up to its
# line.
#
# Reference: `wc -l` reading exactly the bytes the lookups read. The list is
# named on wc's command line once for every whole scan (an unlisted tag).
# The partial scans (a listed tag: the bytes up to and including its line,
# as make_fixture counts them in scan.txt) are added up; their total makes
# as many more whole lists as it holds, and the remainder is a prefix of the
# list written to a file of its own, named once.
#
# Writing case ("writes"): the node a list that describes most of its
# areas meets. 4096 eligible areas, every other one described already, and
# a 5000-line comma list that gives half of them, picked at random, a new
# description at random places (its other lines other echoes, a comment
# every 50 lines, some HOLD and DOWN lines), read with FORCEDESC YES: each
# run writes 2048 descriptions and their "+" lines, and reads the whole
# list for every other area. The reference is the same `wc -l`.
#
# Open cases: the 4096-area node with a 10-line list, where reading costs
# next to nothing and what a lookup costs besides reading shows, against the
# same node with no ECHOLIST.
#
# Each case runs each program RUNS times (default 5), each run on a fresh
# copy of the FastEcho file (a run fills the descriptions, so a second run
# on the same file would find nothing to do) and appending to a log that
# an earlier run left, as on a real node, interleaved with the reference.
# Reported: the median whole-process wall time (under wine: of the wine
# process, which includes starting the Windows program) and the largest
# peak resident set size. Both builds must write the same file in
# every case, or the benchmark stops.
#
# Usage: scripts/benchmark.sh      (RUNS=N scripts/benchmark.sh for N runs)
# CASES="4096 na;4096 writes" runs only those scan and writing cases (and
# the open cases); PROGRAMS=DIR times the blurbsmith and blurbsmith.exe in
# DIR instead of building them (an earlier version, say).
# It builds the native Release program (linked statically, as shipped) into
# build/bench and the Windows Release program into build/bench-windows. It
# runs wine in WINEPREFIX (wine's default when unset) with a wine server of
# its own for the whole run. On a fresh Debian machine it installs what it
# needs first.
set -euo pipefail
cd "$(dirname "$0")/.."

runs=${RUNS:-5}
lines=5000
cases=("100 fastecho" "1000 fastecho" "4096 fastecho" "4096 na" "4096 fidoconfig" "4096 areafix" "4096 cp866" "4096 utf8"
  "4096 cp1251" "4096 writes")
[ -z "${CASES:-}" ] || IFS=';' read -r -a cases <<<"$CASES"
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
ratio() { awk -v p="$1" -v w="$2" 'BEGIN { printf "%.2f", p / w }'; }
mb() { awk -v k="$1" 'BEGIN { printf "%.1f", k / 1024 }'; }

# Sets up case directory $1 for AREAS=$2, LINES=$3 (0: no ECHOLIST) and
# list format $4: prog/ holds both programs beside their settings, work/
# the files they use.
setup_case() {
  local dir=$1 areas=$2 list_lines=$3 format=${4:-fastecho} echolist="" setting
  mkdir -p "$dir/prog" "$dir/work" "$dir/fixture"
  cp "$native_program" "$windows_program" "$dir/prog/"
  local force=NO
  case $format in
    na | cp1251) setting=NA ;;
    fidoconfig) setting=FIDOCONFIG ;;
    areafix) setting=AREAFIX ;;
    writes) setting=FASTECHO force=YES ;;
    *) setting=FASTECHO ;;
  esac
  # The settings name only what every version knows: ECHOLISTFORMAT where
  # it is not the default.
  ((list_lines > 0)) && echolist="ECHOLIST echos.lst\r\n"
  [ $setting = FASTECHO ] || echolist+="ECHOLISTFORMAT $setting\r\n"
  printf "FASTECHOCFG fastecho.cfg\r\nLOGFILE blurbsmith.log\r\n${echolist}FORCEDESC $force\r\nUPCASEFIRSTDESCCHAR YES\r\n" \
    > "$dir/prog/blurbsmith.cfg"
  if [ "$format" = writes ]; then
    build/bench/tools/make_fixture writes "$dir/fixture" "$areas" "$list_lines"
  else
    build/bench/tools/make_fixture bench "$dir/fixture" "$areas" "$((list_lines > 0 ? list_lines : 1))" "$format"
  fi
  cp "$dir/fixture/echos.lst" "$dir/work/"
}

# The log as a node has it: there from earlier runs, so that each run
# appends to it (every line at the end of the file as it is then).
fresh_log() { printf '\r\n> 10 Dec 26 04:00:00 BLSM Blurbsmith ver 0.2 finished.\r\n' > "$1"; }

# One untimed run of a program in case directory $1, on a fresh FastEcho
# file: warms the page cache and checks that it added $2 descriptions. The
# resulting FastEcho file is kept as $3 for comparing the two builds.
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

# Times the programs and, when given, the reference in case directory $1,
# interleaved, RUNS times each. Sets native_ms, wine_ms, ref_ms (medians)
# and native_kb, wine_kb (largest peaks). The reference arguments follow $1.
time_case() {
  local dir=$1
  shift
  local native=() wine=() ref=() r
  native_kb=0 wine_kb=0
  cd "$dir/work"
  for ((r = 0; r < runs; r++)); do
    cp "$dir/fixture/fastecho.cfg" . && fresh_log blurbsmith.log
    time_run "$dir/prog/blurbsmith"
    native+=("$run_ms")
    ((run_kb > native_kb)) && native_kb=$run_kb
    cp "$dir/fixture/fastecho.cfg" . && fresh_log blurbsmith.log
    time_run "$WINE" "$dir/prog/blurbsmith.exe"
    wine+=("$run_ms")
    ((run_kb > wine_kb)) && wine_kb=$run_kb
    if (($#)); then
      time_run "$@"
      ref+=("$run_ms")
    fi
  done
  cd - >/dev/null
  native_ms=$(printf '%s\n' "${native[@]}" | median)
  wine_ms=$(printf '%s\n' "${wine[@]}" | median)
  ref_ms=$( ((${#ref[@]})) && printf '%s\n' "${ref[@]}" | median || echo 0)
}

rows=()
worst_native_kb=0 worst_wine_kb=0
declare -A native_ratio_of wine_ratio_of native_ms_of
for case in "${cases[@]}"; do
  read -r areas format <<<"$case"
  dir="$root/$areas-$format"
  setup_case "$dir" "$areas" "$lines" "$format"
  list_bytes=$(stat -c %s "$dir/work/echos.lst")
  read -r whole partial_bytes listed < "$dir/fixture/scan.txt"
  # The partial scans as whole lists plus one prefix file for the rest, so
  # that wc reads exactly as many bytes as the lookups.
  head -c $((partial_bytes % list_bytes)) "$dir/work/echos.lst" > "$dir/work/echos.part"
  wc_args=()
  for ((i = 0; i < whole + partial_bytes / list_bytes; i++)); do wc_args+=(echos.lst); done
  wc_args+=(echos.part)
  partial_lists=$(awk -v b="$partial_bytes" -v l="$list_bytes" 'BEGIN { printf "%.1f", b / l }')

  check_run "$dir" "$listed" "$dir/native.cfg" "$dir/prog/blurbsmith"
  check_run "$dir" "$listed" "$dir/wine.cfg" "$WINE" "$dir/prog/blurbsmith.exe"
  cmp -s "$dir/native.cfg" "$dir/wine.cfg" || { echo "the two builds wrote different files ($case)" >&2; exit 1; }
  (cd "$dir/work" && wc -l "${wc_args[@]}" >/dev/null)

  time_case "$dir" wc -l "${wc_args[@]}"
  read_mb=$(awk -v b=$((whole * list_bytes + partial_bytes)) 'BEGIN { printf "%.0f", b / 1e6 }')
  native_ratio=$(ratio "$native_ms" "$ref_ms")
  wine_ratio=$(ratio "$wine_ms" "$ref_ms")
  native_ratio_of[$case]=$native_ratio wine_ratio_of[$case]=$wine_ratio native_ms_of[$case]=$native_ms
  rows+=("$(printf '| %5d | %-10s | %7d | %11d | %13d | %8s | %7s | %8.1f | %9.1f | %5s | %7.1f | %5s | %11s | %9s |' \
    "$areas" "$format" "$list_bytes" "$whole" "$listed" "$partial_lists" "$read_mb" "$ref_ms" \
    "$native_ms" "$native_ratio" "$wine_ms" "$wine_ratio" "$(mb "$native_kb")" "$(mb "$wine_kb")")")
  ((native_kb > worst_native_kb)) && worst_native_kb=$native_kb
  ((wine_kb > worst_wine_kb)) && worst_wine_kb=$wine_kb
done

open_rows=()
for list_lines in "$open_lines" 0; do
  dir="$root/open-$list_lines"
  setup_case "$dir" "$open_areas" "$list_lines"
  # The fixture lists the even-numbered areas, one a line after a comment.
  expected=$((list_lines > 0 ? list_lines - 1 - (list_lines - 1) / 13 : 0))
  check_run "$dir" "$expected" "$dir/native.cfg" "$dir/prog/blurbsmith"
  check_run "$dir" "$expected" "$dir/wine.cfg" "$WINE" "$dir/prog/blurbsmith.exe"
  cmp -s "$dir/native.cfg" "$dir/wine.cfg" || { echo "the two builds wrote different files" >&2; exit 1; }
  time_case "$dir"
  ((native_kb > worst_native_kb)) && worst_native_kb=$native_kb
  label=$( ((list_lines > 0)) && echo "$list_lines lines" || echo "none")
  open_rows+=("$(printf '| %5d | %-9s | %9.1f | %7.1f | %11s |' "$open_areas" "$label" "$native_ms" "$wine_ms" "$(mb "$native_kb")")")
  if ((list_lines > 0)); then
    list_native=$native_ms list_wine=$wine_ms
  else
    open_native=$(awk -v a="$list_native" -v b="$native_ms" 'BEGIN { printf "%.1f", a - b }')
    open_wine=$(awk -v a="$list_wine" -v b="$wine_ms" 'BEGIN { printf "%.1f", a - b }')
  fi
done

echo
cpu=$(awk -F': *' '/^model name/ { print $2; exit }' /proc/cpuinfo)
echo "Blurbsmith benchmark, $(date +%Y-%m-%d), ${cpu:-unknown CPU}, $(nproc) cores, $("$WINE" --version);" \
  "$runs runs per case: median wall time, largest peak RSS"
echo
echo "| Areas | List       |   Bytes | Whole scans | Partial scans | As lists | MB read | wc -l ms | Native ms | Ratio | Wine ms | Ratio | Native RSS MB | Wine RSS MB |"
echo "|------:|:-----------|--------:|------------:|--------------:|---------:|--------:|---------:|----------:|------:|--------:|------:|------------:|----------:|"
printf '%s\n' "${rows[@]}"
echo
echo "| Areas | ECHOLIST  | Native ms | Wine ms | Native RSS MB |"
echo "|------:|:----------|----------:|--------:|--------------:|"
printf '%s\n' "${open_rows[@]}"
echo
# target LABEL CASE NATIVE-LIMIT WINE-LIMIT: one line of the verdict.
target() {
  [ -n "${native_ratio_of[$2]:-}" ] || return 0  # not run (CASES)
  awk -v label="$1" -v n="${native_ratio_of[$2]}" -v w="${wine_ratio_of[$2]}" -v nl="$3" -v wl="$4" 'BEGIN {
    printf "  %-26s native %.2fx (at most %.2fx: %s), wine %.2fx (at most %.2fx: %s)\n",
      label, n, nl, (n <= nl ? "met" : "MISSED"), w, wl, (w <= wl ? "met" : "MISSED") }'
}
echo "Targets, 4096 areas, ratio to the reference:"
target "FASTECHO list" "4096 fastecho" 1.2 1.5
target "NA list" "4096 na" 1.5 2
target "FIDOCONFIG list" "4096 fidoconfig" 1.5 2
target "list that writes 2048" "4096 writes" 1.15 1.5
# per_byte LABEL CASE: a case against the NA list, per byte read.
per_byte() {
  [ -n "${native_ratio_of[$2]:-}" ] && [ -n "${native_ratio_of[4096 na]:-}" ] || return 0
  awk -v label="$1" -v n="${native_ratio_of[$2]}" -v na="${native_ratio_of[4096 na]}" \
      -v w="${wine_ratio_of[$2]}" -v wna="${wine_ratio_of[4096 na]}" 'BEGIN {
    printf "  %s against the NA list, per byte read: native %+.0f%%, wine %+.0f%% (at most +10%%: %s)\n",
      label, (n / na - 1) * 100, (w / wna - 1) * 100, (n <= na * 1.1 && w <= wna * 1.1 ? "met" : "MISSED") }'
}
per_byte "AREAFIX list" "4096 areafix"
per_byte "NA list in code page 1251" "4096 cp1251"
[ -z "${native_ratio_of[4096 utf8]:-}" ] || [ -z "${native_ratio_of[4096 cp866]:-}" ] ||
awk -v u="${native_ratio_of[4096 utf8]}" -v c="${native_ratio_of[4096 cp866]}" \
    -v uw="${wine_ratio_of[4096 utf8]}" -v cw="${wine_ratio_of[4096 cp866]}" 'BEGIN {
  printf "  UTF-8 list against the same list in code page 866, per byte read: native %+.0f%%, wine %+.0f%% (at most +10%%: %s)\n",
    (u / c - 1) * 100, (uw / cw - 1) * 100, (u <= c * 1.1 && uw <= cw * 1.1 ? "met" : "MISSED") }'
awk -v o="$open_wine" -v on="$open_native" -v k="$worst_native_kb" -v wk="$worst_wine_kb" -v lines="$open_lines" 'BEGIN {
  printf "  the %d-line list under wine at most 250 ms over no ECHOLIST: %s (%+.1f ms; native %+.1f ms)\n",
    lines, (o <= 250 ? "met" : "MISSED"), o, on
  printf "  native peak memory under 8 MB: %s (%.1f MB); wine %.1f MB, wine'"'"'s own loader included\n",
    (k < 8192 ? "met" : "MISSED"), k / 1024, wk / 1024 }'
