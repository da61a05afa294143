#!/usr/bin/env bash
# End-to-end: the real program in a real X server with a window manager.
#   window_e2e.sh PROGRAM OUTPUT_DIR STALL_READ_LIBRARY DRAG_SOURCE
# STALL_READ_LIBRARY is the preload library built from StallRead.cpp: reads of *.stall files hang.
# DRAG_SOURCE is the program built from DragSource.cpp: another X client that drags files, as a file manager does.
set -euo pipefail
started=$SECONDS
here=$(cd "$(dirname "$0")" && pwd)
out=$2
mkdir -p "$out"
. "$here/private_desktop.sh"
fail() { echo "FAIL: $*" >&2; exit 1; }
# Absolute paths: some cases start the program from another folder.
[ -x "$1" ] || fail "no program at $1"
[ -f "${3:-}" ] || fail "no stall-read library at ${3:-(not given)}"
[ -x "${4:-}" ] || fail "no drag source at ${4:-(not given)}"
program=$(realpath "$1")
stall_read=$(realpath "$3")
drag_source=$(realpath "$4")
refuse_digests="$here/../data/refuse-digests.cnf"
[ -f "$refuse_digests" ] || fail "missing $refuse_digests"

. "$here/window_helpers.sh"
start_xvfb
private_desktop
openbox >/dev/null 2>&1 &
pids+=($!)
sleep 1

