#!/usr/bin/env python3
"""Compares the broken local links another link checker found on a gen_site.py site with the
generator's findings (SITEDIR.truth.json), by the files the links point to.

    bench/tool_vs_truth.py TOOL OUTPUT SITEDIR [RUN_DIR]

TOOL is linkchecker (its CSV output, --verbose), linkinator (--format json), check-html-links
(its standard error) or hyperlink (its TAP output). RUN_DIR is the directory the tool ran in, for
tools that print paths relative to it (default: the parent of SITEDIR).

The findings follow Tessary's rules (names resolve without regard to case, a link to a directory
leads to its index page, and one to a directory without an index page, to a file written with a
trailing "/" or above the top directory does not resolve), which a checker for case-sensitive
web servers does not share. So every difference is put down to the rule that explains it, and
the rest is counted as unexplained. Prints one summary line, then the details.
"""

import csv
import json
import os
import re
import sys
import urllib.parse

from compare_unresolved import exists_ignoring_case


def norm(path):
    return os.path.normpath(path)


def truth_targets(site):
    """The files the generator's broken links point to, resolved as a browser does: target ->
    (the link as written, the pages that hold it)."""
    truth = json.load(open(site + ".truth.json", encoding="utf-8"))
    out = {}
    for page, links in truth["broken_links"].items():
        page_dir = os.path.dirname(os.path.join(site, page))
        for link in links:
            url = link["url"]
            if re.match(r"^[a-zA-Z][a-zA-Z0-9+.-]*:", url):
                url = url.split(":", 1)[1]
            target = site + url if url.startswith("/") else os.path.join(page_dir, url)
            entry = out.setdefault(norm(target), (url, set(), set()))
            entry[1].add(os.path.join(site, page))
            entry[2].add((os.path.join(site, page), link["line"]))
    return out


def form_of(page, line):
    """Where a link stands, from its line (the generator writes one tag a line): "style" for
    url() and @import in a style attribute, a style element or a style sheet, else the tag and
    attribute, such as "img srcset"."""
    if page.lower().endswith(".css"):
        return "style"
    with open(page, "rb") as f:
        text = f.read().decode("utf-8", "replace")
    lines = re.split(r"\r\n|\r|\n", text)
    here = lines[line - 1] if 0 < line <= len(lines) else ""
    if "url(" in here or "@import" in here:
        return "style"
    for m in re.finditer(r"<([a-zA-Z]+)([^>]*)>?", here):
        a = re.search(r"\s(href|src|srcset|imagesrcset|poster|cite|formaction|xlink:href|"
                      r"background|content)\s*=", m.group(2), re.IGNORECASE)
        if a:
            attr = a.group(1).lower()
            return m.group(1).lower() + ("" if attr in ("href", "src") else " " + attr)
    return "?"


# The link forms each checker reads: a link that stands only in others it cannot miss.
READS = {
    "check-html-links": {"a", "link", "img", "script", "source", "iframe"},
    "linkinator": {"a", "link", "img", "script", "source", "iframe", "img srcset",
                   "source srcset", "meta content", "video poster"},
    "linkchecker": {"a", "link", "img", "script", "iframe", "meta content", "style",
                    "img srcset", "source srcset", "blockquote cite", "q cite",
                    "video poster", "td background", "table background"},
    "hyperlink": {"a", "link", "img", "script", "source", "iframe", "img srcset",
                  "source srcset", "style", "meta content", "video poster"},
}


# The href or src of the tags that lead to pages, in any quote style.
TAG = re.compile(r"<(a|img|link|script)\s[^>]*?\b(href|src)=(?:\"([^\"]*)\"|'([^']*)'|([^\s>]+))",
                 re.IGNORECASE)


