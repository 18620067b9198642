#!/usr/bin/python3
"""backtrail-cluster: backtrail-scan over many logs on a Dask cluster.

Each log file is scanned by `backtrail-scan --format json` on a worker (on
the worker of its host for HOST:PATH), the results are merged in the order of
the arguments by `backtrail-scan --merge`, as a tree over neighbouring groups,
and the last merge prints what one `backtrail-scan` of all the files prints.
Installed as backtrail-cluster beside backtrail-scan.
"""
from __future__ import annotations

import argparse
import ipaddress
import logging
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import uuid
import warnings
from typing import IO, TYPE_CHECKING, Any, NoReturn, Sequence

if TYPE_CHECKING:
    from distributed import Client, Future

PROG = "backtrail-cluster"
SCANNER = "backtrail-scan"
EXIT_FILES, EXIT_USAGE, EXIT_STOPPED = 1, 2, 130
RUN_MARK = "BACKTRAIL_CLUSTER_RUN"  # in the environment of the scanners a run starts
GROUP = 16  # results merged at a time

# backtrail-scan's options that shape each file's scan, and those that shape
# the printed answer only.
SCAN_VALUES = ("domain", "since", "until", "crawler-list", "spam-list", "threads", "log-format")
SCAN_SWITCHES = ("dupes", "types", "https", "bots", "spam")
PRINT_VALUES = ("format", "output", "sort")
PRINT_FLAGS = ("by-site", "quiet")


class ClusterError(Exception):
    """A fault that ends the run: the message is printed, the status returned."""

    def __init__(self, message: str, status: int = EXIT_FILES) -> None:
        super().__init__(message)
        self.status = status


# ---- what runs on the workers ----------------------------------------------
# These functions travel to the workers by value, so a worker needs Dask and
# backtrail-scan but not this program.

def find_scanner(explicit: str, folders: list[str]) -> str:
    """The scanner on this machine: EXPLICIT when given, else the one in the
    first of FOLDERS that has one, else the first on PATH."""
    if explicit:
        return explicit
    for folder in folders:
        candidate = os.path.join(folder, SCANNER)
        if os.access(candidate, os.X_OK):
            return candidate
    found = shutil.which(SCANNER)
    if not found:
        raise ClusterError(f"{SCANNER} is neither beside {PROG} nor on PATH on {socket.gethostname()}")
    return found


def worker_scanner(explicit: str, beside: str) -> str:
    """A worker's scanner: the one beside this machine's backtrail-cluster, else
    beside the caller's (BESIDE, when this machine has that folder too), else on PATH."""
    own = shutil.which(PROG)
    return find_scanner(explicit, ([os.path.dirname(os.path.realpath(own))] if own else []) + [beside])


def sort_key(name: str) -> tuple[list[str], list[int]]:
    """The scanner's order of a folder's files: letter case ignored, then as written."""
    units = list(name.encode("utf-16-le", "surrogatepass"))
    return [c.lower() if len(c.lower()) == 1 else c for c in name], units


def expand(path: str) -> list[tuple[str, int]]:
    """PATH's files with their sizes: a folder's ordinary files, hidden ones
    apart, in the scanner's order; anything else as itself (the scanner
    reports what is wrong with it)."""
    if not os.path.isdir(path):
        try:
            return [(path, os.stat(path).st_size)]
        except OSError:
            return [(path, 0)]
    files = []
    for entry in os.scandir(path):
        if entry.name.startswith("."):
            continue
        try:
            info = os.stat(entry.path)
        except OSError:
            continue
        if os.path.isfile(entry.path):
            files.append((entry.name, info.st_size))
    files.sort(key=lambda item: sort_key(item[0]))
    return [(path + "/" + name, size) for name, size in files]


def run_scanner(command: list[str], run_id: str) -> bytes:
    """Runs the scanner, marked as one of this run's, and returns what it printed."""
    proc = subprocess.run(command, stdin=subprocess.DEVNULL, capture_output=True,
                          env={**os.environ, RUN_MARK: run_id})
    text = proc.stderr.decode("utf-8", "replace").strip()
    where = socket.gethostname()
    if proc.returncode == EXIT_USAGE:
        raise ClusterError(f"{where}: {text}", EXIT_USAGE)
    if proc.returncode not in (0, EXIT_FILES):
        raise ClusterError(f"{where}: {command[0]} ended with status {proc.returncode}" + (f": {text}" if text else ""))
    return proc.stdout


