// SPDX-License-Identifier: GPL-3.0-or-later
// Conversion between PlistValue and libplist's nodes.
#include "platform/foundation/PropertyList.h"

#include <plist/plist.h>

#include <algorithm>
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

// Skips to just past `end`; false when it never comes.
bool skipPast(std::string_view text, std::size_t& at, std::string_view end) {
    const auto found = text.find(end, at);
    if (found == std::string_view::npos) return false;
    at = found + end.size();
    return true;
}

// Whether the XML's elements nest no deeper than `limit`. Tokenises as libplist does:
// processing instructions, comments, CDATA sections and a DOCTYPE (with its internal
// subset) are opaque; every other '<' opens an element unless it is a closing tag or
// ends in "/>". Counting stops short of the parse, so a hostile file costs one pass.
bool nestsWithin(std::string_view text, int limit) {
    int depth = 0;
    std::size_t at = 0;
    while ((at = text.find('<', at)) != std::string_view::npos) {
        const std::string_view rest = text.substr(at);
        bool ok = true;
        if (rest.starts_with("<?")) {
            ok = skipPast(text, at, "?>");
        } else if (rest.starts_with("<!--")) {
            at += 4;
            ok = skipPast(text, at, "-->");
        } else if (rest.starts_with("<![CDATA[")) {
            ok = skipPast(text, at, "]]>");
        } else if (rest.starts_with("<!")) {
            const auto mark = text.find_first_of("[>", at);
            if (mark == std::string_view::npos) return false;
            at = mark;
            ok = skipPast(text, at, text[mark] == '[' ? "]>" : ">");
        } else if (rest.starts_with("</")) {
            depth = std::max(0, depth - 1);
            ok = skipPast(text, at, ">");
        } else {
            const auto close = text.find('>', at);
            if (close == std::string_view::npos) return false;
            if (text[close - 1] != '/' && ++depth > limit) return false;
            at = close + 1;
        }
        if (!ok) return false;
    }
    return true;
}

// XML only, perhaps after a byte-order mark and white space, and without NUL bytes, which
// XML forbids: libplist would take a string holding one and then abort the process on an
// assertion when the string is read out.
bool looksLikeXml(std::string_view bytes) {
    if (bytes.find('\0') != std::string_view::npos) return false;
    if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
    const auto first = bytes.find_first_not_of(" \t\r\n");
    return first != std::string_view::npos && bytes[first] == '<';
}

} // namespace

std::optional<PlistValue> parsePropertyList(std::string_view bytes) {
    if (bytes.empty() || bytes.size() > kMaxPropertyListFileSize) return std::nullopt;
    if (!looksLikeXml(bytes) || !nestsWithin(bytes, kMaxPropertyListDepth)) return std::nullopt;
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
    // Looked at before it is opened: opening a FIFO for reading waits for a writer, and
    // opening a device can have effects of its own. O_NONBLOCK and the fstat below cover a
    // file swapped in between.
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        if (errno == ENOENT) return {ReadStatus::Missing, std::nullopt, {}};
        return {ReadStatus::Unreadable, std::nullopt, std::strerror(errno)};
    }
    const auto refusal = [](const struct stat& st) -> const char* {
        if (!S_ISREG(st.st_mode)) return "not a regular file";
        if (static_cast<std::uintmax_t>(st.st_size) > kMaxPropertyListFileSize)
            return "larger than a property list of ours";
        return nullptr;
    };
    if (const char* why = refusal(info)) return {ReadStatus::Refused, std::nullopt, why};
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        if (errno == ENOENT) return {ReadStatus::Missing, std::nullopt, {}};
        return {ReadStatus::Unreadable, std::nullopt, std::strerror(errno)};
    }
    std::string bytes;
    bool ok = ::fstat(fd, &info) == 0;
    if (const char* why = ok ? refusal(info) : nullptr) {
        ::close(fd);
        return {ReadStatus::Refused, std::nullopt, why};
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
            return {ReadStatus::Refused, std::nullopt, "larger than a property list of ours"};
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
