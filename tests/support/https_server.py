#!/usr/bin/env python3
"""A local HTTPS server for the integration tests and the demo.

Listens on 127.0.0.1 only, on ephemeral ports: one HTTPS port for each kind
of server certificate, and one plain HTTP port. The certificates are made
with openssl when the server starts: a throwaway CA and leaves signed by it
for 127.0.0.1 and localhost, a leaf with the wrong name, an expired leaf, a
leaf for client use only, and a self-signed leaf.

Two more ports speak no HTTP: "silent" accepts connections and never says
anything, "garbage" answers every connection with a line of junk.

When it is ready it writes the ports file (one "name value" pair a line:
http, valid, wrong-name, expired, wrong-usage, self-signed, silent,
garbage, ca) and prints
"ready". It ends on SIGTERM or SIGINT, when its parent process ends, or after
--lifetime seconds, whichever comes first, and then removes the files it made.

What a request gets depends on its path; each mode is one function
registered with @mode, so adding a mode is adding a function:

  /echo                   the request as received: request line, header lines
                          (CR LF after each), an empty line, the body
  /headers?h=Name:Value   200 with the given response header lines (repeatable)
  /redirect/N             a chain of N redirects ending at /echo
  /redirect-to?url=U      one redirect to U (&code=301|302|303|307|308)
  /redirect-loop          a redirect to itself, for ever
  /stall-headers?seconds=S  reads the request, says nothing for S seconds,
                          then answers "late"
  /stall-body?seconds=S   headers and the first 10 of 20 bytes, silence for S
                          seconds, then the rest
  /trickle?seconds=S      one byte every 0.25 s for S seconds
  /zeros?n=N              N zero bytes
  /auth-basic, /proxy-auth  401 or 407 until Basic credentials ?user=&pass=
                          come, then /echo (the plain HTTP port also serves
                          as a proxy: a request for http://any/MODE gets MODE)
  /status/CODE            that status with a small HTML body
  /bytes?hex=HEX          the given bytes as the body
  /page-gbk               the page file in code page 936 instead of UTF-8
  /page-zero-first        a zero byte, then the page file
  /page-padded?mib=N      the page file, then an HTML comment up to N MiB
  /hostile?mib=N          N MiB of today's date cells after one "<tr>", no
                          "</tr>" anywhere, then one date cell of yesterday
  /realistic?kib=N&days=D&rows=R  a generated page of about N KiB: a header
                          row, then R rows for each of D days, newest first
  any other path          the page file (--page), date placeholders filled,
                          when --page is given; else 404

Page placeholders: {{TODAY}}, {{YESTERDAY}} and {{DAY-N}} become date labels
("12月11日") of the server's local date (or --today), N days back.
"""

import argparse
import binascii
import ctypes
import datetime
import http.server
import os
import re
import shutil
import signal
import select
import socket
import ssl
import subprocess
import sys
import tempfile
import threading
import urllib.parse

STOPPING = threading.Event()
MODES = {}  # first path segment -> handler function


def mode(name):
    def register(function):
        MODES[name] = function
        return function
    return register


# --- Certificates ---------------------------------------------------------

def run_openssl(*args, cwd):
    subprocess.run(["openssl", *args], cwd=cwd, check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)


