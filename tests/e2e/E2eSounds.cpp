// SPDX-License-Identifier: GPL-3.0-or-later
// The test material and zembra-render's reference for the end-to-end suites.
#include "E2eSounds.h"

#include "E2eSupport.h"
#include "ZembraParameters.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <iostream>
#include <sstream>

namespace fs = std::filesystem;
using namespace zembra;

namespace e2e {

Material makeMaterial(const std::string& name) {
    Material m;
    m.dir = fs::path(ZEMBRA_E2E_WORK_DIR) / name;
    fs::remove_all(m.dir);
    fs::create_directories(m.dir);
    m.both = m.dir / "ab.wav";
    m.a = m.dir / "a.wav";
    m.b = m.dir / "b.wav";
    constexpr size_t kFrames = 72000;
    Sound both{2, std::vector<float>(2 * kFrames)}, a{1, {}}, b{1, {}};
    double phase = 0.0;
    for (size_t i = 0; i < kFrames; ++i) {
        const double t = static_cast<double>(i) / 48000.0;
        phase += 2.0 * M_PI * (140.0 + 20.0 * std::sin(2.0 * M_PI * 3.0 * t)) / 48000.0;
        double va = 0.0;
        for (int h = 1; h <= 12; ++h)
            va += std::sin(h * phase) / h * (h == 3 || h == 7 ? 2.0 : 1.0);
        double vb = 0.0;
        for (double f : {110.0, 138.6, 164.8, 220.7})
            vb += std::fmod(f * t, 1.0) - 0.5;
        both.samples[2 * i] = static_cast<float>(0.2 * va);
        both.samples[2 * i + 1] = static_cast<float>(0.25 * vb);
        a.samples.push_back(both.samples[2 * i]);
        b.samples.push_back(both.samples[2 * i + 1]);
    }
    writeSound(m.both, both);
    writeSound(m.a, a);
    writeSound(m.b, b);
    return m;
}

double maxDifference(const Sound& x, const Sound& y) {
    if (x.channels != 2 || y.channels != 2 || x.frames() != y.frames()) return INFINITY;
    double worst = 0.0;
    for (size_t i = 0; i < x.samples.size(); ++i)
        worst = std::max(worst, std::fabs(static_cast<double>(x.samples[i] - y.samples[i])));
    return worst;
}

double rms(const Sound& s) {
    double sum = 0.0;
    for (float v : s.samples)
        sum += static_cast<double>(v) * v;
    return s.samples.empty() ? 0.0 : std::sqrt(sum / static_cast<double>(s.samples.size()));
}

namespace {

// zembra-render's options for host values of the twelve parameters.
std::vector<std::string> renderOptions(const std::map<int, float>& hostValues) {
    // zembra-render spells the table's symbols and labels in lower case, words joined by '-'.
    const auto commandLine = [](std::string name) {
        for (char& c : name)
            c = c == '_' || c == ' ' ? '-' : static_cast<char>(std::tolower(c));
        return name;
    };
    std::vector<std::string> options;
    for (auto [id, value] : hostValues) {
        const ParameterInfo& p = kParameters[id];
        const std::string option = "--" + commandLine(p.symbol);
        if (p.kind == ParameterKind::Toggle) {
            if (value >= 1.0f) options.push_back(option);
        } else if (p.kind == ParameterKind::Enumeration) {
            options.insert(options.end(), {option, commandLine(p.labels[static_cast<int>(value)])});
        } else {
            std::ostringstream text;
            text.precision(9);
            text << p.toEngine(value);
            options.insert(options.end(), {option, text.str()});
        }
    }
    return options;
}

// The mono file `source` with `lead` samples of silence before it.
fs::path preceded(const fs::path& source, size_t lead, const fs::path& to) {
    if (lead == 0) return source;
    Sound s = readSound(source);
    s.samples.insert(s.samples.begin(), lead * static_cast<size_t>(s.channels), 0.0f);
    writeSound(to, s);
    return to;
}

} // namespace

Sound renderReference(const Material& m, const std::map<int, float>& hostValues, size_t leadA,
                      size_t leadB, size_t startOffset) {
    std::vector<std::string> argv = {ZEMBRA_E2E_RENDER,
                                     preceded(m.a, leadA, m.dir / "reference-a.wav").string(),
                                     preceded(m.b, leadB, m.dir / "reference-b.wav").string(),
                                     "--raw",
                                     "--start-offset",
                                     std::to_string(startOffset),
                                     "-o",
                                     (m.dir / "reference.wav").string()};
    for (auto& o : renderOptions(hostValues))
        argv.push_back(o);
    const Result r = run(argv);
    EXPECT_EQ(r.status, 0) << r.output;
    return readSound(m.dir / "reference.wav");
}

void expectRendersLikeZembraRender(const std::string& host, const Sound& output, const Material& m,
                                   const std::map<int, float>& hostValues) {
    const Sound reference = renderReference(m, hostValues);
    ASSERT_GT(rms(reference), 0.01);
    const double difference = maxDifference(output, reference);
    std::cout << "[ figure ] " << host << " vs zembra-render --raw: max |difference| " << difference
              << " over " << reference.frames() << " frames, reference RMS " << rms(reference)
              << "\n";
    EXPECT_LT(difference, 1e-6);
}

} // namespace e2e
