"""Watches the program over AT-SPI until its analysis of a file has come to an end.

    analysis_state.py SECONDS GRACE BEFORE MESSAGE_FILE

Prints "message" once a message box is up, its text written to MESSAGE_FILE exactly as the box holds it; or "rows"
once the SHA-256 row shows a digest other than BEFORE (what it showed before a drop) and no message box has come
within GRACE seconds after. An empty row proves nothing: it is empty before the analysis begins and after a refusal,
whose message box may take its time to show on a busy machine. Exits 1, saying what the row last showed, if neither
comes within SECONDS: an analysis that never ends is a fault of its own.
"""
import re
import sys
import time

import pyatspi

from accessible_tree import descendants

DIGEST = re.compile(r"[0-9a-f]{64}")


def programs():
    # The program of the run before may still be on the bus for a moment after its end, under the same name.
    return [app for app in pyatspi.Registry.getDesktop(0) if app is not None and app.name == "Keswin Hash"]


def shown_windows(app, role):
    children = (app.getChildAtIndex(index) for index in range(app.childCount))
    return [window for window in children if window is not None and window.getRoleName() == role
            and window.getState().contains(pyatspi.STATE_SHOWING)]


# The box's text is the one label with a name; the other holds its (empty) icon.
def message(app):
    for box in shown_windows(app, "alert"):
        texts = [label.name for label in descendants(box) if label.getRoleName() == "label" and label.name]
        if len(texts) == 1:
            return texts[0]
    return None


def sha256_row(app):
    for frame in shown_windows(app, "frame"):
        for box in descendants(frame):
            if box.getRoleName() == "text" and box.name == "SHA-256 Hash":
                text = box.queryText()
                return text.getText(0, text.characterCount)
    return None


def main():
    seconds, grace, before, message_file = float(sys.argv[1]), float(sys.argv[2]), sys.argv[3], sys.argv[4]
    deadline = time.monotonic() + seconds
    settled_at = None
    shown = None
    while time.monotonic() < deadline:
        apps = programs()
        if apps:
            for app in apps:
                text = message(app)
                if text is not None:
                    with open(message_file, "w", encoding="utf-8") as file:
                        file.write(text)
                    print("message")
                    return 0
            rows = [row for row in (sha256_row(app) for app in apps) if row is not None]
            shown = rows[0] if rows else None
            if shown is not None and DIGEST.fullmatch(shown) and shown != before:
                settled_at = settled_at or time.monotonic()
                if time.monotonic() - settled_at >= grace:
                    print("rows")
                    return 0
            else:
                settled_at = None
        time.sleep(0.05)
    if shown is None:
        print(f"after {seconds:g} s the program shows no window on the accessibility bus")
    else:
        print(f"after {seconds:g} s the SHA-256 row still shows {shown!r} and no message came")
    return 1


sys.exit(main())
