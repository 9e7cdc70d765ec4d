#!/usr/bin/env python3
"""Checks the findings gen_site.py wrote against the site it wrote.

    bench/check_truth.py SITEDIR        # reads SITEDIR.truth.json

The findings are derived a second time, independently of gen_site.py: from the files on disk,
with the program's rules for links (see gen_site.py). Run it after changing gen_site.py; it
prints which parts agree and exits with 1 when one does not.
"""

import json
import os
import re
import sys

# A URL attribute of the tags the generator writes; one tag never spans lines there.
TAG = re.compile(r'<(a|img|link|script)\s[^>]*?(href|src)="([^"]*)"', re.IGNORECASE)
HTML = (".html", ".htm")


def decode(url):
    """%XX escapes, taken from the right: a "%" that %25 produces is not decoded again. The
    digits are read like strtol reads base 16 (it stops at the first other character)."""
    data = bytearray(url.encode())
    for i in reversed([i for i, b in enumerate(data) if b == ord("%")]):
        digits = bytes(data[i + 1:i + 3])
        code = 0
        for d in digits.decode("latin-1"):
            if d not in "0123456789abcdefABCDEF":
                break
            code = code * 16 + int(d, 16)
        data[i:i + 1 + len(digits)] = bytes([code & 0xFF])
    data = bytes(data).split(b"\0")[0]  # a code of 0 ends the URL
    return data.decode("utf-8", "surrogateescape")


class Site:
    def __init__(self, root):
        self.root = root
        self.files = {}  # upper-cased relative path -> relative path
        self.dirs = 0
        for top, dirs, files in os.walk(root):
            rel = os.path.relpath(top, root)
            rel = "" if rel == "." else rel + "/"
            self.dirs += len(dirs)
            for name in files:
                self.files[(rel + name).upper()] = rel + name

    def links(self, page):
        """(line, "external", url) and (line, "local", target or None, url) in file order."""
        with open(os.path.join(self.root, page), "rb") as f:
            lines = re.split(r"\r\n|\r|\n", f.read().decode("utf-8"))
        found = []
        for number, line in enumerate(lines, 1):
            for m in TAG.finditer(line):
                value = m.group(3).split("#")[0]
                if not value:
                    continue
                url = decode(value)
                if "//" in url:
                    found.append((number, "external", "http:" + url if url.startswith("//") else url))
                    continue
                if url.lower().startswith("mailto:"):
                    found.append((number, "external", url))
                    continue
                path = url.split("?")[0]
                if path.startswith("/"):
                    path = path[1:]
                else:
                    base = page.split("/")[:-1]
                    while path.startswith("../"):
                        path, base = path[3:], base[:-1]
                    path = "/".join(base + [path])
                found.append((number, "local", self.files.get(path.upper()), url))
        return found


def derive(site):
    order, seen, used = ["index.html"], {"index.html"}, {"index.html"}
    stack = [("index.html", site.links("index.html"), 0)]
    while stack:
        page, links, k = stack.pop()
        while k < len(links):
            link = links[k]
            k += 1
            if link[1] != "local" or link[2] is None:
                continue
            target = link[2]
            used.add(target)
            if target.lower().endswith(HTML) and target not in seen:
                seen.add(target)
                order.append(target)
                stack.append((page, links, k))
                stack.append((target, site.links(target), 0))
                break
    broken, external = {}, {}
    for page in order:
        for link in site.links(page):
            if link[1] == "local" and link[2] is None:
                broken.setdefault(page, []).append({"line": link[0], "url": link[3]})
            elif link[1] == "external":
                external.setdefault(page, []).append({"line": link[0], "url": link[2]})
    unused = sorted((f for f in site.files.values() if f not in used),
                    key=lambda p: [c.lower() for c in p.split("/")])
    return {"counts": {"files": len(site.files), "directories": site.dirs},
            "walk_order": order, "broken_links": broken, "external_urls": external,
            "unused_files": unused}


def main():
    if len(sys.argv) != 2:
        raise SystemExit(__doc__)
    root = os.path.normpath(sys.argv[1])
    with open(root + ".truth.json", encoding="utf-8") as f:
        truth = json.load(f)
    derived = derive(Site(root))
    ok = True
    for key, value in derived.items():
        same = truth.get(key) == value
        ok &= same
        print(f"{key}: {'agrees' if same else 'DIFFERS'}")
    sys.exit(0 if ok else 1)


if __name__ == "__main__":
    main()
