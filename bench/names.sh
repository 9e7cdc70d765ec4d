#!/usr/bin/env bash
# Benchmark of the name passes.
#  1. one directory of 20,000 entries whose names all collide under the DOS 8.3 rules
#     (longname00001.html ... become LONGNAME.HTM, LONGNA~1.HTM, ..., LO~19999.HTM);
#  2. a generated tree of 100,000 entries: the scan alone against the name check plus the
#     renaming of every entry that needs it (DOS 8.3 target, logs kept).
# Usage: bench/names.sh [ENTRIES] (default 100000). Needs a built tree (scripts/build).
set -euo pipefail
cd "$(dirname "$0")/.."
entries=${1:-100000}
build=build
[ -f $build/libtessary_core.a ] || { echo "names.sh: run scripts/build first" >&2; exit 1; }

bin=$build/bench_name_pass
if [ ! -x $bin ] || [ bench/name_pass.cpp -nt $bin ] || [ $build/libtessary_core.a -nt $bin ]; then
    c++ -std=c++20 -O2 -Isrc bench/name_pass.cpp $build/libtessary_core.a -o $bin
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/tessary_bench_XXXXXX")
trap 'chmod -R u+w "$work" 2>/dev/null; rm -rf "$work"' EXIT

echo "== 20,000 names colliding under the DOS rules"
mkdir "$work/collide"
python3 - "$work/collide" <<'PY'
import os, sys
d = sys.argv[1]
for i in range(1, 20001):
    open(os.path.join(d, "longname%05d.html" % i), "w").close()
PY
$bin "$work/collide" dos

echo "== tree of $entries entries (DOS 8.3 target)"
tree="$work/tree"
if [ -f bench/gen_tree.py ]; then
    python3 bench/gen_tree.py "$tree" --entries "$entries" --seed 1
else
    # A stand-in until the shared tree generator is there: nested directories of about 40
    # entries, names with spaces, mixed case, long stems and Web extensions.
    python3 - "$tree" "$entries" <<'PY'
import os, random, sys
root, total = sys.argv[1], int(sys.argv[2])
rng = random.Random(1)
words = ["index", "Page", "photo", "my file", "Read Me", "verylongname", "a+b", "news",
         "contact us", "x.y.z", "Chapter", "image#2", "data"]
exts = [".html", ".htm", ".txt", ".jpeg", ".JPG", ".css", ""]
made, dirs = 0, [root]
os.makedirs(root)
while made < total:
    d = dirs.pop(0) if len(dirs) > 1 and rng.random() < 0.5 else rng.choice(dirs)
    for _ in range(40):
        if made >= total:
            break
        name = rng.choice(words) + str(rng.randrange(1000)) + rng.choice(exts)
        path = os.path.join(d, name)
        if os.path.exists(path):
            continue
        if rng.random() < 0.05:
            os.mkdir(path)
            dirs.append(path)
        else:
            with open(path, "w") as f:
                f.write("<html><body>%d</body></html>\n" % made)
        made += 1
    if d not in dirs:
        dirs.append(d)
PY
fi
# A first scan warms the cache so that every figure below reads from memory.
$bin "$tree" dos >/dev/null
echo "-- scan and name check (nothing renamed):"
$bin "$tree" dos
echo "-- scan, name check and renaming:"
$bin "$tree" dos --rename
