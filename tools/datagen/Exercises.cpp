#include "tools/datagen/Exercises.h"

// The trench lies where a bite from the machine's start place lands: 7 by
// 3 voxel columns along x, two layers deep below the ground there. Penalties
// are per m3 (or per cm, or per s) over the allowance; bonuses are earned
// once the metric reaches the allowance. The times are set for a working
// cycle of about 10.7 s, the pace the machine's pump gives.
std::string trenchExerciseText()
{
    return R"({
  "name": "trench",
  "kind": "trench",
  "instructions": "Dig the marked trench down to grade; keep its floor on grade and dig nothing outside it.",
  "start": { "x": 3.077, "z": -1.998, "heading_deg": -4.87 },
  "time_limit_s": 225,
  "base_score": 100,
  "target": { "x": 9.625, "z": -1.719, "heading_deg": 0, "length": 2.406, "width": 1.031, "depth": 0.75,
              "finish_left_m3": 0 },
  "rules": [
    { "metric": "left_above_grade_m3", "allowance": 0.12, "points_per_unit": 50 },
    { "metric": "overdig_m3", "allowance": 0.05, "points_per_unit": 100 },
    { "metric": "dug_outside_m3", "allowance": 0.5, "points_per_unit": 20 },
    { "metric": "time_s", "allowance": 113, "points_per_unit": 0.5 },
    { "metric": "dug_to_grade_m3", "allowance": 1.4, "bonus": 10 }
  ]
}
)";
}

// The dig area is the trench's ground and as much again beside it, two
// bucket-wide lanes three layers deep (two gave too few full bites for the
// goal in the time); the hopper stands a quarter turn to the left of the
// machine, 6 m from it.
std::string hopperExerciseText()
{
    return R"({
  "name": "hopper",
  "kind": "hopper",
  "instructions": "Load at least 3 m3 from the marked area into the hopper; spill little, keep clear of its walls.",
  "start": { "x": 3.077, "z": -1.998, "heading_deg": -4.87 },
  "time_limit_s": 240,
  "base_score": 100,
  "dig_area": { "x": 9.625, "z": -1.203, "heading_deg": 0, "length": 2.406, "width": 2.062, "depth": 1.1,
                "finish_left_m3": 0 },
  "hopper": { "x": 4.3, "z": -8.0, "heading_deg": 0, "length": 3.4, "width": 3.0, "wall_height": 0.5,
              "goal_m3": 3.0 },
  "rules": [
    { "metric": "spill_pct", "allowance": 10, "points_per_unit": 2 },
    { "metric": "wall_hits", "allowance": 0, "points_per_unit": 10 },
    { "metric": "time_s", "allowance": 150, "points_per_unit": 0.25 },
    { "metric": "last_cycle_s", "allowance": 25, "points_per_unit": 1 },
    { "metric": "delivered_m3", "allowance": 3.0, "bonus": 20 }
  ]
}
)";
}

// Three posts in an arc 6 m from the machine on its front left (a rock
// stands to its right; its bucket rests straight ahead at the start), to
// be touched right to left.
std::string precisionExerciseText()
{
    return R"({
  "name": "precision",
  "kind": "precision",
  "instructions": "Touch the tops of the posts with the cutting edge, right to left, without touching their sides.",
  "start": { "x": 3.077, "z": -1.998, "heading_deg": -4.87 },
  "time_limit_s": 120,
  "base_score": 100,
  "post_width": 0.25,
  "touch_within": 0.12,
  "posts": [
    { "x": 9.157, "z": -3.648, "height": 0.8 },
    { "x": 8.299, "z": -4.954, "height": 0.8 },
    { "x": 7.261, "z": -6.014, "height": 0.8 }
  ],
  "rules": [
    { "metric": "markers_missed", "allowance": 0, "points_per_unit": 30 },
    { "metric": "post_contacts", "allowance": 0, "points_per_unit": 10 },
    { "metric": "time_s", "allowance": 60, "points_per_unit": 0.5 },
    { "metric": "markers_reached", "allowance": 3, "bonus": 10 }
  ]
}
)";
}

// The hopper's dig area; the truck stands where the hopper does, a quarter
// turn to the left, its cab away from the dig area, so that the way from
// the dig area to its body passes nowhere near the cab.
std::string truckExerciseText()
{
    return R"({
  "name": "truck",
  "kind": "truck",
  "instructions": "Load at least 3 m3 from the marked area into the truck's body; never over its cab, do not strike it, spill little, dump low.",
  "start": { "x": 3.077, "z": -1.998, "heading_deg": -4.87 },
  "time_limit_s": 240,
  "base_score": 100,
  "dig_area": { "x": 9.625, "z": -1.203, "heading_deg": 0, "length": 2.406, "width": 2.062, "depth": 1.1,
                "finish_left_m3": 0 },
  "truck": { "x": 4.3, "z": -8.0, "heading_deg": 180, "goal_m3": 3.0, "release_above_m": 1.5 },
  "rules": [
    { "metric": "cab_passes", "allowance": 0, "points_per_unit": 20 },
    { "metric": "truck_hits", "allowance": 0, "points_per_unit": 10 },
    { "metric": "high_releases", "allowance": 0, "points_per_unit": 5 },
    { "metric": "spill_pct", "allowance": 20, "points_per_unit": 2 },
    { "metric": "time_s", "allowance": 150, "points_per_unit": 0.25 },
    { "metric": "delivered_m3", "allowance": 3.0, "bonus": 20 }
  ]
}
)";
}
