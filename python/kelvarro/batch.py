"""Sweeps of runs, and re-scoring of recorded sessions, on Dask.

python3 -m kelvarro.batch SWEEP.json [--scheduler ADDRESS] [--workers N] [--out FOLDER] [--index N]
python3 -m kelvarro.batch --rescore EXERCISE.json SESSION.kvr... [--scheduler ADDRESS] [--workers N] [--out FOLDER]

A sweep file (JSON) holds "runs" (a list of runs) and/or "grid" (each field
a list of values; every combination is a run, the last field varying
fastest), and may give "defaults" for fields a run leaves out. A run's
fields:
  task          an exercise of data/exercises/ ("trench", ...), "dig" (the
                bare world: fill the bucket and dump it beside) or
                "scenario:NAME" (a scenario of kelvarro-scenario's table
                that has no set-up of its own: land, dig, cycle, soak)
  operator      "idle", "cycles", "reference" (the scripted operators of
                kelvarro-scenario --exercise) or "module:function", a
                Python policy mapping an observation (kelvarro.Env's) to an
                action; a scenario is its own operator (leave it out)
  soil          a soil of data/soils.json; none:
                the file's default
  start_offset  [dx, dz] or [dx, dz, dheading_deg] from the exercise's
                start place (scripted operators only); default [0, 0, 0]
  seed          a whole number >= 0 (seeds a Python policy's random
                numbers); default 0
  seconds       the longest the run goes on, in (0, 86400]; default the
                exercise's time limit and a second, a scenario's length, or
                60 for "dig"
The runs come first, then the grid. Each run is one task: it builds its
world from its row alone, so any worker, order or retry gives the same row.
Output in FOLDER (default batch-out): results.csv, sessions/ (each run's
recording), reports/ (each exercise's report), rows/ (--index).
"""
import argparse
import csv
import importlib
import io
import itertools
import json
import math
import os
import random
import re
import sys
import time

from . import _kelvarro

FIELDS = ("task", "operator", "soil", "start_offset", "seed", "seconds")
SCRIPTED = ("idle", "cycles", "reference")
BASE_COLUMNS = ("index", "task", "operator", "soil", "start_dx", "start_dz", "start_dheading", "seed", "seconds",
                "session", "status", "error", "end", "score", "steps", "simulated_s", "soil_balance",
                "worst_balance", "moved_m3", "cycles", "recording", "report", "program", "data_hash", "wall_s",
                "wall_stepping_s")
_POLICY = re.compile(r"^[A-Za-z_][\w.]*:[A-Za-z_]\w*$")


class SweepError(ValueError):
    """A sweep file that cannot be run: names the file and the field."""

    def __init__(self, path, field, what):
        super().__init__(f"[Batch] {path}: field '{field}': {what}" if field else f"[Batch] {path}: {what}")


def data_folder(data=None):
    """The data folder: given, else $KELVARRO_DATA, else the build's data/."""
    if data:
        return os.path.abspath(data)
    if os.environ.get("KELVARRO_DATA"):
        return os.path.abspath(os.environ["KELVARRO_DATA"])
    return os.path.abspath(os.path.join(os.path.dirname(_kelvarro.__file__), "..", "..", "data"))


def _soils(data):
    try:
        with open(os.path.join(data, "soils.json")) as f:
            return {s["name"] for s in json.load(f)["soils"]}
    except (OSError, ValueError, KeyError, TypeError):
        return set()


def _scenarios():
    return set(_kelvarro.recordable_scenarios())


