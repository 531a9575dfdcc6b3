#!/usr/bin/env python3
"""Stands in for GNOME Online Accounts on a private session bus, in the shape of GOA 3.46's interface.

    fake_goa.py ADDRESS LOG [--mode MODE] [--control FILE] [--email ADDRESS] [--good TOKEN]
                [--expired TOKEN] [--others] [--lifetime SECONDS]

It owns org.gnome.OnlineAccounts with an object manager at /org/gnome/OnlineAccounts and one Google
account with mail, /org/gnome/OnlineAccounts/Accounts/account_1 (interfaces Account, Mail and
OAuth2Based). --others adds accounts a mail program must not list: a Google account with mail
disabled (account_2) and an IMAP and SMTP account (account_3).

MODE is what the account's methods do (the control file, when given, replaces it whenever its first
word changes):
    valid          GetAccessToken hands out the good token ("good-token")
    expired        GetAccessToken hands out the expired token ("expired-token") until
                   EnsureCredentials, which succeeds and makes it valid
    refresh-fails  the expired token, and EnsureCredentials fails (NotAuthorized) and sets
                   AttentionNeeded
    silent         no method ever answers

It writes one line per event to LOG ("ready", "GetManagedObjects", "GetAccessToken account_1",
"EnsureCredentials account_1"), prints "ready" once it owns the name, and ends on SIGTERM or after
the lifetime (120 s).
"""
import argparse
import signal
import sys

import dbus
import dbus.mainloop.glib
import dbus.service
from gi.repository import GLib

GOA = "org.gnome.OnlineAccounts"
ACCOUNT = GOA + ".Account"
MAIL = GOA + ".Mail"
OAUTH2 = GOA + ".OAuth2Based"
PROPERTIES = "org.freedesktop.DBus.Properties"
MANAGER = "org.freedesktop.DBus.ObjectManager"
ROOT = "/org/gnome/OnlineAccounts"


class State:
    def __init__(self, options):
        self.options = options
        self.mode = options.mode
        self.control_seen = None

    def log(self, text):
        with open(self.options.log, "a") as f:
            f.write(text + "\n")

    def current(self):
        """The mode, after a change of the control file's first word."""
        if self.options.control:
            try:
                with open(self.options.control) as f:
                    words = f.read().split()
            except OSError:
                words = []
            word = words[0] if words else None
            if word and word != self.control_seen:
                self.control_seen = word
                self.mode = word
        return self.mode


