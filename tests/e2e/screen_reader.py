"""Meets the program as a screen reader does, over AT-SPI.

    screen_reader.py FILE MD5 SHA1

Checks the names, roles and descriptions of the main window's controls, reads a digest through the text interface,
and works the window through actions alone: a copy button, a tick box, "Copy Selected" and the banner. Prints each
clipboard text it needs checked as a line "clipboard-after <what>", and each page it expects the desktop to have been
asked to open as "opened-after <what>", and waits for a line back on standard input.
"""
import sys
import time

import pyatspi

from accessible_tree import descendants


def fail(message):
    print(f"FAIL: {message}", file=sys.stderr)
    sys.exit(1)


def find_application(name, timeout=20.0):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        for app in pyatspi.Registry.getDesktop(0):
            if app is not None and app.name == name:
                return app
        time.sleep(0.2)
    fail(f"no application named {name!r} on the accessibility bus")


def wait_for(condition, what, timeout=10.0):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        result = condition()
        if result:
            return result
        time.sleep(0.1)
    fail(f"timed out waiting for {what}")


def window_named(app, role, name):
    return next((w for w in descendants(app) if w.getRoleName() == role and w.name == name), None)


def control(window, role, name):
    found = [c for c in descendants(window) if c.getRoleName() == role and c.name == name]
    if len(found) != 1:
        fail(f"expected one {role} named {name!r}, found {len(found)}")
    return found[0]


def press(node, action_name):
    action = node.queryAction()
    names = [action.getName(i) for i in range(action.nActions)]
    if action_name not in names:
        fail(f"{node.getRoleName()} {node.name!r} has no action {action_name!r}, only {names}")
    action.doAction(names.index(action_name))


def text_of(node):
    text = node.queryText()
    return text.getText(0, text.characterCount)


def ask(question, what):
    print(f"{question} {what}", flush=True)
    answer = sys.stdin.readline().strip()
    if answer != "ok":
        fail(f"after {what}: {answer}")


def ask_clipboard(what):
    print(f"clipboard-after {what}", flush=True)
    answer = sys.stdin.readline().strip()
    if answer != "ok":
        fail(f"after {what}: {answer}")


def main():
    path, md5, sha1 = sys.argv[1:4]
    rows = ["File Name", "File Path", "Created Date", "Last Accessed", "Last Modified", "File Size", "CRC-32 Digest",
            "MD5 Hash", "SHA-1 Hash", "SHA-256 Hash"]
    app = find_application("Keswin Hash")
    window = wait_for(lambda: window_named(app, "frame", "Keswin Hash"), "a frame named Keswin Hash")

    # Every control that takes focus or a click has a name and a description; none is left unnamed.
    controls = [c for c in descendants(window) if c.getRoleName() in ("push button", "check box", "text")]
    unnamed = [c.getRoleName() for c in controls if not c.name or not c.description]
    if unnamed or len(controls) != 34:
        fail(f"{len(controls)} controls, {len(unnamed)} without a name or description: {unnamed}")
    for row in rows:
        control(window, "text", row)
        control(window, "push button", f"Copy {row}")
        control(window, "check box", f"Include {row} in Copy Selected")
    for name in ("About Keswin Hash", "Browse...", "Copy All", "Copy Selected"):
        control(window, "push button", name)

    # The digests as a listener hears them: the text of the boxes, once the read is done.
    md5_box = control(window, "text", "MD5 Hash")
    wait_for(lambda: text_of(md5_box) == md5, f"the MD5 box to read {md5}")
    if text_of(control(window, "text", "File Path")) != path:
        fail(f"the File Path box reads {text_of(control(window, 'text', 'File Path'))!r}")

    press(control(window, "push button", "Copy MD5 Hash"), "Press")
    ask_clipboard("Copy MD5 Hash")

    tick = control(window, "check box", "Include SHA-1 Hash in Copy Selected")
    press(tick, "Toggle")
    wait_for(lambda: tick.getState().contains(pyatspi.STATE_CHECKED), "the SHA-1 tick box to be checked")
    press(control(window, "push button", "Copy Selected"), "Press")
    ask_clipboard("Copy Selected")

    # The banner takes no click from the keyboard; its press action opens the About window.
    press(control(window, "push button", "About Keswin Hash"), "Press")
    about = wait_for(lambda: window_named(app, "dialog", "About Keswin Hash"), "a dialog named About Keswin Hash")
    for name in ("Keswin Hash home page", "Close"):
        if not control(about, "push button", name).description:
            fail(f"the About window's {name!r} has no description")
    press(control(about, "push button", "Keswin Hash home page"), "Press")
    ask("opened-after", "the picture's press")
    press(control(about, "push button", "Close"), "Press")
    wait_for(lambda: not about.getState().contains(pyatspi.STATE_SHOWING), "the About window to close")
    print("done", flush=True)


main()
