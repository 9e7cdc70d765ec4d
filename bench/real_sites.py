#!/usr/bin/env python3
"""Figures on real shipped documentation trees, run by hand (not in CTest).

For each tree: copy it (symbolic links that point outside the tree are copied as files, those
inside stay links; .gz files stay compressed as shipped), crawl the copy with headless Chromium
from a case-sensitive server, rename it for DOS with Windows Web extensions and link updating,
crawl again, undo, and compare the tree with the copy made first. Prints a table and, per tree,
the first few differences with the evidence.

Usage: bench/real_sites.py [--cli build/tessary-cli] [--max-pages N] [--only NAME,...] [--keep]
Needs chromium, python3-websocket, mkdocs, and the doc packages python3-doc, sphinx-doc,
apache2-doc, libcommons-lang3-java-doc (a missing tree is left out)."""
import argparse
import collections
import glob
import os
import posixpath
import re
import shutil
import signal
import sys
import tempfile
import time
import urllib.parse

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))
import harness  # noqa: E402
import sites  # noqa: E402

RUN_ARGS = ["--target", "dos", "--web-ext", "windows", "--rename", "--yes", "--home",
            "index.html", "--read-only", "skip"]
EXTERNAL_PAGE = "report_of_external_refs.htm"
REF_RE = re.compile(rb"""(?:href|src|url)\s*(?:=|\()\s*["']?([^"'\s)>]+)""", re.I)
SRCSET_RE = re.compile(rb"""srcset\s*=\s*["']([^"']+)["']""", re.I)


def shipped_trees():
    trees = []
    py = sorted(glob.glob("/usr/share/doc/python3*/html/index.html"))
    if py:
        trees.append(("python3-doc", os.path.realpath(os.path.dirname(py[0]))))
    for name, path in (("sphinx-doc", "/usr/share/doc/sphinx-doc/html"),
                       ("apache2-doc", "/usr/share/doc/apache2-doc/manual"),
                       ("commons-lang3-doc", "/usr/share/doc/libcommons-lang3-java/api")):
        if os.path.isfile(os.path.join(path, "index.html")):
            trees.append((name, path))
    return trees


def referenced_basenames(root):
    """Lower-cased basenames of everything some page or style sheet of the tree names."""
    names = set()
    for dirpath, _, files in os.walk(root):
        for f in files:
            if not f.lower().endswith((".html", ".htm", ".css", ".xhtml")):
                continue
            try:
                data = open(os.path.join(dirpath, f), "rb").read()
            except OSError:
                continue
            refs = REF_RE.findall(data)
            for s in SRCSET_RE.findall(data):
                refs += [c.strip().split(b" ")[0] for c in s.split(b",")]
            for r in refs:
                r = r.split(b"#")[0].split(b"?")[0]
                base = urllib.parse.unquote(r.decode("utf-8", "replace")).rsplit("/", 1)[-1]
                if base:
                    names.add(base.lower())
    return names


def why_failed(copy, rn, res):
    """A short reason for a request that fails after the run."""
    if res.endswith("/index.html") or res == "index.html":
        d = posixpath.dirname(res)
        if os.path.isdir(os.path.join(copy, d)):
            return "directory URL; its index.html is now %s" % ", ".join(
                n for n in os.listdir(os.path.join(copy, d)) if n.lower().startswith("index")) or "?"
    # The directories were renamed and the link followed them (or the link sits in a renamed
    # style sheet and is relative to it); the file under its old name is what was not rewritten.
    old = posixpath.join(rn.backward(posixpath.dirname(res)), posixpath.basename(res))
    new = rn.forward(old)
    if new != res and os.path.lexists(os.path.join(copy, new)):
        return "link not rewritten: %s is now %s" % (old, new)
    if old != res:
        return "names the new path of %s, which does not exist" % old
    full = os.path.join(copy, res)
    if os.path.islink(full) and not os.path.exists(full):
        return "dangling symbolic link -> %s" % os.readlink(full)
    low = {p.lower(): p for p in _all_paths(copy)}
    if res.lower() in low:
        return "case differs from %s" % low[res.lower()]
    return "no such file"


_paths_cache = {}


def _all_paths(root):
    if root not in _paths_cache:
        out = []
        for dirpath, dirs, files in os.walk(root):
            for n in dirs + files:
                out.append(os.path.relpath(os.path.join(dirpath, n), root))
        _paths_cache[root] = out
    return _paths_cache[root]


