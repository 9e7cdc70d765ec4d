"""What the browser tests and bench/real_sites.py share: a case-sensitive static server on
127.0.0.1, headless Chromium driven over the DevTools protocol, a crawler that records every
failing request with the page that made it, tessary-cli driven through a pseudo-terminal so
that its undo can be taken after the renamed tree was crawled, and tree snapshots to prove
that undo gave back every byte."""
import collections
import hashlib
import http.server
import json
import os
import posixpath
import pty
import re
import shutil
import signal
import stat
import subprocess
import sys
import tempfile
import threading
import time
import urllib.error
import urllib.parse
import urllib.request

SKIP = 77

# The kinds of request whose failure a visitor would notice on a page.
WATCHED_TYPES = {"Document", "Stylesheet", "Image", "Media", "Font", "Script", "TextTrack",
                 "Other", "Link"}
# Extensions (lower case) of links the crawler opens as pages; other links are only fetched.
PAGE_EXTS = {"", ".html", ".htm", ".xhtml", ".shtml"}


def need_websocket():
    """The websocket module, or None; Debian's python3-websocket lives outside a pyenv path."""
    try:
        import websocket
        return websocket
    except ImportError:
        pass
    for d in ("/usr/lib/python3/dist-packages",):
        if os.path.isdir(os.path.join(d, "websocket")) and d not in sys.path:
            sys.path.append(d)
            try:
                import websocket
                return websocket
            except ImportError:
                sys.path.remove(d)
    return None


def find_chromium():
    for name in ("chromium", "chromium-browser", "google-chrome"):
        path = shutil.which(name)
        if path:
            return path
    return None


# ---------------------------------------------------------------------------------------------
# Static server

class _Handler(http.server.SimpleHTTPRequestHandler):
    """Case-sensitive (Linux paths); a directory URL serves its index.html and nothing else,
    so that a directory listing never hides a broken directory link. The tree is served
    below MOUNT, as a manual is on a real server: a link with one ".." too many then fails
    instead of being clamped to the server's root."""

    MOUNT = "/site"

    protocol_version = "HTTP/1.1"   # keep-alive: a page's dozens of requests share connections

    def log_message(self, *args):
        pass

    def translate_path(self, path):
        rel = urllib.parse.urlsplit(path).path
        if rel != self.MOUNT and not rel.startswith(self.MOUNT + "/"):
            return os.path.join(self.directory, ".outside-the-site", "none")
        return super().translate_path(path[len(self.MOUNT):])

    def send_head(self):
        path = self.translate_path(self.path)
        if os.path.isdir(path) and urllib.parse.urlsplit(self.path).path.endswith("/"):
            if not os.path.isfile(os.path.join(path, "index.html")):
                self.send_error(404, "No index.html in this directory")
                return None
        return super().send_head()


class _Server(http.server.ThreadingHTTPServer):
    daemon_threads = True

    def handle_error(self, request, client_address):
        # The browser drops connections when it moves on to the next page: not an error.
        if not isinstance(sys.exc_info()[1], ConnectionError):
            super().handle_error(request, client_address)


class StaticServer:
    def __init__(self, root):
        handler = lambda *a, **k: _Handler(*a, directory=root, **k)
        self.httpd = _Server(("127.0.0.1", 0), handler)
        self.httpd.daemon_threads = True
        self.root_url = "http://127.0.0.1:%d%s/" % (self.httpd.server_address[1], _Handler.MOUNT)
        self.thread = threading.Thread(target=self.httpd.serve_forever, daemon=True)

    def __enter__(self):
        self.thread.start()
        return self

    def __exit__(self, *exc):
        self.httpd.shutdown()
        self.httpd.server_close()
        self.thread.join(5)


# ---------------------------------------------------------------------------------------------
# Chromium over the DevTools protocol

