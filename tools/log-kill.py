#!/usr/bin/env python3
"""Kills kelvane-run at random moments while it appends 8 MiB log entries,
and checks what the next append leaves.

Each round starts a log holding one whole entry, runs kelvane-run --log
over a saved page whose display makes an 8 MiB entry, kills it with SIGKILL
at a moment drawn evenly from a normal run's time, or (every other kill)
within 10 ms after the log begins to grow, then lets a second run append
its entry. The log must then be the first entry, then nothing, the
killed run's entry whole, or a piece of it ended as a line, then the second
entry whole. Prints how many kills tore an entry and any log that broke
the rule (exit status 1 then). The entries are CP932, or UTF-8 with
--utf8, where the next append also completes a character cut short.
Usage: tools/log-kill.py BUILD_DIR [--kills N] [--draw N] [--utf8]"""
import argparse, os, random, re, signal, statistics, subprocess, sys, tempfile, time

parser = argparse.ArgumentParser()
parser.add_argument("build", nargs="?", default="build")
parser.add_argument("--kills", type=int, default=200)
parser.add_argument("--draw", type=int, default=1)
parser.add_argument("--utf8", action="store_true")
options = parser.parse_args()
rng = random.Random(options.draw)
runner = os.path.join(options.build, "src/cli/kelvane-run")
kills = options.kills
ENTRY_BYTES = 8 << 20


def command(work, memo):
    return ["nice", runner, "--page", os.path.join(work, "page.html"), "--log",
            os.path.join(work, "log.txt"), "--memo", memo, os.path.join(work, "s.spt")]


def run(work, memo):
    """Runs to the end: when the log began to grow and when the run ended,
    in seconds from its start."""
    log = os.path.join(work, "log.txt")
    size = os.path.getsize(log) if os.path.exists(log) else 0
    start = time.monotonic()
    proc = subprocess.Popen(command(work, memo), stdout=subprocess.DEVNULL)
    grew = None
    while proc.poll() is None:
        if grew is None and os.path.exists(log) and os.path.getsize(log) != size:
            grew = time.monotonic() - start
        time.sleep(0.001)
    end = time.monotonic() - start
    if proc.returncode != 0:
        raise SystemExit(f"kelvane-run ended with status {proc.returncode}")
    return (end if grew is None else grew), end


def read(path):
    with open(path, "rb") as f:
        return f.read()


def repair(piece):
    """What the next append writes after a piece of an entry: a line end."""
    if piece.endswith(b"\n"):
        return b""
    return b"\n" if piece.endswith(b"\r") else b"\r\n"


def middle_kind(middle, killed):
    """What lies between the first and the last entry: 'none', 'whole',
    'torn', or None when it is none of them."""
    if not middle:
        return "none"
    if middle == killed:
        return "whole"
    same = 0
    limit = min(len(middle), len(killed))
    while same < limit and middle[same] == killed[same]:
        same += 1
    # The piece is what the killed run wrote; what follows must be the
    # line end the next append put there, and nothing else.
    for cut in range(same, max(same - 2, 0) - 1, -1):
        piece = middle[:cut]
        if not piece or len(piece) >= len(killed):
            continue
        # In UTF-8 a character cut short is completed first.
        completion = b""
        if options.utf8:
            completion = re.match(rb"[\x80-\xbf]{0,3}", middle[cut:]).group(0)
            if completion and not ends_whole(piece + completion):
                continue
        if middle == piece + completion + repair(piece + completion):
            return "torn"
    return None


def ends_whole(data):
    """The last character of UTF-8 text is whole."""
    try:
        data[-4:].decode("utf-8")
        return True
    except UnicodeDecodeError:
        return any(_decodes(data[-n:]) for n in range(1, 4))


def _decodes(data):
    try:
        data.decode("utf-8")
        return True
    except UnicodeDecodeError:
        return False


def main():
    with tempfile.TemporaryDirectory(dir=os.environ.get("TMPDIR", "/var/tmp")) as work:
        # Characters the log keeps as two bytes (CP932), so that a cut may
        # fall inside one; one CP932 lacks makes the log UTF-8.
        unit = "価格 1,234円 item " + ("\U0001F4B4" if options.utf8 else "")
        with open(os.path.join(work, "page.html"), "w", encoding="utf-8") as f:
            units = ENTRY_BYTES // len(unit.encode("utf-8" if options.utf8 else "cp932")) + 1
            f.write("<html><body><p>" + unit * units + "</p></body></html>")
        with open(os.path.join(work, "s.spt"), "w") as f:
            f.write("PUT\tHT\tD\r\n")
        log = os.path.join(work, "log.txt")
        times = [run(work, "ref") for _ in range(5)]
        reference = read(log)
        first = reference[: len(reference) // 5]
        assert first.startswith(b"ref\r\n") and first * 5 == reference
        display = first[len(b"ref\r\n"):]

        def entry(memo):
            return memo.encode() + b"\r\n" + display

        span = statistics.median(end for _, end in times)
        writing = statistics.median(end - grew for grew, end in times)
        print(f"entries of {len(first) / (1 << 20):.1f} MiB; a run takes {span:.2f} s, its "
              f"append {writing * 1000:.0f} ms; {kills} kills, half at moments drawn from 0 to "
              f"{span:.2f} s, half within 10 ms after the log begins to grow", flush=True)
        counts = {mode: {"none": 0, "whole": 0, "torn": 0} for mode in ("anywhere", "append")}
        broken = 0
        for round_ in range(kills):
            opening = entry(f"opening-{round_}")
            with open(log, "wb") as f:
                f.write(opening)
            killed = subprocess.Popen(command(work, f"kill-{round_}"), stdout=subprocess.DEVNULL)
            if round_ % 2:
                time.sleep(rng.uniform(0, span))
            else:
                # The run's timing varies with the machine's load: the
                # moment is taken from the log itself.
                while killed.poll() is None and os.path.getsize(log) == len(opening):
                    time.sleep(0.0005)
                time.sleep(rng.uniform(0, 0.01))
            killed.send_signal(signal.SIGKILL)
            killed.wait()
            run(work, f"after-{round_}")
            after = entry(f"after-{round_}")
            got = read(log)
            kind = None
            if got.startswith(opening) and got.endswith(after) and len(got) >= len(opening) + len(after):
                kind = middle_kind(got[len(opening):len(got) - len(after)], entry(f"kill-{round_}"))
            if kind is None:
                broken += 1
                print(f"round {round_}: the log is broken ({len(got)} bytes)", flush=True)
            else:
                counts["anywhere" if round_ % 2 else "append"][kind] += 1
        for mode, told in (("anywhere", "anywhere in the run"), ("append", "at the append")):
            c = counts[mode]
            print(f"kills {told}: {c['torn']} tore the killed run's entry, {c['whole']} came "
                  f"after it was whole, {c['none']} before it was begun")
        print(f"{kills} kills: {broken} logs broken (an entry other than the torn one not whole)")
        return 1 if broken else 0


sys.exit(main())
