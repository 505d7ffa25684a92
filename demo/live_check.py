#!/usr/bin/env python3
"""live_check.py - navdemo --live on a real X server (Xvfb), seen from outside.

Starts Xvfb, runs `KESRA_DISPLAY=sdl navdemo --live` on it, drives it with
xdotool and takes screenshots with xwd, written as PNG files to OUT_DIR. It
fails unless the window shows the scene: the opening frame and the menu page
as the headless run drew them (REF_DIR/navdemo.png, REF_DIR/menu.png) apart
from the cursor overlay, which must sit at the pointer; arrow keys and a drag
moving the map by their distance; the wheel changing it; P and Esc going to
the photo screen and back; closing the window ending the program; and, with
KESRA_SDL_SCALE=2, each pixel a 2 x 2 block.

usage: live_check.py NAVDEMO REF_DIR OUT_DIR
"""
import ctypes
import os
import struct
import subprocess
import sys
import time
import zlib

WIDTH, HEIGHT = 800, 480
CURSOR_BOX = 40  # the cursor overlay's frame lies within this square from the pointer


# --- pictures: rows of RGB565 values -------------------------------------------------

def narrow(r, g, b):
    return (r >> 3) << 11 | (g >> 2) << 5 | b >> 3


def read_png(path):
    """An 8-bit RGB or RGBA PNG without interlacing, as rows of RGB565."""
    data = open(path, 'rb').read()
    if data[:8] != b'\x89PNG\r\n\x1a\n':
        raise ValueError(path + ' is not a PNG file')
    pos, idat, header = 8, b'', None
    while pos < len(data):
        length, kind = struct.unpack('>I4s', data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b'IHDR':
            header = struct.unpack('>IIBBBBB', body)
        elif kind == b'IDAT':
            idat += body
        pos += 12 + length
    width, height, depth, colour, _, _, interlace = header
    if depth != 8 or colour not in (2, 6) or interlace:
        raise ValueError(path + ': only 8-bit RGB or RGBA without interlacing is read')
    bpp = 3 if colour == 2 else 4
    raw = zlib.decompress(idat)
    stride = width * bpp
    rows, previous = [], bytearray(stride)
    for y in range(height):
        start = y * (stride + 1)
        kind, line = raw[start], bytearray(raw[start + 1:start + 1 + stride])
        for i in range(stride):
            a = line[i - bpp] if i >= bpp else 0
            b = previous[i]
            c = previous[i - bpp] if i >= bpp else 0
            if kind == 1:
                line[i] = (line[i] + a) & 255
            elif kind == 2:
                line[i] = (line[i] + b) & 255
            elif kind == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append([narrow(line[x * bpp], line[x * bpp + 1], line[x * bpp + 2]) for x in range(width)])
        previous = line
    return rows


def write_png(path, rows):
    def chunk(kind, body):
        return struct.pack('>I', len(body)) + kind + body + struct.pack('>I', zlib.crc32(kind + body))
    raw = bytearray()
    for row in rows:
        raw.append(0)
        for p in row:
            r, g, b = p >> 11, p >> 5 & 63, p & 31
            raw += bytes((r << 3 | r >> 2, g << 2 | g >> 4, b << 3 | b >> 2))
    with open(path, 'wb') as f:
        f.write(b'\x89PNG\r\n\x1a\n')
        f.write(chunk(b'IHDR', struct.pack('>IIBBBBB', len(rows[0]), len(rows), 8, 2, 0, 0, 0)))
        f.write(chunk(b'IDAT', zlib.compress(bytes(raw), 6)))
        f.write(chunk(b'IEND', b''))


def read_xwd(data):
    """A 24- or 32-bit ZPixmap window dump as rows of RGB565."""
    fields = struct.unpack('>25I', data[:100])
    header_size, _, pixmap_format, _, width, height = fields[:6]
    byte_order, bits_per_pixel, bytes_per_line = fields[7], fields[11], fields[12]
    red_mask, green_mask, blue_mask = fields[14:17]
    ncolors = fields[19]
    if pixmap_format != 2 or bits_per_pixel != 32:
        raise ValueError('xwd: only 32-bit ZPixmap dumps are read')
    pixels = header_size + ncolors * 12
    order = '<' if byte_order == 0 else '>'

    def channel(value, mask):
        shift = (mask & -mask).bit_length() - 1
        return (value & mask) >> shift

    rows = []
    for y in range(height):
        line = struct.unpack_from(order + '%dI' % width, data, pixels + y * bytes_per_line)
        if (red_mask, green_mask, blue_mask) == (0xFF0000, 0xFF00, 0xFF):
            rows.append([v >> 8 & 0xF800 | v >> 5 & 0x7E0 | v >> 3 & 0x1F for v in line])
        else:
            rows.append([narrow(channel(v, red_mask), channel(v, green_mask), channel(v, blue_mask)) for v in line])
    return rows


# --- comparisons ---------------------------------------------------------------------

def equal_share(a, b, dx=0, dy=0, skip=None):
    """The share of pixels where a(x, y) == b(x + dx, y + dy) over their overlap,
    leaving out the box skip = (x0, y0, x1, y1) of a."""
    same = total = 0
    for y in range(max(0, -dy), min(len(a), len(b) - dy)):
        ra, rb = a[y], b[y + dy]
        for x in range(max(0, -dx), min(len(ra), len(rb) - dx)):
            if skip and skip[0] <= x < skip[2] and skip[1] <= y < skip[3]:
                continue
            total += 1
            same += ra[x] == rb[x + dx]
    return same / total if total else 0


def differing_in(a, b, box):
    x0, y0, x1, y1 = box
    return sum(a[y][x] != b[y][x] for y in range(y0, min(y1, len(a))) for x in range(x0, min(x1, len(a[0]))))


MAP_AREA = (310, 150, 800, 400)  # the map's part of the screen below the legend, above the compass


def best_shift(before, after, reach):
    """The horizontal shift of the map in `after` against `before` that matches
    best, over every fourth row of the map area."""
    x0, y0, x1, y1 = MAP_AREA
    sample = [row[x0:x1] for row in before[y0:y1:4]]
    later = [row[x0:x1] for row in after[y0:y1:4]]
    scores = {dx: equal_share(sample, later, dx) for dx in range(-reach, reach + 1, 4)}
    dx = max(scores, key=scores.get)
    return dx, scores[dx], scores[0]


# --- the X server, the program and the pointer ----------------------------------------

class Failure(Exception):
    pass


class Xvfb:
    def __init__(self, width, height):
        read, write = os.pipe()
        self.process = subprocess.Popen(
            ['Xvfb', '-displayfd', str(write), '-screen', '0', '%dx%dx24' % (width, height), '-nolisten', 'tcp'],
            pass_fds=(write,), stderr=subprocess.DEVNULL)
        os.close(write)
        number = b''
        while not number.endswith(b'\n'):
            part = os.read(read, 16)
            if not part:
                raise Failure('Xvfb did not start')
            number += part
        os.close(read)
        self.display = ':' + number.decode().strip()

    def close(self):
        self.process.terminate()
        self.process.wait(timeout=10)


class Live:
    """navdemo --live on the X server; its window found by its title."""

    def __init__(self, navdemo, xvfb, out_dir, scale=None):
        self.env = dict(os.environ, DISPLAY=xvfb.display, KESRA_DISPLAY='sdl', SDL_VIDEODRIVER='x11',
                        SDL_AUDIODRIVER='dummy')
        self.env.pop('KESRA_SDL_SCALE', None)
        if scale:
            self.env['KESRA_SDL_SCALE'] = str(scale)
        self.log = open(os.path.join(out_dir, 'navdemo%s.log' % ('_x%s' % scale if scale else '')), 'w')
        self.process = subprocess.Popen([navdemo, '--live', '--seconds', '120', '--out', out_dir],
                                        env=self.env, stdout=self.log, stderr=subprocess.STDOUT)
        self.window = self.find_window(60)

    def find_window(self, seconds):
        """The window titled libkesra once it is mapped; a search can fail while
        other windows come and go, so it is repeated."""
        end = time.time() + seconds
        while time.time() < end:
            if self.process.poll() is not None:
                raise Failure('navdemo ended (status %d) before its window showed' % self.process.returncode)
            try:
                found = self.xdotool('search', '--onlyvisible', '--name', '^libkesra$').split()
                if found:
                    return found[0]
            except Failure:
                pass
            time.sleep(0.2)
        raise Failure('no window titled libkesra within %d s' % seconds)

    def xdotool(self, *args, timeout=10):
        result = subprocess.run(['xdotool'] + list(args), env=self.env, capture_output=True, text=True,
                                timeout=timeout)
        if result.returncode != 0:
            raise Failure('xdotool %s: %s' % (' '.join(args), result.stderr.strip()))
        return result.stdout

    def size(self):
        out = self.xdotool('getwindowgeometry', '--shell', self.window)
        values = dict(line.split('=') for line in out.split())
        return int(values['WIDTH']), int(values['HEIGHT'])

    def dump(self):
        return subprocess.run(['xwd', '-silent', '-id', self.window], env=self.env, capture_output=True,
                              timeout=20, check=True).stdout

    def settled(self, seconds=60):
        """A screenshot once two taken 0.3 s apart agree and the window is not
        black (the program may take a while to draw its first frame)."""
        end = time.time() + seconds
        last = self.dump()
        while time.time() < end:
            time.sleep(0.3)
            now = self.dump()
            if now == last:
                rows = read_xwd(now)
                if any(p for row in rows[::16] for p in row[::16]):
                    return rows
            last = now
        raise Failure('the window did not settle on a picture within %d s' % seconds)

    def settled_until(self, condition, seconds=60):
        """The first settled screenshot that meets the condition; the last one
        when none does within the time (the checks then say what is wrong)."""
        end = time.time() + seconds
        rows = self.settled()
        while not condition(rows) and time.time() < end:
            time.sleep(0.3)
            rows = self.settled()
        return rows

    def point(self, x, y):
        self.xdotool('mousemove', '--window', self.window, str(x), str(y))

    def keys(self, *names):
        self.xdotool('key', '--delay', '60', *names)

    def close_window(self):
        """WM_DELETE_WINDOW, as a window manager's close button sends it."""
        x11 = ctypes.cdll.LoadLibrary('libX11.so.6')
        x11.XOpenDisplay.restype = ctypes.c_void_p
        x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
        x11.XInternAtom.restype = ctypes.c_ulong
        x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
        x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, ctypes.c_void_p]
        x11.XFlush.argtypes = [ctypes.c_void_p]
        x11.XCloseDisplay.argtypes = [ctypes.c_void_p]

        class ClientMessage(ctypes.Structure):
            _fields_ = [('type', ctypes.c_int), ('serial', ctypes.c_ulong), ('send_event', ctypes.c_int),
                        ('display', ctypes.c_void_p), ('window', ctypes.c_ulong),
                        ('message_type', ctypes.c_ulong), ('format', ctypes.c_int), ('l', ctypes.c_long * 5)]

        class Event(ctypes.Union):
            _fields_ = [('xclient', ClientMessage), ('pad', ctypes.c_long * 24)]

        display = x11.XOpenDisplay(self.env['DISPLAY'].encode())
        event = Event()
        event.xclient.type = 33  # ClientMessage
        event.xclient.window = int(self.window)
        event.xclient.message_type = x11.XInternAtom(display, b'WM_PROTOCOLS', 0)
        event.xclient.format = 32
        event.xclient.l[0] = x11.XInternAtom(display, b'WM_DELETE_WINDOW', 0)
        x11.XSendEvent(display, int(self.window), 0, 0, ctypes.byref(event))
        x11.XFlush(display)
        x11.XCloseDisplay(display)

    def finish(self, timeout=15):
        try:
            return self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
            return None