def _check_run(path, where, run, data):
    """A run with every field given, checked; raises SweepError."""
    def fail(field, what):
        raise SweepError(path, f"{where}.{field}", what)

    if not isinstance(run, dict):
        raise SweepError(path, where, "a run is an object of " + ", ".join(FIELDS))
    for key in run:
        if key not in FIELDS:
            fail(key, "unknown field; a run has " + ", ".join(FIELDS))
    task = run.get("task")
    if not isinstance(task, str) or not task:
        fail("task", "missing, or not a name")
    exercise = not task.startswith("scenario:") and task != "dig"
    if task.startswith("scenario:") and task[9:] not in _scenarios():
        fail("task", f"no scenario {task[9:]!r} to record; one of {', '.join(sorted(_scenarios()))}")
    if exercise and (not re.fullmatch(r"[a-z0-9_-]{1,64}", task)
                     or not os.path.isfile(os.path.join(data, "exercises", task + ".json"))):
        fail("task", f"{task[:40]!r} is not an exercise of data/exercises/, 'dig' or 'scenario:NAME'")
    op = run.get("operator")
    if task.startswith("scenario:"):
        if op is not None:
            fail("operator", "a scenario is its own operator")
    elif not isinstance(op, str) or not (op in SCRIPTED or _POLICY.match(op)):
        fail("operator", f"{op!r} is not one of {', '.join(SCRIPTED)} or module:function")
    elif not exercise and op in ("cycles", "reference"):
        fail("operator", f"{op} works an exercise; 'dig' takes idle or a Python policy")
    python = task == "dig" or (op is not None and op not in SCRIPTED)
    soil = run.get("soil")
    if soil is not None:
        if not isinstance(soil, str) or soil not in _soils(data):
            fail("soil", f"{soil!r} is not a soil of data/soils.json: {', '.join(sorted(_soils(data)))}")
    offset = run.get("start_offset", [0, 0, 0])
    if (not isinstance(offset, list) or len(offset) not in (2, 3)
            or not all(isinstance(v, (int, float)) and not isinstance(v, bool) and math.isfinite(v)
                       for v in offset)
            or any(abs(v) > 100 for v in offset[:2]) or (len(offset) == 3 and abs(offset[2]) > 360)):
        fail("start_offset", f"{offset!r} is not [dx, dz] or [dx, dz, dheading_deg] within 100 m and 360 degrees")
    offset = [float(v) for v in offset] + [0.0] * (3 - len(offset))
    if any(offset) and (not exercise or python):
        fail("start_offset", "only a scripted operator on an exercise starts elsewhere")
    seed = run.get("seed", 0)
    if not isinstance(seed, int) or isinstance(seed, bool) or not 0 <= seed < 2 ** 32:
        fail("seed", f"{seed!r} is not a whole number in [0, 2^32)")
    seconds = run.get("seconds")
    if seconds is not None and (isinstance(seconds, bool) or not isinstance(seconds, (int, float))
                                or not 0 < seconds <= 86400):
        fail("seconds", f"{seconds!r} is not a number of seconds in (0, 86400]")
    return {"task": task, "operator": op or "scenario", "soil": soil or "", "start_dx": offset[0],
            "start_dz": offset[1], "start_dheading": offset[2], "seed": seed,
            "seconds": float(seconds) if seconds is not None else ""}