# A length in device pixels at a scale factor, rounded as Qt rounds window sizes.
scaled() { awk -v n="$1" -v s="$2" 'BEGIN { printf "%d", n * s + 0.5 }'; }
centre_of() { xwininfo -id "$1" | awk '/Absolute upper-left X:/ {x=$4} /Absolute upper-left Y:/ {y=$4}
    /Width:/ {w=$2} /Height:/ {h=$2} END {print int(x + w / 2), int(y + h / 2)}'; }
# A message box comes first; Return closes it and the main window follows. With a file name, a screenshot of the box.
expect_message_then_main() {
    wait_for_windows "$1"
    sleep 0.5
    local ids
    ids=$(windows)
    [ "$(count "$ids")" -eq 1 ] || fail "expected only the message box, got: $ids"
    ! is_main "$ids" || fail "the main window showed before any message box"
    [ -z "${2:-}" ] || import -window root "$out/$2"
    xdotool windowactivate --sync "$ids" key Return
    for _ in $(seq 100); do
        ids=$(windows)
        [ "$(count "$ids")" -eq 1 ] && is_main "$ids" && return 0
        sleep 0.1
    done
    fail "the main window did not follow the message box"
}

echo "Case 1: started with a file, the window shows it"
printf 'end to end' >"$work/sample file.txt"
launch "$program" "$work/sample file.txt"
wait_for_windows "$app"
ids=$(windows)
[ "$(echo "$ids" | wc -l)" -eq 1 ] || fail "expected one window, got: $ids"
[ "$(size_of "$ids")" = "278x286" ] || fail "main window is $(size_of "$ids"), expected 278x286"
sleep 1
import -window root "$out/main-window.png"
close_main "closing the main window did not end the program"

echo "Case 2: started with a folder, the message comes before the main window"
launch "$program" "$work"
wait_for_windows "$app"
sleep 0.5
ids=$(windows)
[ "$(echo "$ids" | wc -l)" -eq 1 ] || fail "expected only the message box, got: $ids"
[ "$(size_of "$ids")" != "278x286" ] || fail "the main window showed before the message box was closed"
import -window root "$out/folder-message.png"
xdotool windowactivate --sync "$ids" key Return
for _ in $(seq 100); do
    ids=$(windows)
    [ -n "$ids" ] && [ "$(size_of "$(echo "$ids" | head -n1)")" = "278x286" ] && break
    sleep 0.1
done
[ "$(size_of "$(echo "$ids" | head -n1)")" = "278x286" ] || fail "the main window did not follow the message box"
close_main "closing after a refusal did not end the program"

echo "Case 3: closing during the analysis of a very large file ends the program"
truncate -s 64G "$work/huge.bin"
launch "$program" "$work/huge.bin"
wait_for_windows "$app"
sleep 0.5
kill -0 "$app" 2>/dev/null || fail "the program ended on its own"
wmctrl -c 'Keswin Hash'
# 64 GiB would take minutes to digest; ending well inside this bound means the read was abandoned.
ended_cleanly "$app" "the program kept running after its window was closed during an analysis"

echo "Case 4: quotes in a file name arrive whole"
printf 'quoted' >"$work/say \"hi\".txt"
launch "$program" "$work/say \"hi\".txt"
expect_main_window_first "$app"
close_main "closing the main window did not end the program"
# An unmatched quote, and a second argument that names nothing: only the first one is the file.
printf 'unmatched' >"$work/a\"b.txt"
launch "$program" "$work/a\"b.txt" "$work/not there"
expect_main_window_first "$app"
close_main "closing the main window did not end the program"

echo "Case 5: Qt's own options are file names"
mkdir "$work/title" "$work/platform" "$work/reverse"
touch "$work/title/-qwindowtitle" "$work/title/Foo" "$work/platform/-platform"
launch_in "$work/title" "$program" -qwindowtitle Foo
expect_main_window_first "$app"
[ -z "$(xdotool search --name '^Foo$' 2>/dev/null || true)" ] || fail "-qwindowtitle Foo renamed a window"
close_main "closing the main window did not end the program"
# An unknown platform plugin would make Qt abort (status 134) before any window.
launch_in "$work/platform" "$program" -platform foo
expect_main_window_first "$app"
close_main "closing the main window did not end the program"
# No file -reverse here: the refusal proves the argument was taken as a path.
launch_in "$work/reverse" "$program" -reverse
expect_message_then_main "$app"
close_main "closing after a refusal did not end the program"

echo "Case 6: digests the crypto library refuses are reported, not fatal"
printf 'refused' >"$work/refused.txt"
launch env OPENSSL_CONF="$refuse_digests" "$program" "$work/refused.txt"
wait_for_windows "$app"
# The report may follow within the same poll, but the main window must be there: the box must not come first.
main=
for id in $(windows); do is_main "$id" && main=$id; done
[ -n "$main" ] || fail "a message box came before the main window"
box=
for _ in $(seq 50); do
    for id in $(windows); do [ "$id" = "$main" ] || box=$id; done
    [ -n "$box" ] && break
    still_running "$app" "instead of reporting the refused digests"
    sleep 0.1
done
[ -n "$box" ] || fail "no message box reported the refused digests"
! is_main "$box" || fail "the second window is the size of the main window, not a message box"
sleep 0.5
still_running "$app" "after reporting the refused digests"
import -window root "$out/refused-digests.png"
# Once the main window is shown, its messages belong to it: centred over it, not in a corner of the screen. Client
# areas are compared, so the frames' title bars may shift the heights a little.
read -r main_x main_y <<<"$(centre_of "$main")"
read -r box_x box_y <<<"$(centre_of "$box")"
[ $((main_x - box_x)) -le 2 ] && [ $((box_x - main_x)) -le 2 ] && [ $((main_y - box_y)) -le 30 ] &&
    [ $((box_y - main_y)) -le 30 ] || fail "the message box is centred at $box_x,$box_y, the main window at $main_x,$main_y"
xdotool windowactivate --sync "$box" key Return
for _ in $(seq 50); do
    ids=$(windows)
    [ "$ids" = "$main" ] && break
    sleep 0.1
done
[ "$ids" = "$main" ] || fail "after Return, expected the main window alone, got: $ids"
close_main "closing after refused digests did not end the program"

echo "Case 7: closing while a read hangs ends the program at once"
head -c $((4 << 20)) /dev/zero >"$work/big.stall"
# In the sanitizer build the sanitizer's runtime is not first in the preload list; let it start all the same.
launch env ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0" LD_PRELOAD="$stall_read" \
    "$program" "$work/big.stall" 2>"$work/stall.err"
expect_main_window_first "$app"
sleep 1
grep -q '^stall-read: holding a read' "$work/stall.err" || fail "no read of big.stall was held; is $stall_read loaded?"
still_running "$app" "on its own while a read was held"
wmctrl -c 'Keswin Hash'
for _ in $(seq 20); do
    kill -0 "$app" 2>/dev/null || break
    sleep 0.1
done
if kill -0 "$app" 2>/dev/null; then
    fail "the program was still running 2 s after its window was closed during a hung read"
fi
ended_cleanly "$app" "the program kept running after its window was closed during a hung read"

echo "Case 8: markup in a name is shown as text"
launch "$program" "$work/<b>bold</b> &amp; x"
expect_message_then_main "$app" markup-message.png
close_main "closing after a refusal did not end the program"

# Fails loudly, with both texts and their line ends made visible, unless FILE holds exactly the EXPECTED bytes.
expect_bytes() {
    if ! cmp -s "$1" "$2"; then
        echo "--- < expected, > on the clipboard (^M is CR, \$ a line end)" >&2
        diff <(cat -A "$1") <(cat -A "$2") >&2 || true
        fail "$3"
    fi
}
# A local date-time as the window shows it: the short date with the full year and the time with seconds, or the date
# alone at midnight. The formats are those of the locales the cases start the program in.
date_text() {
    local date_format time_format
    case $1 in
    en_US) date_format='%-m/%-d/%Y' time_format='%-I:%M:%S %p' ;;
    C) date_format='%-d %b %Y' time_format='%H:%M:%S' ;;
    esac
    if [ "$(date -d "@$2" +%H%M%S)" = 000000 ]; then
        LC_ALL=C date -d "@$2" "+$date_format"
    else
        LC_ALL=C date -d "@$2" "+$date_format $time_format"
    fi
}
# FILE's bytes, read without moving its access time: the window must show the one from before it read the file.
untouched() { dd if="$1" iflag=noatime status=none; }
# The report "Copy All" must give for FILE, from coreutils and rhash alone. The file system may keep no birth time.
expected_report() {
    local style=$1 file=$2 born
    born=$(stat -c %W "$file")
    printf 'File Name: %s\r\n' "$(basename "$file")"
    printf 'File Path: %s\r\n' "$file"
    printf 'Created Date: %s\r\n' "$(if [ "$born" != 0 ]; then date_text "$style" "$born"; fi)"
    printf 'Last Accessed: %s\r\n' "$(date_text "$style" "$(stat -c %X "$file")")"
    printf 'Last Modified: %s\r\n' "$(date_text "$style" "$(stat -c %Y "$file")")"
    printf 'File Size: %s\r\n' "$(stat -c %s "$file")"
    printf 'CRC32 Digest: %s\r\n' "$(untouched "$file" | rhash --printf=%c -)"
    printf 'MD5 Hash: %s\r\n' "$(untouched "$file" | md5sum | cut -d' ' -f1)"
    printf 'SHA-1 Hash: %s\r\n' "$(untouched "$file" | sha1sum | cut -d' ' -f1)"
    printf 'SHA-256 Hash: %s\r\n' "$(untouched "$file" | sha256sum | cut -d' ' -f1)"
}
# A zone half an hour off whole hours: dates shown in UTC, or off by the zone's hours alone, cannot pass.
export TZ=Asia/Kolkata

