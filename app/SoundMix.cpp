#include "app/SoundMix.h"

#include <algorithm>
#include <cmath>

namespace {

double clamp01(double v) { return std::clamp(v, 0.0, 1.0); }

constexpr double kFullSlew = 1.099;       // rad/s, the slewing drive's top rate
constexpr double kFullTrackSpeed = 1.5;   // m/s, about the tracks' limit
constexpr double kLoudCut = 60.0e3;       // N on the edge: the scrape at its loudest
constexpr double kLoudPour = 150.0;       // falling grains: the pour at its loudest
constexpr double kCracking = 0.9;         // of the relief: where the valve starts to open
constexpr double kStill = 0.05;           // m/s and rad/s: slower is quiet

// Full-scale gains: every voice at once stays within what the limiter
// keeps clean.
constexpr double kEngineIdle = 0.30, kEngineFull = 0.55, kFlow = 0.14, kRelief = 0.45, kTracks = 0.30,
                 kBrake = 0.20, kScrape = 0.25, kPour = 0.25;

}  // namespace

const char* voiceFile(Voice voice)
{
    switch (voice) {
    case Voice::Engine: return "engine.wav";
    case Voice::Boom:
    case Voice::Arm:
    case Voice::Bucket:
    case Voice::Slew: return "flow.wav";
    case Voice::Relief: return "relief.wav";
    case Voice::Tracks: return "tracks.wav";
    case Voice::SlewBrake: return "slewbrake.wav";
    case Voice::Scrape: return "scrape.wav";
    case Voice::Pour: return "pour.wav";
    }
    return "";
}

SoundState soundState(const FrameSnapshot& frame, bool paused, bool muted)
{
    SoundState s;
    s.activity = frame.machine.activity;
    s.fallingGrains = frame.grains.size();
    s.paused = paused;
    s.muted = muted;
    return s;
}

VoiceMix mixVoices(const SoundState& state)
{
    VoiceMix mix;
    mix.pitch.fill(1.0);
    if (state.paused || state.muted)
        return mix;
    const MachineActivity& a = state.activity;
    auto asked = [&a](Drive d) { return clamp01(std::fabs(a.command[d])); };

    // Flow through each arm function: what it is asked times what it gets.
    // One asked but held pushes its oil over the relief instead.
    struct Function {
        Voice voice;
        Drive drive;
        const FunctionActivity& activity;
        double pitch;
    };
    const Function functions[] = {{Voice::Boom, Drive::Monoblock, a.boom, 0.85},
                                  {Voice::Arm, Drive::BendingArm, a.arm, 1.0},
                                  {Voice::Bucket, Drive::GroundPlate, a.bucket, 1.2}};
    // The pressure that only holds the arm up draws no power: it counts
    // while a function is asked.
    double armAsked = 0.0;
    for (Drive d : {Drive::Monoblock, Drive::BendingArm, Drive::GroundPlate})
        armAsked = std::max(armAsked, asked(d));
    const double pressure = armAsked > 0.0 ? clamp01(a.hydraulicLoad) : 0.0;
    double relief = clamp01((pressure - kCracking) / (1.0 - kCracking));
    double demand = 0.0;
    for (const Function& f : functions) {
        const double d = asked(f.drive), flow = d * clamp01(f.activity.share);
        mix.gainOf(f.voice) = kFlow * flow;
        mix.pitch[static_cast<int>(f.voice)] = f.pitch * (0.8 + 0.3 * flow);
        if (f.activity.held)
            relief = std::max(relief, d);
        demand = std::max(demand, d);
    }
    const double slew = clamp01(std::fabs(a.slewRate) / kFullSlew);
    mix.gainOf(Voice::Slew) = kFlow * slew;
    mix.pitch[static_cast<int>(Voice::Slew)] = 0.7 * (0.8 + 0.3 * slew);
    demand = std::max(demand, asked(Drive::Slewing));

    mix.gainOf(Voice::Relief) = kRelief * relief;
    mix.pitch[static_cast<int>(Voice::Relief)] = 0.95 + 0.1 * relief;

    const double throttle = std::max(asked(Drive::LeftTrack), asked(Drive::RightTrack));
    const double travel = a.trackSpeed > kStill ? clamp01(a.trackSpeed / kFullTrackSpeed) : 0.0;
    mix.gainOf(Voice::Tracks) = kTracks * travel;
    mix.pitch[static_cast<int>(Voice::Tracks)] = 0.5 + 0.8 * travel;
    demand = std::max(demand, throttle);

    if (a.slewBraking && std::fabs(a.slewRate) > kStill)
        mix.gainOf(Voice::SlewBrake) = kBrake * std::sqrt(slew);

    const double cut = clamp01(a.cutForce / kLoudCut);
    mix.gainOf(Voice::Scrape) = a.cutForce > 0.0 ? kScrape * (0.3 + 0.7 * cut) : 0.0;
    mix.pitch[static_cast<int>(Voice::Scrape)] = 0.9 + 0.3 * cut;

    const double pour = clamp01(static_cast<double>(state.fallingGrains) / kLoudPour);
    mix.gainOf(Voice::Pour) = kPour * std::sqrt(pour);

    // The engine labours with what the pump and the tracks draw: the
    // hydraulic pressure, a function at its relief, the drives' demand.
    const double load = std::max({pressure, relief, 0.7 * throttle, cut});
    const double engine = clamp01(0.4 * demand + 0.6 * load);
    mix.gainOf(Voice::Engine) = kEngineIdle + (kEngineFull - kEngineIdle) * engine;
    mix.pitch[static_cast<int>(Voice::Engine)] = 1.0 + 0.6 * engine;
    return mix;
}

void renderVoices(std::array<VoiceLoop, kVoiceCount>& voices, const VoiceMix& mix, int16_t* out, int frames)
{
    if (frames <= 0)
        return;
    std::vector<double> sum(static_cast<size_t>(frames), 0.0);
    for (int v = 0; v < kVoiceCount; ++v) {
        VoiceLoop& loop = voices[v];
        const double target = mix.gain[v];
        const size_t n = loop.samples.size();
        if (n == 0 || (loop.gain == 0.0 && target == 0.0)) {
            loop.gain = target;
            continue;
        }
        const double step = (target - loop.gain) / frames, rate = std::max(mix.pitch[v], 0.0);
        double gain = loop.gain, at = loop.position;
        for (int i = 0; i < frames; ++i) {
            gain += step;
            const size_t k = static_cast<size_t>(at);
            const double t = at - static_cast<double>(k);
            const double s = loop.samples[k] * (1.0 - t) + loop.samples[(k + 1) % n] * t;
            sum[static_cast<size_t>(i)] += gain * s / 32768.0;
            at += rate;
            if (at >= static_cast<double>(n))
                at = std::fmod(at, static_cast<double>(n));
        }
        loop.gain = target;
        loop.position = at;
    }
    // Linear to 0.6 of full scale, then bent towards (never onto) it.
    constexpr double kKnee = 0.6;
    for (int i = 0; i < frames; ++i) {
        const double x = sum[static_cast<size_t>(i)], m = std::fabs(x);
        const double y = m <= kKnee ? m : kKnee + (1.0 - kKnee) * std::tanh((m - kKnee) / (1.0 - kKnee));
        out[i] = static_cast<int16_t>(std::lround(std::copysign(y, x) * 32766.0));
    }
}