def stop_scans(run_id: str) -> int:
    """Ends this worker's scanners of the run RUN_ID (Linux: by /proc); returns how many."""
    mark = f"{RUN_MARK}={run_id}".encode()
    stopped = 0
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open(f"/proc/{pid}/stat", "rb") as file:
                parent = int(file.read().rsplit(b")", 1)[1].split()[1])
            with open(f"/proc/{pid}/environ", "rb") as file:
                marked = mark in file.read().split(b"\0")
            if parent == os.getpid() and marked:
                os.kill(int(pid), signal.SIGTERM)
                stopped += 1
        except (OSError, ValueError, IndexError):
            continue
    return stopped


def scan(path: str, options: list[str], explicit: str, beside: str, run_id: str) -> bytes:
    """One file's result, as `backtrail-scan --format json` writes it."""
    scanner = worker_scanner(explicit, beside)
    return run_scanner([scanner, "--quiet", "--format", "json", *options, "--", path], run_id)


def merge(explicit: str, beside: str, details: bool, run_id: str, *results: bytes) -> bytes:
    """Neighbouring results merged, in order, into one result."""
    scanner = worker_scanner(explicit, beside)
    with tempfile.TemporaryDirectory(prefix="backtrail-cluster.") as folder:
        names = write_results(folder, results)
        return run_scanner([scanner, "--merge", "--quiet", "--format", "json"]
                           + (["--details"] if details else []) + names, run_id)


def write_results(folder: str, results: Sequence[bytes]) -> list[str]:
    names = []
    for i, result in enumerate(results):
        name = os.path.join(folder, f"part{i}.json")
        with open(name, "wb") as file:
            file.write(result)
        names.append(name)
    return names


# ---- the command line -------------------------------------------------------

class Parser(argparse.ArgumentParser):
    def error(self, message: str) -> NoReturn:
        fail(f"{message}\nTry '{PROG} --help'.", EXIT_USAGE)


def fail(message: str, status: int) -> NoReturn:
    sys.stderr.write(f"{PROG}: {message}\n")
    sys.exit(status)


def parse_arguments(argv: Sequence[str]) -> argparse.Namespace:
    parser = Parser(
        prog=PROG, allow_abbrev=False,
        usage=f"{PROG} (--local N | --scheduler ADDRESS | --ssh HOST,...) [OPTION]... [HOST:]PATH...",
        description="Scans web-server access logs on a Dask cluster, each file by backtrail-scan on a worker "
                    "(on HOST for HOST:PATH), and prints what one backtrail-scan of all the files, in this order, "
                    "prints.")
    cluster = parser.add_argument_group("the cluster")
    where = cluster.add_mutually_exclusive_group(required=True)
    where.add_argument("--local", type=int, metavar="N", help="Start a local cluster of N worker processes.")
    where.add_argument("--scheduler", metavar="ADDRESS",
                       help="Use a running cluster's scheduler (tcp://host:8786).")
    where.add_argument("--ssh", metavar="HOST,...",
                       help="Start a scheduler on the first HOST and a worker on each, over SSH.")
    cluster.add_argument("--scanner", metavar="FILE", default=os.environ.get("BACKTRAIL_SCAN", ""),
                         help=f"The {SCANNER} to run on every machine (default: $BACKTRAIL_SCAN, else the one "
                              f"beside {PROG} on each machine, else the first on PATH).")
    cluster.add_argument("--group", type=int, metavar="N", default=GROUP,
                         help=f"Merge results N at a time (default {GROUP}).")
    scanning = parser.add_argument_group(f"{SCANNER}'s options, with the same meaning (see {SCANNER} --help)")
    metavars = ("TEXT", "DATE", "DATE", "FILE", "FILE", "N", "SHAPE", "FORMAT", "FILE", "ORDER")
    for name, metavar in zip(SCAN_VALUES + PRINT_VALUES, metavars):
        scanning.add_argument(f"--{name}", metavar=metavar)
    for name in SCAN_SWITCHES:
        scanning.add_argument(f"--{name}", action="store_true")
        scanning.add_argument(f"--no-{name}", action="store_true")
    for name in ("details",) + PRINT_FLAGS:
        scanning.add_argument(f"--{name}", action="store_true")
    parser.add_argument("--version", action="store_true", help="Show the version.")
    parser.add_argument("paths", nargs="*", metavar="[HOST:]PATH",
                        help="Log files or folders, in this order; HOST: has a worker on HOST read them.")
    if "--version" in argv[:list(argv).index("--")] if "--" in argv else "--version" in argv:
        return argparse.Namespace(version=True, scanner=parser.get_default("scanner"))
    args = parser.parse_args(argv)
    if not args.paths:
        parser.error("no log file given")
    if args.local is not None and args.local < 1:
        parser.error(f"--local takes a number of workers from 1 on, not {args.local}")
    if args.group < 2:
        parser.error(f"--group takes a number from 2 on, not {args.group}")
    args.hosts = [h for h in (args.ssh or "").split(",") if h]
    if args.ssh is not None and not args.hosts:
        parser.error("--ssh takes a list of hosts: web1,web2")
    return args


