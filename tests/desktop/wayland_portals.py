#!/usr/bin/python3
"""The portals of the headless Wayland desktop, through the real xdg-desktop-portal: what the
Wayland backend will rely on. Run inside scripts/wayland-desktop.sh with /usr/bin/python3.

  Screenshot   answers with a PNG of all outputs equal, pixel for pixel, to the compositor's
               own (grim)
  ScreenCast   a monitor stream with a restore token; a second session is restored from the
               token instead of choosing its output again; PipeWire delivers frames of the
               output's size equal to grim's picture, from both sessions
  GlobalShortcuts  a bound trigger pressed on the compositor's keyboard comes back as Activated
  pointer      the desktop's pointer client reaches each output (needs two outputs to mean much)

Prints each call's time and the interfaces' versions."""
import json
import os
import subprocess
import sys
import time
import urllib.parse

import dbus
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

DESKTOP = 'org.freedesktop.portal.Desktop'
PATH = '/org/freedesktop/portal/desktop'
TIMEOUT_S = 10
# Oldest interface versions with what the backend needs: restore tokens and persist_mode
# arrived with ScreenCast 4, the non-interactive option with Screenshot 2.
NEEDED = {'Screenshot': 2, 'ScreenCast': 4, 'GlobalShortcuts': 1}

failures = []


def check(what, ok, detail=''):
    print(('ok: ' if ok else 'FAIL: ') + what + (' (%s)' % detail if detail else ''), flush=True)
    if not ok:
        failures.append(what)
    return ok


def run(*cmd, **kw):
    return subprocess.run(cmd, capture_output=True, text=True, timeout=30, **kw)


class Portal:
    def __init__(self):
        DBusGMainLoop(set_as_default=True)
        self.bus = dbus.SessionBus()
        self.obj = self.bus.get_object(DESKTOP, PATH)
        self.sender = self.bus.get_unique_name()[1:].replace('.', '_')
        self.serial = 0

    def iface(self, name):
        return dbus.Interface(self.obj, 'org.freedesktop.portal.' + name)

    def version(self, name):
        try:
            return int(self.obj.Get('org.freedesktop.portal.' + name, 'version',
                                    dbus_interface=dbus.PROPERTIES_IFACE))
        except dbus.DBusException:
            return 0

    def token(self, prefix):
        self.serial += 1
        return '%s%d_%d' % (prefix, os.getpid(), self.serial)

    def request(self, method, *args, options=None):
        """Calls a method answered through a Request object; returns (code, results, seconds)
        with code None when no answer came in time."""
        token = self.token('req')
        path = '%s/request/%s/%s' % (PATH, self.sender, token)
        options = dict(options or {}, handle_token=token)
        answer = {}
        loop = GLib.MainLoop()

        def on_response(code, results):
            answer.update(code=int(code), results=results)
            loop.quit()

        # Subscribed before the call: the answer may come before the call returns.
        match = self.bus.add_signal_receiver(on_response, 'Response',
                                             'org.freedesktop.portal.Request', DESKTOP, path)
        start = time.monotonic()
        handle = method(*args, options)
        timer = GLib.timeout_add_seconds(TIMEOUT_S, loop.quit)
        if not answer:
            loop.run()
        if answer:
            GLib.source_remove(timer)
        match.remove()
        if str(handle) != path:
            print('note: request handle %s, expected %s' % (handle, path))
        return answer.get('code'), answer.get('results', {}), time.monotonic() - start

    def close_session(self, handle):
        self.bus.get_object(DESKTOP, handle).Close(dbus_interface='org.freedesktop.portal.Session')


def png_size(path):
    with open(path, 'rb') as f:
        head = f.read(24)
    if head[:8] != b'\x89PNG\r\n\x1a\n':
        return None
    return int.from_bytes(head[16:20], 'big'), int.from_bytes(head[20:24], 'big')


def differing_pixels(a, b):
    """Pixels that differ between two pictures (ImageMagick), or None if they cannot be read."""
    r = run('compare', '-metric', 'AE', a, b, 'null:')
    try:
        return int(float(r.stderr.split()[0]))
    except (IndexError, ValueError):
        return None


def outputs():
    return json.loads(run('swaymsg', '-r', '-t', 'get_outputs').stdout)


def first_output():
    o = next(o for o in outputs() if o['name'] == 'HEADLESS-1')
    return o['current_mode']['width'], o['current_mode']['height']


def layout_size():
    rects = [o['rect'] for o in outputs()]
    return (max(r['x'] + r['width'] for r in rects) - min(r['x'] for r in rects),
            max(r['y'] + r['height'] for r in rects) - min(r['y'] for r in rects))