echo "Case 9: Copy All puts the report of every row on the clipboard, byte for byte"
report_file="$work/copy all é.bin"
head -c 1000003 /dev/urandom >"$report_file"
# Modified at local midnight, which shows the date alone; accessed in the afternoon.
touch -m -d '2021-03-14 00:00:00' "$report_file"
touch -a -d '2021-03-14 13:05:09' "$report_file"
expected_report en_US "$report_file" >"$work/expected"
launch env LC_ALL=en_US.UTF-8 "$program" "$report_file"
expect_main_window_first "$app"
main=$(main_window)
wait_for_sha256 "$main"
copy_into "$work/copied" click_copy_all "$main"
expect_bytes "$work/expected" "$work/copied" "Copy All did not give the expected report"
import -window root "$out/copy-all.png"
close_main "closing the main window did not end the program"

echo "Case 10: Copy Selected gives the ticked rows in row order; a copy button its bare row; the selection is left alone"
selected_file="$work/selected rows.txt"
printf 'tick the size and the MD5' >"$selected_file"
launch env LC_ALL=en_US.UTF-8 "$program" "$selected_file"
expect_main_window_first "$app"
main=$(main_window)
wait_for_sha256 "$main"
# What a middle click pastes is the user's own: no copy of the program's may replace it.
printf 'the selection of the test' | xclip -quiet -selection primary >/dev/null 2>&1 &
selection_owner=$!
pids+=($selection_owner)
sleep 0.2
copy_into "$work/copied" click_copy_selected "$main"
[ ! -s "$work/copied" ] || fail "Copy Selected with no row ticked gave: $(cat -A "$work/copied")"
click_tick_box "$main" $row_md5
click_tick_box "$main" $row_size
copy_into "$work/copied" click_copy_selected "$main"
printf 'File Size: %s\r\nMD5 Hash: %s\r\n' "$(stat -c %s "$selected_file")" \
    "$(md5sum <"$selected_file" | cut -d' ' -f1)" >"$work/expected"
