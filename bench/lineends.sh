#!/usr/bin/env bash
# Converts 1 GiB of CR LF text files to LF with Tessary and with dos2unix, side by side, and
# reports the median time of three runs and Tessary's peak memory.
#   bench/lineends.sh [SIZE_MIB]     (default 1024)
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
size_mib="${1:-1024}"
files=64
per_file=$(( size_mib * 1024 * 1024 / files ))
work="${TMPDIR:-/tmp}/tessary-bench-lineends-$size_mib"

"$here/scripts/build" >/dev/null
command -v dos2unix >/dev/null || { echo "dos2unix is missing (scripts/setup installs it)"; exit 1; }
command -v /usr/bin/time >/dev/null || { echo "/usr/bin/time is missing (apt-get install time)"; exit 1; }

if [ ! -f "$work/master/f00.txt" ]; then
    mkdir -p "$work/master"
    python3 - "$work/master" "$files" "$per_file" <<'PY'
import os, sys
out, files, per_file = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
line = b"The quick brown fox jumps over the lazy dog; 0123456789 text line\r\n"
block = line * (1 << 14)
for i in range(files):
    with open(os.path.join(out, "f%02d.txt" % i), "wb") as f:
        left = per_file
        while left > 0:
            chunk = block[:left]
            f.write(chunk)
            left -= len(chunk)
PY
fi

fresh() { rm -rf "$work/$1"; cp -r "$work/master" "$work/$1"; sync; }
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

t_tessary=(); t_dos2unix=(); mem=0
for run in 1 2 3; do
    fresh t
    /usr/bin/time -f "%e %M" -o "$work/time.txt" \
        "$here/build/tessary-cli" --no-links --line-ends unix --yes "$work/t" >/dev/null
    read -r secs kb <"$work/time.txt"
    t_tessary+=("$secs"); [ "$kb" -gt "$mem" ] && mem=$kb
    fresh d
    /usr/bin/time -f "%e %M" -o "$work/time.txt" dos2unix -q "$work"/d/*.txt
    read -r secs kb <"$work/time.txt"
    t_dos2unix+=("$secs")
done
cmp -s "$work/t/f00.txt" "$work/d/f00.txt" && same=yes || same=NO
mt=$(printf '%s\n' "${t_tessary[@]}" | median)
md=$(printf '%s\n' "${t_dos2unix[@]}" | median)
printf '%-12s %10s %12s\n' "tool" "median s" "peak MiB"
printf '%-12s %10s %12s\n' "tessary" "$mt" "$(( mem / 1024 ))"
printf '%-12s %10s %12s\n' "dos2unix" "$md" "-"
echo "size: ${size_mib} MiB in $files files; outputs identical: $same"
awk -v a="$mt" -v b="$md" 'BEGIN { printf "tessary / dos2unix = %.2f (goal <= 1.00)\n", a / b }'
rm -rf "$work/t" "$work/d"
