// SPDX-License-Identifier: GPL-3.0-or-later
// The LV2 module driven as a host drives it, through its descriptor: deactivated and
// activated again (as after a bypass, a relocation or a new sample rate), an instance plays
// exactly what a new instance with the same control values plays.
#include <lv2/atom/atom.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/core/lv2.h>
#include <lv2/options/options.h>
#include <lv2/urid/urid.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const fs::path kBundle = fs::path(ZEMBRA_E2E_LV2_DIR) / "zembra.lv2";
constexpr double kRate = 48000.0;
constexpr int32_t kMaxBlock = 512;

// Port indexes by symbol, read from the bundle's description as a host reads them.
std::map<std::string, uint32_t> portIndexes() {
    std::ifstream in(kBundle / "zembra.ttl");
    std::ostringstream text;
    text << in.rdbuf();
    const std::string ttl = text.str();
    std::map<std::string, uint32_t> ports;
    const std::string index = "lv2:index ", symbol = "lv2:symbol \"";
    for (size_t at = ttl.find(index); at != std::string::npos; at = ttl.find(index, at + 1)) {
        const auto n = static_cast<uint32_t>(std::stoul(ttl.substr(at + index.size())));
        const size_t s = ttl.find(symbol, at) + symbol.size();
        ports[ttl.substr(s, ttl.find('"', s) - s)] = n;
    }
    return ports;
}

struct UridMap {
    static LV2_URID map(LV2_URID_Map_Handle handle, const char* uri) {
        auto& ids = *static_cast<std::map<std::string, LV2_URID>*>(handle);
        return ids.emplace(uri, static_cast<LV2_URID>(ids.size() + 1)).first->second;
    }
    std::map<std::string, LV2_URID> ids;
    LV2_URID_Map feature{&ids, &UridMap::map};
};

class Module {
  public:
    Module() : handle(dlopen((kBundle / "zembra.so").c_str(), RTLD_NOW | RTLD_LOCAL)) {
        if (!handle) return;
        auto entry = reinterpret_cast<LV2_Descriptor_Function>(dlsym(handle, "lv2_descriptor"));
        descriptor = entry ? entry(0) : nullptr;
    }
    // Left loaded: what the module registered at load lives as long as the process.
    void* handle;
    const LV2_Descriptor* descriptor = nullptr;
};

// One instance with every port connected: the two sources, the outputs, an empty event
// sequence and a value for each control.
class Instance {
  public:
    Instance(const Module& module, const std::map<std::string, float>& controls)
        : d(module.descriptor), ports(portIndexes()) {
        const LV2_URID intType = map.feature.map(map.feature.handle, LV2_ATOM__Int);
        options = {{LV2_OPTIONS_INSTANCE, 0,
                    map.feature.map(map.feature.handle, LV2_BUF_SIZE__maxBlockLength),
                    sizeof(int32_t), intType, &maxBlock},
                   {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr}};
        const LV2_Feature mapFeature{LV2_URID__map, &map.feature};
        const LV2_Feature optionsFeature{LV2_OPTIONS__options, options.data()};
        const LV2_Feature* features[] = {&mapFeature, &optionsFeature, nullptr};
        handle = d->instantiate(d, kRate, kBundle.c_str(), features);
        if (!handle) return;
        values.assign(ports.size() + 8, 0.0f);
        events.atom.type = map.feature.map(map.feature.handle, LV2_ATOM__Sequence);
        for (const auto& [symbol, index] : ports) {
            if (symbol == "lv2_in_a")
                d->connect_port(handle, index, inA.data());
            else if (symbol == "lv2_in_b")
                d->connect_port(handle, index, inB.data());
            else if (symbol == "lv2_out_l")
                d->connect_port(handle, index, outL.data());
            else if (symbol == "lv2_out_r")
                d->connect_port(handle, index, outR.data());
            else if (symbol == "lv2_events_in")
                d->connect_port(handle, index, &events);
            else
                d->connect_port(handle, index, &values[index]);
        }
        for (const auto& [symbol, value] : controls)
            values.at(ports.at(symbol)) = value;
    }
    ~Instance() {
        if (handle) d->cleanup(handle);
    }
    bool valid() const { return handle != nullptr; }
    void activate() { d->activate(handle); }
    void deactivate() { d->deactivate(handle); }

    // Left and right, one after the other.
    std::vector<float> play(const std::vector<float>& a, const std::vector<float>& b) {
        std::vector<float> out;
        for (size_t done = 0; done < a.size(); done += kMaxBlock) {
            const size_t n = std::min<size_t>(kMaxBlock, a.size() - done);
            std::copy_n(a.begin() + done, n, inA.begin());
            std::copy_n(b.begin() + done, n, inB.begin());
            events.atom.size = sizeof(LV2_Atom_Sequence_Body);
            d->run(handle, static_cast<uint32_t>(n));
            out.insert(out.end(), outL.begin(), outL.begin() + n);
            out.insert(out.end(), outR.begin(), outR.begin() + n);
        }
        return out;
    }

  private:
    const LV2_Descriptor* d;
    std::map<std::string, uint32_t> ports;
    UridMap map;
    int32_t maxBlock = kMaxBlock;
    std::vector<LV2_Options_Option> options;
    LV2_Handle handle = nullptr;
    std::vector<float> values;
    std::vector<float> inA = std::vector<float>(kMaxBlock), inB = std::vector<float>(kMaxBlock);
    std::vector<float> outL = std::vector<float>(kMaxBlock), outR = std::vector<float>(kMaxBlock);
    LV2_Atom_Sequence events{};
};

std::vector<float> tone(size_t frames, float step, float level) {
    std::vector<float> v(frames);
    for (size_t i = 0; i < frames; ++i)
        v[i] = level * std::sin(step * static_cast<float>(i));
    return v;
}

} // namespace

TEST(Lv2Activation, AReactivatedInstancePlaysExactlyWhatANewOnePlays) {
    const Module module;
    ASSERT_NE(module.descriptor, nullptr) << dlerror();
    // The blend with a long room, then the solo path with its delay.
    const std::vector<std::map<std::string, float>> settings = {
        {{"x", 0.1f},
         {"y", 0.3f},
         {"wet_dry", 60.0f},
         {"room", 90.0f},
         {"stereo", 1.0f},
         {"volume", 100.0f},
         {"mix_a", 20.0f}},
        {{"solo_a", 1.0f}, {"volume", 100.0f}, {"room", 50.0f}, {"x", 0.5f}, {"y", 0.5f}}};
    const auto loudA = tone(12000, 0.05f, 0.6f), loudB = tone(12000, 0.013f, 0.5f);
    const auto a = tone(6000, 0.021f, 0.3f), b = tone(6000, 0.007f, 0.2f);
    for (const auto& controls : settings) {
        Instance used(module, controls);
        ASSERT_TRUE(used.valid());
        used.activate();
        used.play(loudA, loudB);
        used.deactivate();
        used.activate();
        const std::vector<float> again = used.play(a, b);

        Instance fresh(module, controls);
        ASSERT_TRUE(fresh.valid());
        fresh.activate();
        const std::vector<float> expected = fresh.play(a, b);
        ASSERT_EQ(again.size(), expected.size());
        size_t differing = 0;
        for (size_t i = 0; i < again.size(); ++i)
            differing += again[i] != expected[i] ? 1 : 0;
        EXPECT_EQ(differing, 0u) << "of " << again.size() << " samples";
        EXPECT_GT(*std::max_element(expected.begin(), expected.end()), 0.01f) << "silence";
    }
}
