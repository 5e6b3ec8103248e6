#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test: the normal build and the
# AddressSanitizer + UndefinedBehaviorSanitizer build, then the thread tests under ThreadSanitizer
# and a short smoke of every fuzz target.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
jobs="$(nproc 2>/dev/null || echo 2)"

"$root/scripts/install-deps.sh"

"$root/scripts/build.sh" release
(cd "$root/build" && ctest --output-on-failure -j "$jobs")

"$root/scripts/build.sh" asan
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
(cd "$root/build-asan" && ctest --output-on-failure -j "$jobs")

# ThreadSanitizer: only the tests that read from several threads at once (the reader's entries
# and the Python module), to keep the run short.
"$root/scripts/build.sh" tsan thread_tests
export TSAN_OPTIONS="halt_on_error=1"
(cd "$root/build-tsan" && ctest --output-on-failure -R 'Threads\.')

# Fuzz targets (when clang is present): a few seconds each from their seeds.
"$root/scripts/fuzz.sh" --smoke
