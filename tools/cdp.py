"""A client for Chromium's DevTools protocol over --remote-debugging-pipe (messages are JSON
separated by NUL bytes on file descriptors 3 and 4 of the browser): enough to open a page, run
script in it, send input and take screenshots. Standard library only."""
import base64
import json
import os
import select
import subprocess
import tempfile
import time


# WebGL on the CPU: SwiftShader (Chromium's own fallback), or ANGLE over Mesa's OpenGL ES, whose
# llvmpipe rasterizer the desktop program draws with on a machine without a GPU.
RASTERIZERS = {
    'swiftshader': ['--use-angle=swiftshader', '--enable-unsafe-swiftshader'],
    'llvmpipe': ['--use-angle=gl-egl'],
}


class Browser:
    def __init__(self, binary, width, height, rasterizer='swiftshader'):
        self.profile = tempfile.TemporaryDirectory(prefix='qm-chromium-')
        to_browser_r, self.to_browser = os.pipe()
        self.from_browser, from_browser_w = os.pipe()

        def plumb():
            os.dup2(to_browser_r, 3)
            os.dup2(from_browser_w, 4)

        self.process = subprocess.Popen(
            [binary, '--remote-debugging-pipe', '--no-sandbox', '--no-first-run',
             *RASTERIZERS[rasterizer], '--ignore-gpu-blocklist',
             # The page put together on the CPU: with SwiftShader compositing as well, frames
             # queue up behind it and a screenshot waits seconds for them.
             '--disable-gpu-compositing',
             f'--window-size={width},{height}', f'--user-data-dir={self.profile.name}',
             'about:blank'],
            pass_fds=(3, 4),
            preexec_fn=plumb, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(to_browser_r)
        os.close(from_browser_w)
        self.buffer, self.next_id, self.events, self.session = b'', 0, [], None

    def close(self):
        try:
            self.call('Browser.close', session=False, timeout=10)
            self.process.wait(timeout=10)
        except Exception:
            self.process.kill()
        os.close(self.to_browser)
        os.close(self.from_browser)
        self.profile.cleanup()

    def _read_message(self, deadline):
        while b'\0' not in self.buffer:
            # A browser that hangs keeps its pipe open: wait for bytes no longer than the deadline.
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([self.from_browser], [], [], left)[0]:
                raise TimeoutError('no answer from the browser')
            chunk = os.read(self.from_browser, 1 << 20)
            if not chunk:
                raise ConnectionError('the browser closed its pipe')
            self.buffer += chunk
        message, self.buffer = self.buffer.split(b'\0', 1)
        return json.loads(message)

    def call(self, method, session=True, timeout=60, **params):
        self.next_id += 1
        message = {'id': self.next_id, 'method': method, 'params': params}
        if session and self.session:
            message['sessionId'] = self.session
        os.write(self.to_browser, json.dumps(message).encode() + b'\0')
        deadline = time.monotonic() + timeout
        while True:
            answer = self._read_message(deadline)
            if answer.get('id') == self.next_id:
                if 'error' in answer:
                    raise RuntimeError(f'{method}: {answer["error"]}')
                return answer.get('result', {})
            if 'method' in answer:
                self.events.append(answer)

    def open(self, url, width, height):
        target = self.call('Target.createTarget', session=False, url='about:blank')['targetId']
        self.session = self.call('Target.attachToTarget', session=False, targetId=target,
                                 flatten=True)['sessionId']
        for domain in ('Runtime', 'Page', 'Log'):
            self.call(f'{domain}.enable')
        self.call('Emulation.setDeviceMetricsOverride', width=width, height=height,
                  deviceScaleFactor=1, mobile=False)
        self.call('Page.navigate', url=url)

    def evaluate(self, expression):
        result = self.call('Runtime.evaluate', expression=expression, returnByValue=True,
                           awaitPromise=True)
        if 'exceptionDetails' in result:
            raise RuntimeError(f'{expression}: {result["exceptionDetails"]}')
        return result['result'].get('value')

    def errors(self):
        """Console errors, uncaught exceptions and error log entries seen so far."""
        found = []
        for event in self.events:
            method, params = event['method'], event.get('params', {})
            if method == 'Runtime.consoleAPICalled' and params.get('type') == 'error':
                found.append(' '.join(str(a.get('value', a.get('description')))
                                      for a in params.get('args', [])))
            elif method == 'Runtime.exceptionThrown':
                found.append(json.dumps(params.get('exceptionDetails', {}))[:500])
            elif method == 'Log.entryAdded':
                # WebGL reports its GL errors as warnings; they are errors of the page all the same.
                entry = params['entry']
                if entry.get('level') == 'error' or 'GL_INVALID' in entry.get('text', ''):
                    found.append(entry.get('text', ''))
        return found

    def console(self):
        return [' '.join(str(a.get('value', a.get('description'))) for a in e['params']['args'])
                for e in self.events if e['method'] == 'Runtime.consoleAPICalled']

    def screenshot(self, path):
        # The same pixels as a plain PNG, compressed less, in about half the time.
        data = self.call('Page.captureScreenshot', format='png', optimizeForSpeed=True)['data']
        with open(path, 'wb') as f:
            f.write(base64.b64decode(data))

    def key(self, key, code, key_code, text=None, modifiers=0):
        """A press and release of one key typing `text` (the key unless given; '' for F1), with
        `modifiers` held (the protocol's bits: 2 Control)."""
        typed = key if text is None else text
        for kind in ('keyDown' if typed else 'rawKeyDown', 'keyUp'):
            self.call('Input.dispatchKeyEvent', type=kind, key=key, code=code, text=typed,
                      windowsVirtualKeyCode=key_code, modifiers=modifiers)

    def drag(self, start, end, between, steps=10):
        """A left-button drag in `steps` moves, between() after each (frames to apply it)."""
        self.call('Input.dispatchMouseEvent', type='mousePressed', x=start[0], y=start[1],
                  button='left', buttons=1, clickCount=1)
        for i in range(1, steps + 1):
            self.call('Input.dispatchMouseEvent', type='mouseMoved', button='left', buttons=1,
                      x=start[0] + (end[0] - start[0]) * i / steps,
                      y=start[1] + (end[1] - start[1]) * i / steps)
            between()
        self.call('Input.dispatchMouseEvent', type='mouseReleased', x=end[0], y=end[1],
                  button='left', buttons=0, clickCount=1)
