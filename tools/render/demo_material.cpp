// SPDX-License-Identifier: GPL-3.0-or-later
// Source-filter voice and a detuned saw pad, both band-limited with PolyBLEP so the spectra
// show the engine's work rather than aliasing. Everything is deterministic.
#include "demo_material.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

namespace zembra::render {

namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;
constexpr double kRate = DemoSources::kSampleRate;

// Smooths the step of a naive sawtooth at its wrap (t is the phase 0..1, dt the increment).
double polyBlep(double t, double dt) {
    if (t < dt) {
        const double x = t / dt;
        return x + x - x * x - 1.0;
    }
    if (t > 1.0 - dt) {
        const double x = (t - 1.0) / dt;
        return x * x + x + x + 1.0;
    }
    return 0.0;
}

struct Saw {
    double phase = 0.0;
    // Falls from +1 to -1 over a period and jumps back: the jump is the glottal closure
    // when this drives the voice.
    double next(double hz) {
        const double dt = hz / kRate;
        const double value = 1.0 - 2.0 * phase + polyBlep(phase, dt);
        phase += dt;
        if (phase >= 1.0) phase -= 1.0;
        return value;
    }
};

// Two-pole resonator with unity gain at DC, as in cascade formant synthesisers.
struct Resonator {
    double a = 1.0, b = 0.0, c = 0.0, y1 = 0.0, y2 = 0.0;
    void tune(double hz, double bandwidth) {
        c = -std::exp(-kTwoPi * bandwidth / kRate);
        b = 2.0 * std::exp(-std::numbers::pi * bandwidth / kRate) * std::cos(kTwoPi * hz / kRate);
        a = 1.0 - b - c;
    }
    double next(double x) {
        const double y = a * x + b * y1 + c * y2;
        y2 = y1;
        y1 = y;
        return y;
    }
};

struct Noise {
    uint32_t state = 0x2545F491u;
    double next() { // white, -1..1
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state / 2147483648.0 - 1.0;
    }
};

// One-pole smoother toward a target: the time constant in seconds sets the glide.
struct Glide {
    double value;
    double coefficient;
    Glide(double start, double seconds)
        : value(start), coefficient(1.0 - std::exp(-1.0 / (seconds * kRate))) {}
    double next(double target) { return value += coefficient * (target - value); }
};

// Attack, hold, release shape of one note spanning [start, end) seconds.
double noteEnvelope(double t, double start, double end, double attack, double release) {
    if (t < start || t >= end) return 0.0;
    const double rise = std::min(1.0, (t - start) / attack);
    const double fall = std::min(1.0, (end - t) / release);
    return std::min(rise, fall);
}

} // namespace

class DemoSources::Voice {
  public:
    Voice() : mLogPitch(std::log(kNotes[0].hz), 0.05), mLevel(0.0, 0.02) {
        for (int f = 0; f < kFormants; ++f)
            mFormant[f] = Glide(kVowels[kNotes[0].vowel][f], 0.07);
        retune();
    }

    double next(double t) {
        // Which note, and how far into it: phrasing gaps between notes give syllables.
        const int index =
            std::clamp(int(std::floor((t - kStart) / kNoteSeconds)), 0, kNoteCount - 1);
        const Note& note = kNotes[index];
        const double into = t - (kStart + index * kNoteSeconds);
        const double phrase =
            noteEnvelope(t, kStart, kStart + kNoteCount * kNoteSeconds, 0.12, 0.4);
        const double syllable =
            std::min(0.35 + 0.65 * into / 0.08, 0.3 + 0.7 * (kNoteSeconds - into) / 0.18);
        const double level = mLevel.next(phrase * std::clamp(syllable, 0.0, 1.0));

        // Vibrato fades in after each onset, with a slow wander on top.
        const double depth = 0.018 * std::min(1.0, into / 0.5);
        const double vibrato =
            depth * std::sin(kTwoPi * 5.3 * t) + 0.004 * std::sin(kTwoPi * 0.37 * t);
        const double hz = std::exp(mLogPitch.next(std::log(note.hz))) * (1.0 + vibrato);

        if (++mRetune == kRetuneEvery) {
            mRetune = 0;
            for (int f = 0; f < kFormants; ++f)
                mFormant[f].next(kVowels[note.vowel][f]);
            retune();
        }

        // Glottal source: the saw's closure step plus a breath of noise that follows it.
        const double pulse = mSaw.next(hz);
        const double noise = mNoise.next();
        const double breath = noise * (0.04 + 0.06 * (pulse > 0.6));
        double x = mSourceLowpass.next(0.5 * pulse + breath);
        for (Resonator& r : mResonator)
            x = r.next(x);
        // The cascade rolls off steeply above the top formant; a little high-passed breath
        // beside it gives the voice its air.
        const double air = (noise - mAirLowpass.next(noise)) * (0.3 + 0.7 * (pulse > 0.2));
        return kGain * level * (x + kAir * air);
    }

