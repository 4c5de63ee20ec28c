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
  /members    a page for members only: with a session cookie of /login's
              the price, else a redirect to /login
  /login      a login form (user and password, one big field each); its POST
              with the password "letmein" sets a session cookie (one that
              lasts until the browser closes) and redirects to /members
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
import secrets
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
    sessions = set()
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

    def redirect(self, where, cookie=None):
        self.send_response(302)
        self.send_header("Location", where)
        if cookie:
            self.send_header("Set-Cookie", cookie)
        self.send_header("Content-Length", "0")
        self.end_headers()

    def session(self):
        for part in self.headers.get("Cookie", "").split(";"):
            name, _, value = part.strip().partition("=")
            if name == "session" and value in Handler.sessions:
                return value
        return None

    def do_POST(self):
        body = self.rfile.read(int(self.headers.get("Content-Length", "0") or 0)).decode()
        fields = dict(p.partition("=")[::2] for p in body.split("&"))
        if self.path == "/login" and fields.get("pw") == "letmein":
            token = secrets.token_hex(16)
            with Handler.lock:
                Handler.sessions.add(token)
            self.redirect("/members", "session=%s; Path=/; HttpOnly" % token)
        else:
            self.redirect("/login")

    def do_GET(self):
        path = self.path.split("?")[0]
        if path == "/members":
            if self.session():
                self.page(200, "<p>member price 1200</p>")
            else:
                self.redirect("/login")
        elif path == "/login":
            big = "display:block;width:90%;height:60px;font-size:32px"
            self.page(200, "<form method=post action=/login>"
                      "<input name=user autofocus style='%s'>"
                      "<input type=password name=pw style='%s'>"
                      "<button style='%s'>login</button></form>" % (big, big, big))
        elif path == "/page":
            self.page(200, "<p>price 100</p>")
        elif path == "/shop":
            # A shop's list, its prices large enough to be clicked.
            items = [("みかん（有田） 5kg", "￥1,280"), ("りんご 10個", "￥2,980"),
                     ("ぶどう 2房", "￥3,400")]
            self.page(200, "<style>li{font-size:28px}.price{display:block;font-size:40px;"
                      "padding:10px 0 30px}</style><ul class='items'>" +
                      "".join("<li class='item' id='p%d'><a class='name'>%s</a>"
                              "<span class='price'>%s</span></li>" % (i + 40, n, v)
                              for i, (n, v) in enumerate(items)) + "</ul>"
                      "<p style='font-size:28px'>送料は全国一律です</p>")
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
