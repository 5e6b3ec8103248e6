#!/usr/bin/env bash
# Continues the misread campaign: builds the release tree's campaign program and reads COUNT
# more seeds (default 1000) on THREADS threads (default 1) from where bench/misread/ledger.csv
# stops, adding a line to it every 100 seeds. The program runs at the lowest priority, so it may
# run beside other work; stop it at any time (the unfinished hundred is read again next time).
# Usage: scripts/misread.sh [count] [threads] [more options of quorview_misread_campaign]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
count="${1:-1000}"
threads="${2:-1}"
shift $(( $# < 2 ? $# : 2 ))
nice -n 19 "$root/scripts/build.sh" release quorview_misread_campaign >/dev/null
# The reader's version: the commit, marked when the code holds changes not committed (the
# ledgers and the documents do not count).
commit="$(git -C "$root" rev-parse --short=12 HEAD)"
if ! git -C "$root" diff --quiet HEAD -- . ':!*.md' ':!*ledger.csv'; then
  commit="$commit+changes"
fi
exec "$root/build/bench/misread/quorview_misread_campaign" --ledger "$root/bench/misread/ledger.csv" \
  --count "$count" --threads "$threads" --commit "$commit" "$@"
