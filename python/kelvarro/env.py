"""Learning environments over the simulator.

Env(task, control_hz=10, patch=16, cell=0.5, time_limit=None, dig_goal_m3=2.0,
    score_weight=0.01, soil_weight=1.0, soil=None, data=None)

Tasks: "trench", "hopper", "precision", "truck" (the exercises of data/exercises/) and
"dig" (the bare world: fill the bucket and dump it beside). `soil`: the
ground's soil, a name in data/soils.json (None: the file's default).

Action: float32[6] in [-1, 1], the drives in kelvarro.DRIVES order (slewing,
monoblock, bending arm, ground plate, left track, right track); finite values
beyond the bounds are clipped. An action is held for
round(1 / (control_hz * 0.003)) world steps of 3 ms (33 at 10 Hz). Drives
take deflections as a joystick gives them: 0 and +-1 exactly, others in
steps of 1/32768 and 0 within about 0.098 (the axis's dead zone), so an
episode can be written as a session recording and replayed to the byte.

Observation: float32[21 + patch * patch]
   0- 2  machine position x, y, z (m)
   3- 5  yaw, pitch, roll (rad)
   6- 9  joint angles: slewing, monoblock, bending arm, ground plate (rad)
  10-13  their rates (rad/s)
  14     soil in the bucket (m3)
  15     hit cause (0: none; the machine's JointHit causes)
  16-18  middle of the bucket's cutting edge x, y, z (m)
  19     the soil's force on the cutting edge (kN, 0 out of the ground)
  20     hydraulic load: the busiest arm function's pressure over its
         relief (1: the relief opens and the function stalls)
  21-    ground heights relative to the cutting edge (m, positive above it)
         in a patch x patch square of `cell` m centred below the edge, row
         by row along z, columns along x; 0 off the terrain.

Reward, per step, the sum of two terms (both in info["reward_terms"]):
  score  score_weight * the change of the exercise's score (base plus its
         rules' points; 0 for "dig");
  soil   soil_weight * the change of the soil moved (m3 dug and released
         again, as the work meter counts it).

terminated: the task's goal is met (an exercise's "goal met"; for "dig",
at least dig_goal_m3 moved). truncated: the time is up (an exercise's time
limit, or after ceil(time_limit / action period) actions when time_limit is
given; "dig" defaults to 60 s) and the goal is not met. Never both.

info: "time" (s since the episode's start), "soil" (this step's changes of
the soil ledger in voxel units: "dug" out of the ground, "bucket" held,
"delivered" released again after digging, "spilled" lost over the terrain's
edge, "loose" grains falling or sliding; "unit_m3" the volume of one unit),
"moved_m3", "score", "metrics" (the exercise's, {} for "dig"),
"reward_terms".

reset(seed=None, options=None) restores the start state (the world is
deterministic: the seed only seeds action_space.sample()).
"""
import math
import os

import numpy as np

from . import _kelvarro

TASKS = ("trench", "hopper", "precision", "truck", "dig")
_FIGURES = ("dug", "bucket", "delivered", "spilled", "loose", "moved_m3", "score")
_LAND_STEPS = 333  # "dig" starts after a second of landing


class Box:
    """A box of float values: shape, low, high, dtype, sample(), contains()."""

    def __init__(self, low, high, shape, dtype=np.float32, seed=None):
        self.shape = tuple(shape)
        self.dtype = np.dtype(dtype)
        self.low = np.full(self.shape, low, dtype=self.dtype)
        self.high = np.full(self.shape, high, dtype=self.dtype)
        self.seed(seed)

    def seed(self, seed=None):
        self.np_random = np.random.default_rng(seed)
        return [seed]

    def sample(self):
        low = np.where(np.isfinite(self.low), self.low, -1e6).astype(np.float64)
        high = np.where(np.isfinite(self.high), self.high, 1e6).astype(np.float64)
        return self.np_random.uniform(low, high).astype(self.dtype)

    def contains(self, x):
        x = np.asarray(x)
        return (x.shape == self.shape and np.can_cast(x.dtype, self.dtype)
                and bool(np.all(x >= self.low)) and bool(np.all(x <= self.high)))

    __contains__ = contains

    def __repr__(self):
        return f"Box({self.low.min()}, {self.high.max()}, {self.shape}, {self.dtype})"


