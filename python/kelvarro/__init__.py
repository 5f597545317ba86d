"""The Kelvarro excavator simulator from Python.

kelvarro.World      one world: step, command the six drives, state, ground
                    heights, soil ledger, work meter, save/restore, trace
                    rows and session recordings;
kelvarro.Env        a learning environment over a task (see kelvarro.env);
kelvarro.VectorEnv  n environments stepped on C++ threads at once.
Errors from the simulator arrive as kelvarro.Error (a ValueError) with the
tagged line, e.g. "[Exercise] ...".
"""
from ._kelvarro import DRIVES, SLEW_TORQUE, STATE_SIZE, STEP, Error, Pool, State, World
from .env import TASKS, Box, Env, VectorEnv

__all__ = ["World", "State", "Pool", "Error", "Env", "VectorEnv", "Box", "TASKS", "DRIVES", "STEP",
           "STATE_SIZE", "SLEW_TORQUE"]
