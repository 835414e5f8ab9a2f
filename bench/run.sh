#!/usr/bin/env bash
# Times pintrove and pathtrove with hyperfine on generated inputs of
# 1,000,000 waypoint and 2,000,000 track lines in three layouts each: the
# expected one (wpt, plt), the same with values that vary from line to line
# (wpt-varied: fields 6 to 14 of each waypoint, plt-varied: altitudes that do
# not come again for 40,000 points), and that of other writers (wpt-other,
# plt-other), whose every line is read a second time, field by field. Each
# is timed in the same runs as
#   - bench_baseline, the same conversion written with fgets, sscanf and
#     fprintf (on the expected layouts; it cannot read the others),
#   - the same program on the expected layout (for the other layouts),
#   - cat of the program's document, the floor for any program that writes
#     that many bytes, and
#   - an earlier build of the program, given BENCH_REFERENCE (on the
#     layouts the baseline reads).
# It prints the median, fastest and slowest of RUNS runs as a table, the peak
# resident set size, start-up on the bundled examples, then the targets, and
# exits with 1 when one is missed. Every document goes to /dev/null;
# hyperfine's results stay in BENCH_BUILD/bench/*.json.
#
# The documents are checked by the tests (bench.documents), the instructions
# per line by `ctest -L perf`, and bench/page.mjs times the browser page.
#
#   bench/run.sh
#   BENCH_REFERENCE=../earlier-build bench/run.sh
#
# Environment:
#   BENCH_BUILD      build folder (default: build-bench at the top of the tree)
#   BENCH_REFERENCE  folder with an earlier build's pintrove and pathtrove
#   RUNS             runs per measurement (default 5)
#   WAYPOINTS, TRACK_POINTS  lines of each kind (default 1000000, 2000000)
#   TMPDIR           where the inputs go (hundreds of MB, removed at the end)
set -euo pipefail
export LC_ALL=C

root=$(cd "$(dirname "$0")/.." && pwd)
build=${BENCH_BUILD:-$root/build-bench}
runs=${RUNS:-5}
reference=${BENCH_REFERENCE:-}
[ -z "$reference" ] || reference=$(cd "$reference" && pwd)
for tool in hyperfine /usr/bin/time; do
  if ! command -v "$tool" >/dev/null; then
    echo "run.sh: $tool is missing (Debian package: ${tool##*/})" >&2
    exit 1
  fi
done

echo "Building (Release) in $build ..."
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DTROVE_TESTS=OFF -DTROVE_BENCH=ON >/dev/null
cmake --build "$build" -j2 --target pintrove pathtrove bench_generate bench_baseline >/dev/null
generate=$build/bench/bench_generate
results=$build/bench
scratch=$(mktemp -d "${TMPDIR:-/tmp}/trove-bench.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

program_for() { case $1 in wpt*) echo pintrove ;; *) echo pathtrove ;; esac; }
waypoints=${WAYPOINTS:-1000000} track_points=${TRACK_POINTS:-2000000}
lines_for() { case $1 in wpt*) echo "$waypoints" ;; *) echo "$track_points" ;; esac; }
label_for() {
  case $1 in
    wpt) echo "waypoints, expected layout" ;;
    wpt-varied) echo "waypoints, fields 6 to 14 varying" ;;
    wpt-other) echo "waypoints, other writers' layout" ;;
    plt) echo "track, expected layout" ;;
    plt-varied) echo "track, altitudes not coming again" ;;
    plt-other) echo "track, blank before every comma" ;;
  esac
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

# Address space randomisation moves the peak resident set size of one and the
# same run by up to about 200 KiB; without it the figure repeats.
steady=(setarch "$(uname -m)" -R)
"${steady[@]}" true 2>/dev/null || steady=()
# peak_rss COMMAND...: the peak resident set size of one run, in KiB.
peak_rss() {
  "${steady[@]}" /usr/bin/time -f %M -o "$scratch/rss.txt" "$@" >/dev/null
  cat "$scratch/rss.txt"
}

