#!/usr/bin/env python3
"""Checks the findings gen_site.py wrote against the site it wrote.

    bench/check_truth.py SITEDIR        # reads SITEDIR.truth.json

The findings are derived a second time, independently of gen_site.py: from the files on disk,
read the way a browser reads them (see the rules in gen_site.py's docstring): tags, comments and
raw-text elements of each page, every URL attribute in any quote style, srcset candidates, meta
refresh, url() and @import in style attributes, style elements and style sheets; directory
links lead to index pages, and style sheets are walked like pages. Run it after changing
gen_site.py; it prints which parts agree and exits with 1 when one does not.
"""

import bisect
import json
import os
import re
import sys

WALKED = (".html", ".htm", ".css")
INDEX_PAGES = ("index.html", "index.htm", "default.htm")
NAMES_NOTHING = {"javascript", "vbscript", "data", "about", "blob"}
SPACE = " \t\n\f\r"

# The URL attributes of each tag: "url" is the whole value, "srcset" a candidate list, "refresh"
# the url= of a meta refresh's content.
URL_ATTRIBUTES = {
    "a": {"href": "url"}, "area": {"href": "url"}, "base": {"href": "base"},
    "link": {"href": "url", "imagesrcset": "srcset"}, "style": {"href": "url"},
    "img": {"src": "url", "srcset": "srcset", "usemap": "url", "lowsrc": "url", "dynsrc": "url"},
    "source": {"src": "url", "srcset": "srcset"}, "script": {"src": "url"},
    "iframe": {"src": "url"}, "frame": {"src": "url"}, "embed": {"src": "url"},
    "bgsound": {"src": "url"}, "input": {"src": "url", "formaction": "url"},
    "button": {"formaction": "url"}, "form": {"action": "url"},
    "video": {"src": "url", "poster": "url"}, "audio": {"src": "url"}, "track": {"src": "url"},
    "object": {"data": "url", "codebase": "url"}, "applet": {"codebase": "url"},
    "body": {"background": "url"}, "table": {"background": "url"}, "td": {"background": "url"},
    "th": {"background": "url"}, "blockquote": {"cite": "url"}, "q": {"cite": "url"},
    "ins": {"cite": "url"}, "del": {"cite": "url"}, "meta": {"content": "refresh"},
    "image": {"href": "url", "xlink:href": "url"}, "use": {"href": "url", "xlink:href": "url"},
}
RAW_TEXT = ("script", "style", "xmp", "iframe", "noembed", "noframes", "textarea", "title")

START_TAG = re.compile(r"<([A-Za-z][^\s/>]*)((?:[^>\"']|\"[^\"]*\"|'[^']*')*)>")
ATTRIBUTE = re.compile(r"([^\s\"'>/=]+)(?:\s*=\s*(?:\"([^\"]*)\"|'([^']*)'|([^\s>]+)))?")
CSS = re.compile(r"""/\*.*?(?:\*/|\Z)
                   |"(?:\\.|[^"\\\n])*"?|'(?:\\.|[^'\\\n])*'?
                   |(?<![\w@-])url\(\s*(?:"([^"\n]*)"|'([^'\n]*)'|([^\s"'()]+))\s*\)
                   |@import\s*(?:"([^"\n]*)"|'([^'\n]*)')""", re.S | re.I | re.X)
CHAR_REF = re.compile(r"&(?:#[xX]([0-9a-fA-F]+);?|#([0-9]+);?|(amp|quot|apos|lt|gt);)")
NAMED_REFS = {"amp": "&", "quot": '"', "apos": "'", "lt": "<", "gt": ">"}
REFRESH = re.compile(r"{0}*[0-9.]*{0}*[;,]?{0}*(?:[uU][rR][lL]{0}*={0}*)?".format("[ \t\n\f\r]"))
SCHEME = re.compile(r"[A-Za-z][A-Za-z0-9+.-]*:")


def char_refs(value):
    def one(m):
        if m.group(3):
            return NAMED_REFS[m.group(3)]
        code = int(m.group(1), 16) if m.group(1) else int(m.group(2))
        return chr(code) if 0 < code <= 0x10FFFF and not 0xD800 <= code <= 0xDFFF else "\ufffd"
    return CHAR_REF.sub(one, value)


