#!/usr/bin/env bash
# A DOS-target rename with Windows Web extensions and link updating on the generated site of
# 20,000 pages (scan, names, renames, link rewriting, journal), and its undo from the journal,
# against copying the tree with cp -r and sync. Also checks that undo gives back every byte and
# tells what the journal takes on the disk.
#   bench/rewrite.sh [PAGES]     (default 20000)
set -euo pipefail
cd "$(dirname "$0")/.."
pages=${1:-20000}
scripts/build >/dev/null
bin=build/bench_run_undo
if [ ! -x $bin ] || [ bench/run_undo.cpp -nt $bin ] || [ build/libtessary_core.a -nt $bin ]; then
    c++ -std=c++20 -O2 -Isrc bench/run_undo.cpp build/libtessary_core.a -o $bin
fi
work="${TMPDIR:-/tmp}/tessary-bench-rewrite-$pages"
[ -f "$work/master/index.html" ] || python3 bench/gen_site.py "$work/master" --pages "$pages" --seed 1
# The journals go beside the copies, never into the user's state directory.
export XDG_STATE_HOME="$work/state"
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
checksum() { (cd "$1" && find . -type f ! -name RENAME.LOG ! -name report_of_external_refs.htm \
              -print0 | sort -z | xargs -0 sha1sum | sha1sum | cut -c1-16); }
sum_master=$(checksum "$work/master")
cp_t=(); run_t=(); undo_t=(); runcpu_t=(); undocpu_t=(); journal=0; same=yes
for i in 1 2 3; do
    rm -rf "$work/copy"
    s=$(date +%s.%N); cp -r "$work/master" "$work/copy"; sync; e=$(date +%s.%N)
    cp_t+=("$(echo "$e - $s" | bc)")
    read -r r rc u uc journal status < <($bin "$work/copy" "$work/copy/index.html")
    [ "$status" = ok ] || { echo "run failed"; exit 1; }
    run_t+=("$r"); undo_t+=("$u"); runcpu_t+=("$rc"); undocpu_t+=("$uc")
    [ "$(checksum "$work/copy")" = "$sum_master" ] || same=NO
done
c=$(printf '%s\n' "${cp_t[@]}" | median)
r=$(printf '%s\n' "${run_t[@]}" | median)
u=$(printf '%s\n' "${undo_t[@]}" | median)
rc=$(printf '%s\n' "${runcpu_t[@]}" | median)
uc=$(printf '%s\n' "${undocpu_t[@]}" | median)
printf '%-34s %8s %8s\n' "step (median of 3)" "wall s" "cpu s"
printf '%-34s %8s %8s\n' "cp -r of the site + sync" "$c" "-"
printf '%-34s %8s %8s\n' "run: scan, names, links, journal" "$r" "$rc"
printf '%-34s %8s %8s\n' "undo from the journal" "$u" "$uc"
awk -v c="$c" -v r="$r" -v u="$u" 'BEGIN { printf "run / cp = %.2f, undo / cp = %.2f (goal <= 3)\n", r / c, u / c }'
echo "site on disk: $(du -sk "$work/master" | cut -f1) KiB, journal of one run: $((journal / 1024)) KiB"
echo "undo restored every byte: $same"
rm -rf "$work/copy"
