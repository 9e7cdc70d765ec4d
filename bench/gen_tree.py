#!/usr/bin/env python3
"""Generates a large, deterministic directory tree for the scan benchmark.

    bench/gen_tree.py OUTDIR [--entries 100000] [--seed 1]

OUTDIR must not exist yet (or be empty). The tree holds exactly --entries entries (files and
directories, OUTDIR itself not counted) spread over nested directories, with

  - text files with LF, CR LF or CR line ends, binary files (picture-like headers and bytes of
    128 and more in the first block), and some empty files;
  - a mix of name styles: plain lower case, mixed case, spaces, long names, characters that DOS
    8.3 and ISO 9660 do not allow (+ , ; = [ ] # & ~ and accented letters), several dots, no
    extension, and pairs of names in one directory that differ only in case.

No entry is hidden and no path below OUTDIR is longer than 180 bytes, so a scan counts every
entry. The same arguments give the same tree, byte for byte.
"""

import argparse
import os
import random
import sys
import time

MAX_REL_PATH = 180  # keeps full paths under the program's 260-byte limit for OUTDIRs < 80 bytes

WORDS = ("report notes draft final budget photo holiday summer index readme backup archive "
         "invoice letter data table chart music track video scan page chapter figure logo "
         "banner menu style script config test sample old new copy").split()
EXTS_TEXT = ("txt", "html", "htm", "css", "js", "csv", "md", "xml", "ini", "TXT", "HTML")
EXTS_BINARY = ("jpg", "jpeg", "png", "gif", "mpg", "aif", "zip", "pdf", "JPG", "PNG")
ODD_CHARS = "+,;=[]#&~"
ACCENTED = ("é", "ü", "ñ", "ø", "ç", "å")


def stem(r):
    """A name without extension, in one of the styles."""
    style = r.random()
    word = r.choice(WORDS)
    n = r.randrange(1000)
    if style < 0.35:
        return f"{word}_{n}"
    if style < 0.50:
        return f"{word.capitalize()}{r.choice(WORDS).upper()}{n}"
    if style < 0.62:
        return f"{word} {r.choice(WORDS)} {n}"
    if style < 0.72:
        length = r.randrange(40, 110)
        parts = []
        while len(" ".join(parts)) < length:
            parts.append(r.choice(WORDS))
        return "-".join(parts)[:length] + str(n)
    if style < 0.82:
        return f"{word}{r.choice(ODD_CHARS)}{n}{r.choice(ODD_CHARS)}x"
    if style < 0.88:
        return f"{word}{r.choice(ACCENTED)}{n}"
    if style < 0.94:
        return f"{word}.{r.choice(WORDS)}.{n}"
    return f"{word.upper()}{n}"


def text_blob(rng, size):
    ending = rng.choice(("\n", "\n", "\r\n", "\r"))
    words = []
    total = 0
    while total < size:
        line = " ".join(rng.choice(WORDS) for _ in range(rng.randrange(3, 12)))
        words.append(line)
        total += len(line) + len(ending)
    return (ending.join(words) + ending).encode("ascii")[:size]


def binary_blob(rng, size):
    header = rng.choice((b"\x89PNG\r\n\x1a\n", b"\xff\xd8\xff\xe0\x00\x10JFIF\x00",
                         b"GIF89a\x10\x00\x10\x00\xf0", b"PK\x03\x04\x14\x00\x00\x00\x08\x00"))
    return header + rng.randbytes(max(0, size - len(header)))


def generate(out, entries, seed):
    rng = random.Random(seed)
    # About one entry in 25 is a directory; each new directory goes below a random earlier one,
    # which gives a bushy tree a handful of levels deep.
    ndirs = max(1, entries // 25)
    dirs = []  # relative paths of the directories below OUTDIR
    used = {"": set()}

    def fresh_name(parent, make):
        """A name not used in parent yet (case-sensitively), fitting the path limit."""
        room = MAX_REL_PATH - len(parent.encode()) - 1
        for _ in range(100):
            name = make()
            while len(name.encode()) > room:
                name = name[:-1]
            name = name.rstrip(" .")
            if name and name not in used[parent]:
                used[parent].add(name)
                return name
        raise SystemExit(f"gen_tree: no room for names in {parent!r}")

    for _ in range(ndirs):
        k = rng.randrange(len(dirs) + 1)
        parent = dirs[k - 1] if k else ""
        # Deep parents have little room left for names; climb up until there is.
        while len(parent.encode()) > MAX_REL_PATH - 40:
            parent = parent.rsplit("/", 1)[0] if "/" in parent else ""
        name = fresh_name(parent, lambda: stem(rng)[:24])
        path = f"{parent}/{name}" if parent else name
        dirs.append(path)
        used[path] = set()
    all_dirs = [""] + dirs

    os.makedirs(out, exist_ok=True)
    if os.listdir(out):
        raise SystemExit(f"gen_tree: {out} is not empty")
    for d in dirs:
        os.mkdir(os.path.join(out, d))

    # Pools of contents, sliced per file, keep generation fast.
    text_pool = [text_blob(rng, 4096) for _ in range(32)]
    binary_pool = [binary_blob(rng, 4096) for _ in range(32)]

    nfiles = entries - len(dirs)
    stats = {"text": 0, "binary": 0, "empty": 0, "case pairs": 0, "bytes": 0}
    made = 0
    while made < nfiles:
        parent = all_dirs[rng.randrange(len(all_dirs))]
        kind = rng.random()
        if kind < 0.60:
            ext = rng.choice(EXTS_TEXT)
            pool, key = text_pool, "text"
        elif kind < 0.95:
            ext = rng.choice(EXTS_BINARY)
            pool, key = binary_pool, "binary"
        else:
            ext, pool, key = rng.choice(("txt", "dat", "")), None, "empty"
        suffix = f".{ext}" if ext else ""
        name = fresh_name(parent, lambda: stem(rng) + suffix)
        group = [name]
        # Now and then a second name that differs only in case.
        if made + 1 < nfiles and rng.random() < 0.03:
            twin = name.swapcase()
            if twin != name and twin not in used[parent]:
                used[parent].add(twin)
                group.append(twin)
                stats["case pairs"] += 1
        for entry in group:
            data = b""
            if pool is not None:
                blob = pool[rng.randrange(len(pool))]
                data = blob[:rng.randrange(1, 2048)]
            with open(os.path.join(out, parent, entry), "wb") as f:
                f.write(data)
            stats[key] += 1
            stats["bytes"] += len(data)
            made += 1
    return len(dirs), nfiles, stats


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("outdir")
    parser.add_argument("--entries", type=int, default=100000)
    parser.add_argument("--seed", type=int, default=1)
    args = parser.parse_args()
    if args.entries < 1:
        parser.error("--entries must be at least 1")
    start = time.monotonic()
    ndirs, nfiles, stats = generate(args.outdir, args.entries, args.seed)
    print(f"{args.outdir}: {ndirs} directories, {nfiles} files ({stats['text']} text, "
          f"{stats['binary']} binary, {stats['empty']} empty; {stats['case pairs']} pairs "
          f"differing only in case), {stats['bytes'] / 1e6:.1f} MB, "
          f"{time.monotonic() - start:.1f} s", file=sys.stderr)


if __name__ == "__main__":
    main()