# hyperfine_quietly ARGUMENT...: runs hyperfine, its statistics to
# times.csv; its warnings about the other work on the machine are shown only
# when it fails.
hyperfine_quietly() {
  hyperfine -N --style none --export-csv "$scratch/times.csv" "$@" >/dev/null \
    2>"$scratch/hyperfine.txt" || {
    cat "$scratch/hyperfine.txt" >&2
    return 1
  }
}

# median, fastest, slowest: hyperfine's statistics, in seconds, by
# "NAME.KIND"; rss in KiB by "NAME.KIND" and "small.KIND".
declare -A median fastest slowest rss doc_bytes in_bytes

# time_commands KIND NAME COMMAND [NAME COMMAND]...: runs hyperfine on the
# commands, RUNS runs each, keeps its JSON as KIND.json and its statistics.
time_commands() {
  local kind=$1 names=() commands=() name _ middle low high
  shift
  while [ $# -gt 0 ]; do
    names+=(-n "$1")
    commands+=("$2")
    shift 2
  done
  hyperfine_quietly --runs "$runs" --warmup 1 --export-json "$results/$kind.json" \
    "${names[@]}" "${commands[@]}"
  # The columns: command, mean, stddev, median, user, system, min, max.
  while IFS=, read -r name _ _ middle _ _ low high; do
    median[$name.$kind]=$middle fastest[$name.$kind]=$low slowest[$name.$kind]=$high
  done < <(tail -n +2 "$scratch/times.csv")
}

# measure KIND: writes the input and the program's document, times the
# program against what it is compared with, and takes the peak RSS of the
# programs on the full input and on 10,000 lines.
measure() {
  local kind=$1 program input commands
  program=$(program_for "$kind")
  input=$scratch/$kind
  "$generate" "$kind" "$(lines_for "$kind")" >"$input"
  "$build/$program" "$input" >"$input.kml"
  commands=(ours "$build/$program $input")
  [[ -z $reference || $kind == *-other ]] || commands+=(reference "$reference/$program $input")
  case $kind in
    *-other) commands+=(expected "$build/$program $scratch/${kind%-other}") ;;
    *) commands+=(baseline "$build/bench/bench_baseline ${kind%-varied} $input") ;;
  esac
  commands+=(cat "cat $input.kml")
  time_commands "$kind" "${commands[@]}"
  rss[ours.$kind]=$(peak_rss "$build/$program" "$input")
  [[ -z $reference || $kind == *-other ]] ||
    rss[reference.$kind]=$(peak_rss "$reference/$program" "$input")
  [[ $kind == *-other ]] || rss[baseline.$kind]=$(peak_rss "$build/bench/bench_baseline" \
    "${kind%-varied}" "$input")
  "$generate" "$kind" 10000 >"$scratch/small"
  rss[small.$kind]=$(peak_rss "$build/$program" "$scratch/small")
  doc_bytes[$kind]=$(stat -c %s "$input.kml")
  in_bytes[$kind]=$(stat -c %s "$input")
  rm "$input.kml"
}

# row NAME KIND SHOWN: a line of the table.
row() {
  local name=$1 kind=$2 key=$1.$2
  awk -v shown="$3" -v label="$(label_for "$kind")" -v lines="$(lines_for "$kind")" \
    -v t="${median[$key]}" -v low="${fastest[$key]}" -v high="${slowest[$key]}" \
    -v bytes="${in_bytes[$kind]}" -v base="${median[baseline.$kind]:-}" \
    -v floor="${median[cat.$kind]}" -v rss="${rss[$key]:-}" -v name="$name" '
    function grouped(n, s, out) {
      for (s = sprintf("%d", n); length(s) > 3; s = substr(s, 1, length(s) - 3))
        out = "," substr(s, length(s) - 2) out
      return s out
    }
    BEGIN {
      over = (base == "" || name == "baseline") ? "" : sprintf("%.1f", base / t)
      floor_ratio = name == "baseline" ? "" : sprintf("%.1f", t / floor)
      printf "| %s | %s | %s | %.3f | %.3f | %.3f | %.2f M | %.0f | %s | %s | %s KiB |\n",
        shown, label, grouped(lines), t, low, high, lines / t / 1e6, bytes / 1e6 / t, over,
        floor_ratio, rss
    }'
}

