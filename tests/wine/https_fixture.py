#!/usr/bin/env python3
"""Runs the HTTPS tests of the platform's HTTP object under Wine.

Makes a throwaway certificate authority and a certificate for 127.0.0.1 with
openssl, serves a few fixed answers over HTTPS on a free loopback port,
trusts the authority in the Wine prefix (AddRootCert.exe), runs the test
program with LUNTEVA_TEST_HTTPS_BASE set to the server's address, and takes
the authority out again (a failure to do so fails the run).

  https_fixture.py RUNNER ADD_ROOT_CERT.exe TESTS.exe [TEST ARGS...]

RUNNER runs a Windows program (cmake/wine-run.sh). Exit code: the tests'.
"""
import http.server
import os
import ssl
import subprocess
import sys
import tempfile
import threading

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from throwaway_ca import make_certificates, windows_path  # noqa: E402

# Answers, by path. The test program holds the same constants.
BODY = b"lunteva\x00\xd6\xd0\xff\r\nend"


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, fmt, *args):  # keep the test output clean
        pass

    def answer(self, status, body, headers=()):
        self.send_response(status)
        for name, value in headers:
            self.send_header(name, value)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(body)

    def do_GET(self):
        if self.path == "/body":
            self.answer(200, BODY, [("Content-Type", "application/octet-stream"),
                                    ("X-Lunteva-Test", "1"),
                                    ("Set-Cookie", "a=1; path=/")])
        elif self.path == "/redirect":
            self.answer(302, b"moved", [("Location", "/body")])
        elif self.path == "/headers":
            seen = self.headers.get("X-Echo", "(none)")
            self.answer(200, seen.encode("latin-1"), [("X-Seen", seen)])
        else:
            self.answer(404, b"not here")

    def do_POST(self):
        length = int(self.headers.get("Content-Length", "0"))
        body = self.rfile.read(length)
        self.answer(200, body, [("Content-Type", "application/octet-stream")])


def run(cmd, **kw):
    return subprocess.run(cmd, check=False, **kw).returncode


def main():
    if len(sys.argv) < 4:
        print(__doc__, file=sys.stderr)
        return 2
    runner, add_root, tests, test_args = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4:]
    with tempfile.TemporaryDirectory(prefix="lunteva-https-") as folder:
        ca_pem, ca_der, leaf, key = make_certificates(folder)
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(leaf, key)
        server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        server.socket = context.wrap_socket(server.socket, server_side=True)
        thread = threading.Thread(target=server.serve_forever, daemon=True)
        thread.start()
        try:
            # Added as PEM, taken out as DER: both forms name the same CA.
            if run([runner, add_root, windows_path(ca_pem)]) != 0:
                print("could not trust the test CA in the Wine prefix", file=sys.stderr)
                return 1
            env = dict(os.environ, LUNTEVA_TEST_HTTPS_BASE=f"https://127.0.0.1:{server.server_port}")
            result = run([runner, tests, *test_args], env=env)
            if run([runner, add_root, "--remove", windows_path(ca_der)]) != 0:
                print("could not take the test CA out of the Wine prefix", file=sys.stderr)
                return result or 1
            return result
        finally:
            server.shutdown()
            server.server_close()


if __name__ == "__main__":
    sys.exit(main())
