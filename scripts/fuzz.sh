#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ in build-fuzz (clang, AddressSanitizer + UBSan), writes
# their seed corpora (writer output and the samples) and runs each target in turn, one process
# at a time, for SECONDS each (default 60). Prints one line per target: executions, seconds,
# executions per second, findings. Exits non-zero when a target finds something.
# Usage: scripts/fuzz.sh [seconds|--smoke] [target...]   --smoke: 5 s each from the seeds alone,
# so that its time does not grow with the kept corpora. Without clang it does nothing.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-60}"
shift || true
corpora=corpus
if [ "$seconds" = "--smoke" ]; then
  seconds=5
  corpora=smoke-corpus
fi
all=(ImageBytesFuzz RawImageFuzz FrameFuzz DecompressFuzz SettingsFuzz QuorgenFuzz)
targets=("${@:-${all[@]}}")
# A single input that runs longer than this is a hang.
timeout_s=20
# Image files larger than the image target's own cap are not seeds.
max_seed_bytes=131072

if ! command -v clang++ >/dev/null 2>&1; then
  echo "fuzz: clang++ not found, fuzz targets skipped"
  exit 0
fi

dir="$root/build-fuzz"
args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
      -DQUORVIEW_FUZZ=ON -DQUORVIEW_BUILD_TESTS=OFF -DQUORVIEW_BUILD_BENCH=OFF)
if command -v ccache >/dev/null 2>&1; then
  args+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$root" -B "$dir" "${args[@]}" >/dev/null
cmake --build "$dir" -j "$(nproc 2>/dev/null || echo 2)" --target SeedCorpus "${targets[@]}"

# The seeds are made afresh; the corpora the campaigns grow are kept between runs.
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
rm -rf "$dir/seeds"
"$dir/fuzz/SeedCorpus" "$dir/seeds"
for png in "$root"/samples/*.png; do
  if [ "$(stat -c %s "$png")" -le "$max_seed_bytes" ]; then
    cp "$png" "$dir/seeds/ImageBytesFuzz/"
  fi
done

rm -rf "$dir/smoke-corpus"
status=0
for t in "${targets[@]}"; do
  mkdir -p "$dir/$corpora/$t" "$dir/findings/$t" "$dir/logs" "$dir/seeds/$t"
  log="$dir/logs/$t.log"
  if ! "$dir/fuzz/$t" -max_total_time="$seconds" -timeout="$timeout_s" -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="$dir/findings/$t/" \
      "$dir/$corpora/$t" "$dir/seeds/$t" >"$log" 2>&1; then
    status=1
    echo "fuzz: $t found something; see $log and $dir/findings/$t/"
    grep -m 5 -E "ERROR|SUMMARY|Test unit written" "$log" || true
  fi
  runs="$(grep -m1 -oE '^stat::number_of_executed_units: *[0-9]+' "$log" | grep -oE '[0-9]+$' || echo 0)"
  took="$(grep -m1 -oE '^Done [0-9]+ runs in [0-9]+ second' "$log" | grep -oE '[0-9]+ second' | grep -oE '[0-9]+' || echo "$seconds")"
  rate="$(grep -m1 -oE '^stat::average_exec_per_sec: *[0-9]+' "$log" | grep -oE '[0-9]+$' || echo 0)"
  # Slow units are written for information; crashes, leaks, hangs and memory blow-ups are findings.
  found="$(find "$dir/findings/$t" -type f \( -name 'crash-*' -o -name 'leak-*' -o -name 'timeout-*' \
    -o -name 'oom-*' \) | wc -l)"
  echo "fuzz: $t: $runs executions, $took s, $rate exec/s, $found findings kept in $dir/findings/$t"
done
exit "$status"
