#!/usr/bin/env bash
# Manual check, not part of CI: builds the DEB, installs it with apt into a fresh Debian 12 root (minbase, only the
# package's hard dependencies, no Recommends) and starts the program there on the offscreen platform and on X11.
# Run as root: bash tools/package-check.sh        (KEEP_ROOT=1 keeps the root folder for a look afterwards)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/tools/packages.sh"
[ "$(id -u)" -eq 0 ] || { echo "run as root: debootstrap, mount and chroot need it" >&2; exit 1; }
install_missing "${BUILD_PACKAGES[@]}" dpkg-dev file "${PACKAGE_CHECK_PACKAGES[@]}" x11-utils
started=$(date +%s)
elapsed() { echo "$(($(date +%s) - started)) s"; }

# The mirror this machine's apt already uses for bookworm (one-line or deb822 sources), unless KESWIN_MIRROR says.
debian_mirror() {
    local files=(/etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources)
    for file in "${files[@]}"; do
        [ -f "$file" ] || continue
        awk '
            /^[[:space:]]*deb[[:space:]]/ {
                sub(/\[[^]]*\][[:space:]]*/, "")
                if ($3 == "bookworm") { print $2; exit }
            }
            /^Types:/ { types = $0 }
            /^URIs:/ { uri = $2 }
            /^Suites:/ { suites = " " substr($0, 8) " " }
            /^[[:space:]]*$/ { if (types ~ / deb( |$)/ && suites ~ / bookworm / && uri != "") { print uri; exit } types = uri = suites = "" }
            END { if (types ~ / deb( |$)/ && suites ~ / bookworm / && uri != "") print uri }
        ' "$file"
    done | head -n 1
}
mirror=${KESWIN_MIRROR:-$(debian_mirror)}
[ -n "$mirror" ] || { echo "no bookworm mirror found in /etc/apt/sources.list*; set KESWIN_MIRROR" >&2; exit 1; }

# ---- the package ----
build=$root/build-package
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target keswin-hash
rm -rf "$build/deb"
(cd "$build" && cpack -G DEB -B "$build/deb" >/dev/null)
deb=$(ls "$build"/deb/keswin-hash_*.deb)
echo "Package: $deb ($(stat -c %s "$deb") bytes) after $(elapsed)"
echo "Depends: $(dpkg-deb -f "$deb" Depends)"
echo "Recommends: $(dpkg-deb -f "$deb" Recommends)"

# ---- a fresh Debian 12 root; mounts undone and the folder removed whatever happens ----
chroot_dir=$(mktemp -d /var/tmp/keswin-bookworm.XXXXXX)
# The root's own "/": apt's download user must be able to enter it.
chmod 0755 "$chroot_dir"
xvfb_pid=""
cleanup() {
    [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true
    for mounted in "$chroot_dir/dev" "$chroot_dir/proc"; do
        if mountpoint -q "$mounted"; then
            umount "$mounted" || umount -l "$mounted" || true
        fi
    done
    # Never remove a folder that still has the host's /dev or /proc mounted in it.
    if mountpoint -q "$chroot_dir/dev" || mountpoint -q "$chroot_dir/proc"; then
        echo "still mounted, left in place: $chroot_dir" >&2
    elif [ "${KEEP_ROOT:-0}" = 1 ]; then
        echo "Root kept in $chroot_dir"
    else
        rm -rf --one-file-system "$chroot_dir"
    fi
}
trap cleanup EXIT
# Interrupted or killed, still through the cleanup.
trap 'exit 130' INT
trap 'exit 143' TERM HUP

echo "debootstrap --variant=minbase bookworm from $mirror"
debootstrap --variant=minbase bookworm "$chroot_dir" "$mirror" >"$chroot_dir.debootstrap.log" 2>&1 ||
    { tail -n 20 "$chroot_dir.debootstrap.log" >&2; rm -f "$chroot_dir.debootstrap.log"; exit 1; }
rm -f "$chroot_dir.debootstrap.log"
echo "Fresh root ready after $(elapsed): $(chroot "$chroot_dir" dpkg-query -W | wc -l) packages"
mount -t proc proc "$chroot_dir/proc"
mount --bind /dev "$chroot_dir/dev"

in_root() { chroot "$chroot_dir" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 "$@"; }
cp "$deb" "$chroot_dir/tmp/"
in_root apt-get update -qq
before=$(in_root dpkg-query -W | wc -l)
# apt's chatter about the bare root (no init, no pty, no apt-utils) is shown only if the install fails.
in_root DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "/tmp/$(basename "$deb")" \
    >"$chroot_dir/tmp/apt.log" 2>&1 || { cat "$chroot_dir/tmp/apt.log" >&2; exit 1; }
in_root apt-get clean
after=$(in_root dpkg-query -W | wc -l)
echo "Installed after $(elapsed): $((after - before)) packages brought in, the root now $(du -sh --one-file-system \
    "$chroot_dir" | cut -f1)"
in_root dpkg-query -W -f='${Status}' qt6-qpa-plugins 2>/dev/null | grep -q 'ok installed' && qpa=yes || qpa=no
xcb_owner=$(in_root dpkg -S '*/qt6/plugins/platforms/libqxcb.so' 2>/dev/null | cut -d: -f1 || echo none)
echo "qt6-qpa-plugins installed: $qpa; the X11 platform plugin came with: $xcb_owner"

failures=0
missing=$(in_root ldd /usr/bin/keswin-hash | grep 'not found' || true)
if [ -n "$missing" ]; then
    echo "FAIL libraries not found:"
    echo "$missing"
    failures=$((failures + 1))
fi

# Runs the program in the root for 5 seconds: it must still be running then (status 124) and say nothing about a
# missing library or platform plugin.
run_in_root() {
    local platform=$1
    shift
    local status=0
    in_root XDG_RUNTIME_DIR=/tmp/runtime QT_QPA_PLATFORM="$platform" "$@" timeout 5 keswin-hash /etc/os-release \
        2>"$chroot_dir/tmp/stderr-$platform" || status=$?
    if [ "$status" -eq 124 ] &&
        ! grep -qiE 'cannot open shared object|platform plugin|could not (load|find)' "$chroot_dir/tmp/stderr-$platform"
    then
        echo "PASS $platform: still running after 5 s"
    else
        echo "FAIL $platform: status $status"
        status=1
    fi
    sed 's/^/    stderr: /' "$chroot_dir/tmp/stderr-$platform"
    [ "$status" -eq 124 ] || return 1
}
mkdir -m 0700 -p "$chroot_dir/tmp/runtime"
run_in_root offscreen || failures=$((failures + 1))

# X11 through the host's Xvfb, reached over its abstract socket: proves the xcb plugin and its libraries came in.
exec 3< <(Xvfb -displayfd 1 -nolisten tcp -screen 0 1024x768x24 2>/dev/null)
xvfb_pid=$!
read -r -t 10 display <&3 || { echo "Xvfb did not start" >&2; exit 1; }
run_in_root xcb DISPLAY=":$display" &
runner=$!
shown=no
for _ in $(seq 40); do
    if DISPLAY=":$display" xwininfo -root -tree 2>/dev/null | grep -q '"Keswin Hash"'; then
        shown=yes
        break
    fi
    sleep 0.1
done
wait "$runner" || failures=$((failures + 1))
if [ "$shown" = yes ]; then
    echo "PASS xcb: the window \"Keswin Hash\" was mapped on :$display"
else
    echo "FAIL xcb: no window \"Keswin Hash\" on :$display"
    failures=$((failures + 1))
fi

echo "Done after $(elapsed)"
[ "$failures" -eq 0 ]
