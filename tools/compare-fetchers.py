#!/usr/bin/env python3
"""Compares kelvane-run's direct fetch with its browser on real pages.

Serves every HTML file under the given folders on 127.0.0.1 as `text/html`
with no charset (as a plain static server does), loads each page with
`kelvane-run --fetch browser --print HT` and `--fetch direct --print HT`, and
counts the pages whose HT is the same. The browser's answers are kept in a
cache folder (they take a second or more each), so that a later run with
another kelvane-run only fetches directly. Pages with scripts are counted
apart: their scripts may change the document, which the direct fetch never
runs.

    tools/compare-fetchers.py --run build/src/cli/kelvane-run --out /tmp/cmp \
        /usr/share/doc /usr/share/gtk-doc

Writes OUT/report.tsv (page, result, has scripts) and, for each page that
differs, OUT/diff/NAME.browser and NAME.direct. It is slow (about 400 pages,
several minutes for the browser); it is not a test.
"""
import argparse
import functools
import hashlib
import http.server
import os
import re
import subprocess
import sys
import tempfile
import threading
import urllib.parse


class Handler(http.server.SimpleHTTPRequestHandler):
    def guess_type(self, path):
        if path.endswith((".html", ".htm")):
            return "text/html"
        return super().guess_type(path)

    def end_headers(self):
        # Never answered from a cache: each load asks the server.
        self.send_header("Cache-Control", "no-store")
        super().end_headers()

    def log_message(self, *args):
        pass


def serve(root):
    handler = functools.partial(Handler, directory=root)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


def pages_under(roots, limit):
    found = []
    for root in roots:
        for folder, _, files in os.walk(root):
            for name in sorted(files):
                if name.endswith((".html", ".htm")):
                    path = os.path.join(folder, name)
                    if os.path.isfile(path) and not os.path.islink(path):
                        found.append(path)
    found.sort()
    return found[:limit] if limit else found


def load(run, url, fetch, wait, timeout):
    with tempfile.NamedTemporaryFile("w", suffix=".spt", delete=False) as script:
        script.write('URL\t"%s"\r\n' % url)
    try:
        args = [run, "--fetch", fetch, "--print", "HT", "--wait", str(wait), script.name]
        if fetch == "browser":
            args[1:1] = ["--settle", "auto"]
        done = subprocess.run(args, capture_output=True, timeout=timeout)
        if done.returncode != 0:
            return None, done.stderr.decode("utf-8", "replace").strip()
        return done.stdout, ""
    except subprocess.TimeoutExpired:
        return None, "timed out"
    finally:
        os.unlink(script.name)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--run", required=True, help="the kelvane-run to test (its direct fetch)")
    parser.add_argument("--browser-run", help="the kelvane-run whose browser answers (default: --run)")
    parser.add_argument("--out", required=True)
    parser.add_argument("--limit", type=int, default=0)
    parser.add_argument("--wait", type=int, default=2)
    parser.add_argument("roots", nargs="+")
    args = parser.parse_args()
    os.environ.setdefault("QTWEBENGINE_DISABLE_SANDBOX", "1")
    os.environ.setdefault("QT_QPA_PLATFORM", "offscreen")
    cache = os.path.join(args.out, "browser-cache")
    diffs = os.path.join(args.out, "diff")
    os.makedirs(cache, exist_ok=True)
    os.makedirs(diffs, exist_ok=True)
    server = serve("/")
    port = server.server_address[1]
    counts = {}
    rows = []
    for path in pages_under(args.roots, args.limit):
        data = open(path, "rb").read()
        scripts = re.search(rb"<script", data, re.I) is not None
        url = "http://127.0.0.1:%d%s" % (port, urllib.parse.quote(path))
        key = hashlib.sha1(path.encode() + data).hexdigest()
        cached = os.path.join(cache, key)
        if os.path.exists(cached):
            browser = open(cached, "rb").read()
            browser_error = ""
        else:
            browser, browser_error = load(args.browser_run or args.run, url, "browser", args.wait, 120)
            if browser is not None:
                open(cached, "wb").write(browser)
        direct, direct_error = load(args.run, url, "direct", 0, 120)
        if browser is None:
            result = "browser failed: " + browser_error.splitlines()[-1] if browser_error else "browser failed"
        elif direct is None:
            result = "direct failed: " + (direct_error.splitlines() or [""])[-1]
        elif browser == direct:
            result = "equal"
        else:
            result = "differs"
            name = path.strip("/").replace("/", "_")
            open(os.path.join(diffs, name + ".browser"), "wb").write(browser)
            open(os.path.join(diffs, name + ".direct"), "wb").write(direct)
        kind = result.split(":")[0]
        counts[(kind, scripts)] = counts.get((kind, scripts), 0) + 1
        rows.append("%s\t%s\t%s" % (path, result, "scripts" if scripts else ""))
        print(rows[-1], flush=True)
    with open(os.path.join(args.out, "report.tsv"), "w") as report:
        report.write("\n".join(rows) + "\n")
    total = len(rows)
    print("\n%d pages" % total)
    for (kind, scripts), n in sorted(counts.items()):
        print("  %-16s %-12s %d" % (kind, "with scripts" if scripts else "", n))
    server.shutdown()


if __name__ == "__main__":
    sys.exit(main())
