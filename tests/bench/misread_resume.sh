#!/usr/bin/env bash
# The misread campaign continues its ledger: a run of one seed and a later run of two give the
# lines of seeds 1, 2 and 3, each with the version it was read by; a replay records nothing.
set -euo pipefail
program="$1"
folder="$(mktemp -d)"
trap 'rm -rf "$folder"' EXIT
ledger="$folder/ledger.csv"

"$program" --ledger "$ledger" --count 1 --commit first >"$folder/first.txt"
"$program" --ledger "$ledger" --count 2 --chunk 1 --commit second >"$folder/second.txt"
"$program" --seed 1 --count 1 >/dev/null

fields="$(cut -d, -f1,2,3,4,8 "$ledger" | tr '\n' ' ')"
expected="seed,count,symbol_images,nosymbol_images,commit 1,1,1,1,first 2,1,1,1,second 3,1,1,1,second "
if [ "$fields" != "$expected" ]; then
  echo "ledger holds: $fields"
  echo "expected:     $expected"
  exit 1
fi
grep -q "^ledger: 3 symbol pictures" "$folder/second.txt" || { cat "$folder/second.txt"; exit 1; }
# Both ways to name the seeds at once is a usage error.
if "$program" --ledger "$ledger" --seed 5 --count 1 2>/dev/null; then
  echo "--ledger with --seed was taken"
  exit 1
fi
echo "ledger continued: $fields"
