#!/usr/bin/python3
"""A stand-in file manager on the session bus for the journeys: owns
org.freedesktop.FileManager1 and appends one line per call to LOG
("ShowItems file:///…"). Touches LOG once the name is owned.

    filemanager-stub.py LOG"""
import sys

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

NAME = "org.freedesktop.FileManager1"
log = sys.argv[1]


def note(method, uris):
    with open(log, "a") as f:
        for uri in uris:
            f.write(f"{method} {uri}\n")


class FileManager(dbus.service.Object):
    @dbus.service.method(NAME, in_signature="ass")
    def ShowItems(self, uris, startup_id):
        note("ShowItems", uris)

    @dbus.service.method(NAME, in_signature="ass")
    def ShowFolders(self, uris, startup_id):
        note("ShowFolders", uris)

    @dbus.service.method(NAME, in_signature="ass")
    def ShowItemProperties(self, uris, startup_id):
        note("ShowItemProperties", uris)


DBusGMainLoop(set_as_default=True)
bus = dbus.SessionBus()
name = dbus.service.BusName(NAME, bus, do_not_queue=True)
FileManager(bus, "/org/freedesktop/FileManager1")
open(log, "a").close()
GLib.MainLoop().run()