def _box(low, high, shape):
    try:
        from gymnasium.spaces import Box as GymBox
    except ImportError:
        return Box(low, high, shape, np.float32)
    return GymBox(low, high, shape, np.float32)


def _fail(text):
    raise ValueError("[Env] " + text)


def _finite(actions, shape, what):
    """The actions as float64, clipped to [-1, 1]; a wrong shape or a value that is not finite fails."""
    a = np.asarray(actions, dtype=np.float64)
    if a.shape != shape:
        _fail(f"{what}, got shape {a.shape}")
    if not np.all(np.isfinite(a)):
        _fail(f"an action must be finite, got {a.tolist()}")
    return np.minimum(np.maximum(a, -1.0), 1.0)  # as np.clip, without its slow path for small arrays


class Env:
    metadata = {"render_modes": []}
    render_mode = None

    def __init__(self, task, control_hz=10, patch=16, cell=0.5, time_limit=None, dig_goal_m3=2.0,
                 score_weight=0.01, soil_weight=1.0, soil=None, data=None):
        if task not in TASKS:
            _fail(f"unknown task {task!r}: one of {', '.join(TASKS)}")
        if not (isinstance(control_hz, (int, float)) and 0 < control_hz <= 1 / _kelvarro.STEP):
            _fail(f"control_hz {control_hz!r} is not in (0, {1 / _kelvarro.STEP:.0f}]")
        if not (isinstance(patch, int) and 1 <= patch <= 256):
            _fail(f"patch {patch!r} is not a whole number in [1, 256]")
        if time_limit is not None and not (isinstance(time_limit, (int, float)) and time_limit > 0):
            _fail(f"time_limit {time_limit!r} is not a positive number of seconds")
        self.task = task
        self.patch, self.cell = patch, float(cell)
        self.score_weight, self.soil_weight = float(score_weight), float(soil_weight)
        self.dig_goal_m3 = float(dig_goal_m3)
        self.steps_per_action = max(1, round(1 / (control_hz * _kelvarro.STEP)))
        self.world = _kelvarro.World(exercise=None if task == "dig" else task, soil=soil, data=data)
        exercise = self.world.exercise
        if exercise is None:
            self.world.step(_LAND_STEPS)
        self.time_limit = float(time_limit if time_limit is not None
                                else exercise["time_limit"] if exercise else 60.0)
        self.world.observation(patch, self.cell)  # checks the cell size once
        self._unit_m3 = self.world.soil["unit_m3"]
        self._exercise = exercise is not None
        self._start = self.world.save()
        self._start_time = self.world.time
        self.observation_space = _box(-np.inf, np.inf, (_kelvarro.STATE_SIZE + patch * patch,))
        self.action_space = _box(-1.0, 1.0, (len(_kelvarro.DRIVES),))
        self.max_actions = math.ceil(self.time_limit / (self.steps_per_action * _kelvarro.STEP) - 1e-9)
        self._done = True

    # The figures a step's reward and info are the changes of.
    def _figures(self):
        now = dict(zip(_FIGURES, self.world.figures()))
        now["metrics"] = self.world.exercise["metrics"] if self._exercise else {}
        return now

    def reset(self, seed=None, options=None):
        if options:
            _fail(f"no options are taken, got {sorted(options)}")
        if seed is not None:
            self.action_space.seed(seed)
            self.observation_space.seed(seed)
        self.world.restore(self._start)
        self._last = self._figures()
        self._done = False
        self._actions = 0
        obs = self.world.observation(self.patch, self.cell)
        return obs, self._info(self._last, {"score": 0.0, "soil": 0.0})

    def _info(self, now, terms):
        last = self._last
        soil = {k: now[k] - last[k] for k in ("dug", "bucket", "delivered", "spilled", "loose")}
        soil["unit_m3"] = self._unit_m3
        return {"time": self.world.time - self._start_time, "soil": soil, "moved_m3": now["moved_m3"],
                "score": now["score"], "metrics": now["metrics"], "reward_terms": terms}

    def _begin(self):
        if self._done:
            _fail("the episode has ended: call reset()")
        self._actions += 1

    def _apply(self, action):
        a = _finite(action, self.action_space.shape, f"an action is {self.action_space.shape[0]} drives")
        self._begin()
        self.world.command(a)

    def _finish(self, obs=None):
        now = self._figures()
        terms = {"score": self.score_weight * (now["score"] - self._last["score"]),
                 "soil": self.soil_weight * (now["moved_m3"] - self._last["moved_m3"])}
        info = self._info(now, terms)
        self._last = now
        exercise = self.world.exercise
        if exercise:
            terminated = exercise["end"] == "goal met"
            truncated = not terminated and (exercise["end"] == "time up" or self._actions >= self.max_actions)
        else:
            terminated = now["moved_m3"] >= self.dig_goal_m3
            truncated = not terminated and self._actions >= self.max_actions
        self._done = terminated or truncated
        if obs is None:
            obs = self.world.observation(self.patch, self.cell)
        return obs, float(terms["score"] + terms["soil"]), terminated, truncated, info

    def step(self, action):
        self._apply(action)
        self.world.step(self.steps_per_action)
        return self._finish()

    def close(self):
        pass