expect_bytes "$work/expected" "$work/copied" "Copy Selected did not give the size and MD5 rows"
copy_into "$work/copied" click_copy_button "$main" $row_path
printf '%s' "$selected_file" >"$work/expected"
expect_bytes "$work/expected" "$work/copied" "the path row's copy button did not give the bare path"
kill -0 "$selection_owner" 2>/dev/null || fail "a copy took the primary selection"
[ "$(xclip -selection primary -o)" = 'the selection of the test' ] || fail "a copy changed the primary selection"
kill "$selection_owner"
reap "$selection_owner"
close_main "closing the main window did not end the program"

echo "Case 11: the copied text stays on the clipboard while the program runs"
# In the C locale this time: the report's dates follow the locale the program is started in.
kept_file="$work/kept report.txt"
printf 'kept' >"$kept_file"
touch -m -d '2022-11-05 21:07:08' "$kept_file"
expected_report C "$kept_file" >"$work/expected"
launch env LC_ALL=C.UTF-8 "$program" "$kept_file"
expect_main_window_first "$app"
main=$(main_window)
wait_for_sha256 "$main"
copy_into "$work/copied" click_copy_all "$main"
expect_bytes "$work/expected" "$work/copied" "Copy All in the C locale did not give the expected report"
sleep 1
xclip -selection clipboard -o >"$work/later" 2>/dev/null || fail "the clipboard was empty a second after Copy All"
expect_bytes "$work/expected" "$work/later" "the clipboard did not keep the report"
still_running "$app" "after Copy All"
close_main "closing the main window did not end the program"


echo "Case 12: a file dragged from another program and dropped on the window is analysed"
printf 'dropped first' >"$work/drop one.txt"
printf 'dropped second' >"$work/drop two.txt"
printf 'shown before the drops' >"$work/before drops.txt"
launch "$program" "$work/before drops.txt"
expect_main_window_first "$app"
main=$(main_window)
wait_for_sha256 "$main"
# On the MD5 box: a text box would take a dropped text as typing; here the file is analysed instead.
drag_onto "$main" 160 201 "$work/drop one.txt" "$work/drop two.txt"
wait_for_sha256 "$main" "$(sha256sum <"$work/drop one.txt" | cut -d' ' -f1)"
[ "$(row_text "$main" $row_name)" = "drop one.txt" ] || fail "the name row shows \"$(cat "$work/row")\" after the drop"
[ "$(row_text "$main" $row_path)" = "$work/drop one.txt" ] || fail "the path row shows \"$(cat "$work/row")\""
[ "$(row_text "$main" $row_md5)" = "$(md5sum <"$work/drop one.txt" | cut -d' ' -f1)" ] ||
    fail "the MD5 row shows \"$(cat "$work/row")\" after a drop on it"
# On "Copy All": released over the button, but never pressed there, so nothing is copied.
mark_clipboard
drag_onto "$main" 132 268 "$work/drop two.txt" "$work/drop one.txt"
sleep 0.5
kill -0 "$marker" 2>/dev/null && [ "$(xclip -selection clipboard -o)" = "$clipboard_marker" ] ||
    fail "a drop on Copy All changed the clipboard to: $(xclip -selection clipboard -o 2>&1 | cat -A)"
kill "$marker"
reap "$marker"
wait_for_sha256 "$main" "$(sha256sum <"$work/drop two.txt" | cut -d' ' -f1)"
[ "$(row_text "$main" $row_name)" = "drop two.txt" ] || fail "the name row shows \"$(cat "$work/row")\" after the drop"
close_main "closing after drops did not end the program"

