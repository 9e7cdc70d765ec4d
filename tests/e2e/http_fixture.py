#!/usr/bin/env python3
"""Local HTTP and HTTPS servers that answer the ways real servers do, for the tests and
benchmarks of external-URL checking. They listen on 127.0.0.1 only, on ports the system
chooses, count every request by method and path, keep each request's headers, and record the
most connections they saw open at once (per server), so a test can tell that each URL was
asked for once, that a per-host limit held and what a client sent.

Paths (any query is ignored, except ?ms=N on /slow):
  /ok            200 with a small page          /moved    301 to /ok
  /found         302 to /ok                     /gone404  404
  /gone410       410                            /error500 500
  /busy          429 with Retry-After: 1 the first time, then 200
  /unavailable   503 with Retry-After: 1 every time
  /nohead        405 to HEAD, 200 to GET        /loop     301 to itself
  /hang          never answers (the connection stays open until the server stops)
  /close         closes the connection without an answer
  /slow?ms=N     200 after N milliseconds       /blocked  403
  /auth          401 with WWW-Authenticate
  /headbody      200 whose body is sent to HEAD as well, a moment after the headers: a client
                 that keeps the connection reads that body as its next answer
Anything else is 404. The HTTPS server serves the same paths with a self-signed certificate.

  http_fixture.py --self-test   checks the answers above with urllib and exits 0 or 1
  http_fixture.py --serve       serves until interrupted and prints the two base URLs
"""
import http.client
import http.server
import os
import shutil
import socket
import ssl
import subprocess
import sys
import tempfile
import threading
import time
import urllib.parse

REDIRECTS = {"/moved": (301, "/ok"), "/found": (302, "/ok"), "/loop": (301, "/loop")}
STATUSES = {"/gone404": 404, "/gone410": 410, "/error500": 500, "/blocked": 403}


class Counters:
    """Requests by (method, path), their headers, and connections open now and at most, under
    one lock."""

    def __init__(self):
        self.lock = threading.Lock()
        self.requests = {}
        self.headers = {}  # (method, path): [[(name, value), ...] of each request]
        self.open = 0
        self.most_open = 0

    def count(self, method, path, headers=()):
        with self.lock:
            key = (method, path)
            self.requests[key] = self.requests.get(key, 0) + 1
            self.headers.setdefault(key, []).append(list(headers))
            return self.requests[key]

    def headers_of(self, path):
        """The headers of every request for path, whatever the method."""
        with self.lock:
            return [h for (m, p), seen in self.headers.items() if p == path for h in seen]

    def connected(self, delta):
        with self.lock:
            self.open += delta
            self.most_open = max(self.most_open, self.open)

    def total(self, path):
        with self.lock:
            return sum(n for (m, p), n in self.requests.items() if p == path)


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"  # keep-alive, as a real server

    def setup(self):
        super().setup()
        self.server.counters.connected(+1)

    def finish(self):
        try:
            super().finish()
        finally:
            self.server.counters.connected(-1)

    def log_message(self, *args):
        pass

    def answer(self, status, headers=(), body=b""):
        self.send_response(status)
        for name, value in headers:
            self.send_header(name, value)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(body)

    def handle_any(self):
        parts = urllib.parse.urlsplit(self.path)
        path = parts.path
        n = self.server.counters.count(self.command, path, self.headers.items())
        page = b"<html><body>ok</body></html>\n"
        if path == "/ok":
            self.answer(200, [("Content-Type", "text/html")], page)
        elif path in REDIRECTS:
            status, to = REDIRECTS[path]
            self.answer(status, [("Location", to)])
        elif path in STATUSES:
            self.answer(STATUSES[path])
        elif path == "/busy":
            self.answer(429, [("Retry-After", "1")]) if n == 1 else self.answer(200, [], page)
        elif path == "/unavailable":
            self.answer(503, [("Retry-After", "1")])
        elif path == "/nohead":
            self.answer(405 if self.command == "HEAD" else 200, [("Allow", "GET")],
                        b"" if self.command == "HEAD" else page)
        elif path == "/auth":
            self.answer(401, [("WWW-Authenticate", 'Basic realm="x"')])
        elif path == "/hang":
            self.server.stopped.wait()
            self.close_connection = True
        elif path == "/headbody":
            self.send_response(200)
            self.send_header("Content-Length", str(len(page)))
            self.end_headers()
            time.sleep(0.02)
            self.wfile.write(page)
        elif path == "/close":
            self.close_connection = True
            self.connection.shutdown(socket.SHUT_RDWR)
        elif path == "/slow":
            ms = int(urllib.parse.parse_qs(parts.query).get("ms", ["50"])[0])
            time.sleep(ms / 1000)
            self.answer(200, [], page)
        else:
            self.answer(404)

    do_GET = do_HEAD = handle_any


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True
    # Many clients at once in the benchmarks.
    request_queue_size = 1024

    def __init__(self, tls_dir=None):
        super().__init__(("127.0.0.1", 0), Handler)
        self.counters = Counters()
        self.stopped = threading.Event()
        if tls_dir:
            context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
            context.load_cert_chain(os.path.join(tls_dir, "cert.pem"),
                                    os.path.join(tls_dir, "key.pem"))
            self.socket = context.wrap_socket(self.socket, server_side=True)
        self.thread = threading.Thread(target=self.serve_forever, daemon=True)

    def handle_error(self, request, client_address):
        # Clients that give up on a connection are part of the tests, not faults of the server.
        if isinstance(sys.exc_info()[1], ConnectionError):
            return
        super().handle_error(request, client_address)

    @property
    def base(self):
        scheme = "https" if isinstance(self.socket, ssl.SSLSocket) else "http"
        return f"{scheme}://127.0.0.1:{self.server_address[1]}"

    def __enter__(self):
        self.thread.start()
        return self

    def __exit__(self, *exc):
        self.stopped.set()
        self.shutdown()
        self.server_close()


