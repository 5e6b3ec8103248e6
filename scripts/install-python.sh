#!/usr/bin/env bash
# Builds the Python module and installs it for the system's Python 3 under PREFIX (default
# /usr/local, which Debian's python3 searches). Usage: scripts/install-python.sh [PREFIX]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
prefix="${1:-/usr/local}"
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" release
cmake --install "$root/build" --component python --prefix "$prefix"
echo "Installed: $(cd / && /usr/bin/python3 -c 'import quorview; print(quorview.__file__)' 2>/dev/null || echo "under $prefix")"
