#!/usr/bin/env python3
"""Stands in for logind and NetworkManager on a private bus (given as the system bus).

    fake_system.py ADDRESS LOG [LIFETIME]

It owns org.freedesktop.login1 and org.freedesktop.NetworkManager. NetworkManager starts
disconnected (State 20). The test drives it through methods of /test, interface org.vurk.Test, on
either name:

    Resume()        logind's PrepareForSleep(false)
    State(u state)  NetworkManager's new State (70: connected, global), sent as PropertiesChanged

It writes one line per event to LOG ("ready", "Get INTERFACE NAME", "resume", "state N") and ends on
SIGTERM or after LIFETIME seconds (120).
"""
import signal
import sys

import dbus
import dbus.mainloop.glib
import dbus.service
from gi.repository import GLib

LOGIN = "org.freedesktop.login1"
NM = "org.freedesktop.NetworkManager"
PROPERTIES = "org.freedesktop.DBus.Properties"


def log(text):
    with open(sys.argv[2], "a") as f:
        f.write(text + "\n")


class Login(dbus.service.Object):
    @dbus.service.signal(LOGIN + ".Manager", signature="b")
    def PrepareForSleep(self, start):
        pass


class NetworkManager(dbus.service.Object):
    def __init__(self, bus, path):
        super().__init__(bus, path)
        self.props = {"State": dbus.UInt32(20)}

    @dbus.service.method(PROPERTIES, in_signature="ss", out_signature="v")
    def Get(self, interface, name):
        log("Get %s %s" % (interface, name))
        if interface != NM or name not in self.props:
            raise dbus.exceptions.DBusException("no such property", name="org.freedesktop.DBus.Error.InvalidArgs")
        return self.props[name]

    @dbus.service.signal(PROPERTIES, signature="sa{sv}as")
    def PropertiesChanged(self, interface, changed, invalidated):
        pass


class Test(dbus.service.Object):
    def __init__(self, bus, login, nm):
        super().__init__(bus, "/test")
        self.login, self.nm = login, nm

    @dbus.service.method("org.vurk.Test")
    def Resume(self):
        log("resume")
        self.login.PrepareForSleep(False)

    @dbus.service.method("org.vurk.Test", in_signature="u")
    def State(self, state):
        log("state %d" % state)
        self.nm.props["State"] = dbus.UInt32(state)
        self.nm.PropertiesChanged(NM, dbus.Dictionary({"State": dbus.UInt32(state)}, signature="sv"),
                                  dbus.Array([], signature="s"))


def main():
    dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
    bus = dbus.bus.BusConnection(sys.argv[1])
    names = [dbus.service.BusName(LOGIN, bus), dbus.service.BusName(NM, bus)]
    login = Login(bus, "/org/freedesktop/login1")
    nm = NetworkManager(bus, "/org/freedesktop/NetworkManager")
    test = Test(bus, login, nm)
    loop = GLib.MainLoop()
    GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signal.SIGTERM, loop.quit)
    GLib.timeout_add_seconds(int(sys.argv[3]) if len(sys.argv) > 3 else 120, loop.quit)
    log("ready")
    loop.run()
    del names, test


if __name__ == "__main__":
    main()
