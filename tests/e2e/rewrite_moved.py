#!/usr/bin/env python3
"""tessary-cli --check-external --rewrite-moved against a local server, end to end: links to a
URL that moved permanently get the new address in every form a page writes them (quoted,
unquoted, with a query written with &amp;, with a fragment, without a scheme, in a refresh),
in the same run as a rename that changes the length of an earlier link on the same line; a
URL in CSS is left as written and said so; a refusal without --yes changes nothing; undo
gives back every byte and name.

Usage: rewrite_moved.py TESSARY_CLI    (exits 0 pass, 1 fail)"""
import json
import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from http_fixture import Server  # noqa: E402

CLI = os.path.abspath(sys.argv[1])
failures = []


def check(ok, what):
    if not ok:
        failures.append(what)


def tree(top):
    """Every file under top, by relative path, with its bytes."""
    out = {}
    for d, _, files in os.walk(top):
        for f in files:
            p = os.path.join(d, f)
            with open(p, "rb") as fh:
                out[os.path.relpath(p, top)] = fh.read()
    return out


def run(args, work):
    env = dict(os.environ, XDG_STATE_HOME=os.path.join(work, "state"),
               XDG_CACHE_HOME=os.path.join(work, "cache"))
    for proxy in ("http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY", "ALL_PROXY"):
        env.pop(proxy, None)
    return subprocess.run([CLI] + args, env=env, stdin=subprocess.DEVNULL,
                          capture_output=True, timeout=120)


def main():
    with tempfile.TemporaryDirectory() as work, Server() as server:
        base = server.base
        bare = base[len("http:"):]
        site = os.path.join(work, "site")
        os.mkdir(site)
        index = (
            f'<html><head><meta http-equiv="refresh" content="30; url={base}/moved"></head>\n'
            f'<body><a href="My Long Page.html">local</a> <a href="{base}/moved">abs</a>\n'
            f"<a href='{base}/moved?x=1&amp;y=2#part'>query</a> <a href=\"{bare}/moved\">bare</a>\n"
            f'<a href={base}/moved>unquoted</a> <div style="background: url({base}/moved)">css</div>\n'
            f'<a href="{base}/ok">stays</a> <a href="{base}/found">temporary</a>\n'
            "</body></html>\n")
        with open(os.path.join(site, "index.html"), "w") as f:
            f.write(index)
        with open(os.path.join(site, "My Long Page.html"), "w") as f:
            f.write(f'<html><body><a href="index.html">home</a> <a href="{base}/moved">again</a>'
                    "</body></html>\n")
        before = tree(site)

        # Without a terminal and without --yes nothing may change.
        r = run([site, "--check-external", "--rewrite-moved"], work)
        check(r.returncode == 2, f"refusal without --yes: status {r.returncode}")
        check(tree(site) == before, "a refused run changed the tree")
        r = run([site, "--rewrite-moved"], work)
        check(r.returncode == 2 and b"--check-external" in r.stderr,
              f"--rewrite-moved alone: {r.returncode} {r.stderr!r}")

        r = run([site, "--check-external", "--rewrite-moved", "--target", "dos", "--rename",
                 "--yes", "--no-unused", "--format", "json"], work)
        check(r.returncode in (0, 1), f"rewrite run: status {r.returncode}: {r.stderr!r}")
        report = json.loads(r.stdout)
        moved = [f for f in report["findings"] if f["kind"] == "external-url-moved"]
        check(len(moved) == 7 and all(f["newName"] == f"{base}/ok" and
                                    f["message"] == "moved permanently" for f in moved),
              f"moved findings: {moved}")
        check(not any(f["kind"] == "external-url-moved" and f["link"].endswith("/found")
                      for f in report["findings"]), "a temporary redirect was called moved")
        after = tree(site)
        check(sorted(after) == ["INDEX.HTM", "MYLONGPA.HTM", "report_of_external_refs.htm"],
              f"names after the run: {sorted(after)}")
        ok = f"{base}/ok"
        want = (
            f'<html><head><meta http-equiv="refresh" content="30; url={ok}"></head>\n'
            f'<body><a href="MYLONGPA.HTM">local</a> <a href="{ok}">abs</a>\n'
            f"<a href='{ok}#part'>query</a> <a href=\"{ok}\">bare</a>\n"
            f'<a href={ok}>unquoted</a> <div style="background: url({base}/moved)">css</div>\n'
            f'<a href="{base}/ok">stays</a> <a href="{base}/found">temporary</a>\n'
            "</body></html>\n")
        got = after.get("INDEX.HTM", b"").decode()
        check(got == want, f"INDEX.HTM after the run:\n{got}\nwanted:\n{want}")
        check(after.get("MYLONGPA.HTM", b"").decode() ==
              f'<html><body><a href="INDEX.HTM">home</a> <a href="{ok}">again</a>'
              "</body></html>\n", f"MYLONGPA.HTM: {after.get('MYLONGPA.HTM')!r}")

        text = run([site, "--check-external", "--no-cache"], work).stdout.decode()
        check("left as written" not in text, "a second run found links left")
        check(f"{base}/moved\n" not in text.split("EXTERNAL URL REFERENCES:")[-1],
              "the moved URL is still referenced")

        r = run(["--undo", site, "--yes"], work)
        check(r.returncode == 0, f"undo: status {r.returncode}: {r.stderr!r}")
        restored = tree(site)
        restored.pop("report_of_external_refs.htm", None)
        check(restored == before, "undo did not give back every byte and name")

    for f in failures:
        print("FAIL", f)
    print("rewrite moved:", "ok" if not failures else f"{len(failures)} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
