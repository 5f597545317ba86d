#include "tools/datagen/Soils.h"

// Each value is the one picked from the published range named beside it;
// the sources are listed in the README. Angles in degrees, stresses in kPa,
// bulk densities in kg/m3.
std::string soilsText()
{
    return R"json({
  "default": "common-earth",
  "soils": [
    { "name": "loose-sand",
      "bank": { "density": 1600, "cohesion_kpa": 0, "friction_deg": 30, "tool_friction_deg": 20, "adhesion_kpa": 0,
                "source": "density 1500-1650 (Methvin); c 0 (tillage defaults); phi 27-32 (Look T7.8, ce-ref); delta 0.5-0.7 phi (tillage defaults, Miedema 2.4.6)" },
      "loose": { "density": 1420, "cohesion_kpa": 0, "friction_deg": 30, "tool_friction_deg": 20, "adhesion_kpa": 0,
                 "source": "swell 12 % (Methvin); phi at repose (Performance Handbook 30-2)" } },
    { "name": "common-earth",
      "bank": { "density": 1850, "cohesion_kpa": 10, "friction_deg": 28, "tool_friction_deg": 18, "adhesion_kpa": 0,
                "source": "moist loam: density 1700-2020 (Methvin, ce-ref); c 5-20 and phi 20-35 (tillage defaults, Look T7.8-7.9)" },
      "loose": { "density": 1500, "cohesion_kpa": 0, "friction_deg": 30, "tool_friction_deg": 20, "adhesion_kpa": 0,
                 "source": "swell about 25 % (Methvin); cohesion lost on disturbance (Look)" } },
    { "name": "stiff-clay",
      "bank": { "density": 1950, "cohesion_kpa": 60, "friction_deg": 0, "tool_friction_deg": 0, "adhesion_kpa": 30,
                "source": "saturated, undrained: density 1900-2080 (ce-ref, Methvin); s_u 48-96 (ce-ref, NAVFAC DM-7.02); adhesion 0.3-0.6 s_u (unverified)" },
      "loose": { "density": 1450, "cohesion_kpa": 5, "friction_deg": 25, "tool_friction_deg": 15, "adhesion_kpa": 5,
                 "source": "swell 25-40 % (Methvin, spikevm); c, phi, delta, adhesion by judgement" } }
  ]
}
)json";
}
