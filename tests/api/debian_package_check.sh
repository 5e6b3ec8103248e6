#!/usr/bin/env bash
# Makes the Debian package of a build tree with cpack, checks what it holds, unpacks it into a
# scratch root and runs its programs and its Python package from there.
# Usage: debian_package_check.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
source_dir="$1"
build_dir="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "$*" >&2; exit 1; }

(cd "$work" && cpack -G DEB --config "$build_dir/CPackConfig.cmake" -B "$work/out" >/dev/null)
package="$(ls "$work"/out/*.deb)"
contents="$(dpkg-deb --contents "$package")"
for file in ./usr/bin/Quorview ./usr/bin/Quorgen ./usr/include/quorview/quorview.h \
    ./usr/lib/libquorview.a ./usr/lib/quorview/libquorview_cameraview.so \
    ./usr/lib/cmake/Quorview/QuorviewConfig.cmake ./usr/lib/pkgconfig/quorview.pc \
    ./usr/share/man/man1/Quorview.1.gz ./usr/share/man/man1/Quorgen.1.gz /quorview/__init__.py \
    /quorview/_native; do
  grep -q -- "$file" <<<"$contents" || fail "the package lacks $file: $contents"
done
dpkg-deb --field "$package" Depends | grep -q libopencv || fail "the package depends on no OpenCV"

dpkg-deb --extract "$package" "$work/root"
bash "$source_dir/tests/api/installed_programs_check.sh" "$work/root/usr"
site="$(cd "$work/root" && ls -d usr/lib/python3*/*-packages)"
PYTHONPATH="$work/root/$site" LD_LIBRARY_PATH="$work/root/usr/lib" /usr/bin/python3 -c "
import sys, quorview
assert quorview.__file__.startswith('$work/root'), quorview.__file__
(symbol,) = quorview.read_file('$source_dir/samples/hello-bw.png', code_type='bw')
assert symbol.payload == open('$source_dir/samples/hello-bw.txt').read(), symbol
"
echo "Debian package checked: $(basename "$package")"
