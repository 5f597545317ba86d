"""The Python package's speed, as ratios measured in one run (the machine is shared).

    cd build/release && PYTHONPATH=python /usr/bin/python3 ../../examples/bench.py [SECONDS]

Prints one Env at 10 Hz with random actions (simulated seconds per wall
second) next to the C++ scenario runner on the same task (the dig), a
VectorEnv(2)'s actions per second over one Env's, and reset()'s time.
"""
import re
import subprocess
import sys
import time

import numpy as np

import kelvarro

seconds = float(sys.argv[1]) if len(sys.argv) > 1 else 30.0


def env_rate(env, actions):
    env.reset(seed=0)
    began = time.perf_counter()
    for _ in range(actions):
        *_, terminated, truncated, _ = env.step(env.action_space.sample())
        if terminated or truncated:
            env.reset()
    return actions / (time.perf_counter() - began)


actions = round(seconds / 0.099)
env = kelvarro.Env("dig", control_hz=10, time_limit=seconds)
one = env_rate(env, actions)
runner = subprocess.run(["./kelvarro-scenario", "dig", "--seconds", str(seconds)], capture_output=True, text=True)
cpp = float(re.search(r"rtf=([0-9.]+)", runner.stdout).group(1))
vec = kelvarro.VectorEnv(2, "dig", time_limit=seconds)
vec.reset(seed=0)
rng = np.random.default_rng(0)
began = time.perf_counter()
for _ in range(actions):
    vec.step(rng.uniform(-1, 1, (2, 6)))
two = 2 * actions / (time.perf_counter() - began)
resets = []
for _ in range(20):
    env.step(env.action_space.sample())
    began = time.perf_counter()
    env.reset()
    resets.append(time.perf_counter() - began)
print(f"Env(dig) 10 Hz random: {one * 0.099:.1f}x real time; C++ runner on dig: {cpp:.1f}x "
      f"(Env at {one * 0.099 / cpp:.2f} of it)")
print(f"VectorEnv(2): {two:.0f} actions/s, one Env {one:.0f} actions/s: {two / one:.2f}x")
print(f"reset: median {np.median(resets) * 1e3:.2f} ms, max {max(resets) * 1e3:.2f} ms")
