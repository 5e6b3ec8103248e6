#!/usr/bin/env bash
# Runs Quorview's camera view without a camera: a still image is shown as an image sequence of
# many identical frames (links to one copy), read through the capture library like any video
# source. Keys work in the "Camera" window as with a camera; ESC or "x" ends the program.
# Usage: scripts/view-image.sh image.png [frames] [extra Quorview options such as -c 1 -lc 1]
# Without a display, run it under a virtual one: xvfb-run -a scripts/view-image.sh image.png
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
image="$(realpath "${1:?usage: $0 image.png [frames] [options]}")"
shift
frames=3000
if [[ $# -gt 0 && "$1" =~ ^[0-9]+$ ]]; then
  frames="$1"
  shift
fi
binary="$(realpath "${QUORVIEW_BINARY:-$root/build/app/Quorview}")"
[[ -f "$image" ]] || { echo "view-image.sh: no image file '$image'" >&2; exit 1; }
[[ -x "$binary" ]] || { echo "view-image.sh: no Quorview program at '$binary' (build first)" >&2; exit 1; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
ext="${image##*.}"
cp "$image" "$work/base.$ext"
# One process makes every link; a shell loop of "ln" calls takes tens of seconds.
perl -e 'for my $i (0 .. $ARGV[2] - 1) {
           symlink("base.$ARGV[1]", sprintf("%s/frame%05d.%s", $ARGV[0], $i, $ARGV[1])) or die "$!\n";
         }' "$work" "$ext" "$frames"
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
# "-v" alone would be read as an image file name: the view is opened by "-v" among other options.
# The caller's options come first, so that they win over the log file named here.
"$binary" "$@" -v -lf log.txt
