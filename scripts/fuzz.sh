#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ in build-fuzz (clang, AddressSanitizer + UBSan), writes
# their seed corpora (writer output and the samples) and runs the targets one after the other,
# one process at a time. Prints one line per target: executions, seconds, executions per second,
# findings. Exits non-zero when a target finds something.
#
# Usage: scripts/fuzz.sh [seconds] [target...]   every target (or those named) for SECONDS each
#                                                (default 60)
#        scripts/fuzz.sh --smoke [target...]     5 s each from the seeds alone, so that its time
#                                                does not grow with the kept corpora
#        scripts/fuzz.sh --campaign [target...]  resumes each target towards its goal: 10 million
#                                                executions or 24 CPU hours in all, in runs of an
#                                                hour, at the lowest priority
#        scripts/fuzz.sh --totals                the ledger summed per target (docs/fuzzing.md)
#
# Runs other than the smoke keep their corpora in build-fuzz/corpus and add one line per target
# to fuzz/ledger.csv (date, target, executions, seconds, CPU seconds, new findings, commit), so
# the counts add up over runs and machines. The campaign's goal and run length can be changed
# with FUZZ_GOAL_EXECUTIONS, FUZZ_GOAL_CPU_SECONDS and FUZZ_RUN_SECONDS, and the time after
# which one input counts as a hang with FUZZ_TIMEOUT (default 20 s).
# Without clang it does nothing.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
ledger="$root/fuzz/ledger.csv"
all=(ImageBytesFuzz RawImageFuzz FrameFuzz DecompressFuzz SettingsFuzz QuorgenFuzz ScriptingFuzz)
# Kinds of input path the scripting target can be told to leave alone while a fault they find is
# open (docs/fuzzing.md): none is open, so everything runs unless QUORVIEW_FUZZ_SKIP says otherwise.
export QUORVIEW_FUZZ_SKIP="${QUORVIEW_FUZZ_SKIP-}"
# A single input that runs longer than this is a hang (FUZZ_TIMEOUT seconds).
timeout_s="${FUZZ_TIMEOUT:-20}"
# Image files larger than the image target's own cap are not seeds.
max_seed_bytes=131072
goal_runs="${FUZZ_GOAL_EXECUTIONS:-10000000}"
goal_cpu="${FUZZ_GOAL_CPU_SECONDS:-86400}"
run_seconds="${FUZZ_RUN_SECONDS:-3600}"

# Executions and CPU seconds of TARGET in the ledger so far: "executions cpu_seconds".
ledger_sum() {
  if [ ! -f "$ledger" ]; then echo "0 0"; return; fi
  awk -F, -v t="$1" 'NR > 1 && $2 == t { e += $3; c += $5 } END { printf "%d %d\n", e, c }' "$ledger"
}

if [ "${1:-}" = "--totals" ]; then
  echo "| target | executions | CPU hours | executions per CPU second | runs | findings |"
  echo "|---|---|---|---|---|---|"
  for t in "${all[@]}"; do
    [ -f "$ledger" ] || break
    awk -F, -v t="$t" 'NR > 1 && $2 == t { e += $3; c += $5; r += 1; f += $6 }
      END { printf "| `%s` | %d | %.2f | %.1f | %d | %d |\n", t, e, c / 3600, (c > 0 ? e / c : 0), r, f }' "$ledger"
  done
  exit 0
fi

mode=timed
seconds="${1:-60}"
case "${1:-}" in
  --smoke) mode=smoke; seconds=5; shift ;;
  --campaign) mode=campaign; shift ;;
  "") ;;
  *) shift ;;
esac
targets=("${@:-${all[@]}}")
corpora=corpus
if [ "$mode" = smoke ]; then
  corpora=smoke-corpus
  # A failing whole-image read still takes seconds under the sanitizers: in the smoke the reader
  # targets read with the designed search alone, so that it stays short. Other runs read whole.
  export QUORVIEW_FUZZ_DESIGNED_ONLY=1
