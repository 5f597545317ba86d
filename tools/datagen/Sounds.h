#pragma once

#include <cstdint>
#include <string>
#include <vector>

// data/sounds/: the machine's voices as short loops, synthesised (22.05 kHz,
// mono, 16-bit), each seamless where its end runs into its start.

constexpr int kSoundRate = 22050;

// The loop written as `file` (a voice's file name, e.g. "engine.wav");
// empty for a name no voice has.
std::vector<int16_t> soundLoop(const std::string& file);

// A RIFF WAVE file of 16-bit mono PCM samples.
std::string wavBytes(const std::vector<int16_t>& samples, int rate);

// Every voice's loop into dir (ending in "/").
void writeSounds(const std::string& dir);