def reached_exactly(site):
    """The pages a checker reaches from the home page when names must match in case."""
    seen, stack = set(), [os.path.join(site, "index.html")]
    while stack:
        page = stack.pop()
        if page in seen or not os.path.isfile(page):
            continue
        seen.add(page)
        text = open(page, "rb").read().decode("utf-8", "replace")
        for m in TAG.finditer(text):
            url = next(g for g in m.groups()[2:] if g is not None)
            if re.match(r"^[a-zA-Z][a-zA-Z0-9+.-]*:", url) or url.startswith("//"):
                continue
            url = urllib.parse.unquote(url.split("#")[0].split("?")[0])
            target = norm(site + url if url.startswith("/") else
                          os.path.join(os.path.dirname(page), url))
            if os.path.isdir(target):
                target = os.path.join(target, "index.html")
            if target.lower().endswith((".htm", ".html")):
                stack.append(target)
    return seen


def from_linkchecker(path, site, run_dir):
    rows = [l for l in open(path, encoding="utf-8", errors="replace") if not l.startswith("#")]
    out = set()
    for row in csv.DictReader(rows, delimiter=";"):
        if row["valid"] == "False" and row["url"].startswith("file:"):
            out.add(norm(urllib.parse.unquote(urllib.parse.urlsplit(row["url"]).path)))
    return out


def from_linkinator(path, site, run_dir):
    out = set()
    for link in json.load(open(path, encoding="utf-8"))["links"]:
        if link["state"] != "BROKEN" or re.match(r"^[a-z]+:", link["url"]):
            continue
        out.add(norm(os.path.join(run_dir, urllib.parse.unquote(link["url"]))))
    return out


def from_check_html_links(path, site, run_dir):
    out = set()
    for line in open(path, encoding="utf-8", errors="replace"):
        m = re.match(r"\s+\d+\. missing (?:file|reference target) (.*)$", line)
        if m:
            out.add(norm(os.path.join(run_dir, urllib.parse.unquote(m.group(1).strip()))))
    return out


def from_hyperlink(path, site, run_dir):
    out = set()
    for line in open(path, encoding="utf-8", errors="replace"):
        m = re.match(r"not ok \d+ load (.*)$", line)
        if m and not re.match(r"^[a-z]+:", m.group(1)):
            out.add(norm(os.path.join(run_dir, urllib.parse.unquote(m.group(1).strip()))))
    return out


# A quoted value, a url(...) or an unquoted attribute value: where a page names a file.
VALUE = re.compile(r'"([^"]*)"|\'([^\']*)\'|\(([^()]*)\)|=([^\s>"\']+)')


def one_level_down(site, target):
    """True when the target exists one directory further down than written: a link of a
    directory's index page served at the directory's address without its trailing "/", where
    relative links resolve one level up."""
    parts = os.path.relpath(target, site).split(os.sep)
    for i in range(len(parts)):
        here = os.path.join(site, *parts[:i])
        if not os.path.isdir(here):
            break
        for sub in os.listdir(here):
            if os.path.isdir(os.path.join(here, sub)) and \
                    exists_ignoring_case(os.path.join(here, sub, *parts[i:])):
                return True
    return False


def names_in(pages):
    """The last components of every value the pages hold, as written and decoded: read once,
    so that asking about each of tens of thousands of targets costs a look-up."""
    out = set()
    for path in pages:
        if not path.lower().endswith((".htm", ".html")) or not os.path.isfile(path):
            continue
        text = open(path, "rb").read().decode("utf-8", "replace")
        for m in VALUE.finditer(text):
            value = next(g for g in m.groups() if g is not None)
            for piece in [value] + re.split(r"[\s,]+", value):
                piece = piece.split("#")[0].split("?")[0]
                for form in (piece, urllib.parse.unquote(piece)):
                    out.add(form.rstrip("/").rsplit("/", 1)[-1])
    return out


