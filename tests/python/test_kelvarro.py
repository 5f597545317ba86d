# The Python package: the environment's contract, many at once equal to one
# by one, recordings that replay to the same trace, and bad arguments.
import math
import os
import subprocess

import numpy as np
import pytest

import kelvarro


def run(env, actions):
    out = []
    for a in actions:
        obs, reward, terminated, truncated, info = env.step(a)
        out.append((obs.tobytes(), reward, terminated, truncated, info["soil"]))
        if terminated or truncated:
            break
    return out


def test_env_contract_and_same_seed_same_episode():
    env = kelvarro.Env("trench", patch=8)
    obs_space, act_space = env.observation_space, env.action_space
    assert obs_space.shape == (kelvarro.STATE_SIZE + 64,) and obs_space.dtype == np.float32
    assert act_space.shape == (6,) and act_space.dtype == np.float32
    assert np.all(act_space.low == -1) and np.all(act_space.high == 1)
    obs, info = env.reset(seed=3)
    assert obs.dtype == np.float32 and obs_space.contains(obs) and set(info) >= {"soil", "metrics", "time"}
    actions = [act_space.sample() for _ in range(15)]
    assert all(act_space.contains(a) for a in actions)
    first = run(env, actions)
    obs, reward, terminated, truncated, info = env.step(actions[0])
    assert isinstance(reward, float) and type(terminated) is bool and type(truncated) is bool
    assert info["time"] == pytest.approx(16 * 33 * kelvarro.STEP)
    assert obs[0] != first[0][0]  # the machine moved on
    # Reset restores the start: the same actions give the same episode to the byte.
    env.reset(seed=3)
    assert run(env, actions) == first


def test_terminated_and_truncated_are_apart():
    # The time limit truncates; the goal met terminates; never both; then reset is due.
    env = kelvarro.Env("dig", time_limit=0.45)  # five actions of 0.099 s
    env.reset()
    flags = [env.step(np.zeros(6))[2:4] for _ in range(5)]
    assert flags[:4] == [(False, False)] * 4 and flags[4] == (False, True)
    with pytest.raises(ValueError, match="call reset"):
        env.step(np.zeros(6))
    env = kelvarro.Env("dig", dig_goal_m3=0.0)
    env.reset()
    assert env.step(np.zeros(6))[2:4] == (True, False)


def test_vector_env_equals_single_envs_and_keeps_final_observation():
    n, steps = 2, 8
    vec = kelvarro.VectorEnv(n, "dig", time_limit=0.5, patch=4)
    singles = [kelvarro.Env("dig", time_limit=0.5, patch=4) for _ in range(n)]
    rng = np.random.default_rng(7)
    actions = rng.uniform(-1, 1, (steps, n, 6)).astype(np.float32)
    obs, _ = vec.reset(seed=1)
    assert obs.shape == (n, kelvarro.STATE_SIZE + 16)
    for i, env in enumerate(singles):
        assert env.reset(seed=1 + i)[0].tobytes() == obs[i].tobytes()
    ended = 0
    for t in range(steps):
        obs, rewards, terminated, truncated, info = vec.step(actions[t])
        for i, env in enumerate(singles):
            o, r, te, tr, inf = env.step(actions[t, i])
            assert (rewards[i], terminated[i], truncated[i]) == (r, te, tr)
            assert inf == (info["final_info"][i] if te or tr else info["envs"][i])
            if te or tr:
                ended += 1
                assert info["_final_observation"][i] and info["final_observation"][i].tobytes() == o.tobytes()
                o, _ = env.reset()
            assert obs[i].tobytes() == o.tobytes()
    assert ended == n


def test_recorded_episode_replays_to_the_same_trace(tmp_path):
    world = kelvarro.World(exercise="trench", soil="stiff-clay", trace=True)
    world.step(20100)  # longer than a recording's lines may lie apart
    rng = np.random.default_rng(5)
    # Keys (+-1), released drives (0), dead-zone and partial deflections.
    choices = np.array([-1.0, -0.6, -0.05, 0.0, 0.3, 0.999, 1.0])
    for _ in range(12):
        asked = rng.choice(choices, 6)
        taken = world.command(asked)
        expected = np.where(np.abs(asked) < 0.09, 0.0, asked)
        assert np.all(np.abs(taken - expected) <= 0.5 / 32768)
        assert np.all(taken[np.abs(asked) == 1] == asked[np.abs(asked) == 1])
        world.step(25)
    saved = world.save()
    world.command(np.ones(6))
    world.step(40)
    world.restore(saved)  # the branch given up is not in the recording
    world.step(7)
    path = tmp_path / "episode.kvr"
    world.record(str(path))
    assert "\nsoil stiff-clay\n" in path.read_text()  # replayed in the ground it was run in
    csv = tmp_path / "replay.csv"
    scenario = os.path.join(os.environ["KELVARRO_BUILD"], "kelvarro-scenario")
    done = subprocess.run([scenario, "--replay", str(path), "--csv", str(csv)], cwd=os.environ["KELVARRO_BUILD"],
                          capture_output=True, text=True)
    assert done.returncode == 0, done.stderr
    lines = csv.read_text().splitlines()
    assert lines[0] == ",".join(kelvarro.World.trace_header)
    rows = world.trace()
    assert len(rows) == world.step_count == len(lines) - 1 == 20100 + 12 * 25 + 7
    assert [",".join("%.9g" % v for v in row) for row in rows] == lines[1:]


