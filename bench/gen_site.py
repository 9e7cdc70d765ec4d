#!/usr/bin/env python3
"""Generates a large, deterministic Web site and the findings a link check must report on it.

    bench/gen_site.py OUTDIR [--pages 20000] [--seed 1] [--forms]

OUTDIR must not exist yet (or be empty). It receives N HTML pages (the home page is
OUTDIR/index.html) in nested directories, about a quarter of them holding an index page, images,
three style sheets, a font and two scripts. Each page holds about ten links, one tag per line:
relative ones, "./" and "../" ones, dot segments inside the path, root-absolute "/..." ones,
links to directories ("dir/", "dir", "./dir/", "/", ".."), escaped (%20, %C3%A9) and unescaped
names with spaces, links whose letters differ in case from the names on disk, fragments, a query
on every style sheet link; double-quoted, single-quoted and unquoted attribute values; <a href>,
<img src> and srcset lists, <picture><source srcset>, <video poster>, <svg><image href> and
xlink:href, <blockquote cite>, <q cite>, <button formaction>, meta refresh; url(...) in style
attributes and <style> elements, and url(...) and @import in the two linked style sheets;
external http, https, protocol-relative, tel: and mailto URLs; javascript: and data: URLs and
links inside comments and scripts (none of them a record); and about 2 % broken local links. About
1 % of the files are used by nothing that the home page reaches. --forms prints how many links of
each form the site holds.

The findings are written to OUTDIR.truth.json, beside the site and not in it (so a run on the
site does not see it). They follow the program's rules, which are those of browsers:

  - a link is a URL attribute of any tag (href, src, each candidate of srcset and imagesrcset,
    poster, cite, action, formaction, background, xlink:href, the url= of a meta refresh), its
    value double-quoted, single-quoted or unquoted, character references decoded; the attributes
    of a tag give their links in the order they stand, a srcset its candidates in order, all on
    the tag's line; a style attribute, a <style> element and a .css file give url(...) (quoted or
    bare) and @import links, in file order, on the line where the URL stands; comments and the
    text of scripts hold none;
  - a link that is only a fragment or a query, or that has the scheme javascript:, vbscript:,
    data:, about: or blob:, gives no record; any other scheme than file:, and "//host/...", make
    a link external, reported decoded, "//host/..." as "http://host/...";
  - a local link loses its fragment and its query (as written) and is reported decoded (%XX from
    right to left, %25 not decoded again, a %00 ends it); it resolves without regard to case,
    "/..." from the site's top directory, anything else from the directory of the file that holds
    it (a style sheet's links from the sheet's directory); "." and ".." segments are removed
    anywhere, and a ".." above the top directory leaves the site (the link does not resolve);
  - a link to a directory ("dir", "dir/") leads to its index page, the first of index.html,
    index.htm, default.htm found in it, names compared without regard to case; a directory
    without one, and a file written with a trailing "/", do not resolve;
  - the walk starts at the home page and passes every page and style sheet it reaches once, in
    pre-order, taking each file's links in order; only files it passes are reported on; a file is
    used when the walk passes it or a passed file links to it (for a directory link: its index
    page);
  - files the program writes itself (RENAME.LOG, the external-URL page, REPORT.TSY...) are no
    files of the site: not counted, never unused.

Truth file keys: counts (files and directories as the report's counts line has them), walk_order
(pages and style sheets in the order the walk passes them), broken_links and external_urls (per
passed file, in walk order: line number and the URL as reported), external_unique (first-seen
order), unused_files (in the report's order). All paths are relative to OUTDIR, with "/".
"""

import argparse
import collections
import json
import os
import random
import re
import sys
import time

WORDS = ("bread harbour spring summer autumn winter bakery recipe market garden river coast "
         "museum school music theatre festival history family travel").split()
SECTION_STYLES = ("section{n}", "News {n}", "Our Products {n}", "ARCHIVE_{n}", "blog-{n}",
                  "Équipe {n}", "docs{n}")
PAGE_STYLES = ("page{n}.html", "Page {n}.htm", "Article-{n}.HTML", "news_{n}.html",
               "café-{n}.html", "{w}-{n}.html")
