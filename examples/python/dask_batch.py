"""Reads every image of a folder with the quorview module on a Dask cluster and writes one JSON
line per image to standard output (file, symbols, or the reason none was read).

    python3 dask_batch.py FOLDER                      # a cluster on this machine
    python3 dask_batch.py FOLDER --scheduler tcp://host:8786   # an existing cluster

The workers need the quorview module and OpenCV's Python bindings installed (or on PYTHONPATH),
and the images must be reachable under the same path from every worker.
"""
import argparse
import base64
import json
import pathlib
import sys

IMAGE_SUFFIXES = {".png", ".jpg", ".jpeg", ".bmp", ".tif", ".tiff", ".webp", ".pgm", ".ppm"}


def read_file(path, code_type="bw"):
    """One image's record; runs on a worker."""
    import cv2
    import quorview

    image = cv2.imread(path, cv2.IMREAD_COLOR)
    if image is None:
        return {"file": path, "symbols": [], "error": "cannot be read as an image"}
    try:
        symbols = quorview.read(image, code_type=code_type)
    except quorview.Error as error:
        return {"file": path, "symbols": [], "error": str(error), "code": error.code}
    records = []
    for symbol in symbols:
        record = dict(symbol)
        record["data"] = base64.b64encode(symbol["data"]).decode("ascii")
        records.append(record)
    return {"file": path, "symbols": records}


def image_paths(folder):
    return sorted(str(p) for p in pathlib.Path(folder).iterdir() if p.suffix.lower() in IMAGE_SUFFIXES)


def read_folder(client, folder, code_type="bw"):
    """Records of every image in the folder, in file-name order."""
    paths = image_paths(folder)
    futures = client.map(read_file, paths, code_type=code_type, pure=False)
    return client.gather(futures)


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("folder")
    parser.add_argument("--scheduler", help="address of a running Dask scheduler")
    parser.add_argument("--code-type", default="bw", choices=["bw", "color"])
    parser.add_argument("--workers", type=int, default=None, help="local cluster size")
    args = parser.parse_args(argv)

    from dask.distributed import Client, LocalCluster

    if args.scheduler:
        client = Client(args.scheduler)
        cluster = None
    else:
        cluster = LocalCluster(n_workers=args.workers, threads_per_worker=1, dashboard_address=None)
        client = Client(cluster)
    try:
        for record in read_folder(client, args.folder, args.code_type):
            sys.stdout.write(json.dumps(record) + "\n")
    finally:
        client.close()
        if cluster is not None:
            cluster.close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
