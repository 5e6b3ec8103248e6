#!/usr/bin/env bash
# Installs, from Debian's packages, whatever the build, the tests and the benchmarks need and the
# machine lacks. Does nothing when everything is there.
set -euo pipefail

packages=(
  g++ cmake make pkg-config
  libopencv-dev
  libgtest-dev libgmock-dev
  libbenchmark-dev
  xvfb xdotool x11-utils  # the camera view's window tests run under a virtual display
  ccache                  # rebuilds of unchanged sources come from the cache
  libzxing-dev            # the QR reader the evaluation and the benchmarks compare against
  nlohmann-json3-dev      # JSON output of the command line
  libpng-dev libjpeg-dev libtiff-dev libwebp-dev  # image files read without the codec module
  librsvg2-bin            # turns Quorgen's SVG back into pixels in the tests
  pybind11-dev python3-dev python3-numpy python3-opencv python3-pytest  # the Python module
  python3-venv python3-pip  # the test that installs it with pip into a fresh environment
  help2man                  # the man pages, from the programs' --help
  dpkg-dev                  # cpack's Debian package: dpkg-shlibdeps finds its dependencies
  python3-dask python3-distributed  # the cluster batch example
  clang libclang-rt-14-dev  # libFuzzer and its sanitizer runtimes for the fuzz targets
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