def hex_value(digits):
    """The two digits after a "%", read as strtol reads base 16: blanks, a sign, hex digits."""
    text = digits.decode("latin-1").lstrip(" \t\n\v\f\r")
    sign = -1 if text.startswith("-") else 1
    text = text[1:] if text[:1] in ("-", "+") else text
    value = 0
    for d in text:
        if d not in "0123456789abcdefABCDEF":
            break
        value = value * 16 + int(d, 16)
    return sign * value


def decode(url):
    """%XX escapes after CR and LF are dropped, right to left, so that the "%" that %25 gives is
    not decoded again; an escape that gives 0 ends the URL."""
    data = bytearray(url.replace("\r", "").replace("\n", "").encode("utf-8", "surrogateescape"))
    end = len(data)
    while end > 0:
        pct = data.rfind(b"%", 0, end)
        if pct < 0:
            break
        digits = bytes(data[pct + 1:pct + 3])
        code = hex_value(digits) & 0xFF
        if code == 0:
            del data[pct:]
        else:
            data[pct:pct + 1 + len(digits)] = bytes([code])
        end = pct
    return data.decode("utf-8", "surrogateescape")


def upper(path):
    """Upper case for ASCII letters only, as names are compared."""
    return "".join(c.upper() if c.isascii() else c for c in path)


def srcset_urls(value):
    """(offset, URL) of each image candidate of a srcset list."""
    out, i = [], 0
    while True:
        while i < len(value) and (value[i] in SPACE or value[i] == ","):
            i += 1
        if i >= len(value):
            return out
        begin = i
        while i < len(value) and value[i] not in SPACE:
            i += 1
        url = value[begin:i]
        if url.endswith(","):
            url = url.rstrip(",")
        else:  # descriptors, up to a comma outside parentheses
            depth = False
            while i < len(value) and not (value[i] == "," and not depth):
                depth = {"(": True, ")": False}.get(value[i], depth)
                i += 1
        if url:
            out.append((begin, url))


def refresh_url(content):
    """The offset and URL of a meta refresh's content ("5; url=next.htm")."""
    m = REFRESH.match(content)
    rest = content[m.end():]
    if rest[:1] in ("'", '"'):
        close = rest.find(rest[0], 1)
        rest = rest[1:close] if close > 0 else rest[1:]
    return m.end(), rest.rstrip(SPACE)


