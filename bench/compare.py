#!/usr/bin/env python3
"""Engine builds against each other and the plain program, in one run.

Jobs a (the walk) and b (the extraction) of bench/run.sh, for kelvane-run of
every build given: instruction counts (callgrind) on the 1 MB page, and wall
and CPU time medians on the 8 MB page, the programs taking turns in each
round so that the machine's load falls on all of them alike. CPU time (user
and system, of the process alone) is told beside wall time because a shared
machine's run queue stretches wall time, and the peak resident memory of
the 8 MB runs after them. Ratios are against the plain program. The plain
program runs a second time with glibc asked to back its large allocations
with large pages, as the builds' page buffers ask for themselves, so that one
can tell what of a build's lead over it is owed to fewer page faults.

With --no-large-pages no program gets transparent large pages, whatever it
asks for (the driver switches them off for itself and its children).

Usage: bench/compare.py [--repeats N] [--no-large-pages] BUILD [BUILD...]
(the first build's bench programs make the pages and are the plain program)
"""
import argparse
import ctypes
import os
import re
import statistics
import subprocess
import tempfile
import time

here = os.path.dirname(os.path.abspath(__file__))


def instructions(argv):
    err = subprocess.run(['valgrind', '--tool=callgrind', '--callgrind-out-file=/dev/null'] + argv,
                         stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True).stderr
    return int(re.search(r'Collected : (\d+)', err).group(1))


LARGE_PAGES = dict(os.environ, GLIBC_TUNABLES='glibc.malloc.hugetlb=1')


def timed(argv, devnull, env=None):
    start = time.perf_counter()
    pid = os.fork()
    if pid == 0:
        os.dup2(devnull, 1)
        os.execve(argv[0], argv, env or os.environ)
    _, status, usage = os.wait4(pid, 0)
    if status != 0:
        raise SystemExit(f'{argv[0]} failed')
    return time.perf_counter() - start, usage.ru_utime + usage.ru_stime, usage.ru_maxrss


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('--repeats', type=int, default=9)
    parser.add_argument('--no-large-pages', action='store_true')
    parser.add_argument('builds', nargs='+')
    args = parser.parse_args()
    if args.no_large_pages:
        PR_SET_THP_DISABLE = 41  # inherited across fork and exec
        if ctypes.CDLL(None, use_errno=True).prctl(PR_SET_THP_DISABLE, 1, 0, 0, 0) != 0:
            raise SystemExit('cannot switch large pages off here')
    bench = os.path.join(args.builds[0], 'bench')
    with tempfile.TemporaryDirectory() as work:
        compare(args, bench, work)


def compare(args, bench, work):
    pages = {}
    for items in (4000, 32000):
        pages[items] = os.path.join(work, f'page{items}.html')
        with open(pages[items], 'w') as out:
            subprocess.run([os.path.join(bench, 'bench_gen_page'), str(items)], stdout=out, check=True)
    devnull = os.open(os.devnull, os.O_WRONLY)
    for job in 'ab':
        with open(os.path.join(here, f'job-{job}.spt'), 'rb') as f:
            template = f.read()
        programs = {'plain': lambda items: [os.path.join(bench, 'bench_plain_extract'), job,
                                            pages[items]]}
        if not args.no_large_pages:
            programs['plain, large pages'] = programs['plain']
        for items in (4000, 32000):
            with open(os.path.join(work, f'job-{job}-{items}.spt'), 'wb') as f:
                f.write(template.replace(b'ITEMS', str(items).encode()))
        for build in args.builds:
            run = os.path.join(build, 'src', 'cli', 'kelvane-run')
            programs[build] = lambda items, run=run: [
                run, '--page', pages[items], os.path.join(work, f'job-{job}-{items}.spt')]
        outputs = {name: subprocess.run(p(4000), capture_output=True, check=True).stdout
                   for name, p in programs.items()}
        if len(set(outputs.values())) != 1:
            raise SystemExit(f'job {job}: outputs differ')
        wall = {name: [] for name in programs}
        cpu = {name: [] for name in programs}
        peak = {name: [] for name in programs}
        for _ in range(args.repeats):
            for name, program in programs.items():
                env = LARGE_PAGES if name == 'plain, large pages' else None
                w, c, m = timed(program(32000), devnull, env)
                wall[name].append(w)
                cpu[name].append(c)
                peak[name].append(m)
        counts = {name: instructions(program(4000)) for name, program in programs.items()}
        base_w, base_c = statistics.median(wall['plain']), statistics.median(cpu['plain'])
        base_m = statistics.median(peak['plain'])
        for name in programs:
            w, c, m = statistics.median(wall[name]), statistics.median(cpu[name]), statistics.median(peak[name])
            print(f'job {job} {name}: instructions {counts[name]} ({counts[name] / counts["plain"]:.3f}),'
                  f' wall {w * 1e3:.1f} ms ({w / base_w:.3f}), cpu {c * 1e3:.1f} ms ({c / base_c:.3f}),'
                  f' peak {m / 1024:.1f} MB ({m / base_m:.3f})')


if __name__ == '__main__':
    main()
