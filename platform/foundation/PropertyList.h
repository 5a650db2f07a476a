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

// Elements nested deeper than this (arrays and dictionaries within each other) make a
// property list unreadable: libplist and the conversion recurse once per level, and a
// hand-made file a few megabytes of "<array>" deep would otherwise exhaust the stack.
// Our own lists are three levels deep.
constexpr int kMaxPropertyListDepth = 128;

// Parses an XML property list; nullopt when the bytes are not one, or nest deeper than
// kMaxPropertyListDepth. Binary property lists are not read: nothing of ours writes them,
// and libplist's binary reader follows nested references with no bound on their depth.
std::optional<PlistValue> parsePropertyList(std::string_view bytes);
// The XML form, as written to files.
std::string toXmlPropertyList(const PlistValue& value);

// Files larger than this are not property lists of ours (the preference file holds a few
// hundred bytes, Info.plist and presets a few kilobytes); refusing them keeps a stray large
// file from costing a host hundreds of megabytes of parsed nodes.
constexpr std::uintmax_t kMaxPropertyListFileSize = 1u << 20;

// Refused: something is there but is not read, and should be left as it is: not a regular
// file (a FIFO would block the reader, a device might do anything on open) or larger than
// kMaxPropertyListFileSize.
enum class ReadStatus { Ok, Missing, Unreadable, Corrupt, Refused };
struct PlistFileResult {
    ReadStatus status;
    std::optional<PlistValue> value; // set when status is Ok
    std::string problem;             // what went wrong, for the log
};
PlistFileResult readPropertyListFile(const std::filesystem::path& path);

} // namespace fnd
