#!/usr/bin/env bash
# Two builds of tessary-cli side by side on the same generated data, runs alternating so that
# other work on the machine slows both alike: median wall and CPU time of each, and the ratio.
#
#   bench/compare_builds.sh OLD_CLI NEW_CLI [--reps 5] [--work DIR]
#
# Rows: the names-only scan of a 100,000-entry tree (ISO 9660 check), the offline link check
# of a 20,000-page site, a DOS renaming run with link rewriting on a copy of a 1,000-page site
# (the copy is made before each run and not timed), CR LF to LF conversion of 256 MiB.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
[ $# -ge 2 ] || { echo "usage: bench/compare_builds.sh OLD_CLI NEW_CLI [--reps N] [--work DIR]" >&2; exit 2; }
old="$(realpath "$1")" new="$(realpath "$2")"
shift 2
reps=5
work="${TMPDIR:-/tmp}/tessary-bench-compare"
while [ $# -gt 0 ]; do
    case "$1" in
        --reps) reps="$2"; shift 2 ;;
        --work) work="$2"; shift 2 ;;
        *) echo "unknown option $1" >&2; exit 2 ;;
    esac
done
mkdir -p "$work"
export TESSARY_PROFILE="$work/no-profile.ini"
log() { echo "compare_builds: $*" >&2; }

[ -d "$work/tree" ] || { log "generating the tree"; python3 "$here/bench/gen_tree.py" "$work/tree.part" --entries 100000 --seed 1 2>/dev/null; mv "$work/tree.part" "$work/tree"; }
[ -d "$work/big" ] || { log "generating the 20,000-page site"; python3 "$here/bench/gen_site.py" "$work/big" --pages 20000 --seed 1 >/dev/null; }
[ -d "$work/small" ] || { log "generating the 1,000-page site"; python3 "$here/bench/gen_site.py" "$work/small" --pages 1000 --seed 1 >/dev/null; }
if [ ! -f "$work/text/f15.txt" ]; then
    log "generating 256 MiB of CR LF text"
    mkdir -p "$work/text"
    python3 - "$work/text" <<'PY'
import os, sys
line = b"The quick brown fox jumps over the lazy dog; 0123456789 text line\r\n"
block = line * ((1 << 24) // len(line))
for i in range(16):
    with open(os.path.join(sys.argv[1], "f%02d.txt" % i), "wb") as f:
        f.write(block)
PY
fi

# times CLI PREPARE ARGS...: one run; prints "wall cpu".
times() {
    local cli="$1" prepare="$2"
    shift 2
    bash -c "$prepare"
    /usr/bin/time -f "%e %U %S" -o "$work/time.txt" "$cli" "$@" >/dev/null 2>&1 || true
    awk '/^[0-9.]+ [0-9.]+ [0-9.]+$/ {printf "%s %.2f\n", $1, $2 + $3}' "$work/time.txt" | tail -1
}
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

printf '| work | old wall s | new wall s | new/old | old CPU s | new CPU s | new/old |\n'
printf '|---|---|---|---|---|---|---|\n'
# row LABEL PREPARE ARGS...
row() {
    local label="$1" prepare="$2" i ow=() nw=() oc=() nc=() w c
    shift 2
    log "$label"
    for ((i = 0; i < reps; i++)); do
        read -r w c < <(times "$old" "$prepare" "$@"); ow+=("$w"); oc+=("$c")
        read -r w c < <(times "$new" "$prepare" "$@"); nw+=("$w"); nc+=("$c")
    done
    local mow mnw moc mnc
    mow=$(printf '%s\n' "${ow[@]}" | median); mnw=$(printf '%s\n' "${nw[@]}" | median)
    moc=$(printf '%s\n' "${oc[@]}" | median); mnc=$(printf '%s\n' "${nc[@]}" | median)
    printf '| %s | %s | %s | %s | %s | %s | %s |\n' "$label" "$mow" "$mnw" \
        "$(awk -v a="$mnw" -v b="$mow" 'BEGIN {printf "%.2f", (b > 0 ? a / b : 0)}')" "$moc" "$mnc" \
        "$(awk -v a="$mnc" -v b="$moc" 'BEGIN {printf "%.2f", (b > 0 ? a / b : 0)}')"
}

row "scan + ISO 9660 names, 100,000 entries" "" --no-links --target iso9660 "$work/tree"
row "link check, 20,000 pages" "" "$work/big"
row "DOS rename + link rewrite, 1,000 pages" "rm -rf '$work/run'; cp -r '$work/small' '$work/run'" \
    --target dos --web-ext windows --rename --yes "$work/run"
row "CR LF to LF, 256 MiB" "rm -rf '$work/run'; cp -r '$work/text' '$work/run'" \
    --no-links --line-ends unix --yes "$work/run"
rm -rf "$work/run"
echo
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg); $reps runs of each, alternating"
