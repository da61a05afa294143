"""Answers for org.a11y.Bus on a bus that is itself the accessibility bus, for the end-to-end tests.

    accessibility_bus.py ADDRESS

Qt looks for the accessibility bus through the org.a11y.Bus service on its session bus. The desktop's own launcher
starts a bus only its user may join; the tests need one that a program run as another user reaches too, so they start
a bus open to every user, use it as both, and run this in place of the launcher. Prints "ready" once the name is
owned, and ends when the bus goes away.
"""
import sys

from gi.repository import Gio, GLib

INTERFACES = Gio.DBusNodeInfo.new_for_xml("""<node>
  <interface name="org.a11y.Bus"><method name="GetAddress"><arg type="s" direction="out"/></method></interface>
  <interface name="org.a11y.Status">
    <property name="IsEnabled" type="b" access="read"/>
    <property name="ScreenReaderEnabled" type="b" access="read"/>
  </interface>
</node>""").interfaces


def main():
    address = sys.argv[1]
    flags = Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT | Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION
    connection = Gio.DBusConnection.new_for_address_sync(address, flags, None, None)
    loop = GLib.MainLoop()
    connection.connect("closed", lambda *closed: loop.quit())

    def get_address(*call):
        call[-1].return_value(GLib.Variant("(s)", (address,)))

    connection.register_object("/org/a11y/bus", INTERFACES[0], get_address, None, None)
    connection.register_object("/org/a11y/bus", INTERFACES[1], None, lambda *get: GLib.Variant("b", True), None)
    Gio.bus_own_name_on_connection(connection, "org.a11y.Bus", Gio.BusNameOwnerFlags.NONE,
                                   lambda *owned: print("ready", flush=True), None)
    loop.run()


main()
