#!/usr/bin/env python3
"""Real sites renamed for DOS with Windows Web extensions and link updating, checked by a real
browser: headless Chromium loads every page reachable from the home page (at device scale
factors 1 and 2, so that both srcset candidates are asked for) from a case-sensitive server,
before the run and after it. The run must not make any request fail that did not fail before,
must reach every page it reached before, undo must give the tree back byte for byte, and the
report must not call a local link unresolved that the browser loaded.

Usage: browser_links.py TESSARY_CLI [--keep]   (exit 77: chromium, mkdocs, iconv or the
python3 websocket module is missing)"""
import collections
import os
import posixpath
import shutil
import signal
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402
import sites  # noqa: E402

RUN_ARGS = ["--target", "dos", "--web-ext", "windows", "--rename", "--yes", "--home",
            "index.html", "--read-only", "skip"]
# The page of external URLs a run writes into the top directory; it is output, not the tree.
EXTERNAL_PAGE = "report_of_external_refs.htm"


def failure_key(page, resource):
    return (page, posixpath.basename(resource).lower())


def check_site(browser, cli, name, original, work):
    """The problems found with one site, each a line that says what failed where."""
    problems = []
    copy = os.path.join(work, "run", name)
    shutil.copytree(original, copy, symlinks=True)
    tree_before = harness.snapshot(copy)
    with harness.StaticServer(original) as server:
        before = harness.crawl(browser, server.root_url, "index.html")
    if len(before.pages) < 3:
        problems.append("%s: the original site has only %d pages reachable: %s"
                        % (name, len(before.pages), before.pages))

    run = harness.CliRun(cli, [copy] + RUN_ARGS, os.path.join(work, name + ".report"), timeout=60)
    try:
        if not run.question_seen:
            problems.append("%s: tessary-cli ended (status %s) without offering undo:\n%s"
                            % (name, run.proc.poll(), run.terminal_text()[-2000:]))
            return problems, before, None
        report = run.report()
        table = harness.renames(report, copy)
        rn = harness.Renames(table)
        if not table:
            problems.append("%s: the report lists no renamed file" % name)
        home = rn.forward("index.html")
        if not os.path.isfile(os.path.join(copy, home)):
            problems.append("%s: the home page is not at %s after the run" % (name, home))
        with harness.StaticServer(copy) as server:
            after = harness.crawl(browser, server.root_url, home)
    finally:
        status = run.undo(timeout=60)
    if status not in (0, 1):
        problems.append("%s: tessary-cli exited with status %d:\n%s"
                        % (name, status, run.terminal_text()[-2000:]))

    # The run adds no failing request: every failure after it was there before, with the page
    # and the resource named as the run renamed them.
    expected = collections.Counter(failure_key(rn.forward(p), rn.forward(r))
                                   for p, r, _, _ in before.failures)
    seen = collections.Counter()
    for page, res, kind, what in after.failures:
        key = failure_key(page, res)
        seen[key] += 1
        if seen[key] > expected[key]:
            problems.append("%s: after the run, %s asked for %s (%s) and got %s; it did not "
                            "fail before (page was %s)"
                            % (name, page, res, kind, what, rn.backward(page)))
    lost = [p for p in before.pages if rn.forward(p) not in set(after.pages)]
    for p in lost:
        problems.append("%s: page %s (now %s) was reached before the run, not after"
                        % (name, p, rn.forward(p)))

    # The report calls no link unresolved that the browser loaded before the run.
    for page, link in harness.unresolved_links(report, copy):
        old_page = rn.backward(page)
        target = harness.resolve_link(old_page, link)
        if target in before.loaded:
            problems.append('%s: the report calls "%s" in %s unresolved; the browser loaded '
                            "it (%s) from the original %s" % (name, link, page, target, old_page))

    tree_after = harness.snapshot(copy)
    ignore = () if EXTERNAL_PAGE in tree_before else (EXTERNAL_PAGE,)
    for d in harness.tree_differences(tree_before, tree_after, ignore):
        problems.append("%s: undo: %s" % (name, d))
    return problems, before, after


def main(argv):
    if len(argv) < 2:
        print(__doc__)
        return 2
    cli = os.path.abspath(argv[1])
    missing = [t for t in ("mkdocs", "iconv") if not shutil.which(t)]
    if not harness.find_chromium():
        missing.append("chromium")
    if harness.need_websocket() is None:
        missing.append("the python3 websocket module (python3-websocket)")
    if missing:
        print("SKIPPED: needs " + ", ".join(missing))
        return harness.SKIP

    # A CTest timeout sends SIGTERM: leave through the finally blocks, which stop Chromium
    # (its own session, so it would outlive this process) and the servers.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    started = time.time()
    work = tempfile.mkdtemp(prefix="tessary_browser_")
    # Journals of the runs stay in the work folder, never in the user's state directory.
    os.environ["XDG_STATE_HOME"] = os.path.join(work, "state")
    browser = None
    problems = []
    try:
        originals = os.path.join(work, "original")
        os.makedirs(originals)
        mk = sites.build_mkdocs(work, os.path.join(originals, "mkdocs"))
        site_list = [
            ("mkdocs", mk),
            ("mkdocs-windows-1252", sites.to_windows_1252(mk, os.path.join(originals, "mkdocs-1252"))),
            ("hand-made", sites.build_hand(os.path.join(originals, "hand"))),
            ("plain", sites.build_plain(os.path.join(originals, "plain"))),
        ]
        browser = harness.Browser(work)
        for name, original in site_list:
            found, before, after = check_site(browser, cli, name, original, work)
            print("%-20s pages %3d before, %3s after; failing requests %3d before, %3s after; "
                  "%d problems" % (name, len(before.pages),
                                   len(after.pages) if after else "-", len(before.failures),
                                   len(after.failures) if after else "-", len(found)))
            for line in before.failure_lines():
                print("    failing before the run: " + line)
            problems += found
    finally:
        if browser:
            browser.close()
        if "--keep" in argv:
            print("kept", work)
        else:
            shutil.rmtree(work, ignore_errors=True)
    # The second scale factor repeats a page's failures: each is told once, with its count.
    counted = collections.Counter(problems)
    for p in counted:
        print("FAIL " + p + (" (%d times)" % counted[p] if counted[p] > 1 else ""))
    print("%d problems in %.1f s" % (len(counted), time.time() - started))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
