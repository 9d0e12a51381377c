#!/usr/bin/env python3
"""The page in headless Chromium (SwiftShader's WebGL 2), served from build-web/ on 127.0.0.1:
it starts without a console or WebGL error, its first frames draw the room, presses of 0 light it,
h shows the status line, m switches the light upload to slices with the picture kept, o shows
the overlay, the canvas follows the window's size, a drag turns the view, a dropped map that is
not a picture gets the desktop program's one line and a good one builds its room. The start view is compared with the desktop program's (run on the
current X display): mean absolute difference at most MAX_MEAN_DIFFERENCE, and at most
MAX_FAR_PIXELS of the pixels more than FAR_LEVEL apart in a channel.

Usage: page_check.py PAGE_DIR DESKTOP_BINARY REPOSITORY_ROOT [WORK_DIR]"""
import base64
import json
import os
import shutil
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import cdp  # noqa: E402

WIDTH, HEIGHT = 1024, 800
# Allowed between the desktop's and the browser's start view: different rasterisers (llvmpipe,
# SwiftShader) and JPEG decoders (DevIL, stb_image) part by a few levels along edges and in the
# tiles. Measured: 0.0001 and 0.01 % of the pixels; a pass drawn wrong or left out shows far more.
MAX_MEAN_DIFFERENCE = 0.002  # of full scale, over all channels
FAR_LEVEL = '3%'  # about 8 levels of 255
MAX_FAR_PIXELS = 0.005
BAD_MAP = b'GIF89a not a map at all'


def fail(message):
    print(f'FAIL: {message}')
    sys.exit(1)


def mean(path):
    out = subprocess.run(['convert', path, '-format', '%[fx:mean]', 'info:'], check=True,
                         capture_output=True, text=True).stdout
    return float(out)


def difference(a, b, metric, fuzz='0%'):
    # compare prints the figure on standard error; status 1 only means "they differ".
    run = subprocess.run(['compare', '-metric', metric, '-fuzz', fuzz, a, b, 'null:'],
                         capture_output=True, text=True)
    if run.returncode > 1:
        fail(f'compare could not read {a} and {b}: {run.stderr.strip()}')
    return run.stderr.strip()


def wait_for(what, limit, probe):
    deadline = time.monotonic() + limit
    while time.monotonic() < deadline:
        value = probe()
        if value:
            return value
        time.sleep(0.2)
    fail(f'{what} (waited {limit} s)')


def settle(take, keep):
    """Takes pictures with `take` until two in a row agree (the camera has come to rest on the
    floor and the first steps have revealed the room); copies the last to `keep`."""
    previous = take()
    deadline = time.monotonic() + 60
    while True:
        time.sleep(0.5)
        latest = take()
        if float(difference(previous, latest, 'MAE').split('(')[1].split(')')[0]) < 0.0005:
            shutil.copy(latest, keep)
            return
        if time.monotonic() > deadline:
            fail('the picture did not come to rest in 60 s')
        previous = latest


def desktop_run(binary, root, work, args, shot):
    """Runs the desktop program in `work` with a copy of media/. With `shot`, lets it settle,
    saves its start view with p and ends it with Escape; returns (status, stderr)."""
    shutil.copytree(os.path.join(root, 'media'), os.path.join(work, 'media'), dirs_exist_ok=True)
    process = subprocess.Popen([binary] + args, cwd=work, stdout=subprocess.DEVNULL,
                               stderr=subprocess.PIPE, text=True)
    if shot:
        window = subprocess.run(['timeout', '60', 'xdotool', 'search', '--sync', '--name',
                                 '^Quillmarsh$'], capture_output=True, text=True).stdout.split()
        if not window:
            process.kill()
            fail('the desktop program opened no window')
        subprocess.run(['xdotool', 'windowfocus', '--sync', window[0]], check=True)
        folder = os.path.join(work, 'screenshots')

        def next_screenshot():
            before = len(os.listdir(folder)) if os.path.isdir(folder) else 0
            subprocess.run(['xdotool', 'key', 'p'], check=True)
            wait_for('the desktop program saved no screenshot', 30,
                     lambda: os.path.isdir(folder) and len(os.listdir(folder)) > before)
            time.sleep(0.3)  # written whole
            return os.path.join(folder, sorted(os.listdir(folder))[-1])
        settle(next_screenshot, shot)
        subprocess.run(['xdotool', 'key', 'Escape'], check=True)
    try:
        _, err = process.communicate(timeout=60)
    except subprocess.TimeoutExpired:
        process.kill()
        fail('the desktop program did not end')
    return process.returncode, err


