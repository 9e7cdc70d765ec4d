#!/usr/bin/env python3
"""A site whose links work only on a case-insensitive server is renamed for DOS with Windows
Web extensions and link updating, then served by a case-sensitive static server on
127.0.0.1: every local link of every reachable page must answer 200, except the links that
were broken before the run (they all name "missing")."""
import html.parser
import http.server
import os
import shutil
import subprocess
import sys
import tempfile
import threading
import urllib.error
import urllib.parse
import urllib.request

PAGES = {
    "index.html": '<html><body><a href="About Us.HTML">about</a> <a href="Docs/Guide.html">guide</a>\n'
                  '<img src="Images/Photo One.JPEG"> <a href="missing.html">gone</a>\n'
                  '<a href="/Docs/Deep Dir/Page.html#top">deep</a> <link href="Style.css?v=2" rel="stylesheet">\n'
                  '<script src="js/App.JS"></script></body></html>\n',
    "About Us.html": '<a href="INDEX.HTML">home</a> <img src="images/photo one.jpeg">\n',
    "Docs/guide.html": '<a href="../About%20Us.html">about</a> <a href="Deep Dir/PAGE.HTML">deep</a>\n'
                       '<a href="../missing/x.html">gone too</a>\n',
    "Docs/Deep Dir/Page.html": '<a href="../../index.html">home</a> <img src="../../Images/Photo One.jpeg">\n'
                               '<a href="/docs/guide.HTML">guide</a>\n',
    "style.css": "p {}\n",
    "JS/app.js": "go();\n",
}
BINARY = {"Images/Photo One.jpeg": b"\xff\xd8\xff\xe0\x00\x10JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00\xff\xd9"}


class LinkParser(html.parser.HTMLParser):
    def __init__(self):
        super().__init__()
        self.links = []

    def handle_starttag(self, tag, attrs):
        for name, value in attrs:
            if name in ("href", "src") and value:
                self.links.append(value)


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


def main():
    cli = sys.argv[1]
    work = tempfile.mkdtemp(prefix="tessary_serve_")
    # Journals of the runs stay in the work folder, never in the user's state directory.
    os.environ["XDG_STATE_HOME"] = os.path.join(work, "state")
    site = os.path.join(work, "site")
    try:
        for rel, text in PAGES.items():
            path = os.path.join(site, rel)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "w") as f:
                f.write(text)
        for rel, data in BINARY.items():
            path = os.path.join(site, rel)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "wb") as f:
                f.write(data)
        run = subprocess.run([cli, "--target", "dos", "--web-ext", "windows", "--rename", "--yes",
                              "--no-external", site], capture_output=True, text=True)
        if run.returncode not in (0, 1):
            print("tessary-cli failed:", run.returncode, run.stderr)
            return 1
        if not os.path.exists(os.path.join(site, "INDEX.HTM")):
            print("the home page was not renamed:", sorted(os.listdir(site)))
            return 1

        handler = lambda *a, **k: QuietHandler(*a, directory=site, **k)
        server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
        threading.Thread(target=server.serve_forever, daemon=True).start()
        root = "http://127.0.0.1:%d/" % server.server_address[1]

        failures, checked, seen, queue = [], 0, set(), [root + "INDEX.HTM"]
        while queue:
            page = queue.pop()
            if page in seen:
                continue
            seen.add(page)
            with urllib.request.urlopen(page) as r:
                body = r.read().decode("utf-8", "replace")
            parser = LinkParser()
            parser.feed(body)
            for link in parser.links:
                url = urllib.parse.urljoin(page, link)
                url = urllib.parse.urldefrag(url)[0].split("?")[0]
                checked += 1
                try:
                    with urllib.request.urlopen(url) as r:
                        status = r.status
                except urllib.error.HTTPError as e:
                    status = e.code
                if status != 200 and "missing" not in link:
                    failures.append("%s: %s -> %d" % (page, link, status))
                if status == 200 and url.upper().endswith(".HTM"):
                    queue.append(url)
        server.shutdown()
        if failures or checked < 15:
            print("checked %d links; failures:\n%s" % (checked, "\n".join(failures)))
            print(run.stdout)
            return 1
        print("checked %d links in %d pages: all answer 200 but the ones broken before" %
              (checked, len(seen)))
        return 0
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