def self_signed(directory):
    """Writes cert.pem and key.pem for 127.0.0.1 into directory, with the openssl tool."""
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                    "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1",
                    "-keyout", os.path.join(directory, "key.pem"),
                    "-out", os.path.join(directory, "cert.pem")],
                   check=True, capture_output=True)


def status_of(base, path, method="GET", timeout=2, headers=None):
    """The status of one request that follows no redirect, or an exception's class name."""
    parts = urllib.parse.urlsplit(base)
    conn_class = (http.client.HTTPSConnection if parts.scheme == "https"
                  else http.client.HTTPConnection)
    kwargs = {"context": ssl._create_unverified_context()} if parts.scheme == "https" else {}
    conn = conn_class(parts.hostname, parts.port, timeout=timeout, **kwargs)
    try:
        conn.request(method, path, headers=headers or {})
        return conn.getresponse().status
    except Exception as e:  # the answer a check must classify, not a test failure
        return type(e).__name__
    finally:
        conn.close()


def spoils_next_answer(base):
    """Whether HEAD /headbody leaves its body on the connection, where the next answer is
    read."""
    parts = urllib.parse.urlsplit(base)
    conn = http.client.HTTPConnection(parts.hostname, parts.port, timeout=10)
    try:
        conn.request("HEAD", "/headbody")
        conn.getresponse().read()
        time.sleep(0.2)  # the body is on its way
        conn.request("HEAD", "/ok")
        conn.getresponse()
        return False
    except http.client.BadStatusLine:
        return True
    finally:
        conn.close()


def self_test():
    expected = [("/ok", "GET", 200), ("/moved", "HEAD", 301), ("/found", "GET", 302),
                ("/gone404", "GET", 404), ("/gone410", "HEAD", 410), ("/error500", "GET", 500),
                ("/busy", "GET", 429), ("/busy", "GET", 200), ("/unavailable", "GET", 503),
                ("/nohead", "HEAD", 405), ("/nohead", "GET", 200), ("/loop", "GET", 301),
                ("/blocked", "GET", 403), ("/auth", "GET", 401), ("/slow?ms=10", "GET", 200),
                ("/headbody", "HEAD", 200), ("/hang", "GET", "TimeoutError"),
                ("/close", "GET", "RemoteDisconnected")]
    failures = []
    with tempfile.TemporaryDirectory() as tls:
        self_signed(tls)
        with Server() as plain, Server(tls) as secure:
            for base in (plain.base, secure.base):
                for path, method, want in expected:
                    # Only /hang is meant to time out: the others have time on a busy machine.
                    got = status_of(base, path, method, timeout=0.5 if path == "/hang" else 10)
                    if got != want:
                        failures.append(f"{base}{path} {method}: {got}, wanted {want}")
            if not spoils_next_answer(plain.base):
                failures.append("the body of HEAD /headbody is not left for the next answer")
            if plain.counters.total("/busy") != 2:
                failures.append("requests are not counted")
            status_of(plain.base, "/gone410", headers={"X-Probe": "seen"})
            if ("X-Probe", "seen") not in plain.counters.headers_of("/gone410")[-1]:
                failures.append("request headers are not kept")
            # A client that checks certificates refuses the self-signed one.
            try:
                ssl.create_default_context().wrap_socket(
                    socket.create_connection(("127.0.0.1", secure.server_address[1])),
                    server_hostname="127.0.0.1")
                failures.append("the self-signed certificate was accepted")
            except ssl.SSLCertVerificationError:
                pass
    for f in failures:
        print("FAIL", f)
    print("http fixture:", "ok" if not failures else f"{len(failures)} failures")
    return 0 if not failures else 1


def main():
    if "--self-test" in sys.argv:
        if not shutil.which("openssl"):
            print("skipped: no openssl")
            return 77
        return self_test()
    if "--serve" in sys.argv:
        with tempfile.TemporaryDirectory() as tls:
            self_signed(tls)
            with Server() as plain, Server(tls) as secure:
                print(plain.base, secure.base, flush=True)
                try:
                    while True:
                        time.sleep(3600)
                except KeyboardInterrupt:
                    return 0
    print(__doc__)
    return 2


if __name__ == "__main__":
    sys.exit(main())
