#pragma once

#include <algorithm>
#include <initializer_list>
#include <vector>

#include "tools/scenario/Scenario.h"

// Holds exactly the levers wanted this step: pushes them (every step, as
// key repeat gives a held key again) and lets go of those held last step
// and no longer wanted.
class LeverHand {
public:
    void want(std::initializer_list<Lever> levers) { wanted.insert(wanted.end(), levers); }
    void apply(Excavator& machine)
    {
        for (const Lever& k : held)
            if (std::find(wanted.begin(), wanted.end(), k) == wanted.end())
                pushLever(machine, k, false);
        for (const Lever& k : wanted)
            pushLever(machine, k);
        held.swap(wanted);
        wanted.clear();
    }

private:
    std::vector<Lever> held, wanted;
};