def expand(path, data=None):
    """The sweep file's runs, checked and numbered: a list of dicts."""
    data = data_folder(data)
    try:
        with open(path, "rb") as f:
            text = f.read((1 << 20) + 1)
        if len(text) > 1 << 20:
            raise SweepError(path, "", "a sweep file holds at most 1 MiB")
        sweep = json.loads(text)
    except OSError as e:
        raise SweepError(path, "", f"cannot be read ({e.strerror})") from None
    except (ValueError, RecursionError) as e:
        raise SweepError(path, "", f"not JSON ({str(e)[:60]})") from None
    if not isinstance(sweep, dict):
        raise SweepError(path, "", "a sweep is an object with runs and/or grid")
    for key in sweep:
        if key not in ("runs", "grid", "defaults"):
            raise SweepError(path, key, "unknown field; a sweep has runs, grid and defaults")
    defaults = sweep.get("defaults", {})
    if not isinstance(defaults, dict) or any(k not in FIELDS for k in defaults):
        raise SweepError(path, "defaults", "an object of " + ", ".join(FIELDS))
    runs = sweep.get("runs", [])
    if not isinstance(runs, list):
        raise SweepError(path, "runs", "a list of runs")
    rows = [_check_run(path, f"runs[{i}]", {**defaults, **r} if isinstance(r, dict) else r, data)
            for i, r in enumerate(runs)]
    grid = sweep.get("grid")
    if grid is not None:
        if not isinstance(grid, dict) or not grid:
            raise SweepError(path, "grid", "an object whose fields are lists of values")
        names = [f for f in FIELDS if f in grid]
        for key, values in grid.items():
            if key not in FIELDS:
                raise SweepError(path, f"grid.{key}", "unknown field; a run has " + ", ".join(FIELDS))
            if not isinstance(values, list) or not values:
                raise SweepError(path, f"grid.{key}", "a list of at least one value")
        if math.prod(len(grid[n]) for n in names) + len(rows) > 1_000_000:
            raise SweepError(path, "grid", "more than a million runs")
        for combo in itertools.product(*(grid[n] for n in names)):
            run = {**defaults, **dict(zip(names, combo))}
            at = ", ".join(f"{n}={v!r}"[:40] for n, v in zip(names, combo))
            rows.append(_check_run(path, f"grid[{at}]", run, data))
    if not rows:
        raise SweepError(path, "runs", "the sweep has no runs")
    for i, row in enumerate(rows):
        row["index"] = i
    return rows


def _name(row):
    op = re.sub(r"[^a-z0-9_-]+", "-", row["operator"].lower())
    return f"{row['index']:04d}-{row['task'].replace('scenario:', '')}-{op}"


def _exercise_file(data, task):
    return os.path.join(data, "exercises", task + ".json")


# What this process keeps from run to run: the worlds built (a run on
# settings seen before restores their start instead of building anew).
_kept = {}


def _runner():
    if "runner" not in _kept:
        _kept["runner"] = _kelvarro.BatchRunner()
    return _kept["runner"]


def _env(task, seconds, data, soil):
    from .env import Env
    key = ("env", task, seconds, data, soil)
    if key not in _kept:
        _kept[key] = Env(task, time_limit=seconds or None, soil=soil or None, data=data)
    return _kept[key]


def _checksum(data):
    key = ("checksum", data)
    if key not in _kept:
        _kept[key] = _kelvarro.data_checksum(data)
    return _kept[key]


def _policy(operator):
    if operator == "idle":
        return lambda obs: [0.0] * 6
    module, function = operator.split(":")
    return getattr(importlib.import_module(module), function)


def _run_policy(row, data, recording):
    seed = row["seed"]
    random.seed(seed)
    import numpy as np
    np.random.seed(seed)
    policy = _policy(row["operator"])
    env = _env(row["task"], row["seconds"], data, row["soil"])
    obs, _ = env.reset(seed=seed)
    stepping = 0.0
    while True:
        action = policy(obs)
        t = time.perf_counter()
        obs, _, terminated, truncated, _ = env.step(action)
        stepping += time.perf_counter() - t
        if terminated or truncated:
            break
    world = env.world
    world.record(recording)
    exercise = world.exercise
    out = {"steps": world.step_count, "simulated_s": world.time, "wall_stepping_s": stepping,
           "soil_balance": world.soil["balance"], "worst_balance": "", "moved_m3": world.work["moved_m3"],
           "cycles": world.work["cycles"], "metrics": {}, "points": {}}
    if exercise:
        score, points = _kelvarro.score(_exercise_file(data, row["task"]), exercise["metrics"])
        out.update(metrics=exercise["metrics"], points=points, score=score, end=exercise["end"])
    return out


def _flatten(row, got):
    row = dict(row)
    for key in ("steps", "simulated_s", "soil_balance", "worst_balance", "moved_m3", "cycles", "score", "end"):
        if key in got:
            row[key] = got[key]
    row["wall_stepping_s"] = got.get("stepping_s", got.get("wall_stepping_s", ""))
    for k, v in got.get("metrics", {}).items():
        row["metric_" + k] = v
    for k, v in got.get("points", {}).items():
        row["points_" + k] = v
    return row


