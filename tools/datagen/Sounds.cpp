#include "tools/datagen/Sounds.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <set>

#include "app/SoundMix.h"
#include "base/Fatal.h"
#include "tools/datagen/Noise.h"
#include "tools/datagen/ObjWriter.h"

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kRate = kSoundRate;

using Signal = std::vector<double>;

Signal silence(double seconds) { return Signal(static_cast<size_t>(std::lround(seconds * kRate)), 0.0); }

Signal whiteNoise(size_t n, uint64_t seed)
{
    Random random(seed);
    Signal s(n);
    for (double& v : s)
        v = random.range(-1.0, 1.0);
    return s;
}

// A one-pole low-pass run round the loop twice, so that its end leads into
// its start as the middle does.
Signal lowPass(const Signal& x, double cutoff)
{
    const double a = 1.0 - std::exp(-2.0 * kPi * cutoff / kRate);
    Signal y(x.size());
    double state = 0.0;
    for (int pass = 0; pass < 2; ++pass)
        for (size_t i = 0; i < x.size(); ++i)
            y[i] = state += a * (x[i] - state);
    return y;
}

Signal bandPass(const Signal& x, double low, double high)
{
    Signal y = lowPass(x, high);
    const Signal under = lowPass(y, low);
    for (size_t i = 0; i < y.size(); ++i)
        y[i] -= under[i];
    return y;
}

void add(Signal& to, const Signal& x, double gain)
{
    for (size_t i = 0; i < to.size(); ++i)
        to[i] += gain * x[i];
}

// A sine of `hz` (whole cycles in the loop keep it seamless).
void addTone(Signal& to, double hz, double gain)
{
    for (size_t i = 0; i < to.size(); ++i)
        to[i] += gain * std::sin(2.0 * kPi * hz * static_cast<double>(i) / kRate);
}

// A decaying ring of partials (Hz, decay s) starting at `at` samples,
// wrapped round the loop's end.
struct Partial {
    double hz, decay, gain;
};
void addStrike(Signal& to, double at, const std::vector<Partial>& partials, double gain)
{
    const size_t n = to.size();
    double longest = 0.0;
    for (const Partial& p : partials)
        longest = std::max(longest, p.decay);
    const size_t length = std::min(n, static_cast<size_t>(6.0 * longest * kRate));
    const size_t start = static_cast<size_t>(std::ceil(at));
    for (size_t j = 0; j < length; ++j) {
        const double t = (static_cast<double>(start + j) - at) / kRate;
        double v = 0.0;
        for (const Partial& p : partials)
            v += p.gain * std::exp(-t / p.decay) * std::sin(2.0 * kPi * p.hz * t);
        to[(start + j) % n] += gain * v;
    }
}

// Short bursts of noise under a fast decay, like grains or sparks.
void addTicks(Signal& to, int count, double decay, uint64_t seed)
{
    Random random(seed);
    const size_t n = to.size(), length = static_cast<size_t>(5.0 * decay * kRate);
    for (int k = 0; k < count; ++k) {
        const size_t start = static_cast<size_t>(random.uniform() * static_cast<double>(n));
        const double amp = std::pow(random.uniform(), 2.0);
        for (size_t j = 0; j < length; ++j)
            to[(start + j) % n] += amp * std::exp(-static_cast<double>(j) / (decay * kRate)) * random.range(-1.0, 1.0);
    }
}

// The diesel at idle: six cylinders firing 42 times a second (840 rpm),
// each a damped knock through the block, over the crank's hum.
Signal engine()
{
    Signal s = silence(1.0);
    const double cylinder[6] = {1.0, 0.85, 0.95, 0.9, 1.05, 0.8};
    for (int k = 0; k < 42; ++k)
        addStrike(s, k * kRate / 42.0, {{95.0, 0.010, 1.0}, {190.0, 0.006, 0.5}, {410.0, 0.003, 0.3}}, cylinder[k % 6]);
    add(s, lowPass(whiteNoise(s.size(), 11), 900.0), 0.8);
    addTone(s, 42.0, 0.35);
    addTone(s, 21.0, 0.2);
    addTone(s, 126.0, 0.12);
    return lowPass(s, 1500.0);
}

// Oil through a valve: hiss, and the pump's whine (nine pistons at 30 rev/s).
Signal flow()
{
    Signal s = bandPass(whiteNoise(static_cast<size_t>(kRate), 21), 300.0, 3000.0);
    for (double& v : s)
        v *= 2.0;
    addTone(s, 270.0, 0.25);
    addTone(s, 540.0, 0.12);
    addTone(s, 810.0, 0.06);
    return s;
}

// The relief valve chattering open: a shrill tone wavering 14 times a
// second, its overtones and the jet's hiss.
Signal relief()
{
    Signal s = silence(0.5);
    const double f = 1400.0, depth = 30.0, wobble = 14.0;
    for (size_t i = 0; i < s.size(); ++i) {
        const double t = static_cast<double>(i) / kRate;
        const double phase = 2.0 * kPi * f * t - depth / wobble * std::cos(2.0 * kPi * wobble * t);
        s[i] = std::sin(phase) + 0.4 * std::sin(2.0 * phase) + 0.2 * std::sin(3.0 * phase);
    }
    Signal hiss = whiteNoise(s.size(), 31);
    add(hiss, lowPass(hiss, 2500.0), -1.0);  // the high part only
    add(s, hiss, 0.6);
    return s;
}