echo "Case 13: Browse... analyses the file chosen in the dialog; a cancel changes nothing"
printf 'chosen in the dialog' >"$work/chosen file.txt"
printf 'shown before browsing' >"$work/before browsing.txt"
launch "$program" "$work/before browsing.txt"
expect_main_window_first "$app"
main=$(main_window)
wait_for_sha256 "$main"
dialog_ids() { xdotool search --onlyvisible --name '^Select a File to Hash$' 2>/dev/null || true; }
# Opens the dialog and waits until it has the keyboard: its file name field takes the typing.
open_dialog() {
    click_browse "$main"
    for _ in $(seq 100); do
        dialog=$(dialog_ids)
        if [ -n "$dialog" ] && [ "$(xdotool getwindowfocus)" = "$dialog" ]; then
            # Its own process's, and kept over the window all the same.
            [ "$(xprop -id "$dialog" WM_TRANSIENT_FOR | grep -o '0x[0-9a-f]*')" = "$(printf '0x%x' "$main")" ] ||
                fail "the dialog is not kept over the window: $(xprop -id "$dialog" WM_TRANSIENT_FOR)"
            return 0
        fi
        sleep 0.1
    done
    fail "no focused dialog titled \"Select a File to Hash\" after a click on Browse..."
}
close_dialog_with() {
    xdotool key "$1"
    for _ in $(seq 50); do
        [ -z "$(dialog_ids)" ] && return 0
        sleep 0.1
    done
    fail "the dialog stayed open after $1"
}
open_dialog
sleep 0.3
xdotool type --delay 10 "$work/chosen file.txt"
close_dialog_with Return
wait_for_sha256 "$main" "$(sha256sum <"$work/chosen file.txt" | cut -d' ' -f1)"
[ "$(row_text "$main" $row_path)" = "$work/chosen file.txt" ] || fail "the path row shows \"$(cat "$work/row")\""
open_dialog
close_dialog_with Escape
sleep 0.3
[ "$(row_text "$main" $row_path)" = "$work/chosen file.txt" ] ||
    fail "after a cancel the path row shows \"$(cat "$work/row")\""
[ "$(row_text "$main" $row_sha256)" = "$(sha256sum <"$work/chosen file.txt" | cut -d' ' -f1)" ] ||
    fail "after a cancel the SHA-256 row shows \"$(cat "$work/row")\""
close_main "closing after browsing did not end the program"

echo "Case 14: with the bulletin last opened 31 days ago, start-up opens it again and stores the new date"
printf '[Checkup]\nSite=%s\n' "$(date -d '31 days ago' +%Y-%m-%dT%H:%M:%S)" >"$XDG_CONFIG_HOME/QDX.conf"
rm -f "$work/opened.log"
launch "$program"
expect_main_window_first "$app"
for _ in $(seq 50); do [ -s "$work/opened.log" ] && break; sleep 0.1; done
[ "$(cat "$work/opened.log" 2>/dev/null)" = "https://www.keswin.example/bulletin.php" ] ||
    fail "the opener was asked for: $(cat "$work/opened.log" 2>/dev/null || echo nothing)"
grep -qx "Site=$(date +%Y-%m-%d)T[0-9:]*" "$XDG_CONFIG_HOME/QDX.conf" ||
    fail "the setting was not rewritten: $(cat "$XDG_CONFIG_HOME/QDX.conf")"
close_main "closing after the bulletin did not end the program"
# Started again the same day, it opens nothing.
rm -f "$work/opened.log"
launch "$program"
expect_main_window_first "$app"
sleep 0.5
[ ! -e "$work/opened.log" ] || fail "the bulletin opened twice: $(cat "$work/opened.log")"
close_main "closing the second start did not end the program"

echo "Case 15: the banner opens the one About window, centred; its picture opens the home page"
launch "$program"
expect_main_window_first "$app"
main=$(windows)
about_windows() { xdotool search --onlyvisible --name '^About Keswin Hash$' 2>/dev/null || true; }
rm -f "$work/opened.log"
# A double click: the window opens under the pointer, and the second click must not open the home page.
xdotool mousemove --window "$main" 100 20 click --repeat 2 --delay 120 1
sleep 0.5
about=$(about_windows)
[ "$(count "$about")" -eq 1 ] || fail "expected one About window, got: $about"
[ "$(size_of "$about")" = "300x301" ] || fail "the About window is $(size_of "$about"), expected 300x301"
[ ! -e "$work/opened.log" ] || fail "a double click on the banner opened: $(cat "$work/opened.log")"
read -r main_x main_y <<<"$(centre_of "$main")"
read -r about_x about_y <<<"$(centre_of "$about")"
[ $((main_x - about_x)) -le 2 ] && [ $((about_x - main_x)) -le 2 ] && [ $((main_y - about_y)) -le 2 ] &&
    [ $((about_y - main_y)) -le 2 ] || fail "About is centred at $about_x,$about_y, the main window at $main_x,$main_y"
