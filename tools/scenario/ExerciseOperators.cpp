#include "tools/scenario/ExerciseOperators.h"

#include <cmath>

#include "excavator/Excavator.h"
#include "excavator/Grade.h"
#include "input/ExcavatorController.h"
#include "world/World.h"

namespace {


constexpr double kLanded = 1.5;  // s: the machine has settled on its tracks
HeldKey hold(SDLKey key, double from, double to) { return {key, kLanded + from, kLanded + to}; }

// The cycle scenario's bite, lift, quarter-turn dump and return, every 13 s.
std::vector<HeldKey> cycleEvery(double period, int cycles)
{
    const std::vector<HeldKey> one = {
        hold(SDLK_k, 0.0, 0.7),  hold(SDLK_w, 0.0, 1.4),  hold(SDLK_l, 0.5, 1.2),  hold(SDLK_i, 1.5, 2.3),
        hold(SDLK_s, 1.5, 2.6),  hold(SDLK_j, 2.1, 2.6),  hold(SDLK_k, 2.6, 3.5),  hold(SDLK_j, 2.85, 3.15),
        hold(SDLK_a, 3.5, 4.95), hold(SDLK_l, 5.2, 6.0),  hold(SDLK_w, 5.4, 5.9),  hold(SDLK_d, 6.1, 7.55)};
    std::vector<HeldKey> keys;
    for (int c = 0; c < cycles; ++c)
        for (HeldKey k : one) {
            k.from += c * period;
            k.to += c * period;
            keys.push_back(k);
        }
    return keys;
}

}  // namespace

const std::vector<ExerciseOperator>& exerciseOperators()
{
    static const std::vector<ExerciseOperator> table = {
        {"idle", "touches nothing: the time runs out", {"idle", "", nullptr, {}, 1e9}},
        {"cycles", "the cycle scenario's bite and dump, every 13 s", {"cycles", "", nullptr, cycleEvery(13.0, 40), 1e9}},
    };
    return table;
}

const ExerciseOperator* findExerciseOperator(const std::string& name)
{
    for (const ExerciseOperator& o : exerciseOperators())
        if (name == o.name)
            return &o;
    return nullptr;
}
