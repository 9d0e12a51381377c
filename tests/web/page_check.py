#!/usr/bin/env python3
"""The page in headless Chromium (WebGL 2 on the CPU: SwiftShader, or with --rasterizer llvmpipe
ANGLE over Mesa's OpenGL ES, the desktop's rasterizer), served from build-web/ on 127.0.0.1,
read through what it draws and through its state (quillmarshPage.state(): frames, eye, heading,
strength, room, messages, the backend's counts and the screen items it painted):
- it starts without a console or WebGL error and its first frames draw the room;
- the first-minute hint is on screen and fits the window at 1024 x 800 and at 320 x 240; the
  screen's quads are not made again over ten frames that show the same;
- its start view, once at rest, matches the desktop program's (run on the current X display):
  mean absolute difference at most MAX_MEAN_DIFFERENCE, at most MAX_FAR_PIXELS of the pixels
  more than FAR_LEVEL apart in a channel;
- presses of 0 light it; h shows the status line; m switches the light upload to slices with the
  picture kept; the light volume read back holds the step's texels: exactly on the CPU path,
  within a level after the slices;
  o draws the overlay, then sends it only where it changed;
- F1 shows the key card, in pages where the window is low, each fitting the window at 1024 x 800
  and 320 x 240, listing every key of README.md's table but those the page leaves to the
  browser (Escape, F11, p), and hides it after the last page;
- the canvas follows the window's size, up to the largest the context draws whole; a drag turns
  the view;
- a dropped map that is not a picture and one with no open column get the desktop program's
  line on screen and the room in use stays, as does a file larger than the page reads (refused
  by its size) and one the browser cannot read; one with no start marker builds its room and says where the eye starts, and a walk in
  it stops when its key is let go of with Control or Option held; a good one builds its room;
- a stained-glass room dropped as a scene (SAMPLES_DIR/stained-glass.vox, as
  build/tools/quillmarsh-voxsamples writes it: lamps behind red and blue glass in a brick wall,
  a slate wall) and lit,
  once at rest, matches the desktop program's picture of it within the start view's tolerance,
  shows its colours, and its light volume holds the step's texels exactly (its light settles in
  changes sent by parts of the volume);
- Ctrl+S saves reach the browser as downloads of the map picture, numbered on;
- served without quillmarsh.js, quillmarsh.wasm or quillmarsh.data, it shows a line naming the
  file instead of a black window. The scene keeps the wandering light outside the room, so the light of
  both settles to the same picture.
The pictures compared are left in WORK_DIR. Every wait is for what is looked for, up to a limit.

Usage: page_check.py [--rasterizer swiftshader|llvmpipe] PAGE_DIR DESKTOP_BINARY REPOSITORY_ROOT
                     SAMPLES_DIR [WORK_DIR]"""
import base64
import concurrent.futures
import filecmp
import itertools
import json
import math
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import threading
import time
import zlib

# The browser driver lives with the tools, which measure the page through it too.
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'tools'))
import cdp  # noqa: E402

