#!/usr/bin/env bash
# Benchmark: Blurbsmith on large generated nodes, side by side with the
# reference that bounds what its design can reach.
#
# For each case (100, 1000 and 4096 areas, FastEcho's maximum) the fixture
# code writes a FastEcho file whose areas are all eligible and an echo list
# of 5000 lines (about 320 KB, CR LF, comment, HOLD and DOWN lines) that
# lists only the even-numbered areas. Every lookup reads the list from its
# first line: an unlisted tag reads it whole, a listed one up to its line.
#
# Program: the Release build, run RUNS times (default 5), each run on a
# fresh copy of the FastEcho file (a run fills the descriptions, so a second
# run on the same file would find nothing to do). Reported: the median
# whole-process wall time and the largest peak resident set size.
#
# Reference: `wc -l` reading exactly the bytes the lookups read. The list is
# named on wc's command line once for every whole scan (an unlisted tag). The
# partial scans (a listed tag: the bytes up to and including its first line)
# are added up; their total makes as many more whole lists as it holds, and
# the remainder is a prefix of the list written to a file of its own, named
# once. Timed the same way as the program, interleaved with its runs.
#
# Usage: scripts/benchmark.sh      (RUNS=N scripts/benchmark.sh for N runs)
# On a fresh Debian machine it installs what it needs first.
set -euo pipefail
cd "$(dirname "$0")/.."

runs=${RUNS:-5}
lines=5000
cases=(100 1000 4096)
export LC_ALL=C

scripts/install-deps.sh
cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/bench --target blurbsmith make_fixture >/dev/null

root=$(mktemp -d /tmp/blurbsmith-bench.XXXXXX)
trap 'rm -rf "$root"' EXIT

# Runs "$@" once; sets run_ms (wall time in ms, 3 decimals) and run_kb (peak
# RSS in KB). /usr/bin/time wraps both the program and the reference alike.
time_run() {
  local start end
  start=$(date +%s%N)
  /usr/bin/time -f %M -o "$root/rss" "$@" >/dev/null 2>&1
  end=$(date +%s%N)
  run_ms=$(awk -v ns=$((end - start)) 'BEGIN { printf "%.3f", ns / 1e6 }')
  run_kb=$(tail -n 1 "$root/rss")
}

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

rows=()
worst_ratio=0
worst_kb=0
for areas in "${cases[@]}"; do
  dir="$root/$areas"
  mkdir -p "$dir/prog" "$dir/work" "$dir/fixture"
  cp build/bench/src/blurbsmith "$dir/prog/"
  printf 'FASTECHOCFG fastecho.cfg\r\nLOGFILE blurbsmith.log\r\nECHOLIST echos.lst\r\nFORCEDESC NO\r\nUPCASEFIRSTDESCCHAR YES\r\n' \
    > "$dir/prog/blurbsmith.cfg"
  build/bench/tools/make_fixture bench "$dir/fixture" "$areas" "$lines"
  cp "$dir/fixture/echos.lst" "$dir/work/"
  list_bytes=$(stat -c %s "$dir/work/echos.lst")

  # The bytes each lookup reads: the fixture's lines have no blanks, Ctrl-Z
  # or over-long lines, so the tag is field 2 of a non-comment line, and the
  # first line that lists a tag decides.
  build/bench/tools/make_fixture show "$dir/fixture/fastecho.cfg" | awk 'NR > 1 { print $1 }' > "$dir/tags"
  read -r whole partial_bytes listed < <(awk -F, '
    NR == FNR { n++; tag[n] = toupper($1); next }
    {
      offset += length($0) + 1                          # the LF is not in $0
      if ($0 ~ /^;/ || NF < 2) next
      t = toupper($2)
      if (!(t in end)) end[t] = offset
    }
    END {
      for (i = 1; i <= n; i++)
        if (tag[i] in end) { partial += end[tag[i]]; listed++ } else whole++
      printf "%d %d %d\n", whole, partial, listed
    }' "$dir/tags" "$dir/work/echos.lst")
  # The partial scans as whole lists plus one prefix file for the rest, so
  # that wc reads exactly as many bytes as the lookups.
  head -c $((partial_bytes % list_bytes)) "$dir/work/echos.lst" > "$dir/work/echos.part"
  wc_args=()
  for ((i = 0; i < whole + partial_bytes / list_bytes; i++)); do wc_args+=(echos.lst); done
  wc_args+=(echos.part)
  partial_lists=$(awk -v b="$partial_bytes" -v l="$list_bytes" 'BEGIN { printf "%.1f", b / l }')

  # One untimed run of each warms the page cache and checks the result.
  cd "$dir/work"
  cp "$dir/fixture/fastecho.cfg" .
  rm -f blurbsmith.log
  "$dir/prog/blurbsmith" > "$dir/console"
  grep -q "Description was added to $listed areas" "$dir/console" || {
    echo "unexpected result for $areas areas (expected $listed descriptions):" >&2
    tail -n 5 "$dir/console" >&2
    exit 1
  }
  wc -l "${wc_args[@]}" >/dev/null

  prog_ms=() ref_ms=() peak_kb=0
  for ((r = 0; r < runs; r++)); do
    cp "$dir/fixture/fastecho.cfg" .
    rm -f blurbsmith.log
    time_run "$dir/prog/blurbsmith"
    prog_ms+=("$run_ms")
    if ((run_kb > peak_kb)); then peak_kb=$run_kb; fi
    time_run wc -l "${wc_args[@]}"
    ref_ms+=("$run_ms")
  done
  cd - >/dev/null

  p=$(printf '%s\n' "${prog_ms[@]}" | median)
  w=$(printf '%s\n' "${ref_ms[@]}" | median)
  ratio=$(awk -v p="$p" -v w="$w" 'BEGIN { printf "%.2f", p / w }')
  read_mb=$(awk -v b=$((whole * list_bytes + partial_bytes)) 'BEGIN { printf "%.0f", b / 1e6 }')
  peak_mb=$(awk -v k="$peak_kb" 'BEGIN { printf "%.1f", k / 1024 }')
  rows+=("$(printf '| %5d | %5d | %7d | %11d | %13d | %8s | %7s | %10.1f | %8.1f | %5s | %11s |' \
    "$areas" "$lines" "$list_bytes" "$whole" "$listed" "$partial_lists" "$read_mb" "$p" "$w" "$ratio" "$peak_mb")")
  worst_ratio=$ratio  # the last case is the largest
  if ((peak_kb > worst_kb)); then worst_kb=$peak_kb; fi
done

echo
cpu=$(awk -F': *' '/^model name/ { print $2; exit }' /proc/cpuinfo)
echo "Blurbsmith benchmark, $(date +%Y-%m-%d), ${cpu:-unknown CPU}, $(nproc) cores;" \
  "$runs runs per case: median wall time, largest peak RSS"
echo
echo "| Areas | Lines |   Bytes | Whole scans | Partial scans | As lists | MB read | Program ms | wc -l ms | Ratio | Peak RSS MB |"
echo "|------:|------:|--------:|------------:|--------------:|---------:|--------:|-----------:|---------:|------:|------------:|"
printf '%s\n' "${rows[@]}"
echo
awk -v r="$worst_ratio" -v k="$worst_kb" 'BEGIN {
  printf "Targets: %d areas at most 3x the reference: %s (%.2fx); peak memory under 8 MB: %s (%.1f MB)\n",
    '"${cases[-1]}"', (r <= 3 ? "met" : "MISSED"), r, (k < 8192 ? "met" : "MISSED"), k / 1024 }'
