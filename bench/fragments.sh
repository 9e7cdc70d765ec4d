#!/usr/bin/env bash
# What fragment checks and the JSON report cost: the full check of tessary-cli (names only
# suggested, every HTML pass) on the generated 20,000-page site, side by side in one run:
# the text report, --check-fragments, --format json, and both. Five runs of each, interleaved
# so that the machine's load falls on all alike; prints the median wall-clock and processor
# time (user + system, all threads) and the ratios to the text report (goals: fragments <= 1.3,
# JSON <= 1.1).
#
# usage: bench/fragments.sh [WORKDIR]   (default /tmp/tessary-bench-links; build first)
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
cli="${TESSARY_CLI:-$here/../build/tessary-cli}"
work="${1:-/tmp/tessary-bench-links}"
[ -x "$cli" ] || { echo "fragments.sh: build tessary-cli first (scripts/build)" >&2; exit 1; }
mkdir -p "$work"
# The site must have the generator's section ids: regenerate one made before they existed.
if ! grep -qs 'id="part1"' "$work/big/index.html"; then
    rm -rf "$work/big" "$work/big.truth.json"
    python3 "$here/gen_site.py" "$work/big" --pages 20000 --seed 1 >/dev/null
fi
export XDG_STATE_HOME="$work/state"

variants=("" "--check-fragments" "--format json" "--check-fragments --format json")
names=("text report" "--check-fragments" "--format json" "fragments + json")
declare -A walls cpus
find "$work/big" -type f -print0 | xargs -0 cat >/dev/null  # warm the page cache
for _ in 1 2 3 4 5; do
    for i in "${!variants[@]}"; do
        rm -f "$work/big/report_of_external_refs.htm"
        # shellcheck disable=SC2086
        read -r t c < <(/usr/bin/time -f '%e %U %S' "$cli" ${variants[$i]} --target dos \
                        --home index.html "$work/big" 2>&1 >/dev/null | awk 'END { print $1, $2 + $3 }')
        walls[$i]+="$t "
        cpus[$i]+="$c "
    done
done
median() { tr ' ' '\n' <<<"$1" | grep . | sort -g | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }
w0=$(median "${walls[0]}") c0=$(median "${cpus[0]}")
for i in "${!variants[@]}"; do
    w=$(median "${walls[$i]}") c=$(median "${cpus[$i]}")
    printf '%-20s %6.2f s wall %6.2f s cpu   %4.2f x wall %4.2f x cpu\n' "${names[$i]}" "$w" "$c" \
        "$(echo "$w / $w0" | bc -l)" "$(echo "$c / $c0" | bc -l)"
done
