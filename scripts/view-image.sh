#!/usr/bin/env bash
# Runs Quorview's camera view without a camera: a still image is shown as an image sequence of
# many identical frames, read through the capture library like any video source. Keys work in
# the "Camera" window as with a camera; ESC or "x" ends the program.
# Usage: scripts/view-image.sh image.png [frames] [extra Quorview options such as -c 1 -lc 1]
# Without a display, run it under a virtual one: xvfb-run -a scripts/view-image.sh image.png
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
image="$(realpath "${1:?usage: $0 image.png [frames] [options]}")"
frames="${2:-3000}"
shift $(( $# >= 2 ? 2 : 1 ))
binary="${QUORVIEW_BINARY:-$root/build/app/Quorview}"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
ext="${image##*.}"
cp "$image" "$work/base.$ext"
for ((i = 0; i < frames; i++)); do
  ln -s "base.$ext" "$(printf "%s/frame%05d.%s" "$work" "$i" "$ext")"
done
cat > "$work/decoder_settings.json" <<JSON
{
    "logLevel": "Warning",
    "logLevelConsole": "Warning",
    "logFileName": "log.txt",
    "launch": "frame%05d.$ext",
    "mode": -1
}
JSON
cd "$work"
"$binary" -v "$@"
