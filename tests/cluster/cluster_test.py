#!/usr/bin/python3
"""backtrail-cluster against backtrail-scan on the same files: the output,
the standard error and the exit status must be the same, byte for byte.

    cluster_test.py --scan BACKTRAIL_SCAN --program backtrail_cluster.py [--apache-log FILE] [unittest args]

Every cluster here listens on 127.0.0.1 only.
"""
from __future__ import annotations

import argparse
import gzip
import json
import os
import pty
import random
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import unittest
from pathlib import Path
from typing import Any

SCAN = PROGRAM = APACHE_LOG = ""
PYTHON = "/usr/bin/python3"
OWN = "www.own.example"
TIMEOUT = 120


def random_log(rng: random.Random, lines: int) -> bytes:
    """A combined log of referrer lines, crawlers', spam, the site's own, lines
    without a time and noise, some referrers with bytes that are no UTF-8 (the
    results keep every byte, so the merge prints them as the scan does)."""
    hosts = ["a.example", "b.example", "spam.example", "Blog.Example", OWN, "c.example:8080"]
    pages = ["/", "/index.html", "/pic.jpg", "/file.zip", "/doc.pdf", "/x?q=1", "/deep/page.htm", "/caf\udce9"]
    agents = ["Mozilla/5.0 (X11; Linux x86_64)", "Googlebot/2.1 (+http://www.google.com/bot.html)",
              "TestBot/1.0", "curl/7.88", "Mozilla/5.0 (compatible; +http://a.example/agent)"]
    out = []
    for _ in range(lines):
        kind = rng.random()
        if kind < 0.05:
            out.append("not a log line at all http://")
            continue
        day, hour = rng.randint(5, 9), rng.randint(0, 23)
        zone = rng.choice(["+0000", "+0200", "-0500"])
        when = f"[{day:02d}/Dec/2026:{hour:02d}:{rng.randint(0, 59):02d}:{rng.randint(0, 59):02d} {zone}]"
        if kind < 0.1:
            when = "[no time]"
        scheme = rng.choice(["http", "https"])
        referrer = "-" if kind < 0.2 else f"{scheme}://{rng.choice(hosts)}{rng.choice(pages)}"
        out.append(f'10.0.{rng.randint(0, 3)}.{rng.randint(1, 9)} - - {when} "GET {rng.choice(pages)} HTTP/1.1" '
                   f'200 {rng.randint(0, 9999)} "{referrer}" "{rng.choice(agents)}"')
    return ("\n".join(out) + "\n").encode("ascii", "surrogateescape")


def random_options(rng: random.Random, work: Path) -> list[str]:
    options: list[str] = []
    for name in ("dupes", "types", "https", "bots", "spam"):
        options += rng.choice([[], [f"--{name}"], [f"--no-{name}"]])
    if rng.random() < 0.7:
        options += ["--domain", OWN]
    if rng.random() < 0.3:
        options += [f"--since=2026-12-0{rng.randint(5, 7)}"]
    if rng.random() < 0.3:
        options += ["--until", f"2026-12-0{rng.randint(6, 9)}T12:00"]
    if rng.random() < 0.3:
        (work / "crawlers.json").write_text(json.dumps([{"pattern": "TestBot"}, {"pattern": "curl"}]))
        options += ["--crawler-list", str(work / "crawlers.json")]
    if rng.random() < 0.3:
        (work / "spam.txt").write_text("spam.example\nb.example\n")
        options += ["--spam-list", str(work / "spam.txt")]
    options += rng.choice([[], ["--details"]])
    options += rng.choice([[], ["--by-site"]])
    options += rng.choice([[], ["--threads", "1"], ["--threads=2"]])
    options += rng.choice([[], ["--format", "table"], ["--format", "tsv"], ["--format=json"], ["--format", "html"]])
    return options


def environment(work: Path) -> dict[str, str]:
    """The settings of a folder of their own, the same for both programs."""
    return {**os.environ, "XDG_CONFIG_HOME": str(work / "config"), "PYTHONUNBUFFERED": "1"}


def run(command: list[str], env: dict[str, str]) -> subprocess.CompletedProcess[bytes]:
    return subprocess.run(command, capture_output=True, env=env, timeout=TIMEOUT, stdin=subprocess.DEVNULL)


def cluster(*arguments: str) -> list[str]:
    return [PYTHON, PROGRAM, "--scanner", SCAN, *arguments]


def wrapper(work: Path, name: str, body: str) -> Path:
    """A stand-in scanner that, run by a worker, does BODY and then runs the real one."""
    path = work / name
    path.write_text(f"#!/bin/bash\nif [ -n \"$BACKTRAIL_CLUSTER_RUN\" ]; then\n{body}\nfi\nexec '{SCAN}' \"$@\"\n")
    path.chmod(0o755)
    return path