# The names a section's index page gets; a link to the directory leads to it. A lower-ranked
# default.htm beside an index.html or index.htm is never the directory's page.
INDEX_NAMES = ("index.html", "index.htm", "default.htm", "Index.html", "INDEX.HTM")
IMAGE_STYLES = ("photo{n}.jpg", "Photo {n}.JPG", "logo_{n}.png", "icon-{n}.gif")
FIXED_DIRS = ("css", "css/fonts", "js", "images")
LINKED_SHEETS = ("css/site.css", "css/print.css")
OLD_SHEET = "css/old.css"  # linked from nowhere: its links are never followed
FONT = "css/fonts/Sans Regular.woff2"
SCRIPTS = ("js/app.js", "js/menu.js")
EXTERNAL = ("http://example.com/{w}/{n}", "https://www.example.org/{w}?id={n}",
            "https://example.net/{w}-{n}.html", "mailto:{w}{n}@example.com",
            "//cdn.example.com/{w}/{n}.js", "tel:+1-555-{n:04d}", "HTTPS://Example.COM/{w}/{n}",
            "https://www.example.org/{w}?id={n}&amp;lang=en")
LINE_ENDS = ("\n",) * 16 + ("\r\n",) * 3 + ("\r",)
UNQUOTABLE = set(" \t\n\r\f\"'=<>`")


def split(path):
    return path.split("/") if path else []


def dirname(path):
    return path.rsplit("/", 1)[0] if "/" in path else ""


def relative(from_dir, target):
    """The relative link from a file in from_dir to target (both relative to the site)."""
    a, b = split(from_dir), split(target)
    common = 0
    while common < len(a) and common < len(b) - 1 and a[common] == b[common]:
        common += 1
    return "../" * (len(a) - common) + "/".join(b[common:])


def escape(text, rng, raw_spaces):
    """%20 for spaces (unless raw_spaces), sometimes %XX for the bytes of accented letters."""
    out = []
    for ch in text:
        if ch == " " and not raw_spaces:
            out.append("%20")
        elif ord(ch) > 127 and rng.random() < 0.5:
            out.append("".join(f"%{b:02X}" for b in ch.encode()))
        else:
            out.append(ch)
    return "".join(out)


def decode(url):
    """The program's decoding of %XX escapes: CR and LF dropped, then right to left (%25 is not
    decoded again), the two bytes read as strtol reads them; a code of 0 ends the URL."""
    data = url.replace("\r", "").replace("\n", "").encode()
    i = data.rfind(b"%")
    while i >= 0:
        digits = data[i + 1:i + 3]
        m = re.match(rb"[ \t\n\v\f\r]*([-+]?)([0-9a-fA-F]*)", digits)
        code = int(m.group(2), 16) if m.group(2) else 0
        code = (-code if m.group(1) == b"-" else code) & 0xFF
        data = data[:i] if code == 0 else data[:i] + bytes([code]) + data[i + 3:]
        i = data.rfind(b"%", 0, i)
    return data.decode("utf-8", "surrogateescape")


def mixed_case(text, rng):
    return "".join(c.swapcase() if c.isascii() and c.isalpha() and rng.random() < 0.3 else c
                   for c in text)


class Site:
    def __init__(self, pages, seed):
        self.rng = random.Random(seed)
        self.npages = pages
        self.dirs = []  # relative paths of directories
        self.pages = []  # relative paths; pages[0] is index.html
        self.images = []
        self.index_of = {}  # directory -> the index page a link to it leads to
        self.links = {}  # page or sheet -> list of (line, target or None, kind, reported url)
        self.forms = collections.Counter()  # link form -> number of links written in it

    def build_tree(self):
        rng = self.rng
        depth = {"": 0}

        def add_dir(parent, name):
            path = f"{parent}/{name}" if parent else name
            self.dirs.append(path)
            depth[path] = depth[parent] + 1
            return path

        for fixed in FIXED_DIRS:
            add_dir(*fixed.rpartition("/")[::2])
        for n in range(max(4, self.npages // 100)):
            parents = [d for d in [""] + self.dirs if depth[d] < 3 and d not in FIXED_DIRS]
            parent = parents[rng.randrange(len(parents))]
            add_dir(parent, rng.choice(SECTION_STYLES).format(n=n))
        sections = [d for d in self.dirs if d not in FIXED_DIRS]
        page_dirs = [""] + sections

        self.pages.append("index.html")
        self.index_of[""] = "index.html"
        for d in sections:
            if len(self.pages) >= self.npages or rng.random() >= 0.25:
                continue
            name = rng.choice(INDEX_NAMES)
            self.index_of[d] = f"{d}/{name}"
            self.pages.append(f"{d}/{name}")
            if (name.lower() != "default.htm" and rng.random() < 0.25
                    and len(self.pages) < self.npages):
                self.pages.append(f"{d}/default.htm")
        self.no_index = [d for d in self.dirs if d not in self.index_of]
        for n in range(len(self.pages), self.npages):
            d = page_dirs[rng.randrange(len(page_dirs))]
            name = rng.choice(PAGE_STYLES).format(n=n, w=rng.choice(WORDS))
            self.pages.append(f"{d}/{name}" if d else name)
        for n in range(max(1, self.npages // 4)):
            d = "images" if rng.random() < 0.5 else page_dirs[rng.randrange(len(page_dirs))]
            name = rng.choice(IMAGE_STYLES).format(n=n)
            self.images.append(f"{d}/{name}" if d else name)
        # A RENAME.LOG left by an earlier run: the program's own file, not one of the site.
        self.own_log = f"{rng.choice(sections)}/RENAME.LOG"

    def plan_links(self):
        rng = self.rng
        pages, images = self.pages, self.images
        # A few images are shown only by the style sheets, the last of them only by the sheet
        # nothing links to.
        reserved = rng.sample(range(len(images)), min(4, len(images) - 1))
        self.sheet_images = [images[i] for i in reserved]
        pool = [i for i in range(len(images)) if i not in reserved]
        # About 1 % of the files stay unused: half of them pages no reachable page links to,
        # half images (some shown only by those pages, some by nothing at all).
        nunused = max(1, round(0.0125 * self.npages))
        unused_pages = set(rng.sample(range(1, len(pages)), min(len(pages) - 1, nunused // 2 + 1)))
        unused_images = set(rng.sample(pool, min(len(pool), nunused // 2)))
        used_pages = [i for i in range(len(pages)) if i not in unused_pages]
        used_images = [i for i in pool if i not in unused_images]
        self.used_pages = [pages[i] for i in used_pages]
        self.used_images = [images[i] for i in used_images]
        # Index pages are few: some links go to them on purpose, half of those written as a
        # link to the directory.
        index_pages = set(self.index_of.values())
        used_index = [i for i in used_pages if pages[i] in index_pages]

        targets = {i: [] for i in range(len(pages))}  # page -> planned (kind, target path)
        # Every used page hangs below an earlier used page, so the walk reaches all of them.
        for k, i in enumerate(used_pages[1:], start=1):
            targets[used_pages[rng.randrange(k)]].append(("local", pages[i]))
        for i in used_images:
            targets[used_pages[rng.randrange(len(used_pages))]].append(("image", images[i]))
        for i in unused_images:
            if rng.random() < 0.5 and unused_pages:
                targets[rng.choice(sorted(unused_pages))].append(("image", images[i]))
        for i in range(len(pages)):
            for _ in range(rng.randrange(5, 10)):
                r = rng.random()
                if r < 0.12:
                    targets[i].append(("external", None))
                elif r < 0.15:
                    targets[i].append(("broken", None))
                elif r < 0.75:
                    pool = used_index if used_index and rng.random() < 0.08 else used_pages
                    targets[i].append(("local", pages[rng.choice(pool)]))
                else:
                    targets[i].append(("image", images[rng.choice(used_images)]))
            rng.shuffle(targets[i])
        return targets

    # ---- link texts -------------------------------------------------------------------------

    def dir_text(self, from_dir, d):
        """A link from a file in from_dir to directory d: "d/", "d", "./d/", "/d/", "..", "./"."""
        rng = self.rng
        r = rng.random()
        if r < 0.15:
            text = f"/{d}/" if d else "/"
        else:
            text = relative(from_dir, d + "/x")[:-1] or "./"
            if r < 0.35 and not text.startswith("."):
                text = "./" + text
            elif r < 0.6:
                text = text[:-1]  # "d", "..", "."
        return escape(text, rng, raw_spaces=False)

    def link_text(self, from_dir, target, raw_spaces=None, dir_ok=True):
        """A link from a file in from_dir to target in one of the forms that resolve."""
        rng = self.rng
        if raw_spaces is None:
            raw_spaces = rng.random() < 0.25
        d = dirname(target)
        if dir_ok and self.index_of.get(d) == target and rng.random() < 0.5:
            self.forms["path: directory link"] += 1
            text = self.dir_text(from_dir, d)
            return mixed_case(text, rng) if rng.random() < 0.2 else text
        r = rng.random()
        if r < 0.15:
            text = "/" + target
            form = "root-absolute"
        else:
            text = relative(from_dir, target)
            first, _, rest = text.partition("/")
            form = "../" if first == ".." else "relative"
            if r < 0.27 and first != "..":
                text = "./" + text
                form = "./"
            elif 0.27 <= r < 0.3 and rest:
                text = f"{first}/./{rest}"
                form = "dot segment inside (/./, x/../)"
            elif 0.3 <= r < 0.32 and rest and first != "..":
                text = f"{first}/../{text}"
                form = "dot segment inside (/./, x/../)"
        self.forms["path: " + form] += 1
        text = escape(text, rng, raw_spaces)
        if rng.random() < 0.2:
            text = mixed_case(text, rng)
        return text

    def broken_text(self, page, n):
        """A local link that does not resolve, and its form."""
        rng = self.rng
        page_dir = dirname(page)
        kind = rng.randrange(6)
        if kind == 0:
            name = f"missing-{n}.html" if rng.random() < 0.5 else f"/gone/{n}.html"
            return name, "missing file"
        if kind == 1 and self.no_index:
            return self.dir_text(page_dir, rng.choice(self.no_index)), "directory without index"
        if kind == 2:
            return self.link_text(page_dir, rng.choice(self.pages), False, False) + "/", \
                "file with trailing /"
        if kind == 3:
            top_page = rng.choice([p for p in self.pages[:50] if "/" not in p] or ["index.html"])
            return "../" * (len(split(page_dir)) + 1) + top_page, "above the top directory"
        if kind == 4:
            return f"{relative(page_dir, 'images')}/missing-{n}.png", "missing image"
        # the other extension of an existing page
        target = rng.choice(self.pages)
        other = target[:-1] if target.lower().endswith(".html") else target + "l"
        return escape(relative(page_dir, other), rng, False), "other extension"

    def external_text(self, n):
        return self.rng.choice(EXTERNAL).format(w=self.rng.choice(WORDS), n=n)

    def attr(self, name, value, unquoted=0.12, single=0.18):
        """name=value with the value double-quoted, single-quoted or unquoted where it can be."""
        r = self.rng.random()
        if r < unquoted and value and not UNQUOTABLE.intersection(value):
            self.forms["value unquoted"] += 1
            return f"{name}={value}"
        if r < unquoted + single and "'" not in value:
            self.forms["value single-quoted"] += 1
            return f"{name}='{value}'"
        self.forms["value double-quoted"] += 1
        return f'{name}="{value}"'

    def css_url(self, text, inner_quote=None):
        """url(...) in a style: bare (spaces escaped) or quoted."""
        r = self.rng.random()
        if inner_quote is None:
            inner_quote = '"' if r < 0.4 else "'" if r < 0.6 else ""
        if not inner_quote:
            return f"url({text.replace(' ', '%20')})"
        return f"url({inner_quote}{text}{inner_quote})"

    # ---- files ------------------------------------------------------------------------------

    def write_sheets(self, out):
        """The style sheets and their links; the sheet images may be fewer on a tiny site."""
        imgs = self.sheet_images

        def rel(sheet, target):
            return relative(dirname(sheet), target)

        site = ["@import url(print.css) print;",
                '@import "https://fonts.example.com/css2?family=Sans";',
                "/* The old banner, url(banner-old.png), is gone. */",
                f'@font-face {{ font-family: "Sans"; src: url("{rel("css/site.css", FONT)}") '
                'format("woff2"); }',
                'body { font-family: "Sans", sans-serif; }',
                '.quote::before { content: "url(not-a-link.png)"; }']
        site_links = [(1, "css/print.css", "local", None),
                      (2, None, "external", "https://fonts.example.com/css2?family=Sans"),
                      (4, FONT, "local", None)]
        if len(imgs) > 0:
            url = self.css_url(rel("css/site.css", imgs[0]), "")
            site.append(f".hero {{ background: #fff {url} repeat-x; }}")
            site_links.append((len(site), imgs[0], "local", None))
        if len(imgs) > 1:
            site.append(f".logo {{ background-image: url('/{imgs[1]}'); }}")
            site_links.append((len(site), imgs[1], "local", None))
        missing = "../images/missing-paper.png"
        prints = ["@page { margin: 2cm; }", f'body {{ background: url("{missing}"); }}']
        print_links = [(2, None, "broken", missing)]
        if len(imgs) > 2:
            url = escape(rel("css/print.css", imgs[2]), self.rng, False)
            prints.append(f".banner {{ background: url(./{url}) }}")
            print_links.append((len(prints), imgs[2], "local", None))
        old = ["@import url(site.css);"]
        old_links = [(1, "css/site.css", "local", None)]
        if len(imgs) > 3:
            old.append(f"body {{ background: {self.css_url(rel(OLD_SHEET, imgs[3]), '')}; }}")
            old_links.append((len(old), imgs[3], "local", None))
        for path, lines, links in (("css/site.css", site, site_links),
                                   ("css/print.css", prints, print_links),
                                   (OLD_SHEET, old, old_links)):
            with open(os.path.join(out, path), "w", encoding="utf-8", newline="") as f:
                f.write("\n".join(lines) + "\n")
            self.links[path] = links
            self.forms["in the style sheets: url() and @import"] += len(links)

    def write(self, out):
        rng = self.rng
        os.makedirs(out, exist_ok=True)
        if os.listdir(out):
            raise SystemExit(f"gen_site: {out} is not empty")
        for d in self.dirs:
            os.mkdir(os.path.join(out, d))
        planned = self.plan_links()
        self.write_sheets(out)
        with open(os.path.join(out, FONT), "wb") as f:
            f.write(b"wOF2\x00\x01\x00\x00" + rng.randbytes(512))
        for path in SCRIPTS:
            with open(os.path.join(out, path), "w", newline="") as f:
                f.write("document.documentElement.className = 'js';\n")
        with open(os.path.join(out, self.own_log), "w", newline="") as f:
            f.write("Old Name.htm -> OLDNAME.HTM\n")
        headers = (b"\x89PNG\r\n\x1a\n\x00\x00\x00\rIHDR", b"\xff\xd8\xff\xe0\x00\x10JFIF\x00",
                   b"GIF89a\x10\x00\x10\x00\xf7\x00\x00")
        for path in self.images:
            with open(os.path.join(out, path), "wb") as f:
                f.write(rng.choice(headers) + rng.randbytes(rng.randrange(64, 1024)))

        counter = {"broken": 0, "external": 0}
        for i, page in enumerate(self.pages):
            lines, links = self.page_lines(i, page, planned[i], counter)
            ending = rng.choice(LINE_ENDS)
            with open(os.path.join(out, page), "w", encoding="utf-8", newline="") as f:
                f.write(ending.join(lines) + ending)
            self.links[page] = links

    def page_lines(self, i, page, planned, counter):
        rng = self.rng
        page_dir = dirname(page)
        title = f"{rng.choice(WORDS).capitalize()} {i}" + (" — crème" if i % 7 == 0 else "")
        lines = ["<!DOCTYPE html>", "<html>", "<head>", '<meta charset="utf-8">',
                 f"<title>{title}</title>"]
        links = []

        def add(line, *found):
            """A line and the links on it, each (target, kind, reported url, form)."""
            lines.append(line)
            for target, kind, url, form in found:
                links.append((len(lines), target, kind, url))
                self.forms[form] += 1

        def text(target, **kw):
            return self.link_text(page_dir, target, **kw)

        sheet = rng.choice(LINKED_SHEETS)
        add(f'<link rel="stylesheet" {self.attr("href", relative(page_dir, sheet) + "?v=3")}>',
            (sheet, "local", None, "link href (style sheet)"))
        if rng.random() < 0.02:
            target = rng.choice(self.used_pages)
            add(f'<meta http-equiv="refresh" content="600; url={text(target, raw_spaces=False)}">',
                (target, "local", None, "meta refresh"))
        if rng.random() < 0.5:
            target = rng.choice(SCRIPTS)
            add(f'<script {self.attr("src", text(target, dir_ok=False))}></script>',
                (target, "local", None, "script src"))
        if rng.random() < 0.08:
            lines.append("<style>")
            if rng.random() < 0.3:
                add(f'@import url("{relative(page_dir, "css/print.css")}");',
                    ("css/print.css", "local", None, "style element @import"))
            for _ in range(rng.randrange(1, 3)):
                target = rng.choice(self.used_images)
                url = self.css_url(text(target, dir_ok=False))
                add(f".c{rng.randrange(100)} {{ background: {url} no-repeat; }}",
                    (target, "local", None, "style element url()"))
            lines.append("</style>")
        # Sections that fragments name: "#part2" links (one in ten) find theirs except on one
        # page in twenty. Chosen by the page's number, so the random stream is unchanged.
        lines += ["</head>", "<body>", f"<h1>{title}</h1>", '<h2 id="part1">Part one</h2>']
        if rng.random() < 0.03:
            lines.append(f'<!-- <a href="old-{i}.html">The old page</a> -->')
            self.forms["in a comment (no record)"] += 1
        if rng.random() < 0.02:
            lines.append("<script>document.write('<img src=\"counter.gif\" alt=\"\">');</script>")
            self.forms["in a script (no record)"] += 1
        for kind, target in planned:
            r = rng.random()
            if kind == "external":
                counter["external"] += 1
                url = self.external_text(counter["external"])
                reported = url.replace("&amp;", "&")
                reported = "http:" + reported if reported.startswith("//") else reported
                add(f'<p>See <a {self.attr("href", url)}>elsewhere</a>.</p>',
                    (None, "external", reported, "external"))
            elif kind == "broken":
                counter["broken"] += 1
                url, form = self.broken_text(page, counter["broken"])
                found = (None, "broken", decode(url), "broken: " + form)
                if form == "missing image" and r < 0.5:
                    add(f'<div style="background-image: {self.css_url(url, chr(39))}"></div>',
                        found[:3] + (found[3] + " (style)",))
                elif form == "missing image":
                    add(f'<p><img {self.attr("src", url)} alt=""></p>', found)
                else:
                    add(f'<p><a {self.attr("href", url)}>An old link</a></p>', found)
            elif kind == "image":
                self.image_line(add, text, target, r)
            else:
                url = text(target) + ("#part2" if rng.random() < 0.1 else "")
                if r < 0.04:
                    add(f'<blockquote {self.attr("cite", url)}><p>As they say.</p></blockquote>',
                        (target, "local", None, "blockquote cite"))
                elif r < 0.06:
                    add(f'<p><q {self.attr("cite", url)}>Quoted</q> here.</p>',
                        (target, "local", None, "q cite"))
                elif r < 0.08:
                    add(f'<form><button {self.attr("formaction", url)}>Go</button></form>',
                        (target, "local", None, "button formaction"))
                else:
                    name, attr = (("A", "HREF") if rng.random() < 0.05
                                  else ('a class="more"', "href"))
                    add(f'<p>Read <{name} {self.attr(attr, url)}>more</a> about '
                        f'{rng.choice(WORDS)}.</p>', (target, "local", None, "a href"))
            if rng.random() < 0.01:
                lines.append('<p><a href="javascript:history.back()">Back</a> '
                             '<img src="data:image/gif;base64,R0lGODlhAQABAAAAACw=" alt=""></p>')
                self.forms["javascript: and data: (no record)"] += 2
        if i % 20 != 7:
            lines.append('<h2><a name="part2">Part two</a></h2>')
        lines += ["<p>Thank you for reading.</p>", "</body>", "</html>"]
        return lines, links

    def image_line(self, add, text, target, r):
        """One line that shows the planned image, in one of the image forms."""
        rng = self.rng

        def candidate(image):
            # A srcset candidate ends at a blank: its spaces are always escaped.
            return text(image, raw_spaces=False, dir_ok=False)

        def found(image, form):
            return (image, "local", None, form)

        if r < 0.08:  # the planned image is the src, more candidates in srcset
            more = [rng.choice(self.used_images) for _ in range(rng.randrange(1, 3))]
            marks = ("2x", "3x") if rng.random() < 0.5 else ("800w", "1200w")
            srcset = ", ".join(f"{candidate(m)} {d}" for m, d in zip(more, marks))
            add(f'<p><img {self.attr("src", candidate(target))} {self.attr("srcset", srcset)} '
                'alt=""></p>', found(target, "img src"),
                *(found(m, "srcset candidate") for m in more))
        elif r < 0.12:  # the planned image is the last candidate
            first = rng.choice(self.used_images)
            srcset = f"{candidate(first)} 1x,{candidate(target)} 2x"
            add(f'<p><img {self.attr("srcset", srcset)} alt=""></p>',
                found(first, "srcset candidate"), found(target, "srcset candidate"))
        elif r < 0.15:  # <picture>: the source's candidate, then the img
            first = rng.choice(self.used_images)
            add(f'<picture><source {self.attr("srcset", candidate(first))} '
                f'media="(min-width: 800px)"><img {self.attr("src", candidate(target))} alt="">'
                "</picture>", found(first, "srcset candidate"), found(target, "img src"))
        elif r < 0.19:
            add(f'<video controls {self.attr("poster", text(target, dir_ok=False))}></video>',
                found(target, "video poster"))
        elif r < 0.22:
            name = "xlink:href" if rng.random() < 0.5 else "href"
            add(f'<svg width="16" height="16"><image {self.attr(name, text(target, dir_ok=False))}'
                ' width="16" height="16"/></svg>', found(target, "svg image " + name))
        elif r < 0.3:
            outer = '"' if rng.random() < 0.5 else "'"
            inner = rng.choice(["", "'" if outer == '"' else '"'])
            url = self.css_url(text(target, dir_ok=False), inner)
            add(f'<div class="photo" style={outer}background-image: {url}{outer}></div>',
                found(target, "style attribute url()"))
        else:
            add(f'<p><img {self.attr("src", text(target, dir_ok=False))} alt=""></p>',
                found(target, "img src"))

    def truth(self):
        """The walk of the program, and what its reports hold."""
        walkable = set(self.links)
        order, seen, used = [], set(), set()
        stack = [("index.html", 0)]
        seen.add("index.html")
        order.append("index.html")
        used.add("index.html")
        self.max_depth = 1
        while stack:
            self.max_depth = max(self.max_depth, len(stack))
            page, k = stack.pop()
            links = self.links[page]
            while k < len(links):
                target = links[k][1]
                k += 1
                if target is None:
                    continue
                used.add(target)
                if target in walkable and target not in seen:
                    seen.add(target)
                    order.append(target)
                    stack.append((page, k))
                    stack.append((target, 0))
                    break
        broken, external, unique = {}, {}, []
        unique_seen = set()
        for page in order:
            for line, _, kind, url in self.links[page]:
                if kind == "broken":
                    broken.setdefault(page, []).append({"line": line, "url": url})
                elif kind == "external":
                    external.setdefault(page, []).append({"line": line, "url": url})
                    if url not in unique_seen:
                        unique_seen.add(url)
                        unique.append(url)
        files = (self.pages + self.images + list(LINKED_SHEETS) + [OLD_SHEET, FONT]
                 + list(SCRIPTS))
        unused = sorted((f for f in files if f not in used),
                        key=lambda p: [c.lower() for c in p.split("/")])
        return {
            "generator": "bench/gen_site.py",
            "pages": self.npages,
            "home": "index.html",
            "counts": {"files": len(files), "directories": len(self.dirs)},
            "walk_order": order,
            "broken_links": broken,
            "external_urls": external,
            "external_unique": unique,
            "unused_files": unused,
        }


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("outdir")
    parser.add_argument("--pages", type=int, default=20000)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--forms", action="store_true", help="print the links of each form")
    args = parser.parse_args()
    if args.pages < 1:
        parser.error("--pages must be at least 1")
    start = time.monotonic()
    out = os.path.normpath(args.outdir)
    site = Site(args.pages, args.seed)
    site.build_tree()
    site.write(out)
    truth = site.truth()
    with open(out + ".truth.json", "w", encoding="utf-8") as f:
        json.dump(truth, f, ensure_ascii=False, indent=1)
        f.write("\n")
    links = sum(len(v) for k, v in site.links.items() if not k.endswith(".css"))
    print(f"{out}: {args.pages} pages, {len(site.images)} images, {len(site.dirs)} directories, "
          f"{links} links ({links / args.pages:.1f} per page); {len(truth['walk_order'])} pages "
          f"and sheets reached, {sum(len(v) for v in truth['broken_links'].values())} broken "
          f"links, {len(truth['unused_files'])} unused files, {len(truth['external_unique'])} "
          f"external URLs; the walk nests {site.max_depth} files deep; truth in "
          f"{out}.truth.json; {time.monotonic() - start:.1f} s", file=sys.stderr)
    if args.forms:
        for form, n in sorted(site.forms.items(), key=lambda kv: -kv[1]):
            print(f"  {n:8d}  {form}", file=sys.stderr)


if __name__ == "__main__":
    main()