  private:
    struct Note {
        double hz;
        int vowel;
    };
    static constexpr int kFormants = 5;
    static constexpr int kNoteCount = 6;
    // Six notes from 0.15 s to 11.25 s, leaving the last moments to the room.
    static constexpr double kStart = 0.15;
    static constexpr double kNoteSeconds = 1.85;
    static constexpr int kRetuneEvery = 16; // samples between formant updates
    static constexpr double kGain = 0.2;    // peaks between -11 and -5 dBFS
    // Male formants (Hz) of a, e, i, o, u; the top two stay put.
    static constexpr double kVowels[5][kFormants] = {{730, 1090, 2440, 3350, 4200},
                                                     {530, 1840, 2480, 3350, 4200},
                                                     {300, 2200, 2900, 3350, 4200},
                                                     {570, 840, 2410, 3350, 4200},
                                                     {320, 870, 2240, 3350, 4200}};
    static constexpr double kAir = 0.004;
    static constexpr double kBandwidths[kFormants] = {80, 100, 140, 200, 260};
    // A minor phrase between A2 and D3.
    static constexpr Note kNotes[kNoteCount] = {{110.00, 0}, {130.81, 1}, {146.83, 2},
                                                {130.81, 3}, {123.47, 4}, {110.00, 0}};

    void retune() {
        for (int f = 0; f < kFormants; ++f)
            mResonator[f].tune(mFormant[f].value, kBandwidths[f]);
    }

    struct OnePole {
        double state = 0.0;
        double next(double x) { return state += 0.45 * (x - state); } // ~4.6 kHz at 48 kHz
    };

    Saw mSaw;
    Noise mNoise;
    OnePole mSourceLowpass;
    OnePole mAirLowpass;
    Glide mLogPitch;
    Glide mLevel;
    std::array<Glide, kFormants> mFormant{Glide(0, 1), Glide(0, 1), Glide(0, 1), Glide(0, 1),
                                          Glide(0, 1)};
    std::array<Resonator, kFormants> mResonator;
    int mRetune = 0;
};

class DemoSources::Chord {
  public:
    Chord() {
        // Three saws a note, a few cents apart, starting at scattered phases.
        Noise scatter;
        for (int c = 0; c < kChordCount; ++c) {
            for (int n = 0; n < kNotesPerChord; ++n) {
                const double hz = 440.0 * std::pow(2.0, (kChords[c][n] - 69) / 12.0);
                for (double cents : {-7.0, 0.0, 6.0}) {
                    Oscillator osc;
                    osc.hz = hz * std::pow(2.0, cents / 1200.0);
                    osc.saw.phase = 0.5 * (scatter.next() + 1.0);
                    osc.chord = c;
                    mOscillators.push_back(osc);
                }
            }
        }
    }

    double next(double t) {
        std::array<double, kChordCount> envelope{};
        for (int c = 0; c < kChordCount; ++c) {
            const double start = kStart + c * kChordSeconds;
            // Each chord rings a little into the next for a legato change.
            envelope[c] = noteEnvelope(t, start, start + kChordSeconds + 0.3, 0.35, 0.5);
        }
        double sum = 0.0;
        for (Oscillator& osc : mOscillators) {
            if (envelope[osc.chord] > 0.0) sum += envelope[osc.chord] * osc.saw.next(osc.hz);
        }
        // A slow, gentle filter sweep keeps the pad alive.
        const double cutoff = 1800.0 + 1400.0 * std::sin(kTwoPi * 0.09 * t - 1.2);
        return kGain * mFilter.next(sum, cutoff);
    }

  private:
    static constexpr int kChordCount = 4;
    static constexpr int kNotesPerChord = 4;
    static constexpr double kStart = 0.05;
    static constexpr double kChordSeconds = 2.85;
    static constexpr double kGain = 0.085;
    // MIDI notes: Am7, Fmaj7, Dm9 (no root doubling), Am.
    static constexpr int kChords[kChordCount][kNotesPerChord] = {
        {45, 52, 55, 60}, {41, 52, 57, 60}, {50, 53, 57, 64}, {45, 52, 57, 60}};

    struct Oscillator {
        Saw saw;
        double hz = 0.0;
        int chord = 0;
    };

    // Two-pole state-variable low-pass (Chamberlin), Q about 0.8.
    struct Lowpass {
        double low = 0.0, band = 0.0;
        double next(double x, double hz) {
            const double f = 2.0 * std::sin(std::numbers::pi * hz / kRate);
            low += f * band;
            const double high = x - low - 1.25 * band;
            band += f * high;
            return low;
        }
    };

    std::vector<Oscillator> mOscillators;
    Lowpass mFilter;
};

DemoSources::DemoSources() : mVoice(std::make_unique<Voice>()), mChord(std::make_unique<Chord>()) {}

DemoSources::~DemoSources() = default;

long DemoSources::totalFrames() const {
    return std::lround(kSeconds * kSampleRate);
}

long DemoSources::read(float* a, float* b, long frames) {
    const long count = std::clamp(totalFrames() - mPosition, 0L, frames);
    for (long i = 0; i < count; ++i) {
        const double t = double(mPosition + i) / kSampleRate;
        a[i] = static_cast<float>(mVoice->next(t));
        b[i] = static_cast<float>(mChord->next(t));
    }
    mPosition += count;
    return count;
}

BlendPosition demoSweep(double fraction) {
    const double f = std::clamp(fraction, 0.0, 1.0);
    return {static_cast<float>(f), static_cast<float>(1.0 - std::abs(2.0 * f - 1.0))};
}

} // namespace zembra::render