def show_pattern(folder, size):
    """Noise as wallpaper: a flat screen would hide swapped channels, rows or offsets."""
    pattern = os.path.join(folder, 'pattern.png')
    run('convert', '-size', '%dx%d' % size, 'xc:gray', '+noise', 'Random', pattern)
    run('swaymsg', 'output * bg %s stretch' % pattern)
    time.sleep(0.5)  # swaybg restarts and draws


def test_screenshot(portal, folder):
    code, results, secs = portal.request(portal.iface('Screenshot').Screenshot, '',
                                         options={'interactive': False})
    if not check('Screenshot answers', code == 0, 'code %s in %.3f s' % (code, secs)):
        return
    uri = str(results.get('uri', ''))
    shot = urllib.parse.unquote(urllib.parse.urlparse(uri).path)
    grim = os.path.join(folder, 'grim-all.png')
    run('grim', grim)
    # One picture of all outputs, as they are laid out.
    check('Screenshot is a PNG of the whole layout', png_size(shot) == layout_size(),
          '%s is %s' % (uri, png_size(shot)))
    diff = differing_pixels(shot, grim)
    check('Screenshot equals grim pixel for pixel', diff == 0, '%s pixels differ' % diff)


def start_cast(portal, restore_token=None):
    """A monitor ScreenCast session; returns (session, Start results) or (None, None)."""
    cast = portal.iface('ScreenCast')
    code, results, secs = portal.request(
        cast.CreateSession, options={'session_handle_token': portal.token('sess')})
    if not check('ScreenCast CreateSession', code == 0, 'code %s in %.3f s' % (code, secs)):
        return None, None
    session = dbus.ObjectPath(results['session_handle'])
    options = {'types': dbus.UInt32(1), 'multiple': False, 'persist_mode': dbus.UInt32(2),
               'cursor_mode': dbus.UInt32(2)}
    if restore_token:
        options['restore_token'] = restore_token
    code, _, secs = portal.request(cast.SelectSources, session, options=options)
    check('ScreenCast SelectSources', code == 0, 'code %s in %.3f s' % (code, secs))
    code, results, secs = portal.request(cast.Start, session, '')
    streams = results.get('streams', [])
    check('ScreenCast Start gives a stream and a restore token',
          code == 0 and len(streams) == 1 and bool(results.get('restore_token')),
          'code %s in %.3f s, %d streams' % (code, secs, len(streams)))
    return (session, results) if code == 0 and streams else (None, None)


def restores(state):
    """Sessions the wlroots backend restored from a token instead of choosing an output."""
    with open(os.path.join(state, 'xdpw.log'), errors='replace') as f:
        return f.read().count('restoring session from data')


def pull_frame(portal, session, results, path, timeout):
    """One frame of the session's stream as a PNG; returns (gst exit code or None on timeout,
    seconds, gst's last words)."""
    fd = portal.iface('ScreenCast').OpenPipeWireRemote(session, {}).take()
    node = int(results['streams'][0][0])
    start = time.monotonic()
    try:
        r = subprocess.run(['gst-launch-1.0', '-q', 'pipewiresrc', 'fd=%d' % fd, 'path=%d' % node,
                            'num-buffers=1', '!', 'videoconvert', '!', 'pngenc', '!', 'filesink',
                            'location=' + path], pass_fds=[fd], capture_output=True, text=True,
                           timeout=timeout)
        code, said = r.returncode, r.stderr.strip()[-200:]
    except subprocess.TimeoutExpired:
        code, said = None, ''
    finally:
        os.close(fd)
    return code, time.monotonic() - start, said


def check_frame(what, portal, session, results, folder):
    grim = os.path.join(folder, 'grim.png')
    run('grim', '-o', 'HEADLESS-1', grim)
    frame = os.path.join(folder, 'frame.png')
    code, secs, said = pull_frame(portal, session, results, frame, 10)
    if check('PipeWire delivers a frame of the output size (%s)' % what,
             code == 0 and png_size(frame) == first_output(),
             'gst rc %s in %.2f s, %s %s' % (code, secs, png_size(frame) if code == 0 else '', said)):
        diff = differing_pixels(frame, grim)
        check('the frame equals grim pixel for pixel (%s)' % what, diff == 0,
              '%s pixels differ' % diff)


def test_screencast(portal, folder, state):
    print('note: cursor modes %s, source types %s' % (
        cast_property(portal, 'AvailableCursorModes'), cast_property(portal, 'AvailableSourceTypes')))
    before = restores(state)
    session, results = start_cast(portal)
    check('a session without a token is not restored', restores(state) == before)
    if not session:
        return
    check_frame('first session', portal, session, results, folder)
    portal.close_session(session)

    again, results2 = start_cast(portal, results['restore_token'])
    if not again:
        return
    check('a session with the token is restored, not chosen again',
          restores(state) == before + 1, '%d restores' % (restores(state) - before))
    # The wlroots backend copies the screen only once it has changed since its last copy, for
    # any session: on an unchanged screen this stream would wait.
    show_pattern(folder, first_output())
    check_frame('restored session, screen changed', portal, again, results2, folder)
    portal.close_session(again)


