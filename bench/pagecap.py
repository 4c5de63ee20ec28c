#!/usr/bin/env python3
"""Pages near and over the size cap: a 60 MB listing page (just under it), a
300 MB one and a gzip bomb (a 3 GB body of markup sent as a few megabytes),
each loaded by one kelvane-run with each fetcher named (the browser by
default), the fetchers taking turns page by page. Prints, per page and
fetcher, the time to the end, the exit status, the last words of standard
error and the peak PSS of kelvane-run and all its processes (browser
processes, the parsing child of the direct fetch), sampled ten times a second.
With several build folders (a baseline first), each page and fetcher is
loaded by each build in turn, --repeat times, and the medians are compared.
Usage: bench/pagecap.py BUILD_DIR[,BUILD_DIR...] [--fetch browser,direct] [--repeat N]
                        [page60|page|bomb ...]"""
import http.server, os, statistics, subprocess, sys, tempfile, threading, time, zlib

builds = (sys.argv[1] if len(sys.argv) > 1 else "build").split(",")
args = sys.argv[2:]
fetchers = ["browser"]
if "--fetch" in args:
    at = args.index("--fetch")
    fetchers = args[at + 1].split(",")
    del args[at:at + 2]
repeat = 1
if "--repeat" in args:
    at = args.index("--repeat")
    repeat = int(args[at + 1])
    del args[at:at + 2]
which = args or ["page", "bomb"]
ROW = b'<tr><td class="name">item</td><td class="price">1,234</td></tr>\n'


def listing(size):
    return b"<html><body><table>\n" + ROW * (size // len(ROW)) + b"</table></body></html>"


def bomb(size):
    z = zlib.compressobj(9, zlib.DEFLATED, 31)  # gzip
    chunk = ROW * ((1 << 20) // len(ROW))
    out = [z.compress(b"<html><body><table>\n")]
    for _ in range(size // len(chunk)):
        out.append(z.compress(chunk))
    out.append(z.compress(b"</table></body></html>") + z.flush())
    return b"".join(out)


bodies = {}


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def do_GET(self):
        name = self.path.strip("/")
        body = bodies.get(name)
        if body is None:
            self.send_error(404)
            return
        self.send_response(200)
        self.send_header("Content-Type", "text/html; charset=utf-8")
        if name == "bomb":
            self.send_header("Content-Encoding", "gzip")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        try:
            self.wfile.write(body)
        except OSError:
            pass


def tree(root):
    children = {}
    for name in os.listdir("/proc"):
        if not name.isdigit():
            continue
        try:
            with open(f"/proc/{name}/stat") as f:
                ppid = int(f.read().rsplit(")", 1)[1].split()[1])
        except (OSError, IndexError, ValueError):
            continue
        children.setdefault(ppid, []).append(int(name))
    found = [root]
    for pid in found:
        found.extend(children.get(pid, []))
    return found


def pss_mb(pids):
    kb = 0
    for pid in pids:
        try:
            with open(f"/proc/{pid}/smaps_rollup") as f:
                kb += sum(int(l.split()[1]) for l in f if l.startswith("Pss:"))
        except OSError:
            pass
    return kb / 1024


def load(build, fetch, script, name):
    runner = os.path.join(build, "src/cli/kelvane-run")
    start = time.monotonic()
    proc = subprocess.Popen(["nice", runner, "--fetch", fetch, "--wait", "0", script],
                            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    peak = 0.0
    while proc.poll() is None:
        peak = max(peak, pss_mb(tree(proc.pid)))
        time.sleep(0.1)
    took = time.monotonic() - start
    err = proc.stderr.read().decode(errors="replace").strip().splitlines()
    print(f"{name} ({fetch}, {build}): {len(bodies[name]) / 1e6:.1f} MB sent, {took:.1f} s, "
          f"exit status {proc.returncode}, peak PSS {peak:.0f} MB; "
          f"stderr: {err[-1] if err else ''}", flush=True)
    return peak, took


def main():
    if os.getuid() == 0:
        os.environ["QTWEBENGINE_DISABLE_SANDBOX"] = "1"  # the benchmark's choice, never the program's
    if "page60" in which:
        bodies["page60"] = listing(60 * 1000 * 1000)
    if "page" in which:
        bodies["page"] = listing(300 << 20)
    if "bomb" in which:
        bodies["bomb"] = bomb(3 << 30)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    with tempfile.TemporaryDirectory() as work:
        for name, fetch in [(n, f) for n in which for f in fetchers]:
            script = os.path.join(work, name + ".spt")
            with open(script, "w") as f:
                f.write(f'URL\t"http://127.0.0.1:{server.server_port}/{name}"\r\nPUT\tHT\tD\r\n')
            peaks = {build: [] for build in builds}
            times = {build: [] for build in builds}
            for _ in range(repeat):
                for build in builds:
                    peak, took = load(build, fetch, script, name)
                    peaks[build].append(peak)
                    times[build].append(took)
            if len(builds) > 1 or repeat > 1:
                base = statistics.median(peaks[builds[0]])
                for build in builds:
                    peak = statistics.median(peaks[build])
                    print(f"  {name} ({fetch}) {build}: median peak PSS {peak:.0f} MB "
                          f"({peak / base:.2f} of {builds[0]}), median "
                          f"{statistics.median(times[build]):.1f} s")
    server.shutdown()


main()
