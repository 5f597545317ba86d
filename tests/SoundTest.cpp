// The machine's sound without an audio device: the mix a frame's machine
// asks for, the generated loops, and what mixing them gives.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <set>

#include "TestFiles.h"
#include "app/SoundMix.h"
#include "excavator/Excavator.h"
#include "input/SessionFormat.h"
#include "tools/datagen/Sounds.h"
#include "world/World.h"

namespace {

std::set<Voice> sounding(const VoiceMix& mix)
{
    std::set<Voice> on;
    for (int v = 0; v < kVoiceCount; ++v)
        if (mix.gain[v] > 0.0)
            on.insert(static_cast<Voice>(v));
    return on;
}

}  // namespace

// Each state sounds its own voices and no others; the engine labours
// (louder, higher) with what the drives ask and most at the relief, not
// with what only coasts or falls; paused or muted, nothing sounds.
TEST(SoundMix, EachMachineStateSoundsItsVoices)
{
    MachineActivity driving;
    driving.command[Drive::LeftTrack] = driving.command[Drive::RightTrack] = 1.0f;
    driving.trackSpeed = 1.3;
    MachineActivity cutting;
    cutting.command[Drive::BendingArm] = 1.0f;
    cutting.arm.share = 0.6;
    cutting.hydraulicLoad = 0.6;
    cutting.cutForce = 40e3;
    MachineActivity relief;  // the boom asked up at its end
    relief.command[Drive::Monoblock] = 1.0f;
    relief.boom.held = true;
    MachineActivity braking;
    braking.slewRate = 0.6;
    braking.slewBraking = true;
    struct Row {
        const char* name;
        SoundState state;
        std::set<Voice> voices;
        bool labours;
    };
    const Row rows[] = {
        {"idle", {}, {Voice::Engine}, false},
        {"driving", {driving}, {Voice::Engine, Voice::Tracks}, true},
        {"cutting", {cutting}, {Voice::Engine, Voice::Arm, Voice::Scrape}, true},
        {"at relief", {relief}, {Voice::Engine, Voice::Relief}, true},
        {"slew braking", {braking}, {Voice::Engine, Voice::Slew, Voice::SlewBrake}, false},
        {"dumping", {{}, 80}, {Voice::Engine, Voice::Pour}, false},
        {"paused", {relief, 80, true, false}, {}, false},
        {"muted", {relief, 80, false, true}, {}, false},
    };
    const VoiceMix idle = mixVoices(rows[0].state);
    double loudest = 0.0;
    for (const Row& row : rows) {
        const VoiceMix mix = mixVoices(row.state);
        EXPECT_EQ(sounding(mix), row.voices) << row.name;
        if (!row.voices.empty()) {
            EXPECT_EQ(mix.gainOf(Voice::Engine) > idle.gainOf(Voice::Engine), row.labours) << row.name;
            EXPECT_EQ(mix.pitchOf(Voice::Engine) > idle.pitchOf(Voice::Engine), row.labours) << row.name;
        }
        loudest = std::max(loudest, mix.gainOf(Voice::Engine));
    }
    EXPECT_EQ(mixVoices(rows[3].state).gainOf(Voice::Engine), loudest);
}

// The same from a real machine's frame: standing, only the engine, idling;
// the boom driven on against its end sends its oil over the relief.
TEST(SoundMix, FollowsTheFrameSnapshot)
{
    World world;
    FrameSnapshot frame;
    world.simulate(0.003);
    world.snapshot(frame);
    const VoiceMix standing = mixVoices(soundState(frame, false, false));
    EXPECT_EQ(sounding(standing), std::set<Voice>{Voice::Engine});
    EXPECT_GT(frame.machine.activity.hydraulicLoad, 0.0);  // the arm's weight, held: the engine idles all the same
    EXPECT_EQ(standing.gainOf(Voice::Engine), mixVoices(SoundState()).gainOf(Voice::Engine));
    Excavator& machine = *world.excavator;
    machine.meshes[Monoblock].angle = (monoblockLimit.upperDegrees + 1.0) * M_PI / 180.0;
    machine.setDrive(Drive::Monoblock, 1.0f);
    world.simulate(0.003);
    world.snapshot(frame);
    const VoiceMix held = mixVoices(soundState(frame, false, false));
    EXPECT_GT(held.gainOf(Voice::Relief), 0.0);
    EXPECT_EQ(held.gainOf(Voice::Boom), 0.0);
    // Lowered, it moves freely: flow, no relief.
    machine.setDrive(Drive::Monoblock, -1.0f);
    world.simulate(0.003);
    world.snapshot(frame);
    const VoiceMix lowering = mixVoices(soundState(frame, false, false));
    EXPECT_EQ(lowering.gainOf(Voice::Relief), 0.0);
    EXPECT_GT(lowering.gainOf(Voice::Boom), 0.0);
}

