#!/usr/bin/env bash
# Runs a fixed set of runs on fresh copies of the sample site and of generated sites and writes
# each report (date line masked) and a listing of the tree afterwards (names and content
# checksums) to OUTDIR. Two builds that behave the same give identical OUTDIRs:
#
#   bench/same_reports.sh BUILD/tessary-cli OUTDIR
#   diff -r OUTDIR-before OUTDIR-after
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
[ $# -eq 2 ] || { echo "usage: bench/same_reports.sh CLI OUTDIR" >&2; exit 2; }
cli="$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"
out="$2"
mkdir -p "$out"
out="$(cd "$out" && pwd)"
# A fixed work directory: the reports name the paths of the run.
work="${TMPDIR:-/tmp}/tessary-same"
rm -rf "$work"
mkdir -p "$work"
trap 'rm -rf "$work"' EXIT
export TESSARY_PROFILE="$work/no-profile.ini"

python3 "$here/bench/gen_site.py" "$work/site.src" --pages 1000 --seed 1 >/dev/null
python3 "$here/bench/gen_tree.py" "$work/tree.src" --entries 5000 --seed 1 2>/dev/null
cp -r "$here/examples/site" "$work/sample.src"

# One run: NAME SOURCE options...; the copy is made at a fixed path so reports name the same paths.
run() {
    local name="$1" src="$2"
    shift 2
    local dir="$work/run"
    rm -rf "$dir"
    cp -r "$work/$src.src" "$dir"
    local rc=0
    (cd "$work" && "$cli" "$@" "$dir" >"$out/$name.report" 2>"$out/$name.stderr") || rc=$?
    echo "exit $rc" >>"$out/$name.stderr"
    sed -i 's/^\(Checked on: \).*/\1DATE/; s/^\(.*hecked on \).*$/\1DATE/' "$out/$name.report"
    python3 - "$dir" >"$out/$name.tree" <<'PY'
import hashlib, os, stat, sys
top = sys.argv[1]
for root, dirs, files in os.walk(top):
    dirs.sort()
    for n in sorted(dirs + files):
        p = os.path.join(root, n)
        st = os.lstat(p)
        h = hashlib.md5(open(p, "rb").read()).hexdigest() if stat.S_ISREG(st.st_mode) else "-"
        print(h, oct(st.st_mode), os.path.relpath(p, top))
PY
}

run sample_default sample
run sample_dos_rename sample --target dos --web-ext windows --rename --line-ends unix --logs --yes
run sample_iso_suggest sample --target iso9660 --line-ends dos --yes
run site_default site
run site_iso_rename site --target iso9660 --rename --logs --yes
run site_dos_suggest site --target dos --web-ext windows
run site_unix_lineends site --line-ends dos --web-ext unix --rename --yes
run tree_iso tree --no-links --target iso9660
run tree_dos_rename tree --no-links --target dos --rename --logs --line-ends dos --yes
run tree_mac_toplevel tree --no-links --no-subdirs --target mac --rename --yes
echo "same_reports: $(ls "$out" | wc -l) files in $out" >&2
