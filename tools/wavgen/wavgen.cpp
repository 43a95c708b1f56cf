#include "wavgen.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <utility>

namespace {

// A decaying sine partial: the ring of struck material.
double partial(double t, double frequency, double decay) {
    return std::sin(2 * M_PI * frequency * t) * std::exp(-t / decay);
}

struct Noise {
    uint32_t state = 22222;
    double next() {
        state = state * 1664525u + 1013904223u;
        return static_cast<double>(state >> 8) / (1u << 23) - 1.0;
    }
};

using Voice = std::function<double(double t, Noise &noise)>;

// The ball rattling round the rim and dropping into the cup.
double cup_drop(double t, Noise &noise) {
    double rattle = 0;
    for (double hit : {0.0, 0.07, 0.12, 0.15}) {
        if (t >= hit) {
            rattle += 0.4 * partial(t - hit, 2100 - hit * 4000, 0.015);
        }
    }
    const double drop = t >= 0.2 ? 0.7 * partial(t - 0.2, 240, 0.08) : 0;
    return rattle + drop + 0.05 * noise.next() * std::exp(-t / 0.2);
}

struct Effect {
    const char *name;
    double seconds;
    Voice voice;
};

const std::vector<Effect> &effects() {
    static const std::vector<Effect> all = {
        {"putt", 0.25,
         [](double t, Noise &noise) {
             return 0.7 * partial(t, 820, 0.03) + 0.3 * partial(t, 1900, 0.01) +
                    0.2 * noise.next() * std::exp(-t / 0.005);
         }},
        {"wood", 0.3,
         [](double t, Noise &noise) {
             return 0.6 * partial(t, 310, 0.05) + 0.3 * partial(t, 620, 0.03) +
                    0.3 * noise.next() * std::exp(-t / 0.01);
         }},
        {"stone", 0.25,
         [](double t, Noise &noise) {
             return 0.5 * partial(t, 1400, 0.02) + 0.5 * noise.next() * std::exp(-t / 0.015);
         }},
        {"metal", 0.8,
         [](double t, Noise &) {
             return 0.4 * partial(t, 1250, 0.3) + 0.3 * partial(t, 3170, 0.2) +
                    0.2 * partial(t, 5230, 0.1);
         }},
        {"rubber", 0.3,
         [](double t, Noise &) {
             // A bounce: a low tone sliding down.
             return 0.8 * std::sin(2 * M_PI * (180 * t - 150 * t * t)) * std::exp(-t / 0.06);
         }},
        {"hole_cup", 0.6, [](double t, Noise &noise) { return cup_drop(t, noise); }},
        {"cup_over", 1.4,
         [](double t, Noise &noise) {
             // The drop, then two falling tones: made it, at last.
             double tune = 0;
             for (auto [start, pitch] : {std::pair{0.5, 392.0}, std::pair{0.8, 330.0}}) {
                 if (t >= start) {
                     tune += 0.3 * partial(t - start, pitch, 0.25) +
                             0.1 * partial(t - start, pitch * 2, 0.15);
                 }
             }
             return cup_drop(t, noise) + tune;
         }},
        {"cup_par", 1.3,
         [](double t, Noise &noise) {
             // The drop, then a bright bell.
             const double bell = t >= 0.45 ? 0.35 * partial(t - 0.45, 1568, 0.35) +
                                                 0.15 * partial(t - 0.45, 3136, 0.2)
                                           : 0;
             return cup_drop(t, noise) + bell;
         }},
        {"cup_ace", 2.6,
         [](double t, Noise &noise) {
             // The drop, a rising fanfare, and the crowd.
             double fanfare = 0;
             const double notes[] = {523.25, 659.25, 783.99, 1046.5};
             for (int i = 0; i < 4; ++i) {
                 const double start = 0.45 + 0.12 * i;
                 if (t >= start) {
                     fanfare += 0.2 * partial(t - start, notes[i], i == 3 ? 0.6 : 0.2);
                 }
             }
             const double crowd = t >= 1.0 ? 0.3 * std::min(1.0, (t - 1.0) / 0.3) *
                                                 std::min(1.0, (2.6 - t) / 0.6) * noise.next()
                                           : 0;
             return cup_drop(t, noise) + fanfare + crowd;
         }},
        {"applause", 2.5,
         [](double t, Noise &noise) {
             // Many hands: noise in bursts, swelling and fading.
             const double swell = std::min(1.0, t / 0.3) * std::min(1.0, (2.5 - t) / 0.8);
             const double claps =
                 0.5 + 0.5 * std::sin(2 * M_PI * 11 * t) * std::sin(2 * M_PI * 7.3 * t);
             return 0.6 * swell * claps * noise.next();
         }},
    };
    return all;
}

void put(std::vector<uint8_t> &out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.push_back(static_cast<uint8_t>(value >> (8 * i) & 0xFF));
    }
}

} // namespace

const std::vector<std::string> &wav_effect_names() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> list;
        for (const Effect &effect : effects()) {
            list.push_back(effect.name);
        }
        return list;
    }();
    return names;
}

std::vector<int16_t> wav_effect(const std::string &name, int rate) {
    for (const Effect &effect : effects()) {
        if (name != effect.name) {
            continue;
        }
        Noise noise;
        std::vector<int16_t> samples(static_cast<size_t>(effect.seconds * rate));
        for (size_t i = 0; i < samples.size(); ++i) {
            const double t = static_cast<double>(i) / rate;
            const double attack = std::min(1.0, t / 0.001);
            const double value = std::clamp(effect.voice(t, noise) * attack, -1.0, 1.0);
            samples[i] = static_cast<int16_t>(std::lround(value * 32000));
        }
        return samples;
    }
    return {};
}

std::vector<uint8_t> wav_file(const std::vector<int16_t> &samples, int rate, int channels) {
    const uint32_t data = static_cast<uint32_t>(samples.size() * 2);
    std::vector<uint8_t> out = {'R', 'I', 'F', 'F'};
    put(out, 36 + data, 4);
    out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put(out, 16, 4);
    put(out, 1, 2); // PCM
    put(out, static_cast<uint32_t>(channels), 2);
    put(out, static_cast<uint32_t>(rate), 4);
    put(out, static_cast<uint32_t>(rate * channels * 2), 4);
    put(out, static_cast<uint32_t>(channels * 2), 2);
    put(out, 16, 2);
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    put(out, data, 4);
    for (int16_t sample : samples) {
        put(out, static_cast<uint16_t>(sample), 2);
    }
    return out;
}
