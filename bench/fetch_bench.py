#!/usr/bin/env python3
"""lunteva-cli against curl -s, fetching the same page over loopback HTTPS.

Starts the local HTTPS test server (tests/support/https_server.py) with its
generated realistic page (1 MiB: 30 days of 5 rows, newest first) and runs
the two commands in pairs, alternating which goes first, so that the noise
of a shared machine falls on both alike. Prints the medians of both, the
median of the per-pair ratios, and the ratio of the medians.

  fetch_bench.py --cli PATH --server PATH [--runs N] [--kib K]
"""
import argparse
import datetime
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time


SYSTEM_BUNDLE = "/etc/ssl/certs/ca-certificates.crt"  # Debian's store, as libcurl reads it


def timed(command):
    """Wall-clock seconds and CPU seconds (user + system) of one run."""
    start = time.perf_counter()
    process = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(process.pid, 0)
    elapsed = time.perf_counter() - start
    if os.waitstatus_to_exitcode(status) != 0:
        raise RuntimeError(f"{command[0]} exited {os.waitstatus_to_exitcode(status)}")
    return elapsed, usage.ru_utime + usage.ru_stime


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--cli", required=True)
    parser.add_argument("--server", required=True)
    parser.add_argument("--runs", type=int, default=30)
    parser.add_argument("--kib", type=int, default=1024)
    options = parser.parse_args()

    today = datetime.date.today().isoformat()
    folder = tempfile.mkdtemp(prefix="lunteva-bench-")
    ports_file = os.path.join(folder, "ports")
    server = subprocess.Popen([sys.executable, options.server, "--ports-file", ports_file, "--today", today,
                               "--lifetime", "900"], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    try:
        if server.stdout.readline().strip() != "ready":
            raise RuntimeError("the test server did not start")
        ports = dict(line.split(" ", 1) for line in open(ports_file).read().splitlines())
        url = f"https://127.0.0.1:{ports['valid']}/realistic?kib={options.kib}&days=30&rows=5"
        cli = [options.cli, "--url", url, "--date", today]
        # lunteva-cli loads the system's CA store and forgives the unknown test
        # CA, as the program's own request does; curl gets the same store with
        # the test CA added, so both read the same certificates.
        bundle = os.path.join(folder, "bundle.pem")
        with open(bundle, "wb") as out:
            for source in (SYSTEM_BUNDLE, ports["ca"].strip()):
                if os.path.exists(source):
                    with open(source, "rb") as f:
                        out.write(f.read())
        curl = ["curl", "-s", "--cacert", bundle, "-o", os.devnull, url]

        timed(cli)  # warm-up: the server's page, the certificates, the disk cache
        timed(curl)
        cli_times, curl_times = [], []
        for i in range(options.runs):
            pair = [(cli, cli_times), (curl, curl_times)]
            for command, times in (pair if i % 2 == 0 else reversed(pair)):
                times.append(timed(command))
    finally:
        server.terminate()
        server.wait(10)
        shutil.rmtree(folder, ignore_errors=True)

    print(f"page: {options.kib} KiB over loopback HTTPS, {options.runs} pairs, alternating order")
    for what, index in (("wall-clock", 0), ("CPU (user+system)", 1)):
        cli = [t[index] for t in cli_times]
        curl = [t[index] for t in curl_times]
        cli_median, curl_median = statistics.median(cli), statistics.median(curl)
        pair_ratio = statistics.median(a / b for a, b in zip(cli, curl) if b > 0)
        print(f"  {what}:")
        print(f"    lunteva-cli  median {cli_median * 1000:8.1f} ms  (min {min(cli) * 1000:.1f})")
        print(f"    curl -s      median {curl_median * 1000:8.1f} ms  (min {min(curl) * 1000:.1f})")
        print(f"    ratio of medians {cli_median / curl_median:.3f}x, median of pair ratios {pair_ratio:.3f}x "
              f"(goal <= 1.10x)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
