#!/usr/bin/env python3
"""End-to-end run of the real lunteva.exe under Wine, driven by EndToEndDriver.exe.

  end_to_end.py --wine-run=WINE_RUN --add-root=AddRootCert.exe --driver=EndToEndDriver.exe
                --program=lunteva.exe --url=QUIZ_PAGE_URL --contact=DIGITS --mode=answers|down
                --out=FOLDER

Meant to run inside tests/ui/wine-gui.sh, which provides the X display and the
Wine prefix. QUIZ_PAGE_URL is the address built into the program; it must be
https://127.0.0.1:PORT/... .

- answers: serves today's quiz page over HTTPS on that port, with a throwaway
  certificate authority that the Wine prefix trusts for the run. The server
  holds its answer back until the driver has seen that no window of the
  program is visible, then the driver checks the window, its answers and its
  buttons. The page must be fetched exactly once.
- down: nothing listens on the port; the window must open with an empty box.

The driver's screenshots (BMP) become PNG files in FOLDER. Exit code: 0 when
every check passed.
"""
import argparse
import datetime
import os
import subprocess
import sys
import tempfile
import time
import urllib.parse

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from throwaway_ca import make_certificates, windows_path  # noqa: E402
from quiz_fixture import CELL_OPEN, QuizServer, expected_text, label, quiz_page  # noqa: E402,F401


# Today's questions and answers; the markup and entities inside cells are
# shown as they stand. One answer is far wider than the box, so it wraps.
TODAY = [
    ("以下哪个是中国的首都？", "北京"),
    ("一年有几个月？", "12个月"),
    ("<b>水</b>的化学式是什么？", "H<sub>2</sub>O"),
    ("Tom &amp; Jerry 是什么？", "动画片"),
    ("长答案", "这是一个很长很长的答案，用来看文本框是否会在右边自动换行而不添加换行符，" * 2),
    ("太阳从哪边升起？", "东边"),
    ("一周有几天？", "七天"),
    ("彩虹有几种颜色？", "七种"),
]
YESTERDAY = [("昨天的问题", "昨天的答案")]


def page(today):
    """The page this run serves, as the real one: UTF-8, with its head."""
    return quiz_page(today, TODAY, YESTERDAY, head='<meta charset="utf-8"><title>每日答题</title>')


def expected_lines():
    return expected_text(TODAY)


def hold_until(release_file, seconds=120):
    """Waits until the driver has created release_file (or seconds have passed)."""
    deadline = time.monotonic() + seconds
    while not os.path.exists(release_file) and time.monotonic() < deadline:
        time.sleep(0.05)


def to_png(bitmap, png):
    if os.path.exists(bitmap):
        subprocess.run(["convert", bitmap, png], check=True)
        os.remove(bitmap)
        print(f"screenshot: {png}")


def main():
    parser = argparse.ArgumentParser()
    for name in ("wine-run", "add-root", "driver", "program", "url", "contact", "out"):
        parser.add_argument(f"--{name}", required=True)
    parser.add_argument("--mode", choices=("answers", "down"), required=True)
    args = parser.parse_args()

    url = urllib.parse.urlsplit(args.url)
    if url.scheme != "https" or url.hostname != "127.0.0.1" or not url.port:
        print(f"the program's address must be https://127.0.0.1:PORT/..., not {args.url}", file=sys.stderr)
        return 2
    os.makedirs(args.out, exist_ok=True)
    screenshot = os.path.join(args.out, f"window-{args.mode}.bmp")
    win = windows_path

    with tempfile.TemporaryDirectory(prefix="lunteva-e2e-") as folder:
        expect = os.path.join(folder, "expected.txt")
        driver = [args.wine_run, args.driver, f"--program={win(args.program)}", f"--expect={win(expect)}",
                  f"--contact={args.contact}", f"--screenshot={win(screenshot)}"]
        if args.mode == "down":
            open(expect, "w").close()
            # No server, so nothing is held back to look behind.
            driver.append("--gtest_filter=-EndToEnd.NothingIsVisibleUntilTheDownloadHasEnded")
            status = subprocess.run(driver, check=False).returncode
        else:
            with open(expect, "w", encoding="utf-8", newline="") as f:
                f.write(expected_lines())
            requested, release = os.path.join(folder, "requested"), os.path.join(folder, "release")
            driver += [f"--requested={win(requested)}", f"--release={win(release)}"]
            _, ca, leaf, key = make_certificates(folder)
            with QuizServer(url.port, url.path, page(datetime.date.today()), leaf, key,
                            on_request=lambda: open(requested, "w").close(),
                            release=lambda: hold_until(release)) as server:
                if subprocess.run([args.wine_run, args.add_root, win(ca)], check=False).returncode != 0:
                    print("could not trust the test CA in the Wine prefix", file=sys.stderr)
                    return 1
                try:
                    status = subprocess.run(driver, check=False).returncode
                finally:
                    subprocess.run([args.wine_run, args.add_root, "--remove", win(ca)], check=False)
                if server.requests != 1:
                    print(f"the page was asked for {server.requests} times, not once", file=sys.stderr)
                    status = status or 1
        to_png(screenshot, os.path.join(args.out, f"window-{args.mode}.png"))
        to_png(screenshot[:-4] + "-copied.bmp", os.path.join(args.out, f"window-{args.mode}-copied.png"))
    return status


if __name__ == "__main__":
    sys.exit(main())
