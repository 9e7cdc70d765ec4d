#!/usr/bin/env python3
"""Checks the names a dry run of name sanitising proposes for a tree: how many, and whether each
directory would still hold every entry under a name of its own.

    bench/names_check.py tessary REPORT TREE    # a report's "SUGGESTED NEW NAMES FOR FILES:"
    bench/names_check.py detox OUTPUT TREE      # detox -n -r TREE, standard error included

Tessary compares names without regard to case (so do Windows and macOS); detox works for a
case-sensitive file system, so its names are compared as they are. Prints one summary line.
"""

import os
import re
import sys


def proposals_tessary(path, tree):
    text = open(path, encoding="utf-8", errors="surrogateescape").read()
    section = text.split("SUGGESTED NEW NAMES FOR FILES:\n", 1)[1].split("\n", 1)[1]
    section = section.split("\n\n\n\n", 1)[0]
    out, refused = {}, 0
    for line in section.split("\n"):
        at = line.find("    " + tree + "/")
        if at < 0:
            continue
        out[line[at + 4:]] = line[:at].rstrip(" ")
    return out, refused


def proposals_detox(path, tree):
    out, refused = {}, 0
    for line in open(path, encoding="utf-8", errors="surrogateescape"):
        line = line.rstrip("\n")
        if line.startswith("Cannot rename"):
            refused += 1
            continue
        m = re.match(r"(.*) -> (.*)$", line)
        if m:
            out[m.group(1)] = os.path.basename(m.group(2))
    return out, refused


def main():
    tool, path, tree = sys.argv[1], sys.argv[2], os.path.abspath(sys.argv[3])
    proposals, refused = (proposals_tessary if tool == "tessary" else proposals_detox)(path, tree)
    fold = (lambda s: s.lower()) if tool == "tessary" else (lambda s: s)
    clashes = 0
    for root, dirs, files in os.walk(tree):
        seen = set()
        for name in dirs + files:
            final = fold(proposals.get(os.path.join(root, name), name))
            if final in seen:
                clashes += 1
            seen.add(final)
    text = f"{len(proposals)} names proposed"
    if refused:
        text += f"; {refused} renames refused because the name is taken (left as they were)"
    text += "; every entry keeps a name of its own" if not clashes else \
        f"; {clashes} entries would share a name"
    print(text)


if __name__ == "__main__":
    main()