def main():
    tool, output, site = sys.argv[1], sys.argv[2], norm(os.path.abspath(sys.argv[3]))
    run_dir = os.path.abspath(sys.argv[4]) if len(sys.argv) > 4 else os.path.dirname(site)
    parse = {"linkchecker": from_linkchecker, "linkinator": from_linkinator,
             "check-html-links": from_check_html_links, "hyperlink": from_hyperlink}[tool]
    theirs = parse(output, site, run_dir)
    truth = truth_targets(site)
    reached = reached_exactly(site)
    walked = {os.path.join(site, p) for p in
              json.load(open(site + ".truth.json", encoding="utf-8"))["walk_order"]}
    walked_names = None
    # Where a server that stops ".." at its root finds the links that climb above the top.
    clamped = {norm(os.path.join(site, re.sub(r"^(\.\./)+", "", os.path.relpath(t, site))))
               for t in truth if not t.startswith(site + "/")}
    reasons, unexplained = {}, []
    for target, (url, pages, places) in truth.items():
        if target in theirs:
            continue
        if os.path.isdir(target):
            why = "missed: a link to a directory without an index page (a server may list it)"
        elif os.path.exists(target) or (url.endswith("/") and exists_ignoring_case(target)):
            why = 'missed: a file written with a trailing "/" (a server may serve the file)'
        elif not target.startswith(site + "/"):
            why = "missed: a link above the top directory (it leaves the site)"
        elif url.startswith("/") and tool == "linkchecker":
            why = "missed: a root-absolute link (file: URLs start it at the file system's root)"
        elif tool == "check-html-links" and not any(p.endswith(".html") for p in pages):
            why = "missed: on a page not named *.html (the only pages it reads)"
        elif not pages & reached:
            why = "missed: on a page reached only through links in another case"
        elif {norm(p) for p in pages} <= theirs:
            why = "missed: on a page it reports as broken itself (it could not load it)"
        elif not (forms := {form_of(page, line) for page, line in places}) & READS[tool]:
            why = "missed: only in " + ", ".join(sorted(forms)) + " (links it does not read)"
        else:
            why = None
            unexplained.append("missed " + target)
        reasons[why] = reasons.get(why, 0) + 1
    for target in sorted(theirs - set(truth)):
        if exists_ignoring_case(target):
            why = "extra: names an existing file in another case (a case-sensitive server fails it)"
        elif not target.startswith(site + "/"):
            why = "extra: outside the site (a root-absolute link, from the file system's root)"
        elif target in clamped:
            why = "extra: a link above the top directory, which a server reads from its root"
        elif one_level_down(site, target):
            why = ('extra: on an index page it took at its directory\'s address without the "/" '
                   "(its relative links resolve one level up)")
        elif os.path.basename(target) == "index.html" and os.path.isdir(os.path.dirname(target)):
            why = "extra: a link to a directory without an index page"
        elif os.path.basename(target) == "index.html" and os.path.isfile(os.path.dirname(target)):
            why = 'extra: a file written with a trailing "/" (it looks for an index page in it)'
        elif os.path.basename(target) == "index.html" and \
                exists_ignoring_case(os.path.dirname(target)):
            why = "extra: names an existing file in another case (a case-sensitive server fails it)"
        elif re.search(r"/[A-Za-z][A-Za-z0-9+.-]*:/", target[len(site):]):
            why = "extra: an absolute URL whose scheme is not in lower case, read as a path"
        elif os.path.basename(target) not in (
                walked_names := walked_names if walked_names is not None else names_in(walked)):
            why = "extra: on a page the program's walk does not pass"
        else:
            why = None
            unexplained.append("extra " + target)
        reasons[why] = reasons.get(why, 0) + 1
    found = len(set(truth) & theirs)
    agree = found == len(truth) and not (theirs - set(truth))
    verdict = "agrees" if agree else (
        "differs only where the rules differ" if not unexplained else
        f"{len(unexplained)} unexplained differences")
    print(f"{tool}: {len(theirs)} broken targets, truth {len(truth)}, both {found}: {verdict}")
    for why, n in sorted(reasons.items(), key=lambda kv: str(kv[0])):
        if why:
            print(f"  {n} x {why}")
    for u in unexplained[:20]:
        print(f"  UNEXPLAINED: {u}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