def run_site(browser, cli, name, source, work, args):
    t0 = time.time()
    copy = os.path.join(work, "run", name)
    harness.copy_tree(source, copy)
    tree_before = harness.snapshot(copy)
    crawl_args = dict(scales=(1, 2), max_pages=args.max_pages, all_scales_everywhere=False,
                      cache=True, page_timeout=5.0)
    with harness.StaticServer(copy) as server:
        before = harness.crawl(browser, server.root_url, "index.html", **crawl_args)
    refs = referenced_basenames(copy)
    t_run = time.time()
    run = harness.CliRun(cli, [copy] + RUN_ARGS, os.path.join(work, name + ".report"))
    row = {"name": name, "pages": len(before.pages), "before": len(before.failures),
           "after": "-", "undo": "-", "unres": "-", "unres_failed": "-", "unres_loaded": "-",
           "unused": "-", "unused_ref": "-", "notes": []}
    try:
        if not run.question_seen:
            row["notes"].append("no undo offered; status %s: %s"
                                % (run.proc.poll(), run.terminal_text()[-500:]))
            return row
        run_time = time.time() - t_run
        report = run.report()
        rn = harness.Renames(harness.renames(report, copy))
        home = rn.forward("index.html")
        with harness.StaticServer(copy) as server:
            after = harness.crawl(browser, server.root_url, home, **crawl_args)
        row["after"] = len(after.failures)
        row["pages_after"] = len(after.pages)

        expected = collections.Counter((rn.forward(p), posixpath.basename(rn.forward(r)).lower())
                                       for p, r, _, _ in before.failures)
        seen, added = collections.Counter(), []
        for p, r, kind, what in after.failures:
            key = (p, posixpath.basename(r).lower())
            seen[key] += 1
            if seen[key] > expected[key]:
                added.append((p, r, kind, what))
        row["added"] = len(added)
        reasons = collections.Counter(why_failed(copy, rn, r).split(";")[0].split(":")[0]
                                      for _, r, _, _ in added)
        for reason, n in reasons.most_common(5):
            row["notes"].append("%5d added failures: %s" % (n, reason))
        for p, r, kind, what in added[:5]:
            row["notes"].append("added: %s asked for %s (%s, %s): %s"
                                % (p, r, kind, what, why_failed(copy, rn, r)))

        unres = harness.unresolved_links(report, copy)
        failed_before = {r for _, r, _, _ in before.failures}
        loaded, failed, unknown = [], 0, 0
        for page, link in unres:
            target = harness.resolve_link(rn.backward(page), link)
            if target in failed_before:
                failed += 1
            elif target in before.loaded:
                loaded.append((page, link, target))
            else:
                unknown += 1
        row["unres"], row["unres_failed"], row["unres_loaded"] = len(unres), failed, len(loaded)
        for page, link, target in loaded[:5]:
            row["notes"].append('unresolved in the report, loaded by the browser: "%s" in %s (%s)'
                                % (link, page, target))

        unused = harness.unused_files(report, copy)
        used = [u for u in unused if posixpath.basename(rn.backward(u)).lower() in refs]
        row["unused"], row["unused_ref"] = len(unused), len(used)
        for u in used[:5]:
            row["notes"].append("unused in the report, but a page or style sheet names %s: %s"
                                % (posixpath.basename(rn.backward(u)), u))
        row["notes"].append("pages %d before, %d after; all %.0f s (tessary-cli until its undo question %.0f s)"
                            % (len(before.pages), len(after.pages), time.time() - t0, run_time))
    finally:
        status = run.undo()
        row["notes"].append("exit status %s" % status)
    ignore = () if EXTERNAL_PAGE in tree_before else (EXTERNAL_PAGE,)
    diffs = harness.tree_differences(tree_before, harness.snapshot(copy), ignore)
    row["undo"] = "yes" if not diffs else "NO (%d)" % len(diffs)
    for d in diffs[:5]:
        row["notes"].append("undo: " + d)
    if EXTERNAL_PAGE not in tree_before and os.path.exists(os.path.join(copy, EXTERNAL_PAGE)):
        row["notes"].append("the run left %s in the top directory (not counted)" % EXTERNAL_PAGE)
    return row


COLS = [("tree", "name"), ("pages", "pages"), ("fail before", "before"),
        ("fail after", "after"), ("undo exact", "undo"), ("unresolved", "unres"),
        ("browser failed too", "unres_failed"), ("browser loaded", "unres_loaded"),
        ("unused", "unused"), ("unused but named", "unused_ref")]


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawTextHelpFormatter)
    ap.add_argument("--cli", default=os.path.join(HERE, "..", "build", "tessary-cli"))
    ap.add_argument("--max-pages", type=int, default=3000)
    ap.add_argument("--only", default="")
    ap.add_argument("--keep", action="store_true")
    args = ap.parse_args()
    # Stopped from outside: leave through the finally blocks (Chromium runs in its own session).
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    cli = os.path.abspath(args.cli)
    if not harness.find_chromium() or harness.need_websocket() is None:
        print("needs chromium and python3-websocket")
        return 2
    work = tempfile.mkdtemp(prefix="tessary_real_sites_")
    browser, rows = None, []
    try:
        trees = []
        if shutil.which("mkdocs"):
            mk = sites.build_mkdocs(work, os.path.join(work, "mkdocs-site"))
            trees += [("mkdocs", mk),
                      ("mkdocs-1252", sites.to_windows_1252(mk, os.path.join(work, "mkdocs-1252"))),
                      ("hand-made", sites.build_hand(os.path.join(work, "hand")))]
        trees += shipped_trees()
        if args.only:
            order = args.only.split(",")
            trees = sorted((t for t in trees if t[0] in order), key=lambda t: order.index(t[0]))
        browser = harness.Browser(work)
        print("| " + " | ".join(c for c, _ in COLS) + " |")
        print("|" + "---|" * len(COLS), flush=True)
        for name, source in trees:
            print("%s: %s" % (name, source), file=sys.stderr, flush=True)
            rows.append(run_site(browser, cli, name, source, work, args))
            # Each row as soon as it is known: a long run stopped early keeps its figures.
            print("| " + " | ".join(str(rows[-1].get(k, "-")) for _, k in COLS) + " |")
            print("\n".join("    " + n for n in rows[-1]["notes"]), flush=True)
    finally:
        if browser:
            browser.close()
        if args.keep:
            print("kept", work)
        else:
            shutil.rmtree(work, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
