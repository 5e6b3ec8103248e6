"""The cluster batch example on a local cluster agrees with the command-line program."""
import base64
import os
import pathlib
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


def command_line_payloads(binary, image, workdir):
    """What `Quorview FILE` prints after "Encoded text is: " (it writes its log in workdir)."""
    out = subprocess.run([binary, str(image)], cwd=workdir, capture_output=True, check=True).stdout
    prefix = b"Encoded text is: "
    return [line[len(prefix):].decode("utf-8") for line in out.splitlines() if line.startswith(prefix)]


def test_local_cluster_reads_a_folder_like_the_program(tmp_path):
    folder = tmp_path / "images"
    folder.mkdir()
    expected = {}
    for i in range(30):
        path = folder / f"img{i:02d}.png"
        if i % 10 == 9:
            cv2.imwrite(str(path), np.full((300, 300, 3), 255, np.uint8))  # nothing to read
            expected[str(path)] = []
        else:
            text = f"batch item {i}"
            cv2.imwrite(str(path), quorview.write(text, size=320 + 8 * i, start_angle=0.1 * i))
            expected[str(path)] = [text]
    (folder / "notes.txt").write_text("not an image")

    cluster = distributed.LocalCluster(n_workers=2, threads_per_worker=1, dashboard_address=None)
    client = distributed.Client(cluster)
    try:
        records = dask_batch.read_folder(client, str(folder))
    finally:
        client.close()
        cluster.close()

    assert [r["file"] for r in records] == sorted(expected)
    for record in records:
        texts = [base64.b64decode(s["data"]).decode("utf-8") for s in record["symbols"]]
        assert texts == expected[record["file"]], record["file"]

    binary = os.environ.get("QUORVIEW_BINARY")
    if binary:
        workdir = tmp_path / "cwd"
        workdir.mkdir()
        for record in records[:12]:
            assert command_line_payloads(binary, record["file"], workdir) == [
                s["text"] for s in record["symbols"]
            ], record["file"]