def make_certificates(directory):
    """Makes the CA and the leaves; returns {kind: (cert, key)} and the CA path."""
    def ext_file(name, text):
        path = os.path.join(directory, name)
        with open(path, "w") as f:
            f.write(text)
        return path

    def key(name):
        run_openssl("genpkey", "-algorithm", "EC", "-pkeyopt", "ec_paramgen_curve:P-256",
                    "-out", name, cwd=directory)

    key("ca.key")
    run_openssl("req", "-x509", "-new", "-key", "ca.key", "-out", "ca.pem", "-days", "2",
                "-subj", "/CN=Lunteva test CA", "-addext", "basicConstraints=critical,CA:TRUE",
                "-addext", "keyUsage=critical,keyCertSign,cRLSign", cwd=directory)

    good_names = "subjectAltName=IP:127.0.0.1,DNS:localhost"
    leaves = {
        "valid": (good_names, "extendedKeyUsage=serverAuth", "2"),
        "wrong-name": ("subjectAltName=DNS:wrong-name.invalid", "extendedKeyUsage=serverAuth", "2"),
        "expired": (good_names, "extendedKeyUsage=serverAuth", "expired"),
        "wrong-usage": (good_names, "extendedKeyUsage=clientAuth", "2"),
    }
    result = {}
    for kind, (names, usage, days) in leaves.items():
        key(f"{kind}.key")
        run_openssl("req", "-new", "-key", f"{kind}.key", "-out", f"{kind}.csr",
                    "-subj", f"/CN=Lunteva test {kind}", cwd=directory)
        ext = ext_file(f"{kind}.ext", f"basicConstraints=CA:FALSE\n{names}\n{usage}\n")
        if days == "expired":
            make_expired(directory, kind, ext)
        else:
            run_openssl("x509", "-req", "-in", f"{kind}.csr", "-CA", "ca.pem", "-CAkey", "ca.key",
                        "-CAcreateserial", "-out", f"{kind}.pem", "-days", days, "-extfile", ext,
                        cwd=directory)
        result[kind] = (os.path.join(directory, f"{kind}.pem"), os.path.join(directory, f"{kind}.key"))

    key("self-signed.key")
    run_openssl("req", "-x509", "-new", "-key", "self-signed.key", "-out", "self-signed.pem",
                "-days", "2", "-subj", "/CN=Lunteva test self-signed", "-addext", good_names,
                cwd=directory)
    result["self-signed"] = (os.path.join(directory, "self-signed.pem"),
                             os.path.join(directory, "self-signed.key"))
    return result, os.path.join(directory, "ca.pem")


