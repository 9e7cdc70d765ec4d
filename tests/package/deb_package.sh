#!/usr/bin/env bash
# Builds the Debian package from a built tree, unpacks it into a scratch root and runs the
# program from there: what a user gets from `apt install ./tessary_*.deb`.
#   deb_package.sh CPACK_CONFIG VERSION GUI(1|0)
set -euo pipefail
config="$1" version="$2" gui="$3"

tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# Stand-ins for the tools that register the report type and the desktop entry in the live
# system: they only note that they were called.
mkdir "$tmp/bin"
for tool in update-mime-database update-desktop-database; do
    printf '#!/bin/sh\necho "%s $*" >>"%s"\n' "$tool" "$tmp/registered" >"$tmp/bin/$tool"
    chmod +x "$tmp/bin/$tool"
done
export PATH="$tmp/bin:$PATH"

# Staging and package go to the scratch folder.
if ! cpack --config "$config" -G DEB -B "$tmp/out" >"$tmp/cpack.log" 2>&1; then
    cat "$tmp/cpack.log" >&2
    echo "FAIL: cpack could not build the package" >&2
    exit 1
fi
shopt -s nullglob
debs=("$tmp"/out/tessary_"$version"_*.deb)
if [ ${#debs[@]} -ne 1 ]; then
    ls -l "$tmp/out" >&2
    echo "FAIL: expected one tessary_${version}_<arch>.deb, found ${#debs[@]}" >&2
    exit 1
fi
deb="${debs[0]}"

# The control fields apt shows and resolves.
[ "$(dpkg -f "$deb" Package)" = tessary ] || fail "package name: $(dpkg -f "$deb" Package)"
[ "$(dpkg -f "$deb" Version)" = "$version" ] || fail "version: $(dpkg -f "$deb" Version)"
[ "$(dpkg -f "$deb" Section)" = utils ] || fail "section: $(dpkg -f "$deb" Section)"
[ -n "$(dpkg -f "$deb" Maintainer)" ] || fail "no maintainer"
[ -n "$(dpkg -f "$deb" Description)" ] || fail "no description"
depends="$(dpkg -f "$deb" Depends)"
wanted=(libc6 libstdc++6)
[ "$gui" = 1 ] && wanted+=(libqt6core6 libqt6gui6 libqt6widgets6 libqt6printsupport6)
for lib in "${wanted[@]}"; do
    [[ ", $depends," == *", $lib "* || ", $depends," == *", $lib,"* ]] ||
        fail "Depends lacks $lib: $depends"
done

# The contents: every file under /usr, owned by root.
dpkg -c "$deb" >"$tmp/contents"
awk '{print $6}' "$tmp/contents" >"$tmp/paths"
files=(./usr/bin/tessary-cli ./usr/share/man/man1/tessary-cli.1.gz)
gui_files=(./usr/bin/tessary ./usr/share/man/man1/tessary.1.gz
           ./usr/share/applications/tessary.desktop
           ./usr/share/icons/hicolor/64x64/apps/tessary.png
           ./usr/share/mime/packages/tessary-report.xml)
if [ "$gui" = 1 ]; then
    files+=("${gui_files[@]}")
else
    for f in "${gui_files[@]}"; do
        grep -qxF "$f" "$tmp/paths" && fail "$f is packaged without the GUI"
    done
fi
for f in "${files[@]}"; do
    grep -qxF "$f" "$tmp/paths" || fail "$f is not in the package"
done
grep -vxE '\./|\./usr/.*' "$tmp/paths" && fail "files outside /usr"
awk '$2 != "root/root" {print $2, $6}' "$tmp/contents" | grep . && fail "files not owned by root"

# Packaging leaves the live system alone, whether the staging uses DESTDIR (DEB) or a prefix
# (TGZ); a plain install into a prefix still registers the types there.
if [ "$gui" = 1 ]; then
    [ ! -e "$tmp/registered" ] || fail "cpack -G DEB registered types: $(cat "$tmp/registered")"
    rm -f "$tmp/registered"
    cpack --config "$config" -G TGZ -B "$tmp/tgz" >"$tmp/cpack-tgz.log" 2>&1 ||
        fail "cpack -G TGZ failed: $(cat "$tmp/cpack-tgz.log")"
    [ ! -e "$tmp/registered" ] || fail "cpack -G TGZ registered types: $(cat "$tmp/registered")"
    rm -f "$tmp/registered"
    cmake --install "$(dirname "$config")" --prefix "$tmp/plain" >/dev/null
    grep -qxF "update-mime-database $tmp/plain/share/mime" "$tmp/registered" ||
        fail "a plain install did not register the report type"
fi

# Unpacked as dpkg would: the program runs from there and tells the version.
dpkg -x "$deb" "$tmp/root"
got="$("$tmp/root/usr/bin/tessary-cli" --version)" || fail "tessary-cli --version failed"
[ "$got" = "tessary-cli $version" ] || fail "tessary-cli --version printed \"$got\""

# The man pages: gzip-compressed, versioned, and rendered without a warning.
for page in "$tmp"/root/usr/share/man/man1/*.1.gz; do
    name="$(basename "$page")"
    gzip -t "$page" || { fail "$name is no gzip file"; continue; }
    zcat "$page" >"$tmp/page"
    [[ "$(head -1 "$tmp/page")" == *"\"Tessary $version\""* ]] || fail "$name: no version $version"
    warnings="$(groff -man -Tutf8 -ww -z "$tmp/page" 2>&1)"
    [ -z "$warnings" ] || fail "$name renders with warnings: $warnings"
done

if [ $failures -ne 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "package $(basename "$deb") checked"
