# Batch runs: the sweep file's expansion and its faults, a sweep on two
# workers equal to its rows run one by one, recordings that replay to the
# byte, and re-scoring under an edited rule.
import json
import os
import subprocess
import sys

import pytest

from kelvarro import _kelvarro, batch

BUILD = os.environ.get("KELVARRO_BUILD", os.getcwd())
DATA = batch.data_folder()


def write(path, sweep):
    path.write_text(sweep if isinstance(sweep, str) else json.dumps(sweep))
    return str(path)


def test_expansion_and_bad_sweep_files(tmp_path):
    rows = batch.expand(write(tmp_path / "s.json", {
        "defaults": {"seconds": 5},
        "runs": [{"task": "scenario:land"}],
        "grid": {"task": ["trench", "hopper"], "operator": ["idle", "reference"], "start_offset": [[0, 0], [1, 2, 30]],
                 "seed": [4]}}))
    assert len(rows) == 9 and [r["index"] for r in rows] == list(range(9))
    assert rows[0]["operator"] == "scenario" and rows[0]["seconds"] == 5.0
    # The last field varies fastest; offsets take a heading of 0 when left out.
    assert [(r["task"], r["operator"], r["start_dx"], r["start_dheading"]) for r in rows[1:4]] == [
        ("trench", "idle", 0.0, 0.0), ("trench", "idle", 1.0, 30.0), ("trench", "reference", 0.0, 0.0)]
    assert rows[8]["task"] == "hopper" and rows[8]["seed"] == 4

    bad = [
        ("{", "", "not JSON"),
        ({"runs": [{"task": "trench", "operator": "reference", "speed": 2}]}, "runs[0].speed", "unknown field"),
        ({"runs": [{"task": "moon", "operator": "idle"}]}, "runs[0].task", "not an exercise"),
        ({"runs": [{"task": "scenario:wall"}]}, "runs[0].task", "no scenario"),
        ({"runs": [{"task": "trench", "operator": "fast"}]}, "runs[0].operator", "module:function"),
        ({"runs": [{"task": "dig", "operator": "reference"}]}, "runs[0].operator", "works an exercise"),
        ({"runs": [{"task": "trench", "operator": "idle", "soil": "peat"}]}, "runs[0].soil", "not a soil"),
        ({"runs": [{"task": "trench", "operator": "m:f", "start_offset": [1, 0]}]}, "runs[0].start_offset",
         "only a scripted"),
        ({"grid": {"task": ["trench"], "operator": ["idle"], "seconds": [0]}}, "grid[task='trench', operator='idle'",
         "seconds"),
        ({"grid": {"task": []}}, "grid.task", "at least one"),
        ({"runs": []}, "runs", "no runs"),
    ]
    for i, (sweep, field, what) in enumerate(bad):
        path = write(tmp_path / f"bad{i}.json", sweep)
        with pytest.raises(batch.SweepError) as e:
            batch.expand(path)
        where = f"field '{field}" if field else what
        assert str(e.value).startswith(f"[Batch] {path}: {where}") and what in str(e.value), str(e.value)
    # The command: one tagged line, status 1.
    done = subprocess.run([sys.executable, "-m", "kelvarro.batch", path], capture_output=True, text=True)
    assert done.returncode == 1 and done.stderr.count("\n") == 1 and done.stderr.startswith("[Batch] ")


def test_local_cluster_rows_equal_rows_by_index_and_a_raising_run_is_an_error_row(tmp_path):
    sweep = write(tmp_path / "s.json", {"runs": [
        {"task": "precision", "operator": "reference", "start_offset": [0, 1, 5], "seconds": 2},
        {"task": "precision", "operator": "json:no_such_policy"},
        {"task": "trench", "operator": "cycles", "soil": "loose-sand", "seconds": 1.5},
        {"task": "precision", "operator": "reference", "seconds": 2},
        {"task": "scenario:land", "seconds": 0.5},
        {"task": "dig", "operator": "idle", "soil": "stiff-clay", "seconds": 0.5}]})
    out = tmp_path / "out"
    assert batch.main([sweep, "--workers", "2", "--out", str(out)]) == 0
    results = batch.read_csv(out / "results.csv")
    assert [r["index"] for r in results] == ["0", "1", "2", "3", "4", "5"]
    assert [r["status"] for r in results] == ["ok", "error", "ok", "ok", "ok", "ok"]
    assert "no_such_policy" in results[1]["error"]
    assert {r["soil_balance"] for r in results if r["status"] == "ok"} == {"0"}
    assert results[0]["metric_time_s"] and results[2]["points_left_above_grade_m3"]
    for i, row in enumerate(results):
        assert batch.main([sweep, "--index", str(i), "--out", str(tmp_path / "alone")]) == (row["status"] != "ok")
        alone = batch.read_csv(tmp_path / "alone" / "rows" / f"{i}.csv")[0]
        same = {k: v for k, v in row.items() if v and not k.startswith("wall")}
        assert same == {k: v for k, v in alone.items() if v and not k.startswith("wall")}
        recording = out / row["recording"]
        assert recording.exists() == (row["status"] == "ok")


def test_a_recorded_run_replays_to_the_byte_and_rescoring_changes_only_the_edited_rule(tmp_path):
    runner = _kelvarro.BatchRunner(2)
    data = DATA + "/"
    trench = os.path.join(DATA, "exercises", "trench.json")
    start = json.load(open(trench))["start"]
    moved = (start["x"] + 0.5, start["z"] - 0.5, start["heading_deg"] + 8)
    # The second run reuses the world of the first, its machine moved; its recording replays to the byte.
    for place in (None, moved):
        got = runner.run_scripted(data, "trench", trench, "reference", 6.0, "stiff-clay", place,
                                  str(tmp_path / "run.kvr"), str(tmp_path / "report"), str(tmp_path / "run.csv"))
        assert runner.worlds == 1 and got["soil_balance"] == 0
    replay = subprocess.run([os.path.join(BUILD, "kelvarro-scenario"), "--replay", str(tmp_path / "run.kvr"),
                             "--csv", str(tmp_path / "replay.csv")], cwd=BUILD, capture_output=True, text=True)
    assert replay.returncode == 0, replay.stderr
    assert (tmp_path / "run.csv").read_bytes() == (tmp_path / "replay.csv").read_bytes()

    scored = runner.rescore(data, trench, str(tmp_path / "run.kvr"))
    assert scored["metrics"] == got["metrics"] and scored["score"] == got["score"]
    rules = json.load(open(trench))
    edited = next(r for r in rules["rules"] if r["metric"] == "left_above_grade_m3")
    edited["points_per_unit"] *= 2
    (tmp_path / "strict.json").write_text(json.dumps(rules))
    strict = runner.rescore(data, str(tmp_path / "strict.json"), str(tmp_path / "run.kvr"))
    assert strict["metrics"] == got["metrics"]
    changed = {k for k in got["points"] if strict["points"][k] != got["points"][k]}
    assert changed == {"left_above_grade_m3"} and got["points"]["left_above_grade_m3"] < 0
    assert strict["points"]["left_above_grade_m3"] == 2 * got["points"]["left_above_grade_m3"]
    assert strict["score"] - scored["score"] == pytest.approx(got["points"]["left_above_grade_m3"])
