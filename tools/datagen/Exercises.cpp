#include "tools/datagen/Exercises.h"

// The trench lies where a bite from the machine's start place lands: 7 by
// 3 voxel columns along x, two layers deep below the ground there. Penalties
// are per m3 (or per cm, or per s) over the allowance; bonuses are earned
// once the metric reaches the allowance.
std::string trenchExerciseText()
{
    return R"({
  "name": "trench",
  "kind": "trench",
  "instructions": "Dig the marked trench down to grade; keep its floor on grade and dig nothing outside it.",
  "start": { "x": 3.077, "z": -1.998, "heading_deg": -4.87 },
  "time_limit_s": 120,
  "base_score": 100,
  "target": { "x": 9.625, "z": -1.719, "heading_deg": 0, "length": 2.406, "width": 1.031, "depth": 0.75,
              "finish_left_m3": 0.12 },
  "rules": [
    { "metric": "left_above_grade_m3", "allowance": 0.12, "points_per_unit": 50 },
    { "metric": "overdig_m3", "allowance": 0.05, "points_per_unit": 100 },
    { "metric": "dug_outside_m3", "allowance": 0.5, "points_per_unit": 20 },
    { "metric": "time_s", "allowance": 60, "points_per_unit": 0.5 },
    { "metric": "dug_to_grade_m3", "allowance": 1.4, "bonus": 10 }
  ]
}
)";
}
