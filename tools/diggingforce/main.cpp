// diggingforce [PRESSURE_MPA]: the machine's bucket digging force and arm
// crowd force as ISO 6015 calculates them, at the relief pressure unless
// another is given. Run from the build folder (reads data/koparka.obj).
#include <cstdio>
#include <exception>

#include "excavator/DiggingForce.h"
#include "excavator/Excavator.h"
#include "excavator/Hydraulics.h"
#include "tools/ToolArguments.h"

int main(int argc, char** argv)
{
    double pressure = hydraulics::reliefPressure / 1e6;
    if (argc > 2 || (argc == 2 && (!toolargs::readDouble(argv[1], pressure) || pressure <= 0.0 || pressure > 100.0))) {
        std::fprintf(stderr, "usage: diggingforce [PRESSURE_MPA]   (a pressure above 0 and up to 100 MPa)\n");
        return 1;
    }
    try {
        Excavator machine(nullptr);
        const RatedForces r = ratedDiggingForces(armPivots(machine.meshes), pressure * 1e6);
        const double degrees = 57.29577951308232;
        std::printf("relief %.1f MPa; cylinders (bore/rod mm): boom 2 x %.0f/%.0f, arm %.0f/%.0f, bucket %.0f/%.0f\n",
                    pressure, hydraulics::boom.bore * 1e3, hydraulics::boom.rod * 1e3, hydraulics::arm.bore * 1e3,
                    hydraulics::arm.rod * 1e3, hydraulics::bucket.bore * 1e3, hydraulics::bucket.rod * 1e3);
        std::printf("bucket digging force %.1f kN (bucket at %.1f deg)\n", r.bucket / 1e3, r.bucketAngle * degrees);
        std::printf("arm crowd force %.1f kN (arm at %.1f deg, bucket at %.1f deg)\n", r.arm / 1e3,
                    r.armAngle * degrees, r.armBucketAngle * degrees);
    } catch (const char* message) {
        std::fprintf(stderr, "[diggingforce] %s\n", message);
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "[diggingforce] %s\n", e.what());
        return 1;
    }
    return 0;
}
