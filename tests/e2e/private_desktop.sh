# Sourced by the end-to-end scripts and tools/screenshots.sh: a desktop of their own, so that nothing reaches the
# user's settings, screen or browser. Sourcing it makes `work`, a temporary folder, and `pids`, the processes to stop;
# both go when the script ends, however it ends. A caller with more to clean sets `extra_cleanup` to a command.
work=$(mktemp -d)
pids=()
extra_cleanup=
stop_and_remove() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    [ -z "$extra_cleanup" ] || eval "$extra_cleanup"
    rm -rf "$work"
}
trap stop_and_remove EXIT

# Settings in WORK/config and a runtime folder of its own; the desktop's opener is a stand-in that logs what it was
# asked to open to WORK/opened.log instead of starting a browser.
private_desktop() {
    export XDG_RUNTIME_DIR="$work/runtime" XDG_CONFIG_HOME="$work/config"
    mkdir -m 700 "$XDG_RUNTIME_DIR"
    mkdir -p "$XDG_CONFIG_HOME" "$work/bin"
    cat >"$work/bin/xdg-open" <<OPENER
#!/bin/sh
printf '%s\n' "\$*" >>"$work/opened.log"
OPENER
    chmod +x "$work/bin/xdg-open"
    export PATH="$work/bin:$PATH"
}

# An X server of its own on a free display, at the given screen size; exports DISPLAY. KESWIN_TEST_DISPLAY (":85")
# picks the display instead, for runs beside others that were given fixed displays.
# -noreset: when its last client leaves, a server otherwise resets, and refuses the next program that connects meanwhile.
start_xvfb() {
    exec 3>"$work/display"
    Xvfb ${KESWIN_TEST_DISPLAY:-} -displayfd 3 -screen 0 "${1:-1024x768}x24" -nolisten tcp -noreset >/dev/null 2>&1 &
    pids+=($!)
    exec 3>&-
    for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
    [ -s "$work/display" ] || { echo "FAIL: Xvfb gave no display" >&2; exit 1; }
    export DISPLAY=":$(cat "$work/display")" QT_QPA_PLATFORM=xcb
}

# The bulletin counts as opened just now, so starting the program opens no page.
bulletin_seen_today() {
    printf '[Checkup]\nSite=%s\n' "$(date +%Y-%m-%dT%H:%M:%S)" >"$XDG_CONFIG_HOME/QDX.conf"
}
