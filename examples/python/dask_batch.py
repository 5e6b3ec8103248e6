"""Reads every file of a folder with the quorview module on a Dask cluster and writes the
Quorview program's JSON Lines to standard output, one line per file in name order: the lines of
`Quorview --format json FOLDER/*`.

    python3 dask_batch.py FOLDER                      # a cluster on this machine
    python3 dask_batch.py FOLDER --scheduler tcp://host:8786   # an existing cluster

The workers need the quorview module installed (or on PYTHONPATH), and the files must be
reachable under the same path from every worker.
"""
import argparse
import pathlib
import sys


def read_file(path, code_type="auto"):
    """One file's JSON line; runs on a worker."""
    import quorview

    return quorview.read_file(path, code_type=code_type).to_json(path)


def file_paths(folder):
    return sorted(str(p) for p in pathlib.Path(folder).iterdir() if p.is_file())


def read_folder(client, folder, code_type="auto"):
    """The JSON lines of every file in the folder, in file-name order."""
    futures = client.map(read_file, file_paths(folder), code_type=code_type, pure=False)
    return client.gather(futures)


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("folder")
    parser.add_argument("--scheduler", help="address of a running Dask scheduler")
    parser.add_argument("--code-type", default="auto", help="bw, color or auto (the default)")
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
        for line in read_folder(client, args.folder, args.code_type):
            sys.stdout.write(line + "\n")
    finally:
        client.close()
        if cluster is not None:
            cluster.close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