class Account(dbus.service.Object):
    def __init__(self, bus, state, ident, provider, email, mail_disabled=False):
        super().__init__(bus, ROOT + "/Accounts/" + ident)
        self.state = state
        self.ident = ident
        self.props = {
            ACCOUNT: {
                "ProviderType": provider,
                "ProviderName": "Google" if provider == "google" else "IMAP and SMTP",
                "ProviderIcon": "",
                "Id": ident,
                "IsLocked": False,
                "IsTemporary": False,
                "AttentionNeeded": False,
                "Identity": email,
                "PresentationIdentity": email,
                "MailDisabled": mail_disabled,
                "CalendarDisabled": False,
                "ContactsDisabled": False,
                "FilesDisabled": True,
            },
            MAIL: {
                "EmailAddress": email,
                "Name": "Taro Yamada",
                "ImapSupported": True,
                "ImapHost": "imap.gmail.com",
                "ImapUserName": email,
                "ImapUseSsl": True,
                "ImapUseTls": False,
                "ImapAcceptSslErrors": False,
                "SmtpSupported": True,
                "SmtpHost": "smtp.gmail.com",
                "SmtpUserName": email,
                "SmtpUseAuth": True,
                "SmtpAuthXoauth2": True,
                "SmtpAuthPlain": False,
                "SmtpAuthLogin": False,
                "SmtpUseSsl": False,
                "SmtpUseTls": True,
                "SmtpAcceptSslErrors": False,
            },
            OAUTH2: {
                "ClientId": "fake-client-id",
                "ClientSecret": "fake-client-secret",
            },
        }
        if provider != "google":
            del self.props[OAUTH2]

    def managed(self):
        return dbus.Dictionary({i: dbus.Dictionary(p, signature="sv") for i, p in self.props.items()},
                               signature="sa{sv}")

    @dbus.service.method(PROPERTIES, in_signature="ss", out_signature="v")
    def Get(self, interface, name):
        if interface not in self.props or name not in self.props[interface]:
            raise dbus.exceptions.DBusException("no such property", name="org.freedesktop.DBus.Error.InvalidArgs")
        return self.props[interface][name]

    @dbus.service.method(PROPERTIES, in_signature="s", out_signature="a{sv}")
    def GetAll(self, interface):
        return dbus.Dictionary(self.props.get(interface, {}), signature="sv")

    @dbus.service.signal(PROPERTIES, signature="sa{sv}as")
    def PropertiesChanged(self, interface, changed, invalidated):
        pass

    @dbus.service.method(OAUTH2, out_signature="si", async_callbacks=("reply", "error"))
    def GetAccessToken(self, reply, error):
        self.state.log("GetAccessToken " + self.ident)
        mode = self.state.current()
        if mode == "silent":
            return
        token = self.state.options.good if mode == "valid" else self.state.options.expired
        reply(token, 3600)

    @dbus.service.method(ACCOUNT, out_signature="i", async_callbacks=("reply", "error"))
    def EnsureCredentials(self, reply, error):
        self.state.log("EnsureCredentials " + self.ident)
        mode = self.state.current()
        if mode == "silent":
            return
        if mode == "refresh-fails":
            self.set_attention(True)
            error(dbus.exceptions.DBusException(
                "Failed to refresh the access token (invalid_grant)", name=GOA + ".Error.NotAuthorized"))
            return
        self.state.mode = "valid"
        self.set_attention(False)
        reply(3600)

    def set_attention(self, value):
        if self.props[ACCOUNT]["AttentionNeeded"] != value:
            self.props[ACCOUNT]["AttentionNeeded"] = value
            self.PropertiesChanged(ACCOUNT, dbus.Dictionary({"AttentionNeeded": value}, signature="sv"),
                                   dbus.Array([], signature="s"))


class Manager(dbus.service.Object):
    def __init__(self, bus, state, accounts):
        super().__init__(bus, ROOT)
        self.state = state
        self.accounts = accounts

    @dbus.service.method(MANAGER, out_signature="a{oa{sa{sv}}}", async_callbacks=("reply", "error"))
    def GetManagedObjects(self, reply, error):
        self.state.log("GetManagedObjects")
        if self.state.current() == "silent":
            return
        reply(dbus.Dictionary({a.__dbus_object_path__: a.managed() for a in self.accounts},
                              signature="oa{sa{sv}}"))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("address")
    parser.add_argument("log")
    parser.add_argument("--mode", default="valid", choices=["valid", "expired", "refresh-fails", "silent"])
    parser.add_argument("--control")
    parser.add_argument("--email", default="vurk@example.test")
    parser.add_argument("--good", default="good-token")
    parser.add_argument("--expired", default="expired-token")
    parser.add_argument("--others", action="store_true")
    parser.add_argument("--lifetime", type=int, default=120)
    options = parser.parse_args()

    dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
    bus = dbus.bus.BusConnection(options.address)
    state = State(options)
    accounts = [Account(bus, state, "account_1", "google", options.email)]
    if options.others:
        accounts.append(Account(bus, state, "account_2", "google", "hanako@example.test", mail_disabled=True))
        accounts.append(Account(bus, state, "account_3", "imap_smtp", "jiro@example.test"))
    manager = Manager(bus, state, accounts)
    name = dbus.service.BusName(GOA, bus)
    loop = GLib.MainLoop()
    GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signal.SIGTERM, loop.quit)
    GLib.timeout_add_seconds(options.lifetime, loop.quit)
    state.log("ready")
    print("ready", flush=True)
    loop.run()
    del name, manager


if __name__ == "__main__":
    main()
