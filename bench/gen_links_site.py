#!/usr/bin/env python3
"""Generates a site for the link benchmarks: N HTML pages in sections of 100 (50 in the
section's directory, 50 in its sub/ directory), about ten links per page of every kind the
link engine meets (relative, "../", root-absolute, escaped, mixed-case, with fragments and
queries, images, style sheets, scripts, external), about 2 % of them broken, and about 1 % of
the files unused. The home page is index.html.

usage: gen_links_site.py OUTDIR --pages N [--seed S]
"""
import argparse
import os
import random

WORDS = ("lorem ipsum dolor sit amet consectetur adipiscing elit sed do eiusmod tempor "
         "incididunt ut labore et dolore magna aliqua enim ad minim veniam quis nostrud "
         "exercitation ullamco laboris nisi aliquip ex ea commodo consequat").split()

PNG = b"\x89PNG\r\n\x1a\n" + bytes(range(256)) * 4
GIF = b"GIF89a" + bytes(range(128, 256)) * 8


def page_name(i):
    # Every tenth page has a blank and capitals in its name: it must be linked escaped.
    return f"Page {i:03d}.html" if i % 10 == 7 else f"page{i:03d}.html"


def escaped(name):
    return name.replace(" ", "%20")


class Site:
    def __init__(self, out, pages, seed):
        self.out = out
        self.rand = random.Random(seed)
        self.sections = max(1, (pages + 99) // 100)
        self.per = min(100, pages)
        self.links = 0

    def path_of(self, sec, i):
        """Directory (relative to the top) and name of page i of a section."""
        d = f"sec{sec:03d}" + ("/sub" if i >= 50 else "")
        return d, page_name(i)

    def text(self, n):
        return " ".join(self.rand.choice(WORDS) for _ in range(n))

    def link_from(self, here_dir):
        """One link as it stands in a page of directory here_dir."""
        r = self.rand.random()
        depth = here_dir.count("/") + 1
        up = "../" * depth
        sec = self.rand.randrange(self.sections)
        i = self.rand.randrange(self.per)
        d, name = self.path_of(sec, i)
        if r < 0.02:
            return f'<a href="missing{self.rand.randrange(10**6)}.html">broken</a>'
        if r < 0.10:
            return f'<a href="http://example.com/ref/{self.rand.randrange(5000)}">external</a>'
        if r < 0.18:
            return f'<img src="{up}img/pic{self.rand.randrange(100):02d}.png" alt="">'
        if r < 0.22:
            return f'<img src="{up}img/photo{self.rand.randrange(50):02d}.gif" alt="">'
        if r < 0.40:
            return f'<a href="/{d}/{escaped(name)}">absolute</a>'
        if r < 0.50:
            # Mixed case: resolves on a case-insensitive look-up only.
            return f'<a href="{up}{d}/{escaped(name).upper()}">upper</a>'
        if r < 0.60:
            return f'<a href="{up}{d}/{escaped(name)}#part{self.rand.randrange(9)}">fragment</a>'
        return f'<a href="{up}{d}/{escaped(name)}">relative</a>'

    def write(self, rel, data):
        path = os.path.join(self.out, rel)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        mode = "wb" if isinstance(data, bytes) else "w"
        with open(path, mode) as f:
            f.write(data)

    def page(self, here_dir, title, links):
        depth = here_dir.count("/") + 1 if here_dir else 0
        up = "../" * depth
        lines = ["<!DOCTYPE html>", "<html>", "<head>", f"<title>{title}</title>",
                 '<link rel="stylesheet" href="/style.css?v=3">',
                 f'<script src="{up}js/site.js"></script>', "</head>", "<body>",
                 f"<h1>{title}</h1>", "<!-- navigation -->"]
        for link in links:
            lines.append(f"<p>{self.text(30)}")
            lines.append(f"{self.text(12)} {link} {self.text(8)}.</p>")
        lines += ["</body>", "</html>", ""]
        self.links += len(links)
        return "\n".join(lines)

    def generate(self):
        home = [f'<a href="sec{s:03d}/index.html">section {s}</a>' for s in range(self.sections)]
        self.write("index.html", self.page("", "Home", home))
        for s in range(self.sections):
            sec_dir = f"sec{s:03d}"
            index_links = []
            for i in range(self.per):
                d, name = self.path_of(s, i)
                rel = escaped(name) if d == sec_dir else "sub/" + escaped(name)
                index_links.append(f'<a href="{rel}">page {i}</a>')
            self.write(f"{sec_dir}/index.html", self.page(sec_dir, f"Section {s}", index_links))
            for i in range(self.per):
                d, name = self.path_of(s, i)
                links = [self.link_from(d) for _ in range(self.rand.randrange(6, 13))]
                self.write(f"{d}/{name}", self.page(d, f"Page {s}.{i}", links))
            # About 1 % of the files are never linked.
            self.write(f"{sec_dir}/orphan.html", self.page(sec_dir, "Orphan", []))
        for n in range(100):
            self.write(f"img/pic{n:02d}.png", PNG)
        for n in range(50):
            self.write(f"img/photo{n:02d}.gif", GIF)
        for n in range(self.sections // 2 + 1):
            self.write(f"img/unused{n:03d}.gif", GIF)
        self.write("style.css", "body { font-family: serif; }\n")
        self.write("js/site.js", "function go() {}\n")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("outdir")
    ap.add_argument("--pages", type=int, default=20000)
    ap.add_argument("--seed", type=int, default=1)
    args = ap.parse_args()
    site = Site(args.outdir, args.pages, args.seed)
    site.generate()
    print(f"{args.outdir}: {site.sections * (site.per + 2) + 1} pages, {site.links} links")


if __name__ == "__main__":
    main()
