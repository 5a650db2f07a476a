// SPDX-License-Identifier: GPL-3.0-or-later
// Property lists as plain values: what Info.plist, the preference file and
// CreatePropertyListFromFile hold. Parsing and writing go through libplist.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace fnd {

class PlistValue;
using PlistArray = std::vector<PlistValue>;
using PlistDict = std::map<std::string, PlistValue, std::less<>>;
using PlistData = std::vector<std::uint8_t>;
// XML property lists keep dates to the second.
struct PlistDate {
    double secondsSince2001; // the property-list epoch, 2001-01-01 00:00:00 UTC
    bool operator==(const PlistDate&) const = default;
};

// Integers are kept as 64-bit two's complement: an unsigned value above INT64_MAX in a
// file reads as the negative integer with the same bits, and is written back that way.
class PlistValue {
  public:
    using Storage = std::variant<bool, int64_t, double, std::string, PlistData, PlistDate,
                                 PlistArray, PlistDict>;

    PlistValue() : mStorage(PlistDict{}) {}
    PlistValue(bool v) : mStorage(v) {}
    PlistValue(int32_t v) : mStorage(int64_t{v}) {}
    PlistValue(int64_t v) : mStorage(v) {}
    PlistValue(float v) : mStorage(double{v}) {}
    PlistValue(double v) : mStorage(v) {}
    PlistValue(std::string v) : mStorage(std::move(v)) {}
    PlistValue(const char* v) : mStorage(std::string(v)) {}
    PlistValue(PlistData v) : mStorage(std::move(v)) {}
    PlistValue(PlistDate v) : mStorage(v) {}
    PlistValue(PlistArray v) : mStorage(std::move(v)) {}
    PlistValue(PlistDict v) : mStorage(std::move(v)) {}

    const Storage& storage() const { return mStorage; }
    template <typename T> const T* get() const { return std::get_if<T>(&mStorage); }
    template <typename T> T* get() { return std::get_if<T>(&mStorage); }

    bool operator==(const PlistValue&) const = default;

  private:
    Storage mStorage;
};

// Parses an XML (or binary) property list; nullopt when the bytes are not one.
std::optional<PlistValue> parsePropertyList(std::string_view bytes);
// The XML form, as written to files.
std::string toXmlPropertyList(const PlistValue& value);

// Files larger than this are not property lists of ours; refusing them keeps a stray
// multi-gigabyte file from being read into memory.
constexpr std::uintmax_t kMaxPropertyListFileSize = 16u << 20;

enum class ReadStatus { Ok, Missing, Unreadable, Corrupt };
struct PlistFileResult {
    ReadStatus status;
    std::optional<PlistValue> value; // set when status is Ok
    std::string problem;             // what went wrong, for the log
};
PlistFileResult readPropertyListFile(const std::filesystem::path& path);

} // namespace fnd