fi

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
commit="$(git -C "$root" rev-parse --short=12 HEAD 2>/dev/null || echo unknown)"
if ! git -C "$root" diff --quiet HEAD -- . ':!*.md' ':!*ledger.csv' 2>/dev/null; then
  commit="$commit+changes"
fi

# Sets cpu_now to the children's CPU seconds so far (user + system), from this shell's `times`:
# called in this shell, not in a $(...) or a pipe, whose subshell has no children.
times_file="$(mktemp)"
trap 'rm -f "$times_file"' EXIT
children_cpu() {
  times >"$times_file"
  cpu_now="$(tail -n 1 "$times_file" | awk '{ s = 0; for (i = 1; i <= 2; i++) {
    split($i, p, "m"); s += p[1] * 60 + p[2] } printf "%.0f\n", s }')"
}

# Runs TARGET once for SECONDS (and at most RUNS executions, -1: no limit); prints its line,
# adds it to the ledger unless this is the smoke; returns non-zero on a finding.
run_target() {
  local t="$1" secs="$2" runs="$3"
  mkdir -p "$dir/$corpora/$t" "$dir/findings/$t" "$dir/logs" "$dir/seeds/$t"
  local log="$dir/logs/$t.log" status=0 before after cpu_before cpu_after start
  local count_findings=(find "$dir/findings/$t" -type f \( -name 'crash-*' -o -name 'leak-*' \
    -o -name 'timeout-*' -o -name 'oom-*' \))
  before="$("${count_findings[@]}" | wc -l)"
  children_cpu
  cpu_before="$cpu_now"
  start="$(date +%s)"
  if ! nice -n "$niceness" "$dir/fuzz/$t" -max_total_time="$secs" -runs="$runs" \
      -timeout="$timeout_s" -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix="$dir/findings/$t/" "$dir/$corpora/$t" "$dir/seeds/$t" >"$log" 2>&1; then
    status=1
    echo "fuzz: $t found something; see $log and $dir/findings/$t/"
    grep -m 5 -E "ERROR|SUMMARY|Test unit written" "$log" || true
  fi
  local took=$(( $(date +%s) - start ))
  children_cpu
  cpu_after="$cpu_now"
  after="$("${count_findings[@]}" | wc -l)"
  local execs rate
  execs="$(grep -m1 -oE '^stat::number_of_executed_units: *[0-9]+' "$log" | grep -oE '[0-9]+$' || echo 0)"
  rate="$(grep -m1 -oE '^stat::average_exec_per_sec: *[0-9]+' "$log" | grep -oE '[0-9]+$' || echo 0)"
  # Slow units are written for information; crashes, leaks, hangs and memory blow-ups are findings.
  echo "fuzz: $t: $execs executions, $took s, $rate exec/s, $((after - before)) new findings," \
       "$after kept in $dir/findings/$t"
  if [ "$mode" != smoke ]; then
    [ -f "$ledger" ] || echo "date,target,executions,seconds,cpu_seconds,findings,commit" >"$ledger"
    echo "$(date -u +%Y-%m-%d),$t,$execs,$took,$((cpu_after - cpu_before)),$((after - before)),$commit" >>"$ledger"
  fi
  return "$status"
}

status=0
niceness=0
if [ "$mode" = campaign ]; then
  niceness=19
  for t in "${targets[@]}"; do
    while true; do
      read -r done_runs done_cpu < <(ledger_sum "$t")
      if [ "$done_runs" -ge "$goal_runs" ] || [ "$done_cpu" -ge "$goal_cpu" ]; then
        echo "fuzz: $t: goal reached ($done_runs executions, $done_cpu CPU seconds)"
        break
      fi
      secs=$(( goal_cpu - done_cpu < run_seconds ? goal_cpu - done_cpu : run_seconds ))
      if ! run_target "$t" "$secs" "$(( goal_runs - done_runs ))"; then
        status=1
        break  # a finding stops this target until it is fixed
      fi
    done
  done
else
  for t in "${targets[@]}"; do
    run_target "$t" "$seconds" -1 || status=1
  done
fi
exit "$status"
