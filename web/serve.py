#!/usr/bin/env python3
"""Serves a built page folder on 127.0.0.1 (tools/web.sh and the page check use it).

Usage: serve.py FOLDER [PORT]; port 0 takes a free one. Prints the page's address, then serves
until interrupted."""
import functools
import http.server
import sys


class Handler(http.server.SimpleHTTPRequestHandler):
    extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map,
                      '.wasm': 'application/wasm', '.js': 'text/javascript'}

    def log_message(self, *args):
        pass


def serve(folder, port):
    handler = functools.partial(Handler, directory=folder)
    return http.server.ThreadingHTTPServer(('127.0.0.1', port), handler)


if __name__ == '__main__':
    server = serve(sys.argv[1], int(sys.argv[2]) if len(sys.argv) > 2 else 0)
    print(f'quillmarsh: the page is at http://127.0.0.1:{server.server_address[1]}/ (Ctrl-C ends)',
          flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass
