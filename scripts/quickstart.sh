#!/usr/bin/env bash
# Installs what is missing, builds Quorview and decodes a bundled sample symbol.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" release
sample="${1:-$root/samples/hello-bw.png}"
cd "$root/build"
./app/Quorview "$sample"
