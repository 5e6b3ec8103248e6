#!/usr/bin/env bash
# Installs the build tree into a scratch prefix, runs the installed programs (a symbol from
# Quorgen read by Quorview, the camera view module found, the man pages there), then builds the
# example program against it outside the source tree three ways (CMake package shared, CMake
# package static, pkg-config) and reads a sample with each.
# Usage: install_consume.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
source_dir="$1"
build_dir="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

cmake --install "$build_dir" --prefix "$work/prefix" >/dev/null
sample="$source_dir/samples/hello-bw.png"
expected="$(cat "$source_dir/samples/hello-bw.txt")"

bash "$source_dir/tests/api/installed_programs_check.sh" "$work/prefix"

check() {
  local program="$1" output
  output="$("$program" "$sample")"
  if [[ "$(cut -f1 <<<"$output")" != "$expected" ]]; then
    echo "$program read '$output', expected '$expected'" >&2
    exit 1
  fi
}

cp -r "$source_dir/examples/cpp" "$work/example"
for kind in shared static; do
  static=OFF
  [[ "$kind" == static ]] && static=ON
  cmake -S "$work/example" -B "$work/build-$kind" -DCMAKE_PREFIX_PATH="$work/prefix" \
    -DQuorview_USE_STATIC_LIBS="$static" >/dev/null
  cmake --build "$work/build-$kind" >/dev/null
  LD_LIBRARY_PATH="$work/prefix/lib" check "$work/build-$kind/read_symbols"
done
# The static program carries the reader inside it.
if ldd "$work/build-static/read_symbols" | grep -q libquorview; then
  echo "the static example still needs libquorview.so" >&2
  exit 1
fi

export PKG_CONFIG_PATH="$work/prefix/lib/pkgconfig"
# shellcheck disable=SC2046
g++ -std=c++17 "$work/example/read_symbols.cpp" -o "$work/read_symbols_pc" \
  $(pkg-config --cflags --libs quorview) -lopencv_imgcodecs
LD_LIBRARY_PATH="$work/prefix/lib" check "$work/read_symbols_pc"
echo "installed package consumed: CMake shared, CMake static, pkg-config"