// Every loop is a WAV file SDL reads back as written, and seamless: its
// end runs into its start with no bigger step than any within it. Mixed,
// the relief is at least 6 dB over idle, and every voice at once at its
// loudest reaches no sample at full scale.
TEST(SoundMix, LoopsAreValidAndTheirMixNeverClips)
{
    std::array<VoiceLoop, kVoiceCount> voices;
    for (int v = 0; v < kVoiceCount; ++v) {
        const std::vector<int16_t> loop = soundLoop(voiceFile(static_cast<Voice>(v)));
        ASSERT_GT(loop.size(), 1000u) << voiceFile(static_cast<Voice>(v));
        const std::string bytes = wavBytes(loop, kSoundRate);
        SDL_AudioSpec format;
        Uint8* samples = nullptr;
        Uint32 length = 0;
        ASSERT_NE(SDL_LoadWAV_RW(SDL_RWFromConstMem(bytes.data(), static_cast<int>(bytes.size())), 1, &format,
                                 &samples, &length),
                  nullptr);
        EXPECT_TRUE(format.freq == kSoundRate && format.channels == 1 && format.format == AUDIO_S16LSB);
        EXPECT_EQ(length, loop.size() * 2);
        EXPECT_EQ(std::memcmp(samples, loop.data(), length), 0);
        SDL_FreeWAV(samples);
        int steepest = 0;
        for (size_t i = 1; i < loop.size(); ++i)
            steepest = std::max(steepest, std::abs(loop[i] - loop[i - 1]));
        EXPECT_LE(std::abs(loop.front() - loop.back()), steepest) << voiceFile(static_cast<Voice>(v));
        voices[static_cast<size_t>(v)].samples = loop;
    }
    auto rms = [&voices](const VoiceMix& mix, int16_t& peak) {
        std::vector<int16_t> out(kSoundRate);
        renderVoices(voices, mix, out.data(), kSoundRate / 10);  // the gains ramp in
        renderVoices(voices, mix, out.data(), kSoundRate);
        double sum = 0.0;
        for (int16_t s : out) {
            sum += double(s) * s;
            peak = std::max<int16_t>(peak, static_cast<int16_t>(std::abs(s)));
        }
        return std::sqrt(sum / out.size());
    };
    int16_t peak = 0;
    SoundState relief;
    relief.activity.command[Drive::Monoblock] = 1.0f;
    relief.activity.boom.held = true;
    const double idle = rms(mixVoices(SoundState()), peak), held = rms(mixVoices(relief), peak);
    EXPECT_GE(20.0 * std::log10(held / idle), 6.0);
    VoiceMix everything;
    everything.gain.fill(1.0);
    everything.pitch.fill(1.0);
    rms(everything, peak);
    EXPECT_LT(peak, 32767);
}

// Sounds change nothing the world does: a recording's data checksum
// ignores them, but not any other file.
TEST(SoundMix, TheDataChecksumLeavesOutTheSounds)
{
    const std::string dir = testfiles::scratchDir("sounds_checksum");
    testfiles::writeText(dir + "soils.json", "{}");
    const uint64_t before = dataChecksum(dir);
    std::filesystem::create_directories(dir + "sounds");
    testfiles::writeText(dir + "sounds/engine.wav", "RIFF");
    EXPECT_EQ(dataChecksum(dir), before);
    testfiles::writeText(dir + "soils.json", "{ }");
    EXPECT_NE(dataChecksum(dir), before);
    std::filesystem::remove_all(dir);
}
