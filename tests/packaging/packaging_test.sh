#!/usr/bin/env bash
# The install rules and the Debian package: exactly the expected files, each accepted by its own validator, the
# configured addresses carried into them (odd ones included), and a DEB whose dependencies dpkg-shlibdeps computed.
# Usage: packaging_test.sh BUILD_DIR SOURCE_DIR PROGRAM
set -uo pipefail
build=$1
source=$2
program=$3

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0
failed=0
# Runs one named check: the command's status decides, its output is shown only when it fails.
check() {
    local name=$1
    shift
    local output
    if output=$("$@" 2>&1); then
        passed=$((passed + 1))
        echo "PASS $name"
    else
        failed=$((failed + 1))
        echo "FAIL $name"
        [ -z "$output" ] || sed 's/^/    /' <<<"$output"
    fi
}
# Succeeds when the command succeeds and prints nothing at all, warnings included.
# Fails, printing them, when lines of TEXT match the pattern.
lacks_line() { ! grep -E "$1" <<<"$2"; }
silent() {
    local output
    output=$("$@" 2>&1) || { echo "$output"; return 1; }
    [ -z "$output" ] || { echo "$output"; return 1; }
}
same_lines() { diff <(printf '%s\n' "$1") <(printf '%s\n' "$2"); }
contains() { grep -qF -- "$2" <<<"$1" || { echo "no \"$2\" in: $1"; return 1; }; }
# The value of KEY in [GROUP] of a desktop entry file.
entry_value() {
    awk -v group="[$2]" -v key="$3" '
        /^\[/ { inside = ($0 == group); next }
        inside && index($0, key "=") == 1 { print substr($0, length(key) + 2); exit }' "$1"
}
cache_value() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }

[ -x "$program" ] || { echo "the program is not built: $program"; exit 1; }
# The version as shown: the project's major number, then its minor in two digits (1.0.0 is "1.00").
read -r major minor < <(sed -n 's/^project(KeswinHash VERSION \([0-9]*\)\.\([0-9]*\)[. ].*/\1 \2/p' \
    "$source/CMakeLists.txt")
[ -n "${minor:-}" ] || { echo "no project version found in CMakeLists.txt"; exit 1; }
version=$(printf '%d.%02d' "$major" "$minor")
home_page=$(cache_value KESWIN_HOME_PAGE)
bulletin_page=$(cache_value KESWIN_BULLETIN_PAGE)
component_id=example.keswin.hash
check_component_id=example.keswin.check

expected_files=$(sort <<EOF
bin/keswin-check
bin/keswin-hash
bin/keswin-sum
share/applications/keswin-check.desktop
share/applications/keswin-hash.desktop
share/icons/hicolor/16x16/apps/keswin-hash.png
share/icons/hicolor/24x24/apps/keswin-hash.png
share/icons/hicolor/32x32/apps/keswin-hash.png
share/icons/hicolor/48x48/apps/keswin-hash.png
share/icons/hicolor/96x96/apps/keswin-hash.png
share/icons/hicolor/scalable/apps/keswin-hash.svg
share/kio/servicemenus/keswin-check-verify.desktop
share/kio/servicemenus/keswin-hash-identify.desktop
share/man/man1/keswin-check.1.gz
share/man/man1/keswin-hash.1.gz
share/man/man1/keswin-sum.1.gz
share/doc/keswin-hash/copyright
share/doc/keswin-hash/changelog.gz
share/metainfo/$component_id.metainfo.xml
share/metainfo/$check_component_id.metainfo.xml
share/mime/packages/keswin-check.xml
EOF
)

# ---- cmake --install ----
prefix=$work/prefix
if ! cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1; then
    cat "$work/install.log"
    echo "cmake --install failed"
    exit 1
fi
check "install: exactly the expected files" \
    same_lines "$expected_files" "$(find "$prefix" -mindepth 1 ! -type d -printf '%P\n' | sort)"
