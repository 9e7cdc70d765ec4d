#!/usr/bin/env python3
"""tessary-cli's machine-readable reports as a CI job reads them. A site with 13 missing
targets and 516 links to them, syntax errors, an unused file, a page whose name is not UTF-8
and one with a blank: the JSON report must validate against docs/report.schema.json, SARIF
against the SARIF 2.1.0 schema, JUnit must parse, every annotation must have the workflow
command form, and every finding's line and column must point at the link's text in the file.
A clean site holding .htaccess exits 0 in every format.
Usage: report_formats.py TESSARY_CLI SOURCE_DIR"""
import json
import os
import re
import subprocess
import sys
import tempfile
import urllib.parse
import xml.etree.ElementTree as ET

import jsonschema

CLI, SOURCE = sys.argv[1], sys.argv[2]
MISSING = [f"gone/missing{i:02d}.html" for i in range(13)]
PAGES = 12


def write(root, rel, data):
    path = os.path.join(root, os.fsdecode(rel) if isinstance(rel, bytes) else rel)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data if isinstance(data, bytes) else data.encode())


def broken_site(root):
    """516 links to 13 missing files over 12 pages; link k of page p names MISSING[(p+k) % 13]
    so that the groups have different sizes."""
    index = ['<html><body>\r\n']
    for p in range(PAGES):
        index.append(f'<a href="p{p}.html">page {p}</a>\r\n')
    index.append('<a href="with blank.html">blank</a> <a href="bad%FF.html">bad</a>\r\n')
    index.append('<b <i>bold</i>\r\n</body></html>\r\n')
    write(root, "index.html", "".join(index))
    total = 0
    for p in range(PAGES):
        count = 43
        lines = []
        for k in range(count):
            pad = " " * (k % 7)  # columns that differ from line to line
            lines.append(f'{pad}<p><a class="x" href="{MISSING[(p * 5 + k * k) % 13]}">x</a>\n')
        total += count
        write(root, f"p{p}.html", "".join(lines))
    write(root, "with blank.html", '<a href="index.html">home</a>\n')
    write(root, b"bad\xff.html", b'<a href="index.html">home</a><img src="pic.gif">\n')
    write(root, "unused.txt", "nobody links here\n")
    return total


def run(args, cwd):
    env = dict(os.environ, XDG_STATE_HOME=os.path.join(cwd, "state"))
    return subprocess.run([CLI] + args, cwd=cwd, env=env, capture_output=True, timeout=120)


def check(cond, what):
    if not cond:
        raise AssertionError(what)


def line_of(root, rel, line):
    with open(os.path.join(root, rel), "rb") as f:
        data = f.read()
    return re.split(rb"\r\n|\r|\n", data)[line - 1]


def check_json(work, site):
    r = run(["--format", "json", "site"], work)
    check(r.returncode == 1, f"json run exits {r.returncode}: {r.stderr}")
    doc = json.loads(r.stdout)
    with open(os.path.join(SOURCE, "docs/report.schema.json")) as f:
        jsonschema.Draft202012Validator(json.load(f)).validate(doc)
    check(doc["counts"]["broken-link"] == 516 + 1, f"broken links {doc['counts']}")
    groups = doc["missingTargets"]
    # 13 missing pages plus the one image of the page whose name is no UTF-8.
    check(len(groups) == 14, f"{len(groups)} groups")
    sizes = [g["links"] for g in groups]
    check(sizes == sorted(sizes, reverse=True), f"groups not most-referenced first: {sizes}")
    check(sum(sizes) == 517 and all(g["links"] == len(g["referrers"]) for g in groups), "sizes")
    check({g["target"] for g in groups} == set(MISSING) | {"pic.gif"}, "targets")
    # Every link finding points at its link's text: the column is where the URL begins.
    for f in doc["findings"]:
        if f["kind"] != "broken-link" or "\ufffd" in f["file"]:
            continue
        text = line_of(site, f["file"], f["line"])
        at = text[f["column"] - 1:]
        check(at.startswith(f["link"].encode()), f"{f} points at {at[:30]!r}")
    syntax = [f for f in doc["findings"] if f["kind"] == "syntax-error"]
    check(len(syntax) == 1 and syntax[0]["line"] == 15 and syntax[0]["column"] == 1, syntax)
    check(any(f["kind"] == "unused-file" and f["file"] == "unused.txt" for f in doc["findings"]),
          "unused file")
    # The name that is no UTF-8 reaches the report with U+FFFD, not as a failure.
    check(any(f["file"] == "bad\ufffd.html" for f in doc["findings"]), "bad name")
    return doc