def certificates_in(directory):
    """The certificates of the folder, made anew unless a recent set is there.

    Servers started at once (tests run in parallel) share one folder: a lock
    lets one of them make the set while the others wait for it.
    """
    import fcntl
    import time
    os.makedirs(directory, exist_ok=True)
    with open(os.path.join(directory, ".lock"), "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        marker = os.path.join(directory, "complete")
        kinds = ["valid", "wrong-name", "expired", "wrong-usage", "self-signed"]
        if os.path.exists(marker) and time.time() - os.path.getmtime(marker) < 12 * 3600:
            return ({kind: (os.path.join(directory, f"{kind}.pem"), os.path.join(directory, f"{kind}.key"))
                     for kind in kinds}, os.path.join(directory, "ca.pem"))
        shutil.rmtree(os.path.join(directory, "ca-db"), ignore_errors=True)
        result = make_certificates(directory)
        open(marker, "w").close()
        return result


def make_expired(directory, kind, ext):
    """A leaf whose validity has ended, through 'openssl ca', which takes dates."""
    os.makedirs(os.path.join(directory, "ca-db"), exist_ok=True)
    open(os.path.join(directory, "ca-db", "index.txt"), "w").close()
    config = os.path.join(directory, "ca.cnf")
    with open(config, "w") as f:
        f.write("[ca]\ndefault_ca=test\n[test]\ndir=ca-db\ndatabase=$dir/index.txt\n"
                "new_certs_dir=$dir\nserial=$dir/serial\ndefault_md=sha256\n"
                "policy=anything\nunique_subject=no\ncopy_extensions=none\n"
                "[anything]\ncommonName=supplied\n")
    with open(os.path.join(directory, "ca-db", "serial"), "w") as f:
        f.write("1000\n")
    run_openssl("ca", "-batch", "-config", config, "-in", f"{kind}.csr", "-cert", "ca.pem",
                "-keyfile", "ca.key", "-out", f"{kind}.pem", "-extfile", ext, "-notext",
                "-startdate", "20200101000000Z", "-enddate", "20200102000000Z", cwd=directory)


# --- Request handling -----------------------------------------------------

def date_label(day):
    return f"{day.month}月{day.day}日"


def fill_placeholders(text, today):
    text = text.replace("{{TODAY}}", date_label(today))
    text = text.replace("{{YESTERDAY}}", date_label(today - datetime.timedelta(days=1)))
    return re.sub(r"\{\{DAY-(\d+)\}\}",
                  lambda m: date_label(today - datetime.timedelta(days=int(m.group(1)))), text)


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "LuntevaTest/1"
    timeout = 30

    def version_string(self):
        return self.server_version

    def log_message(self, format, *args):
        if self.server.options.verbose:
            sys.stderr.write("%s %s\n" % (self.server.name, format % args))

    def handle_one_request(self):
        try:
            super().handle_one_request()
        except (ConnectionError, ssl.SSLError, socket.timeout):
            self.close_connection = True

    def read_body(self):
        length = int(self.headers.get("Content-Length", "0") or "0")
        return self.rfile.read(length) if length > 0 else b""

    def respond(self, code, body=b"", headers=(), content_type="text/plain; charset=utf-8"):
        self.send_response(code)
        for name, value in headers:
            self.send_header(name, value)
        if content_type:
            self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(body)

    def dispatch(self):
        url = urllib.parse.urlsplit(self.path)
        self.query = urllib.parse.parse_qs(url.query, keep_blank_values=True)
        segments = url.path.split("/")
        self.segments = segments[2:]
        self.request_body = self.read_body()
        handler = MODES.get(segments[1] if len(segments) > 1 else "", None)
        if handler is None:
            handler = MODES["*page"]
        handler(self)

    do_GET = do_POST = do_HEAD = do_PUT = do_OPTIONS = do_DELETE = do_TRACE = dispatch

    def do_CONNECT(self):
        """A request for a path is a mode like any other; 'CONNECT 127.0.0.1:PORT'
        opens a tunnel to that loopback port (only), as a proxy does."""
        if self.path.startswith("/"):
            return self.dispatch()
        host, _, port = self.path.rpartition(":")
        if host not in ("127.0.0.1", "localhost") or not port.isdigit():
            return self.respond(403, b"loopback only\n")
        try:
            upstream = socket.create_connection(("127.0.0.1", int(port)), timeout=10)
        except OSError:
            return self.respond(502, b"no upstream\n")
        self.send_response(200, "Connection established")
        self.end_headers()
        self.wfile.flush()
        self.close_connection = True
        with upstream:
            sockets = [self.connection, upstream]
            while True:
                readable, _, _ = select.select(sockets, [], [], 10)
                if not readable:
                    return
                for source in readable:
                    data = source.recv(65536)
                    if not data:
                        return
                    (upstream if source is self.connection else self.connection).sendall(data)

    def seconds(self, default):
        return float(self.query.get("seconds", [default])[0])


@mode("echo")
def echo(request):
    head = request.requestline + "\r\n"
    head += "".join(f"{name}: {value}\r\n" for name, value in request.headers.items())
    body = head.encode("latin-1", "replace") + b"\r\n" + request.request_body
    request.respond(200, body)


@mode("headers")
def headers(request):
    lines = [item.split(":", 1) for item in request.query.get("h", [])]
    request.respond(200, b"headers\n", [(n, v) for n, v in lines if v is not None])


@mode("redirect")
def redirect_chain(request):
    left = int(request.segments[0]) if request.segments and request.segments[0].isdigit() else 0
    target = f"/redirect/{left - 1}" if left > 1 else "/echo"
    request.respond(302, b"", [("Location", target)])


@mode("redirect-to")
def redirect_to(request):
    code = int(request.query.get("code", ["302"])[0])
    request.respond(code, b"", [("Location", request.query.get("url", ["/echo"])[0])])


@mode("redirect-loop")
def redirect_loop(request):
    request.respond(302, b"", [("Location", "/redirect-loop")])


@mode("stall-headers")
def stall_headers(request):
    # Answers in full once the silence is over: a client that did not give up
    # in time gets a complete response.
    STOPPING.wait(request.seconds(30))
    request.respond(200, b"late\n")


@mode("stall-body")
def stall_body(request):
    request.send_response(200)
    request.send_header("Content-Type", "text/plain")
    request.send_header("Content-Length", "20")
    request.end_headers()
    request.wfile.write(b"0123456789")
    request.wfile.flush()
    STOPPING.wait(request.seconds(30))
    request.wfile.write(b"abcdefghij")


@mode("trickle")
def trickle(request):
    """One byte every 0.25 s for the given seconds: never idle, but slow."""
    count = max(1, int(request.seconds(10) * 4))
    request.send_response(200)
    request.send_header("Content-Type", "text/plain")
    request.send_header("Content-Length", str(count))
    request.end_headers()
    for _ in range(count):
        if STOPPING.wait(0.25):
            return
        request.wfile.write(b".")
        request.wfile.flush()


@mode("zeros")
def zeros(request):
    """A body of n zero bytes (?n=), sent in pieces."""
    left = int(request.query.get("n", ["0"])[0])
    request.send_response(200)
    request.send_header("Content-Type", "application/octet-stream")
    request.send_header("Content-Length", str(left))
    request.end_headers()
    piece = bytes(65536)
    while left > 0 and not STOPPING.is_set():
        request.wfile.write(piece[:min(left, len(piece))])
        left -= min(left, len(piece))


def basic_credentials(request, header):
    user = request.query.get("user", ["user"])[0]
    password = request.query.get("pass", ["secret"])[0]
    expected = "Basic " + binascii.b2a_base64(f"{user}:{password}".encode(), newline=False).decode()
    return request.headers.get(header, "") == expected


@mode("auth-basic")
def auth_basic(request):
    """Asks for Basic credentials (?user=&pass=), then echoes."""
    if basic_credentials(request, "Authorization"):
        echo(request)
    else:
        request.respond(401, b"credentials needed\n", [("WWW-Authenticate", 'Basic realm="test"')])


@mode("proxy-auth")
def proxy_auth(request):
    """As a proxy that asks for Basic credentials (?user=&pass=), then echoes."""
    if basic_credentials(request, "Proxy-Authorization"):
        echo(request)
    else:
        request.respond(407, b"proxy credentials needed\n", [("Proxy-Authenticate", 'Basic realm="test"')])


@mode("status")
def status(request):
    code = int(request.segments[0]) if request.segments and request.segments[0].isdigit() else 500
    body = f"<html><body><h1>{code}</h1></body></html>\n".encode()
    request.respond(code, body, content_type="text/html; charset=utf-8")


@mode("bytes")
def raw_bytes(request):
    request.respond(200, binascii.unhexlify(request.query.get("hex", [""])[0]), content_type=None)


def filled_page(request):
    """The page file with its placeholders filled, as UTF-8 text; None without --page."""
    options = request.server.options
    if not options.page:
        return None
    with open(options.page, encoding="utf-8") as f:
        return fill_placeholders(f.read(), server_today(request))


def server_today(request):
    options = request.server.options
    return datetime.date.fromisoformat(options.today) if options.today else datetime.date.today()


def respond_in_pieces(request, length, pieces, content_type="text/html; charset=utf-8"):
    """200 with a body of length bytes that the iterable pieces yields."""
    request.send_response(200)
    request.send_header("Content-Type", content_type)
    request.send_header("Content-Length", str(length))
    request.end_headers()
    for piece in pieces:
        if STOPPING.is_set():
            return
        request.wfile.write(piece)


CELL_OPEN = '<td style="TEXT-ALIGN: center">'


def date_cell(day):
    return f"{CELL_OPEN}{date_label(day)}</td>"


@mode("page-gbk")
def page_gbk(request):
    text = filled_page(request)
    if text is None:
        request.respond(404, b"not found\n")
        return
    request.respond(200, text.encode("gbk"), content_type="text/html; charset=gbk")


@mode("page-zero-first")
def page_zero_first(request):
    text = filled_page(request)
    if text is None:
        request.respond(404, b"not found\n")
        return
    request.respond(200, b"\x00" + text.encode("utf-8"))


@mode("page-padded")
def page_padded(request):
    text = filled_page(request)
    if text is None:
        request.respond(404, b"not found\n")
        return
    head = text.encode("utf-8") + b"<!-- "
    tail = b" -->\n"
    total = max(int(float(request.query.get("mib", ["1"])[0]) * 1024 * 1024), len(head) + len(tail))
    filler = total - len(head) - len(tail)

    def pieces():
        yield head
        left = filler
        block = b"padding " * 8192
        while left > 0:
            yield block[:min(left, len(block))]
            left -= min(left, len(block))
        yield tail
    respond_in_pieces(request, total, pieces())


@mode("hostile")
def hostile(request):
    today = server_today(request)
    cell = date_cell(today).encode("utf-8")
    head = b"<html><table><tr>"
    tail = date_cell(today - datetime.timedelta(days=1)).encode("utf-8") + b"</table></html>\n"
    total = int(float(request.query.get("mib", ["16"])[0]) * 1024 * 1024)
    count = max(0, (total - len(head) - len(tail)) // len(cell))

    def pieces():
        yield head
        left = count
        block = cell * 4096
        while left > 0:
            n = min(left, 4096)
            yield block[:n * len(cell)]
            left -= n
        yield tail
    respond_in_pieces(request, len(head) + count * len(cell) + len(tail), pieces())


def realistic_page(today, kib, days, rows):
    """A quiz page as such sites make them: styled rows with some markup in
    the cells, padded by an ordinary footer to about kib KiB."""
    parts = ['<!DOCTYPE html>\n<html><head><meta charset="utf-8"><title>每日答题答案</title>'
             '<link rel="stylesheet" href="/style.css"></head><body>\n<div class="content">'
             '<table class="answers" border="1" cellspacing="0" cellpadding="4">\n'
             '<tr><th>日期</th><th>题目</th><th>答案</th></tr>\n']
    for back in range(days):
        cell = date_cell(today - datetime.timedelta(days=back))
        for row in range(rows):
            parts.append(f'<tr class="row-{row % 2}">{cell}'
                         f'{CELL_OPEN}第{back + 1}天第{row + 1}题：下列哪一项是<b>正确</b>的说法？'
                         f'（&nbsp;单选&nbsp;）</td>{CELL_OPEN}选项{"ABCD"[row % 4]}：正确答案在此</td></tr>\n')
    body = "".join(parts).encode("utf-8")
    end = "</table></div></body></html>\n".encode("utf-8")
    footer = ('<p class="note">本页内容仅供参考，每日更新。<a href="/about.html">关于我们</a> '
              '<a href="/contact.html">联系方式</a></p>\n').encode("utf-8")
    room = kib * 1024 - len(body) - len(end)
    return body + footer * max(0, room // len(footer)) + end


@mode("realistic")
def realistic(request):
    kib = int(request.query.get("kib", ["1024"])[0])
    days = int(request.query.get("days", ["30"])[0])
    rows = int(request.query.get("rows", ["5"])[0])
    request.respond(200, realistic_page(server_today(request), kib, days, rows),
                    content_type="text/html; charset=utf-8")


@mode("*page")
def page(request):
    options = request.server.options
    if not options.page:
        request.respond(404, b"not found\n")
        return
    with open(options.page, encoding="utf-8") as f:
        text = f.read()
    today = datetime.date.fromisoformat(options.today) if options.today else datetime.date.today()
    request.respond(200, fill_placeholders(text, today).encode("utf-8"),
                    content_type="text/html; charset=utf-8")


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = False

    def __init__(self, name, options, tls_context=None):
        super().__init__(("127.0.0.1", 0), Handler)
        self.name = name
        self.options = options
        self.tls_context = tls_context

    def finish_request(self, request, client_address):
        # The TLS handshake runs in the connection's own thread, so a client
        # that stalls or fails it holds up nobody else.
        try:
            if self.tls_context is not None:
                request.settimeout(30)
                request = self.tls_context.wrap_socket(request, server_side=True)
            super().finish_request(request, client_address)
        except (ssl.SSLError, ConnectionError, socket.timeout, OSError):
            pass

    def handle_error(self, request, client_address):
        if self.options.verbose:
            super().handle_error(request, client_address)


class RawListener:
    """A TCP port that speaks no HTTP; behaviour(connection) runs per connection."""

    def __init__(self, name, behaviour):
        self.name = name
        self.behaviour = behaviour
        self.socket = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self.socket.bind(("127.0.0.1", 0))
        self.socket.listen(16)
        self.socket.settimeout(0.2)
        self.server_address = self.socket.getsockname()
        self.connections = []

    def serve_forever(self, poll_interval=0.2):
        while not STOPPING.is_set():
            try:
                connection, _ = self.socket.accept()
            except socket.timeout:
                continue
            except OSError:
                return
            self.connections.append(connection)
            threading.Thread(target=self.behaviour, args=(connection,), daemon=True).start()

    def shutdown(self):
        STOPPING.set()

    def server_close(self):
        for connection in self.connections:
            connection.close()
        self.socket.close()


def say_nothing(connection):
    STOPPING.wait()


def say_garbage(connection):
    try:
        connection.sendall(b"\x16\x03garbage, not TLS nor HTTP\r\n\r\n")
        connection.shutdown(socket.SHUT_RDWR)
    except OSError:
        pass


# --- Life cycle -----------------------------------------------------------

def die_with_parent(parent):
    """Ends the server when the process that started it ends."""
    try:
        libc = ctypes.CDLL(None, use_errno=True)
        PR_SET_PDEATHSIG = 1
        libc.prctl(PR_SET_PDEATHSIG, signal.SIGTERM)
    except (OSError, AttributeError):
        pass
    if os.getppid() != parent:  # the parent ended before prctl took effect
        STOPPING.set()

    def watch():
        while not STOPPING.wait(0.5):
            if os.getppid() != parent:
                STOPPING.set()
    threading.Thread(target=watch, daemon=True).start()


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--ports-file", help="where to write the ports (name value a line)")
    parser.add_argument("--state-dir", help="folder for the certificates, kept and reused for 12 hours "
                        "(default: a temporary folder, removed at the end)")
    parser.add_argument("--page", help="page file served at every path that names no mode")
    parser.add_argument("--today", help="YYYY-MM-DD used for the page's date placeholders")
    parser.add_argument("--lifetime", type=float, default=600, help="seconds before the server ends itself")
    parser.add_argument("--verbose", action="store_true")
    options = parser.parse_args()

    parent = os.getppid()
    for signum in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
        signal.signal(signum, lambda *_: STOPPING.set())
    die_with_parent(parent)

    made_dir = options.state_dir is None
    state_dir = tempfile.mkdtemp(prefix="lunteva-https-") if made_dir else options.state_dir
    servers = []
    try:
        certificates, ca_file = certificates_in(state_dir)
        servers.append(Server("http", options))
        for kind, (cert, key) in certificates.items():
            context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
            context.load_cert_chain(cert, key)
            servers.append(Server(kind, options, context))
        servers.append(RawListener("silent", say_nothing))
        servers.append(RawListener("garbage", say_garbage))
        for server in servers:
            threading.Thread(target=server.serve_forever, kwargs={"poll_interval": 0.2}, daemon=True).start()

        lines = [f"{server.name} {server.server_address[1]}" for server in servers] + [f"ca {ca_file}"]
        if options.ports_file:
            partial = options.ports_file + ".partial"
            with open(partial, "w") as f:
                f.write("\n".join(lines) + "\n")
            os.replace(partial, options.ports_file)  # readers never see half a file
        print("ready", flush=True)
        STOPPING.wait(options.lifetime)
    finally:
        STOPPING.set()
        for server in servers:
            server.shutdown()
            server.server_close()
        if options.ports_file and os.path.exists(options.ports_file):
            os.remove(options.ports_file)
        if made_dir:
            shutil.rmtree(state_dir, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
