#!/usr/bin/env python3
"""--redirects end to end against the servers that read the rules. A site with spaces, quotes,
"$", "&", accents and nested directories is renamed for DOS (every name changes) and for NTFS
(only the quoted names: the pages below a renamed directory keep names with spaces), and
  - Apache (its own config, the rules in the site's .htaccess, at the root and under /docs),
  - nginx (its own config including tessary-redirects.conf),
  - the _redirects format as Netlify documents it (parsed and resolved here)
must send every old URL (a file's, a directory's, and every path below a renamed directory)
with a 301 to the new one, which answers 200 with the file's bytes; the site's own .htaccess
and _redirects lines keep working. A case-only rename (--target upper) gets rules only with
--case-sensitive-server, and Apache follows them. Stub pages left by --web-ext windows are
loaded at their old URLs by headless Chromium, which must land on the new pages; only pages get
one. After each run undo gives back every byte and name and removes the files the run made.

Usage: redirect_servers.py TESSARY_CLI [--keep]
Exits 0 pass, 1 fail, 77 when apache2, nginx, chromium or python3-websocket is missing."""
import base64
import html.parser
import http.client
import os
import shutil
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import time
import urllib.parse
import zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402

CLI = os.path.abspath(sys.argv[1]) if len(sys.argv) > 1 else ""
KEEP = "--keep" in sys.argv
failures = []

# The site's own server lines: they must still hold after the run and be given back by undo.
# No final newline in .htaccess: the block must still start on a line of its own.
OWN_HTACCESS = b"# the site's own\nAddDefaultCharset utf-8"
OWN_REDIRECTS = b"# the site's own\n/legacy /Old%20Dir/Inner%20Page.html 302\n"
# Pages by path, each with a text found only on it; links keep every page in use.
# The KEEP.HTM pages keep their names for DOS: only their directory's rule brings them.
PAGES = ["index.html", "My Page.html", "Café.html", 'Say "Hi".html', "Price $5 & more.html",
         "Old Dir/Inner Page.html", 'Old Dir/Say "Yo".html', "Old Dir/Sub/x.html",
         "Old Dir/Sub/KEEP.HTM", 'Quote "Dir"/Page One.html', 'Quote "Dir"/KEEP.HTM']
IMAGES = ["Old Dir/Photo One.png", "LOGO.PNG", "Banner.jpeg"]
# A 1x1 JPEG: --web-ext windows renames .jpeg to .jpg.
JPEG = base64.b64decode(
    "/9j/4AAQSkZJRgABAQEASABIAAD/2wBDAP////////////////////////////////////////////////////"
    "//////////////////////////////////wgALCAABAAEBAREA/8QAFBABAAAAAAAAAAAAAAAAAAAAAP/aAAgB"
    "AQABPxA=")
RUN = ["--rename", "--yes", "--no-external", "--no-unused"]


def check(ok, what):
    if not ok:
        failures.append(what)
    return ok


def marker(rel):
    return "page-marker-%d" % PAGES.index(rel)