check "install: no empty folder" silent find "$prefix" -mindepth 1 -type d -empty
check "install: the program is the one built" cmp "$program" "$prefix/bin/keswin-hash"
check "install: keswin-sum is the one built" cmp "$build/src/sum/keswin-sum" "$prefix/bin/keswin-sum"
check "install: keswin-check is the one built" cmp "$build/src/check/keswin-check" "$prefix/bin/keswin-check"
without_display() { env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$@"; }
check "install: keswin-check --version, with no display, is this version" \
    contains "$(without_display "$prefix/bin/keswin-check" --version)" "keswin-check $version"
check "install: keswin-sum links no Qt GUI library" lacks_line 'libQt6(Gui|Widgets)' "$(ldd "$prefix/bin/keswin-sum")"
for size in 16 24 32 48 96; do
    check "install: the ${size}x$size icon is $size pixels square" \
        contains "$(file -b "$prefix/share/icons/hicolor/${size}x$size/apps/keswin-hash.png")" "PNG image data, $size x $size"
done
# A packager's plain configure: warnings are shown, never errors, so that a newer compiler's new warning cannot stop it.
plain_build_warns_only() {
    cmake -S "$source" -B "$work/plain" -DBUILD_TESTING=OFF >/dev/null || return 1
    grep -q -- '-Wall' "$work/plain/compile_commands.json" || { echo "no warnings asked for"; return 1; }
    ! grep -o -- '-Werror[^ ]*' "$work/plain/compile_commands.json" | sort -u
}
check "build: a plain build has no -Werror" plain_build_warns_only
newest_entry() { zcat "$prefix/share/doc/keswin-hash/changelog.gz" | head -n 1; }
check "install: the changelog's newest entry is this version" contains "$(newest_entry)" "keswin-hash ($version) "
unfilled() { ! grep -rlE '@[A-Z_]+@' "$1"; }
check "install: no placeholder left unfilled" unfilled "$prefix/share"

# ---- desktop entry ----
desktop=$prefix/share/applications/keswin-hash.desktop
check "desktop entry: desktop-file-validate, no error nor warning" silent desktop-file-validate "$desktop"
while IFS='|' read -r key wanted; do
    check "desktop entry: $key has $wanted" contains "$(entry_value "$desktop" "Desktop Entry" "$key")" "$wanted"
done <<'EOF'
Exec|keswin-hash %f
Icon|keswin-hash
Terminal|false
Type|Application
MimeType|application/octet-stream;
MimeType|application/x-zerosize;
Keywords|hash;
Keywords|checksum;
Keywords|digest;
Keywords|CRC;
Keywords|MD5;
Keywords|SHA;
EOF
# Claimed, text/plain would make the program the opener of every text file where the desktop keeps no defaults list of
# its own: xdg-mime then takes the first entry that claims the type, and ours sorts before most editors'.
check "desktop entry: claims no text type" \
    lacks_line '^text/' "$(entry_value "$desktop" "Desktop Entry" MimeType | tr ';' '\n')"
no_default_for_text() {
    local share=$work/text-desktop/share
    mkdir -p "$share/applications" "$work/text-desktop/empty"
    cp "$desktop" "$share/applications/"
    printf '[Desktop Entry]\nType=Application\nName=Editor\nExec=true %%f\nMimeType=text/plain;\n' \
        >"$share/applications/zz-editor.desktop"
    update-desktop-database "$share/applications" || return 1
    local answer
    answer=$(env -u XDG_CURRENT_DESKTOP -u DESKTOP_SESSION -u KDE_FULL_SESSION -u GNOME_DESKTOP_SESSION_ID \
        XDG_DATA_DIRS="$share" XDG_DATA_HOME="$work/text-desktop/empty" XDG_CONFIG_HOME="$work/text-desktop/empty" \
        XDG_CONFIG_DIRS="$work/text-desktop/empty" xdg-mime query default text/plain) || return 1
    [ "$answer" = zz-editor.desktop ] || { echo "xdg-mime query default text/plain answered \"$answer\""; return 1; }
}
check "desktop entry: an editor sorting after it stays the opener of text/plain" no_default_for_text
check "desktop entry: Exec names the installed program" \
    test -x "$prefix/bin/$(entry_value "$desktop" "Desktop Entry" Exec | cut -d' ' -f1)"

# ---- AppStream metainfo ----
metainfo=$prefix/share/metainfo/$component_id.metainfo.xml
validate_metainfo() {
    local output
    output=$(appstreamcli validate --pedantic --no-net "$1" 2>&1) || { echo "$output"; return 1; }
    ! grep -E '^[EWP]:' <<<"$output"
}
check "metainfo: appstreamcli validate --pedantic --no-net" validate_metainfo "$metainfo"
metainfo_text=$(cat "$metainfo")
check "metainfo: home page is the configured one" contains "$metainfo_text" "<url type=\"homepage\">$home_page</url>"
check "metainfo: launches the installed desktop entry" \
    contains "$metainfo_text" '<launchable type="desktop-id">keswin-hash.desktop</launchable>'
check "metainfo: release is the program's version" contains "$metainfo_text" "<release version=\"$version\" date="

# ---- man page ----
manpage=$work/keswin-hash.1
zcat "$prefix/share/man/man1/keswin-hash.1.gz" >"$manpage"
check "man page: groff -man -ww, no warning" silent groff -man -ww -z "$manpage"
check "man page: man --warnings, no warning" silent sh -c "man --warnings -l '$manpage' >/dev/null"
check "man page: NAME line indexed by lexgrog" contains "$(lexgrog "$manpage")" "keswin-hash - identify a file"
rendered=$(MANWIDTH=250 man -l "$manpage" 2>/dev/null)
for wanted in "SYNOPSIS" "EXIT STATUS" "ENVIRONMENT" "FILES" "XDG_CONFIG_HOME" "QDX.conf" "Keswin Hash $version" \
    "home page is $home_page;"; do
    check "man page: shows \"$wanted\"" contains "$rendered" "$wanted"
done
if [ -n "$bulletin_page" ]; then
    check "man page: names the configured bulletin page" contains "$rendered" "bulletin page, $bulletin_page,"
else
    check "man page: says there is no bulletin page" contains "$rendered" "This build has no bulletin address"
fi

sum_manpage=$work/keswin-sum.1
zcat "$prefix/share/man/man1/keswin-sum.1.gz" >"$sum_manpage"
check "keswin-sum man page: groff -man -ww, no warning" silent groff -man -ww -z "$sum_manpage"
check "keswin-sum man page: man --warnings, no warning" silent sh -c "man --warnings -l '$sum_manpage' >/dev/null"
check "keswin-sum man page: NAME line indexed by lexgrog" contains "$(lexgrog "$sum_manpage")" "keswin-sum - print or check"
sum_rendered=$(MANWIDTH=250 man -l "$sum_manpage" 2>/dev/null)
for wanted in "SYNOPSIS" "EXIT STATUS" "CHECKSUM LISTS" "sha3-512" "--ignore-missing" "Keswin Hash $version"; do
    check "keswin-sum man page: shows \"$wanted\"" contains "$sum_rendered" "$wanted"
done

# ---- Dolphin service menu ----
menu=$prefix/share/kio/servicemenus/keswin-hash-identify.desktop
action=$(entry_value "$menu" "Desktop Entry" Actions | cut -d';' -f1)
while IFS='|' read -r group key wanted; do
    check "service menu: [$group] $key has $wanted" contains "$(entry_value "$menu" "$group" "$key")" "$wanted"
done <<EOF
Desktop Entry|Type|Service
Desktop Entry|X-KDE-ServiceTypes|KonqPopupMenu/Plugin
Desktop Entry|MimeType|all/allfiles;
Desktop Action $action|Name|Identify with Keswin Hash
Desktop Action $action|Exec|keswin-hash %f
Desktop Action $action|Icon|keswin-hash
EOF

# ---- keswin-check: desktop entry, MIME package, metainfo, man page, service menu ----
check_desktop=$prefix/share/applications/keswin-check.desktop
check "check desktop entry: desktop-file-validate, no error nor warning" silent desktop-file-validate "$check_desktop"
check "check desktop entry: Exec names the installed program" \
    test -x "$prefix/bin/$(entry_value "$check_desktop" "Desktop Entry" Exec | cut -d' ' -f1)"
# Every type the entry claims is one the MIME database knows once our package is in it, and each checksum file name
# is given one of those types (the globs2 file update-mime-database writes, shared-mime-info's own types beside ours).
mime_types_known() {
    local mime=$work/mime
    mkdir -p "$mime/packages"
    cp /usr/share/mime/packages/freedesktop.org.xml "$prefix/share/mime/packages/keswin-check.xml" "$mime/packages/"
    XDG_DATA_DIRS=$work silent update-mime-database "$mime" || return 1
    local claimed type
    claimed=$(entry_value "$check_desktop" "Desktop Entry" MimeType | tr ';' '\n')
    for type in $claimed; do
        grep -qx "$type" "$mime/types" || { echo "unknown type claimed: $type"; return 1; }
    done
    local pattern
    for pattern in '*.sha256' '*.sha512' '*.md5' '*.sfv' '*SUMS' SHA256SUMS MD5SUMS; do
        type=$(awk -F: -v p="$pattern" '$3 == p { print $2 }' "$mime/globs2" | head -n 1)
        grep -qxF "$type" <<<"$claimed" || { echo "$pattern is \"$type\", which the entry does not claim"; return 1; }
    done
}
check "check desktop entry: claims the checksum types, all known to the MIME database" mime_types_known
check "check desktop entry: claims no generic text type" \
    lacks_line '^text/plain$' "$(entry_value "$check_desktop" "Desktop Entry" MimeType | tr ';' '\n')"
check_metainfo=$prefix/share/metainfo/$check_component_id.metainfo.xml
check "check metainfo: appstreamcli validate --pedantic --no-net" validate_metainfo "$check_metainfo"
check "check metainfo: launches the installed desktop entry" \
    contains "$(cat "$check_metainfo")" '<launchable type="desktop-id">keswin-check.desktop</launchable>'
check_manpage=$work/keswin-check.1
zcat "$prefix/share/man/man1/keswin-check.1.gz" >"$check_manpage"
check "keswin-check man page: groff -man -ww, no warning" silent groff -man -ww -z "$check_manpage"
check "keswin-check man page: man --warnings, no warning" silent sh -c "man --warnings -l '$check_manpage' >/dev/null"
check "keswin-check man page: NAME line indexed by lexgrog" \
    contains "$(lexgrog "$check_manpage")" "keswin-check - check files"
check_menu=$prefix/share/kio/servicemenus/keswin-check-verify.desktop
check_action=$(entry_value "$check_menu" "Desktop Entry" Actions | cut -d';' -f1)
while IFS='|' read -r group key wanted; do
    check "check service menu: [$group] $key has $wanted" contains "$(entry_value "$check_menu" "$group" "$key")" "$wanted"
done <<EOF
Desktop Entry|Type|Service
Desktop Entry|X-KDE-ServiceTypes|KonqPopupMenu/Plugin
Desktop Entry|MimeType|all/allfiles;
Desktop Action $check_action|Name|Check with Keswin Hash
Desktop Action $check_action|Exec|keswin-check %F
EOF
check "check service menu: executable" test -x "$check_menu"

# ---- odd addresses: escaped for XML and roff, and no bulletin page ----
odd_home='https://keswin-hash.example/a-b?c=1&d=<2>\x'
odd=$work/odd
if cmake -S "$source" -B "$odd" -DBUILD_TESTING=OFF "-DKESWIN_HOME_PAGE=$odd_home" -DKESWIN_BULLETIN_PAGE= \
    >"$work/odd.log" 2>&1; then
    check "odd addresses: metainfo still validates" validate_metainfo "$odd/packaging/$component_id.metainfo.xml"
    check "odd addresses: metainfo escapes the home page" contains "$(cat "$odd/packaging/$component_id.metainfo.xml")" \
        '<url type="homepage">https://keswin-hash.example/a-b?c=1&amp;d=&lt;2&gt;\x</url>'
    check "odd addresses: man page renders without warning" silent groff -man -ww -z "$odd/packaging/keswin-hash.1"
    odd_rendered=$(MANWIDTH=250 man -l "$odd/packaging/keswin-hash.1" 2>/dev/null)
    check "odd addresses: man page shows the home page as given" contains "$odd_rendered" "home page is $odd_home;"
    check "odd addresses: man page says there is no bulletin page" \
        contains "$odd_rendered" "This build has no bulletin address"
else
    cat "$work/odd.log"
    check "odd addresses: configure" false
fi

# ---- Debian package ----
if cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/deb" >"$work/cpack.log" 2>&1; then
    deb=$work/deb/keswin-hash_${version}_$(dpkg --print-architecture).deb
    check "deb: named keswin-hash_${version}_<arch>.deb" test -f "$deb"
    while IFS='|' read -r field wanted; do
        check "deb: $field has $wanted" contains "$(dpkg-deb -f "$deb" "$field")" "$wanted"
    done <<EOF
Package|keswin-hash
Version|$version
Section|utils
Homepage|$home_page
Maintainer|@
Recommends|qt6-wayland
Recommends|xdg-utils
Depends|libqt6widgets6 (>=
Depends|libssl3 (>=
Depends|libc6 (>=
EOF
    check "deb: the same files as the install, under /usr" same_lines "$expected_files" \
        "$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sed -n 's|^\./usr/||p' | sort)"
    # Debian's own checker: errors fail; its warnings are printed for a person to judge.
    lintian_output=$(lintian --tag-display-limit 0 "$deb" 2>&1 || true)
    [ -z "$lintian_output" ] || echo "$lintian_output"
    check "deb: lintian reports no error" lacks_line '^E:' "$lintian_output"
    check "deb: keswin-check is executable and owned by root" \
        contains "$(dpkg-deb -c "$deb" | grep ' ./usr/bin/keswin-check$')" "-rwxr-xr-x root/root"
    check "deb: the program is executable and owned by root" \
        contains "$(dpkg-deb -c "$deb" | grep ' ./usr/bin/keswin-hash$')" "-rwxr-xr-x root/root"
else
    cat "$work/cpack.log"
    check "deb: cpack -G DEB" false
fi

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
