#!/usr/bin/env bash
# Measures pintrove and pathtrove on generated inputs of 10,000 lines and of
# full size (1,000,000 waypoints, 2,000,000 track points) against
#   - bench_baseline, the same conversions written with fgets, sscanf and
#     fprintf, and
#   - cat of the document the program wrote, the floor for any program that
#     writes that many bytes.
# It first checks that both programs write byte for byte what the baseline
# writes, then prints for each the median wall and CPU time of RUNS runs,
# lines/s, MB/s of input (MB = 10^6 bytes), the ratios and the peak resident
# set size, and finally the targets. Every document goes to /dev/null.
#
#   bench/run.sh
#
# Environment:
#   BENCH_BUILD    build folder (default: build-bench at the top of the tree)
#   BENCH_SCRATCH  folder for the inputs and documents, hundreds of MB; it is
#                  emptied at the end (default: a new folder under TMPDIR)
#   RUNS           runs per measurement (default 5)
#   WAYPOINTS      full-size waypoint lines (default 1000000)
#   TRACK_POINTS   full-size track lines (default 2000000)
set -euo pipefail
export LC_ALL=C

here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build=${BENCH_BUILD:-$root/build-bench}
runs=${RUNS:-5}
waypoints=${WAYPOINTS:-1000000}
track_points=${TRACK_POINTS:-2000000}
small=10000

if [ ! -x /usr/bin/time ]; then
  if [ "$(id -u)" = 0 ] && command -v apt-get >/dev/null; then
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq time >/dev/null
  else
    echo "run.sh: /usr/bin/time is missing (Debian package: time)" >&2
    exit 1
  fi
fi

# ---- Build -------------------------------------------------------------------

echo "Building (Release) in $build ..."
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DTROVE_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target pintrove pathtrove bench_generate bench_baseline >/dev/null
pintrove=$build/pintrove
pathtrove=$build/pathtrove
generate=$build/bench/bench_generate
baseline=$build/bench/bench_baseline

# ---- Inputs ------------------------------------------------------------------

if [ -n "${BENCH_SCRATCH:-}" ]; then
  scratch=$BENCH_SCRATCH
  mkdir -p "$scratch"
else
  scratch=$(mktemp -d "${TMPDIR:-/tmp}/trove-bench.XXXXXX")
