#include "app/SoundPlayer.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "base/Log.h"

namespace {
constexpr int kRate = 22050;  // the loops' own rate
constexpr int kBlock = 1024;  // samples per device block: about 46 ms

// Opens the audio device. The sound system under SDL prints its own lines
// straight to standard error when it finds no card; the caller's one line
// says that instead, so standard error is sent nowhere meanwhile.
bool openAudio()
{
    std::fflush(stderr);
    const int saved = dup(STDERR_FILENO);
    const int nowhere = ::open("/dev/null", O_WRONLY);
    if (saved >= 0 && nowhere >= 0)
        dup2(nowhere, STDERR_FILENO);
    const bool opened = SDL_InitSubSystem(SDL_INIT_AUDIO) >= 0 && Mix_OpenAudio(kRate, AUDIO_S16SYS, 1, kBlock) >= 0;
    std::fflush(stderr);
    if (saved >= 0 && nowhere >= 0)
        dup2(saved, STDERR_FILENO);
    if (nowhere >= 0)
        ::close(nowhere);
    if (saved >= 0)
        ::close(saved);
    return opened;
}
}  // namespace

SoundPlayer::SoundPlayer(const std::string& folder)
{
    if (!openAudio()) {
        logMessage((std::string("[Sound] No audio device (") + SDL_GetError() + "): running silent.").c_str());
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return;
    }
    open = true;
    int rate = 0;
    Uint16 format = 0;
    if (!Mix_QuerySpec(&rate, &format, &channels) || format != AUDIO_S16SYS || channels < 1) {
        logMessage("[Sound] The audio device takes no 16-bit samples: running silent.");
        close();
        return;
    }
    if (!load(folder)) {
        close();
        return;
    }
    Mix_HookMusic(fill, this);
}

SoundPlayer::~SoundPlayer() { close(); }

void SoundPlayer::close()
{
    if (!open)
        return;
    Mix_HookMusic(nullptr, nullptr);
    Mix_CloseAudio();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    open = false;
}

bool SoundPlayer::load(const std::string& folder)
{
    for (int v = 0; v < kVoiceCount; ++v) {
        const std::string path = folder + voiceFile(static_cast<Voice>(v));
        // Read as the device plays it (its rate and channels); the first channel is the loop.
        Mix_Chunk* chunk = Mix_LoadWAV(path.c_str());
        if (!chunk) {
            logMessage(("[Sound] Couldn't read " + path + " (" + Mix_GetError() + "): running silent.").c_str());
            return false;
        }
        const int16_t* samples = reinterpret_cast<const int16_t*>(chunk->abuf);
        const size_t frames = chunk->alen / sizeof(int16_t) / static_cast<size_t>(channels);
        std::vector<int16_t>& loop = voices[static_cast<size_t>(v)].samples;
        loop.resize(frames);
        for (size_t i = 0; i < frames; ++i)
            loop[i] = samples[i * static_cast<size_t>(channels)];
        Mix_FreeChunk(chunk);
    }
    logMessage("[Sound] Playing; m mutes and unmutes.");
    return true;
}

void SoundPlayer::set(const VoiceMix& next)
{
    if (!open)
        return;
    SDL_LockAudio();
    mix = next;
    SDL_UnlockAudio();
}

// The device's thread, under the audio lock.
void SoundPlayer::fill(void* data, unsigned char* stream, int bytes)
{
    SoundPlayer& self = *static_cast<SoundPlayer*>(data);
    int16_t* out = reinterpret_cast<int16_t*>(stream);
    int frames = bytes / static_cast<int>(sizeof(int16_t)) / self.channels;
    while (frames > 0) {
        const int n = std::min(frames, static_cast<int>(self.block.size()));
        renderVoices(self.voices, self.mix, self.block.data(), n);
        for (int i = 0; i < n; ++i)
            for (int c = 0; c < self.channels; ++c)
                *out++ = self.block[static_cast<size_t>(i)];
        frames -= n;
    }
}