import -window root "$out/about-window.png"
xdotool mousemove --window "$about" 150 60 click 1
for _ in $(seq 50); do [ -s "$work/opened.log" ] && break; sleep 0.1; done
[ "$(cat "$work/opened.log" 2>/dev/null)" = "https://www.keswin.example/" ] ||
    fail "a click on the picture asked the opener for: $(cat "$work/opened.log" 2>/dev/null || echo nothing)"
xdotool mousemove --window "$about" 248 284 click 1 # Close
sleep 0.3
[ -z "$(about_windows)" ] || fail "Close did not hide the About window"
[ "$(wc -l <"$work/opened.log")" -eq 1 ] || fail "Close opened a page"
xdotool mousemove --window "$main" 100 20 click 1
sleep 0.3
[ "$(about_windows)" = "$about" ] || fail "the banner did not show the same About window again"
close_main "closing the main window with the About window open did not end the program"

echo "Case 16: a termination signal closes every window and ends the program cleanly"
launch "$program" "$work/sample file.txt"
expect_main_window_first "$app"
xdotool mousemove --window "$(windows)" 100 20 click 1
for _ in $(seq 50); do [ -n "$(about_windows)" ] && break; sleep 0.1; done
[ -n "$(about_windows)" ] || fail "the banner did not open the About window"
kill -TERM "$app"
ended_cleanly "$app" "SIGTERM with the About window open did not end the program"
# During the start-up message box: the box closes and the main window never shows. (Not SIGINT: a script's
# background job starts with it ignored, and the program leaves it so.)
launch "$program" "$work"
wait_for_windows "$app"
kill -HUP "$app"
ended_cleanly "$app" "SIGHUP during the start-up message did not end the program"

echo "Case 17: at scale factors 2 and 1.5 both windows are drawn at that scale; screenshots for the eye"
printf 'seen on a dense screen' >"$work/dense screen.txt"
for scale in 2 1.5; do
    launch env QT_SCALE_FACTOR=$scale "$program" "$work/dense screen.txt"
    expect_main_window_first_at "$app" "$(scaled 278 $scale)x$(scaled 286 $scale)"
    main=$(windows)
    sleep 1
    import -window "$main" "$out/main-window-scale$scale.png"
    xdotool mousemove --window "$main" "$(scaled 100 $scale)" "$(scaled 20 $scale)" click 1
    for _ in $(seq 50); do [ -n "$(about_windows)" ] && break; sleep 0.1; done
    about=$(about_windows)
    [ "$(size_of "$about")" = "$(scaled 300 $scale)x$(scaled 301 $scale)" ] ||
        fail "at scale $scale the About window is $(size_of "$about")"
    sleep 0.3
    import -window "$about" "$out/about-window-scale$scale.png"
    close_main "closing at scale $scale did not end the program"
done

echo "Case 18: nothing of a drag outlives it: after a drag taken away or refused, a drop gives the file dropped"
# The X11 platform hands every drag from another program over in one and the same data object. Each row: what a
# first drag carries, and where it is released: on the desktop after crossing the window, or on the window. Then
# another file is dropped, and the window must show that file.
printf 'shown before the drags' >"$work/before drags.txt"
launch "$program" "$work/before drags.txt"
expect_main_window_first "$app"
main=$(main_window)
wait_for_sha256 "$main"
read -r main_x main_y _ <<<"$(geometry_of "$main")"
before="$work/before drags.txt"
row=0
while read -r carried released; do
    row=$((row + 1))
    mkdir -p "$work/drags $row/old" "$work/drags $row/new"
    printf 'dragged first in row %s' $row >"$work/drags $row/old/setup.bin"
    printf 'dropped last in row %s' $row >"$work/drags $row/new/setup.bin"
    case $carried in
    file) start_drag "$main" "$work/drags $row/old/setup.bin" ;;
    text) start_drag "$main" --text "$work/drags $row/old/setup.bin" ;;
    link) start_drag "$main" --link "https://www.example.org/setup.bin" ;;
    esac
    drag_to $((main_x + 160)) $((main_y + 201))
    [ "$carried" != file ] || wait_for_last_answer accepted
    if [ "$released" = desktop ]; then
        drag_to 1010 755
        [ "$carried" != file ] || wait_for_last_answer refused
    fi
    end_drag
    grep -qx ignore "$work/drag.out" ||
        fail "row $row: the $carried released on the $released was taken: $(cat "$work/drag.out")"
    dropped="$work/drags $row/new/setup.bin"
    drag_onto "$main" 160 181 "$dropped"
    # The path row changes from the path shown before to that of the file analysed next, whichever it is.
    for _ in $(seq 100); do
        shown=$(row_text "$main" $row_path)
        [ -n "$shown" ] && [ "$shown" != "$before" ] && break
        sleep 0.1
    done
    [ "$shown" = "$dropped" ] || fail "row $row: the path row shows \"$shown\""
    before=$dropped
    wait_for_sha256 "$main" "$(sha256sum <"$dropped" | cut -d' ' -f1)"
    [ "$(row_text "$main" $row_md5)" = "$(md5sum <"$dropped" | cut -d' ' -f1)" ] ||
        fail "row $row: the MD5 row shows \"$(cat "$work/row")\""
