#!/usr/bin/python3
"""Prints each launcher entry update seen on the session bus, one line each: APP_URI PROGRESS VISIBLE ("-" for a
property the update leaves out). Prints "ready" first, once its own probe has come back through the bus, so that no
update sent after that line can be missed."""
import sys

from gi.repository import Gio, GLib

INTERFACE = "com.canonical.Unity.LauncherEntry"
PROBE = "probe://launcher-listener"

bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
loop = GLib.MainLoop()


def on_update(_connection, _sender, _path, _interface, _member, parameters):
    uri, properties = parameters.unpack()
    if uri == PROBE:
        print("ready", flush=True)
        return
    progress = properties.get("progress", "-")
    visible = properties.get("progress-visible", "-")
    if isinstance(visible, bool):
        visible = "true" if visible else "false"
    print(uri, progress, visible, flush=True)


bus.signal_subscribe(None, INTERFACE, "Update", None, None, Gio.DBusSignalFlags.NONE, on_update)
# The subscription's match rule reaches the bus before this signal, in the order the connection sends them.
bus.emit_signal(None, "/probe", INTERFACE, "Update", GLib.Variant("(sa{sv})", (PROBE, {})))
try:
    loop.run()
except KeyboardInterrupt:
    sys.exit(0)