def scan_options(args: argparse.Namespace) -> list[str]:
    """The options each file's scan is given."""
    options = []
    for name in SCAN_VALUES:
        value = getattr(args, name.replace("-", "_"))
        if value is not None:
            # A worker's working folder is not this one: list files by their full path.
            options.append(f"--{name}={os.path.abspath(value) if name.endswith('-list') else value}")
    for name in SCAN_SWITCHES:
        for form in (name, "no-" + name):
            if getattr(args, form.replace("-", "_")):
                options.append("--" + form)
    return options + (["--details"] if args.details else [])


def print_options(args: argparse.Namespace) -> list[str]:
    """The options of the last merge, which prints the answer. Grouping by
    site tells spam by the lists, so the merge reads them too."""
    options = [f"--{name}={getattr(args, name)}" for name in PRINT_VALUES if getattr(args, name) is not None]
    options += [f"--{name}={getattr(args, name.replace('-', '_'))}" for name in ("crawler-list", "spam-list")
                if getattr(args, name.replace("-", "_")) is not None]
    options += ["--" + name for name in PRINT_FLAGS if getattr(args, name.replace("-", "_"))]
    return options + (["--details"] if args.details else [])


def split_host(argument: str) -> tuple[str, str]:
    """HOST:PATH as (HOST, PATH); a PATH with no host part as ("", PATH)."""
    match = re.fullmatch(r"\[([^]/]+)\]:(.+)|([^/:]+):(.+)", argument)
    if not match:
        return "", argument
    return (match.group(1), match.group(2)) if match.group(1) else (match.group(3), match.group(4))


def check_options(scanner: str, args: argparse.Namespace, folder: str) -> bytes:
    """Runs the scanner on an empty folder with the options, which checks them
    the scanner's way, and returns the result of a scan of no files."""
    options = scan_options(args)
    if args.format is not None and args.format not in ("table", "tsv", "json", "html"):
        options.append(f"--format={args.format}")  # refused: the scanner's own words
    try:
        done = subprocess.run([scanner, "--quiet", "--format=json", *options, folder],
                              stdin=subprocess.DEVNULL, capture_output=True)
    except OSError as error:
        raise ClusterError(f"cannot run {scanner}: {error.strerror}") from None
    if done.returncode != 0:
        text = done.stderr.decode("utf-8", "replace").replace(f"Try '{SCANNER} --help'", f"Try '{PROG} --help'")
        sys.stderr.write(text.replace(f"{SCANNER}: ", f"{PROG}: ", 1))
        raise ClusterError("", done.returncode)
    return done.stdout


# ---- the cluster -------------------------------------------------------------

