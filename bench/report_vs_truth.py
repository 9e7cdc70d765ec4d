#!/usr/bin/env python3
"""Compares the report of a run on a site made by gen_site.py with the findings the generator
wrote beside it (SITEDIR.truth.json): the counts line, no syntax errors, the unresolved links of
every page and style sheet in walk order (a sheet has its own "In file" block), the unused files,
the external URLs of every page and sheet, and the external-URL page's links (first occurrences)
and repeats.

    bench/report_vs_truth.py REPORT SITEDIR

Prints which parts agree and exits with 1 when one does not.
"""

import html
import json
import os
import re
import sys


def section(text, heading):
    """The lines of a report section, between its heading block and the section gap."""
    start = text.index(heading + "\n")
    body = text[start:].split("\n", 2)[2]
    return body.split("\n\n\n\n", 1)[0].split("\n")


def per_file(lines, site):
    """{relative path: [{"line", "url"}]} in the order of the "In file" lines."""
    out, current = {}, None
    for line in lines:
        m = re.match(r'In file "(.*)"$', line)
        if m:
            current = os.path.relpath(m.group(1), site)
            out[current] = []
            continue
        m = re.match(r"   line +(\d+): (.*)$", line)
        if m and current is not None:
            out[current].append({"line": int(m.group(1)), "url": m.group(2)})
    return out


def main():
    report_path, site = sys.argv[1], os.path.normpath(sys.argv[2])
    truth = json.load(open(site + ".truth.json", encoding="utf-8"))
    text = open(report_path, encoding="utf-8", errors="surrogateescape").read()
    text = text.replace("\r\n", "\n")
    checks = []

    m = re.search(r"^(\d+) files in (\d+) directories$", text, re.M)
    counts = {"files": int(m.group(1)), "directories": int(m.group(2))} if m else None
    checks.append(("counts line", counts == truth["counts"]))

    # The generated pages are valid HTML: the section holds no line at all.
    syntax = text.split("HTML SYNTAX ERRORS:\n", 1)[1].split("\n", 1)[1].split("\n---", 1)[0]
    checks.append(("no syntax errors", syntax.strip() == ""))

    broken = per_file(section(text, "UNRESOLVED LOCAL LINKS:"), site)
    checks.append(("unresolved links, per page in walk order",
                   list(broken.items()) == list(truth["broken_links"].items())))

    unused = [os.path.relpath(l, site) for l in section(
        text, "THE FOLLOWING FILES WERE NOT USED IN THE SITE HIERARCHY:") if l.startswith("/")]
    checks.append(("unused files", unused == truth["unused_files"]))

    external = per_file(section(text, "EXTERNAL URL REFERENCES:"), site)
    checks.append(("external URLs, per page in walk order",
                   list(external.items()) == list(truth["external_urls"].items())))

    page = open(os.path.join(site, "report_of_external_refs.htm"), encoding="utf-8",
                errors="surrogateescape").read()
    linked = [html.unescape(h) for h in re.findall(r'<a href="([^"]*)">', page)]
    checks.append(("external-URL page: each URL a link once, in first-seen order",
                   linked == truth["external_unique"]))
    repeats = page.count(" (repeated above)<br>")
    total = sum(len(v) for v in truth["external_urls"].values())
    checks.append(("external-URL page: every later occurrence marked as repeated",
                   repeats == total - len(truth["external_unique"])))

    for name, ok in checks:
        print(f"  {'agrees' if ok else 'DIFFERS'}: {name}")
    return 0 if all(ok for _, ok in checks) else 1


if __name__ == "__main__":
    sys.exit(main())
