#!/usr/bin/env python3
"""Fault matrix of lunteva-cli: every way the page download can go wrong.

Starts the local HTTPS test server (tests/support/https_server.py) and runs
lunteva-cli --url against one of its modes per case. Each case must end
cleanly within its bound: the exit code and stderr line of the program's
contract, nothing on stdout unless the day's lines are expected, and an
elapsed time under the case's time-out plus MARGIN_S. Prints a table of the
measured times and peak memory; exits 1 if any case fails.

The case of a host name that does not resolve runs in a network namespace
that holds only loopback (unshare -rn), so no name query can leave the
machine; the name is under the reserved .invalid domain. Where no namespace
can be made, that case is skipped and says so.

  fault_matrix.py --cli PATH --server PATH --page PATH [--only NAME...] [--report FILE] [--sanitized]
"""
import argparse
import os
import resource
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time

DAY = "2024-03-01"  # the day the server fills into the page, and the day asked for

# The system's own request allows 15 s for each phase (resolve, connect,
# send, receive). The libcurl object bounds resolve plus connect, the TLS
# handshake included, by the first two together: 30 s.
PHASE_S = 15.0
CONNECT_PHASES_S = 30.0
MARGIN_S = 2.5  # libcurl notices a stall up to a second late; process start, TLS
# Under sanitizers start-up and TLS cost seconds more, and the heavy cases
# (tens of MiB to convert) take CPU time that says nothing of the bounds.
SANITIZED_MARGIN_S = 6.0

NO_CONNECTION = "lunteva-cli: download failed: no connection or time-out"
NO_QUESTIONS = f"lunteva-cli: the page holds no questions for {DAY}"


def status_line(code):
    return f"lunteva-cli: download failed: HTTP status {code}"


class Case:
    def __init__(self, name, what, target, exit_code, stderr, bound=PHASE_S, lines=False, namespace=False,
                 heavy=False):
        self.name = name
        self.what = what
        self.target = target        # (port name, path) on the server, or a full URL
        self.exit_code = exit_code
        self.stderr = stderr        # the one stderr line expected; None: nothing
        self.bound = bound          # seconds the request may take by its time-outs
        self.lines = lines          # True: stdout must hold the day's lines
        self.namespace = namespace  # run in a network namespace with only loopback
        self.heavy = heavy          # tens of MiB to convert and list: its time is CPU time


CASES = [
    Case("page", "the page itself (reference)", ("valid", "/dujia/248082.html"), 0, None, lines=True),
    Case("refused", "connection refused", "refused", 2, NO_CONNECTION),
    Case("unresolved", "host name that does not resolve", "https://quiz.invalid/dujia/248082.html",
         2, NO_CONNECTION, namespace=True),
    Case("silent", "accepts, then says nothing (no TLS handshake)", ("silent", "/dujia/248082.html"),
         2, NO_CONNECTION, bound=CONNECT_PHASES_S),
    Case("stall-headers", "TLS done, silence before the headers", ("valid", "/stall-headers?seconds=90"),
         2, NO_CONNECTION),
    Case("stall-body", "headers, then silence mid-body", ("valid", "/stall-body?seconds=90"), 2, NO_CONNECTION),
    Case("garbage", "garbage instead of a TLS handshake", ("garbage", "/dujia/248082.html"), 2, NO_CONNECTION),
    Case("404", "404 with an HTML body", ("valid", "/status/404"), 2, status_line(404)),
    Case("500", "500 with an HTML body", ("valid", "/status/500"), 2, status_line(500)),
    Case("redirect-loop", "a redirect loop", ("valid", "/redirect-loop"), 2, NO_CONNECTION),
    Case("zero-first", "a body whose first byte is zero", ("valid", "/page-zero-first"), 1, NO_QUESTIONS),
    Case("gbk", "the page in code page 936 instead of UTF-8", ("valid", "/page-gbk"), 1, NO_QUESTIONS),
    Case("30mib", "the page padded to 30 MiB", ("valid", "/page-padded?mib=30"), 0, None,
         lines=True, heavy=True),
    Case("hostile", "16 MiB of today's date cells and no row end", ("valid", "/hostile?mib=16"), 1,
         NO_QUESTIONS, heavy=True),
    Case("over-cap", "the page padded to 65 MiB, over the body cap", ("valid", "/page-padded?mib=65"),
         2, NO_CONNECTION, heavy=True),
]


