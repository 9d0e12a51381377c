#!/usr/bin/env python3
"""Serves a built page folder on 127.0.0.1 (tools/web.sh and the page check use it).

Usage: serve.py FOLDER [PORT]; port 0 takes a free one. Prints the page's address, then serves
until interrupted."""
import functools
import http.server
import os
import sys


class Handler(http.server.SimpleHTTPRequestHandler):
    extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map,
                      '.wasm': 'application/wasm', '.js': 'text/javascript'}

    def log_message(self, *args):
        pass


def serve(folder, port):
    """A server of `folder` on 127.0.0.1:`port` (0: a free one); ValueError when the folder holds
    no page (index.html)."""
    if not os.path.isfile(os.path.join(folder, 'index.html')):
        raise ValueError(f'{folder} holds no page (index.html): '
                         'build it with bash tools/web.sh --build-only')
    handler = functools.partial(Handler, directory=folder)
    return http.server.ThreadingHTTPServer(('127.0.0.1', port), handler)


if __name__ == '__main__':
    try:
        server = serve(sys.argv[1], int(sys.argv[2]) if len(sys.argv) > 2 else 0)
    except (ValueError, OverflowError, OSError) as e:
        sys.exit(f'quillmarsh: cannot serve the page: {e}')
    print(f'quillmarsh: the page is at http://127.0.0.1:{server.server_address[1]}/ (Ctrl-C ends)',
          flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass
