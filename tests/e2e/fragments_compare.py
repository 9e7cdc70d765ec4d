#!/usr/bin/env python3
"""Compares tessary-cli --check-fragments with an independent check written with Python's
html.parser: both walk a site from its home page and list the local links whose #fragment
names no id (nor an "a" element's name) on the page it leads to.

  fragments_compare.py TESSARY_CLI SITE_DIR HOME_PAGE [--expect-same]

Prints the findings of each side that the other lacks. With --expect-same the exit status
is 1 when they differ, and 77 (skipped) when the site is not installed."""
import html.parser
import json
import os
import subprocess
import sys
import tempfile
import urllib.parse

PAGE_EXTS = (".html", ".htm")
LINK_ATTRS = {"href", "src"}


class Page(html.parser.HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.anchors = set()
        self.links = []  # (line, url)

    def handle_starttag(self, tag, attrs):
        for name, value in attrs:
            if value is None:
                continue
            if name == "id" or (name == "name" and tag == "a"):
                self.anchors.add(value)
            if name in LINK_ATTRS and tag != "base":
                self.links.append((self.getpos()[0], value.strip()))

    handle_startendtag = handle_starttag


def parse(path):
    page = Page()
    with open(path, "rb") as f:
        page.feed(f.read().decode("utf-8", "surrogateescape"))
    page.close()
    return page


def local_target(site, page_path, url):
    """The file a local link leads to, or None for links that leave the site."""
    parts = urllib.parse.urlsplit(url)
    if parts.scheme or parts.netloc:
        return None
    if not parts.path:
        return page_path
    path = urllib.parse.unquote(parts.path, errors="surrogateescape")
    base = site if path.startswith("/") else os.path.dirname(page_path)
    target = os.path.normpath(os.path.join(base, path.lstrip("/")))
    if os.path.isdir(target):
        for index in ("index.html", "index.htm", "default.htm"):
            if os.path.isfile(os.path.join(target, index)):
                return os.path.join(target, index)
        return None
    return target if os.path.isfile(target) else None


def offers(anchors, fragment):
    decoded = urllib.parse.unquote(fragment, errors="surrogateescape")
    return (not fragment or fragment.startswith(":~:") or fragment in anchors
            or decoded in anchors or decoded.lower() == "top")


def independent(site, home):
    """Broken fragments found by walking the site from home: {(page, line, url)}."""
    pages, todo, seen = {}, [home], {home}
    while todo:
        path = todo.pop()
        pages[path] = parse(path)
        for _, url in pages[path].links:
            target = local_target(site, path, url)
            if target and target.endswith(PAGE_EXTS) and target not in seen:
                seen.add(target)
                todo.append(target)
    broken = set()
    for path, page in pages.items():
        for line, url in page.links:
            if "#" not in url:
                continue
            target = local_target(site, path, url)
            if target in pages and not offers(pages[target].anchors, url.split("#", 1)[1]):
                broken.add((os.path.relpath(path, site), line, url))
    return broken, len(pages)


def tessary(cli, site, home):
    with tempfile.TemporaryDirectory() as state:
        env = dict(os.environ, XDG_STATE_HOME=state)
        r = subprocess.run([cli, "--check-fragments", "--format", "json", "--home", home, site],
                           env=env, capture_output=True, timeout=600)
    doc = json.loads(r.stdout)
    return {(f["file"], f["line"], f["link"]) for f in doc["findings"]
            if f["kind"] == "broken-fragment"}, doc["counts"]["checked-pages"]


def main():
    cli, site, home = sys.argv[1], os.path.realpath(sys.argv[2]), sys.argv[3]
    expect_same = "--expect-same" in sys.argv
    home = os.path.join(site, home)
    if not os.path.isfile(home):
        print(f"skipped: {home} is not installed")
        sys.exit(77)
    ours, our_pages = tessary(cli, site, home)
    theirs, their_pages = independent(site, home)
    print(f"{site}: tessary {len(ours)} broken fragments on {our_pages} pages, "
          f"html.parser {len(theirs)} on {their_pages} pages")
    for label, only in (("only tessary", ours - theirs), ("only html.parser", theirs - ours)):
        for finding in sorted(only)[:40]:
            print(f"  {label}: {finding}")
        if len(only) > 40:
            print(f"  {label}: ... {len(only) - 40} more")
    if expect_same and ours != theirs:
        sys.exit(1)


if __name__ == "__main__":
    main()