class Server:
    """The test server on loopback, for the life of the matrix."""

    def __init__(self, script, page):
        self.folder = tempfile.mkdtemp(prefix="lunteva-fault-")
        ports_file = os.path.join(self.folder, "ports")
        self.process = subprocess.Popen(
            [sys.executable, script, "--ports-file", ports_file, "--page", page, "--today", DAY,
             "--lifetime", "900"],
            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        ready = self.process.stdout.readline().strip()
        if ready != "ready":
            self.stop()
            raise RuntimeError("the test server did not start")
        self.ports = {}
        with open(ports_file) as f:
            for line in f:
                name, value = line.split(" ", 1)
                self.ports[name] = value.strip()

    def url(self, port_name, path):
        return f"https://127.0.0.1:{self.ports[port_name]}{path}"

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        try:
            os.rmdir(self.folder)
        except OSError:
            pass


def refused_port():
    """A loopback port that nobody listens on: bound once, then closed."""
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def namespace_prefix():
    """The command prefix that runs a program with only loopback, or None."""
    try:
        probe = subprocess.run(["unshare", "-rn", "sh", "-c", "ip link set lo up 2>/dev/null; true"],
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=10)
    except (OSError, subprocess.TimeoutExpired):
        return None
    if probe.returncode != 0:
        return None
    return ["unshare", "-rn", "sh", "-c", 'ip link set lo up 2>/dev/null; exec "$0" "$@"']


class Run:
    pass


def run_program(command, hard_limit):
    """Runs command; returns exit code, stdout, stderr, elapsed s and peak RSS in KiB.

    A process still running after hard_limit seconds is killed (exit code None).
    """
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        start = time.monotonic()
        process = subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=out, stderr=err)
        killed = threading.Event()

        def kill():
            killed.set()
            try:
                os.kill(process.pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
        timer = threading.Timer(hard_limit, kill)
        timer.start()
        _, status, usage = os.wait4(process.pid, 0)
        elapsed = time.monotonic() - start
        timer.cancel()
        process.returncode = os.waitstatus_to_exitcode(status)
        out.seek(0)
        err.seek(0)
        run = Run()
        run.exit_code = None if killed.is_set() else process.returncode
        run.stdout = out.read()
        run.stderr = err.read().decode("utf-8", "replace")
        run.elapsed = elapsed
        run.peak_kib = usage.ru_maxrss
        return run


def check(case, run, reference_lines, sanitized):
    """The list of ways run breaks the contract of case."""
    margin = SANITIZED_MARGIN_S if sanitized else MARGIN_S
    problems = []
    if run.exit_code is None:
        return ["hung: killed"]
    if run.exit_code != case.exit_code:
        problems.append(f"exit code {run.exit_code}, expected {case.exit_code}")
    lines = [line for line in run.stderr.splitlines() if line]
    expected = [case.stderr] if case.stderr else []
    if lines != expected:
        problems.append(f"stderr {lines!r}, expected {expected!r}")
    if case.lines:
        if not run.stdout.startswith("1、".encode()):
            problems.append("stdout does not hold the day's lines")
        elif reference_lines is not None and run.stdout != reference_lines:
            problems.append("stdout differs from the page's own lines")
    elif run.stdout:
        problems.append(f"stdout not empty ({len(run.stdout)} bytes)")
    if run.elapsed > case.bound + margin and not (sanitized and case.heavy):
        problems.append(f"took {run.elapsed:.2f} s, bound {case.bound:.0f} s + {margin} s")
    return problems


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--cli", required=True)
    parser.add_argument("--server", required=True, help="tests/support/https_server.py")
    parser.add_argument("--page", required=True, help="the sample page the server serves")
    parser.add_argument("--only", nargs="*", help="run only these cases")
    parser.add_argument("--report", help="also write the table to this file")
    parser.add_argument("--sanitized", action="store_true",
                        help="the program is built with sanitizers: the heavy cases' times are not held "
                             "to the bound (the time-out cases still are)")
    options = parser.parse_args()

    cases = [c for c in CASES if not options.only or c.name in options.only or c.name == "page"]
    server = Server(options.server, options.page)
    results = {}
    try:
        namespace = namespace_prefix()

        def command(case):
            if case.target == "refused":
                url = f"https://127.0.0.1:{refused_port()}/dujia/248082.html"
            elif isinstance(case.target, tuple):
                url = server.url(*case.target)
            else:
                url = case.target
            prefix = namespace if case.namespace else []
            return prefix + [options.cli, "--url", url, "--date", DAY]

        def run_case(case):
            if case.namespace and namespace is None:
                results[case.name] = None
                return
            # Killed well after its bound: a hang shows as a failure, not as a stuck test.
            limit = 240 if options.sanitized and case.heavy else case.bound + MARGIN_S + 20
            results[case.name] = run_program(command(case), limit)

        # The cases that wait for a time-out run side by side with the rest;
        # they spend their time asleep, so they do not disturb the others' times.
        waiting = [c for c in cases if c.stderr == NO_CONNECTION and c.bound >= PHASE_S
                   and c.name in ("silent", "stall-headers", "stall-body")]
        threads = [threading.Thread(target=run_case, args=(c,)) for c in waiting]
        for t in threads:
            t.start()
        for case in cases:
            if case not in waiting:
                run_case(case)
        for t in threads:
            t.join()
    finally:
        server.stop()

    reference = results.get("page")
    reference_lines = reference.stdout if reference is not None and reference.exit_code == 0 else None
    margin = SANITIZED_MARGIN_S if options.sanitized else MARGIN_S
    rows = []
    failed = 0
    for case in cases:
        run = results[case.name]
        if run is None:
            rows.append((case.name, "-", "-", f"{case.bound:.0f}+{margin}", "-", "SKIPPED: no network namespace"))
            continue
        problems = check(case, run, reference_lines, options.sanitized)
        failed += bool(problems)
        bound = "none" if options.sanitized and case.heavy else f"{case.bound:.0f}+{margin}"
        rows.append((case.name, str(run.exit_code), f"{run.elapsed:.2f}", bound,
                     f"{run.peak_kib / 1024:.1f}", "ok" if not problems else "FAIL: " + "; ".join(problems)))

    header = ("case", "exit", "seconds", "bound", "peak MiB", "result")
    widths = [max(len(r[i]) for r in rows + [header]) for i in range(len(header))]
    table = "\n".join("  ".join(cell.ljust(w) for cell, w in zip(row, widths)).rstrip()
                      for row in [header] + rows)
    print(table)
    if options.report:
        with open(options.report, "w") as f:
            f.write(table + "\n")
    if failed:
        print(f"{failed} case(s) failed", file=sys.stderr)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
