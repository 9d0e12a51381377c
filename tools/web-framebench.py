#!/usr/bin/env python3
"""Frame rate of the page in headless Chromium (SwiftShader's WebGL 2, on the CPU), at each
window size given: the start view with the light up (ten presses of 0, then a few seconds), frames
counted over --seconds. Build the page first (bash tools/web.sh --build-only).

Usage: tools/web-framebench.py [--seconds S] [WIDTHxHEIGHT ...]   (default 1024x800 512x400)"""
import argparse
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


def measure(url, width, height, seconds):
    browser = cdp.Browser(page_check.chromium(), width, height)
    try:
        browser.open(url, width, height)
        frames = "typeof Module === 'undefined' || !Module._quillmarsh_frames ? 0 : " \
                 "Module._quillmarsh_frames()"
        page_check.wait_for('the page drew no frames', 120, lambda: browser.evaluate(frames) >= 10)
        for _ in range(10):
            browser.key('0', 'Digit0', 48)
        time.sleep(3)
        first, start = browser.evaluate(frames), time.monotonic()
        time.sleep(seconds)
        last, end = browser.evaluate(frames), time.monotonic()
        if browser.errors():
            page_check.fail(f'the page reported errors: {browser.errors()}')
        return (last - first) / (end - start)
    finally:
        browser.close()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument('--seconds', type=float, default=10.0)
    parser.add_argument('sizes', nargs='*', default=['1024x800', '512x400'])
    args = parser.parse_args()
    server = serve.serve(os.path.join(root, 'build-web'), 0)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    url = f'http://127.0.0.1:{server.server_address[1]}/'
    print(f'{"window":>10} {"fps":>7} {"ms/frame":>9}')
    for size in args.sizes:
        width, height = (int(v) for v in size.split('x'))
        fps = measure(url, width, height, args.seconds)
        print(f'{size:>10} {fps:7.1f} {1000 / fps if fps else float("inf"):9.1f}', flush=True)
    server.shutdown()


if __name__ == '__main__':
    main()
