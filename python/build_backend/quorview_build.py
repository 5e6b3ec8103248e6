"""A build back end for pip that builds the quorview wheel with the project's CMake build.

It needs only CMake, a C++ compiler and the libraries the build uses (scripts/install-deps.sh),
no package index and no Python build tools, so any Python 3 with pip can build and install the
package: pip install --no-build-isolation . The wheel holds quorview/__init__.py and the native
module built for the interpreter that runs pip. Config setting build-dir=DIR keeps the CMake build
in DIR for the next build of the same interpreter (give each interpreter its own); without it a
temporary tree is used. A DIR beside the source tree's build/ lets a compiler cache that works
relative to a base directory reuse that build's objects.
"""
import base64
import hashlib
import os
import pathlib
import re
import shutil
import subprocess
import sys
import sysconfig
import tempfile
import zipfile

ROOT = pathlib.Path(__file__).resolve().parents[2]


def _version():
    cmake = (ROOT / "CMakeLists.txt").read_text()
    return re.search(r"project\(Quorview VERSION ([0-9.]+)", cmake).group(1)


def _tag():
    """The wheel tag of this interpreter: python-abi-platform."""
    version = f"{sys.version_info[0]}{sys.version_info[1]}"
    prefix = "cp" if sys.implementation.name == "cpython" else sys.implementation.name[:2]
    abi = prefix + version + getattr(sys, "abiflags", "")
    platform = sysconfig.get_platform().replace("-", "_").replace(".", "_")
    return f"{prefix}{version}-{abi}-{platform}"


def _build(build_dir):
    """Builds the native module for this interpreter; its file and the package's __init__.py."""
    configure = ["cmake", "-S", str(ROOT), "-B", str(build_dir), "-DCMAKE_BUILD_TYPE=Release",
                 "-DQUORVIEW_BUILD_TESTS=OFF", "-DQUORVIEW_BUILD_BENCH=OFF",
                 f"-DPython3_EXECUTABLE={sys.executable}"]
    if shutil.which("ccache"):
        configure.append("-DCMAKE_CXX_COMPILER_LAUNCHER=ccache")
    build = ["cmake", "--build", str(build_dir), "--target", "quorview_python",
             "-j", str(os.cpu_count() or 2)]
    for command in (configure, build):
        # The build's progress goes to the error stream, which pip shows with -v.
        subprocess.run(command, check=True, stdout=sys.stderr)
    python = build_dir / "python"
    module_path = python / "native-module.txt"
    if not module_path.exists():
        raise RuntimeError("the Python module was not configured: pybind11-dev and the Python "
                           f"development files for {sys.executable} are needed")
    return pathlib.Path(module_path.read_text()), python / "package" / "quorview" / "__init__.py"


def _record_line(name, data):
    digest = base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=").decode()
    return f"{name},sha256={digest},{len(data)}"


def _dist_info(version, tag):
    metadata = (f"Metadata-Version: 2.1\nName: quorview\nVersion: {version}\n"
                "Summary: Read and write Quorel codes\nRequires-Python: >=3.6\n")
    wheel = (f"Wheel-Version: 1.0\nGenerator: quorview_build\nRoot-Is-Purelib: false\n"
             f"Tag: {tag}\n")
    return {"METADATA": metadata.encode(), "WHEEL": wheel.encode()}


def _write_wheel(path, files, dist_info):
    record = [_record_line(name, data) for name, data in files.items()]
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as wheel:
        for name, data in files.items():
            wheel.writestr(name, data)
        record.append(f"{dist_info}/RECORD,,")
        wheel.writestr(f"{dist_info}/RECORD", "\n".join(record) + "\n")


def get_requires_for_build_wheel(config_settings=None):
    return []


def build_wheel(wheel_directory, config_settings=None, metadata_directory=None):
    version, tag = _version(), _tag()
    given = (config_settings or {}).get("build-dir")
    with tempfile.TemporaryDirectory() as scratch:
        build_dir = pathlib.Path(given).resolve() if given else pathlib.Path(scratch)
        module, init = _build(build_dir)
        dist_info = f"quorview-{version}.dist-info"
        files = {"quorview/__init__.py": init.read_bytes(),
                 f"quorview/{module.name}": module.read_bytes()}
        for name, data in _dist_info(version, tag).items():
            files[f"{dist_info}/{name}"] = data
        name = f"quorview-{version}-{tag}.whl"
        _write_wheel(pathlib.Path(wheel_directory) / name, files, dist_info)
    return name