def check_sarif(work, site, doc):
    r = run(["--format", "sarif", "site"], work)
    check(r.returncode == 1, f"sarif exits {r.returncode}")
    sarif = json.loads(r.stdout)
    with open(os.path.join(SOURCE, "tests/cli/schemas/sarif-2.1.0.json")) as f:
        jsonschema.Draft7Validator(json.load(f)).validate(sarif)
    results = sarif["runs"][0]["results"]
    wanted = [f for f in doc["findings"] if f["kind"] != "external-url"]
    check(len(results) == len(wanted), f"{len(results)} results for {len(wanted)} findings")
    base = sarif["runs"][0]["originalUriBaseIds"]["SITE"]["uri"]
    check(base == "file://" + urllib.parse.quote(site + "/"), base)
    for res in results:
        loc = res["locations"][0]["physicalLocation"]
        rel = urllib.parse.unquote(loc["artifactLocation"]["uri"], errors="surrogateescape")
        check(os.path.exists(os.path.join(site, rel)), f"SARIF names no file: {rel}")


def check_github(work):
    r = run(["--format", "github", "site"], work)
    check(r.returncode == 1, "github exit")
    form = re.compile(r"^::(error|warning|notice) file=[^,:]+(,line=\d+)?(,col=\d+)?"
                      r",title=[^:]+::.+$")
    lines = r.stdout.decode("utf-8", "replace").splitlines()
    check(lines and all(form.match(l) for l in lines), [l for l in lines if not form.match(l)][:3])
    # Files are named from the job's working directory, the checkout.
    check(any(l.startswith("::error file=site/p0.html,line=1,col=") for l in lines), lines[:3])


def check_junit(work, doc):
    r = run(["--format", "junit", "site"], work)
    check(r.returncode == 1, "junit exit")
    suite = ET.fromstring(r.stdout).find("testsuite")
    cases = {c.get("name"): c for c in suite.findall("testcase")}
    check(doc["counts"]["checked-pages"] == PAGES + 3, doc["counts"])
    check(all(f"p{p}.html" in cases for p in range(PAGES)), "a page has no test case")
    check(cases["with blank.html"].find("failure") is None, "a clean page fails")
    failure = cases["p3.html"].find("failure")
    check(failure is not None and failure.get("message") == "43 findings", "page failure")
    check(int(suite.get("failures")) == sum(c.find("failure") is not None for c in cases.values()),
          "failure count")


def check_markdown(work):
    r = run(["--format", "markdown", "site"], work)
    text = r.stdout.decode()
    rows = re.findall(r"^\| ` gone/missing\d\d\.html ` \| (\d+) \|$", text, re.M)
    check(len(rows) == 13 and "| Unresolved local links | 517 |" in text, text[:600])


def check_outputs(work):
    r = run(["--format", "json", "--report", "out.json", "site"], work)
    check(r.returncode == 1 and r.stdout == b"", "json to a file")
    with open(os.path.join(work, "out.json")) as f:
        check(json.load(f)["exitStatus"] == 1, "file report")
    r = run(["--format", "sarif", "--report", "/dev/full", "site"], work)
    check(r.returncode == 3 and b"No space left on device" in r.stderr, r.stderr)


def check_clean(work):
    clean = os.path.join(work, "clean")
    write(clean, "index.html", '<a href="a.html">a</a>\n')
    write(clean, "a.html", '<a href="index.html">home</a>\n')
    write(clean, ".htaccess", "Options -Indexes\n")
    for fmt in ["json", "sarif", "github", "markdown", "junit"]:
        r = run(["--format", fmt, "clean"], work)
        check(r.returncode == 0, f"clean site in {fmt} exits {r.returncode}: {r.stdout[:300]}")
    r = run(["--format", "github", "clean"], work)
    check(r.stdout == b"", r.stdout)