def test_soil_chosen_by_name_sets_the_cutting_force():
    # The same bite in each soil: the harder the soil, the harder the cut.
    keys = [(1, 1, 0, 1.55), (2, 1, 1.55, 3.1), (3, -1, 2.5, 3.69), (1, -1, 3.5, 4.13), (2, -1, 4.38, 6.5),
            (3, 1, 4.53, 6.5), (1, -1, 4.98, 5.77)]
    peaks = []
    for soil in ("loose-sand", "common-earth", "stiff-clay"):
        env = kelvarro.Env("dig", control_hz=1 / 0.03, soil=soil, time_limit=6.5, patch=1)
        assert env.world.soil_type == soil
        env.reset()
        peak = 0.0
        for t in np.arange(0.0, 6.5, 0.03):
            action = np.zeros(6)
            for drive, sign, begin, end in keys:
                action[drive] += sign if begin <= t < end else 0.0
            obs = env.step(action)[0]
            assert obs[19] == env.world.state["cut_force_kn"] and 0 <= obs[20] < 1.5
            peak = max(peak, obs[19])
        peaks.append(peak)
    assert 0 < peaks[0] < peaks[1] < peaks[2]


def test_edge_motion_predicts_how_the_edge_moves():
    # What a controller plans with: the edge's velocity at the joints' rates,
    # in the machine's frame, against the edge's motion over the next steps.
    world = kelvarro.World(exercise="trench")
    world.command([0, 1, 0, 0, 0, 0])
    world.step(900)  # landed, the bucket lifted clear of the ground
    for drives in ([0, 1, 0.5, 0, 0, 0], [0, -0.5, 0, -1, 0, 0]):
        world.command(drives)
        world.step(100)
        vx, vy, _ = world.edge_motion(*world.state["rates"][1:4])
        before = np.array(world.to_machine(world.state["cutting_edge"]))
        world.step(4)
        moved = (np.array(world.to_machine(world.state["cutting_edge"])) - before) / (4 * kelvarro.STEP)
        # The machine's origin shifts as its arm moves: the direction is what a plan takes.
        speed, measured = math.hypot(vx, vy), math.hypot(*moved[:2])
        assert speed > 0.1 and np.dot(moved[:2], [vx, vy]) / (speed * measured) > 0.97


def test_slew_stops_where_its_inertia_and_torque_say():
    # A controller lets go of the slew this far ahead of its mark.
    world = kelvarro.World(exercise="trench")
    world.step(500)
    assert world.state["slew_idle"]
    world.command([1, 0, 0, 0, 0, 0])
    world.step(700)
    st = world.state
    rate, start = float(st["rates"][0]), float(st["joints"][0])
    predicted = rate * rate * st["slew_inertia"] / (2 * kelvarro.SLEW_TORQUE)
    assert not st["slew_idle"] and rate > 0.2
    world.command([0, 0, 0, 0, 0, 0])
    for _ in range(2000):
        world.step(1)
        if world.state["slew_idle"]:
            break
    travelled = float(world.state["joints"][0]) - start
    assert world.state["slew_idle"] and abs(travelled - predicted) < 0.1 * predicted


def test_bad_arguments_raise_clear_errors():
    cases = [
        (lambda: kelvarro.Env("canal"), "unknown task 'canal'"),
        (lambda: kelvarro.Env("dig", control_hz=0), "control_hz"),
        (lambda: kelvarro.World(exercise="nope"), r"\[Exercise\]"),
        (lambda: kelvarro.World(exercise="../x"), r"\["),
        (lambda: kelvarro.World(soil="clay"), r"\[World\] unknown soil 'clay'.*stiff-clay"),
        (lambda: kelvarro.World().command([0.5] * 5), "six drives|6 drives"),
        (lambda: kelvarro.World().command([0, 0, 2, 0, 0, 0]), r"\[World\] drive 2"),
        (lambda: kelvarro.World().step(-1), "negative"),
        (lambda: kelvarro.World().heightmap((0, 0), 0, 1.0), "heightmap"),
        (lambda: kelvarro.World().drive_rate(0, 1.0), "arm drive"),
    ]
    env = kelvarro.Env("dig")
    env.reset()
    cases += [
        (lambda: env.step(np.zeros(5)), r"6 drives, got shape \(5,\)"),
        (lambda: env.step([0, 0, np.nan, 0, 0, 0]), "finite"),
        (lambda: kelvarro.VectorEnv(2, "dig").step(np.zeros(6)), "shape"),
    ]
    for make, message in cases:
        with pytest.raises(ValueError, match=message):
            make()
