#pragma once

#include <gtest/gtest.h>

#include "tools/scenario/Scenario.h"

// Whatever a scenario did, its soil ledger agrees with a full recount and
// no soil was lost or made.
inline void expectSoilBalanced(const ScenarioRun& run)
{
    const SoilLedger kept = sceneSoil(run.scene), counted = sceneSoil(run.scene, true);
    EXPECT_EQ(kept.ground, counted.ground);
    EXPECT_EQ(kept.buckets, counted.buckets);
    EXPECT_EQ(kept.total(), run.startSoil) << "balance";
}
