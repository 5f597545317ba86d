#pragma once

#include <array>
#include <string>

#include "app/SoundMix.h"

// The machine's sound on the audio device: the voices' loops from
// data/sounds/, mixed on the device's own thread at the gains and pitches
// the main thread last set. With no device, or a loop missing, it says so
// in one line and stays silent; the program runs on as before.
class SoundPlayer {
public:
    // SDL must be initialised; `folder` ends in "/".
    explicit SoundPlayer(const std::string& folder = "data/sounds/");
    ~SoundPlayer();
    SoundPlayer(const SoundPlayer&) = delete;
    SoundPlayer& operator=(const SoundPlayer&) = delete;

    bool playing() const { return open; }
    // Main thread, once a frame.
    void set(const VoiceMix& mix);

private:
    static void fill(void* player, unsigned char* stream, int bytes);
    bool load(const std::string& folder);
    void close();

    std::array<VoiceLoop, kVoiceCount> voices;  // the device's thread's
    VoiceMix mix;                               // under the audio lock
    std::array<int16_t, 4096> block{};          // one mono block, the device's thread's
    int channels = 1;
    bool open = false;
};
