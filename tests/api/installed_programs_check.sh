#!/usr/bin/env bash
# Runs the programs of an installed tree as a user would: Quorgen writes a symbol that Quorview
# reads through a pipe, Quorview finds its camera view module (it then fails to open a camera
# that is not there, in the module's own words), and each program has its man page.
# Usage: installed_programs_check.sh PREFIX
set -euo pipefail
prefix="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "$*" >&2; exit 1; }

for program in Quorview Quorgen; do
  [[ -x "$prefix/bin/$program" ]] || fail "no program $prefix/bin/$program"
  page="$prefix/share/man/man1/$program.1.gz"
  [[ -f "$page" ]] || fail "no man page $page"
  zcat "$page" | grep -q "^\.TH $(tr '[:lower:]' '[:upper:]' <<<"$program")" || fail "$page is no man page"
  zcat "$page" | grep -q -- "-\\\\-version" || fail "$page does not list --version"
done
read="$("$prefix/bin/Quorgen" -o - "Installed" | "$prefix/bin/Quorview" --format text -)"
[[ "$read" == "Installed" ]] || fail "the installed programs read '$read'"

cd "$work"
printf '{ "launch": "/nonexistent/frame%%03d.png", "logFileName": "log.txt" }' > decoder_settings.json
view="$(printf 's\nx\n' | ASAN_OPTIONS=detect_leaks=0 "$prefix/bin/Quorview" 2>&1 || true)"
grep -q "Couldn't open camera '/nonexistent/frame%03d.png'" <<<"$view" ||
  fail "the installed Quorview did not open its camera view module: $view"
echo "installed programs run: $prefix/bin/Quorview, $prefix/bin/Quorgen"
