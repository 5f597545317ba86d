#include "python/RunCache.h"

#include <fstream>
#include <iterator>

#include "base/Error.h"
#include "excavator/Excavator.h"
#include "input/SessionFormat.h"

namespace {

std::string fileText(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

}  // namespace

std::unique_ptr<PreparedWorld> RunCache::build(const std::string& data, const std::string& exerciseFile,
                                               const std::string& soil)
{
    auto p = std::make_unique<PreparedWorld>();
    p->data = data;
    p->exerciseFile = exerciseFile;
    p->exerciseText = fileText(exerciseFile);
    p->soil = soil;
    p->world = std::make_unique<World>(data);
    World& w = *p->world;
    if (!soil.empty() && !w.chooseSoil(soil)) {
        std::string known;
        for (const SoilType& s : w.soils.soils)
            known += " " + s.name;
        throw Error("Batch", "unknown soil '" + soil + "'; the soils file has:" + known);
    }
    std::string error;
    if (!exerciseFile.empty() && !loadExercise(exerciseFile, p->exercise, error, &w.terrain()))
        throw Error(error);
    if (!exerciseFile.empty()) {
        p->run = std::make_unique<ExerciseRun>(w, p->exercise);
        p->runStart = p->run->save();
    }
    p->worldStart = w.save();
    p->dataChecksum = dataChecksum(data);
    return p;
}

PreparedWorld& RunCache::prepare(const std::string& data, const std::string& exerciseFile, const std::string& soil,
                                 const StartPlace& start)
{
    if (start && exerciseFile.empty())
        throw Error("Batch", "only an exercise has a start place to move");
    const std::string text = fileText(exerciseFile);
    auto at = kept.begin();
    while (at != kept.end() && !((*at)->data == data && (*at)->exerciseFile == exerciseFile &&
                                 (*at)->exerciseText == text && (*at)->soil == soil))
        ++at;
    if (at == kept.end()) {
        kept.push_front(build(data, exerciseFile, soil));
        if (kept.size() > capacity)
            kept.pop_back();
    } else {
        kept.splice(kept.begin(), kept, at);
        kept.front()->world->restore(kept.front()->worldStart);
        if (kept.front()->run)
            kept.front()->run->restore(kept.front()->runStart);
    }
    PreparedWorld& p = *kept.front();
    p.start = start;
    if (p.run) {
        // Where the exercise would have placed the machine, had its file said so.
        Exercise& e = p.run->exercise;
        std::string error;
        const auto [x, z, heading] = start.value_or(std::make_tuple(p.exercise.startX, p.exercise.startZ,
                                                                    p.exercise.startHeadingDegrees));
        if (!moveStart(e, x, z, heading, p.world->terrain(), error))
            throw Error(error);
        if (start) {
            Excavator& machine = *p.world->excavator;
            placeMachine(machine, p.world->terrain(), x, z, heading);
            p.world->work.reset(machine.soilDug, machine.bucket.soilCount);
            p.run->measure();
        }
    }
    return p;
}