WIDTH, HEIGHT = 1024, 800
SMALL = (320, 240)
# The size of the views compared with the desktop's: the same views at a quarter of the pixels,
# which both rasterisers draw four times faster while the light comes to rest.
VIEW = (WIDTH // 2, HEIGHT // 2)
# Allowed between the desktop's and the browser's start view: different rasterisers (llvmpipe,
# SwiftShader), JPEG decoders (DevIL, stb_image) and fonts part by a few levels along edges, in
# the tiles and around the crosshair. Measured at 512 x 400: 0.0001 to 0.0004 and 0.02 to 0.03 %
# of the pixels; the page's glass pass left out shows 0.0023 and 1.8 %.
MAX_MEAN_DIFFERENCE = 0.002  # of full scale, over all channels
FAR_LEVEL = '3%'  # about 8 levels of 255
MAX_FAR_PIXELS = 0.005
BAD_MAP = b'GIF89a not a map at all'
HINT = 'The room is dark: press 0 to raise the light, F1 for the keys'
# The stained-glass view: its scene, the presses of 0 that light it (strength 0.3: the brighter
# the picture, the more the two JPEG decoders' few levels in the tiles add up), and the steps
# its light takes to come to rest (about 60), with room to spare. A frame runs at most one step;
# the desktop draws at most DESKTOP_FPS frames a second here, leaving the processor to the page.
# The page's steps are drawn in a small window.
STAINED_GLASS = 'stained-glass.vox'
STAINED_GLASS_PRESSES = 6
# Its mean difference measured 0.0021 to 0.0023 between runs: the tiles under the coloured light,
# where the two JPEG decoders differ by a few levels, fill more of this view than of the start
# view. The share of pixels far apart keeps the start view's limit.
STAINED_GLASS_MEAN_DIFFERENCE = 0.003
LIGHT_STEPS = 150
DESKTOP_FPS = 20
# Frames between two of the page's pictures compared for rest.
REST_FRAMES = 5
# The keys the page leaves to the browser: they must not be on its key card.
BROWSER_KEYS = ('Escape', 'F11', 'p')
# Item kinds of the screen list, and the width of the status line's font.
BOX, LINE, TEXT = 0, 1, 2
STATUS_CHAR_WIDTH = 9
# Below its baseline a line of text reaches at most this far (pixels), for the fit checks.
DESCENT = 3


def fail(message):
    sys.stdout.flush()
    # On standard error: a caller that keeps only errors (tools/test.sh) still sees why.
    print(f'FAIL: {message}', file=sys.stderr)
    sys.exit(1)


def magick(*args):  # what ImageMagick's convert prints
    return subprocess.run(['convert', *args], check=True, capture_output=True, text=True).stdout


def mean(path):
    return float(magick(path, '-format', '%[fx:mean]', 'info:'))


def difference(a, b, metric, fuzz='0%'):
    # compare prints the figure on standard error; status 1 only means "they differ".
    run = subprocess.run(['compare', '-metric', metric, '-fuzz', fuzz, a, b, 'null:'],
                         capture_output=True, text=True)
    if run.returncode > 1:
        fail(f'compare could not read {a} and {b}: {run.stderr.strip()}')
    return run.stderr.strip()


def mae(a, b):
    return float(difference(a, b, 'MAE').split('(')[1].split(')')[0])


def wait_for(what, limit, probe):
    deadline = time.monotonic() + limit
    while time.monotonic() < deadline:
        value = probe()
        if value:
            return value
        time.sleep(0.05)
    fail(f'{what} (waited {limit} s)')


def png(width, height, rgb):
    """An 8-bit RGB PNG of `width` x `height` pixels of colour `rgb`, or of colour rgb(x, y)."""
    def chunk(kind, data):
        return (struct.pack('>I', len(data)) + kind + data +
                struct.pack('>I', zlib.crc32(kind + data) & 0xffffffff))
    colour = rgb if callable(rgb) else lambda x, y: rgb
    rows = b''.join(b'\0' + b''.join(bytes(colour(x, y)) for x in range(width))
                    for y in range(height))
    return (b'\x89PNG\r\n\x1a\n' +
            chunk(b'IHDR', struct.pack('>IIBBBBB', width, height, 8, 2, 0, 0, 0)) +
            chunk(b'IDAT', zlib.compress(rows)) + chunk(b'IEND', b''))


def jpeg(frame, *parts):
    """A JPEG of 8 x 8 grey pixels: a quantisation table, the frame header (`frame`: 0xc0
    sequential, 0xc2 progressive), then `parts`: Huffman tables (class and place, count of codes:
    as many 2-bit codes as there are, which 256 and more cannot all be) or scans (a tuple of the
    tables nibble, spectral start and end, each with a few bytes of coded data)."""
    def segment(marker, body):
        return bytes([0xff, marker]) + struct.pack('>H', len(body) + 2) + body
    out = (b'\xff\xd8' + segment(0xdb, bytes(65)) +
           segment(frame, bytes([8, 0, 8, 0, 8, 1, 1, 0x11, 0])))
    for part in parts:
        if len(part) == 2:
            place, codes = part
            out += segment(0xc4, bytes([place, 0, min(codes, 255), max(codes - 255, 0)]) +
                           bytes(13) + bytes(range(codes % 256)) + bytes(codes // 256 * 256))
        else:
            tables, start, end = part
            out += segment(0xda, bytes([1, 1, tables, start, end, 0])) + b'\x5a\xa5\x5a\xa5'
    return out + b'\xff\xd9'


# A map of walls only: it decodes, but leaves nowhere to stand.
WALLS_MAP = png(8, 8, (0, 0, 0))
# A Huffman table of more codes than one holds, which a decoder that builds it in 256 places would
# overrun: refused before any decoder reads it, by both programs.
OVERFULL_TABLE_MAP = jpeg(0xc0, (0x00, 257), (0x10, 2), (0x00, 0, 63))
# A progressive picture whose AC pass decodes with a table it never defines: the page's decoder
# has no standard tables to use in its place, and refuses it where others may not.
UNDEFINED_TABLE_MAP = jpeg(0xc2, (0x00, 2), (0x00, 0, 0), (0x00, 1, 63))
UNDEFINED_TABLE_LINE = ('quillmarsh: cannot use map "untabled.jpg": its JPEG scans decode with a '
                        'Huffman table (DHT) that it does not define')
# One byte more than a room file may hold in the page (the desktop reads larger rooms): refused by
# its size, the page holding none of it.
LARGEST_PAGE_ROOM_FILE = 129 * 1024 * 1024
HUGE_FILE = LARGEST_PAGE_ROOM_FILE + 1
HUGE_LINE = (f'quillmarsh: cannot use map "huge.png": it is {HUGE_FILE} bytes; a map or .vox file '
             f'is at most {LARGEST_PAGE_ROOM_FILE} bytes')
# A map with no start marker, cut by walls into rooms: the wandering light's (its cell (6, 3, 3)
# is on the map's row 28, rows running against z) and a warm lamp's, 32 columns across, among
# dark ones. Lit, only those two rooms change, too few of the light's bricks (16 cells along x)
# to send the whole volume: the lamp's part of it goes in a call of its own.
def open_map_colour(x, row):
    if x in (15, 31, 48) or row in (8, 24):
        return (0, 0, 0)
    return (0, 0, 255) if (x, row) == (40, 4) else (255, 255, 255)


OPEN_MAP = png(128, 96, open_map_colour)


def png_whole(path):
    """True once the PNG at `path` ends with its last chunk (the program names it first)."""
    with open(path, 'rb') as f:
        return f.read()[-8:-4] == b'IEND'


def desktop_run(binary, root, work, args, shot, keys=()):
    """Runs the desktop program in `work` with a copy of media/, at DESKTOP_FPS at most. With
    `shot`, presses `keys`, saves its view at rest with p into `shot`, ends it with Escape; returns
    (status, stderr). Its light comes to a standstill: at rest once its window looks the same
    three polls running, then once two p in a row (a slow frame each, so not before) save the
    same bytes."""
    shutil.copytree(os.path.join(root, 'media'), os.path.join(work, 'media'), dirs_exist_ok=True)
    shutil.rmtree(os.path.join(work, 'screenshots'), ignore_errors=True)
    process = subprocess.Popen([binary, '--max-fps', str(DESKTOP_FPS)] + args, cwd=work,
                               stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    if shot:
        window = subprocess.run(['timeout', '60', 'xdotool', 'search', '--sync', '--name',
                                 '^Quillmarsh$'], capture_output=True, text=True).stdout.split()
        if not window:
            process.kill()
            fail('the desktop program opened no window')
        subprocess.run(['xdotool', 'windowfocus', '--sync', window[0]] +
                       ['key', *keys] * bool(keys), check=True)
        looks = [b'', b'']

        def still():
            looks[:] = looks[-2:] + [subprocess.run(['xwd', '-id', window[0], '-silent'],
                                                    capture_output=True, check=True).stdout]
            return looks[0] == looks[1] == looks[2]
        wait_for('the desktop program\'s window did not come to rest', 60, still)
        saved, deadline = [], time.monotonic() + 60
        while len(saved) < 2 or not filecmp.cmp(*saved[-2:], shallow=False):
            if time.monotonic() > deadline:
                fail('the desktop program\'s picture did not come to rest in 60 s')
            subprocess.run(['xdotool', 'key', 'p'], check=True)
            saved.append(os.path.join(work, 'screenshots', f'quillmarsh-{len(saved) + 1:03}.png'))
            wait_for(f'the desktop program did not save {saved[-1]} whole', 30,
                     lambda: os.path.exists(saved[-1]) and png_whole(saved[-1]))
        shutil.copy(saved[-1], shot)
        subprocess.run(['xdotool', 'key', 'Escape'], check=True)
    try:
        _, err = process.communicate(timeout=60)
    except subprocess.TimeoutExpired:
        process.kill()
        fail('the desktop program did not end')
    return process.returncode, err


def desktop_refusal(binary, root, work, name, data):
    """The one line the desktop program ends with (status 1) when started on map `data`."""
    with open(os.path.join(work, name), 'wb') as f:
        if isinstance(data, int):
            f.truncate(data)
        else:
            f.write(data)
    status, err = desktop_run(binary, root, work, [name], None)
    line = err.strip().splitlines()[-1] if err.strip() else ''
    if status != 1 or not line.startswith(f'quillmarsh: cannot use map "{name}"'):
        fail(f'the desktop program took the map {name}: status {status}, {err!r}')
    return line


def chromium():
    return (shutil.which('chromium-headless-shell') or shutil.which('chromium') or
            fail('no headless Chromium (tools/web.sh installs chromium-headless-shell)'))


def drop(browser, name, data):
    """Drops a file of `data` named `name` onto the page, as a person dragging it there would
    (`data` a number: that many zero bytes, made in the page)."""
    if isinstance(data, int):
        bytes_js = 'new Uint8Array(%d)' % data
    else:
        bytes_js = ("Uint8Array.from(atob('%s'), c => c.charCodeAt(0))"
                    % base64.b64encode(data).decode())
    browser.evaluate(
        "(() => { const bytes = %s;"
        " const transfer = new DataTransfer(); transfer.items.add(new File([bytes], %s));"
        " window.dispatchEvent(new DragEvent('drop', {dataTransfer: transfer, cancelable: true}));"
        " })()" % (bytes_js, json.dumps(name)))


def state(browser):
    """The page's state (see quillmarsh_state in web/main.cpp); None before the program runs."""
    return browser.evaluate("typeof quillmarshPage === 'undefined' ? null : quillmarshPage.state()")


def frames(browser):
    return (state(browser) or {'frames': 0})['frames']


def check_volume(browser, levels, what):
    """The page's light volume, read back, against the texels of its last light step."""
    differing = browser.evaluate(
        'Module._quillmarsh_volume_difference(quillmarshPage.program, %d)' % levels)
    print(f'light volume {what}: {differing:.0f} texels more than {levels} level(s) off the step\'s')
    if differing != 0:
        fail(f'the light volume does not hold the step\'s light {what}')


def check_walk_let_go_with_modifiers(browser):
    """A walking key let go of with Control held (the browser's key then), or typing another
    character (Option on a Mac: W types "∑"), stops the walk."""
    eye = lambda: state(browser)['eye']
    across = lambda a, b: math.dist(a[::2], b[::2])
    for modifier, code, bit, typed in (('Control', 'ControlLeft', 2, 'w'), ('Alt', 'AltLeft', 1, '∑')):
        start = eye()
        browser.call('Input.dispatchKeyEvent', type='keyDown', key='w', code='KeyW', text='w',
                     windowsVirtualKeyCode=87)
        wait_for('w did not walk', 10, lambda: across(eye(), start) > 0.3)
        browser.call('Input.dispatchKeyEvent', type='rawKeyDown', key=modifier, code=code,
                     modifiers=bit)
        browser.call('Input.dispatchKeyEvent', type='keyUp', key=typed, code='KeyW',
                     windowsVirtualKeyCode=87, modifiers=bit)
        browser.call('Input.dispatchKeyEvent', type='keyUp', key=modifier, code=code)
        later(browser, 3, 'after letting go of w')
        stopped = eye()
        later(browser, 20, 'after letting go of w')
        if across(eye(), stopped) > 1e-3:
            fail(f'w let go of with {modifier} held, as "{typed}": the eye walked on from '
                 f'{stopped} to {eye()}')


def later(browser, count, what):
    """Waits for `count` more frames; `what` says what they follow if none come."""
    drawn = frames(browser)
    wait_for(f'no {count} frames {what}', 30, lambda: frames(browser) >= drawn + count)


def texts(screen, char_width=None):
    return [i['t'] for i in screen if i['k'] == TEXT and char_width in (None, i['w'])]


def boxed_texts(screen):
    """The screen's text boxes in drawing order, each as (box, [its text items])."""
    boxes = []
    for item in screen:
        if item['k'] == BOX and item['c'][3] < 255:
            boxes.append((item, []))
        elif item['k'] == TEXT:
            if not boxes:
                fail(f'text outside any box: {item}')
            boxes[-1][1].append(item)
    return boxes


def check_fit(screen, width, height, what):
    """Every box within the window, every line of text within its box: no character cut."""
    for box, lines in boxed_texts(screen):
        x0, x1 = sorted((box['x0'], box['x1']))
        y0, y1 = sorted((box['y0'], box['y1']))
        if x0 < 0 or y0 < 0 or x1 > width or y1 > height:
            fail(f'{what}: a box reaches out of the {width} x {height} window: {box}')
        for line in lines:
            left, right = line['x0'], line['x0'] + len(line['t']) * line['w']
            low, high = line['y0'] - DESCENT, line['y0'] + line['h'] - DESCENT
            if left < x0 or right > x1 or low < y0 or high > y1:
                fail(f'{what}: "{line["t"]}" ({left}..{right} x {low}..{high}) leaves its box '
                     f'({x0}..{x1} x {y0}..{y1}) in a {width} x {height} window')


def hint_lines(screen):
    """The hint's lines, if the hint is on screen."""
    return next((lines for _, lines in boxed_texts(screen)
                 if ' '.join(l['t'] for l in lines).split() == HINT.split()), None)


def card_lines(screen):
    """The key card's lines (its heading first), if the card is on screen."""
    return next(([l['t'] for l in lines] for _, lines in boxed_texts(screen)
                 if lines and lines[0]['t'].startswith('Keys and mouse')), None)


def page_keys(root):
    """The inputs of README.md's key table (the rows under "| input | effect |") that the page
    has."""
    with open(os.path.join(root, 'README.md')) as f:
        rows = f.read().split('\n| input | effect |\n|---|---|\n', 1)[-1].splitlines()
    inputs = [r.split('|')[1].strip() for r in itertools.takewhile(lambda r: r[:1] == '|', rows)]
    if 'F1' not in inputs:
        fail('README.md has no key table')
    return [i for i in inputs if i not in BROWSER_KEYS]


def resize(browser, width, height):
    browser.call('Emulation.setDeviceMetricsOverride', width=width, height=height,
                 deviceScaleFactor=1, mobile=False)
    follows = "Module.canvas.width === %d && Module.canvas.height === %d" % (width, height)
    wait_for(f'the canvas did not follow the window to {width} x {height}', 10,
             lambda: browser.evaluate(follows))
    wait_for('the screen was not laid out for the new size', 10,
             lambda: state(browser)['window'] == [width, height])
    # One more frame paints the items of the new size.
    later(browser, 2, 'at the new size')


def press_f1(browser):
    before = state(browser)['keyCardPage']
    browser.key('F1', 'F1', 112, text='')
    wait_for('F1 did not turn the key card\'s page', 10,
             lambda: state(browser)['keyCardPage'] != before)
    later(browser, 2, 'after F1')
    return state(browser)


def check_key_card(browser, root, width, height):
    """Steps through the key card's pages with F1 at the current size: each fits, together they
    list the page's keys, none the browser's; after the last page the card is hidden."""
    lines, page = [], 0
    while True:
        now = press_f1(browser)
        card = card_lines(now['screen'])
        if now['keyCardPage'] < 0:
            if card is not None:
                fail('the key card stayed on screen after its last page')
            break
        if card is None:
            fail(f'F1 showed no key card at {width} x {height}')
        check_fit(now['screen'], width, height, f'key card page {page + 1}')
        lines += card[2:]
        page += 1
        if page > 20:
            fail('the key card does not end')
    # An entry starts a line: its input, then its effect after two spaces or, where the window is
    # narrow, on the lines after it.
    def lists(key):
        return any(line == key or line.startswith(key + '  ') for line in lines)
    for key in page_keys(root):
        if not lists(key):
            fail(f'the key card at {width} x {height} does not list "{key}": {lines}')
    for key in BROWSER_KEYS:
        if lists(key):
            fail(f'the key card lists "{key}", which the page leaves to the browser')
    print(f'key card at {width} x {height}: {page} page(s), {len(lines)} lines, fits')
    return page


def wait_for_message(browser, what, test):
    """The page's state once a message on screen passes `test`."""
    def probe():
        now = state(browser)
        return now if any(test(m) for m in now['messages']) else None
    return wait_for(what, 10, probe)


def screen_words(browser):
    """The words of every text box on screen, in order, wherever lines were wrapped."""
    return ' '.join(i['t'] for _, items in boxed_texts(state(browser)['screen'])
                    for i in items).split()


def compare_views(what, desktop_shot, browser_shot, max_mean=MAX_MEAN_DIFFERENCE):
    """The browser's picture against the desktop's, within the start view's tolerance (the mean
    difference's limit may be given)."""
    mean_difference = mae(desktop_shot, browser_shot)
    far = float(difference(desktop_shot, browser_shot, 'AE', FAR_LEVEL)) / (VIEW[0] * VIEW[1])
    print(f'{what}: mean absolute difference {mean_difference:.5f} (at most {max_mean}), '
          f'{100 * far:.3f} % of the pixels beyond {FAR_LEVEL} (at most {100 * MAX_FAR_PIXELS} %)')
    if mean_difference > max_mean or far > MAX_FAR_PIXELS:
        fail(f'the browser {what} differs from the desktop one ({desktop_shot}, {browser_shot})')


def settle(browser, work, keep):
    """Screenshots REST_FRAMES frames apart until two in a row agree (mean absolute difference
    under 0.0005: the body is on the floor, the light steps change nothing); the last to `keep`."""
    previous, deadline = None, time.monotonic() + 60
    for n in range(1000):
        latest = os.path.join(work, f'browser-settle-{n % 2}.png')
        browser.screenshot(latest)
        if previous and (filecmp.cmp(previous, latest, shallow=False) or
                         mae(previous, latest) < 0.0005):
            shutil.copy(latest, keep)
            return
        if time.monotonic() > deadline:
            fail('the picture did not come to rest in 60 s')
        previous = latest
        later(browser, REST_FRAMES, 'between two pictures')


def check_stained_glass(browser, scene, desktop_shot, work, meanwhile):
    """Drops the stained-glass scene, lights it, runs `meanwhile` (checks that leave the view and
    the light as they are) and compares the view at rest with the desktop's."""
    with open(scene, 'rb') as f:
        drop(browser, STAINED_GLASS, f.read())
    built = f'room built from "{STAINED_GLASS}"'
    wait_for('the stained-glass scene built no room', 10,
             lambda: built in state(browser)['messages'])
    for _ in range(STAINED_GLASS_PRESSES):
        browser.key('0', 'Digit0', 48)
    # The message gone (the desktop shows none), and as many steps as the desktop's light took.
    drawn = frames(browser)
    meanwhile()
    wait_for('the message stayed on screen', 30, lambda: not state(browser)['messages'])
    wait_for('the light did not have the frames to settle', 120,
             lambda: frames(browser) >= drawn + LIGHT_STEPS)
    resize(browser, *VIEW)
    view = os.path.join(work, 'browser-stained-glass.png')
    settle(browser, work, view)
    # Its last changes were sent in parts of the volume, the wandering light being outside.
    check_volume(browser, 0, 'at rest in the stained-glass scene')
    compare_views('stained-glass view', desktop_shot, view, STAINED_GLASS_MEAN_DIFFERENCE)
    # Red glass on the left of the view, blue in the middle: a picture whose colours were left
    # out would be grey there.
    crops = magick(view, '(', '+clone', '-crop', '100x100+32+100', ')', '(', '-clone', '0',
                   '-crop', '100x100+250+100', ')', '-delete', '0',
                   '-format', '%[fx:mean.r] %[fx:mean.g] %[fx:mean.b]\n', 'info:').splitlines()
    for name, channel, line in (('red', 0, crops[0]), ('blue', 2, crops[1])):
        rgb = [float(v) for v in line.split()]
        if rgb[channel] < 2 * max(rgb[c] for c in range(3) if c != channel):
            fail(f'the {name} glass of the stained-glass view is not {name}: {rgb}')
    print('stained-glass view: red and blue glass shown')
    # The canvas is composited by its alpha: a pass that lowered it would let the page's
    # background through, here under the glass. Read within a frame, after the program drew it
    # (the drawing buffer is cleared once the frame is shown).
    lowest = browser.evaluate(
        "new Promise(done => requestAnimationFrame(() => { const c = document.getElementById('canvas');"
        " const copy = document.createElement('canvas'); copy.width = c.width; copy.height = c.height;"
        " const g = copy.getContext('2d'); g.drawImage(c, 0, 0);"
        " const d = g.getImageData(0, 0, c.width, c.height).data; let low = 255;"
        " for (let i = 3; i < d.length; i += 4) low = Math.min(low, d[i]); done(low); }))")
    if lowest != 255:
        fail(f'the canvas is not opaque: an alpha of {lowest} in the stained-glass view')


def check_refused(browser, name, data, line):
    """Drops map `data`: the desktop's `line` on screen, the room in use kept."""
    before = state(browser)
    drop(browser, name, data)
    now = wait_for_message(browser, f'no message for the map {name}', lambda m: m == line)
    later(browser, 2, 'after the refused map')
    shown = ' '.join(screen_words(browser))
    if ' '.join(line.split()) not in shown:
        fail(f'the page shows {shown!r}, not the desktop\'s line {line!r}')
    if now['room'] != before['room'] or now['strength'] != before['strength']:
        fail(f'the refused map {name} changed the room: {before["room"]} strength '
             f'{before["strength"]} became {now["room"]} strength {now["strength"]}')
    if not any(line in entry for entry in browser.console()):
        fail(f'the refusal of {name} did not reach the console')
    print(f'refused map: {line} (room {now["room"]} kept)')


# The page's own files, and the one line it shows in place of a black window when one does not
# load: its beginning, and what the rest must hold.
INCOMPLETE_PAGES = (
    ('quillmarsh.js', 'quillmarsh: the page stopped: ', 'cannot load quillmarsh.js'),
    ('quillmarsh.wasm', 'quillmarsh: the program (quillmarsh.wasm) stopped: ', 'wasm'),
    ('quillmarsh.data', 'quillmarsh: the page stopped: ', 'quillmarsh.data'),
)


def check_saves(browser, work):
    """Ctrl+S twice in the room from the dropped map: each save reaches the browser as a download
    of the map picture, numbered on (the page empties its own copy once it is handed over)."""
    downloads = os.path.join(work, 'downloads')
    shutil.rmtree(downloads, ignore_errors=True)
    os.makedirs(downloads)
    browser.call('Browser.setDownloadBehavior', session=False, behavior='allow',
                 downloadPath=downloads)
    for n in (1, 2):
        browser.key('s', 'KeyS', 83, text='', modifiers=2)
        line = f'map saved: maps/room-{n:03}.png'
        wait_for_message(browser, f'no "{line}" after Ctrl+S', lambda m: m == line)
        path = os.path.join(downloads, f'room-{n:03}.png')
        wait_for(f'{path} was not downloaded whole', 30,
                 lambda: os.path.exists(path) and png_whole(path))
        with open(path, 'rb') as f:
            size = struct.unpack('>II', f.read(24)[16:24])
        if size != (60, 40):
            fail(f'the downloaded map {path} is {size[0]} x {size[1]}, not the room\'s 60 x 40')
        print(f'saved map: {line}, downloaded as {os.path.basename(path)}')


def check_incomplete_pages(browser, page, serve):
    """The page served without each of its files in turn shows a line naming what stopped."""
    for missing, line, cause in INCOMPLETE_PAGES:
        with tempfile.TemporaryDirectory(prefix='qm-web-incomplete-') as folder:
            for name in [page_file for page_file, _, _ in INCOMPLETE_PAGES] + ['index.html']:
                if name != missing:
                    shutil.copy(os.path.join(page, name), folder)
            server = serve.serve(folder, 0)
            threading.Thread(target=server.serve_forever, daemon=True).start()
            try:
                browser.open(f'http://127.0.0.1:{server.server_address[1]}/', *SMALL)
                shown = wait_for(f'no line on a page without {missing}', 30, lambda: browser.evaluate(
                    "(document.getElementById('fatal') || {}).textContent"))
            finally:
                server.shutdown()
        if not shown.startswith(line) or cause not in shown[len(line):] or '\n' in shown:
            fail(f'the page without {missing} shows {shown!r}, not one line naming it')
        print(f'page without {missing}: {shown}')


def main():
    args, rasterizer = sys.argv[1:], 'swiftshader'
    if args[:1] == ['--rasterizer']:
        rasterizer, args = args[1] if len(args) > 1 else '', args[2:]
    if rasterizer not in cdp.RASTERIZERS or len(args) not in (4, 5):
        fail(__doc__.split('Usage: ')[1])
    page, desktop, root, samples = (os.path.abspath(a) for a in args[:4])
    scene = os.path.join(samples, STAINED_GLASS)
    work = args[4] if len(args) > 4 else tempfile.mkdtemp(prefix='qm-web-')
    os.makedirs(work, exist_ok=True)
    if not os.path.exists(os.path.join(page, 'quillmarsh.wasm')):
        fail(f'no page in {page}: build it with bash tools/web.sh --build-only')
    sys.path.insert(0, os.path.join(root, 'web'))
    import serve
    server = serve.serve(page, 0)
    threading.Thread(target=server.serve_forever, daemon=True).start()

    # The desktop program's views and lines come beside the page's checks, and are waited for
    # where they are compared (a failed check there ends the run then).
    def desktop_part():
        for name, args in (('start', []), ('stained-glass', [scene])):
            desktop_run(desktop, root, os.path.join(work, 'desktop'),
                        ['-geometry', f'{VIEW[0]}x{VIEW[1]}'] + args,
                        os.path.join(work, f'desktop-{name}.png'),
                        ['0'] * STAINED_GLASS_PRESSES * bool(args))
        return {name: desktop_refusal(desktop, root, work, name, data)
                for name, data in (('bad.png', BAD_MAP), ('walls.png', WALLS_MAP),
                                   ('tables.jpg', OVERFULL_TABLE_MAP))}
    desktop_done = concurrent.futures.ThreadPoolExecutor(1).submit(desktop_part)

    def desktop_found(name):
        return desktop_done.result(300).get(name, os.path.join(work, f'desktop-{name}.png'))

    browser = cdp.Browser(chromium(), WIDTH, HEIGHT, rasterizer)
    try:
        browser.open(f'http://127.0.0.1:{server.server_address[1]}/', *SMALL)
        wait_for('the page drew no frames', 120, lambda: frames(browser) >= 20)

        # The hint, before any key: it fits, and an unchanged screen is not painted again.
        for size in ((WIDTH, HEIGHT), SMALL, VIEW):
            resize(browser, *size)
            now = state(browser)
            if hint_lines(now['screen']) is None:
                fail(f'no hint at {size[0]} x {size[1]}: {texts(now["screen"])}')
            check_fit(now['screen'], *size, 'hint')
            if size == SMALL:
                later(browser, 10, 'with the hint on screen')
                built = state(browser)['screenBuilds'] - now['screenBuilds']
                if built:
                    fail(f'the screen\'s quads were made {built} times over 10 frames that showed '
                         'the same')
        print(f'hint fits at {WIDTH} x {HEIGHT}, {SMALL[0]} x {SMALL[1]} and {VIEW[0]} x {VIEW[1]}')

        # Any key ends the hint; the desktop's picture is taken after one (p) too.
        browser.key('x', 'KeyX', 88)
        wait_for('a key press left the hint on screen', 10,
                 lambda: hint_lines(state(browser)['screen']) is None)
        start = os.path.join(work, 'browser-start.png')
        settle(browser, work, start)
        if browser.errors():
            fail(f'the page reported errors: {browser.errors()}')
        dark = mean(start)
        if dark < 0.03:
            fail(f'the first frames show no room (mean {dark:.4f})')
        compare_views('start view', desktop_found('start'), start)
        # Unlit, only the wandering light's bricks change: sent as parts of the volume.
        check_volume(browser, 0, 'with the wandering light alone')

        # The light's keys, the status line and the overlay in the small window: its frames cost
        # a tenth of the large one's.
        resize(browser, *SMALL)
        browser.screenshot(start)
        dark = mean(start)
        for _ in range(10):
            browser.key('0', 'Digit0', 48)
        lit, means = os.path.join(work, 'browser-lit.png'), []

        def lit_up():
            later(browser, REST_FRAMES, 'after the presses of 0')
            browser.screenshot(lit)
            means.append(mean(lit))
            return means[-1] > dark * 1.3
        wait_for('presses of 0 did not light the room', 60, lit_up)
        print(f'after ten presses of 0: mean {means[-1]:.4f} (dark {dark:.4f})')
        fades = [line for line in browser.console() if line.startswith('fade value:')]
        if len(fades) != 10:
            fail(f'{len(fades)} "fade value:" lines for ten presses of 0: {fades}')

        def status():
            return ' '.join(texts(state(browser)['screen'], STATUS_CHAR_WIDTH))

        def check_status(size):
            browser.key('h', 'KeyH', 72)
            wait_for('h showed no status line', 10, lambda: 'upload' in status())
            later(browser, 1, 'with the status line')
            check_fit(state(browser)['screen'], *size, 'status line')
        check_status(SMALL)
        if 'upload cpu' not in status():
            fail(f'the status line does not show the CPU upload: {status()}')
        check_volume(browser, 0, 'sent where it changed')
        browser.screenshot(lit)
        browser.key('m', 'KeyM', 77)
        wait_for('m did not switch the upload', 10, lambda: 'upload slices' in status())
        # The status line changes at the end of the first frame drawn with slices; a few more.
        later(browser, 3, 'after m')
        slices = os.path.join(work, 'browser-slices.png')
        browser.screenshot(slices)
        ratio = mean(slices) / mean(lit)
        print(f'light uploaded as slices: {ratio:.2f} of the CPU path\'s mean')
        if not 0.8 < ratio < 1.5:
            fail('the picture changed with the slice upload')
        check_volume(browser, 1, 'drawn as slices')
        browser.key('m', 'KeyM', 77)
        wait_for('m did not switch the upload back', 10, lambda: 'upload cpu' in status())
        browser.key('o', 'KeyO', 79)
        wait_for('o drew no overlay', 10, lambda: state(browser)['overlayFrames'] > 5)
        if state(browser)['overlayUploads'] < 1:
            fail('the overlay was drawn without its picture')
        # The light's steps move the marks: then only what changed is sent (a WebGL error from it
        # fails the page at the end).
        wait_for('the overlay was never sent in part', 10, lambda: state(browser)['overlayParts'] > 0)
        browser.key('o', 'KeyO', 79)
        browser.key('h', 'KeyH', 72)

        def key_cards():  # the light's steps then go on in the small window
            resize(browser, WIDTH, HEIGHT)
            check_status((WIDTH, HEIGHT))
            browser.key('h', 'KeyH', 72)
            pages = check_key_card(browser, root, WIDTH, HEIGHT)
            resize(browser, *SMALL)
            if check_key_card(browser, root, *SMALL) < pages:
                fail('the key card takes fewer pages in a smaller window')
        check_stained_glass(browser, scene, desktop_found('stained-glass'), work, key_cards)

        # A window wider than the context draws: the canvas stops at the largest it draws whole,
        # and every pass works at that size (the copy behind the glass included: no GL error).
        largest = browser.evaluate(
            "(() => { const g = Module.canvas.getContext('webgl2');"
            " return Math.min(g.getParameter(g.MAX_TEXTURE_SIZE),"
            " g.getParameter(g.MAX_RENDERBUFFER_SIZE), g.getParameter(g.MAX_VIEWPORT_DIMS)[0]); })()")
        browser.call('Emulation.setDeviceMetricsOverride', width=largest + 808, height=SMALL[1],
                     deviceScaleFactor=1, mobile=False)
        wait_for(f'the canvas did not stop at {largest} pixels across', 30,
                 lambda: state(browser)['window'] == [largest, SMALL[1]])
        browser.evaluate("Module.canvas.getContext('webgl2').getError()")
        later(browser, 3, 'in a window wider than the context draws')
        error = browser.evaluate("Module.canvas.getContext('webgl2').getError()")
        if error != 0:
            fail(f'GL error {error:#x} in a window {largest + 808} pixels wide')

        resize(browser, *VIEW)
        heading = state(browser)['heading']
        # Motion no frame has applied is dropped when the button goes up: a frame after each step.
        browser.drag((200, 200), (400, 200), lambda: later(browser, 1, 'during the drag'))
        later(browser, 2, 'after the drag')
        turn = (state(browser)['heading'] - heading + 180) % 360 - 180
        print(f'a drag of 200 pixels turned the view by {turn:.1f} degrees')
        if abs(turn) < 20:
            fail('the drag did not turn the view')

        for name, data in (('bad.png', BAD_MAP), ('walls.png', WALLS_MAP),
                           ('tables.jpg', OVERFULL_TABLE_MAP)):
            check_refused(browser, name, data, desktop_found(name))
        check_refused(browser, 'untabled.jpg', UNDEFINED_TABLE_MAP, UNDEFINED_TABLE_LINE)
        check_refused(browser, 'huge.png', HUGE_FILE, HUGE_LINE)
        # A file the browser cannot read (a folder, one gone since it was chosen) gets its line.
        browser.evaluate("(() => { const read = File.prototype.arrayBuffer;"
                         " File.prototype.arrayBuffer = function () { return this.name === 'gone.png'"
                         " ? Promise.reject(new DOMException('it is gone', 'NotFoundError'))"
                         " : read.call(this); }; })()")
        drop(browser, 'gone.png', b'x')
        wait_for_message(browser, 'no line for a file the browser cannot read', lambda m: m ==
                         'quillmarsh: cannot use map "gone.png": the browser cannot read it (it is gone)')
        drop(browser, 'open.png', OPEN_MAP)
        notice = 'quillmarsh: map "open.png" has no start marker; starting in column'
        now = wait_for_message(browser, 'no notice for a map with no start marker',
                               lambda m: m.startswith(notice))
        if now["room"] != [128, 6, 96]:
            fail(f'the map with no start marker built a room of {now["room"]}, not 128 x 6 x 96')
        later(browser, 2, 'after the open room')
        check_walk_let_go_with_modifiers(browser)
        shown = ' '.join(screen_words(browser))
        if ' '.join(notice.split()) not in shown:
            fail(f'the notice is not on screen: {shown!r}')
        print(f'map with no start marker: {next(m for m in now["messages"] if notice in m)}')
        for _ in range(6):
            browser.key('0', 'Digit0', 48)
        later(browser, 20, 'in the lit open room')
        check_volume(browser, 0, 'in the lit open room')
        with open(os.path.join(root, 'media/textures/maps/testmap.png'), 'rb') as f:
            drop(browser, 'room.png', f.read())
        built = 'room built from "room.png"'
        wait_for('the dropped map built no room', 10,
                 lambda: built in state(browser)['messages'])
        if state(browser)['strength'] != 0:
            fail('the dropped map did not build a new room (the light strength stayed)')
        later(browser, 6, 'after the dropped room')
        print(f'good map: {built}')
        if browser.errors():
            fail(f'the page reported errors: {browser.errors()}')
        check_saves(browser, work)
        if browser.errors():
            fail(f'the page reported errors: {browser.errors()}')
        check_incomplete_pages(browser, page, serve)
    finally:
        browser.close()
        server.shutdown()
    print('page check passed')


if __name__ == '__main__':
    main()
