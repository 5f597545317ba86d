#include <gtest/gtest.h>

#include "TestFiles.h"
#include "draw/Overlay.h"
#include "draw/OverlayFigures.h"

// The panel's lines from the figures: the grade coloured by its band at
// the 3 cm edges (whole centimetres shown, never "-0"), pause and replay,
// the hit's reason; the hydraulic load and the cut, a warning once the
// relief opens; a missing font names its path.
TEST(Overlay, LinesFromTheFigures)
{
    OverlayFigures f;
    f.bucketM3 = 0.5;
    f.bucketPercent = 37.5;
    f.movedM3 = 2.25;
    std::vector<OverlayLine> lines = overlayLines(f);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].text, "Bucket 0.50 m\xc2\xb3 (38%)   moved 2.25 m\xc2\xb3");
    EXPECT_EQ(lines[1].text, "Last cycle -");
    EXPECT_EQ(lines[3], (OverlayLine{"Hydraulics 0% of relief   cut 0.0 kN", LineColour::Plain}));
    f.hydraulicLoad = 0.93;
    f.cutForceKn = 84.26;
    EXPECT_EQ(overlayLines(f)[3], (OverlayLine{"Hydraulics 93% of relief   cut 84.3 kN", LineColour::Warning}));

    f.cycleSeconds = 12.0;
    f.phases = {3.0, 4.0, 2.0, 3.0};
    f.m3PerHour = 150.0;
    f.realTimeFactor = 0.5;
    EXPECT_EQ(overlayLines(f)[1].text, "Last cycle 12.0 s: dig 3.0, swing 4.0, dump 2.0, back 3.0");
    EXPECT_EQ(overlayLines(f)[2].text, "150.0 m\xc2\xb3/h (last 5 cycles)   real time \xc3\x97" "0.50");

    const struct {
        double height;
        const char* text;
        LineColour colour;
    } grades[] = {
        {0.031, "Grade +3 cm above", LineColour::AboveGrade}, {0.029, "Grade +3 cm on grade", LineColour::OnGrade},
        {-0.004, "Grade +0 cm on grade", LineColour::OnGrade}, {-0.029, "Grade -3 cm on grade", LineColour::OnGrade},
        {-0.031, "Grade -3 cm below", LineColour::BelowGrade}, {-1.234, "Grade -123 cm below", LineColour::BelowGrade},
    };
    f.gradeSet = true;
    for (const auto& g : grades) {
        f.gradeHeight = g.height;
        lines = overlayLines(f);
        ASSERT_EQ(lines.size(), 5u);
        EXPECT_EQ(lines[4].text, g.text);
        EXPECT_EQ(lines[4].colour, g.colour) << g.text;
    }
    f.paused = f.replaying = true;
    f.hitReason = "Arm on the ground: raise the boom (k)";
    lines = overlayLines(f);
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[4], (OverlayLine{"REPLAY x1.00 - PAUSED (space pauses, +/- pace, t takes over)", LineColour::Warning}));
    EXPECT_EQ(lines[6], (OverlayLine{f.hitReason, LineColour::Warning}));

    EXPECT_EQ(testfiles::fatalText([] { Overlay o("/nowhere/DejaVuSans.ttf"); }),
              "[Overlay] Font file not found: /nowhere/DejaVuSans.ttf");
}