class VectorEnv:
    """n Envs of one task stepped at once on a pool of C++ threads.

    step(actions[n, 6]) -> (obs[n, ...], rewards[n], terminated[n], truncated[n], info).
    A copy whose episode ended is reset at once: its row of obs is the new
    episode's first observation; info["final_observation"][i] and
    info["final_info"][i] keep the ended one's (None elsewhere), masked by
    info["_final_observation"]. info["envs"] is every copy's own info.
    Results equal n single Envs given the same actions, to the byte.
    """

    def __init__(self, n, task, threads=None, **kwargs):
        if not (isinstance(n, int) and n >= 1):
            _fail(f"a vector of {n!r} environments: n must be a whole number >= 1")
        self.num_envs = n
        self.envs = [Env(task, **kwargs) for _ in range(n)]
        self.pool = _kelvarro.Pool(threads or min(n, os.cpu_count() or 1))
        self._worlds = [env.world for env in self.envs]
        self.single_observation_space = self.envs[0].observation_space
        self.single_action_space = self.envs[0].action_space
        self.observation_space = _box(-np.inf, np.inf, (n,) + self.single_observation_space.shape)
        self.action_space = _box(-1.0, 1.0, (n,) + self.single_action_space.shape)

    def reset(self, seed=None, options=None):
        seeds = [None if seed is None else seed + i for i in range(self.num_envs)]
        if seed is not None:
            self.action_space.seed(seed)
        results = [env.reset(seed=s, options=options) for env, s in zip(self.envs, seeds)]
        return np.stack([r[0] for r in results]), {"envs": [r[1] for r in results]}

    def step(self, actions):
        actions = _finite(actions, self.action_space.shape,
                          f"actions for {self.num_envs} environments have shape {self.action_space.shape}")
        for env in self.envs:
            env._begin()
        first = self.envs[0]
        obs = self.pool.advance(self._worlds, actions, first.steps_per_action, first.patch, first.cell)
        n = self.num_envs
        # Python lists turned into arrays once: the part between two steps
        # runs alone, so it is kept short.
        rewards, terminated, truncated, infos = [0.0] * n, [False] * n, [False] * n, [None] * n
        final_obs, final_info = np.full(n, None, object), np.full(n, None, object)
        for i, env in enumerate(self.envs):
            _, rewards[i], terminated[i], truncated[i], infos[i] = env._finish(obs[i])
            if terminated[i] or truncated[i]:
                final_obs[i], final_info[i] = obs[i].copy(), infos[i]
                obs[i], infos[i] = env.reset()
        terminated, truncated = np.array(terminated), np.array(truncated)
        ended = terminated | truncated
        return obs, np.array(rewards), terminated, truncated, {
            "envs": infos, "final_observation": final_obs, "_final_observation": ended,
            "final_info": final_info, "_final_info": ended}

    def close(self):
        pass
