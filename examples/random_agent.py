"""Random actions on one environment: an episode's return and the speed.

    PYTHONPATH=build/release/python /usr/bin/python3 examples/random_agent.py [TASK] [SECONDS]
"""
import sys
import time

import kelvarro

task = sys.argv[1] if len(sys.argv) > 1 else "trench"
seconds = float(sys.argv[2]) if len(sys.argv) > 2 else 30.0
env = kelvarro.Env(task, control_hz=10, time_limit=seconds)
obs, info = env.reset(seed=0)
total, steps, done = 0.0, 0, False
began = time.perf_counter()
while not done:
    obs, reward, terminated, truncated, info = env.step(env.action_space.sample())
    total += reward
    steps += 1
    done = terminated or truncated
wall = time.perf_counter() - began
print(f"{task}: {steps} actions, {info['time']:.1f} s simulated in {wall:.2f} s "
      f"({info['time'] / wall:.0f}x real time), return {total:.4f}, "
      f"{'goal met' if terminated else 'time up'}, moved {info['moved_m3']:.3f} m3, score {info['score']:.1f}")
