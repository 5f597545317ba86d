"""Digs the trench exercise to grade through the Python interface alone.

    PYTHONPATH=build/release/python /usr/bin/python3 examples/scripted_trench.py [RECORDING.kvr]

A controller of its own over World: it reads the machine's state (joints and
their rates, the cutting edge, the grade guidance's readout, the load), the
trench's place, and how the edge would move at given joint rates, and gives
the six drives their deflections every 3 ms step. Each pass reaches out
beyond the trench's far end, lowers the lip to just above the grade, drags
it to the near end (or until the bucket is full), lifts, dumps a quarter turn
to the left (reaching out until the bucket is empty) and swings back onto the
trench's line, letting go of the slew where its brake stops it on the mark,
until the exercise ends.
Prints the score, the metrics and the floor as a heightmap shows it; with a
file name, writes the run as a session recording (`kelvarro --replay FILE`
shows it).
"""
import math
import sys

import numpy as np

import kelvarro

SLEW, BOOM, ARM, BUCKET = range(4)
STEP = kelvarro.STEP
FULL_BUCKET = 33             # soil units a full bucket holds
CARRY_PITCH = math.pi / 2    # boom + arm + bucket angles that keep the load in
EASE_AT = 0.85               # hydraulic load at which the bite eases
ABOVE = 0.08                 # m: the lip is dragged this far above the grade
BITE_BUCKET = 1.5            # rad: the bucket's angle as a bite begins


def slew_to(st, mark, within, a):
    """Slews towards `mark` and lets go where the brake stops the upper
    structure on it; True once it rests within `within` of it."""
    left = mark - math.remainder(float(st["joints"][SLEW]), 2 * math.pi)
    rate = float(st["rates"][SLEW])
    stopping = rate * rate * st["slew_inertia"] / (2.0 * kelvarro.SLEW_TORQUE)
    if abs(left) > stopping + within and rate * left >= 0.0:
        a[SLEW] = 1.0 if left > 0.0 else -1.0
        return False
    return st["slew_idle"] and abs(left) <= within


