#!/usr/bin/env bash
# Configures and builds one build tree. Usage: scripts/build.sh [release|asan]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
kind="${1:-release}"
jobs="$(nproc 2>/dev/null || echo 2)"

case "$kind" in
  release) dir="$root/build"; args=(-DCMAKE_BUILD_TYPE=Release) ;;
  asan) dir="$root/build-asan"; args=(-DCMAKE_BUILD_TYPE=Debug -DQUORVIEW_SANITIZE=ON -DQUORVIEW_BUILD_BENCH=OFF) ;;
  *) echo "usage: $0 [release|asan]" >&2; exit 2 ;;
esac

# A compiler cache, when the machine has one, makes rebuilds of unchanged sources free.
if command -v ccache >/dev/null 2>&1; then
  args+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$root" -B "$dir" "${args[@]}" >/dev/null
cmake --build "$dir" -j "$jobs"