def start_cluster(args: argparse.Namespace) -> tuple[Client, Any]:
    """A client of the cluster the arguments name, and the cluster when started here."""
    from distributed import Client, LocalCluster
    from distributed.deploy.ssh import SSHCluster

    if args.scheduler:
        try:
            return Client(args.scheduler, timeout=15), None
        except (OSError, TimeoutError) as error:
            raise ClusterError(f"cannot reach the scheduler at {args.scheduler}: {error}") from None
    # The workers started here leave Ctrl+C to this program, which stops them.
    previous = signal.signal(signal.SIGINT, signal.SIG_IGN)
    cluster: Any
    try:
        if args.local is not None:
            cluster = LocalCluster(n_workers=args.local, threads_per_worker=1, processes=True, host="127.0.0.1",
                                   dashboard_address="127.0.0.1:0", worker_dashboard_address="127.0.0.1:0")
        else:
            # Hosts that are all this machine keep the cluster on 127.0.0.1.
            bind = {"host": "127.0.0.1", "dashboard_address": "127.0.0.1:0"} if all(map(loopback, args.hosts)) else {}
            cluster = SSHCluster([args.hosts[0]] + args.hosts, remote_python=sys.executable,
                                 worker_options={"nthreads": 1, **bind}, scheduler_options={"port": 0, **bind})
    finally:
        signal.signal(signal.SIGINT, previous)
    return Client(cluster), cluster


def loopback(host: str) -> bool:
    try:
        return all(ipaddress.ip_address(info[4][0]).is_loopback for info in socket.getaddrinfo(host, None))
    except (OSError, ValueError):
        return False


def worker_host(client: Client, host: str, wait: float = 10) -> str:
    """How the scheduler is to know HOST's workers: a worker's name as it is
    (`dask worker --name HOST`), else the address of the host that HOST names.
    A worker that is still joining is waited for WAIT seconds."""
    try:
        addresses = {str(info[4][0]) for info in socket.getaddrinfo(host, None)}
    except OSError:
        addresses = set()
    deadline = time.monotonic() + wait
    while True:
        workers = client.scheduler_info()["workers"].values()
        if any(str(info.get("name")) == host for info in workers):
            return host
        for info in workers:
            if info["host"] == host or info["host"] in addresses:
                return str(info["host"])
        if time.monotonic() > deadline:
            break
        time.sleep(0.2)
    known = ", ".join(sorted({f"{info['host']} (named {info.get('name')})" for info in workers})) or "none"
    raise ClusterError(f"no worker runs on {host} (workers: {known})")


class Progress:
    """Files and bytes done and workers busy, redrawn on a terminal."""

    def __init__(self, stream: IO[str], shown: bool) -> None:
        self.stream, self.shown, self.drawn = stream, shown, False

    def draw(self, files: int, of_files: int, done: int, of_bytes: int, busy: int, workers: int) -> None:
        if not self.shown:
            return
        self.stream.write(f"\r{PROG}: {files} of {of_files} files, {size(done)} of {size(of_bytes)}, "
                          f"{busy} of {workers} workers busy\x1b[K")
        self.stream.flush()
        self.drawn = True

    def clear(self) -> None:
        if self.drawn:
            self.stream.write("\r\x1b[K")
            self.stream.flush()
        self.drawn = False


def size(count: int) -> str:
    if count < 1024:
        return f"{count} bytes"
    amount = float(count)
    for unit in ("KB", "MB", "GB"):
        amount /= 1024
        if amount < 1024 or unit == "GB":
            break
    return f"{amount:.1f} {unit}"


