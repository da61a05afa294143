# Installs whichever of the given Debian packages are missing. Sourced by the other tools.
install_missing() {
    local missing=()
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        echo "Installing: ${missing[*]}"
        local sudo=""
        [ "$(id -u)" -eq 0 ] || sudo="sudo"
        $sudo apt-get update -qq
        DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
    fi
}

BUILD_PACKAGES=(cmake g++ make pkg-config qt6-base-dev qt6-base-dev-tools libgl-dev libssl-dev libisal-dev libxcb1-dev
    libxxhash-dev libb2-dev librust-blake3-dev
    fonts-dejavu-core)
# locales: the German locale's sources, which tests/sum builds for itself (no root needed).
TEST_PACKAGES=(coreutils rhash xvfb xdotool xclip x11-utils wmctrl openbox imagemagick clang-format weston qt6-wayland
    qt6-gtk-platformtheme
    dbus at-spi2-core python3-pyatspi python3-gi python3-xlib util-linux python3-fusepy
    desktop-file-utils shared-mime-info xdg-utils appstream dpkg-dev file groff-base man-db lintian
    locales xxhash b3sum)
# tools/fuzz.sh alone: libFuzzer and the sanitizers' runtimes come with Debian's clang.
FUZZ_PACKAGES=(clang libclang-rt-14-dev)
# tools/package-check.sh alone: a fresh Debian 12 root to install the package in, and a display for its window.
PACKAGE_CHECK_PACKAGES=(debootstrap xvfb)
