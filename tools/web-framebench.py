#!/usr/bin/env python3
"""Frame rate of the page in headless Chromium (WebGL 2 on the CPU), at each window size given and
on each rasterizer asked for: SwiftShader, Chromium's own, and llvmpipe (ANGLE over Mesa's OpenGL
ES), the desktop program's on a machine without a GPU. The start view with the light up (ten
presses of 0, then a few seconds), frames counted over --seconds; the browser shows at most one
frame per display refresh (60 a second). Also the CPU time the browser's processes spent per
frame, which a machine busy with other work disturbs far less than the frame rate. Build the page
first (bash tools/web.sh --build-only).

Usage: tools/web-framebench.py [--seconds S] [--page DIR] [--rasterizer NAME|both]
       [WIDTHxHEIGHT ...] (default: build-web/, both, 1024x800 512x400)"""
import argparse
import math
import os
import sys
import threading
import time

root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(root, 'tests', 'web'))
sys.path.insert(0, os.path.join(root, 'web'))
import cdp  # noqa: E402
import page_check  # noqa: E402
import serve  # noqa: E402

# Pages built before quillmarshPage.state() counted their frames in Module._quillmarsh_frames();
# reading both lets one bench compare builds of different commits.
FRAMES = ("typeof quillmarshPage !== 'undefined' && quillmarshPage.state ?"
          " (quillmarshPage.state() || {frames: 0}).frames :"
          " typeof Module !== 'undefined' && Module._quillmarsh_frames ?"
          " Module._quillmarsh_frames() : 0")


def tree_cpu_seconds(pid):
    """User and system CPU seconds of process `pid` and all its descendants."""
    parents, times = {}, {}
    for entry in os.listdir('/proc'):
        if not entry.isdigit():
            continue
        try:
            with open(f'/proc/{entry}/stat') as f:
                fields = f.read().rsplit(')', 1)[1].split()
        except OSError:
            continue
        # After the name: state, ppid, ..., utime (11), stime (12), counted from state as 0.
        parents[int(entry)] = int(fields[1])
        times[int(entry)] = int(fields[11]) + int(fields[12])
    tree, grown = {pid}, True
    while grown:
        grown = False
        for child, parent in parents.items():
            if parent in tree and child not in tree:
                tree.add(child)
                grown = True
    return sum(times.get(p, 0) for p in tree) / os.sysconf('SC_CLK_TCK')


def measure(url, width, height, seconds, rasterizer):
    """(frames per second, CPU milliseconds per frame)"""
    browser = cdp.Browser(page_check.chromium(), width, height, rasterizer)
    try:
        browser.open(url, width, height)
        page_check.wait_for('the page drew no frames', 120,
                            lambda: browser.evaluate(FRAMES) >= 10)
        for _ in range(10):
            browser.key('0', 'Digit0', 48)
        time.sleep(3)
        first, start = browser.evaluate(FRAMES), time.monotonic()
        cpu_first = tree_cpu_seconds(browser.process.pid)
        time.sleep(seconds)
        last, end = browser.evaluate(FRAMES), time.monotonic()
        cpu_last = tree_cpu_seconds(browser.process.pid)
        if browser.errors():
            page_check.fail(f'the page reported errors: {browser.errors()}')
        frames = last - first
        return frames / (end - start), (1000 * (cpu_last - cpu_first) / frames if frames else 0)
    finally:
        browser.close()


def window_size(text):
    """WIDTHxHEIGHT, each at least 1."""
    width, _, height = text.partition('x')
    if not (width.isdigit() and height.isdigit() and int(width) > 0 and int(height) > 0):
        raise argparse.ArgumentTypeError(f'not a window size WIDTHxHEIGHT: "{text}"')
    return text


def seconds(text):
    """A finite number of seconds, more than 0 and at most an hour."""
    try:
        value = float(text)
    except ValueError:
        value = math.nan
    if not 0 < value <= 3600:
        raise argparse.ArgumentTypeError(f'not a number of seconds from above 0 to 3600: "{text}"')
    return value


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument('--seconds', type=seconds, default=10.0)
    parser.add_argument('--page', default=os.path.join(root, 'build-web'),
                        help='the built page\'s folder')
    parser.add_argument('--rasterizer', choices=[*cdp.RASTERIZERS, 'both'], default='both')
    parser.add_argument('sizes', nargs='*', type=window_size, default=['1024x800', '512x400'])
    args = parser.parse_args()
    rasterizers = list(cdp.RASTERIZERS) if args.rasterizer == 'both' else [args.rasterizer]
    try:
        server = serve.serve(args.page, 0)
    except ValueError as e:
        sys.exit(f'web-framebench: {e}')
    threading.Thread(target=server.serve_forever, daemon=True).start()
    url = f'http://127.0.0.1:{server.server_address[1]}/'
    print(f'{"window":>10} {"rasterizer":>12} {"fps":>7} {"ms/frame":>9} {"CPU ms/frame":>13}')
    for size in args.sizes:
        width, height = (int(v) for v in size.split('x'))
        for rasterizer in rasterizers:
            fps, cpu = measure(url, width, height, args.seconds, rasterizer)
            print(f'{size:>10} {rasterizer:>12} {fps:7.1f} '
                  f'{1000 / fps if fps else float("inf"):9.1f} {cpu:13.1f}', flush=True)
    server.shutdown()


if __name__ == '__main__':
    main()