def png():
    row = b"\x00\xff\x00\x00"
    chunk = lambda kind, data: (struct.pack(">I", len(data)) + kind + data +
                                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", 1, 1, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(row)) + chunk(b"IEND", b""))


def make_site(root):
    for rel in PAGES:
        path = os.path.join(root, rel)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        depth = rel.count("/")
        up = "../" * depth
        links = "".join('<a href="%s%s">%d</a>\n' % (up, html_attr(p), i)
                        for i, p in enumerate(PAGES) if p != rel)
        imgs = "".join('<img src="%s%s" alt="">\n' % (up, html_attr(p)) for p in IMAGES)
        with open(path, "w", encoding="utf-8") as f:
            f.write("<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>%s</title>"
                    "</head><body>\n<p>%s</p>\n%s%s</body></html>\n"
                    % (marker(rel), marker(rel), links, imgs))
    for rel in IMAGES:
        with open(os.path.join(root, rel), "wb") as f:
            f.write(JPEG if rel.endswith(".jpeg") else png())
    with open(os.path.join(root, ".htaccess"), "wb") as f:
        f.write(OWN_HTACCESS)
    with open(os.path.join(root, "_redirects"), "wb") as f:
        f.write(OWN_REDIRECTS)


def html_attr(rel):
    return urllib.parse.quote(rel, safe="/$&").replace("&", "&amp;")


def run_cli(args, work):
    env = dict(os.environ, XDG_STATE_HOME=os.path.join(work, "state"),
               XDG_CACHE_HOME=os.path.join(work, "cache"))
    r = subprocess.run([CLI] + args, env=env, stdin=subprocess.DEVNULL, capture_output=True,
                       timeout=60)
    return r.returncode, r.stdout.decode("utf-8", "surrogateescape"), \
        r.stderr.decode("utf-8", "surrogateescape")


def written_rules(report, title="REDIRECTS WRITTEN:"):
    """[(from, to)] of a report's redirects section; to is None for "(no page left: ...)"."""
    out, lines = [], harness.report_section(report, title)
    for i, line in enumerate(lines):
        if line.startswith("   -------->  "):
            continue
        nxt = lines[i + 1] if i + 1 < len(lines) else ""
        to = nxt[len("   -------->  "):] if nxt.startswith("   -------->  ") else None
        out.append((line, to))
    return out


class Expected:
    """The old and new URL paths of one renamed site, worked out from the names the report
    says were given and the original tree, not from the rules."""

    def __init__(self, original, report, copy, prefix, case_sensitive):
        self.rn = harness.Renames(harness.renames(report, copy))
        self.prefix = prefix
        self.moved, self.kept, self.dirs = [], [], []
        self.rules = []     # (old, new) of the entries renamed themselves; "/" after a directory
        for dirpath, dirnames, filenames in os.walk(original):
            for name in dirnames + filenames:
                rel = os.path.relpath(os.path.join(dirpath, name), original)
                new = self.rn.forward(rel)
                changed = new != rel if case_sensitive else new.lower() != rel.lower()
                if changed and os.path.basename(new) != name:
                    slash = "/" if name in dirnames else ""
                    self.rules.append((prefix + "/" + rel + slash, prefix + "/" + new + slash))
                if rel in (".htaccess", "_redirects"):
                    continue
                if name in dirnames:
                    if changed:
                        self.dirs.append((rel, new))
                elif changed:
                    self.moved.append((rel, new))
                else:
                    self.kept.append(rel)

    def url(self, rel):
        return self.prefix + "/" + urllib.parse.quote(rel, safe="/")


# ---------------------------------------------------------------------------------------------
# HTTP


def get(port, target):
    """(status, Location, Content-Type, body) of one request that follows no redirect; the
    status is the error's name when there was no answer."""
    conn = http.client.HTTPConnection("127.0.0.1", port, timeout=5)
    try:
        conn.request("GET", target)
        r = conn.getresponse()
        return r.status, r.getheader("Location"), r.getheader("Content-Type") or "", r.read()
    except (OSError, http.client.HTTPException) as e:
        return type(e).__name__, None, "", b""
    finally:
        conn.close()


def valid_location(loc):
    return all(0x21 <= ord(c) <= 0x7E and c not in '"<>\\^`{|}' for c in loc)


def check_redirect(server, port, old_target, want_path, new_bytes=None):
    """old_target must answer 301 with a Location whose path is want_path (decoded); the
    Location must answer 200 with new_bytes when given. Whether it held."""
    status, loc, _, body = get(port, old_target)
    what = "%s: GET %s" % (server, old_target)
    if not check(status == 301 and loc,
                 "%s answered %s (Location %r), wanted 301 to %s; body: %r"
                 % (what, status, loc, want_path, body[:300])):
        return False
    if not check(valid_location(loc), "%s: the Location %r is not a valid URI (wanted %s)"
                 % (what, loc, urllib.parse.quote(want_path))):
        return False
    parts = urllib.parse.urlsplit(loc)
    if not check(parts.netloc in ("", "127.0.0.1:%d" % port) and
                 urllib.parse.unquote(parts.path) == want_path,
                 "%s: Location %r, wanted the path %s" % (what, loc, want_path)):
        return False
    if new_bytes is None:
        return True
    target = parts.path + ("?" + parts.query if parts.query else "")
    status, loc2, _, body = get(port, target)
    return check(status == 200 and body == new_bytes,
                 "%s: its Location %s answered %s (Location %r)%s"
                 % (what, target, status, loc2, "" if status != 200 else " with other bytes"))


def check_server(server, port, exp, copy):
    """Every old URL of exp redirected by the server at port; unrenamed files served as are."""
    for old, new in exp.moved:
        with open(os.path.join(copy, new), "rb") as f:
            data = f.read()
        check_redirect(server, port, exp.url(old), exp.prefix + "/" + new, data)
    for old, new in exp.dirs:
        check_redirect(server, port, exp.url(old), exp.prefix + "/" + new)
        check_redirect(server, port, exp.url(old) + "/", exp.prefix + "/" + new + "/")
    for rel in exp.kept:
        status, loc, _, _ = get(port, exp.url(rel))
        check(status == 200, "%s: GET %s (not renamed) answered %s (Location %r)"
              % (server, exp.url(rel), status, loc))


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Daemon:
    """A server in the foreground of its own session, stopped by its process id."""

    def __init__(self, name, args, port, log):
        self.name, self.port, self.log = name, port, log
        self.out = open(log + ".out", "wb")
        self.proc = subprocess.Popen(args, stdout=self.out, stderr=self.out,
                                     stdin=subprocess.DEVNULL, start_new_session=True)
        deadline = time.time() + 10
        while True:
            try:
                socket.create_connection(("127.0.0.1", port), timeout=1).close()
                return
            except OSError:
                if self.proc.poll() is not None or time.time() > deadline:
                    self.stop()
                    raise RuntimeError("%s did not start: %s" % (name, self.logs()))
                time.sleep(0.05)

    def logs(self, limit=40):
        """The server's last messages, without the trace of requests that passed through."""
        lines = []
        for path in (self.log + ".out", self.log):
            if os.path.exists(path):
                with open(path, "rb") as f:
                    lines += f.read().decode("utf-8", "replace").splitlines()
        return "\n".join([l for l in lines if "pass through" not in l][-limit:])

    def stop(self):
        if self.proc.poll() is None:
            self.proc.send_signal(signal.SIGTERM)
            try:
                self.proc.wait(10)
            except subprocess.TimeoutExpired:
                os.killpg(self.proc.pid, signal.SIGKILL)
                self.proc.wait()
        self.out.close()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.stop()


APACHE_CONF = """ServerRoot "{tmp}"
ServerName 127.0.0.1
Listen 127.0.0.1:{port}
PidFile "{tmp}/apache.pid"
DefaultRuntimeDir "{tmp}"
ErrorLog "{tmp}/error.log"
LogLevel warn rewrite:trace2 alias:debug
User www-data
Group www-data
LoadModule mpm_event_module /usr/lib/apache2/modules/mod_mpm_event.so
LoadModule authz_core_module /usr/lib/apache2/modules/mod_authz_core.so
LoadModule alias_module /usr/lib/apache2/modules/mod_alias.so
LoadModule rewrite_module /usr/lib/apache2/modules/mod_rewrite.so
LoadModule dir_module /usr/lib/apache2/modules/mod_dir.so
LoadModule mime_module /usr/lib/apache2/modules/mod_mime.so
TypesConfig /etc/mime.types
DirectoryIndex index.html
DocumentRoot "{docroot}"
<Directory />
    AllowOverride None
    Require all denied
</Directory>
<Directory "{docroot}">
    Require all granted
</Directory>
<Directory "{site}">
    AllowOverride All
    Require all granted
</Directory>
{alias}
"""


def apache(tmp, site, port, mount=""):
    """Debian's apache2 serving site at mount ("" for the document root)."""
    os.makedirs(tmp, exist_ok=True)
    docroot = os.path.join(tmp, "root") if mount else site
    if mount:
        os.makedirs(docroot, exist_ok=True)
    conf = os.path.join(tmp, "apache2.conf")
    with open(conf, "w") as f:
        f.write(APACHE_CONF.format(tmp=tmp, port=port, site=site, docroot=docroot,
                                   alias='Alias %s "%s"' % (mount, site) if mount else ""))
    return Daemon("apache2", [APACHE2, "-f", conf, "-DFOREGROUND"], port,
                  os.path.join(tmp, "error.log"))


NGINX_CONF = """worker_processes 1;
pid {tmp}/nginx.pid;
error_log {tmp}/error.log notice;
user www-data;
events {{ worker_connections 64; }}
http {{
    include /etc/nginx/mime.types;
    access_log off;
    rewrite_log on;
    client_body_temp_path {tmp}/body;
    proxy_temp_path {tmp}/proxy;
    fastcgi_temp_path {tmp}/fastcgi;
    uwsgi_temp_path {tmp}/uwsgi;
    scgi_temp_path {tmp}/scgi;
    server {{
        listen 127.0.0.1:{port};
        server_name localhost;
        root "{site}";
        include "{site}/tessary-redirects.conf";
    }}
}}
"""


def nginx(tmp, site, port):
    os.makedirs(tmp, exist_ok=True)
    conf = os.path.join(tmp, "nginx.conf")
    with open(conf, "w") as f:
        f.write(NGINX_CONF.format(tmp=tmp, port=port, site=site))
    return Daemon("nginx", [NGINX, "-c", conf, "-p", tmp, "-e", os.path.join(tmp, "error.log"),
                            "-g", "daemon off;"], port, os.path.join(tmp, "error.log"))


# ---------------------------------------------------------------------------------------------
# Netlify's _redirects, as its documentation describes the lines


class NetlifyRules:
    """The rules of a _redirects file: "FROM TO [STATUS[!]]", "#" comments, "*" at the end
    of FROM caught as :splat, ":name" placeholders; the first rule that matches wins, and a
    rule without "!" yields to a file that exists at the path."""

    def __init__(self, text):
        self.rules, self.errors = [], []
        for n, line in enumerate(text.split("\n"), 1):
            line = line.strip()
            if not line or line.startswith("#"):
                continue
            words = line.split()
            status, force = 301, False
            if len(words) == 3 and words[2].rstrip("!").isdigit():
                status, force = int(words[2].rstrip("!")), words[2].endswith("!")
            elif len(words) != 2:
                words = []
            if not words or not words[0].startswith("/") or \
                    not (words[1].startswith("/") or "://" in words[1]):
                self.errors.append("line %d: %r is not FROM TO [STATUS]" % (n, line))
                continue
            if "*" in words[0][:-1]:
                self.errors.append("line %d: a '*' before the end of %r" % (n, words[0]))
            self.rules.append((words[0], words[1], status, force))

    @staticmethod
    def _match(pattern, path):
        """The placeholders of pattern in path (both decoded segment by segment), or None."""
        pat, segs = pattern.split("/"), path.split("/")
        values = {}
        for i, p in enumerate(pat):
            if p == "*" and i == len(pat) - 1:
                values["splat"] = "/".join(segs[i:])
                return values
            if i >= len(segs):
                return None
            if p.startswith(":"):
                values[p[1:]] = segs[i]
            elif urllib.parse.unquote(p) != urllib.parse.unquote(segs[i]):
                return None
        return values if len(segs) == len(pat) else None

    def resolve(self, path, exists):
        """(status, target) of the first rule for the request path, or None."""
        for frm, to, status, force in self.rules:
            values = self._match(frm, path)
            if values is None or (exists(path) and not force):
                continue
            for name, value in sorted(values.items(), key=lambda kv: -len(kv[0])):
                to = to.replace(":" + name, value)
            return status, to
        return None


def check_netlify(label, exp, copy):
    with open(os.path.join(copy, "_redirects"), "rb") as f:
        text = f.read().decode("utf-8", "replace")
    rules = NetlifyRules(text)
    for e in rules.errors:
        check(False, "%s: _redirects %s" % (label, e))
    check(OWN_REDIRECTS.decode() in text,
          "%s: the site's own lines are no longer in _redirects, the only file Netlify reads; "
          "now it holds:\n%s" % (label, text))
    exists = lambda p: os.path.isfile(os.path.join(copy, urllib.parse.unquote(p).lstrip("/")))
    cases = [(exp.url(o), "/" + n) for o, n in exp.moved]
    cases += [(exp.url(o) + suffix, "/" + n + suffix) for o, n in exp.dirs for suffix in ("", "/")]
    for old, want in cases:
        got = rules.resolve(old, exists)
        if not check(got is not None and got[0] == 301,
                     "%s: no 301 rule for %s (got %r), wanted one to %s"
                     % (label, old, got, want)):
            continue
        check(urllib.parse.unquote(got[1]) == want and valid_location(got[1]),
              "%s: %s goes to %r, wanted %s" % (label, old, got[1], want))
        check(os.path.exists(os.path.join(copy, want.lstrip("/"))),
              "%s: %s goes to %s, which is not on disk" % (label, old, want))
    for rel in exp.kept:
        check(rules.resolve(exp.url(rel), exists) is None,
              "%s: %s (not renamed) is redirected" % (label, rel))
    # The site's own rule still leads to the page it named, through the new rules if need be.
    path, hops = "/legacy", []
    while len(hops) < 3 and not exists(path):
        hop = rules.resolve(path, exists)
        if hop is None:
            break
        hops.append(hop)
        path = urllib.parse.urlsplit(hop[1]).path
    check(exists(path), "%s: the site's own /legacy rule no longer leads to a page: %r"
          % (label, hops))


# ---------------------------------------------------------------------------------------------
# Stubs in a browser


class StubLinks(html.parser.HTMLParser):
    def __init__(self):
        super().__init__()
        self.refresh = self.canonical = None
        self.links = []

    def handle_starttag(self, tag, attrs):
        a = dict(attrs)
        if tag == "meta" and (a.get("http-equiv") or "").lower() == "refresh":
            self.refresh = a.get("content")
        elif tag == "link" and a.get("rel") == "canonical":
            self.canonical = a.get("href")
        elif tag == "a":
            self.links.append(a.get("href"))


def land(browser, url, want, timeout=5.0):
    """Loads url; (location, readyState, body text) once it is want and complete, or as it
    is when the time is up."""
    browser.call("Page.navigate", {"url": url})
    deadline = time.time() + timeout
    info = {}
    while time.time() < deadline:
        try:
            info = browser.evaluate("({href: location.href, state: document.readyState, "
                                    "text: document.body ? document.body.innerText : ''})") or {}
        except RuntimeError:
            info = {}       # the page went away while it was asked
        if info.get("href") == want and info.get("state") == "complete":
            break
        browser.pump(lambda: False, 0.05)
    return info.get("href"), info.get("state"), info.get("text", "")


def check_stubs(browser, work, original):
    """Windows Web extensions with no other renaming: .html pages become .htm, and a page is
    left at each old name, which Chromium follows to the new page."""
    copy, before, exp, report = renamed_copy("stubs", "stubs", original, work,
                                             ["--target", "none", "--web-ext", "windows"],
                                             case_sensitive=True)
    pages = [(o, n) for o, n in exp.moved if o.endswith(".html")]
    check(len(pages) == sum(p.endswith(".html") for p in PAGES) and not exp.dirs,
          "stubs: the run renamed %r, wanted every .html page to .htm" % exp.moved)
    check(sorted(written_rules(report)) == sorted(("/" + o, "/" + n) for o, n in pages),
          "stubs: REDIRECTS WRITTEN lists %r, wanted the pages only" % written_rules(report))
    for old, new in exp.moved:
        if (old, new) not in pages:
            check(not os.path.exists(os.path.join(copy, old)),
                  "stubs: an HTML page was left at %s, which is not a page (renamed %s): an "
                  "<img> or download that asks for it now gets HTML" % (old, new))
    with harness.StaticServer(copy) as server:
        for old, new in pages:
            stub = os.path.join(copy, old)
            if not check(os.path.isfile(stub), "stubs: no page left at %s" % old):
                continue
            parser = StubLinks()
            with open(stub, encoding="utf-8") as f:
                parser.feed(f.read())
            old_url = server.root_url + urllib.parse.quote(old)
            new_url = server.root_url + urllib.parse.quote(new)
            resolve = lambda href: href and urllib.parse.urljoin(old_url, href)
            check(resolve(parser.canonical) == new_url and
                  [resolve(h) for h in parser.links] == [new_url],
                  "stubs: %s names %r (canonical) and %r (links), wanted %s"
                  % (old, parser.canonical, parser.links, new_url))
            href, state, text = land(browser, old_url, new_url)
            check(href == new_url and state == "complete" and marker(old) in text,
                  "stubs: Chromium loading %s ended at %s (%s) showing %r, wanted %s"
                  % (old_url, href, state, text[:200], new_url))
    undo_and_compare("stubs", copy, before, work)


# ---------------------------------------------------------------------------------------------
# The runs


def undo_and_compare(label, copy, before, work, written=True):
    rc, out, err = run_cli(["--undo", copy, "--yes"], work)
    check(rc == 0, "%s: undo exited %d: %s" % (label, rc, err))
    check(not written or harness.report_section(out, "REDIRECTS REMOVED:") != [],
          "%s: undo's report has no REDIRECTS REMOVED section:\n%s" % (label, out[-1500:]))
    for d in harness.tree_differences(before, harness.snapshot(copy)):
        check(False, "%s: undo: %s" % (label, d))


def renamed_copy(label, form, original, work, extra, prefix="", case_sensitive=False):
    """A copy of the site renamed with --redirects form: (copy, snapshot before, Expected,
    report)."""
    copy = os.path.join(work, label.replace(" ", "-").replace("/", ""))
    shutil.copytree(original, copy)
    before = harness.snapshot(copy)
    rc, out, err = run_cli([copy, "--redirects", form] + extra + RUN +
                           ["--report", copy + ".report"], work)
    check(rc in (0, 1), "%s: tessary-cli exited %d: %s" % (label, rc, err))
    with open(copy + ".report", encoding="utf-8", errors="surrogateescape") as f:
        report = f.read()
    exp = Expected(original, report, copy, prefix, case_sensitive)
    if form != "stubs":
        # The report lists a rule for each entry renamed, as the server will read it.
        listed = sorted(written_rules(report))
        want = sorted(exp.rules) or [("No redirects were written.", None)]
        check(listed == want, "%s: REDIRECTS WRITTEN lists\n  %r\nwanted\n  %r"
              % (label, listed, want))
    return copy, before, exp, report


def check_own_htaccess(label, port, exp, copy):
    with open(os.path.join(copy, ".htaccess"), "rb") as f:
        text = f.read()
    check(text.startswith(OWN_HTACCESS + b"\n# BEGIN Tessary redirects "),
          "%s: .htaccess does not keep its own lines with the block on a line of its own:\n%r"
          % (label, text[:200]))
    page = exp.url(exp.rn.forward("My Page.html"))
    status, _, ctype, _ = get(port, page)
    check(status == 200 and "charset=utf-8" in ctype.lower(),
          "%s: the site's own AddDefaultCharset no longer applies: GET %s gave %s %r"
          % (label, page, status, ctype))


def serve_and_check(label, start_server, exp, copy, rules_file):
    """Starts a server, checks every old URL against it, and shows the rules and the server's
    log when something failed."""
    errors_before = len(failures)
    server = None
    for attempt in range(3):
        port = free_port()
        try:
            server = start_server(port)
            break
        except RuntimeError as e:
            # Another program may have taken the free port before the server bound it.
            if attempt == 2 or "Address already in use" not in str(e):
                check(False, "%s: %s" % (label, e))
                break
    if server:
        with server:
            check_server(label, port, exp, copy)
            if label.startswith("apache"):
                check_own_htaccess(label, port, exp, copy)
    if len(failures) > errors_before:
        with open(os.path.join(copy, rules_file), encoding="utf-8", errors="replace") as f:
            rules = f.read()
        print("--- %s: %s\n%s--- %s's log:\n%s" % (label, rules_file, rules, label,
                                                 server.logs() if server else ""))


def apache_runs(original, work):
    """DOS and NTFS renames at the document root, and DOS under an Alias at /docs."""
    for label, target, mount in (("apache dos", "dos", ""), ("apache ntfs", "ntfs", ""),
                                 ("apache dos under /docs", "dos", "/docs")):
        extra = ["--target", target]
        if mount:
            extra += ["--site-url", "http://127.0.0.1%s/" % mount]
        copy, before, exp, _ = renamed_copy(label, "apache", original, work, extra,
                                            prefix=mount)
        tmp = os.path.join(work, "server-" + os.path.basename(copy))
        serve_and_check(label, lambda port: apache(tmp, copy, port, mount), exp, copy,
                        ".htaccess")
        undo_and_compare(label, copy, before, work)


def case_only_run(original, work):
    """--target upper changes only case: no rule for a server that ignores case; with
    --case-sensitive-server, Apache sends each old path on."""
    copy, before, exp, report = renamed_copy("upper", "apache", original, work,
                                             ["--target", "upper"])
    check(exp.moved == [] and exp.dirs == [] and exp.rn.table,
          "upper: the renames were not case-only: %r" % exp.rn.table)
    with open(os.path.join(copy, ".htaccess"), "rb") as f:
        check(f.read() == OWN_HTACCESS, "upper: .htaccess changed with no rule to add")
    undo_and_compare("upper", copy, before, work, written=False)

    label = "apache upper --case-sensitive-server"
    copy, before, exp, _ = renamed_copy(label, "apache", original, work,
                                        ["--target", "upper", "--case-sensitive-server"],
                                        case_sensitive=True)
    check(len(exp.moved) >= len(PAGES) and exp.dirs,
          "%s: the case-only renames were not all made: %r %r" % (label, exp.moved, exp.dirs))
    tmp = os.path.join(work, "server-upper")
    serve_and_check(label, lambda port: apache(tmp, copy, port), exp, copy, ".htaccess")
    undo_and_compare(label, copy, before, work)


def nginx_runs(original, work):
    for target in ("dos", "ntfs"):
        label = "nginx " + target
        copy, before, exp, _ = renamed_copy(label, "nginx", original, work, ["--target", target])
        if check(os.path.isfile(os.path.join(copy, "tessary-redirects.conf")),
                 "%s: no tessary-redirects.conf written" % label):
            tmp = os.path.join(work, "server-" + os.path.basename(copy))
            serve_and_check(label, lambda port: nginx(tmp, copy, port), exp, copy,
                            "tessary-redirects.conf")
        undo_and_compare(label, copy, before, work)


def netlify_runs(original, work):
    for target in ("dos", "ntfs"):
        label = "netlify " + target
        copy, before, exp, _ = renamed_copy(label, "netlify", original, work,
                                            ["--target", target])
        check_netlify(label, exp, copy)
        undo_and_compare(label, copy, before, work)


def dos_stubs_run(original, work):
    """DOS cannot hold the old names: no page is left, and the report says why for each."""
    copy, before, exp, report = renamed_copy("dos stubs", "stubs", original, work,
                                             ["--target", "dos"])
    made = set(harness.snapshot(copy)) - {exp.rn.forward(p) for p in before}
    check(not made, "dos stubs: files made where DOS cannot hold the name: %r" % sorted(made))
    lines = harness.report_section(report, "REDIRECTS WRITTEN:")
    why = {l for l, n in zip(lines, lines[1:] + [""]) if n.startswith("   (no page left: ")}
    pages = {"/" + p for p in PAGES if os.path.basename(exp.rn.forward(p)) != os.path.basename(p)}
    check(pages <= why, "dos stubs: the report does not say why no page was left at %r"
          % sorted(pages - why))
    undo_and_compare("dos stubs", copy, before, work, written=False)


def find_tool(name):
    return shutil.which(name) or next((p for p in ("/usr/sbin/" + name,) if os.access(p, os.X_OK)),
                                      None)


APACHE2 = find_tool("apache2")
NGINX = find_tool("nginx")


def main():
    missing = [n for n, ok in (("apache2", APACHE2), ("nginx", NGINX),
                               ("chromium", harness.find_chromium()),
                               ("python3-websocket", harness.need_websocket())) if not ok]
    if missing:
        print("redirect servers: skipped, missing %s (scripts/setup installs them)"
              % ", ".join(missing))
        return harness.SKIP
    start = time.time()
    os.umask(0o022)
    work = tempfile.mkdtemp(prefix="redirect_servers_")
    os.chmod(work, 0o755)    # the servers' workers run as www-data
    browser = None
    try:
        original = os.path.join(work, "original")
        make_site(original)
        apache_runs(original, work)
        case_only_run(original, work)
        nginx_runs(original, work)
        netlify_runs(original, work)
        dos_stubs_run(original, work)
        browser = harness.Browser(work)
        check_stubs(browser, work, original)
    finally:
        if browser:
            browser.close()
        if KEEP:
            print("kept", work)
        else:
            shutil.rmtree(work, ignore_errors=True)
    for f in failures:
        print("FAIL", f)
    print("redirect servers: %s in %.1f s" % ("ok" if not failures else
                                               "%d failures" % len(failures), time.time() - start))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
