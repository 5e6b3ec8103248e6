#!/usr/bin/env bash
# Builds and installs the Python package with pip into a fresh virtual environment of each
# interpreter at hand (Debian's python3, and the python3 first on PATH when that is another one),
# then reads a sample through the installed package, from outside the source tree.
# Usage: pip_install_check.sh SOURCE_DIR
set -euo pipefail
source_dir="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
sample="$source_dir/samples/hello-bw.png"
expected="$(cat "$source_dir/samples/hello-bw.txt")"

interpreters=(/usr/bin/python3)
on_path="$(command -v python3 || true)"
if [[ -n "$on_path" && "$(realpath "$on_path")" != "$(realpath /usr/bin/python3)" ]]; then
  interpreters+=("$on_path")
fi

for python in "${interpreters[@]}"; do
  # One build tree per interpreter: its version and where it lives.
  tag="$("$python" -c 'import sys; print(sys.version.split()[0])')-$(realpath "$python" | md5sum | cut -c1-8)"
  venv="$work/venv-$tag"
  "$python" -m venv --system-site-packages "$venv"
  # Beside the source tree's build/, so that the compiler cache reuses its objects.
  "$venv/bin/python" -m pip install --quiet --no-build-isolation --no-index --no-cache-dir \
    --config-settings "build-dir=$source_dir/build-pip-$tag" "$source_dir" >&2
  cd "$work"
  "$venv/bin/python" - "$sample" "$expected" "$venv" <<'PYTHON'
import sys
import quorview

sample, expected, venv = sys.argv[1:]
assert quorview.__file__.startswith(venv), quorview.__file__
payloads = [s.payload for s in quorview.read_file(sample, code_type="bw")]
assert payloads == [expected], payloads
try:
    import cv2
except ImportError:
    cv2 = None
if cv2 is not None:  # this interpreter has OpenCV's bindings and NumPy: read an array too
    assert [s.payload for s in quorview.read(cv2.imread(sample), code_type="bw")] == [expected]
print(f"{sys.executable}: read {payloads[0]!r} with quorview {quorview.__version__}"
      f"{'' if cv2 else ' (no OpenCV: file read only)'}")
PYTHON
done
