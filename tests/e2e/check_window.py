"""Reads and works the check window over AT-SPI, as a screen reader does.

    check_window.py PATIENCE summary REGEX   waits until the summary's text matches; prints it, the found-digests
                                             or comparison line, the paste answer, one line per result row (the
                                             sentence its first cell describes it with) and one per cell (its name)
    check_window.py PATIENCE focus NAME      gives the keyboard focus to the control of that accessible name
    check_window.py PATIENCE press NAME      presses the button of that accessible name

Exits 1, saying why, when the window or the state does not come within PATIENCE seconds.
"""
import re
import sys
import time

import pyatspi

from accessible_tree import descendants

APPLICATION = "Keswin Hash Check"


def fail(message):
    print(f"FAIL: {message}", file=sys.stderr)
    sys.exit(1)


def wait_for(condition, what, timeout):
    deadline = time.monotonic() + timeout
    while True:
        result = condition()
        if result:
            return result
        if time.monotonic() > deadline:
            fail(f"timed out waiting for {what}")
        time.sleep(0.1)


def application():
    return next((a for a in pyatspi.Registry.getDesktop(0) if a is not None and a.name == APPLICATION), None)


def named(app, name):
    found = [node for node in descendants(app) if node.name == name]
    return found[0] if len(found) == 1 else None


def row_sentences(app):
    table = next((n for n in descendants(app) if n.getRoleName() == "table"), None)
    if table is None:
        return []
    cells = table.queryTable()
    return [cells.getAccessibleAt(row, 0).description for row in range(cells.nRows)]


def cell_names(app):
    table = next((n for n in descendants(app) if n.getRoleName() == "table"), None)
    if table is None:
        return []
    cells = table.queryTable()
    return [cells.getAccessibleAt(row, column).name for row in range(cells.nRows) for column in range(cells.nColumns)]


def main():
    patience = float(sys.argv[1])
    command, argument = sys.argv[2], sys.argv[3]
    app = wait_for(application, f"an application named {APPLICATION!r} on the accessibility bus", patience)
    if command == "summary":
        pattern = re.compile(argument)

        def matching():
            summary = named(app, "Summary")
            return summary is not None and pattern.search(summary.description) and summary.description

        text = wait_for(matching, f"a summary matching {argument!r}", patience)
        print(f"summary: {text}")
        for label in ("Published digests found", "Comparison", "Answer to the pasted digest"):
            node = named(app, label)
            print(f"{label}: {node.description if node is not None else '(none)'}")
        for sentence in row_sentences(app):
            print(f"row: {sentence}")
        for name in cell_names(app):
            print(f"cell: {name}")
    elif command == "focus":
        control = wait_for(lambda: named(app, argument), f"a control named {argument!r}", patience)
        control.queryComponent().grabFocus()
        wait_for(lambda: control.getState().contains(pyatspi.STATE_FOCUSED), f"{argument!r} focused", patience)
    elif command == "press":
        control = wait_for(lambda: named(app, argument), f"a control named {argument!r}", patience)
        action = control.queryAction()
        names = [action.getName(i) for i in range(action.nActions)]
        if "Press" not in names:
            fail(f"{argument!r} has no Press action, only {names}")
        action.doAction(names.index("Press"))
    else:
        fail(f"unknown command {command!r}")


main()