def run_row(row, out, data=None):
    """One run of the sweep (a dict from expand) into the folder `out`:
    returns its row of results. A run that raises is a row with its error."""
    data = data_folder(data)
    begin = time.perf_counter()
    name = _name(row)
    recording = os.path.join(out, "sessions", name + ".kvr")
    row = dict(row, program=_kelvarro.program_version(), data_hash=_checksum(data),
               recording=os.path.relpath(recording, out), status="ok", error="", report="")
    try:
        os.makedirs(os.path.dirname(recording), exist_ok=True)
        task, op = row["task"], row["operator"]
        exercise = task not in ("dig",) and not task.startswith("scenario:")
        if task.startswith("scenario:") or (exercise and op in SCRIPTED):
            report = os.path.join(out, "reports", name) if exercise else ""
            start = None
            if any((row["start_dx"], row["start_dz"], row["start_dheading"])):
                with open(_exercise_file(data, task)) as f:
                    s = json.load(f)["start"]
                start = (s["x"] + row["start_dx"], s["z"] + row["start_dz"],
                         s["heading_deg"] + row["start_dheading"])
            got = _runner().run_scripted(
                data + "/", task if exercise else "", _exercise_file(data, task) if exercise else "",
                op if exercise else task[9:], row["seconds"] or 0.0, row["soil"], start, recording,
                report, "")
            if report:
                row["report"] = os.path.relpath(report + ".json", out)
        else:
            got = _run_policy(row, data, recording)
        row = _flatten(row, got)
    except Exception as e:  # noqa: BLE001 - any fault of one run is its row's
        row.update(status="error", error=str(e).splitlines()[0][:200] if str(e) else type(e).__name__)
    row["wall_s"] = time.perf_counter() - begin
    return row


def rescore_row(row, out, data=None):
    """One recorded session replayed and scored under row["exercise_file"]."""
    data = data_folder(data)
    begin = time.perf_counter()
    row = dict(row, program=_kelvarro.program_version(), data_hash=_checksum(data), status="ok", error="")
    try:
        got = _runner().rescore(data + "/", row["task"], row["session"])
        row = _flatten(row, got)
    except Exception as e:  # noqa: BLE001
        row.update(status="error", error=str(e).splitlines()[0][:200] if str(e) else type(e).__name__)
    row["wall_s"] = time.perf_counter() - begin
    return row


def rescore_rows(exercise_file, sessions):
    return [{"index": i, "task": os.path.abspath(exercise_file), "operator": "replay",
             "session": os.path.abspath(s)} for i, s in enumerate(sessions)]


def _text(v):
    return repr(v) if isinstance(v, float) else str(v)


def write_csv(path, rows):
    """Rows in index order; the base columns, then every metric and points column."""
    extra = sorted({k for r in rows for k in r if k not in BASE_COLUMNS})
    columns = list(BASE_COLUMNS) + extra
    buffer = io.StringIO()
    writer = csv.writer(buffer, lineterminator="\n")
    writer.writerow(columns)
    for r in sorted(rows, key=lambda r: r["index"]):
        writer.writerow([_text(r.get(c, "")) for c in columns])
    os.makedirs(os.path.dirname(os.path.abspath(path)), exist_ok=True)
    with open(path + ".part", "w") as f:
        f.write(buffer.getvalue())
    os.replace(path + ".part", path)


def read_csv(path):
    with open(path, newline="") as f:
        return list(csv.DictReader(f))


class Progress:
    """One line on stderr: a bar, runs done, failed and left."""

    def __init__(self, total, stream=sys.stderr):
        self.total, self.done, self.failed, self.stream = total, 0, 0, stream

    def add(self, row):
        self.done += 1
        self.failed += row["status"] != "ok"
        filled = 30 * self.done // self.total
        self.stream.write(f"\r[{'#' * filled}{'.' * (30 - filled)}] done {self.done}, failed {self.failed}, "
                          f"left {self.total - self.done} ")
        if self.done == self.total:
            self.stream.write("\n")
        self.stream.flush()


