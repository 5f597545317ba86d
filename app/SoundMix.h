#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "world/FrameSnapshot.h"

// The machine's sound as plain data: which voices sound, how loud and at
// what pitch, worked out from a frame's snapshot alone (so a watched
// recording sounds as its session did), and the loops mixed into samples.
// No audio device is needed for any of it.

enum class Voice : int {
    Engine,     // the diesel: idle, rising with the load and the drives' demand
    Boom,       // hydraulic flow of each moving function
    Arm,
    Bucket,
    Slew,
    Relief,     // a function held against its relief: stalled or at its end
    Tracks,     // clank while driving
    SlewBrake,  // the slewing brake stopping the upper structure
    Scrape,     // the bucket cutting
    Pour,       // soil falling from the bucket
};
constexpr int kVoiceCount = 10;

// Each voice's loop under data/sounds/; the flow voices share one.
const char* voiceFile(Voice voice);

// What the sound is made from: one frame's machine and ground, and the
// viewer's state.
struct SoundState {
    MachineActivity activity;
    size_t fallingGrains = 0;
    bool paused = false, muted = false;
};

SoundState soundState(const FrameSnapshot& frame, bool paused, bool muted);

// Each voice's gain (0..1 of its loop's level) and pitch (playback rate of
// its loop, 1 as written).
struct VoiceMix {
    std::array<double, kVoiceCount> gain{}, pitch{};
    double& gainOf(Voice v) { return gain[static_cast<int>(v)]; }
    double gainOf(Voice v) const { return gain[static_cast<int>(v)]; }
    double pitchOf(Voice v) const { return pitch[static_cast<int>(v)]; }
};

// The mix of one frame: silent while paused or muted.
VoiceMix mixVoices(const SoundState& state);

// One voice's loop as it plays: its samples (mono), where it is and the
// gain it last reached.
struct VoiceLoop {
    std::vector<int16_t> samples;
    double position = 0.0;  // in samples
    double gain = 0.0;
};

// Writes `frames` samples (mono, at the loops' own rate) of every voice to
// `out`, each gain moving linearly from where it was to the mix's over the
// block so that a change makes no click, and limits the sum softly below
// full scale: the result never clips.
void renderVoices(std::array<VoiceLoop, kVoiceCount>& voices, const VoiceMix& mix, int16_t* out, int frames);