def check_fragments(work):
    """Fragments as a browser finds them: ids of any element, names of "a" elements only,
    character references and %XX decoded, "#top" and "#" always there; a link to a file that is
    no page is not judged. Off by default: no section, no finding."""
    site = os.path.join(work, "frag")
    write(site, "index.html",
          '<body id="main"><a name="old"></a><h2 id="a&amp;b">x</h2><p name="para">p</p>\n'
          '<a href="#main">1</a> <a href="#gone">2</a> <a href="#a&amp;b">3</a> <a href="#TOP">4</a>\n'
          '<a href="two.html#sec%201">5</a> <a href="two.html#Sec">6</a> <a href="#para">7</a>\n'
          '<a href="sub/#deep">8</a> <a href="sub/#nowhere">9</a> <img src="pic.gif#x"> <a href="#">10</a>\n')
    write(site, "two.html", '<h1 id="sec 1">S</h1><a href="index.html#a%26b">back</a>\n')
    write(site, "sub/index.html", '<div id="deep"></div><a href="../index.html#old">up</a>\n')
    write(site, "pic.gif", "GIF89a")
    r = run(["--check-fragments", "--format", "json", "frag"], work)
    doc = json.loads(r.stdout)
    broken = sorted((f["file"], f["line"], f["link"], f["target"])
                    for f in doc["findings"] if f["kind"] == "broken-fragment")
    check(r.returncode == 1 and broken == [
        ("index.html", 2, "#gone", "index.html"),
        ("index.html", 3, "#para", "index.html"),
        ("index.html", 3, "two.html#Sec", "two.html"),
        ("index.html", 4, "sub/#nowhere", "sub/index.html")], broken)
    r = run(["--check-fragments", "frag"], work)
    text = r.stdout.decode()
    check("UNRESOLVED FRAGMENTS:" in text and "   line    4: sub/#nowhere" in text, text)
    r = run(["frag"], work)
    check(r.returncode == 0 and b"FRAGMENTS" not in r.stdout, r.stdout[-300:])


def check_exclude(work):
    """--exclude: excluded entries keep their names and bytes through a renaming, converting
    run, their links are not read, they are never unused, and links to them still resolve."""
    site = os.path.join(work, "ex")
    write(site, "index.html", '<a href="drafts/Old Page.html">d</a> <a href="A B.html">a</a>\r\n')
    write(site, "drafts/Old Page.html", '<a href="missing.html">gone</a>\r\n')
    write(site, "drafts/Never Linked.txt", "x\r\n")
    write(site, "A B.html", '<a href="index.html">home</a> <a href="notes.bak">n</a>\r\n')
    write(site, "notes.bak", "kept\r\n")
    before = {rel: open(os.path.join(site, rel), "rb").read()
              for rel in ["drafts/Old Page.html", "drafts/Never Linked.txt", "notes.bak"]}
    args = ["--exclude", "drafts/", "--exclude", "*.bak", "--target", "dos"]
    r = run(args + ["--format", "json", "ex"], work)
    doc = json.loads(r.stdout)
    check(doc["settings"]["excluded"] == ["drafts/", "*.bak"], doc["settings"])
    named = {f["file"] for f in doc["findings"] if f["kind"] == "new-name"}
    check(named == {"index.html", "A B.html"}, named)
    check(not [f for f in doc["findings"] if f["kind"] in ("broken-link", "unused-file")],
          doc["findings"])
    r = run(args + ["--rename", "--line-ends", "unix", "--yes", "ex"], work)
    check(r.returncode == 0, r.stdout[-400:])
    for rel, data in before.items():
        with open(os.path.join(site, rel), "rb") as f:
            check(f.read() == data, f"{rel} changed")
    with open(os.path.join(site, "AB.HTM"), "rb") as f:
        check(f.read() == b'<a href="INDEX.HTM">home</a> <a href="notes.bak">n</a>\n', "rewrite")


def main():
    with tempfile.TemporaryDirectory() as work:
        site = os.path.join(work, "site")
        check(broken_site(site) == 516, "site")
        doc = check_json(work, site)
        check_sarif(work, site, doc)
        check_github(work)
        check_junit(work, doc)
        check_markdown(work)
        check_outputs(work)
        check_clean(work)
        check_fragments(work)
        check_exclude(work)
    print("report formats: ok")


if __name__ == "__main__":
    main()
