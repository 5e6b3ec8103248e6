#!/usr/bin/python3
"""Planted faults: how many tests of the suite catch each of a list of known faults.

Plants one fault at a time in the sources of TREE (an exact text replacement that must match
once), rebuilds BUILD (a configured build tree of TREE), runs the suite without the install,
Python and evaluation tests, records the failing tests and puts the source back. Run it on a
scratch copy of the tree, never on a tree with work in progress. Results go to OUT as JSON.

Usage: scripts/planted_faults.py TREE BUILD OUT [fault-name ...]"""
import subprocess, sys, re, pathlib, json, time

FAULTS = [
 ("rs-syndrome-flip", "reedsolomon/ReedSolomon.cpp",
  "const bool clean = computeSyndromes();", "const bool clean = !computeSyndromes();"),
 ("mask-formula", "decoder/data/DataMask.cpp",
  "return ((row + column) / 2) % 2 != 0;", "return ((row + column) / 3) % 2 != 0;"),
 ("vertical-layout-order", "decoder/data/DataLayout.h",
  "        const bool downward = !snake || c % 2 == 0;\n        for (int i = 0; i < rows; ++i) {\n            const int r = downward ? i : rows - 1 - i;",
  "        const bool downward = !snake || c % 2 == 0;\n        for (int i = 0; i < rows; ++i) {\n            const int r = downward ? rows - 1 - i : i;"),
 ("letters-table-shift", "decoder/data/Decompressor.cpp",
  "return static_cast<char>('A' + value - 12);", "return static_cast<char>('A' + value - 11);"),
 ("ascii-length-check-removed", "decoder/data/FrameAcceptance.cpp",
  "return dataBits % kAsciiBits == 0;", "return true;"),
 ("inner-zebra-best-inverted", "decoder/InnerZebra.cpp",
  "if (combi < bestCombi) {", "if (bestCombi == infinity || combi > bestCombi) {"),
 ("start-marker-plausibility-removed", "decoder/StartMarker.cpp",
  "if (!duplicate && candidate.plausibility >= kMinPlausibility) {", "if (!duplicate) {"),
 ("outer-zebra-run-off-by-one", "decoder/OuterZebra.cpp",
  "    int current = result.startColour;\n    for (const cv::Point& offset : offsets) {\n        const int value = valueAt(offset);\n        if (value != current) {\n            result.angles.push_back(std::atan2(offset.y, offset.x));\n            current = value;\n        }\n    }",
  "    int current = result.startColour;\n    cv::Point previous = offsets.front();\n    for (const cv::Point& offset : offsets) {\n        const int value = valueAt(offset);\n        if (value != current) {\n            const cv::Point at = value == 0 ? previous : offset;\n            result.angles.push_back(std::atan2(at.y, at.x));\n            current = value;\n        }\n        previous = offset;\n    }"),
 ("outer-zebra-last-run-dropped", "decoder/OuterZebra.cpp",
  "    for (; u + 1 < a.size(); u += 2) {", "    for (; u + 2 < a.size(); u += 2) {"),
 ("colour-binarisation-channel-swap", "imaging/Preprocessing.cpp",
  "out = (in[0] > threshold || in[1] > threshold || in[2] > threshold) ? 255 : 0;",
  "out = (in[0] > threshold || in[1] > threshold || in[0] > threshold) ? 255 : 0;"),
 ("colour-sampler-table-entry", "decoder/data/ModuleSampler.cpp",
  "    5,  // green + blue: cyan", "    6,  // green + blue: cyan"),
 ("cli-r-ignored", "app/CommandLine.cpp",
  'if (options->count("-r") != 0) {', 'if (false && options->count("-r") != 0) {'),
]

def run(cmd, **kw):
    return subprocess.run(cmd, shell=True, capture_output=True, text=True, **kw)

def suite(build):
    r = run(f"cd {build} && ctest -j2 --timeout 300 -E 'InstalledPackage|Python|Eval' 2>&1")
    out = r.stdout
    m = re.search(r"(\d+) tests failed out of (\d+)", out)
    failed = [l.split(" - ", 1)[1].split(" (")[0].strip() for l in out.splitlines()
              if re.match(r"\s*\d+ - ", l)]
    if "100% tests passed" in out:
        return 0, int(re.search(r"out of (\d+)", out).group(1)), []
    return (int(m.group(1)), int(m.group(2)), failed) if m else (-1, -1, [out[-2000:]])

def source_of(build):
    """The source directory BUILD was configured from, or None when it is not a build tree."""
    cache = pathlib.Path(build) / "CMakeCache.txt"
    if not cache.is_file():
        return None
    m = re.search(r"^CMAKE_HOME_DIRECTORY:INTERNAL=(.*)$", cache.read_text(), re.M)
    return pathlib.Path(m.group(1)).resolve() if m else None

def main():
    tree, build, outpath = sys.argv[1:4]
    names = sys.argv[4:]
    # A build tree copied along with the sources still builds the sources it was configured
    # from: faults planted in TREE would go untested, or the suite would test another tree.
    if source_of(build) != pathlib.Path(tree).resolve():
        sys.exit(f"{build} is not a build tree configured from {tree}: "
                 f"configure one there first (cmake -S {tree} -B {build})")
    results = {}
    for name, rel, old, new in FAULTS:
        if names and name not in names:
            continue
        f = pathlib.Path(tree) / rel
        text = f.read_text()
        assert text.count(old) == 1, (name, text.count(old))
        t0 = time.time()
        try:
            f.write_text(text.replace(old, new))
            b = run(f"cmake --build {build} -j2 2>&1")
            if b.returncode != 0:
                results[name] = {"build": "failed", "log": b.stdout[-3000:]}
            else:
                n, total, failed = suite(build)
                results[name] = {"failed": n, "total": total, "tests": failed}
        finally:
            f.write_text(text)
        results[name]["seconds"] = round(time.time() - t0)
        print(name, results[name].get("failed"), results[name]["seconds"], flush=True)
        pathlib.Path(outpath).write_text(json.dumps(results, indent=1))
    b = run(f"cmake --build {build} -j2 2>&1")

main()