class Browser:
    """One headless Chromium with one tab, reused for every page of every crawl."""

    def __init__(self, work_dir):
        self.ws_mod = need_websocket()
        exe = find_chromium()
        self.profile = tempfile.mkdtemp(prefix="chromium_", dir=work_dir)
        args = [exe, "--headless=new", "--remote-debugging-port=0",
                "--user-data-dir=" + self.profile, "--no-first-run", "--no-default-browser-check",
                "--disable-gpu", "--disable-extensions", "--disable-background-networking",
                "--disable-component-update", "--disable-sync", "--disable-dev-shm-usage",
                "--mute-audio", "--autoplay-policy=no-user-gesture-required",
                # Nothing leaves the machine: every host but the test server fails at once.
                "--host-resolver-rules=MAP * ~NOTFOUND , EXCLUDE 127.0.0.1", "about:blank"]
        if os.geteuid() == 0:
            args.insert(1, "--no-sandbox")
        self.log = open(os.path.join(work_dir, "chromium.log"), "wb")
        self.proc = subprocess.Popen(args, stdout=self.log, stderr=self.log,
                                     stdin=subprocess.DEVNULL, start_new_session=True)
        self.ws = None
        try:
            self._connect()
        except BaseException:
            self.close()
            raise

    def _connect(self):
        port_file = os.path.join(self.profile, "DevToolsActivePort")
        deadline = time.time() + 30
        while True:
            if os.path.exists(port_file):
                lines = open(port_file).read().split("\n")
                if len(lines) >= 2 and lines[1]:
                    break
            if self.proc.poll() is not None or time.time() > deadline:
                raise RuntimeError("chromium did not start (see chromium.log)")
            time.sleep(0.05)
        url = "ws://127.0.0.1:%s%s" % (lines[0].strip(), lines[1].strip())
        self.ws = self.ws_mod.create_connection(url, timeout=30, suppress_origin=True)
        self.next_id = 0
        self.session = None
        self.handlers = []
        target = self.call("Target.createTarget", {"url": "about:blank"}, browser=True)
        self.session = self.call("Target.attachToTarget",
                                 {"targetId": target["targetId"], "flatten": True},
                                 browser=True)["sessionId"]
        for m in ("Page.enable", "Network.enable", "Runtime.enable"):
            self.call(m)
        self.call("Network.setCacheDisabled", {"cacheDisabled": True})
        self.call("Page.setDownloadBehavior", {"behavior": "deny"})

    def close(self):
        try:
            if self.ws:
                self.ws.close()
        except Exception:
            pass
        if self.proc.poll() is None:
            try:
                os.killpg(self.proc.pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
        self.proc.wait()
        self.log.close()

    def _dispatch(self, msg):
        if msg.get("sessionId") == self.session and "method" in msg:
            for h in self.handlers:
                h(msg["method"], msg.get("params", {}))

    def _recv(self, timeout):
        self.ws.settimeout(max(timeout, 0.001))
        try:
            return json.loads(self.ws.recv())
        except self.ws_mod.WebSocketTimeoutException:
            return None

    def call(self, method, params=None, browser=False, timeout=30):
        self.next_id += 1
        msg = {"id": self.next_id, "method": method, "params": params or {}}
        if not browser:
            msg["sessionId"] = self.session
        self.ws.send(json.dumps(msg))
        deadline = time.time() + timeout
        while time.time() < deadline:
            reply = self._recv(deadline - time.time())
            if reply is None:
                continue
            if reply.get("id") == self.next_id:
                if "error" in reply:
                    raise RuntimeError("%s: %s" % (method, reply["error"]))
                return reply.get("result", {})
            self._dispatch(reply)
        raise TimeoutError(method)

    def pump(self, until, timeout):
        """Handles events until until() holds or the time is up; whether it holds."""
        deadline = time.time() + timeout
        while not until():
            left = deadline - time.time()
            if left <= 0:
                return False
            msg = self._recv(min(left, 0.05))
            if msg is not None:
                self._dispatch(msg)
        return True

    def evaluate(self, expression):
        r = self.call("Runtime.evaluate", {"expression": expression, "returnByValue": True})
        return r.get("result", {}).get("value")


# ---------------------------------------------------------------------------------------------
# Crawling

def url_path(url, root_url):
    """The decoded path of a same-origin URL relative to the site root, starting with "../"
    when it lies outside the site (None for another origin); a directory URL names the
    index.html the server gives for it."""
    parts, root = urllib.parse.urlsplit(url), urllib.parse.urlsplit(root_url)
    if (parts.scheme, parts.netloc) != (root.scheme, root.netloc):
        return None
    path = urllib.parse.unquote(parts.path)
    if path.startswith(root.path):
        rel = path[len(root.path):]
    else:
        rel = "../" + path.lstrip("/")
    if rel == "" or rel.endswith("/"):
        rel += "index.html"
    return posixpath.normpath(rel)


class Crawl:
    def __init__(self):
        self.pages = []              # relative paths of the pages loaded, in order
        self.failures = []           # (page, resource, type, what) of each failing request
        self.loaded = set()          # resources that loaded fine
        self.time = 0.0

    def failure_lines(self):
        return ["%s asked for %s (%s): %s" % f for f in self.failures]


# Makes lazy media load now and tells what the page links to and whether it asks to refresh.
_AFTER_LOAD_JS = r"""(() => {
  for (const e of document.querySelectorAll('[loading="lazy"]')) e.loading = 'eager';
  return {href: location.href, state: document.readyState,
          links: Array.from(document.links, a => a.href),
          srcset: !!document.querySelector('img[srcset], source[srcset], [style*="image-set"]'),
          refresh: !!document.querySelector('meta[http-equiv="refresh" i]')};
})()"""


def crawl(browser, root_url, home, scales=(1, 2), max_pages=300, page_timeout=5.0,
          all_scales_everywhere=True, deadline=None, stall=1.0, cache=False):
    """Loads every page reachable from home by same-origin links, breadth first, at each
    device scale factor; records every failing request with the page that asked for it."""
    result = Crawl()
    start = time.time()
    requests = {}                    # requestId -> state of that request
    state = {"load": 0, "page": None, "loader": None, "frame": None}

    def on_event(method, p):
        if method == "Network.requestWillBeSent":
            rid = p["requestId"]
            if "redirectResponse" in p and rid in requests:
                prev = requests[rid]
                prev["done"] = True
                if prev["status"] is None:
                    prev["status"] = p["redirectResponse"].get("status")
            requests[rid] = {"url": p["request"]["url"], "type": p.get("type", "Other"),
                             "status": None, "error": None, "done": False,
                             "page": state["page"], "loader": p.get("loaderId"),
                             "frame": p.get("frameId"),
                             "t": time.time()}
        elif method == "Network.responseReceived":
            r = requests.get(p["requestId"])
            if r is not None:
                r["status"] = p["response"].get("status")
                r["type"] = p.get("type", r["type"])
        elif method == "Network.loadingFinished":
            r = requests.get(p["requestId"])
            if r is not None:
                r["done"] = True
        elif method == "Network.loadingFailed":
            r = requests.get(p["requestId"])
            if r is not None:
                r["done"] = True
                r["error"] = p.get("errorText") or "failed"
        elif method == "Page.loadEventFired":
            state["load"] += 1

    def settle(referrer):
        """Records the finished requests of the page loaded last."""
        for rid, r in list(requests.items()):
            rel = url_path(r["url"], root_url)
            if rel is None:
                continue
            # The browser asks the server root for /favicon.ico by itself.
            if r["type"] not in WATCHED_TYPES or rel == "../favicon.ico":
                continue
            page = r["page"]
            if r["type"] == "Document" and r["loader"] == state["loader"]:
                page = referrer     # a page that fails is blamed on the page that links it
            if r["error"] and r["error"] != "net::ERR_ABORTED":
                result.failures.append((page, rel, r["type"], r["error"]))
            elif r["status"] is not None and r["status"] >= 400:
                result.failures.append((page, rel, r["type"], "HTTP %d" % r["status"]))
            elif r["status"] is not None and r["status"] < 300:
                result.loaded.add(rel)
        requests.clear()

    def idle():
        # A status is all that is recorded. A worker's script (no loader) never reports its
        # end to the page, and a local request still silent after a while is given up.
        now = time.time()
        return all(r["done"] or r["status"] is not None or not r["loader"] or
                   now - r["t"] > stall for r in requests.values())

    def after_load(loads):
        """What the page shows once loaded; a page that navigates away (a refresh) is followed."""
        for _ in range(3):
            try:
                info = browser.evaluate(_AFTER_LOAD_JS) or {}
                # The page a refresh went to can still be loading when asked: its links and
                # its loads come once it is complete.
                until = time.time() + page_timeout
                while info.get("state") not in (None, "complete") and time.time() < until:
                    browser.pump(lambda: False, 0.05)
                    info = browser.evaluate(_AFTER_LOAD_JS) or {}
                return info
            except RuntimeError as e:
                if "navigated" not in str(e):
                    raise
                loads = state["load"]
                browser.pump(lambda: state["load"] > loads, page_timeout)
        return {}

    def load(url, referrer, rel):
        """Loads a page; what it shows, or None when its document failed."""
        state["page"], state["loader"] = rel, None
        loads = state["load"]
        try:
            nav = browser.call("Page.navigate", {"url": url})
        except RuntimeError as e:
            result.failures.append((referrer, rel, "Document", str(e)))
            return None
        if nav.get("errorText"):
            result.failures.append((referrer, rel, "Document", nav["errorText"]))
            requests.clear()
            return None
        state["loader"], state["frame"] = nav.get("loaderId"), nav.get("frameId")
        browser.pump(lambda: state["load"] > loads, page_timeout)
        info = after_load(loads)
        if info.get("refresh"):
            # The refresh goes at once: its target is this page's request.
            loads = state["load"]
            browser.pump(lambda: state["load"] > loads, page_timeout)
            info = after_load(loads)
        browser.pump(idle, page_timeout)
        # This navigation's document (after HTTP redirects), and the one a refresh went to.
        final, refreshed = None, None
        for r in requests.values():
            if r["type"] != "Document" or not r["loader"]:
                continue
            ok = not r["error"] and r["status"] is not None and r["status"] < 400
            if r["loader"] == state["loader"]:
                final = url_path(r["url"], root_url) if ok else None
            elif ok and r["frame"] == state["frame"]:
                refreshed = url_path(r["url"], root_url)
        settle(referrer)
        return (info, final, refreshed) if final else None

    def fetch(url, referrer, rel):
        req = urllib.request.Request(url, method="HEAD")
        try:
            with urllib.request.urlopen(req, timeout=page_timeout):
                result.loaded.add(rel)
        except urllib.error.HTTPError as e:
            result.failures.append((referrer, rel, "Link", "HTTP %d" % e.code))
        except OSError as e:
            result.failures.append((referrer, rel, "Link", str(e)))

    browser.handlers = [on_event]
    browser.call("Network.setCacheDisabled", {"cacheDisabled": not cache})
    try:
        for scale in scales:
            browser.call("Emulation.setDeviceMetricsOverride",
                         {"width": 1280, "height": 900, "deviceScaleFactor": scale,
                          "mobile": False})
            if scale != scales[0]:
                # Again at this scale: the pages seen, or only those with resolution choices.
                for rel, url, wants in list(result_pages):
                    if all_scales_everywhere or wants:
                        load(url, rel, rel)
                continue
            result_pages = []
            seen = {home}
            queue = collections.deque([(root_url + urllib.parse.quote(home), "(start)", home)])
            fetched = set()
            while queue and len(result_pages) < max_pages:
                if deadline and time.time() > deadline:
                    result.failures.append(("(crawl)", "(time)", "Timeout", "crawl cut short"))
                    break
                url, referrer, rel = queue.popleft()
                loaded = load(url, referrer, rel)
                if loaded is None:
                    continue
                info, final, refreshed = loaded
                seen.add(final)
                result_pages.append((final, url, info.get("srcset")))
                result.pages.append(final)
                if refreshed and refreshed not in seen:
                    seen.add(refreshed)
                    result.pages.append(refreshed)
                    final = refreshed      # the links shown are those of the page it went to
                for link in info.get("links") or []:
                    link = urllib.parse.urldefrag(link)[0]
                    lrel = url_path(link, root_url)
                    if lrel is None or lrel in seen or lrel in fetched:
                        continue
                    ext = posixpath.splitext(lrel)[1].lower()
                    if ext in PAGE_EXTS:
                        seen.add(lrel)
                        queue.append((link, final, lrel))
                    else:
                        fetched.add(lrel)
                        fetch(link, final, lrel)
    finally:
        browser.handlers = []
    result.time = time.time() - start
    return result


# ---------------------------------------------------------------------------------------------
# Trees

def snapshot(root):
    """Every entry below root: kind, mode bits, and content digest or link text."""
    entries = {}
    for dirpath, dirnames, filenames in os.walk(root):
        for name in dirnames + filenames:
            full = os.path.join(dirpath, name)
            rel = os.path.relpath(full, root)
            st = os.lstat(full)
            mode = stat.S_IMODE(st.st_mode)
            if stat.S_ISLNK(st.st_mode):
                entries[rel] = ("link", mode, os.readlink(full))
            elif stat.S_ISDIR(st.st_mode):
                entries[rel] = ("dir", mode, None)
            else:
                with open(full, "rb") as f:
                    digest = hashlib.sha256(f.read()).hexdigest()
                entries[rel] = ("file", mode, digest)
    return entries


def tree_differences(before, after, ignore=()):
    diffs = []
    for rel in sorted(set(before) | set(after)):
        if rel in ignore:
            continue
        if rel not in after:
            diffs.append("missing after undo: %s" % rel)
        elif rel not in before:
            diffs.append("left behind by the run: %s" % rel)
        elif before[rel] != after[rel]:
            b, a = before[rel], after[rel]
            what = ("kind %s -> %s" % (b[0], a[0]) if b[0] != a[0] else
                    "mode %o -> %o" % (b[1], a[1]) if b[1] != a[1] else
                    "link text %r -> %r" % (b[2], a[2]) if b[0] == "link" else "content")
            diffs.append("changed by the run: %s (%s)" % (rel, what))
    return diffs


def copy_tree(src, dst, dereference_outside=True):
    """A copy of src; symbolic links that point inside src stay links, those that point
    outside it (Debian's doc packages link into /usr/share/javascript) are copied as files."""
    src = os.path.realpath(src)
    os.makedirs(dst)
    for dirpath, dirnames, filenames in os.walk(src):
        rel_dir = os.path.relpath(dirpath, src)
        out_dir = os.path.normpath(os.path.join(dst, rel_dir))
        for name in list(dirnames) + filenames:
            full = os.path.join(dirpath, name)
            out = os.path.join(out_dir, name)
            if os.path.islink(full):
                real = os.path.realpath(full)
                inside = real == src or real.startswith(src + os.sep)
                if inside or not dereference_outside or not os.path.exists(real):
                    os.symlink(os.readlink(full), out)
                    if name in dirnames:
                        dirnames.remove(name)
                    continue
                if os.path.isdir(real):
                    shutil.copytree(real, out, symlinks=False)
                    dirnames.remove(name)
                else:
                    shutil.copy2(real, out)
            elif name in dirnames:
                os.mkdir(out)
                shutil.copystat(full, out)
            else:
                shutil.copy2(full, out)


# ---------------------------------------------------------------------------------------------
# tessary-cli through a pseudo-terminal

class CliRun:
    """tessary-cli renaming a tree, stopped at its "Undo these changes?" question: the
    renamed tree can be examined before undo() or keep() answers."""

    QUESTION = b"Undo these changes? [y/N]"

    def __init__(self, cli, args, report_path, timeout=600):
        self.report_path = report_path
        master, slave = pty.openpty()
        self.master = master
        self.out = tempfile.TemporaryFile()
        self.proc = subprocess.Popen([cli] + args + ["--report", report_path], stdin=slave,
                                     stdout=self.out, stderr=slave, start_new_session=True)
        os.close(slave)
        self.terminal = bytearray()
        self.asked = threading.Event()
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()
        deadline = time.time() + timeout
        while not self.asked.wait(0.1):
            if self.proc.poll() is not None or time.time() > deadline:
                break
        self.question_seen = self.asked.is_set()

    def _read(self):
        while True:
            try:
                data = os.read(self.master, 65536)
            except OSError:
                break
            if not data:
                break
            self.terminal += data
            if self.QUESTION in self.terminal:
                self.asked.set()

    def report(self):
        try:
            with open(self.report_path, "rb") as f:
                return f.read().decode("utf-8", "surrogateescape")
        except OSError:
            return ""

    def _answer(self, text, timeout=600):
        if self.proc.poll() is None and self.question_seen:
            os.write(self.master, text)
        try:
            self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            os.killpg(self.proc.pid, signal.SIGKILL)
            self.proc.wait()
        self.reader.join(5)
        os.close(self.master)
        self.out.seek(0)
        return self.proc.returncode

    def undo(self, timeout=600):
        return self._answer(b"y\n", timeout)

    def keep(self):
        return self._answer(b"n\n")

    def terminal_text(self):
        return self.terminal.decode("utf-8", "replace")

    def stdout_text(self):
        self.out.seek(0)
        return self.out.read().decode("utf-8", "surrogateescape")


def report_section(report, title):
    """The non-blank lines of a report section, between its title's rule and the next rule."""
    lines = report.replace("\r\n", "\n").split("\n")
    rule = "-" * 80
    out = []
    for i, line in enumerate(lines):
        if line.strip() == title:
            for line in lines[i + 2:]:
                if line.rstrip() == rule:
                    break
                if line.strip():
                    out.append(line)
            break
    return out


def renames(report, root):
    """{old path relative to root: new name} from the report's list of renamed files."""
    out = {}
    prefix = root.rstrip("/") + "/"
    for line in report_section(report, "RENAMED FILES:"):
        i = line.find(" " + prefix)
        if i < 0:
            continue
        out[os.path.relpath(line[i + 1:].rstrip(), root)] = line[:i].strip()
    return out


class Renames:
    """Maps paths of the original tree to the renamed tree and back."""

    def __init__(self, table):
        self.table = table
        self.back = {}
        for old in table:
            self.back[self.forward(old)] = old

    def forward(self, rel):
        parts, done = rel.split("/"), []
        for i, part in enumerate(parts):
            old = "/".join(parts[:i + 1])
            done.append(self.table.get(old, part))
        return "/".join(done)

    def backward(self, rel):
        parts = rel.split("/")
        for n in range(len(parts), 0, -1):
            head = "/".join(parts[:n])
            if head in self.back:
                return "/".join([self.back[head]] + parts[n:])
        return rel


def unresolved_links(report, root):
    """[(page relative to root, link text)] from the report's unresolved local links."""
    out, page = [], None
    prefix = root.rstrip("/") + "/"
    for line in report_section(report, "UNRESOLVED LOCAL LINKS:"):
        m = re.match(r'^In file "(.*)"$', line.strip())
        if m:
            page = os.path.relpath(m.group(1), root) if m.group(1).startswith(prefix) else None
            continue
        m = re.match(r"^\s*line\s+\d+: (.*)$", line)
        if m and page is not None:
            out.append((page, m.group(1)))
    return out


def unused_files(report, root):
    prefix = root.rstrip("/") + "/"
    return [os.path.relpath(l.strip(), root)
            for l in report_section(report, "THE FOLLOWING FILES WERE NOT USED IN THE SITE HIERARCHY:")
            if l.strip().startswith(prefix)]


def resolve_link(page, link):
    """The path relative to the site root that a browser asks for when page links to link."""
    base = "http://h/site/" + urllib.parse.quote(page)
    url = urllib.parse.urljoin(base, urllib.parse.quote(link, safe="/%:?#&=;@+,$!~*'()"))
    return url_path(urllib.parse.urldefrag(url)[0], "http://h/site/")
