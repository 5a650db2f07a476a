// SPDX-License-Identifier: GPL-3.0-or-later
// The in-memory plug-in instance.
#include "platform/audiounit/TestHost.h"

namespace au {

TestHost::TestHost(std::vector<AudioUnitParameterValue> initial, Rule rule)
    : mValues(std::move(initial)), mRule(std::move(rule)) {}

std::uint32_t TestHost::parameterCount() const {
    std::lock_guard lock(mMutex);
    return static_cast<std::uint32_t>(mValues.size());
}

AudioUnitParameterValue TestHost::getParameter(AudioUnitParameterID id) const {
    std::lock_guard lock(mMutex);
    return id < mValues.size() ? mValues[id] : 0.0f;
}

void TestHost::setParameter(AudioUnitParameterID id, AudioUnitParameterValue value) {
    std::lock_guard lock(mMutex);
    mCalls.push_back({Call::Kind::Set, id, value});
    if (id < mValues.size()) mValues[id] = mRule ? mRule(id, value) : value;
}

void TestHost::store(AudioUnitParameterID id, AudioUnitParameterValue value) {
    std::lock_guard lock(mMutex);
    if (id < mValues.size()) mValues[id] = mRule ? mRule(id, value) : value;
}

void TestHost::beginParameterGesture(AudioUnitParameterID id) {
    std::lock_guard lock(mMutex);
    mCalls.push_back({Call::Kind::BeginGesture, id, 0.0f});
}

void TestHost::endParameterGesture(AudioUnitParameterID id) {
    std::lock_guard lock(mMutex);
    mCalls.push_back({Call::Kind::EndGesture, id, 0.0f});
}

void TestHost::parameterValueEvent(AudioUnitParameterID id) {
    std::lock_guard lock(mMutex);
    mCalls.push_back({Call::Kind::ValueEvent, id, 0.0f});
}

std::vector<TestHost::Call> TestHost::calls() const {
    std::lock_guard lock(mMutex);
    return mCalls;
}

std::vector<TestHost::Call> TestHost::calls(Call::Kind kind) const {
    std::lock_guard lock(mMutex);
    std::vector<Call> out;
    for (const auto& c : mCalls)
        if (c.kind == kind) out.push_back(c);
    return out;
}

void TestHost::clearCalls() {
    std::lock_guard lock(mMutex);
    mCalls.clear();
}

OSStatus TestHost::getProperty(AudioUnitPropertyID id, void* outData,
                               std::uint32_t dataSize) const {
    PropertySource source;
    {
        std::lock_guard lock(mMutex);
        auto it = mProperties.find(id);
        if (it == mProperties.end()) return kAUErrInvalidProperty;
        source = it->second;
    }
    return source(outData, dataSize);
}

void TestHost::setProperty(AudioUnitPropertyID id, PropertySource source) {
    std::lock_guard lock(mMutex);
    mProperties[id] = std::move(source);
}

} // namespace au
