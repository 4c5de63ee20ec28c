#!/usr/bin/env python3
"""examples/deploy: the container recipe and the CronJob manifest parse and
say what they must; then the CronJob's exact command line runs against a page
served on 127.0.0.1 and the PostgreSQL server the test runs beside
(with-postgres.sh), and its run is in the history under the watch's name.
Usage: deploy_test.py KELVANE_RUN DEPLOY_FOLDER"""
import http.server
import os
import re
import subprocess
import sys
import tempfile
import threading

import yaml

program, deploy = sys.argv[1], sys.argv[2]
failures = []


def check(what, ok):
    if not ok:
        failures.append(what)


# The container recipe: Debian 12, the package, a user without privileges,
# kelvane-run --watch, no port.
lines = [line for line in open(os.path.join(deploy, "Containerfile"))
         if not line.lstrip().startswith("#")]
recipe = [line.split(None, 1) for line in "".join(lines).replace("\\\n", " ").splitlines()
          if line.strip()]
words = {w[0] for w in recipe if w[0].isupper()}
check("FROM debian 12", any(w[0] == "FROM" and w[1].startswith("debian:12") for w in recipe))
check("installs the .deb", any(w[0] == "RUN" and "kelvane_*.deb" in w[1] for w in recipe))
check("a USER other than root", any(w[0] == "USER" and w[1].strip() not in ("root", "0") for w in recipe))
check("no port", "EXPOSE" not in words)
check("runs kelvane-run --watch", any(w[0] == "ENTRYPOINT" and "kelvane-run" in w[1] for w in recipe)
      and any(w[0] == "CMD" and "--watch" in w[1] for w in recipe))

# The manifest: a ConfigMap, a Secret and a CronJob that allows no overlap,
# with limits, reading both.
docs = {d["kind"]: d for d in yaml.safe_load_all(open(os.path.join(deploy, "cronjob.yaml")))}
check("ConfigMap, Secret, CronJob", set(docs) == {"ConfigMap", "Secret", "CronJob"})
job = docs["CronJob"]["spec"]
check("concurrencyPolicy Forbid", job["concurrencyPolicy"] == "Forbid")
pod = job["jobTemplate"]["spec"]["template"]["spec"]
container = pod["containers"][0]
check("resource limits", {"cpu", "memory"} <= set(container["resources"]["limits"]))
check("runs as a user", pod["securityContext"]["runAsNonRoot"] is True)
secret = docs["Secret"]["stringData"]
env = {}
for e in container["env"]:
    ref = e["valueFrom"]["secretKeyRef"]
    check("env from the Secret", ref["name"] == docs["Secret"]["metadata"]["name"])
    env[e["name"]] = secret[ref["key"]]
mount = next(m["mountPath"] for m in container["volumeMounts"] if m["name"] == "watch")

# The command line, run here: the mounted files in a folder of the test's,
# the shop's page on 127.0.0.1, the Secret's server this one.
page = open(os.path.join(deploy, "..", "prices.html"), "rb").read()


class Shop(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        self.send_response(200)
        self.send_header("Content-Type", "text/html; charset=utf-8")
        self.end_headers()
        self.wfile.write(page)

    def log_message(self, *args):
        pass


server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Shop)
threading.Thread(target=server.serve_forever, daemon=True).start()
local = os.environ.get("PGHOST", "")
if not local:
    print("skipped: the command line needs a PostgreSQL server (run under with-postgres.sh)")
    sys.exit(77 if not failures else 1)
with tempfile.TemporaryDirectory() as folder:
    for name, text in docs["ConfigMap"]["data"].items():
        text = text.replace("http://shop.example/", "http://127.0.0.1:%d/" % server.server_port)
        with open(os.path.join(folder, name), "w", encoding="utf-8") as f:
            f.write(text)
    password = os.environ.pop("PGPASSWORD", "")
    env["KELVANE_HISTORY"] = "postgresql://%s@%s:%s/postgres" % (
        os.environ["PGUSER"], local, os.environ.get("PGPORT", "5432"))
    env["PGPASSWORD"] = password
    args = [re.sub(r"\$\((\w+)\)", lambda m: env[m.group(1)], a).replace(mount, folder)
            for a in container["args"]]
    run = subprocess.run([program] + args, env={**os.environ, **env, "XDG_STATE_HOME": folder},
                         capture_output=True, text=True, timeout=120)
    check("the CronJob's run ends normally: %s" % run.stderr, run.returncode == 0)
    count = subprocess.run(["psql", "-XAtq", "-d", env["KELVANE_HISTORY"], "-c",
                            "SELECT count(*) FROM kelvane.runs WHERE watch = 'prices' "
                            "AND outcome = 'normal'"],
                           env={**os.environ, "PGPASSWORD": password},
                           capture_output=True, text=True)
    check("one run of the watch prices in the history: %s" % count.stdout + count.stderr,
          count.stdout.strip() == "1")
    check("the password is not printed", not password or password not in run.stdout + run.stderr)
server.shutdown()
for f in failures:
    print("FAIL:", f)
sys.exit(1 if failures else 0)
