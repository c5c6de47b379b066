"""Serves the browser edition's site folder on 127.0.0.1: the cross-origin isolation headers
the editor's threads need, application/wasm, gzip for clients that take it, and revalidation
on every request (no-cache) so a rebuilt site is never served stale. With NIMBA_WEB_SENT set to
a file, each response's path and body size as sent are appended to it, one line each.

Usage: python3 web_server.py <site folder> <port>
"""
import functools
import gzip
import http.server
import os
import sys

COMPRESSED_TYPES = ('.html', '.js', '.css', '.wasm', '.svg', '.webmanifest', '.json')


class SiteHandler(http.server.SimpleHTTPRequestHandler):
    extensions_map = {
        **http.server.SimpleHTTPRequestHandler.extensions_map,
        '.wasm': 'application/wasm',
        '.js': 'text/javascript',
        '.webmanifest': 'application/manifest+json',
        '.svg': 'image/svg+xml',
    }
    _gzipped = {}  # path -> (mtime, bytes)

    def send_header(self, keyword, value):
        if keyword == 'Content-Length':
            self._body_size = int(value)
        super().send_header(keyword, value)

    def end_headers(self):
        sent = os.environ.get('NIMBA_WEB_SENT')
        if sent and self.command == 'GET':
            with open(sent, 'a') as f:
                f.write(f"{self.path.split('?')[0]} {getattr(self, '_body_size', 0)}\n")
        self._body_size = 0
        self.send_header('Cross-Origin-Opener-Policy', 'same-origin')
        self.send_header('Cross-Origin-Embedder-Policy', 'require-corp')
        self.send_header('Cross-Origin-Resource-Policy', 'same-origin')
        self.send_header('Cache-Control', 'no-cache')
        super().end_headers()

    def log_message(self, format, *args):
        if os.environ.get('NIMBA_WEB_LOG'):
            super().log_message(format, *args)

    def send_head(self):
        path = self.translate_path(self.path)
        if os.path.isdir(path):
            if not self.path.split('?')[0].endswith('/'):
                return super().send_head()  # the redirect to the folder's own address
            path = os.path.join(path, 'index.html')
        wants_gzip = 'gzip' in self.headers.get('Accept-Encoding', '')
        if not (wants_gzip and path.endswith(COMPRESSED_TYPES) and os.path.isfile(path)):
            return super().send_head()
        mtime = os.path.getmtime(path)
        if self.headers.get('If-Modified-Since') == self.date_time_string(int(mtime)):
            self.send_response(304)
            self.end_headers()
            return None
        cached = self._gzipped.get(path)
        if not cached or cached[0] != mtime:
            with open(path, 'rb') as f:
                cached = (mtime, gzip.compress(f.read(), 9))
            self._gzipped[path] = cached
        body = cached[1]
        self.send_response(200)
        self.send_header('Content-Type', self.guess_type(path))
        self.send_header('Content-Encoding', 'gzip')
        self.send_header('Content-Length', str(len(body)))
        self.send_header('Last-Modified', self.date_time_string(int(mtime)))
        self.send_header('Vary', 'Accept-Encoding')
        self.end_headers()
        return _Body(body)


class _Body:
    """The compressed body, read once by copyfile."""

    def __init__(self, data):
        self.data = data

    def read(self, size=-1):
        data, self.data = self.data, b''
        return data

    def close(self):
        pass


def main():
    site, port = sys.argv[1], int(sys.argv[2])
    handler = functools.partial(SiteHandler, directory=site)
    server = http.server.ThreadingHTTPServer(('127.0.0.1', port), handler)
    server.serve_forever()


if __name__ == '__main__':
    main()
