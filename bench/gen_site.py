#!/usr/bin/env python3
"""Generates a large, deterministic Web site and the findings a link check must report on it.

    bench/gen_site.py OUTDIR [--pages 20000] [--seed 1]

OUTDIR must not exist yet (or be empty). It receives N HTML pages (the home page is
OUTDIR/index.html) in nested directories, images, style sheets and scripts. Each page holds about
ten links, one per line: relative ones, "../" ones, root-absolute "/..." ones, escaped (%20,
%C3%A9) and unescaped names with spaces, links whose letters differ in case from the names on
disk, fragments, a query on every style sheet link, external http, https, protocol-relative and
mailto URLs, and about 2 % broken local links. About 1 % of the files are used by no page that
the home page reaches.

The findings are written to OUTDIR.truth.json, beside the site and not in it (so a run on the
site does not see it). They follow the program's rules:

  - a link is the double-quoted value of a URL attribute of a/img/link/script tags;
  - resolution ignores case, decodes %XX escapes, cuts the fragment and (for local links) the
    query; "/..." starts at the site's top directory; leading "../" climb from the page's
    directory; "./" is not special (the link does not resolve), a link to a directory does not
    resolve (no default page), and a link that contains "//" or starts with mailto: is external,
    "//host/..." being reported as "http://host/...";
  - the walk starts at the home page and passes every page it reaches once, in pre-order, taking
    each page's links in file order; only pages it passes are reported on; a file is used when
    the walk passes it or a passed page links to it.

Truth file keys: counts (files and directories as the report's counts line has them), walk_order
(pages in the order the walk passes them), broken_links and external_urls (per passed page, in
walk order: line number and the URL as reported), external_unique (first-seen order),
unused_files (in the report's order). All paths are relative to OUTDIR, with "/".
"""

import argparse
import json
import os
import random
import sys
import time

WORDS = ("bread harbour spring summer autumn winter bakery recipe market garden river coast "
         "museum school music theatre festival history family travel").split()
SECTION_STYLES = ("section{n}", "News {n}", "Our Products {n}", "ARCHIVE_{n}", "blog-{n}",
                  "Équipe {n}", "docs{n}")
PAGE_STYLES = ("page{n}.html", "Page {n}.htm", "Article-{n}.HTML", "news_{n}.html",
               "café-{n}.html", "{w}-{n}.html")
IMAGE_STYLES = ("photo{n}.jpg", "Photo {n}.JPG", "logo_{n}.png", "icon-{n}.gif")
STYLE_SHEETS = ("css/site.css", "css/print.css")
SCRIPTS = ("js/app.js", "js/menu.js")
EXTERNAL = ("http://example.com/{w}/{n}", "https://www.example.org/{w}?id={n}",
            "https://example.net/{w}-{n}.html", "mailto:{w}{n}@example.com",
            "//cdn.example.com/{w}/{n}.js")
LINE_ENDS = ("\n",) * 16 + ("\r\n",) * 3 + ("\r",)


def split(path):
    return path.split("/") if path else []


