// SPDX-License-Identifier: GPL-3.0-or-later
// Conversion between PlistValue and libplist's nodes.
#include "platform/foundation/PropertyList.h"

#include <plist/plist.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace fnd {
namespace {

struct PlistFree {
    void operator()(plist_t node) const { plist_free(node); }
};
using PlistNode = std::unique_ptr<void, PlistFree>;

std::optional<PlistValue> fromNode(plist_t node) {
    switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
        uint8_t v = 0;
        plist_get_bool_val(node, &v);
        return PlistValue(v != 0);
    }
    case PLIST_UINT: {
        uint64_t v = 0;
        plist_get_uint_val(node, &v);
        return PlistValue(static_cast<int64_t>(v));
    }
    case PLIST_UID: {
        uint64_t v = 0;
        plist_get_uid_val(node, &v);
        return PlistValue(static_cast<int64_t>(v));
    }
    case PLIST_REAL: {
        double v = 0;
        plist_get_real_val(node, &v);
        return PlistValue(v);
    }
    case PLIST_STRING:
    case PLIST_KEY: {
        char* v = nullptr;
        if (plist_get_node_type(node) == PLIST_STRING)
            plist_get_string_val(node, &v);
        else
            plist_get_key_val(node, &v);
        std::string s = v ? v : "";
        std::free(v);
        return PlistValue(std::move(s));
    }
    case PLIST_DATA: {
        char* v = nullptr;
        uint64_t length = 0;
        plist_get_data_val(node, &v, &length);
        PlistData bytes(v, v + length);
        std::free(v);
        return PlistValue(std::move(bytes));
    }
    case PLIST_DATE: {
        int32_t sec = 0, usec = 0;
        plist_get_date_val(node, &sec, &usec);
        return PlistValue(PlistDate{sec + usec / 1e6});
    }
    case PLIST_ARRAY: {
        PlistArray items;
        const uint32_t n = plist_array_get_size(node);
        items.reserve(n);
        for (uint32_t i = 0; i < n; ++i) {
            auto item = fromNode(plist_array_get_item(node, i));
            if (!item) return std::nullopt;
            items.push_back(std::move(*item));
        }
        return PlistValue(std::move(items));
    }
    case PLIST_DICT: {
        PlistDict dict;
        plist_dict_iter it = nullptr;
        plist_dict_new_iter(node, &it);
        for (;;) {
            char* key = nullptr;
            plist_t item = nullptr;
            plist_dict_next_item(node, it, &key, &item);
            if (!item) {
                std::free(key);
                break;
            }
            auto value = fromNode(item);
            std::string name = key ? key : "";
            std::free(key);
            if (!value) {
                std::free(it);
                return std::nullopt;
            }
            dict.insert_or_assign(std::move(name), std::move(*value));
        }
        std::free(it);
        return PlistValue(std::move(dict));
    }
    case PLIST_NONE:
        break;
    }
    return std::nullopt;
}

plist_t toNode(const PlistValue& value) {
    struct Visitor {
        plist_t operator()(bool v) const { return plist_new_bool(v ? 1 : 0); }
        // libplist writes integers signed unless flagged as large unsigned: -1 stays -1.
        plist_t operator()(int64_t v) const { return plist_new_uint(static_cast<uint64_t>(v)); }
        plist_t operator()(double v) const { return plist_new_real(v); }
        plist_t operator()(const std::string& v) const { return plist_new_string(v.c_str()); }
        plist_t operator()(const PlistData& v) const {
            return plist_new_data(reinterpret_cast<const char*>(v.data()), v.size());
        }
        plist_t operator()(const PlistDate& v) const {
            auto sec = static_cast<int32_t>(v.secondsSince2001);
            auto usec = static_cast<int32_t>((v.secondsSince2001 - sec) * 1e6);
            return plist_new_date(sec, usec);
        }
        plist_t operator()(const PlistArray& v) const {
            plist_t node = plist_new_array();
            for (const auto& item : v)
                plist_array_append_item(node, toNode(item));
            return node;
        }
        plist_t operator()(const PlistDict& v) const {
            plist_t node = plist_new_dict();
            for (const auto& [key, item] : v)
                plist_dict_set_item(node, key.c_str(), toNode(item));
            return node;
        }
    };
    return std::visit(Visitor{}, value.storage());
}

} // namespace

std::optional<PlistValue> parsePropertyList(std::string_view bytes) {
    if (bytes.empty() || bytes.size() > kMaxPropertyListFileSize) return std::nullopt;
    plist_t root = nullptr;
    plist_from_memory(bytes.data(), static_cast<uint32_t>(bytes.size()), &root);
    if (!root) return std::nullopt;
    PlistNode owner(root);
    return fromNode(root);
}

std::string toXmlPropertyList(const PlistValue& value) {
    PlistNode root(toNode(value));
    char* xml = nullptr;
    uint32_t length = 0;
    plist_to_xml(root.get(), &xml, &length);
    std::string text(xml ? xml : "", xml ? length : 0);
    plist_to_xml_free(xml);
    return text;
}

PlistFileResult readPropertyListFile(const std::filesystem::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) return {ReadStatus::Missing, std::nullopt, {}};
        return {ReadStatus::Unreadable, std::nullopt, std::strerror(errno)};
    }
    std::string bytes;
    struct stat info {};
    bool ok = ::fstat(fd, &info) == 0;
    if (ok && !S_ISREG(info.st_mode)) {
        ::close(fd);
        return {ReadStatus::Unreadable, std::nullopt, "not a regular file"};
    }
    if (ok && static_cast<std::uintmax_t>(info.st_size) > kMaxPropertyListFileSize) {
        ::close(fd);
        return {ReadStatus::Corrupt, std::nullopt, "file too large"};
    }
    char buffer[8192];
    while (ok) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) ok = false;
        if (n <= 0) break;
        bytes.append(buffer, static_cast<std::size_t>(n));
        if (bytes.size() > kMaxPropertyListFileSize) {
            ::close(fd);
            return {ReadStatus::Corrupt, std::nullopt, "file too large"};
        }
    }
    const int savedErrno = errno;
    ::close(fd);
    if (!ok) return {ReadStatus::Unreadable, std::nullopt, std::strerror(savedErrno)};
    auto value = parsePropertyList(bytes);
    if (!value) return {ReadStatus::Corrupt, std::nullopt, "not a property list"};
    return {ReadStatus::Ok, std::move(value), {}};
}

} // namespace fnd