class Site:
    def __init__(self, root):
        self.root = root
        self.files = {}  # upper-cased relative path -> relative path
        self.dirs = {"": ("", [])}  # upper-cased relative path -> (path, names of its files)
        for top, dirs, files in os.walk(root):
            rel = os.path.relpath(top, root)
            rel = "" if rel == "." else rel + "/"
            for d in dirs:
                self.dirs[upper(rel + d)] = (rel + d, [])
            for name in files:
                if self.own_file(name, rel == ""):
                    continue
                self.files[upper(rel + name)] = rel + name
                self.dirs[upper(rel.rstrip("/"))][1].append(name)
        self.cache = {}

    @staticmethod
    def own_file(name, top):
        """The program's own files are not site files: logs anywhere, reports at the top."""
        if name == "RENAME.LOG" or name.startswith(".ts_"):
            return True
        return top and (name in ("report_of_external_refs.htm", "REPORT.TSY", "STATUS.TSY",
                                 "ERROR.TSY") or re.fullmatch(r"REPORT_[1-9][0-9]*\.TSY", name))

    def index_page(self, key):
        d, names = self.dirs[key]
        for wanted in INDEX_PAGES:
            for name in names:
                if name.lower() == wanted:
                    return f"{d}/{name}" if d else name
        return None

    def resolve(self, page, path):
        """The file a local link's path leads to (a directory's index page), or None."""
        if path.startswith("/"):
            segments, from_root, path = [], True, path[1:]
        else:
            segments, from_root = page.split("/")[:-1], False
        directory = False
        for part in path.split("/"):
            part = decode(part)
            directory = part in ("", ".", "..")
            if part == "..":
                if segments:
                    segments.pop()
                elif not from_root:
                    return None  # above the top directory: out of the site
            elif part not in ("", "."):
                segments.append(part)
        if any("/" in s for s in segments):
            return None
        key = upper("/".join(segments))
        if key in self.files:
            return None if directory else self.files[key]
        if key in self.dirs:
            return self.index_page(key)
        return None

    def link(self, page, offset, value, found):
        """Appends the record of one URL as written (character references decoded)."""
        value = value.split("#", 1)[0]
        stripped = value.strip(SPACE)
        if SCHEME.match(stripped) or stripped.startswith("//"):
            value = stripped
        if not value:
            return
        m = SCHEME.match(value)
        scheme = m.group(0)[:-1].lower() if m else ""
        if scheme in NAMES_NOTHING:
            return
        if (scheme and scheme != "file") or value.startswith("//") or (
                scheme == "file" and "//" in decode(value)):
            url = decode(value)
            found.append((offset, "external", "http:" + url if url.startswith("//") else url))
            return
        written = value.split("?", 1)[0]
        url = decode(written)
        if url:
            found.append((offset, "local", self.resolve(page, written[m.end() if m else 0:]), url))

    def css_links(self, page, text, base, found):
        for m in CSS.finditer(text):
            for g in range(1, 6):
                if m.group(g) is not None:
                    self.link(page, base + m.start(g), m.group(g), found)

    def tag_links(self, page, name, attrs, base, found):
        table = URL_ATTRIBUTES.get(name, {})
        seen = set()
        refresh = any(n == "http-equiv" and v is not None and v[1].lower() == "refresh"
                      for n, v in attrs)
        for attr, value in attrs:
            if attr in seen or value is None:
                continue
            seen.add(attr)
            at, text = value
            text = char_refs(text)
            if attr == "style":
                self.css_links(page, text, base + at, found)
            kind = table.get(attr)
            if kind == "url":
                self.link(page, base + at, text, found)
            elif kind == "srcset":
                for i, url in srcset_urls(text):
                    self.link(page, base + at + i, url, found)
            elif kind == "refresh" and refresh:
                i, url = refresh_url(text)
                if url:
                    self.link(page, base + at + i, url, found)
            elif kind == "base":
                raise SystemExit(f"check_truth: {page}: a base tag, which gen_site never writes")

    def links(self, page):
        """(line, "external", url) and (line, "local", target or None, url) in file order."""
        if page in self.cache:
            return self.cache[page]
        with open(os.path.join(self.root, page), "rb") as f:
            text = f.read().decode("utf-8", "surrogateescape")
        found = []
        if page.lower().endswith(".css"):
            self.css_links(page, text, 0, found)
        else:
            self.page_links(page, text, found)
        ends = [m.start() for m in re.finditer(r"\r\n|\r|\n", text)]
        out = [(bisect.bisect_left(ends, f[0]) + 1,) + f[1:] for f in found]
        self.cache[page] = out
        return out

    def page_links(self, page, text, found):
        i = 0
        while (lt := text.find("<", i)) >= 0:
            if text.startswith("<!--", lt):
                end = text.find("-->", lt + 4)
                i = len(text) if end < 0 else end + 3
                continue
            m = START_TAG.match(text, lt)
            if not m:
                i = lt + 1
                continue
            name = m.group(1).lower()
            attrs = []
            for a in ATTRIBUTE.finditer(m.group(2)):
                g = next((g for g in (2, 3, 4) if a.group(g) is not None), None)
                value = (a.start(g), a.group(g)) if g else None
                attrs.append((a.group(1).lower(), value))
            self.tag_links(page, name, attrs, m.start(2), found)
            i = m.end()
            if name in RAW_TEXT:
                close = re.compile(rf"</{name}[\s/>]", re.I).search(text, i)
                end = close.start() if close else len(text)
                if name == "style":
                    self.css_links(page, text[i:end], i, found)
                i = end


def derive(site):
    order, seen, used = ["index.html"], {"index.html"}, {"index.html"}
    stack = [("index.html", 0)]
    while stack:
        page, k = stack.pop()
        links = site.links(page)
        while k < len(links):
            link = links[k]
            k += 1
            if link[1] != "local" or link[2] is None:
                continue
            target = link[2]
            used.add(target)
            if target.lower().endswith(WALKED) and target not in seen:
                seen.add(target)
                order.append(target)
                stack.append((page, k))
                stack.append((target, 0))
                break
    broken, external = {}, {}
    for page in order:
        for link in site.links(page):
            if link[1] == "local" and link[2] is None:
                broken.setdefault(page, []).append({"line": link[0], "url": link[3]})
            elif link[1] == "external":
                external.setdefault(page, []).append({"line": link[0], "url": link[2]})
    unique = list(dict.fromkeys(e["url"] for page in external.values() for e in page))
    unused = sorted((f for f in site.files.values() if f not in used),
                    key=lambda p: [c.lower() for c in p.split("/")])
    return {"counts": {"files": len(site.files), "directories": len(site.dirs) - 1},
            "walk_order": order, "broken_links": broken, "external_urls": external,
            "external_unique": unique, "unused_files": unused}


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
