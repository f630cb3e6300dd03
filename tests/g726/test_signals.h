#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace kestrova::g726::testing {

struct Signal {
    std::string name;
    std::vector<int16_t> pcm;
};

inline int16_t toSample(double v) {
    return static_cast<int16_t>(std::clamp(std::lround(v), -32768L, 32767L));
}

// 200 Hz for the first half, then 1 kHz.
inline std::vector<int16_t> squareWave(int n, int amplitude) {
    std::vector<int16_t> pcm;
    for (int i = 0; i < n; ++i) {
        const int period = i < n / 2 ? 40 : 8;
        pcm.push_back(static_cast<int16_t>((i % period) < period / 2 ? amplitude : -amplitude - 1));
    }
    return pcm;
}

// Signals that stay inside the range where the decoded signal times 4 fits
// 16 bits. About 1.5 s each at 8000 samples per second.
inline std::vector<Signal> testSignals() {
    constexpr int n = 12000;
    constexpr double pi = 3.14159265358979323846;
    std::vector<Signal> signals;

    Signal tones{"tones", {}};
    for (int i = 0; i < n; ++i) {
        const double f = i < n / 3 ? 300.0 : (i < 2 * n / 3 ? 1000.0 : 2900.0);
        tones.pcm.push_back(toSample(12000.0 * std::sin(2 * pi * f * i / 8000.0)));
    }
    signals.push_back(std::move(tones));

    Signal noise{"noise", {}};
    std::mt19937 rng(726);
    std::uniform_int_distribution<int> full(-16000, 16000);
    for (int i = 0; i < n; ++i) {
        noise.pcm.push_back(static_cast<int16_t>(full(rng)));
    }
    signals.push_back(std::move(noise));

    // Voiced syllables: a gliding pitch with formant-weighted harmonics under
    // a 4 Hz envelope, with pauses and a little breath noise.
    Signal speech{"speech", {}};
    std::normal_distribution<double> breath(0.0, 0.02);
    std::vector<double> voice;
    double phase = 0;
    for (int i = 0; i < n; ++i) {
        const double t = i / 8000.0;
        const double f0 = 120.0 + 40.0 * std::sin(2 * pi * 0.7 * t);
        phase += 2 * pi * f0 / 8000.0;
        const double env = std::max(0.0, std::sin(2 * pi * 4.0 * t));
        double v = 0;
        for (int h = 1; h * f0 < 3800.0; ++h) {
            const double fh = h * f0;
            const double formant = std::exp(-std::pow((fh - 700.0) / 300.0, 2)) +
                                   0.6 * std::exp(-std::pow((fh - 1200.0) / 400.0, 2)) +
                                   0.3 * std::exp(-std::pow((fh - 2500.0) / 500.0, 2));
            v += formant * std::sin(h * phase);
        }
        voice.push_back(env * v + breath(rng));
    }
    double peak = 0;
    for (double v : voice) {
        peak = std::max(peak, std::abs(v));
    }
    for (double v : voice) {
        speech.pcm.push_back(toSample(14000.0 * v / peak));
    }
    signals.push_back(std::move(speech));

    signals.push_back({"silence", std::vector<int16_t>(n, 0)});

    signals.push_back({"square", squareWave(n, 16000)});
    return signals;
}

} // namespace kestrova::g726::testing
