#!/usr/bin/env bash
# Regenerates the sample symbols in samples/ with Quorgen: for each sample an image
# (<name>.png) and the text the reader must return for it (<name>.txt, no line end). Samples
# whose name begins with "colour-" are colour codes; the others black-and-white.
# Usage: scripts/make-samples.sh [path/to/Quorgen]   (default: build/writer/Quorgen)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
quorgen="${1:-$root/build/writer/Quorgen}"
out="$root/samples"
if [[ ! -x "$quorgen" ]]; then
  echo "Quorgen not found at $quorgen; build it first (scripts/build.sh) or pass its path" >&2
  exit 1
fi
mkdir -p "$out"

# sample NAME EXPECTED-TEXT QUORGEN-ARGUMENTS... (the payload is the last argument or a file)
sample() {
  local name="$1" expected="$2"
  shift 2
  "$quorgen" "$@" -o "$out/$name.png"
  printf '%s' "$expected" > "$out/$name.txt"
  echo "samples/$name.png"
}

sample hello-bw "Hello, Quorel!" "Hello, Quorel!"
sample digits-high "31415926535897932384626433832795" -e High --rotation 40 \
  "31415926535897932384626433832795"
sample small-bw "SMALL 80" -m 80 -r 2 -e Low -p 23 -s 640x640 --rotation 200 "SMALL 80"
sample mirrored-bw "Seen in a mirror" --mirror --rotation 100 "Seen in a mirror"
sample binary-bw "0b1010000011110001" -t Binary "0b1010000011110001"
sample colour-small "Colour" -c Color -m 32 -r 2 -e Low -s 480x480 --rotation 300 "Colour"
sample colour-large "Quorel codes carry three bits per module in colour: eight colours." \
  -c Color -e Quartile --rotation 75 \
  "Quorel codes carry three bits per module in colour: eight colours."
sample colour-frame-1280 "A 1280 x 960 camera frame" -c Color -s 1280x960 -d 900 --rotation 160 \
  "A 1280 x 960 camera frame"
