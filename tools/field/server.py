#!/usr/bin/env python3
"""A web server on 127.0.0.1 that misbehaves on purpose, for the field harness.

Paths:
  /page       a small page
  /big        a page of about a megabyte
  /changing   a page whose price goes up by one at every load
  /404, /500  an error status with a page of its own (a browser shows it)
  /hang       reads the request and never answers
  /drip       a good page sent a few bytes at a time over about two seconds
  /redirect   a redirect to a port where nothing listens
  /stale      a page whose version goes up by one at every request that
              reaches the server, sent as a plain static server does: a
              Last-Modified hours old and no cache headers, which lets a
              browser's cache answer for it without asking

It writes its port, and a port nobody listens on, to the file given, and
ends by itself after --lifetime seconds.
"""
import argparse
import http.server
import os
import socket
import threading
import time


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Handler(http.server.BaseHTTPRequestHandler):
    loads = 0
    versions = 0
    lock = threading.Lock()
    refused_port = 0
    stop = threading.Event()

    def log_message(self, *args):
        pass

    def page(self, status, body, chunks=1, gap=0.0):
        data = ("<!DOCTYPE html><html><head><meta charset='utf-8'><title>t</title></head>"
                "<body>" + body + "</body></html>").encode("utf-8")
        self.send_response(status)
        self.send_header("Content-Type", "text/html; charset=utf-8")
        self.send_header("Content-Length", str(len(data)))
        self.send_header("Cache-Control", "no-store")
        self.end_headers()
        step = max(1, len(data) // chunks)
        for i in range(0, len(data), step):
            self.wfile.write(data[i:i + step])
            self.wfile.flush()
            if gap:
                time.sleep(gap)

    def do_GET(self):
        path = self.path.split("?")[0]
        if path == "/page":
            self.page(200, "<p>price 100</p>")
        elif path == "/big":
            self.page(200, "<ul>" + "<li>an item of the list</li>" * 40000 + "</ul>")
        elif path == "/changing":
            with Handler.lock:
                Handler.loads += 1
                n = Handler.loads
            self.page(200, "<p>price %d</p>" % (200 + n))
        elif path == "/404":
            self.page(404, "<h1>Not Found</h1>")
        elif path == "/500":
            self.page(500, "<h1>Internal Server Error</h1>")
        elif path == "/hang":
            # Bounded: the connection is dropped when the server ends.
            Handler.stop.wait()
        elif path == "/drip":
            self.page(200, "<p>price 300</p>" + "<!-- filler -->" * 40, chunks=20, gap=0.1)
        elif path == "/stale":
            with Handler.lock:
                Handler.versions += 1
                n = Handler.versions
            data = ("<!DOCTYPE html><html><head><meta charset='utf-8'><title>t</title></head>"
                    "<body><p>version %d</p></body></html>" % n).encode("utf-8")
            self.send_response(200)
            self.send_header("Content-Type", "text/html; charset=utf-8")
            self.send_header("Content-Length", str(len(data)))
            self.send_header("Last-Modified",
                             self.date_time_string(time.time() - 5 * 3600 + n))
            self.end_headers()
            self.wfile.write(data)
        elif path == "/redirect":
            self.send_response(302)
            self.send_header("Location", "http://127.0.0.1:%d/gone" % Handler.refused_port)
            self.send_header("Content-Length", "0")
            self.end_headers()
        else:
            self.page(404, "<h1>Not Found</h1>")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--ports-file", required=True)
    parser.add_argument("--lifetime", type=float, default=600)
    args = parser.parse_args()
    Handler.refused_port = free_port()
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    with open(args.ports_file + ".tmp", "w") as f:
        f.write("%d %d\n" % (server.server_address[1], Handler.refused_port))
    os.replace(args.ports_file + ".tmp", args.ports_file)
    timer = threading.Timer(args.lifetime, server.shutdown)
    timer.daemon = True
    timer.start()
    try:
        server.serve_forever()
    finally:
        Handler.stop.set()
        server.server_close()


if __name__ == "__main__":
    main()
