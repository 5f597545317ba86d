"""A cross-entropy search (numpy only) over six durations of a dig-and-dump
cycle, each candidate a copy of the dig task on a VectorEnv: prints, per
iteration, the best soil moved per minute so far and the elite's mean.

    PYTHONPATH=build/release/python /usr/bin/python3 examples/search_dig.py [ITERATIONS] [POPULATION]
"""
import sys

import numpy as np

import kelvarro

ITERATIONS = int(sys.argv[1]) if len(sys.argv) > 1 else 6
POPULATION = int(sys.argv[2]) if len(sys.argv) > 2 else 8
ELITE = max(2, POPULATION // 4)
EPISODE_S = 20.0
SLEW, BOOM, ARM, BUCKET = 0, 1, 2, 3  # kelvarro.DRIVES

# Reach (arm out), lower (boom down), drag (arm in), lift (boom up), slew, dump: s.
NAMES = ("reach", "lower", "drag", "lift", "slew", "dump")
START = np.array([1.4, 0.8, 1.1, 0.9, 1.45, 0.8])


def cycle(p):
    """The held levers of one cycle, (drive, sign, from, to) in s, and its length."""
    reach, lower, drag, lift, slew, dump = np.clip(p, 0.1, 4.0)
    t = reach + 0.1
    u = t + drag + lift
    v = u + slew
    w = v + 0.35 + dump
    levers = [(BOOM, 1, 0.0, 0.7), (ARM, 1, 0.0, reach), (BUCKET, -1, 0.5, max(0.5, reach - 0.2)),
              (BOOM, -1, t, t + lower), (ARM, -1, t, t + drag), (BUCKET, 1, t + drag - 0.5, t + drag),
              (BOOM, 1, t + drag, u), (BUCKET, 1, t + drag + 0.25, t + drag + 0.55),
              (SLEW, 1, u, v), (BUCKET, -1, v + 0.25, v + 0.25 + dump), (ARM, 1, v + 0.45, v + 0.95),
              (SLEW, -1, w, w + slew)]
    return levers, w + slew + 0.3


def action(p, time):
    levers, length = cycle(p)
    t = time % length
    a = np.zeros(6, np.float32)
    for drive, sign, start, end in levers:
        if start <= t < end:
            a[drive] = sign
    return a


def evaluate(vec, population):
    obs, _ = vec.reset()
    period = vec.envs[0].steps_per_action * kelvarro.STEP
    moved = np.zeros(len(population))
    for k in range(vec.envs[0].max_actions):
        time = (k + 0.5) * period
        _, _, terminated, truncated, info = vec.step(np.stack([action(p, time) for p in population]))
        for i in np.flatnonzero(terminated | truncated):
            moved[i] = info["final_info"][i]["moved_m3"]
    return moved * 60.0 / EPISODE_S  # m3 per minute


vec = kelvarro.VectorEnv(POPULATION, "dig", time_limit=EPISODE_S, dig_goal_m3=1e9, patch=1)
rng = np.random.default_rng(1)
mean, std = START.copy(), np.full(len(START), 0.4)
best, best_p = -1.0, START
print("iteration  best m3/min  elite mean m3/min")
for it in range(ITERATIONS):
    population = np.clip(mean + std * rng.standard_normal((POPULATION, len(START))), 0.1, 4.0)
    population[0] = best_p  # the best so far, scored again: the world is deterministic
    scores = evaluate(vec, population)
    elite = population[np.argsort(scores)[-ELITE:]]
    if scores.max() > best:
        best, best_p = scores.max(), population[np.argmax(scores)]
    mean, std = elite.mean(axis=0), np.maximum(elite.std(axis=0), 0.05)
    print(f"{it:9d}  {best:11.3f}  {np.sort(scores)[-ELITE:].mean():17.3f}", flush=True)
print("best durations (s): " + ", ".join(f"{n} {v:.2f}" for n, v in zip(NAMES, best_p)))
