#!/usr/bin/env bash
# The scan benchmark: times tessary-cli validating the names of a large generated tree against
# a minimal C walker that only reads what classification needs, and measures the peak memory
# of tessary-cli. Run by hand; the tests never run it.
#
#   bench/scan.sh [--entries N] [--seed S] [--reps R] [--work DIR]
#
# The tree is generated once into the work directory (default: $TMPDIR/tessary-bench, or
# /tmp/tessary-bench) and reused by later runs with the same entries and seed.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"

entries=100000
seed=1
reps=5
work="${TMPDIR:-/tmp}/tessary-bench"
while [ $# -gt 0 ]; do
    case "$1" in
        --entries) entries="$2"; shift 2 ;;
        --seed) seed="$2"; shift 2 ;;
        --reps) reps="$2"; shift 2 ;;
        --work) work="$2"; shift 2 ;;
        *) echo "usage: bench/scan.sh [--entries N] [--seed S] [--reps R] [--work DIR]" >&2; exit 2 ;;
    esac
done
[ -x /usr/bin/time ] || { echo "scan.sh: /usr/bin/time is missing; run scripts/setup" >&2; exit 1; }

mkdir -p "$work"
work="$(cd "$work" && pwd)"
tree="$work/tree-$entries-$seed"
# Paths below the tree are at most 180 bytes; the program skips paths of 260 bytes and more.
if [ ${#tree} -gt 78 ]; then
    echo "scan.sh: the work directory's path is too long for the tree; use a shorter --work" >&2
    exit 2
fi
if [ ! -d "$tree" ]; then
    # Generated under a temporary name and renamed at the end: a tree that exists is complete.
    rm -rf "$tree.partial"
    python3 "$here/bench/gen_tree.py" "$tree.partial" --entries "$entries" --seed "$seed"
    mv "$tree.partial" "$tree"
fi

echo "Building..." >&2
"$here/scripts/build" >/dev/null
cli="$here/build/tessary-cli"
walker="$work/walk"
cc -O2 -o "$walker" "$here/bench/walk.c"

# Nothing from the user's profile may change the run.
export TESSARY_PROFILE="$work/no-profile.ini"
rm -f "$TESSARY_PROFILE"
cmd_a=("$cli" --no-links --target iso9660 "$tree")
cmd_b=("$walker" "$tree")

# One timed run: appends "wall user system peak-KB" to a file. tessary-cli exits with 1 when the
# report lists problems; only 2 and more are failures.
timed() {
    local out="$1"
    shift
    local status=0
    /usr/bin/time -f "%e %U %S %M" -a -o "$out" "$@" >/dev/null || status=$?
    if [ $status -gt 1 ]; then
        echo "scan.sh: $* failed with status $status" >&2
        exit 1
    fi
}

# The counts the program reports must be the walker's, or the two did not do the same work.
report="$work/report.txt"
counts_b="$("${cmd_b[@]}" | sed -n 's/^\([0-9]* files in [0-9]* directories\).*/\1/p')" || true
"${cmd_a[@]}" >"$report" || [ $? -le 1 ]
counts_a="$(tr -d '\r' <"$report" | grep -m1 -E '^[0-9]+ files in [0-9]+ directories$' || true)"
if [ "$counts_a" != "$counts_b" ]; then
    echo "scan.sh: the program reports \"$counts_a\", the walker \"$counts_b\"" >&2
    exit 1
fi

# Both have run once now, so both find the tree in the page cache. The runs alternate so that
# other work on the machine slows both alike; CPU time (user + system) is less disturbed by
# such work than wall time and is shown beside it.
echo "Timing $reps runs of each..." >&2
rm -f "$work/times_a" "$work/times_b"
for ((i = 0; i < reps; i++)); do
    timed "$work/times_a" "${cmd_a[@]}"
    timed "$work/times_b" "${cmd_b[@]}"
done

awk -v counts="$counts_a" -v reps="$reps" -v load="$(cut -d' ' -f1-3 /proc/loadavg)" '
function median(v, n,    i, j, t) {
    for (i = 2; i <= n; i++) for (j = i; j > 1 && v[j - 1] > v[j]; j--) { t = v[j]; v[j] = v[j - 1]; v[j - 1] = t }
    return (n % 2) ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2
}
FNR == 1 { f++ }
{ n[f]++; wall[f, n[f]] = $1; cpu[f, n[f]] = $2 + $3; if ($4 > peak[f]) peak[f] = $4
  runs[f] = runs[f] sprintf(" %.2f", $1) }
END {
    for (k = 1; k <= 2; k++) {
        delete w; delete c
        for (i = 1; i <= n[k]; i++) { w[i] = wall[k, i]; c[i] = cpu[k, i] }
        mw[k] = median(w, n[k]); mc[k] = median(c, n[k])
    }
    printf "\nScan benchmark: %s; median of %d runs; load average %s\n\n", counts, reps, load
    printf "%-47s %9s %9s %10s\n", "", "wall (s)", "CPU (s)", "peak (MB)"
    printf "%-47s %9.3f %9.3f %10.1f\n", "(a) tessary-cli --no-links --target iso9660", mw[1], mc[1], peak[1] / 1024
    printf "%-47s %9.3f %9.3f %10.1f\n", "(b) C walker (readdir, lstat, open, read 512)", mw[2], mc[2], peak[2] / 1024
    rw = mw[1] / mw[2]; rc = mc[1] / mc[2]
    printf "%-47s %9.2f %9.2f   goal <= 1.5: %s\n", "ratio (a) / (b)", rw, rc, rw <= 1.5 ? "met" : "MISSED"
    printf "%-47s %30.1f   goal < 200: %s\n", "peak memory of (a), MB", peak[1] / 1024, peak[1] / 1024 < 200 ? "met" : "MISSED"
    printf "\nwall times (a):%s\nwall times (b):%s\n", runs[1], runs[2]
}' "$work/times_a" "$work/times_b"