def run(client: Client, args: argparse.Namespace, scanner: str, empty: bytes, run_id: str,
        submitted: list[Future]) -> int:
    """Places the scans and merges, follows them, and prints the answer; the
    futures made go to SUBMITTED, to be cancelled on Ctrl+C."""
    from distributed import wait

    beside = os.path.dirname(os.path.realpath(sys.argv[0]))
    explicit = os.path.abspath(args.scanner) if args.scanner else ""
    client.wait_for_workers(1, timeout=120)
    # Each argument as its files (listed on its host), each file a scan there.
    placed = []
    for argument in args.paths:
        host, path = split_host(argument)
        placed.append((path, worker_host(client, host) if host else None))
    submitted += [client.submit(expand, path, workers=where, pure=False) for path, where in placed]
    listed = client.gather(submitted)
    options = scan_options(args)
    leaves: list[Future] = []
    sizes: dict[str, int] = {}
    for (_, where), files in zip(placed, listed):
        for path, length in files:
            future = client.submit(scan, path, options, explicit, beside, run_id, workers=where, pure=False)
            leaves.append(future)
            sizes[future.key] = length
    submitted += leaves
    # A tree of merges over neighbouring groups, down to one group.
    level = list(leaves)
    while len(level) > args.group:
        level = [client.submit(merge, explicit, beside, args.details, run_id, *level[i:i + args.group], pure=False)
                 for i in range(0, len(level), args.group)]
        submitted += level
    progress = Progress(sys.stderr, not args.quiet and sys.stderr.isatty())
    total = sum(sizes.values())
    unfinished = set(level) | set(leaves)
    while unfinished:
        try:
            wait(list(unfinished), timeout=0.5, return_when="FIRST_COMPLETED")
        except TimeoutError:
            pass
        for future in [f for f in unfinished if f.done()]:
            unfinished.discard(future)
            if future.status != "finished":
                progress.clear()
                future.result()  # raises the task's error
        if progress.shown:
            busy = client.processing()
            progress.draw(sum(1 for f in leaves if f.done()), len(leaves),
                          sum(sizes[f.key] for f in leaves if f.done()), total,
                          sum(1 for keys in busy.values() if keys), len(busy))
    progress.clear()
    results = client.gather(level) if level else [empty]
    with tempfile.TemporaryDirectory(prefix="backtrail-cluster.") as folder:
        names = write_results(folder, results)
        return subprocess.run([scanner, "--merge", *print_options(args), *names], stdin=subprocess.DEVNULL).returncode


def main(argv: Sequence[str]) -> int:
    args = parse_arguments(argv)
    try:
        scanner = find_scanner(os.path.abspath(args.scanner) if args.scanner else "",
                               [os.path.dirname(os.path.realpath(sys.argv[0]))])
        if args.version:
            version = subprocess.run([scanner, "--version"], capture_output=True, text=True).stdout.split()
            print(PROG, version[-1] if version else "(unknown)")
            return 0
        with tempfile.TemporaryDirectory(prefix="backtrail-cluster.") as folder:
            empty = check_options(scanner, args, folder)
    except ClusterError as error:
        if str(error):
            sys.stderr.write(f"{PROG}: {error}\n")
        return error.status
    # Dask's own log lines would crowd out the scanner's; errors still show.
    # The workers of a local cluster take the level from the environment; a
    # cluster over SSH must keep its own, since Dask reads the address of the
    # scheduler it starts from that scheduler's log.
    if args.local is not None:
        os.environ.setdefault("DASK_LOGGING__DISTRIBUTED", "error")
        # Workers forked from a server process that has loaded Dask once start
        # in about half the time of fresh interpreters (Dask's default).
        os.environ.setdefault("DASK_DISTRIBUTED__WORKER__MULTIPROCESSING_METHOD", "forkserver")
    import distributed  # noqa: F401 - which sets up its logging, to be quietened here
    logging.getLogger("distributed").setLevel(logging.ERROR)
    warnings.filterwarnings("ignore", module=r"asyncssh\.")  # its ciphers that the cryptography module deprecates
    client = cluster = None
    run_id = uuid.uuid4().hex
    submitted: list[Future] = []
    try:
        client, cluster = start_cluster(args)
        return run(client, args, scanner, empty, run_id, submitted)
    except KeyboardInterrupt:
        sys.stderr.write(f"\r\x1b[K{PROG}: stopped; the scans were cancelled\n")
        if client is not None:
            stop(client, run_id, submitted)
        return EXIT_STOPPED
    except Exception as error:  # a task's or Dask's fault, told in one line
        # A worker's ClusterError comes back as a copy of the class.
        told = str(error) if type(error).__name__ == "ClusterError" else f"{type(error).__name__}: {error}"
        sys.stderr.write(f"{PROG}: {told}\n")
        return int(getattr(error, "status", EXIT_FILES))
    finally:
        for part in (client, cluster):
            if part is not None:
                try:
                    part.close()
                except Exception:  # noqa: BLE001 - closing after a fault
                    pass


def stop(client: Client, run_id: str, submitted: list[Future]) -> None:
    """Cancels every task and ends the scanners that run on the workers."""
    try:
        client.cancel(submitted)
        client.run(stop_scans, run_id)
    except Exception:  # noqa: BLE001 - stopping anyway
        pass


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
