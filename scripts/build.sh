#!/usr/bin/env bash
# Configures and builds one build tree, or only the named targets of it.
# Usage: scripts/build.sh [release|asan|tsan] [target...]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
kind="${1:-release}"
shift || true
jobs="$(nproc 2>/dev/null || echo 2)"

case "$kind" in
  release) dir="$root/build"; args=(-DCMAKE_BUILD_TYPE=Release) ;;
  asan) dir="$root/build-asan"; args=(-DCMAKE_BUILD_TYPE=Debug -DQUORVIEW_SANITIZE=ON -DQUORVIEW_BUILD_BENCH=OFF) ;;
  tsan) dir="$root/build-tsan"; args=(-DCMAKE_BUILD_TYPE=Debug -DQUORVIEW_SANITIZE_THREAD=ON -DQUORVIEW_BUILD_BENCH=OFF) ;;
  *) echo "usage: $0 [release|asan|tsan] [target...]" >&2; exit 2 ;;
esac

# A compiler cache, when the machine has one, makes rebuilds of unchanged sources free.
if command -v ccache >/dev/null 2>&1; then
  args+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$root" -B "$dir" "${args[@]}" >/dev/null
targets=()
for target in "$@"; do
  targets+=(--target "$target")
done
cmake --build "$dir" -j "$jobs" "${targets[@]}"
