#!/usr/bin/env python3
"""Field harness: the real kelvane under a real window manager, against a
local web server that misbehaves.

Run it through run.sh, which starts an X server and openbox. It drives the
window as a user would (right-click popup menu, keys, the frame's close
button), reads the settings file and the log the program writes, and looks
at screenshots. Every check that fails is listed at the end; the exit status
is the number of failed checks (at most 100).
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import threading
import time

TWIPS_PER_PIXEL = 15  # 96 dots per inch, as Xvfb reports

results = []  # (name, ok, detail)
# One mouse and one keyboard: scenarios running side by side take turns.
input_lock = threading.RLock()


def check(name, ok, detail=""):
    results.append((name, bool(ok), detail))
    print("%s %s%s" % ("ok  " if ok else "FAIL", name, (": " + detail) if detail else ""),
          flush=True)
    return ok


def out(*cmd):
    return subprocess.run(cmd, capture_output=True, text=True, check=False).stdout


def xdo(*args):
    subprocess.run(("xdotool",) + args, capture_output=True, check=False)


def settings_lines(bounds=(6000, 8000, 1200, 1500), url="", interval="1", auto_update=0,
                   log="", auto_log=0, script="script.spt", wait="1"):
    """The 22 lines of Kelvane.cnf, as the program writes them."""
    def num(v):
        return (" %s " % v) if v >= 0 else ("%s " % v)
    width, height, top, left = bounds
    return [num(width), num(height), num(top), num(left), url, interval, num(auto_update),
            log, num(auto_log), num(0), "", "", "", "", num(9), script,
            num(-2147483643), num(-2147483640), "IPAexGothic", "False", "False", wait]


def read_lines(path):
    with open(path, "rb") as f:
        data = f.read()
    try:
        text = data.decode("utf-8")
    except UnicodeDecodeError:
        text = data.decode("cp932")
    return text.split("\r\n")


def log_entries(path):
    """The display of each entry of a log written with an empty memo and a
    display of one line: each entry is the memo, CR LF, the display, CR LF."""
    if not os.path.exists(path):
        return []
    return read_lines(path)[1::2]


class Kelvane:
    """One kelvane process in its own folder, and its main window."""

    barriers = 0

    def __init__(self, folder, binary, name, settings=None, script=None):
        self.folder = folder
        os.makedirs(folder, exist_ok=True)
        self.binary = os.path.join(folder, "kelvane")
        if not os.path.exists(self.binary):
            shutil.copy2(binary, self.binary)
        if settings is not None:
            self.write_settings(settings)
        if script is not None:
            self.write_script(script)
        self.name = name
        self.log = open(os.path.join(folder, name + ".out"), "w")
        self.win = None
        # A new window takes the focus, which closes another window's popup
        # menu: not while another scenario uses the menu.
        with input_lock:
            self.proc = subprocess.Popen([self.binary], cwd=folder, stdout=self.log,
                                         stderr=subprocess.STDOUT)
            self.find_window(30)
            # The window is placed once its frame is known; let that settle.
            last = None
            for _ in range(30):
                now = self.outer()
                if now == last:
                    break
                last = now
                time.sleep(0.2)

    def find_window(self, seconds):
        """The main window; looked up again when it may have been made anew
        (hiding the title bar does that)."""
        deadline = time.time() + seconds
        while True:
            # Scripts may add to the caption ("Kelvane 3"): see settled().
            found = out("xdotool", "search", "--all", "--onlyvisible", "--pid",
                        str(self.proc.pid), "--name", "^Kelvane").split()
            self.win = found[0] if found else None
            if self.win is not None and self.extents() is not None:
                return
            if time.time() > deadline or self.proc.poll() is not None:
                raise RuntimeError("%s: no window" % self.name)
            time.sleep(0.1)

    def path(self, name):
        return os.path.join(self.folder, name)

    def write_settings(self, lines):
        with open(self.path("Kelvane.cnf"), "w", encoding="utf-8", newline="") as f:
            f.write("".join(line + "\r\n" for line in lines))

    def write_script(self, lines):
        with open(self.path("script.spt"), "w", encoding="utf-8", newline="") as f:
            f.write("".join(line + "\r\n" for line in lines))

    def client(self):
        for attempt in range(2):
            info = out("xwininfo", "-id", self.win)
            values = [re.search(key + r":\s+(-?\d+)", info) for key in
                      ("Absolute upper-left X", "Absolute upper-left Y", "Width", "Height")]
            if all(values) and "IsViewable" in info:
                return tuple(int(v.group(1)) for v in values)
            self.find_window(10)
        raise RuntimeError("%s: the window is gone" % self.name)

    def extents(self):
        if self.win is None:
            return None
        m = re.search(r"= (\d+), (\d+), (\d+), (\d+)",
                      out("xprop", "-id", self.win, "_NET_FRAME_EXTENTS"))
        return tuple(int(v) for v in m.groups()) if m else None

    def outer(self):
        """The window with its frame: left, top, width, height in pixels."""
        x, y, w, h = self.client()
        left, right, top, bottom = self.extents() or (0, 0, 0, 0)
        return (x - left, y - top, w + left + right, h + top + bottom)

    def windows(self):
        return out("xdotool", "search", "--all", "--onlyvisible", "--pid", str(self.proc.pid),
                   "--name", ".*").split()

    def open_menu(self):
        """Opens the popup menu with a right click on the tab strip, and
        returns how many windows the program shows without it. A click that
        another window's closing menu swallowed is made again."""
        for _ in range(3):
            before = len(self.windows())
            x, y, w, _ = self.client()
            xdo("mousemove", str(x + w - 12), str(y + 8))
            xdo("click", "3")
            if self.wait_for(lambda: len(self.windows()) > before, 1.5):
                time.sleep(0.2)  # the menu takes the keyboard once shown
                return before
            xdo("key", "Escape")
        raise RuntimeError("%s: the popup menu does not open" % self.name)

    def menu(self, key, done=None):
        """Chooses a popup-menu item by its access key; a key the menu did
        not get (it stays open) is given again. The item has done its work
        when the menu has gone, or when done() says so."""
        with input_lock:
            for _ in range(3):
                before = self.open_menu()
                xdo("key", key)
                if self.wait_for(done or (lambda: len(self.windows()) <= before), 1.5):
                    time.sleep(0.2)
                    return
                xdo("key", "Escape")
                time.sleep(0.3)
            raise RuntimeError("%s: the popup menu took no key" % self.name)

    def caption(self):
        return out("xdotool", "getwindowname", self.win).strip()

    def run_and_log(self, script, log):
        """Runs the script by 更新 and writes the log by Log書込; the display
        the new log entry holds, or None."""
        self.write_script(script)
        before = len(log_entries(log))
        self.menu("r")
        time.sleep(0.5)
        if not self.settled():
            return "(the run did not end)"
        # A popup menu that another window's closing takes away may drop
        # the key: one more try.
        for _ in range(2):
            self.menu("l")
            if self.wait_for(lambda: len(log_entries(log)) > before, 5, every=0.2):
                break
        entries = log_entries(log)
        return entries[-1] if len(entries) > before else None

    def settled(self, seconds=40):
        """Waits until no run is going: a run of a script that only writes the
        caption is ignored while another run is going, so once the caption
        shows it, whatever ran before has ended. The script file is left
        holding that script."""
        Kelvane.barriers += 1
        mark = "Kelvane %d" % Kelvane.barriers
        self.write_script(['PUT\t"%s"\tTITLE' % mark])
        deadline = time.time() + seconds
        while time.time() < deadline:
            self.menu("r")
            if self.wait_for(lambda: self.caption() == mark, 1.0, every=0.1):
                return True
        return False

    def shot(self, name):
        path = self.path(name + ".png")
        with input_lock:  # not while another window's popup menu is open
            subprocess.run(["import", "-window", "root", path], capture_output=True, check=False)
        return path

    def mark_shown(self, name):
        """Whether the failure mark (red) is on the "Data" tab in a screenshot."""
        x, y, _, _ = self.client()
        crop = "70x24+%d+%d" % (x, y)
        text = out("convert", self.shot(name), "-crop", crop, "-depth", "8", "txt:-")
        red = 0
        for m in re.finditer(r"\((\d+),(\d+),(\d+)", text):
            r, g, b = (int(v) for v in m.groups())
            if r > 170 and g < 70 and b < 70:
                red += 1
        return red >= 6

    def wait_for(self, condition, seconds, every=0.05):
        deadline = time.time() + seconds
        while time.time() < deadline:
            if condition():
                return True
            time.sleep(every)
        return condition()

    def quit_and_time(self, how):
        """Quits by the popup menu's 終了 or by the frame's close button;
        the seconds until the process has ended."""
        with input_lock:
            if how == "menu":
                self.open_menu()
                start = time.monotonic()
                xdo("key", "x")
            else:
                ox, oy, ow, _ = self.outer()
                xdo("mousemove", str(ox + ow - 10), str(oy + 10))
                time.sleep(0.3)
                start = time.monotonic()
                xdo("click", "1")
            # The window going away moves the focus: that too is kept from
            # other scenarios' popup menus.
            try:
                self.proc.wait(timeout=30)
            except subprocess.TimeoutExpired:
                self.shot("not-ended")
                self.proc.kill()
                self.proc.wait()
                return 999.0
            took = time.monotonic() - start
            time.sleep(0.3)
        return took

    def stop(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()
        self.log.close()


def geometry_cycles(args, folder):
    """Stored bounds and the window on the screen stay put over save + restart
    cycles; a save with the title bar hidden stores the same bounds."""
    bounds = (6000, 8010, 1215, 1500)  # 400 x 534 px at (100, 81)
    expected = (bounds[3] // TWIPS_PER_PIXEL, bounds[2] // TWIPS_PER_PIXEL,
                bounds[0] // TWIPS_PER_PIXEL, bounds[1] // TWIPS_PER_PIXEL)
    for cycle in range(1, 6):
        hide_title = cycle == 4
        k = Kelvane(folder, args.kelvane, "geometry%d" % cycle,
                    settings=settings_lines(bounds=bounds) if cycle == 1 else None)
        try:
            outer = k.outer()
            check("geometry cycle %d: the window where the settings put it" % cycle,
                  outer == expected, "frame %s, expected %s" % (outer, expected))
            if hide_title:
                client = k.client()
                with input_lock:  # the window made anew takes the focus
                    k.menu("b")
                    time.sleep(1.0)
                check("title bar hidden: the window's inside stays put", k.client() == client,
                      "%s, was %s" % (k.client(), client))
            k.shot("geometry%d" % cycle)
            k.menu("s")
            stored = [float(v) for v in read_lines(k.path("Kelvane.cnf"))[:4]]
            check("geometry cycle %d: stored bounds unchanged" % cycle,
                  stored == [float(v) for v in bounds], "stored %s" % stored)
            k.quit_and_time("menu")
        finally:
            k.stop()


def quitting(args, folder, port):
    """終了, or the frame's close button, ends the process at once in every
    state; nothing is saved."""
    base = "http://127.0.0.1:%d" % port
    states = [
        ("page load", "menu", [f'URL\t"{base}/hang"'], "1", 2.0),
        ("page load, close button", "close", [f'URL\t"{base}/hang"'], "1", 2.0),
        ("settle wait", "menu", [f'URL\t"{base}/page"'], "30", 3.0),
        ("running loop", "menu", [f'URL\t"{base}/big"', 'LOOP\t"32767"',
                                  'GETC\tHT\tV1\t"<nothere>"\t"</nothere>"', "LOOPEND"], "1", 4.0),
        # A script error's message box is open: only the close button is at hand.
        ("open message box", "close", ["LOOPEND"], "1", 2.0),
    ]
    times = {}
    for name, how, script, wait, delay in states:
        k = Kelvane(os.path.join(folder, "q-" + name.replace(" ", "-").replace(",", "")),
                    args.kelvane, "quit", settings=settings_lines(wait=wait), script=script)
        try:
            with open(k.path("Kelvane.cnf"), "rb") as f:
                stored = f.read()
            if name == "open message box":
                # The box has the program's title, as the main window has.
                k.menu("r", done=lambda: len(out("xdotool", "search", "--all", "--onlyvisible",
                                                  "--pid", str(k.proc.pid), "--name",
                                                  "^Kelvane$").split()) >= 2)
            else:
                k.menu("r")
            time.sleep(delay)
            if name == "open message box":
                k.shot("message-box")
            alive = k.proc.poll() is None
            times[name] = k.quit_and_time(how)
            check("quit during %s: ends within 1 s" % name, alive and times[name] <= 1.0,
                  "%.2f s" % times[name])
            with open(k.path("Kelvane.cnf"), "rb") as f:
                check("quit during %s: nothing saved" % name, f.read() == stored)
        finally:
            k.stop()
    return times


def automatic_run_quit(args, folder, port, times):
    """The first timer tick (a minute after start) runs the script; 終了
    during its hanging page load ends the process at once."""
    script = ['URL\t"http://127.0.0.1:%d/hang"' % port]
    k = Kelvane(folder, args.kelvane, "auto-quit",
                settings=settings_lines(bounds=(4500, 3000, 10500, 14400), auto_update=1,
                                        interval="1"), script=script)
    try:
        time.sleep(62.5)
        times["automatic run"] = k.quit_and_time("menu")
        check("quit during an automatic run: ends within 1 s", times["automatic run"] <= 1.0,
              "%.2f s" % times["automatic run"])
    finally:
        k.stop()


def failed_loads(args, folder, port, refused):
    """Failed loads are marked on the "Data" tab, the display keeps its text,
    the automatic update goes on, and a good load clears the mark."""
    base = "http://127.0.0.1:%d" % port
    log = os.path.join(folder, "display.log")

    def script(url):
        return [f'URL\t"{url}"', "CLEAR\tD", 'GETC\tHT\tD\t"<p>"\t"</p>"']

    k = Kelvane(folder, args.kelvane, "failures",
                settings=settings_lines(bounds=(6000, 8010, 900, 12000), auto_update=1,
                                        interval="1", log=log),
                script=script(base + "/changing"))
    try:
        started = time.monotonic()

        def run_and_log(url, name):
            return k.run_and_log(script(url), log)

        placed = k.outer()
        native = k.win
        good = run_and_log(base + "/changing", "good")
        check("good load shows the page", good == "price 201", repr(good))
        check("the window stays put when the browser first starts", k.outer() == placed,
              "%s, was %s" % (k.outer(), placed))
        k.find_window(5)
        check("the first browser does not make the window anew", k.win == native,
              "window %s, was %s" % (k.win, native))
        check("good load: no failure mark", not k.mark_shown("good"))
        for name, url in [("refused port", "http://127.0.0.1:%d/x" % refused),
                          ("404", base + "/404"), ("500", base + "/500"),
                          ("redirect to a refused port", base + "/redirect")]:
            shown = run_and_log(url, name)
            check("%s: the display keeps its text" % name, shown == good, repr(shown))
            check("%s: failure mark on screen" % name, k.mark_shown("failed-" + name[:3]))
        drip = run_and_log(base + "/drip", "drip")
        check("slow drip loads whole", drip == "price 300", repr(drip))
        check("slow drip clears the mark", not k.mark_shown("drip"))
        # The last run by hand fails; the timer must go on all the same.
        run_and_log(base + "/500", "last failure")
        check("failure mark back", k.mark_shown("failed-again"))
        k.write_script(script(base + "/changing"))
        last_hand_run = time.monotonic()
        # The next tick comes a minute after the run ended and runs the
        # script: the page changed, and the mark goes.
        cleared = k.wait_for(lambda: not k.mark_shown("waiting"), 75, every=1.0)
        check("timer went on after a failed load: the next tick loaded the page", cleared,
              "%.0f s after the last run by hand" % (time.monotonic() - last_hand_run))
        k.settled()
        before = len(log_entries(log))
        # Another scenario's window taking the focus may close the menu
        # before its key: one more try.
        for _ in range(2):
            k.menu("l")
            if k.wait_for(lambda: len(log_entries(log)) > before, 5, every=0.2):
                break
        entries = log_entries(log)
        check("automatic run shows the changed page", entries and entries[-1] == "price 202",
              repr(entries[-1:] if entries else None))
        k.shot("end")
        print("failure scenario took %.0f s" % (time.monotonic() - started))
    finally:
        k.stop()


def keyboard_only(args, folder):
    """Without the mouse: Tab leaves the display without typing a tab, the
    context-menu key and Shift+F10 open the popup menu, whose items are
    chosen by their access keys."""
    log = os.path.join(folder, "keys.log")
    k = Kelvane(folder, args.kelvane, "keyboard", settings=settings_lines(log=log))
    try:
        with input_lock:
            xdo("windowactivate", "--sync", k.win)
            time.sleep(0.3)
            # The display takes the focus first; Tab moves on to the strip.
            for keys in (["key", "Tab"], ["type", "ab"], ["key", "Tab"], ["type", "cd"]):
                xdo(*keys)
                time.sleep(0.2)

            def by_keys(key, item, done=None):
                before = len(k.windows())
                xdo("key", key)
                opened = k.wait_for(lambda: len(k.windows()) > before, 2)
                check("keyboard: %s opens the popup menu" % key, opened)
                if opened:
                    time.sleep(0.2)
                    xdo("key", item)
                    k.wait_for(done or (lambda: len(k.windows()) <= before), 3)

            by_keys("Menu", "l", lambda: len(log_entries(log)) > 0)
            entries = log_entries(log)
            check("keyboard: Tab typed nothing into the display", entries == ["ab"],
                  repr(entries))
            stored = os.path.getmtime(k.path("Kelvane.cnf"))
            time.sleep(1.1)
            by_keys("shift+F10", "s", lambda: os.path.getmtime(k.path("Kelvane.cnf")) != stored)
            check("keyboard: 設定記憶 chosen by its key saved the settings",
                  os.path.getmtime(k.path("Kelvane.cnf")) != stored)
            k.shot("keyboard")
            by_keys("Menu", "x", lambda: k.proc.poll() is not None)
            check("keyboard: 終了 chosen by its key ended the program",
                  k.wait_for(lambda: k.proc.poll() is not None, 3))
    finally:
        k.stop()


def stored_position_above_the_screen(args, folder):
    """A settings file with the position a Wayland session made up (top -450,
    left -45 twips) opens the window with its title bar on the screen."""
    k = Kelvane(folder, args.kelvane, "above",
                settings=settings_lines(bounds=(6000, 8010, -450, -45)))
    try:
        outer = k.outer()
        k.shot("above")
        check("a stored position above the screen: the title bar is on it",
              outer[0] >= 0 and outer[1] >= 0, "frame %s" % (outer,))
        k.quit_and_time("menu")
    finally:
        k.stop()


def cache(args, folder, port):
    """A page sent with an old Last-Modified and no cache headers (what a
    plain static server sends) changes between two runs: the second run
    shows the new version, not the browser's cached copy."""
    log = os.path.join(folder, "cache.log")
    # Another page first: a second load of the page already shown would be
    # a reload, which asks the server anyway.
    script = ['URL\t"http://127.0.0.1:%d/page"' % port, 'URL\t"http://127.0.0.1:%d/stale"' % port,
              "CLEAR\tD", 'GETC\tHT\tD\t"<p>"\t"</p>"']
    k = Kelvane(folder, args.kelvane, "cache", settings=settings_lines(log=log))
    try:
        shown = [k.run_and_log(script, log) for _ in range(2)]
        versions = [int(v.split()[-1]) if v and v.startswith("version ") else 0 for v in shown]
        check("cache: the second 更新 shows the page the server has now",
              0 < versions[0] < versions[1], repr(shown))
        k.quit_and_time("menu")
    finally:
        k.stop()


def login(args, folder, port):
    """A login made once by hand on the Page tab lasts: after a restart the
    members' page reads, and kelvane-run reads it with the window's profile,
    through the browser and directly. Before the login the run fails naming
    it. The profile folder is the user's alone, the cookie file too."""
    base = "http://127.0.0.1:%d" % port
    log = os.path.join(folder, "login.log")
    script = ['URL\t"%s/members"' % base, "CLEAR\tD", 'GETC\tHT\tD\t"<p>"\t"</p>"']
    k = Kelvane(folder, args.kelvane, "login1", settings=settings_lines(log=log), script=script)
    try:
        with input_lock:
            k.menu("r")
            time.sleep(3)
            check("login: the run before the login marks a failure", k.mark_shown("login-needed"))
            # The Page tab, the third of the strip (about 125 px from its
            # left end, with or without the failure mark), shows the login
            # form.
            x, y, w, _ = k.client()
            xdo("mousemove", str(x + 125), str(y + 10))
            xdo("click", "1")
            time.sleep(1.5)
            k.shot("login-form")
            xdo("mousemove", str(x + w // 3), str(y + args.login_field_y))
            xdo("click", "1")
            time.sleep(0.3)
            for keys in (["type", "kel"], ["key", "Tab"], ["type", "letmein"], ["key", "Return"]):
                xdo(*keys)
                time.sleep(0.3)
            time.sleep(2)
            k.shot("logged-in")
        k.quit_and_time("menu")
    finally:
        k.stop()
    profile = k.path("Kelvane.profile")
    cookies = os.path.join(profile, "cookies.txt")
    kept = open(cookies).read() if os.path.exists(cookies) else ""
    check("login: the cookie file holds the session", "\tsession\t" in kept, kept[-200:])
    modes = [oct(os.stat(p).st_mode & 0o777) if os.path.exists(p) else None
             for p in (profile, cookies)]
    check("login: profile folder 0700, cookie file 0600", modes == ["0o700", "0o600"], repr(modes))
    k = Kelvane(folder, args.kelvane, "login2")
    try:
        shown = k.run_and_log(script, log)
        check("login: after a restart the members' page reads", shown == "member price 1200",
              repr(shown))
        k.shot("restarted")
        k.quit_and_time("menu")
    finally:
        k.stop()
    run = os.path.join(os.path.dirname(args.kelvane), "..", "cli", "kelvane-run")
    session = kept.split("\tsession\t")[-1].strip() if kept else "-"
    k.write_script(script)
    for fetch in ("browser", "direct"):
        done = subprocess.run([run, "--fetch", fetch, "--wait", "1", "--trace", "--profile",
                               profile, k.path("script.spt")],
                              capture_output=True, text=True, timeout=120)
        check("login: kelvane-run --profile --fetch %s reads the page" % fetch,
              done.returncode == 0 and done.stdout == "member price 1200",
              "status %d, %r %r" % (done.returncode, done.stdout, done.stderr[-300:]))
        check("login: kelvane-run --fetch %s shows no cookie value" % fetch,
              session not in done.stdout + done.stderr)
    check("login: the log holds no cookie value", session not in open(log).read())


PICK_NOTE_Y = 494


def pick(args, folder, port):
    """From the Page tab the workbench opens on the page as rendered; a click
    on a price offers the whole list as name<TAB>price, and the lines chosen
    are saved into the script."""
    base = "http://127.0.0.1:%d" % port
    k = Kelvane(folder, args.kelvane, "pick", settings=settings_lines(),
                script=['URL\t"%s/shop"' % base])
    try:
        with input_lock:
            k.menu("r")
            time.sleep(3)
            x, y, w, _ = k.client()
            xdo("mousemove", str(x + 125), str(y + 10))
            xdo("click", "1")
            time.sleep(1)
            before = set(k.windows())
        k.menu("e", lambda: len(set(k.windows()) - before) > 0)
        new = [win for win in k.windows() if win not in before]
        check("pick: スクリプト編集 on the Page tab opens the workbench", new)
        if not new:
            return
        time.sleep(3)
        info = out("xwininfo", "-id", new[0])
        bx, by = (int(re.search(key + r":\s+(-?\d+)", info).group(1))
                  for key in ("Absolute upper-left X", "Absolute upper-left Y"))
        with input_lock:
            # The second price, in the rendered page on the right.
            xdo("mousemove", str(bx + 650), str(by + 278))
            time.sleep(0.5)
            k.shot("pick-hover")
            xdo("click", "1")
            time.sleep(1.5)
            k.shot("pick-menu")
            for key in ("Down", "Down", "Return"):
                xdo("key", key)
                time.sleep(0.3)
            time.sleep(0.5)
            k.shot("pick-lines")
            xdo("key", "ctrl+s")
            time.sleep(1)
            # A note below the list is no list's item: the status says why.
            xdo("mousemove", str(bx + 650), str(by + PICK_NOTE_Y))
            xdo("click", "1")
            time.sleep(1.5)
            k.shot("pick-miss")
            xdo("key", "Escape")
            time.sleep(0.3)
    finally:
        k.stop()
    saved = "\n".join(read_lines(k.path("script.spt")))
    run = os.path.join(os.path.dirname(args.kelvane), "..", "cli", "kelvane-run")
    done = subprocess.run([run, "--fetch", "direct", k.path("script.spt")], capture_output=True,
                          text=True, timeout=60)
    check("pick: the list chosen cuts every product as name and price",
          done.stdout.splitlines() == ["みかん（有田） 5kg\t￥1,280", "りんご 10個\t￥2,980",
                                       "ぶどう 2房\t￥3,400"],
          "script %r, display %r %r" % (saved[-300:], done.stdout, done.stderr[-200:]))


def no_display(args, folder):
    """With no display at all the program says why and exits with 1,
    instead of Qt's abort (134) with advice to reinstall."""
    os.makedirs(folder, exist_ok=True)
    env = {key: value for key, value in os.environ.items()
           if key not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
    env["XDG_RUNTIME_DIR"] = folder  # no compositor's socket there
    try:
        done = subprocess.run([args.kelvane], cwd=folder, env=env, capture_output=True,
                              text=True, timeout=20)
        status, said = done.returncode, done.stderr
    except subprocess.TimeoutExpired:
        status, said = None, "(still running after 20 s)"
    check("no display: exit status 1", status == 1, "status %s" % status)
    check("no display: a message says why", "DISPLAY" in said and "Reinstall" not in said,
          said.strip())


def wayland(args, folder):
    """Under a Wayland compositor (weston, headless): the window program
    runs, and a save stores no made-up position (the window test that checks
    it is run there, where it is not skipped)."""
    os.makedirs(folder, mode=0o700, exist_ok=True)
    runtime = os.path.join(folder, "runtime")
    os.makedirs(runtime, mode=0o700, exist_ok=True)
    env = {key: value for key, value in os.environ.items() if key != "DISPLAY"}
    env.update(XDG_RUNTIME_DIR=runtime, WAYLAND_DISPLAY="kelvane-field",
               QT_QPA_PLATFORM="wayland")
    weston = subprocess.Popen(["weston", "--backend=headless-backend.so",
                               "--socket=kelvane-field", "--width=1280", "--height=1024"],
                              env=env, stdout=open(os.path.join(folder, "weston.log"), "w"),
                              stderr=subprocess.STDOUT)
    try:
        socket_path = os.path.join(runtime, "kelvane-field")
        deadline = time.time() + 15
        while not os.path.exists(socket_path) and time.time() < deadline:
            time.sleep(0.1)
        if not check("wayland: weston started", os.path.exists(socket_path)):
            return
        if os.path.exists(args.places_test):
            done = subprocess.run([args.places_test, "madeUpPositionsAreNotStored"], env=env,
                                  capture_output=True, text=True, timeout=120)
            with open(os.path.join(folder, "places-test.out"), "w") as f:
                f.write(done.stdout + done.stderr)
            check("wayland: a save stores no made-up position",
                  done.returncode == 0 and "PASS   : Form1PlacesTest::madeUpPositionsAreNotStored"
                  in done.stdout, "status %d, see places-test.out" % done.returncode)
        else:
            check("wayland: the window test is built", False, args.places_test)
        shutil.copy2(args.kelvane, os.path.join(folder, "kelvane"))
        with open(os.path.join(folder, "kelvane.out"), "w") as log:
            program = subprocess.Popen([os.path.join(folder, "kelvane")], cwd=folder, env=env,
                                       stdout=log, stderr=subprocess.STDOUT)
            time.sleep(8)
            running = program.poll() is None
            program.terminate()
            try:
                program.wait(timeout=10)
            except subprocess.TimeoutExpired:
                program.kill()
                program.wait()
        check("wayland: the window program runs", running,
              "ended with %s" % program.returncode)
    finally:
        weston.terminate()
        try:
            weston.wait(timeout=10)
        except subprocess.TimeoutExpired:
            weston.kill()
            weston.wait()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--kelvane", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("--ports-file", required=True)
    parser.add_argument("--places-test", default="")
    # Where the login form's first field is below the window's top.
    parser.add_argument("--login-field-y", type=int, default=110)
    parser.add_argument("--only", nargs="+", metavar="SCENARIO",
                        help="run only these: auto-quit failures geometry quit above keyboard "
                             "cache login pick no-display wayland")
    args = parser.parse_args()
    os.makedirs(args.out, exist_ok=True)
    with open(args.ports_file) as f:
        port, refused = (int(v) for v in f.read().split())

    started = time.monotonic()
    times = {}

    def folder(name):
        return os.path.join(args.out, name)

    # The two scenarios that wait for the minute timer run side by side
    # with the others.
    waiting = {"auto-quit": lambda: automatic_run_quit(args, folder("auto-quit"), port, times),
               "failures": lambda: failed_loads(args, folder("failures"), port, refused)}
    scenarios = {
        "geometry": lambda: geometry_cycles(args, folder("geometry")),
        "quit": lambda: times.update(quitting(args, folder("quit"), port)),
        "above": lambda: stored_position_above_the_screen(args, folder("above")),
        "keyboard": lambda: keyboard_only(args, folder("keyboard")),
        "cache": lambda: cache(args, folder("cache"), port),
        "login": lambda: login(args, folder("login"), port),
        "no-display": lambda: no_display(args, folder("no-display")),
        "wayland": lambda: wayland(args, folder("wayland")),
    }
    chosen = args.only or list(waiting) + list(scenarios) + ["pick"]
    unknown = [name for name in chosen
               if name not in waiting and name not in scenarios and name != "pick"]
    if unknown:
        parser.error("no scenario named " + ", ".join(unknown))
    threads = [threading.Thread(target=waiting[name]) for name in waiting if name in chosen]
    for t in threads:
        t.start()
    if threads:
        time.sleep(5)
    for name, scenario in scenarios.items():
        if name in chosen:
            scenario()
    for t in threads:
        t.join()
    # The pick presses keys (Return among them) that a window of the
    # scenarios above would take as its own: it runs once they are over.
    if "pick" in chosen:
        pick(args, folder("pick"), port)

    failed = [r for r in results if not r[1]]
    worst = max(times.items(), key=lambda kv: kv[1]) if times else ("-", 0)
    print("quit times: " + ", ".join("%s %.2f s" % kv for kv in sorted(times.items())))
    print("worst time from 終了 to exit: %.2f s (%s)" % (worst[1], worst[0]))
    for name, _, detail in failed:
        print("  failed: %s %s" % (name, detail))
    print("harness took %.0f s; screenshots in %s" % (time.monotonic() - started, args.out))
    print("field: %d passed, %d failed" % (len(results) - len(failed), len(failed)))
    return min(len(failed), 100)


if __name__ == "__main__":
    sys.exit(main())