done <<'ROWS'
file desktop
text window
link window
text desktop
file desktop
ROWS
close_main "closing after the drags did not end the program"

echo "Case 19: Browse in the desktop's own dialog: a name that is not UTF-8 is never taken for its namesake"
# GTK's dialog, as on GNOME and XFCE, hands Qt the names as UTF-8 text: "caf\xe9.txt" comes back as "caf\ufffd.txt",
# the name of another file, here present. Whichever of the two is chosen, the program must say it cannot tell them
# apart and keep showing what it showed; started in their folder, where the dialog opens.
[ -n "$(find /usr/lib -path '*/qt6/plugins/platformthemes/libqgtk3.so' 2>/dev/null)" ] ||
    fail "Qt's GTK dialogs are missing: install qt6-gtk-platformtheme"
mkdir "$work/latin-1"
printf 'shown before browsing' >"$work/latin-1/before.txt"
printf 'latin-1 name' >"$work/latin-1/caf"$'\xe9'".txt"
printf 'the namesake' >"$work/latin-1/caf"$'\xef\xbf\xbd'".txt"
before="$work/latin-1/before.txt"
launch_in "$work/latin-1" env QT_QPA_PLATFORMTHEME=gtk3 LC_ALL=C.UTF-8 NO_AT_BRIDGE=1 GSETTINGS_BACKEND=memory \
    "$program" "$before"
expect_main_window_first "$app"
main=$(main_window)
wait_for_sha256 "$main" "$(sha256sum <"$before" | cut -d' ' -f1)"
# DOWN: how many rows below the first (before.txt) the chosen name is; the two that read alike sort in either order.
browse_refused() {
    local down=$1 box=
    open_dialog
    # Keys pressed before the dialog has listed the folder choose nothing, and the dialog stays open with the
    # keyboard: again then, but never once it has let the keyboard go, lest the keys reach the message.
    for _ in $(seq 10); do
        xdotool key Home
        for _ in $(seq "$down"); do xdotool key Down; done
        xdotool key Return
        for _ in $(seq 50); do
            [ -n "$(dialog_ids)" ] || break 2
            sleep 0.1
        done
        [ "$(xdotool getwindowfocus)" = "$dialog" ] || break
    done
    [ -z "$(dialog_ids)" ] || fail "the dialog stayed open after row $down of the folder was chosen"
    for _ in $(seq 100); do
        for id in $(windows); do [ "$id" = "$main" ] || box=$id; done
        [ -n "$box" ] && break
        still_running "$app" "after a name that is not UTF-8 was chosen"
        sleep 0.1
    done
    [ -n "$box" ] ||
        fail "choosing row $down of the folder showed no message; the path row shows \"$(row_text "$main" $row_path)\""
    import -window root "$out/browse-not-utf8-$down.png"
    xdotool windowactivate --sync "$box" key Return
    for _ in $(seq 50); do [ "$(windows)" = "$main" ] && break; sleep 0.1; done
    [ "$(windows)" = "$main" ] || fail "the message stayed open after Return"
    [ "$(row_text "$main" $row_path)" = "$before" ] ||
        fail "after the message the path row shows \"$(cat "$work/row")\""
    [ "$(row_text "$main" $row_sha256)" = "$(sha256sum <"$before" | cut -d' ' -f1)" ] ||
        fail "after the message the SHA-256 row shows \"$(cat "$work/row")\""
}
browse_refused 1
browse_refused 2
# Alone in its folder: refused all the same, not reported as a path that names nothing.
rm "$work/latin-1/caf"$'\xef\xbf\xbd'".txt"
browse_refused 1
close_main "closing after browsing did not end the program"

echo "Run time: $((SECONDS - started)) s"
echo "PASS: 19 cases; screenshots in $out"