def run_distributed(rows, out, function, scheduler=None, workers=None, data=None, progress=True):
    """Every row as one Dask task; returns the result rows in index order."""
    import warnings
    warnings.filterwarnings("ignore", category=DeprecationWarning, module="tornado")
    from dask.distributed import Client, LocalCluster, as_completed
    # By reference to this module, also when it runs as __main__: a function
    # of __main__ would travel by value with a copy of the worlds kept.
    function = getattr(importlib.import_module("kelvarro.batch"), function.__name__)
    if scheduler:
        client, cluster = Client(scheduler), None
    else:
        cluster = LocalCluster(n_workers=workers or os.cpu_count() or 1, threads_per_worker=1, processes=True,
                               dashboard_address=None)
        client = Client(cluster)
    try:
        # Pure: a task that is run again on another worker gives the same row.
        futures = client.map(function, rows, out=out, data=data, pure=True)
        meter = Progress(len(rows)) if progress else None
        results = []
        for future in as_completed(futures):
            row = future.result()
            results.append(row)
            if meter:
                meter.add(row)
        return sorted(results, key=lambda r: r["index"])
    finally:
        client.close()
        if cluster:
            cluster.close()


class _Arguments(argparse.ArgumentParser):
    """Bad arguments: one tagged line and status 1, as every entry point."""

    def error(self, message):
        self.exit(1, f"[Batch] {message} (see --help)\n")


def main(argv=None):
    parser = _Arguments(prog="python3 -m kelvarro.batch",
                        description="Runs a sweep, or re-scores sessions, on Dask.")
    parser.add_argument("sweep", nargs="?", help="the sweep file (JSON)")
    parser.add_argument("--rescore", nargs="+", metavar=("EXERCISE.json", "SESSION"),
                        help="an exercise file, then the recorded sessions to score under it")
    parser.add_argument("--scheduler", help="a Dask scheduler's address (default: a local cluster)")
    parser.add_argument("--workers", type=int, help="local workers (default: one per core)")
    parser.add_argument("--out", default="batch-out", help="the output folder (default batch-out)")
    parser.add_argument("--index", type=int, help="run row N alone, in this process, into OUT/rows/N.csv")
    parser.add_argument("--data", help="the data folder (default: $KELVARRO_DATA or the build's)")
    args = parser.parse_args(argv)
    out = os.path.abspath(args.out)
    try:
        if args.rescore:
            if args.sweep or len(args.rescore) < 2:
                parser.error("--rescore takes an exercise file and at least one session, and no sweep file")
            rows, function = rescore_rows(args.rescore[0], args.rescore[1:]), rescore_row
        elif args.sweep:
            rows, function = expand(args.sweep, args.data), run_row
        else:
            parser.error("give a sweep file or --rescore")
        if args.workers is not None and not 1 <= args.workers <= 1024:
            parser.error("--workers is 1 to 1024")
        if args.index is not None:
            if not 0 <= args.index < len(rows):
                raise SweepError(args.sweep or args.rescore[0], "--index",
                                 f"{args.index} is not a row: the sweep has {len(rows)}")
            row = function(rows[args.index], out, args.data)
            path = os.path.join(out, "rows", f"{args.index}.csv")
            write_csv(path, [row])
            print(f"row {args.index}: {row['status']} {row['error']} -> {path}".rstrip())
            return 0 if row["status"] == "ok" else 1
        results = run_distributed(rows, out, function, args.scheduler, args.workers, args.data)
        write_csv(os.path.join(out, "results.csv"), results)
        failed = sum(r["status"] != "ok" for r in results)
        print(f"{len(results)} runs, {failed} failed: {os.path.join(out, 'results.csv')}")
        return 0
    except SweepError as e:
        print(e, file=sys.stderr)
        return 1


if __name__ == "__main__":
    sys.exit(main())