def cast_property(portal, name):
    return int(portal.obj.Get('org.freedesktop.portal.ScreenCast', name,
                              dbus_interface=dbus.PROPERTIES_IFACE))


def test_pointer():
    """The pointer client reaches every output: sway focuses the output under the pointer."""
    outputs = json.loads(run('swaymsg', '-r', '-t', 'get_outputs').stdout)
    for o in outputs + outputs[:1]:
        r = o['rect']
        run(os.environ['ZORV_WL_POINTER'], 'move', str(r['x'] + r['width'] // 2),
            str(r['y'] + r['height'] // 2))
        workspaces = json.loads(run('swaymsg', '-r', '-t', 'get_workspaces').stdout)
        focused = [w['output'] for w in workspaces if w['focused']]
        check('the pointer moved onto %s focuses it' % o['name'], focused == [o['name']],
              'focused %s' % focused)


def bind_shortcuts(portal, wanted):
    """A GlobalShortcuts session with the shortcuts bound; None when the portal refused."""
    shortcuts = portal.iface('GlobalShortcuts')
    code, results, secs = portal.request(
        shortcuts.CreateSession, options={'session_handle_token': portal.token('keys')})
    if not check('GlobalShortcuts CreateSession', code == 0, 'code %s in %.3f s' % (code, secs)):
        return None
    session = dbus.ObjectPath(results['session_handle'])
    code, results, secs = portal.request(
        shortcuts.BindShortcuts, session,
        dbus.Array([(sid, {'description': sid, 'preferred_trigger': trigger})
                    for sid, trigger in wanted], signature='(sa{sv})'), '')
    bound = {str(sid): str(p.get('trigger_description', ''))
             for sid, p in results.get('shortcuts', [])}
    check('GlobalShortcuts BindShortcuts binds the preferred triggers',
          code == 0 and bound == dict(wanted), 'code %s in %.3f s, %s' % (code, secs, bound))
    return session


def press(portal, keys):
    """Types KEYS on the compositor; the Activated signals within 2 s, as (session, id)."""
    seen = []
    match = portal.bus.add_signal_receiver(
        lambda s, sid, t, o: seen.append((str(s), str(sid))), 'Activated',
        'org.freedesktop.portal.GlobalShortcuts', DESKTOP, PATH)
    start = time.monotonic()
    run('wtype', '-s', '250', *keys)  # named keys need a moment before they reach sway
    loop = GLib.MainLoop()

    def poll():
        if seen or time.monotonic() - start > 2:
            loop.quit()
            return False
        return True

    GLib.timeout_add(50, poll)
    loop.run()
    match.remove()
    return seen


def test_shortcuts(portal):
    capture = ['-M', 'ctrl', '-M', 'shift', '-k', 'F9', '-m', 'shift', '-m', 'ctrl']
    session = bind_shortcuts(portal, [('capture', 'CTRL+SHIFT+F9'), ('record', 'LOGO+F10')])
    if not session:
        return
    presses = [(capture, ['capture']),
               (['-M', 'ctrl', '-k', 'F9', '-m', 'ctrl'], []),
               (['-M', 'logo', '-k', 'F10', '-m', 'logo'], ['record'])]
    for keys, expected in presses:
        got = press(portal, keys)
        check('keys %s activate %s' % (' '.join(keys), expected or 'nothing'),
              got == [(str(session), sid) for sid in expected], 'got %s' % got)
    # A closed session gives its triggers back: the next one (Zorv started again) gets them.
    portal.close_session(session)
    again = bind_shortcuts(portal, [('capture', 'CTRL+SHIFT+F9')])
    if again:
        got = press(portal, capture)
        check('after a session closed, its trigger activates the next session',
              got == [(str(again), 'capture')], 'got %s' % got)
        portal.close_session(again)


def main():
    state = os.environ.get('ZORV_WAYLAND_STATE')
    if not state or not os.environ.get('WAYLAND_DISPLAY'):
        print('run inside scripts/wayland-desktop.sh')
        return 1
    folder = os.path.join(state, 'portal-checks')
    os.makedirs(folder, exist_ok=True)
    portal = Portal()
    versions = {name: portal.version(name) for name in NEEDED}
    print('note: portal interface versions %s' % versions)
    for name, needed in NEEDED.items():
        check('%s portal version %d is at least %d' % (name, versions[name], needed),
              versions[name] >= needed)
    show_pattern(folder, first_output())
    test_screenshot(portal, folder)
    test_screencast(portal, folder, state)
    test_shortcuts(portal)
    test_pointer()
    print('%d check(s) failed' % len(failures) if failures else 'all checks passed')
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