// Track shoes meeting the sprocket and the idler: six clanks a second, each
// a ringing steel plate over a thud, over the rollers' rumble.
Signal tracks()
{
    Signal s = silence(1.0);
    Random random(41);
    for (int k = 0; k < 6; ++k) {
        const double at = (k + random.range(-0.08, 0.08)) * kRate / 6.0 + kRate;  // wrapped
        addStrike(s, std::fmod(at, kRate),
                  {{850.0, 0.025, 0.6}, {1370.0, 0.015, 0.5}, {2230.0, 0.010, 0.4}, {3100.0, 0.008, 0.3},
                   {70.0, 0.030, 0.8}},
                  random.range(0.7, 1.0));
    }
    add(s, lowPass(whiteNoise(s.size(), 42), 150.0), 3.0);
    return s;
}

// The slewing brake: a groaning saw of 180 Hz, pulsing ten times a second,
// over a rush of low noise.
Signal slewBrake()
{
    Signal s = silence(0.5);
    for (int h = 1; h <= 6; ++h)
        addTone(s, 180.0 * h, 0.5 / h);
    for (size_t i = 0; i < s.size(); ++i)
        s[i] *= 0.65 + 0.35 * std::sin(2.0 * kPi * 10.0 * static_cast<double>(i) / kRate);
    add(s, lowPass(whiteNoise(s.size(), 51), 600.0), 2.0);
    return s;
}

// Steel dragged through soil: bright noise, rough in its level, with grit.
Signal scrape()
{
    Signal s = bandPass(whiteNoise(static_cast<size_t>(kRate), 61), 800.0, 5000.0);
    const Signal rough = lowPass(whiteNoise(s.size(), 62), 20.0);
    for (size_t i = 0; i < s.size(); ++i)
        s[i] *= 2.0 * (0.4 + 6.0 * std::fabs(rough[i]));
    addTicks(s, 120, 0.0015, 63);
    return s;
}

// Soil falling: many small grains landing, over a soft rumble.
Signal pour()
{
    Signal s = silence(1.0);
    addTicks(s, 700, 0.002, 71);
    s = lowPass(s, 2500.0);
    add(s, lowPass(whiteNoise(s.size(), 72), 200.0), 2.0);
    return s;
}

// To 16 bits, the loudest sample at `peak` of full scale.
std::vector<int16_t> toSamples(const Signal& s, double peak)
{
    double most = 0.0;
    for (double v : s)
        most = std::max(most, std::fabs(v));
    std::vector<int16_t> out(s.size());
    const double scale = most > 0.0 ? peak * 32767.0 / most : 0.0;
    for (size_t i = 0; i < s.size(); ++i)
        out[i] = static_cast<int16_t>(std::lround(s[i] * scale));
    return out;
}

void put(std::string& bytes, uint32_t value, int size)
{
    for (int i = 0; i < size; ++i)
        bytes.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

}  // namespace

std::vector<int16_t> soundLoop(const std::string& file)
{
    struct Maker {
        const char* file;
        Signal (*make)();
        double peak;
    };
    static const Maker makers[] = {{"engine.wav", engine, 0.7},       {"flow.wav", flow, 0.6},
                                   {"relief.wav", relief, 0.6},       {"tracks.wav", tracks, 0.7},
                                   {"slewbrake.wav", slewBrake, 0.6}, {"scrape.wav", scrape, 0.6},
                                   {"pour.wav", pour, 0.6}};
    for (const Maker& m : makers)
        if (file == m.file)
            return toSamples(m.make(), m.peak);
    return {};
}

std::string wavBytes(const std::vector<int16_t>& samples, int rate)
{
    const uint32_t data = static_cast<uint32_t>(samples.size() * 2);
    std::string b = "RIFF";
    put(b, 36 + data, 4);
    b += "WAVEfmt ";
    put(b, 16, 4);
    put(b, 1, 2);  // PCM
    put(b, 1, 2);  // mono
    put(b, static_cast<uint32_t>(rate), 4);
    put(b, static_cast<uint32_t>(rate) * 2, 4);
    put(b, 2, 2);
    put(b, 16, 2);
    b += "data";
    put(b, data, 4);
    for (int16_t v : samples)
        put(b, static_cast<uint16_t>(v), 2);
    return b;
}

void writeSounds(const std::string& dir)
{
    std::error_code made;
    std::filesystem::create_directories(dir, made);
    std::set<std::string> files;
    for (int v = 0; v < kVoiceCount; ++v)
        files.insert(voiceFile(static_cast<Voice>(v)));
    for (const std::string& file : files) {
        const std::vector<int16_t> loop = soundLoop(file);
        if (loop.empty())
            throwFatal("[datagen] No sound is made for " + file);
        writeTextFile(dir + file, wavBytes(loop, kSoundRate));
    }
}
