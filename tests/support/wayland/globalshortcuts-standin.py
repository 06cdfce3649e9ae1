#!/usr/bin/python3
"""Compositor side of the GlobalShortcuts portal for the headless Wayland desktop.

Debian 12 ships no GlobalShortcuts backend that runs outside a Plasma session, so the real
xdg-desktop-portal frontend has nothing to forward to under sway. This service fills that
place: the frontend finds it through a .portal file, and it binds each shortcut's preferred
trigger as a sway key binding over sway's IPC. A key press on the compositor (wtype in tests)
then comes back as the portal's Activated and Deactivated signals. The application's side of
the conversation is the real portal.

Needs SWAYSOCK and the session bus; run with /usr/bin/python3 (python3-dbus, python3-gi)."""
import json
import os
import socket
import struct
import sys
import time

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

BUS_NAME = 'org.freedesktop.impl.portal.desktop.zorvshortcuts'
IFACE = 'org.freedesktop.impl.portal.GlobalShortcuts'
SESSION_IFACE = 'org.freedesktop.impl.portal.Session'
IPC_MAGIC = b'i3-ipc'
IPC_COMMAND, IPC_SUBSCRIBE, IPC_EVENT_BINDING = 0, 2, 0x80000005
# Modifiers of the XDG shortcut trigger syntax, as sway names them.
MODIFIERS = {'CTRL': 'Ctrl', 'ALT': 'Mod1', 'SHIFT': 'Shift', 'NUM': 'Mod2', 'LOGO': 'Mod4'}


def log(text):
    print('globalshortcuts-standin: ' + text, file=sys.stderr, flush=True)


class SwayIpc:
    def __init__(self, path):
        self.sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.sock.connect(path)
        self.pending = b''

    def send(self, kind, payload):
        data = payload.encode()
        self.sock.sendall(IPC_MAGIC + struct.pack('<II', len(data), kind) + data)

    def read_message(self):
        """One whole message, or None when the compositor has gone."""
        header = len(IPC_MAGIC) + 8
        while True:
            if len(self.pending) >= header:
                size, kind = struct.unpack('<II', self.pending[len(IPC_MAGIC):header])
                if len(self.pending) >= header + size:
                    body = self.pending[header:header + size]
                    self.pending = self.pending[header + size:]
                    return kind, json.loads(body)
            chunk = self.sock.recv(65536)
            if not chunk:
                return None
            self.pending += chunk

    def command(self, text):
        self.send(IPC_COMMAND, text)
        message = self.read_message()
        return message is not None and all(r.get('success') for r in message[1])


def sway_keys(trigger):
    """'CTRL+SHIFT+F9' -> 'Ctrl+Shift+F9'; None when a part is not a key sway can bind."""
    parts = [p for p in str(trigger).split('+') if p]
    if not parts or any(p.upper() not in MODIFIERS for p in parts[:-1]):
        return None
    return '+'.join([MODIFIERS[p.upper()] for p in parts[:-1]] + [parts[-1]])


class Session(dbus.service.Object):
    def __init__(self, backend, path):
        super().__init__(backend.bus, path)
        self.backend, self.path = backend, path
        self.shortcuts = {}  # id -> (description, trigger description, sway keys or None)

    @dbus.service.method(SESSION_IFACE)
    def Close(self):
        self.backend.close(self)

    @dbus.service.signal(SESSION_IFACE)
    def Closed(self):
        pass


