// The property list: a 2-byte version, a 4-byte list version, a 4-byte
// property count, then properties of vendor code, key, id, data length (a
// multiple of 4) and the data; all integers little-endian.
#include <cstring>

#include "module/module.h"

namespace host::module {

namespace {

constexpr std::size_t kHeaderBytes = 10;
constexpr std::size_t kPropertyHeaderBytes = 16;
constexpr std::uint32_t kMaxProperties = 1024;

std::uint32_t read_u32(std::span<const std::uint8_t> bytes, std::size_t at) {
    return std::uint32_t(bytes[at]) | (std::uint32_t(bytes[at + 1]) << 8) |
           (std::uint32_t(bytes[at + 2]) << 16) | (std::uint32_t(bytes[at + 3]) << 24);
}

}  // namespace

std::string pipl_entry_point(std::span<const std::uint8_t> bytes, std::string& error) {
    if (bytes.size() < kHeaderBytes) {
        error = "the property list is shorter than its header";
        return {};
    }
    const std::uint32_t count = read_u32(bytes, 6);
    if (count > kMaxProperties) {
        error = "the property list claims " + std::to_string(count) + " properties";
        return {};
    }
    std::size_t at = kHeaderBytes;
    for (std::uint32_t i = 0; i < count; ++i) {
        if (bytes.size() - at < kPropertyHeaderBytes) {
            error = "property " + std::to_string(i) + " runs past the end of the list";
            return {};
        }
        const std::uint32_t vendor = read_u32(bytes, at);
        const std::uint32_t key = read_u32(bytes, at + 4);
        const std::uint32_t length = read_u32(bytes, at + 12);
        at += kPropertyHeaderBytes;
        if (length % 4 != 0 || length > bytes.size() - at) {
            error = "property " + std::to_string(i) + " has a bad data length";
            return {};
        }
        if (vendor == four_cc("8BIM") && key == four_cc("8664")) {
            const auto data = bytes.subspan(at, length);
            const void* end = std::memchr(data.data(), 0, data.size());
            if (end == nullptr || end == data.data()) {
                error = "the entry-point property holds no terminated name";
                return {};
            }
            return std::string(reinterpret_cast<const char*>(data.data()),
                               static_cast<const std::uint8_t*>(end) - data.data());
        }
        at += length;
    }
    error = "the property list names no x64 entry point";
    return {};
}

}  // namespace host::module
