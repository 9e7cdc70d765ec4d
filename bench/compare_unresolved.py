#!/usr/bin/env python3
"""Compares the unresolved local links of a Tessary report with the broken local links that
LinkChecker found on the same tree (its CSV output, run with --verbose so every URL is listed).

LinkChecker lists each distinct URL once, so the comparison is between the sets of link
targets (absolute paths, without fragment or query). Each difference is classified by the rule
of Tessary that explains it; anything unexplained is printed as such.

usage: compare_unresolved.py REPORT LINKCHECKER_CSV SITE_DIR
"""
import codecs
import csv
import os
import re
import sys
import urllib.parse


def our_unresolved(report_path, site):
    """(target path, file, link text) of every unresolved local link in the report."""
    out = []
    text = open(report_path, encoding="utf-8", errors="replace").read()
    section = text.split("UNRESOLVED LOCAL LINKS:", 1)[1].split("\n\n\n\n", 1)[0]
    current = None
    for line in section.splitlines():
        m = re.match(r'In file "(.*)"$', line)
        if m:
            current = m.group(1)
            continue
        m = re.match(r"   line +\d+: (.*)$", line)
        if m and current:
            url = m.group(1)
            path = url.split(":", 1)[1] if ":" in url else url
            if path.startswith("/"):
                target = site + path
            else:
                target = os.path.join(os.path.dirname(current), path)
            out.append((os.path.normpath(target) + ("/" if path.endswith("/") else ""),
                        current, url))
    return out


def their_broken(csv_path):
    """(target path, parent, url as written) of every invalid file: URL."""
    out = []
    with open(csv_path, encoding="utf-8", errors="replace") as f:
        rows = [l for l in f if not l.startswith("#")]
    for row in csv.DictReader(rows, delimiter=";"):
        if row["valid"] != "False" or not row["url"].startswith("file:"):
            continue
        path = urllib.parse.unquote(urllib.parse.urlsplit(row["url"]).path)
        out.append((os.path.normpath(path), row["parentname"], row["urlname"], row["result"]))
    return out


def unreached_pages(report_path):
    """The files the report lists as unused (empty when that section was not asked for)."""
    text = open(report_path, encoding="utf-8", errors="replace").read()
    if "NOT USED IN THE SITE HIERARCHY:" not in text:
        return set()
    section = text.split("NOT USED IN THE SITE HIERARCHY:", 1)[1].split("\n\n\n\n", 1)[0]
    return {l.strip() for l in section.splitlines()[1:] if l.startswith("/")}


def binary_page(path):
    """True when the scan classifies the page as binary: a byte of 128 or more in its first
    block that is not part of valid UTF-8 (a sequence cut off by the block's end is valid)."""
    try:
        block = open(path, "rb").read(512)
    except OSError:
        return False
    if all(b < 128 for b in block):
        return False
    try:
        codecs.getincrementaldecoder("utf-8")().decode(block, final=False)
        return False
    except UnicodeDecodeError:
        return True


def exists_ignoring_case(path):
    parts = path.strip("/").split("/")
    cur = "/"
    for p in parts:
        try:
            names = os.listdir(cur)
        except OSError:
            return False
        match = [n for n in names if n.lower() == p.lower()]
        if not match:
            return False
        cur = os.path.join(cur, match[0])
    return True


def main():
    report, lc, site = sys.argv[1], sys.argv[2], os.path.normpath(sys.argv[3])
    ours = our_unresolved(report, site)
    unreached = unreached_pages(report)
    theirs = their_broken(lc)
    their_pages = set()
    with open(lc, encoding="utf-8", errors="replace") as f:
        for row in csv.DictReader([l for l in f if not l.startswith("#")], delimiter=";"):
            for url in (row["parentname"], row["url"]):
                if url.startswith("file:"):
                    their_pages.add(urllib.parse.unquote(urllib.parse.urlsplit(url).path))
    our_targets = {t.rstrip("/") for t, _, _ in ours}
    their_targets = {t for t, _, _, _ in theirs}
    print(f"Tessary: {len(ours)} unresolved local links to {len(our_targets)} distinct targets")
    print(f"LinkChecker: {len(theirs)} broken local URLs to {len(their_targets)} distinct targets")
    print(f"common targets: {len(our_targets & their_targets)}")
    unexplained = 0
    reasons = {}
    for target, file, url in ours:
        key = target.rstrip("/")
        if key in their_targets:
            continue
        if file not in their_pages:
            why = ("on a page LinkChecker never opens: every link to it names it in another case "
                   "(or through another rule above)")
        elif not key.startswith(site + "/"):
            why = "the link leaves the site: LinkChecker only checks the syntax of such links"
        elif url.startswith("/"):
            why = ("a root-absolute link starts at the site's top directory; on file: URLs "
                   "LinkChecker takes it from the file system's root and only checks its syntax")
        elif url.endswith("/") or os.path.isdir(key):
            why = "a link to a directory does not resolve"
        elif "/./" in "/" + url or url.startswith("./"):
            why = '"./" is not special'
        elif ":" in url.split("/")[0]:
            why = "a local link with a scheme of its own (resolves to nothing locally)"
        else:
            why = None
        if why is None:
            unexplained += 1
            print(f"  UNEXPLAINED (Tessary only): {file}: {url}")
        reasons[why] = reasons.get(why, 0) + 1
    for target, parent, url, result in theirs:
        if target in our_targets:
            continue
        page = urllib.parse.unquote(urllib.parse.urlsplit(parent).path)
        if exists_ignoring_case(target):
            why = "resolution ignores case"
        elif binary_page(page):
            why = "on a page that is not UTF-8 text (classified binary, so never parsed)"
        elif page in unreached:
            why = "on a page Tessary does not reach (every link to it is one it does not resolve)"
        else:
            why = None
        if why is None:
            unexplained += 1
            print(f"  UNEXPLAINED (LinkChecker only): {parent}: {url}: {result}")
        reasons[why] = reasons.get(why, 0) + 1
    for why, n in sorted(reasons.items(), key=lambda kv: str(kv[0])):
        if why:
            print(f"  explained: {n} x {why}")
    print(f"unexplained differences: {unexplained}")
    return 1 if unexplained else 0


if __name__ == "__main__":
    sys.exit(main())