def chromium():
    for name in ('chromium-headless-shell', 'chromium'):
        path = shutil.which(name)
        if path:
            return path
    fail('no headless Chromium (tools/web.sh installs chromium-headless-shell)')


def drop(browser, name, data):
    """Drops a file of `data` named `name` onto the page, as a person dragging it there would."""
    encoded = base64.b64encode(data).decode()
    browser.evaluate(
        "(() => { const bytes = Uint8Array.from(atob('%s'), c => c.charCodeAt(0));"
        " const transfer = new DataTransfer();"
        " transfer.items.add(new File([bytes], %s));"
        " window.dispatchEvent(new DragEvent('drop', {dataTransfer: transfer, cancelable: true}));"
        " })()" % (encoded, json.dumps(name)))


def main():
    page, desktop, root = (os.path.abspath(a) for a in sys.argv[1:4])
    work = sys.argv[4] if len(sys.argv) > 4 else tempfile.mkdtemp(prefix='qm-web-')
    os.makedirs(work, exist_ok=True)
    if not os.path.exists(os.path.join(page, 'quillmarsh.wasm')):
        fail(f'no page in {page}: build it with bash tools/web.sh --build-only')
    sys.path.insert(0, os.path.join(root, 'web'))
    import serve
    server = serve.serve(page, 0)
    threading.Thread(target=server.serve_forever, daemon=True).start()

    desktop_shot = os.path.join(work, 'desktop-start.png')
    desktop_run(desktop, root, os.path.join(work, 'desktop'), [], desktop_shot)
    with open(os.path.join(work, 'bad.png'), 'wb') as f:
        f.write(BAD_MAP)
    status, err = desktop_run(desktop, root, work, ['bad.png'], None)
    desktop_refusal = err.strip().splitlines()[-1] if err.strip() else ''
    if status != 1 or not desktop_refusal.startswith('quillmarsh: cannot use map "bad.png"'):
        fail(f'the desktop program took the bad map: status {status}, {err!r}')

    browser = cdp.Browser(chromium(), WIDTH, HEIGHT)
    try:
        browser.open(f'http://127.0.0.1:{server.server_address[1]}/', WIDTH, HEIGHT)
        frames = "Module._quillmarsh_frames ? Module._quillmarsh_frames() : 0"
        wait_for('the page drew no frames', 120,
                 lambda: browser.evaluate(f"typeof Module === 'undefined' ? 0 : {frames}") >= 20)
        # The key card and the first-minute hint are the page's text; the desktop's picture is
        # taken after a key press (its hint gone) and shows no card.
        browser.evaluate("['keys', 'hint'].forEach(id => "
                         "document.getElementById(id).style.display = 'none')")
        start = os.path.join(work, 'browser-start.png')
        shots = iter(range(1000))

        def next_screenshot():
            path = os.path.join(work, f'browser-settle-{next(shots) % 2}.png')
            browser.screenshot(path)
            return path
        settle(next_screenshot, start)
        if browser.errors():
            fail(f'the page reported errors: {browser.errors()}')
        dark = mean(start)
        if dark < 0.03:
            fail(f'the first frames show no room (mean {dark:.4f})')
        mae = float(difference(desktop_shot, start, 'MAE').split('(')[1].split(')')[0])
        far = float(difference(desktop_shot, start, 'AE', FAR_LEVEL)) / (WIDTH * HEIGHT)
        print(f'start view: desktop mean {mean(desktop_shot):.4f}, browser mean {dark:.4f}, '
              f'mean absolute difference {mae:.5f} (at most {MAX_MEAN_DIFFERENCE}), '
              f'{100 * far:.3f} % of the pixels beyond {FAR_LEVEL} (at most '
              f'{100 * MAX_FAR_PIXELS} %)')
        if mae > MAX_MEAN_DIFFERENCE or far > MAX_FAR_PIXELS:
            fail(f'the browser start view differs from the desktop one ({desktop_shot}, {start})')

        for _ in range(10):
            browser.key('0', 'Digit0', 48)
        lit = os.path.join(work, 'browser-lit.png')

        def lit_up():
            time.sleep(1)
            browser.screenshot(lit)
            return mean(lit) > dark * 1.3
        wait_for('presses of 0 did not light the room', 60, lit_up)
        print(f'after ten presses of 0: mean {mean(lit):.4f} (dark {dark:.4f})')
        fades = [line for line in browser.console() if line.startswith('fade value:')]
        if len(fades) != 10:
            fail(f'{len(fades)} "fade value:" lines for ten presses of 0: {fades}')

        status = "document.getElementById('status').textContent"
        browser.key('h', 'KeyH', 72)
        wait_for('h showed no status line', 10, lambda: 'upload cpu' in browser.evaluate(status))
        browser.screenshot(lit)
        browser.key('m', 'KeyM', 77)
        wait_for('m did not switch the upload', 10,
                 lambda: 'upload slices' in browser.evaluate(status))
        time.sleep(1)
        slices = os.path.join(work, 'browser-slices.png')
        browser.screenshot(slices)
        ratio = mean(slices) / mean(lit)
        print(f'light uploaded as slices: mean {mean(slices):.4f}, {ratio:.2f} of the CPU path\'s')
        if not 0.8 < ratio < 1.5:
            fail('the picture changed with the slice upload')
        browser.key('o', 'KeyO', 79)
        wait_for('o showed no overlay', 10, lambda: browser.evaluate(
            "document.getElementById('overlay').style.display === 'block'"))
        browser.call('Emulation.setDeviceMetricsOverride', width=WIDTH // 2, height=HEIGHT // 2,
                     deviceScaleFactor=1, mobile=False)
        follows = "Module.canvas.width === %d && Module.canvas.height === %d" % (WIDTH // 2,
                                                                                 HEIGHT // 2)
        wait_for('the canvas did not follow the window', 10, lambda: browser.evaluate(follows))

        heading = browser.evaluate('Module._quillmarsh_heading()')
        browser.drag((200, 200), (400, 200))
        time.sleep(1)
        turned = browser.evaluate('Module._quillmarsh_heading()')
        turn = (turned - heading + 180) % 360 - 180
        print(f'a drag of 200 pixels turned the view by {turn:.1f} degrees')
        if abs(turn) < 20:
            fail('the drag did not turn the view')

        message = "document.getElementById('message').textContent"
        drop(browser, 'bad.png', BAD_MAP)
        shown = wait_for('no message for the bad map', 10, lambda: browser.evaluate(message))
        if shown != desktop_refusal:
            fail(f'the page says {shown!r}, the desktop {desktop_refusal!r}')
        print(f'bad map: {shown}')
        with open(os.path.join(root, 'media/textures/maps/testmap.png'), 'rb') as f:
            drop(browser, 'room.png', f.read())
        wait_for('the dropped map built no room', 10,
                 lambda: 'room built' in browser.evaluate(message))
        drawn = browser.evaluate(frames)
        wait_for('no frames after the dropped room', 30,
                 lambda: browser.evaluate(frames) > drawn + 5)
        print(f'good map: {browser.evaluate(message)}')
        errors = [e for e in browser.errors()]
        if errors:
            fail(f'the page reported errors: {errors}')
    finally:
        browser.close()
        server.shutdown()
    print('page check passed')


if __name__ == '__main__':
    main()
