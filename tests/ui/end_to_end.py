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
import http.server
import os
import ssl
import subprocess
import sys
import tempfile
import threading
import time
import urllib.parse

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from throwaway_ca import make_certificates, windows_path  # noqa: E402


CELL_OPEN = '<td style="TEXT-ALIGN: center">'

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


def label(day):
    return f"{day.month}月{day.day}日"


def quiz_page(today):
    yesterday = today - datetime.timedelta(days=1)
    rows = ["<table>", "<tr><th>日期</th><th>问题</th><th>答案</th></tr>"]
    for day, entries in ((today, TODAY), (yesterday, YESTERDAY)):
        for question, answer in entries:
            rows.append(f"<tr>{CELL_OPEN}{label(day)}</td>\n{CELL_OPEN}{question}</td>\n"
                        f"{CELL_OPEN}{answer}</td>\n</tr>")
    rows.append("</table>")
    return ("<html><head><meta charset=\"utf-8\"><title>每日答题</title></head><body>\n"
            + "\n".join(rows) + "\n</body></html>\n")


def expected_lines():
    return "".join(f"{n}、{q}\r\n     答案：{a}\r\n\r\n" for n, (q, a) in enumerate(TODAY, start=1))


class QuizServer:
    """The quiz page on 127.0.0.1:port; holds the answer until release_file exists."""

    def __init__(self, port, path, page, certificate, key, requested_file, release_file):
        self.requests = 0
        owner = self

        class Handler(http.server.BaseHTTPRequestHandler):
            protocol_version = "HTTP/1.1"

            def log_message(self, fmt, *args):
                pass

            def do_GET(self):
                owner.requests += 1
                if self.path != path:
                    body = b"not here"
                    self.send_response(404)
                else:
                    open(requested_file, "w").close()
                    deadline = time.monotonic() + 120
                    while not os.path.exists(release_file) and time.monotonic() < deadline:
                        time.sleep(0.05)
                    body = page.encode("utf-8")
                    self.send_response(200)
                    self.send_header("Content-Type", "text/html; charset=utf-8")
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                self.wfile.write(body)

        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(certificate, key)
        self.server = http.server.ThreadingHTTPServer(("127.0.0.1", port), Handler)
        self.server.socket = context.wrap_socket(self.server.socket, server_side=True)
        self.thread = threading.Thread(target=self.server.serve_forever, daemon=True)

    def __enter__(self):
        self.thread.start()
        return self

    def __exit__(self, *exc):
        self.server.shutdown()
        self.server.server_close()


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
            page = quiz_page(datetime.date.today())
            with QuizServer(url.port, url.path, page, leaf, key, requested, release) as server:
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