kinds=(wpt wpt-varied wpt-other plt plt-varied plt-other)
echo "Timing, $runs runs each (load average: $(cut -d' ' -f1-3 /proc/loadavg)) ..."
for kind in "${kinds[@]}"; do
  measure "$kind"
done

echo
printf '| %s ' program input lines "wall s (median)" fastest slowest lines/s "input MB/s" \
  "× baseline" "× cat" "peak RSS"
echo "|"
echo "|---|---|---|---|---|---|---|---|---|---|---|"
for kind in "${kinds[@]}"; do
  row ours "$kind" "$(program_for "$kind")"
  [ -z "$reference" ] || [[ $kind == *-other ]] || row reference "$kind" "version before"
  [[ $kind == *-other ]] || row baseline "$kind" baseline
  awk -v mb="${doc_bytes[$kind]}" -v t="${median[cat.$kind]}" -v low="${fastest[cat.$kind]}" \
    -v high="${slowest[cat.$kind]}" 'BEGIN {
      printf "| cat of the document (%.0f MB) | | | %.3f | %.3f | %.3f | | | | | |\n", mb / 1e6, t,
        low, high
    }'
done

# Most real files are small, and converting one is mostly starting the
# program: each on its bundled example against cat of the same file, the
# fastest of 300 runs each (the one least disturbed by other work).
echo
echo "| program | example | program | cat | × cat |"
echo "|---|---|---|---|---|"
declare -A startup
for example in examples/alps.wpt examples/ridge.plt; do
  program=$(program_for "${example##*.}")
  (cd "$root" && hyperfine_quietly --runs 300 --warmup 20 \
    --export-json "$results/startup-$program.json" \
    -n ours "$build/$program $example" -n cat "cat $example")
  while IFS=, read -r name _ _ _ _ _ low _; do
    fastest[$name.startup]=$low
  done < <(tail -n +2 "$scratch/times.csv")
  startup[$program]=$(ratio "${fastest[ours.startup]}" "${fastest[cat.startup]}")
  awk -v program="$program" -v example="$example" -v a="${fastest[ours.startup]}" \
    -v b="${fastest[cat.startup]}" -v ratio="${startup[$program]}" 'BEGIN {
      printf "| %s | %s | %.3f ms | %.3f ms | %s |\n", program, example, a * 1e3, b * 1e3, ratio
    }'
done

# ---- Targets -----------------------------------------------------------------

missed=0
# target PROGRAM WHAT VALUE at-most|at-least LIMIT: prints the check and
# notes a miss.
target() {
  local verdict
  verdict=$(awk -v v="$3" -v op="$4" -v limit="$5" \
    'BEGIN { print ((op == "at-most" ? v <= limit : v >= limit) ? "ok" : "MISSED") }')
  printf '  %-10s %-58s %8s (%s %s)  %s\n' "$1" "$2" "$3" "${4/-/ }" "$5" "$verdict"
  [ "$verdict" = ok ] || missed=1
}

echo
echo "Load average after timing: $(cut -d' ' -f1-3 /proc/loadavg)"
echo
echo "Targets (wall times, medians of the same runs):"
for kind in "${kinds[@]}"; do
  program=$(program_for "$kind")
  case $kind in
    wpt | plt)
      target "$program" "$kind: times faster than the baseline" \
        "$(ratio "${median[baseline.$kind]}" "${median[ours.$kind]}")" at-least 10
      ;;
    *-other)
      # Each wall time here moves by up to 30 %, so twice would not hold.
      target "$program" "$kind: time per line over the expected layout's" \
        "$(ratio "${median[ours.$kind]}" "${median[expected.$kind]}")" at-most 2.5
      ;;
  esac
  # Memory does not grow with the input.
  target "$program" "$kind: peak RSS, KiB, 10,000 lines -> all" \
    "$((${rss[ours.$kind]} - ${rss[small.$kind]}))" at-most 64
  target "$program" "$kind: peak RSS, KiB" "${rss[ours.$kind]}" at-most 4096
done
# As fast as cat, within what other work on the machine moves the fastest run.
for program in pintrove pathtrove; do
  target "$program" "start-up on its bundled example, times cat's" "${startup[$program]}" \
    at-most 1.20
done
exit "$missed"
