#!/usr/bin/env bash
# Link-check benchmark: the full check of tessary-cli (scan, names only suggested, every HTML
# pass) on a generated site of 20,000 pages and ~200,000 links against reading every file once
# (`cat`), and on a 1,000-page version against independent link checkers with external checking
# off: LinkChecker (Debian package linkchecker) and, when npm is available, linkinator and
# check-html-links. Prints the best wall-clock time of three runs, the processor time (user +
# system, all threads) of that run, which is the steadier figure on a shared machine, and the
# peak memory of tessary-cli. The sites come from gen_site.py, and the report on the large one is
# checked against the findings the generator wrote beside it.
#
# usage: bench/links.sh [WORKDIR]   (default /tmp/tessary-bench-links; build first)
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
cli="$here/../build/tessary-cli"
work="${1:-/tmp/tessary-bench-links}"
[ -x "$cli" ] || { echo "links.sh: build tessary-cli first (scripts/build)" >&2; exit 1; }
mkdir -p "$work"

generate() {  # name pages
    if [ ! -f "$work/$1.truth.json" ]; then
        rm -rf "$work/$1"
        python3 "$here/gen_site.py" "$work/$1" --pages "$2" --seed 1 >/dev/null
    fi
}

# Runs a shell command three times; sets wall and cpu (seconds) from the fastest run.
measure() {
    local t c
    wall="" cpu=""
    for _ in 1 2 3; do
        read -r t c < <(/usr/bin/time -f '%e %U %S' bash -c "$1" 2>&1 >/dev/null |
                        awk 'END { print $1, $2 + $3 }')
        if [ -z "$wall" ] || [ "$(echo "$t < $wall" | bc)" = 1 ]; then wall=$t cpu=$c; fi
    done
}
ratio() { printf '%.1f' "$(echo "$1 / $2" | bc -l)"; }
line() { printf '%-24s %7.2f s wall %7.2f s cpu%s\n' "$1" "$wall" "$cpu" "${2:-}"; }

generate big 20000
generate small 1000
# Each run writes the external-URL page into the site; it goes first, so every run sees the same
# files.
ts() { echo "rm -f '$work/$1/report_of_external_refs.htm'; '$cli' --target dos --home index.html '$work/$1'"; }

echo "== 20,000 pages: $(find "$work/big" -iname '*.htm*' | wc -l) HTML files," \
     "$(du -sh --apparent-size "$work/big" | cut -f1)"
cat_big="find '$work/big' -type f -print0 | xargs -0 cat"
bash -c "$cat_big" >/dev/null  # warm the page cache
measure "$cat_big"
w_cat=$wall c_cat=$cpu
line "cat of every file"
measure "$(ts big)"
line "tessary full check" \
    "  ($(ratio "$wall" "$w_cat") x cat wall, $(ratio "$cpu" "$c_cat") x cat cpu; goal <= 1.5)"
rm -f "$work/big/report_of_external_refs.htm"
peak=$(/usr/bin/time -f %M "$cli" --target dos --home index.html "$work/big" 2>&1 \
       >"$work/big.report" | tail -1 || true)
echo "tessary peak memory:     $((peak / 1024)) MB (goal < 100)"
echo "report against the generator's findings:"
python3 "$here/report_vs_truth.py" "$work/big.report" "$work/big" || true

echo "== 1,000 pages, external checking off"
bash -c "find '$work/small' -type f -print0 | xargs -0 cat" >/dev/null
measure "$(ts small)"
w_ts=$wall c_ts=$cpu
line "tessary full check"
compare() {  # label command
    measure "$2"
    line "$1" "  (tessary $(ratio "$wall" "$w_ts") x faster wall, $(ratio "$cpu" "$c_ts") x cpu)"
}
if command -v linkchecker >/dev/null; then
    compare "linkchecker (Debian)" "linkchecker --no-status -o none 'file://$work/small/index.html'"
else
    echo "linkchecker: not installed (apt-get install linkchecker)"
fi
if command -v npm >/dev/null; then
    npmdir="$work/npm"
    if [ ! -x "$npmdir/node_modules/.bin/check-html-links" ]; then
        mkdir -p "$npmdir"
        npm install --prefix "$npmdir" --no-audit --no-fund linkinator@6 check-html-links@0.2.4 \
            >/dev/null 2>&1 || true
    fi
    bin="$npmdir/node_modules/.bin"
    [ -x "$bin/linkinator" ] && compare "linkinator (npm)" \
        "'$bin/linkinator' '$work/small' --recurse --skip 'example\\.(com|org|net)'"
    [ -x "$bin/check-html-links" ] && compare "check-html-links (npm)" \
        "'$bin/check-html-links' '$work/small'"
else
    echo "npm checkers: npm not available"
fi
