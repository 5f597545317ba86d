"""The batch runner's figures on a sweep (default examples/sweep.json):

  1 local worker against 2 (the wall time of each whole sweep, cluster start
  included), the per-run overhead (a task's wall time less its stepping),
  and that 1 worker, 2 workers, 2 workers with one killed by its process id
  mid-sweep, and a dask-scheduler with two dask-worker processes joined with
  --scheduler all give the same results.csv but for the wall-time columns.

PYTHONPATH=build/release/python /usr/bin/python3 examples/batch_bench.py [SWEEP.json] [OUT]
"""
import os
import signal
import socket
import statistics
import subprocess
import sys
import time

from kelvarro import batch

SWEEP = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "sweep.json"))
OUT = os.path.abspath(sys.argv[2] if len(sys.argv) > 2 else "batch-bench")
CLI = [sys.executable, "-m", "kelvarro.batch", SWEEP]


def load():
    return os.getloadavg()[0]


def rows(out):
    return [{k: v for k, v in r.items() if not k.startswith("wall")}
            for r in batch.read_csv(os.path.join(out, "results.csv"))]


def sweep(name, *extra):
    out = os.path.join(OUT, name)
    begin = time.perf_counter()
    subprocess.run(CLI + ["--out", out, *extra], check=True, stderr=subprocess.DEVNULL)
    return out, time.perf_counter() - begin


def children(pid):
    found = subprocess.run(["ps", "-o", "pid=,args=", "--ppid", str(pid)], capture_output=True, text=True).stdout
    return [int(line.split()[0]) for line in found.splitlines() if "spawn_main" in line]


def killed_sweep():
    """Two local workers; once a quarter of the runs are in, one worker is killed by its pid."""
    out = os.path.join(OUT, "killed")
    cli = subprocess.Popen(CLI + ["--workers", "2", "--out", out], stderr=subprocess.PIPE, text=True)
    total = len(batch.expand(SWEEP))
    segment, victim = "", None
    while True:
        c = cli.stderr.read(1)
        if not c:
            break
        if c not in "\r\n":
            segment += c
            continue
        done = segment.split("done ")[-1].split(",")[0]
        if victim is None and done.isdigit() and int(done) >= total // 4 and children(cli.pid):
            victim = children(cli.pid)[0]
            os.kill(victim, signal.SIGKILL)
        segment = ""
    cli.communicate()
    return out, victim, cli.returncode


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def external_sweep():
    """dask-scheduler and two dask-worker processes on this machine."""
    port = free_port()
    started = [subprocess.Popen(["dask-scheduler", "--host", "127.0.0.1", "--port", str(port),
                                 "--dashboard-address", ":0"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)]
    time.sleep(3)
    for _ in range(2):
        started.append(subprocess.Popen(["dask-worker", f"tcp://127.0.0.1:{port}", "--nthreads", "1",
                                         "--dashboard-address", ":0"],
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
    time.sleep(5)
    try:
        return sweep("external", "--scheduler", f"tcp://127.0.0.1:{port}")
    finally:
        for p in reversed(started):
            p.terminate()
            p.wait()


def main():
    print(f"load average before: {load():.2f}")
    one, t1 = sweep("one", "--workers", "1")
    two, t2 = sweep("two", "--workers", "2")
    print(f"1 worker {t1:.1f} s, 2 workers {t2:.1f} s: {t2 / t1:.2f} of the time (load now {load():.2f})")
    results = batch.read_csv(os.path.join(two, "results.csv"))
    overhead = [float(r["wall_s"]) - float(r["wall_stepping_s"]) for r in results]
    stepping = [float(r["wall_stepping_s"]) * 60.0 / float(r["simulated_s"]) for r in results]
    print(f"per-run overhead (task wall less stepping): median {statistics.median(overhead) * 1000:.0f} ms, "
          f"max {max(overhead) * 1000:.0f} ms (the first run of an exercise on a worker builds its world); "
          f"a 60-s run steps in {statistics.median(stepping):.2f} s (median): "
          f"{statistics.median(overhead) / statistics.median(stepping) * 100:.1f} %")
    ended = sum(overhead) + sum(float(r["wall_stepping_s"]) for r in results)
    print(f"whole-sweep overhead (2 x sweep wall less the runs' stepping, per run): "
          f"{(2 * t2 - sum(float(r['wall_stepping_s']) for r in results)) / len(results) * 1000:.0f} ms; "
          f"in tasks {ended:.1f} s of {2 * t2:.1f} worker-seconds")
    killed, victim, status = killed_sweep()
    external, _ = external_sweep()
    same = rows(one)
    print(f"2 workers same rows as 1: {rows(two) == same}")
    print(f"worker {victim} killed mid-sweep (status {status}): same rows: {rows(killed) == same}")
    print(f"dask-scheduler + 2 dask-worker: same rows: {rows(external) == same}")
    print(f"load average after: {load():.2f}")


if __name__ == "__main__":
    main()