class ClusterCase(unittest.TestCase):
    def setUp(self) -> None:
        self.work = Path(tempfile.mkdtemp(prefix="cluster-test."))
        self.addCleanup(shutil.rmtree, self.work, True)
        self.env = environment(self.work)

    def assertSame(self, files: list[str], options: list[str], **where: Any) -> None:
        """The cluster's answer for FILES is the scanner's, output file included."""
        scan_options, cluster_options = list(options), list(options)
        if "--output" in where:
            scan_options += ["--output", str(self.work / "scan.out")]
            cluster_options += ["--output", str(self.work / "cluster.out")]
        scan_files = [re.sub(r"^(localhost|127\.0\.0\.1|w\d):", "", f) for f in files]
        expected = run([SCAN, *scan_options, *scan_files], self.env)
        got = run(where.get("command", cluster("--local", "2")) + cluster_options + files, self.env)
        told = f"options {options}, files {files}\ncluster stderr:\n{got.stderr.decode(errors='replace')}"
        self.assertEqual(got.returncode, expected.returncode, told)
        self.assertEqual(got.stdout, expected.stdout, told)
        if expected.returncode == 2:  # a usage error names the program that was run
            expected.stderr = expected.stderr.replace(b"backtrail-scan", b"backtrail-cluster")
        self.assertEqual(got.stderr, expected.stderr, told)
        if "--output" in where:
            self.assertEqual((self.work / "cluster.out").read_bytes(), (self.work / "scan.out").read_bytes(), told)