# --- the check -----------------------------------------------------------------------

def changed_from(before):
    """A condition: the picture is no longer `before`."""
    return lambda rows: equal_share(rows, before) < 0.999


def cursor_box(x, y):
    return (x, y, x + CURSOR_BOX, y + CURSOR_BOX)


def check(condition, what, failures):
    print(('ok    ' if condition else 'FAIL  ') + what)
    if not condition:
        failures.append(what)


def run(navdemo, ref_dir, out_dir):
    opening, menu = read_png(os.path.join(ref_dir, 'navdemo.png')), read_png(os.path.join(ref_dir, 'menu.png'))
    failures = []
    save = lambda name, rows: write_png(os.path.join(out_dir, name), rows)

    xvfb = Xvfb(1920, 1200)
    try:
        live = Live(navdemo, xvfb, out_dir)
        try:
            check(live.size() == (WIDTH, HEIGHT), 'the window is %d x %d' % (WIDTH, HEIGHT), failures)
            live.point(600, 100)
            start = live.settled_until(lambda rows: differing_in(rows, opening, cursor_box(600, 100)) > 20)
            save('live_opening.png', start)
            share = equal_share(start, opening, skip=cursor_box(600, 100))
            check(share == 1, 'the opening frame is the headless one outside the cursor (%.4f equal)' % share,
                  failures)
            check(differing_in(start, opening, cursor_box(600, 100)) > 20,
                  'the cursor overlay is drawn at the pointer (600, 100)', failures)

            live.point(200, 380)
            moved = live.settled_until(lambda rows: differing_in(rows, opening, cursor_box(600, 100)) == 0)
            save('live_pointer_moved.png', moved)
            check(differing_in(moved, opening, cursor_box(600, 100)) == 0 and
                  differing_in(moved, opening, cursor_box(200, 380)) > 20,
                  'the cursor overlay follows the pointer to (200, 380)', failures)

            live.keys('Left', 'Left', 'Left')
            panned = live.settled_until(changed_from(moved))
            save('live_keys_panned.png', panned)
            dx, share, unmoved = best_shift(moved, panned, 100)
            check(dx == 72 and share > 0.9 > unmoved,
                  'three Left presses move the map 72 pixels right (best shift %d: %.3f equal, unshifted %.3f)'
                  % (dx, share, unmoved), failures)

            # Fill patterns keep to the screen's 8-pixel grid, so the map moves by multiples of 8.
            live.xdotool('mousemove', '--window', live.window, '400', '300', 'mousedown', '1')
            for x in range(392, 335, -8):
                live.xdotool('mousemove', '--window', live.window, str(x), '300')
                time.sleep(0.05)
            live.xdotool('mouseup', '1')
            dragged = live.settled_until(changed_from(panned))
            save('live_dragged.png', dragged)
            dx, share, unmoved = best_shift(panned, dragged, 100)
            check(dx == -64 and share > 0.9 > unmoved,
                  'a drag 64 pixels left moves the map with it (best shift %d: %.3f equal, unshifted %.3f)'
                  % (dx, share, unmoved), failures)

            live.xdotool('click', '4')  # the wheel away from the user: zoom in
            zoomed = live.settled_until(changed_from(dragged))
            save('live_wheel_zoomed.png', zoomed)
            share = equal_share(zoomed, dragged, skip=cursor_box(336, 300))
            check(share < 0.8, 'the wheel zooms the map (%.3f of the pixels unchanged)' % share, failures)

            live.point(700, 40)
            live.keys('m')
            page = live.settled_until(lambda rows: equal_share(rows, menu, skip=cursor_box(700, 40)) == 1)
            save('live_menu.png', page)
            share = equal_share(page, menu, skip=cursor_box(700, 40))
            check(share == 1, 'M shows the menu page as the headless run drew it (%.4f equal)' % share, failures)

            live.keys('Escape')
            back = live.settled_until(changed_from(page))
            save('live_back_to_map.png', back)
            share = equal_share(back, zoomed, skip=cursor_box(700, 40))
            check(share > 0.99, 'Esc on the menu returns to the zoomed map (%.4f equal)' % share, failures)

            live.keys('p')
            photos = live.settled_until(changed_from(back))
            save('live_photos.png', photos)
            share = equal_share(photos, back)
            check(share < 0.5, 'P turns to the photo screen (%.3f of the pixels unchanged)' % share, failures)
            live.keys('Escape')
            again = live.settled_until(changed_from(photos))
            share = equal_share(again, back)
            check(share == 1, 'Esc on the photo screen returns to the same map (%.4f equal)' % share, failures)

            live.close_window()
            status = live.finish()
            log = open(live.log.name).read()
            check(status == 0 and 'live view ended' in log,
                  'closing the window ends the program (exit status %s)' % status, failures)
        finally:
            live.finish(timeout=0.1)

        live = Live(navdemo, xvfb, out_dir, scale=2)
        try:
            check(live.size() == (2 * WIDTH, 2 * HEIGHT), 'KESRA_SDL_SCALE=2 makes the window %d x %d'
                  % (2 * WIDTH, 2 * HEIGHT), failures)
            live.point(1200, 200)  # pixel (600, 100)
            big = live.settled_until(
                lambda rows: differing_in([r[::2] for r in rows[::2]], opening, cursor_box(600, 100)) > 20)
            save('live_scale2.png', big)
            blocks = all(big[y][x] == big[y | 1][x | 1] for y in range(0, len(big), 7) for x in range(0, len(big[0]), 7))
            halved = [row[::2] for row in big[::2]]
            share = equal_share(halved, opening, skip=cursor_box(600, 100))
            check(blocks and share == 1,
                  'at scale 2 each pixel is a 2 x 2 block of the opening frame (%.4f equal)' % share, failures)
            check(differing_in(halved, opening, cursor_box(600, 100)) > 20,
                  'at scale 2 the pointer at (1200, 200) puts the cursor at pixel (600, 100)', failures)
            live.keys('Escape')
            status = live.finish()
            check(status == 0, 'Esc on the map ends the program (exit status %s)' % status, failures)
        finally:
            live.finish(timeout=0.1)
    finally:
        xvfb.close()

    if failures:
        print('live-check: %d of the checks failed; pictures in %s' % (len(failures), out_dir))
        return 1
    print('live-check: the window shows the live scene; pictures in %s' % out_dir)
    return 0


if __name__ == '__main__':
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    os.makedirs(sys.argv[3], exist_ok=True)
    try:
        sys.exit(run(*sys.argv[1:]))
    except (Failure, subprocess.SubprocessError, OSError, ValueError) as error:
        sys.exit('live-check: %s' % error)