fi
cleanup() {
  rm -f "$scratch"/*.wpt "$scratch"/*.plt "$scratch"/*.kml "$scratch"/time.txt "$scratch"/cpu.txt
  rmdir "$scratch" 2>/dev/null || true
}
trap cleanup EXIT

echo "Generating inputs in $scratch ..."
"$generate" wpt "$small" >"$scratch/small.wpt"
"$generate" plt "$small" >"$scratch/small.plt"
"$generate" wpt "$waypoints" >"$scratch/full.wpt"
"$generate" plt "$track_points" >"$scratch/full.plt"

# ---- Same output as the baseline ---------------------------------------------

# Writes each program's document into the scratch folder, for the comparison
# and for the cat runs.
same=true
echo
echo "Output equal to the baseline's, byte for byte:"
for size in small full; do
  for kind in wpt plt; do
    program=$pintrove
    [ "$kind" = plt ] && program=$pathtrove
    input=$scratch/$size.$kind
    "$program" "$input" >"$scratch/$size.$kind.kml"
    if "$baseline" "$kind" "$input" | cmp -s - "$scratch/$size.$kind.kml"; then
      verdict=OK
    else
      verdict=DIFF
      same=false
    fi
    printf '  %-10s %-5s %s\n' "$(basename "$program")" "$size" "$verdict"
  done
done

# ---- Measuring ---------------------------------------------------------------

# Address space randomisation moves the peak resident set size of one and the
# same run by up to about 200 KiB; without it the figure repeats exactly. So
# the size is taken from extra runs made without it, where setarch allows.
steady=()
if setarch "$(uname -m)" -R true 2>/dev/null; then
  steady=(setarch "$(uname -m)" -R)
fi

median() {
  printf '%s\n' "$@" | sort -g | awk '{t[NR] = $1} END {print t[int((NR + 1) / 2)]}'
}

declare -A walls cpus time_of cpu_of rss_of

# run_once NAME COMMAND...: runs the command once with its output to /dev/null
# and adds its wall time and its user and system time (which other work on
# the machine disturbs less) to NAME's lists.
run_once() {
  local name=$1 start end TIMEFORMAT='%3U %3S'
  shift
  start=${EPOCHREALTIME/./}
  { time "$@" >/dev/null; } 2>"$scratch/cpu.txt"
  end=${EPOCHREALTIME/./}
  walls[$name]+=" $((end - start))"
  cpus[$name]+=" $(tail -n 1 "$scratch/cpu.txt" | awk '{print $1 + $2}')"
}

# peak_rss COMMAND...: the median peak resident set size of three more runs,
# in KiB (now and then the system reclaims a few pages during one run).
peak_rss() {
  local sizes=() i
  for ((i = 0; i < 3; i++)); do
    "${steady[@]}" /usr/bin/time -v -o "$scratch/time.txt" "$@" >/dev/null
    sizes+=("$(awk -F': ' '/Maximum resident set size/ {print $2}' "$scratch/time.txt")")
  done
  median "${sizes[@]}"
}

# measure SIZE KIND: times ours, the baseline and cat in turn, RUNS times, so
# that a passing load on the machine slows all three alike, and keeps the
# medians.
measure() {
  local size=$1 kind=$2 program=$pintrove name i
  [ "$kind" = plt ] && program=$pathtrove
  local input=$scratch/$size.$kind
  walls=() cpus=()
  for ((i = 0; i < runs; i++)); do
    run_once ours "$program" "$input"
    run_once baseline "$baseline" "$kind" "$input"
    run_once cat cat "$input.kml"
  done
  rss_of[ours.$size.$kind]=$(peak_rss "$program" "$input")
  rss_of[baseline.$size.$kind]=$(peak_rss "$baseline" "$kind" "$input")
  rss_of[cat.$size.$kind]=$(peak_rss cat "$input.kml")
  for name in ours baseline cat; do
    # shellcheck disable=SC2086 # the lists are split on purpose
    time_of[$name.$size.$kind]=$(awk -v us="$(median ${walls[$name]})" \
      'BEGIN {printf "%.4f", us / 1e6}')
    # shellcheck disable=SC2086
    cpu_of[$name.$size.$kind]=$(median ${cpus[$name]})
  done
}

echo
echo "Measuring, median of $runs runs each (load average: $(cut -d' ' -f1-3 /proc/loadavg)) ..."
for size in small full; do
  for kind in wpt plt; do
    measure "$size" "$kind"
  done
done

# ---- Table -------------------------------------------------------------------

lines_of() {
  if [ "$1" = small ]; then
    echo "$small"
  elif [ "$2" = wpt ]; then
    echo "$waypoints"
  else
    echo "$track_points"
  fi
}

echo
printf '%-10s %-4s %8s %8s %8s %10s %8s %8s %10s %8s %8s\n' program kind lines "wall s" "cpu s" \
  lines/s "in MB/s" "doc MB/s" "x baseline" "x floor" "RSS KiB"
for size in small full; do
  for kind in wpt plt; do
    lines=$(lines_of "$size" "$kind")
    in_bytes=$(stat -c %s "$scratch/$size.$kind")
    doc_bytes=$(stat -c %s "$scratch/$size.$kind.kml")
    ours=pintrove
    [ "$kind" = plt ] && ours=pathtrove
    for name in ours baseline cat; do
      t=${time_of[$name.$size.$kind]}
      shown=$name
      [ "$name" = ours ] && shown=$ours
      awk -v name="$shown" -v kind="$kind" -v lines="$lines" -v t="$t" -v in_bytes="$in_bytes" \
        -v cpu="${cpu_of[$name.$size.$kind]}" -v doc_bytes="$doc_bytes" \
        -v base="${time_of[baseline.$size.$kind]}" -v floor="${time_of[cat.$size.$kind]}" \
        -v rss="${rss_of[$name.$size.$kind]}" -v ours="$([ "$name" = ours ] && echo 1 || echo 0)" '
        BEGIN {
          vs_base = ours ? sprintf("%.1f", base / t) : "-"
          vs_floor = ours ? sprintf("%.2f", t / floor) : "-"
          printf "%-10s %-4s %8d %8.4f %8.3f %10.0f %8.1f %8.1f %10s %8s %8d\n", name, kind,
            lines, t, cpu, lines / t, in_bytes / 1e6 / t, doc_bytes / 1e6 / t, vs_base, vs_floor,
            rss
        }'
    done
  done
  echo
done

# ---- Targets -----------------------------------------------------------------

echo "Load average after measuring: $(cut -d' ' -f1-3 /proc/loadavg)"
echo
echo "Targets (full size, from wall times; RSS for both sizes):"
# check KIND NAME FLOOR_LIMIT
check() {
  local kind=$1 name=$2 floor_limit=$3
  awk -v name="$name" -v base="${time_of[baseline.full.$kind]}" -v t="${time_of[ours.full.$kind]}" \
    -v floor="${time_of[cat.full.$kind]}" -v limit="$floor_limit" \
    -v small="${rss_of[ours.small.$kind]}" -v full="${rss_of[ours.full.$kind]}" '
    function verdict(good) { return good ? "ok" : "MISSED" }
    BEGIN {
      speedup = base / t
      printf "  %-10s %6.1fx baseline  (at least 10x)  %s\n", name, speedup, verdict(speedup >= 10)
      slowdown = t / floor
      printf "  %-10s %6.2fx floor     (at most %dx)    %s\n", name, slowdown, limit,
        verdict(slowdown <= limit)
      growth = full - small
      printf "  %-10s RSS %d -> %d KiB (same within 64 KiB, at most 4096 KiB)  %s\n", name, small,
        full, verdict(growth <= 64 && growth >= -64 && small <= 4096 && full <= 4096)
    }'
}
check wpt pintrove 5
check plt pathtrove 8

$same || {
  echo "run.sh: a document differs from the baseline's" >&2
  exit 1
}