class Equality(ClusterCase):
    def logs(self, rng: random.Random, count: int) -> list[str]:
        """COUNT logs, plain and gzip, and a folder of mixed-case names with a
        hidden file and a subfolder in it."""
        names = []
        work = Path(tempfile.mkdtemp(dir=self.work))
        for i in range(count):
            data = random_log(rng, rng.randint(0, 300))
            if rng.random() < 0.4:
                path = work / f"access.log.{i}.gz"
                path.write_bytes(gzip.compress(data))
            else:
                path = work / f"access{i}.log"
                path.write_bytes(data)
            names.append(str(path))
        folder = work / "folder"
        (folder / "sub").mkdir(parents=True)
        for name in ("b.log", "A.log", "a.LOG.gz", "C.log", ".hidden.log", "sub/inner.log"):
            data = random_log(rng, 50)
            (folder / name).write_bytes(gzip.compress(data) if name.endswith(".gz") else data)
        return names + [str(folder), str(folder) + "/", str(work / "missing.log"), str(folder / ".hidden.log")]

    def test_random_files_and_options(self) -> None:
        """Random sets of files with random options, on a local cluster."""
        seed = int(os.environ.get("BACKTRAIL_TEST_SEED", random.randrange(1 << 30)))
        rng = random.Random(seed)
        for round in range(6):
            with self.subTest(seed=seed, round=round):
                pool = self.logs(rng, 5)
                files = rng.sample(pool, rng.randint(1, len(pool)))
                files = [rng.choice(["", "localhost:", "127.0.0.1:"]) + f for f in files]
                options = random_options(rng, self.work)
                where: dict[str, Any] = {"command": cluster("--local", str(rng.randint(1, 2)),
                                                            "--group", str(rng.randint(2, 4)))}
                if rng.random() < 0.3:
                    where["output"] = True
                self.assertSame(files, options, **where)

    def test_folders_only_empty(self) -> None:
        """Nothing but an empty folder: the answer of a scan of no files."""
        (self.work / "empty").mkdir()
        self.assertSame([str(self.work / "empty")], ["--format", "json"])

    def test_real_log_in_rotated_parts(self) -> None:
        """A real server's log cut in parts as log rotation leaves them."""
        if not os.path.exists(APACHE_LOG):
            self.skipTest("the real Apache log is absent")
        lines = Path(APACHE_LOG).read_bytes().splitlines(keepends=True)
        parts = []
        for i in range(4):
            part = b"".join(lines[i * len(lines) // 4:(i + 1) * len(lines) // 4])
            path = self.work / f"access.log.{i}.gz"
            path.write_bytes(gzip.compress(part))
            parts.append(str(path))
        for options in (["--format", "json", "--details"], ["--by-site", "--no-bots"]):
            self.assertSame(parts[::-1], options, command=cluster("--local", "2", "--group", "2"))


class Faults(ClusterCase):
    def setUp(self) -> None:
        super().setUp()
        rng = random.Random(7)
        self.logs = self.work / "logs"
        self.logs.mkdir()
        self.files = []
        for i in range(8):
            path = self.logs / f"access{i}.log"
            path.write_bytes(random_log(rng, 200))
            self.files.append(str(path))

    def test_worker_killed_mid_run(self) -> None:
        """A worker killed while it scans: its tasks run again elsewhere."""
        pids = self.work / "pids"
        slow = wrapper(self.work, "slow-scan", f'echo $PPID >> "{pids}"; sleep 0.4')
        expected = run([SCAN, "--format", "json", *self.files], self.env)
        proc = subprocess.Popen([PYTHON, PROGRAM, "--scanner", str(slow), "--local", "2", "--group", "3",
                                 "--format", "json", *self.files],
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=self.env)
        deadline = time.monotonic() + 60
        while not pids.exists() or not pids.read_text().strip():
            self.assertLess(time.monotonic(), deadline, "no scan started")
            time.sleep(0.05)
        worker = int(pids.read_text().split()[0])
        os.kill(worker, signal.SIGKILL)
        out, err = proc.communicate(timeout=TIMEOUT)
        self.assertEqual((proc.returncode, out, err), (expected.returncode, expected.stdout, expected.stderr))
        # Each file scanned and each group of 3 merged on a worker, and the killed task once more.
        launched = pids.read_text().split()
        self.assertGreaterEqual(len(launched), len(self.files) + 3 + 1)
        self.assertIn(str(worker), launched)

    def test_scheduler_and_workers_apart(self) -> None:
        """A scheduler and two workers started as processes of their own, as on
        several machines; HOST:PATH is read by the worker named HOST."""
        address = self.work / "scheduler.json"
        dask = [PYTHON, "-m", "distributed.cli.dask_scheduler"]
        started = [subprocess.Popen(dask + ["--host", "127.0.0.1", "--port", "0", "--dashboard-address", "127.0.0.1:0",
                                            "--scheduler-file", str(address)], env=self.env,
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)]
        for name in ("w1", "w2"):
            started.append(subprocess.Popen(
                [PYTHON, "-m", "distributed.cli.dask_worker", "--scheduler-file", str(address), "--name", name,
                 "--host", "127.0.0.1", "--nthreads", "1", "--dashboard-address", "127.0.0.1:0", "--no-nanny"],
                env={**self.env, "TEST_WORKER": name}, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
        for process in started:
            self.addCleanup(process.wait, 30)
            self.addCleanup(process.terminate)
        deadline = time.monotonic() + 60
        while not address.exists():
            self.assertLess(time.monotonic(), deadline, "the scheduler did not start")
            time.sleep(0.1)
        time.sleep(0.2)
        scheduler = json.loads(address.read_text())["address"]
        log = self.work / "where"
        tell = wrapper(self.work, "tell-scan", f'echo "$TEST_WORKER ${{@: -1}}" >> "{log}"')
        files = [f"w{1 + i % 2}:{f}" for i, f in enumerate(self.files)] + [self.files[0]]
        command = [PYTHON, PROGRAM, "--scanner", str(tell), "--scheduler", scheduler]
        for options in (["--format", "tsv"], ["--no-dupes", "--details", "--format", "json"]):
            self.assertSame(files, options, command=command)
        scans = [line.split() for line in log.read_text().splitlines()]
        for i, path in enumerate(self.files[1:], 1):
            workers = {fields[0] for fields in scans if len(fields) == 2 and fields[1] == path}
            self.assertEqual(workers, {f"w{1 + i % 2}"}, f"{path} read by {workers}")

    def test_over_ssh(self) -> None:
        """--ssh: a scheduler and two workers started over SSH, by an sshd of
        this test's own on 127.0.0.1 (skipped where openssh-server is absent)."""
        sshd, keygen = "/usr/sbin/sshd", shutil.which("ssh-keygen")
        if not os.path.exists(sshd) or not keygen:
            self.skipTest("no sshd or ssh-keygen (openssh-server)")
        if os.getuid() == 0:
            os.makedirs("/run/sshd", exist_ok=True)  # sshd's privilege separation folder
        elif not os.path.isdir("/run/sshd"):
            self.skipTest("sshd lacks /run/sshd")
        home = self.work / "home"
        (home / ".ssh").mkdir(parents=True)
        for key in (self.work / "host", home / ".ssh" / "id"):
            subprocess.run([keygen, "-q", "-t", "ed25519", "-N", "", "-f", str(key)], check=True)
        with socket.socket() as probe:
            probe.bind(("127.0.0.1", 0))
            port = probe.getsockname()[1]
        (self.work / "sshd_config").write_text(
            f"ListenAddress 127.0.0.1\nPort {port}\nHostKey {self.work}/host\n"
            f"AuthorizedKeysFile {home}/.ssh/id.pub\nPasswordAuthentication no\nKbdInteractiveAuthentication no\n"
            "PermitRootLogin prohibit-password\nUsePAM no\nStrictModes no\n")
        (home / ".ssh" / "known_hosts").write_text(f"[127.0.0.1]:{port} {(self.work / 'host.pub').read_text()}")
        (home / ".ssh" / "config").write_text(f"Host 127.0.0.1\n  Port {port}\n  IdentityFile {home}/.ssh/id\n"
                                              f"  UserKnownHostsFile {home}/.ssh/known_hosts\n")
        server = subprocess.Popen([sshd, "-D", "-f", str(self.work / "sshd_config"), "-E", str(self.work / "sshd.log")])
        self.addCleanup(server.wait, 30)
        self.addCleanup(server.terminate)
        # A session over SSH starts with the account's environment: the scanner gets the test's settings here.
        scan = wrapper(self.work, "ssh-scan", "")
        scan.write_text(f"#!/bin/bash\nexport XDG_CONFIG_HOME='{self.env['XDG_CONFIG_HOME']}'\nexec '{SCAN}' \"$@\"\n")
        self.env["HOME"] = str(home)
        files = ["127.0.0.1:" + self.files[0], "localhost:" + str(self.logs), str(self.logs / "missing.log")]
        self.assertSame(files, ["--format", "json", "--details"],
                        command=[PYTHON, PROGRAM, "--scanner", str(scan), "--ssh", "127.0.0.1,127.0.0.1"])

    def test_interrupt(self) -> None:
        """Ctrl+C ends the scans on the workers and exits 130."""
        pids = self.work / "pids"
        hang = wrapper(self.work, "hang-scan", f'echo $$ >> "{pids}"; exec sleep 60')
        proc = subprocess.Popen([PYTHON, PROGRAM, "--scanner", str(hang), "--local", "2", *self.files],
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=self.env,
                                start_new_session=True)
        deadline = time.monotonic() + 60
        while not pids.exists() or len(pids.read_text().split()) < 2:
            self.assertLess(time.monotonic(), deadline, "no scan started")
            time.sleep(0.05)
        os.killpg(proc.pid, signal.SIGINT)  # as a terminal does
        out, err = proc.communicate(timeout=30)
        self.assertEqual(proc.returncode, 130, err.decode(errors="replace"))
        self.assertEqual(out, b"")
        time.sleep(0.5)
        for pid in pids.read_text().split():
            self.assertFalse(Path(f"/proc/{pid}").exists(), f"scan {pid} still runs")


class Terminal(unittest.TestCase):
    def test_progress_on_a_terminal(self) -> None:
        """On a terminal, progress is drawn on standard error and wiped again;
        the rest is the scanner's; --quiet draws none."""
        work = Path(tempfile.mkdtemp(prefix="cluster-test."))
        self.addCleanup(shutil.rmtree, work, True)
        env = environment(work)
        slow = wrapper(work, "slow-scan", "sleep 0.7")
        files = []
        for i in range(3):
            (work / f"{i}.log").write_bytes(random_log(random.Random(i), 100))
            files.append(str(work / f"{i}.log"))
        expected = run([SCAN, *files], env)
        quiets: list[list[str]] = [[], ["--quiet"]]
        for quiet in quiets:
            main, other = pty.openpty()
            proc = subprocess.Popen([PYTHON, PROGRAM, "--scanner", str(slow), "--local", "1", *quiet, *files],
                                    stdout=subprocess.PIPE, stderr=other, env=env)
            os.close(other)
            err = b""
            while True:
                try:
                    chunk = os.read(main, 4096)
                except OSError:
                    break
                if not chunk:
                    break
                err += chunk
            out = proc.communicate(timeout=TIMEOUT)[0]
            os.close(main)
            self.assertEqual(out, expected.stdout)
            drawn = re.findall(rb"\r(backtrail-cluster: [^\r]*)\x1b\[K", err)
            wiped = re.sub(rb"\r[^\r\n]*\x1b\[K", b"", err).replace(b"\r\n", b"\n")
            self.assertEqual(wiped, b"" if quiet else expected.stderr.replace(b"\r\n", b"\n"))
            if quiet:
                self.assertEqual(drawn, [])
            else:
                self.assertTrue(drawn, err)
                self.assertRegex(drawn[-1], rb"^backtrail-cluster: \d of 3 files, .* of .*, \d of 1 workers busy")


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--scan", required=True)
    parser.add_argument("--program", required=True)
    parser.add_argument("--apache-log", default="")
    known, rest = parser.parse_known_args()
    SCAN, PROGRAM, APACHE_LOG = known.scan, known.program, known.apache_log
    unittest.main(argv=[sys.argv[0], *rest], verbosity=2)
