#!/usr/bin/env python3
"""Under Wine: process start to window visible, lunteva.exe with its answers
against an empty Win32 window started the same way.

lunteva.exe must be built with QUIZ_PAGE_URL https://127.0.0.1:PORT/...; a
server on that address serves today's page with a throwaway CA that the
Wine prefix trusts for the run. StartupProbe.exe starts each program, waits
for its first visible window, checks that the answer box already holds text,
and closes it. Pairs alternate their order; prints medians and the ratio.
Meant to run inside tests/ui/wine-gui.sh.

  wine_startup.py --wine-run=WINE_RUN --add-root=AddRootCert.exe --probe=StartupProbe.exe
                  --program=lunteva.exe --empty=EmptyWindow.exe --url=QUIZ_PAGE_URL [--runs N]
"""
import argparse
import os
import statistics
import subprocess
import sys
import tempfile
import urllib.parse

here = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(here, "..", "tests", "fault"))
sys.path.insert(0, os.path.join(here, "..", "tests", "ui"))
import end_to_end  # noqa: E402
import wine_faults  # noqa: E402

ANSWER_BOX_ID = 104


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    for name in ("wine-run", "add-root", "probe", "program", "empty", "url"):
        parser.add_argument(f"--{name}", required=True)
    parser.add_argument("--runs", type=int, default=10)
    args = parser.parse_args()
    url = urllib.parse.urlsplit(args.url)
    win = end_to_end.windows_path

    def probe(program, box=None):
        command = [args.wine_run, args.probe, win(program)] + ([str(box)] if box else [])
        result = subprocess.run(command, capture_output=True, text=True, timeout=120)
        fields = result.stdout.split()
        if result.returncode != 0 or not fields:
            raise RuntimeError(f"no window from {program}: {result.stdout} {result.stderr}")
        if box and int(fields[1]) == 0:
            raise RuntimeError("the window appeared with an empty answer box")
        return float(fields[0])

    with tempfile.TemporaryDirectory(prefix="lunteva-startup-") as folder:
        _, ca, leaf, key = end_to_end.make_certificates(folder)
        if subprocess.run([args.wine_run, args.add_root, win(ca)], check=False).returncode != 0:
            print("could not trust the test CA in the Wine prefix", file=sys.stderr)
            return 1
        try:
            with wine_faults.Server("answers", url.port, url.path, leaf, key):
                probe(args.empty)  # warm-up: Wine's own start-up, the disk cache
                probe(args.program, ANSWER_BOX_ID)
                program_ms, empty_ms = [], []
                for i in range(args.runs):
                    pair = [lambda: program_ms.append(probe(args.program, ANSWER_BOX_ID)),
                            lambda: empty_ms.append(probe(args.empty))]
                    for run in (pair if i % 2 == 0 else reversed(pair)):
                        run()
        finally:
            subprocess.run([args.wine_run, args.add_root, "--remove", win(ca)], check=False)
    program_median, empty_median = statistics.median(program_ms), statistics.median(empty_ms)
    print(f"Wine: start to visible window, {args.runs} pairs, alternating order")
    print(f"  lunteva.exe with answers  median {program_median:8.1f} ms  (min {min(program_ms):.1f})")
    print(f"  empty Win32 window        median {empty_median:8.1f} ms  (min {min(empty_ms):.1f})")
    print(f"  ratio {program_median / empty_median:.2f}x, difference {program_median - empty_median:.1f} ms")
    return 0


if __name__ == "__main__":
    sys.exit(main())
