"""A clipboard manager for the end-to-end tests, as a desktop's is: it owns CLIPBOARD_MANAGER and, asked to
SAVE_TARGETS, takes the clipboard's text from its owner and then serves it as the clipboard's new owner.
Prints "ready" once it owns the manager selection and "saved N bytes" after each save.
  clipboard_manager.py [--silent]    (--silent: owns the selection but never answers, as a hung manager)"""
import sys

from Xlib import X, Xatom, display
from Xlib.protocol import event

silent = "--silent" in sys.argv[1:]
screen = display.Display()
window = screen.screen().root.create_window(0, 0, 1, 1, 0, X.CopyFromParent)
atom = screen.intern_atom
MANAGER, SAVE_TARGETS, TARGETS = atom("CLIPBOARD_MANAGER"), atom("SAVE_TARGETS"), atom("TARGETS")
CLIPBOARD, UTF8, SAVED = atom("CLIPBOARD"), atom("UTF8_STRING"), atom("KESWIN_TEST_SAVED")
window.set_selection_owner(MANAGER, X.CurrentTime)
screen.sync()
if screen.get_selection_owner(MANAGER) != window:
    sys.exit("could not own CLIPBOARD_MANAGER")
print("ready", flush=True)


def answer(request, prop):
    request.requestor.send_event(event.SelectionNotify(
        time=request.time, requestor=request.requestor, selection=request.selection, target=request.target,
        property=prop))
    screen.flush()


def serve(request, targets, value):
    # Old clients name no property: the target's name is then the property's.
    prop = request.property if request.property != X.NONE else request.target
    if request.target == TARGETS:
        request.requestor.change_property(prop, Xatom.ATOM, 32, targets)
    elif request.target in targets and value is not None:
        request.requestor.change_property(prop, request.target, 8, value)
    else:
        return answer(request, X.NONE)
    answer(request, prop)


saved = None
saving = None  # the SAVE_TARGETS request being carried out
while True:
    e = screen.next_event()
    if e.type == X.SelectionRequest and e.selection == MANAGER:
        if silent:
            continue
        if e.target == SAVE_TARGETS:
            saving = e
            window.convert_selection(CLIPBOARD, UTF8, SAVED, X.CurrentTime)
            screen.flush()
        else:
            serve(e, [TARGETS, SAVE_TARGETS], None)
    elif e.type == X.SelectionNotify and saving is not None:
        taken = window.get_full_property(SAVED, X.AnyPropertyType) if e.property != X.NONE else None
        if taken is not None:
            saved = taken.value if isinstance(taken.value, bytes) else bytes(taken.value)
            window.set_selection_owner(CLIPBOARD, X.CurrentTime)
            print(f"saved {len(saved)} bytes", flush=True)
        answer(saving, saving.property if taken is not None else X.NONE)
        saving = None
    elif e.type == X.SelectionRequest and e.selection == CLIPBOARD:
        serve(e, [TARGETS, UTF8, Xatom.STRING], saved)
    elif e.type == X.SelectionClear and e.atom == CLIPBOARD:
        saved = None