def relative(from_dir, target):
    """The relative link from a page in from_dir to target (both relative to the site)."""
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
    """The program's decoding of %XX escapes (right to left; %25 is not decoded again)."""
    data = url.encode()
    i = data.rfind(b"%")
    while i >= 0:
        digits = data[i + 1:i + 3]
        try:
            code = int(digits, 16) & 0xFF if digits else 0
        except ValueError:
            code = 0
        data = data[:i] + bytes([code]) + data[i + 3:]
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
        self.links = {}  # page -> list of (line text, target or None, kind, reported url)

    def build_tree(self):
        rng = self.rng
        depth = {"": 0}
        taken = {"": set()}

        def add_dir(parent, name):
            path = f"{parent}/{name}" if parent else name
            self.dirs.append(path)
            depth[path] = depth[parent] + 1
            taken[path] = set()
            taken[parent].add(name.lower())
            return path

        for fixed in ("css", "js", "images"):
            add_dir("", fixed)
        for n in range(max(4, self.npages // 100)):
            parents = [d for d in [""] + self.dirs if depth[d] < 3 and d not in ("css", "js", "images")]
            parent = parents[rng.randrange(len(parents))]
            add_dir(parent, rng.choice(SECTION_STYLES).format(n=n))
        page_dirs = [""] + [d for d in self.dirs if d not in ("css", "js", "images")]

        self.pages.append("index.html")
        for n in range(1, self.npages):
            d = page_dirs[rng.randrange(len(page_dirs))]
            name = rng.choice(PAGE_STYLES).format(n=n, w=rng.choice(WORDS))
            self.pages.append(f"{d}/{name}" if d else name)
        for n in range(max(1, self.npages // 4)):
            d = "images" if rng.random() < 0.5 else page_dirs[rng.randrange(len(page_dirs))]
            name = rng.choice(IMAGE_STYLES).format(n=n)
            self.images.append(f"{d}/{name}" if d else name)

    def plan_links(self):
        rng = self.rng
        pages, images = self.pages, self.images
        # About 1 % of the files stay unused: half of them pages no reachable page links to,
        # half images (some shown only by those pages, some by nothing at all).
        nunused = max(1, round(0.0125 * self.npages))
        unused_pages = set(rng.sample(range(1, len(pages)), min(len(pages) - 1, nunused // 2 + 1)))
        unused_images = set(rng.sample(range(len(images)), min(len(images), nunused // 2)))
        used_pages = [i for i in range(len(pages)) if i not in unused_pages]
        used_images = [i for i in range(len(images)) if i not in unused_images]

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
                    targets[i].append(("local", pages[rng.choice(used_pages)]))
                else:
                    targets[i].append(("image", images[rng.choice(used_images)]))
            rng.shuffle(targets[i])
        return targets

    def link_text(self, page, target):
        """A link from page to target in one of the styles that resolve."""
        rng = self.rng
        page_dir = page.rsplit("/", 1)[0] if "/" in page else ""
        text = "/" + target if rng.random() < 0.15 else relative(page_dir, target)
        text = escape(text, rng, raw_spaces=rng.random() < 0.25)
        if rng.random() < 0.2:
            text = mixed_case(text, rng)
        return text

    def broken_text(self, page, n):
        rng = self.rng
        page_dir = page.rsplit("/", 1)[0] if "/" in page else ""
        kind = rng.randrange(4)
        if kind == 0:  # a file that does not exist
            return f"missing-{n}.html" if rng.random() < 0.5 else f"/gone/{n}.html"
        if kind == 1:  # "./" is not special
            return "./" + relative(page_dir, rng.choice(self.pages))
        if kind == 2:  # no default page for a directory
            text = relative(page_dir, rng.choice(self.dirs) + "/x")[:-1]
            if text:  # empty for the page's own directory: a link without a value is no link
                return escape(text, rng, False)
        # the other extension of an existing page
        target = rng.choice(self.pages)
        other = target[:-1] if target.lower().endswith(".html") else target + "l"
        return escape(relative(page_dir, other), rng, False)

    def external_text(self, n):
        return self.rng.choice(EXTERNAL).format(w=self.rng.choice(WORDS), n=n)

    def write(self, out):
        rng = self.rng
        os.makedirs(out, exist_ok=True)
        if os.listdir(out):
            raise SystemExit(f"gen_site: {out} is not empty")
        for d in self.dirs:
            os.mkdir(os.path.join(out, d))
        for path in STYLE_SHEETS:
            with open(os.path.join(out, path), "w", newline="") as f:
                f.write("body { font-family: sans-serif; }\n")
        for path in SCRIPTS:
            with open(os.path.join(out, path), "w", newline="") as f:
                f.write("document.documentElement.className = 'js';\n")
        headers = (b"\x89PNG\r\n\x1a\n\x00\x00\x00\rIHDR", b"\xff\xd8\xff\xe0\x00\x10JFIF\x00",
                   b"GIF89a\x10\x00\x10\x00\xf7\x00\x00")
        for path in self.images:
            with open(os.path.join(out, path), "wb") as f:
                f.write(rng.choice(headers) + rng.randbytes(rng.randrange(64, 1024)))

        planned = self.plan_links()
        nbroken = nexternal = 0
        for i, page in enumerate(self.pages):
            page_dir = page.rsplit("/", 1)[0] if "/" in page else ""
            title = f"{rng.choice(WORDS).capitalize()} {i}" + (" — crème" if i % 7 == 0 else "")
            lines = ["<!DOCTYPE html>", "<html>", "<head>", '<meta charset="utf-8">',
                     f"<title>{title}</title>"]
            links = []

            def add(line, target, kind, url):
                lines.append(line)
                links.append((len(lines), target, kind, url))

            sheet = rng.choice(STYLE_SHEETS)
            add(f'<link rel="stylesheet" href="{relative(page_dir, sheet)}?v=3">', sheet, "local",
                None)
            if rng.random() < 0.5:
                script = rng.choice(SCRIPTS)
                add(f'<script src="{self.link_text(page, script)}"></script>', script, "local",
                    None)
            lines += ["</head>", "<body>", f"<h1>{title}</h1>"]
            for kind, target in planned[i]:
                if kind == "external":
                    nexternal += 1
                    url = self.external_text(nexternal)
                    reported = "http:" + url if url.startswith("//") else url
                    add(f'<p>See <a href="{url}">elsewhere</a>.</p>', None, "external", reported)
                elif kind == "broken":
                    nbroken += 1
                    url = self.broken_text(page, nbroken)
                    add(f'<p><a href="{url}">An old link</a></p>', None, "broken", decode(url))
                elif kind == "image":
                    add(f'<p><img src="{self.link_text(page, target)}" alt=""></p>', target,
                        "local", None)
                else:
                    text = self.link_text(page, target)
                    if rng.random() < 0.1:
                        text += "#part2"
                    tag = "A HREF" if rng.random() < 0.05 else 'a class="more" href'
                    add(f'<p>Read <{tag}="{text}">more</a> about {rng.choice(WORDS)}.</p>',
                        target, "local", None)
            lines += ["<p>Thank you for reading.</p>", "</body>", "</html>"]
            ending = rng.choice(LINE_ENDS)
            with open(os.path.join(out, page), "w", encoding="utf-8", newline="") as f:
                f.write(ending.join(lines) + ending)
            self.links[page] = links

    def truth(self):
        """The walk of the program, and what its reports hold."""
        pages = set(self.pages)
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
                if target in pages and target not in seen:
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
        files = self.pages + self.images + list(STYLE_SHEETS) + list(SCRIPTS)
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
    links = sum(len(v) for v in site.links.values())
    print(f"{out}: {args.pages} pages, {len(site.images)} images, {len(site.dirs)} directories, "
          f"{links} links ({links / args.pages:.1f} per page); {len(truth['walk_order'])} pages "
          f"reached, {sum(len(v) for v in truth['broken_links'].values())} broken links, "
          f"{len(truth['unused_files'])} unused files, {len(truth['external_unique'])} external "
          f"URLs; the walk nests {site.max_depth} pages deep; truth in {out}.truth.json; "
          f"{time.monotonic() - start:.1f} s", file=sys.stderr)


if __name__ == "__main__":
    main()