class Backend(dbus.service.Object):
    def __init__(self, bus, commands):
        super().__init__(bus, '/org/freedesktop/portal/desktop')
        self.bus, self.commands = bus, commands
        self.sessions = {}  # path -> Session
        self.bindings = {}  # sway keys -> tag in the binding's command
        self.owners = {}  # tag -> (session path, shortcut id)
        self.next_tag = 0

    def close(self, session):
        for keys, tag in list(self.bindings.items()):
            if self.owners[tag][0] == session.path:
                self.commands.command('unbindsym ' + keys)
                del self.bindings[keys], self.owners[tag]
        self.sessions.pop(session.path, None)
        session.Closed()
        session.remove_from_connection()

    def listed(self, session):
        return dbus.Array([(sid, {'description': d, 'trigger_description': t})
                           for sid, (d, t, _) in session.shortcuts.items()],
                          signature='(sa{sv})')

    @dbus.service.method(IFACE, in_signature='oosa{sv}', out_signature='ua{sv}')
    def CreateSession(self, handle, session_handle, app_id, options):
        self.sessions[str(session_handle)] = Session(self, session_handle)
        return 0, {'session_handle': session_handle}

    @dbus.service.method(IFACE, in_signature='ooa(sa{sv})sa{sv}', out_signature='ua{sv}')
    def BindShortcuts(self, handle, session_handle, shortcuts, parent_window, options):
        session = self.sessions.get(str(session_handle))
        if session is None:
            return 2, {}
        for sid, props in shortcuts:
            keys = sway_keys(props.get('preferred_trigger', ''))
            # A trigger taken by another session stays with it, as a desktop would keep it.
            if keys in self.bindings and self.owners[self.bindings[keys]][0] != session.path:
                keys = None
            if keys and keys not in self.bindings:
                # `nop` runs nothing; sway still reports the binding to IPC subscribers.
                tag = self.next_tag
                self.next_tag += 1
                if self.commands.command('bindsym --no-repeat %s nop zorv-standin %d' % (keys, tag)):
                    self.bindings[keys] = tag
                else:
                    log('sway refused the trigger %r' % keys)
                    keys = None
            if keys:
                self.owners[self.bindings[keys]] = (session.path, str(sid))
            trigger = str(props.get('preferred_trigger', '')) if keys else ''
            session.shortcuts[str(sid)] = (str(props.get('description', '')), trigger, keys)
        return 0, {'shortcuts': self.listed(session)}

    @dbus.service.method(IFACE, in_signature='oo', out_signature='ua{sv}')
    def ListShortcuts(self, handle, session_handle):
        session = self.sessions.get(str(session_handle))
        return (0, {'shortcuts': self.listed(session)}) if session else (2, {})

    @dbus.service.signal(IFACE, signature='osta{sv}')
    def Activated(self, session_handle, shortcut_id, timestamp, options):
        pass

    @dbus.service.signal(IFACE, signature='osta{sv}')
    def Deactivated(self, session_handle, shortcut_id, timestamp, options):
        pass

    @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature='ss', out_signature='v')
    def Get(self, iface, prop):
        return self.GetAll(iface)[prop]

    @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature='s', out_signature='a{sv}')
    def GetAll(self, iface):
        return {'version': dbus.UInt32(1)}

    def pressed(self, tag):
        owner = self.owners.get(tag)
        if owner is None:
            return
        stamp = dbus.UInt64(int(time.monotonic() * 1000))
        path, sid = dbus.ObjectPath(owner[0]), owner[1]
        # sway reports presses only (bindings are --no-repeat), so the release follows at once.
        self.Activated(path, sid, stamp, {})
        self.Deactivated(path, sid, stamp, {})


def main():
    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    sock_path = os.environ.get('SWAYSOCK')
    if not sock_path:
        log('SWAYSOCK is not set')
        return 1
    backend = Backend(bus, SwayIpc(sock_path))
    events = SwayIpc(sock_path)
    events.send(IPC_SUBSCRIBE, json.dumps(['binding']))
    if not (events.read_message() or (0, {}))[1].get('success'):
        log('sway refused the binding subscription')
        return 1
    loop = GLib.MainLoop()

    def on_event(fd, condition):
        message = events.read_message()
        if message is None:
            log('sway has gone')
            loop.quit()
            return False
        kind, body = message
        command = body.get('binding', {}).get('command', '')
        if kind == IPC_EVENT_BINDING and command.startswith('nop zorv-standin '):
            backend.pressed(int(command.split()[-1]))
        return True

    GLib.io_add_watch(events.sock.fileno(), GLib.IO_IN | GLib.IO_HUP, on_event)
    name = dbus.service.BusName(BUS_NAME, bus)  # taken last: the name means "ready"
    loop.run()
    del name
    return 0


if __name__ == '__main__':
    sys.exit(main())
