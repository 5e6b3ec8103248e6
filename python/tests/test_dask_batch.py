"""The cluster batch example on a local cluster writes the command-line program's JSON lines."""
import json
import os
import pathlib
import re
import subprocess
import sys

import cv2
import numpy as np
import pytest

import quorview

EXAMPLES = pathlib.Path(__file__).parents[2] / "examples" / "python"
sys.path.insert(0, str(EXAMPLES))
import dask_batch  # noqa: E402

distributed = pytest.importorskip("dask.distributed")


def without_time(line):
    """A JSON line with its decode time zeroed: the one field that differs from run to run."""
    return re.sub(r'"decodeMs":[0-9.eE+-]+', '"decodeMs":0', line)


def test_local_cluster_writes_the_programs_json_lines(tmp_path):
    folder = tmp_path / "images"
    folder.mkdir()
    expected = {}
    for i in range(24):
        path = folder / f"img{i:02d}.png"
        if i % 10 == 9:
            cv2.imwrite(str(path), np.full((300, 300, 3), 255, np.uint8))  # nothing to read
            expected[str(path)] = []
        else:
            text = f"batch item {i}"
            cv2.imwrite(str(path), quorview.write(text, size=320 + 8 * i, rotation=6 * i))
            expected[str(path)] = [text]
    (folder / "notes.txt").write_text("not an image")
    expected[str(folder / "notes.txt")] = []

    cluster = distributed.LocalCluster(n_workers=2, threads_per_worker=1, dashboard_address=None)
    client = distributed.Client(cluster)
    try:
        lines = dask_batch.read_folder(client, str(folder))
    finally:
        client.close()
        cluster.close()

    records = [json.loads(line) for line in lines]
    assert [r["file"] for r in records] == sorted(expected)
    for record in records:
        assert [s["payload"] for s in record["symbols"]] == expected[record["file"]], record["file"]

    binary = os.environ.get("QUORVIEW_BINARY")
    if binary:
        out = subprocess.run([binary, "--format", "json"] + [r["file"] for r in records],
                             capture_output=True, check=False).stdout.decode("utf-8")
        # The same text, character for character, but for the time.
        assert [without_time(line) for line in out.splitlines()] == [without_time(l) for l in lines]
