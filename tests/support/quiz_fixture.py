"""The quiz page of the end-to-end tests, and an HTTPS server that holds it back.

quiz_page() lays out today's and yesterday's rows the way the real page does;
expected_text() is what the answer box must then hold. QuizServer serves the
page on 127.0.0.1 and lets every answer wait until the test allows it, so a
test can see that no window shows before the download has ended.
"""
import datetime
import http.server
import ssl
import sys
import threading

CELL_OPEN = '<td style="TEXT-ALIGN: center">'


def label(day):
    return f"{day.month}月{day.day}日"


def quiz_page(today, today_rows, yesterday_rows, head=""):
    """today_rows and yesterday_rows: (question, answer) pairs; head goes into <head>."""
    yesterday = today - datetime.timedelta(days=1)
    rows = ["<table>", "<tr><th>日期</th><th>问题</th><th>答案</th></tr>"]
    for day, entries in ((today, today_rows), (yesterday, yesterday_rows)):
        for question, answer in entries:
            rows.append(f"<tr>{CELL_OPEN}{label(day)}</td>\n{CELL_OPEN}{question}</td>\n"
                        f"{CELL_OPEN}{answer}</td>\n</tr>")
    rows.append("</table>")
    return f"<html><head>{head}</head><body>\n" + "\n".join(rows) + "\n</body></html>\n"


def expected_text(today_rows):
    """The box's text for these rows: numbered questions, answers, CR LF line ends."""
    return "".join(f"{n}、{q}\r\n     答案：{a}\r\n\r\n" for n, (q, a) in enumerate(today_rows, start=1))


class QuizServer:
    """The page at path on 127.0.0.1:port over HTTPS, 404 elsewhere.

    Each request calls on_request() and then waits for release() to return
    before it is answered. requests counts them."""

    def __init__(self, port, path, page, certificate, key, on_request=lambda: None, release=lambda: None):
        self.requests = 0
        owner = self

        class Handler(http.server.BaseHTTPRequestHandler):
            protocol_version = "HTTP/1.1"

            def log_message(self, fmt, *args):
                pass

            def do_GET(self):
                owner.requests += 1
                print(f"request {owner.requests}: {self.command} {self.path} from {self.client_address}, "
                      f"{self.headers.get('User-Agent')}", file=sys.stderr, flush=True)
                on_request()
                release()
                found = self.path == path
                body = page.encode("utf-8") if found else b"not here"
                self.send_response(200 if found else 404)
                self.send_header("Content-Type", "text/html; charset=utf-8")
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                self.wfile.write(body)

        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(certificate, key)
        http.server.ThreadingHTTPServer.allow_reuse_address = True
        self.server = http.server.ThreadingHTTPServer(("127.0.0.1", port), Handler)
        self.server.socket = context.wrap_socket(self.server.socket, server_side=True)
        self.thread = threading.Thread(target=self.server.serve_forever, daemon=True)
        self.thread.start()

    def close(self):
        self.server.shutdown()
        self.server.server_close()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()