class TrenchDigger:
    def __init__(self, world):
        self.world = world
        self.t = world.exercise["trench"]
        self.stage, self.stage_time = "settle", 0.0
        self.choice, self.since_choice = [], 0.0
        self.passes, self.last_load = 0, 0

    def go(self, stage):
        if stage == "lift":
            self.last_load = self.world.state["bucket_units"]
        self.stage, self.stage_time = stage, 0.0

    def levers(self, wanted, cut):
        """Of boom and bucket (each still, up or down) with the arm pulled
        in, the set whose edge moves closest to the direction wanted
        (machine frame), and that cuts where `cut` is set."""
        w = self.world
        best, chosen = 2.0, []
        wanted = np.asarray(wanted) / np.linalg.norm(wanted)
        arm = w.drive_rate(ARM, -1.0)
        for boom in (0.0, 1.0, -1.0):
            for bucket in (0.0, 1.0, -1.0):
                vx, vy, cuts = w.edge_motion(w.drive_rate(BOOM, boom) if boom else 0.0, arm,
                                             w.drive_rate(BUCKET, bucket) if bucket else 0.0)
                speed = math.hypot(vx, vy)
                if (cut and not cuts) or speed < 1e-6:
                    continue
                cost = -(vx * wanted[0] + vy * wanted[1]) / speed
                if cost < best:
                    best, chosen = cost, [(BOOM, boom), (ARM, -1.0), (BUCKET, bucket)]
        return chosen

    def act(self):
        w, st, t = self.world, self.world.state, self.t
        a = np.zeros(6)
        slew = math.remainder(float(st["joints"][SLEW]), 2 * math.pi)
        pitch = float(np.sum(st["joints"][1:]))
        plate = float(st["joints"][3])
        hit = st["hit"] != 0
        above = st["above_grade"]
        edge = w.to_machine(st["cutting_edge"])
        centre = w.to_machine((t["x"], 0.0, t["z"]))
        # The drag runs 10 cm past the near end: only an edge that runs under
        # the floor's last voxels slices them off.
        far_end, near_end = centre[0] + t["length"] / 2 + 1.0, centre[0] - t["length"] / 2 - 0.1
        line = math.atan2(-centre[2], centre[0])  # the slewing angle over the trench's middle line
        self.stage_time += STEP

        def hold_load():
            if pitch > CARRY_PITCH + 0.05:
                a[BUCKET] = 1.0
            elif pitch < CARRY_PITCH - 0.05:
                a[BUCKET] = -1.0

        if self.stage == "settle":
            if w.time > 1.5:
                self.go("swing back")
        elif self.stage == "reach":  # boom up, arm out, bucket set open, clear of the ground
            if above < t["depth"] + 1.0 or hit:
                a[BOOM] = 1.0
            if not hit:
                if edge[0] < far_end:
                    a[ARM] = 1.0
                # Set open at the angle it bites at: opened further, the edge
                # meets the ground heel first and holds no soil.
                if self.stage_time > 0.5 and abs(plate - BITE_BUCKET) > 0.03:
                    a[BUCKET] = -1.0 if plate < BITE_BUCKET else 1.0
            if above >= t["depth"] + 0.5 and (edge[0] >= far_end or self.stage_time > 6.0) \
                    and abs(plate - BITE_BUCKET) <= 0.03:
                self.go("lower")
        elif self.stage in ("lower", "drag"):  # the lip first to just above the grade, then along it
            down = 0.5 if st["hydraulic_load"] > EASE_AT else float(np.clip(-(above - ABOVE) * 4.0, -1.0, 0.5))
            wanted = (-0.1 if self.stage == "lower" else -0.6, down)
            # Chosen anew every 0.05 s: the drives take a moment to follow.
            if self.since_choice <= 0.0:
                self.choice = self.levers(wanted, above < t["depth"] + 0.2)
                self.since_choice = 0.05
            self.since_choice -= STEP
            for drive, deflection in self.choice:
                a[drive] = deflection
            if hit:
                self.choice = [(BOOM, 1.0)]
            if self.stage == "lower" and above < ABOVE:
                self.go("drag")
            elif self.stage == "lower" and edge[0] <= near_end:
                self.go("lift")  # came down too near: lift and try again
            elif self.stage == "drag" and (edge[0] <= near_end or st["bucket_units"] >= FULL_BUCKET - 2):
                self.go("lift")
        elif self.stage == "lift":
            a[BOOM] = 1.0
            hold_load()
            if above > 1.0:
                self.go("swing out")
        elif self.stage == "swing out":
            hold_load()
            if slew_to(st, 1.5, 0.05, a):
                self.go("dump")
        elif self.stage == "dump":  # beside the trench, the arm reaching out until the bucket is empty
            a[BUCKET] = -1.0
            if self.stage_time > 0.2 and (self.stage_time < 0.7 or st["bucket_units"] > 0):
                a[ARM] = 1.0
            if self.stage_time > 1.0 and (st["bucket_units"] == 0 or self.stage_time > 3.0):
                self.go("swing back")
        elif self.stage == "swing back":  # onto the trench's line, and still
            if slew_to(st, line, 0.004, a):
                self.passes += 1
                self.go("reach")
        return a


def floor(world):
    """The ground surface the heightmap shows over the trench, clear of its
    walls (which the surface rounds off): its mean and range above grade."""
    t, cell = world.exercise["trench"], 0.05
    size = int(math.ceil(max(t["length"], t["width"]) / cell))
    heights = world.heightmap((t["x"], t["z"]), size, cell) - t["grade_level"]
    offsets = (np.arange(size) - (size - 1) / 2) * cell
    xs, zs = np.meshgrid(offsets, offsets)
    r = math.radians(t["heading_deg"])
    along = xs * math.cos(r) - zs * math.sin(r)
    across = xs * math.sin(r) + zs * math.cos(r)
    inside = (np.abs(along) < t["length"] / 2 - 0.25) & (np.abs(across) < t["width"] / 2 - 0.25)
    h = 100 * heights[inside]
    return f"{h.mean():+.1f} cm above grade, from {h.min():+.1f} to {h.max():+.1f} cm"


def main():
    world = kelvarro.World(exercise="trench")
    digger = TrenchDigger(world)
    while not world.exercise["end"]:
        world.command(digger.act())
        world.step(1)
    ex = world.exercise
    print(f"trench: {ex['end']} after {ex['elapsed']:.1f} s in {digger.passes} passes, score {ex['score']:.2f}")
    for name, value in sorted(ex["metrics"].items()):
        print(f"  {name} = {value:.4f}")
    print(f"  moved_m3 = {world.work['moved_m3']:.3f}, soil balance = {world.soil['balance']}")
    print(f"  the floor's surface (heightmap): {floor(world)}")
    if len(sys.argv) > 1:
        world.record(sys.argv[1])
        print(f"recording {sys.argv[1]}")


if __name__ == "__main__":
    main()
