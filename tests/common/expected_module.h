// What Outfold.aex must contain, stated independently of the build's generator.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace expected {

inline constexpr std::uint16_t kPiplId = 16000;
inline constexpr std::uint16_t kPiplLanguage = 1033;  // English, United States
inline const std::string kCommand = "Outfold | Select a pre-comp layer";

// Ordinal and name; the layer copy under the GNU (Itanium) mangling of its global C++ signature.
inline const std::vector<std::pair<std::uint32_t, std::string>> kExports = {
    {1, "_Z21copy_layers_to_parentPKN7outfold10PluginInfoEP11AEGP_Layer_PcPP16AEGP_Collection_"},
    {2, "EntryPointFunc"},
};

// The property list's fields are little-endian.
struct Writer : std::vector<std::uint8_t> {
    Writer& le(std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) push_back(std::uint8_t(value >> 8 * i));
        return *this;
    }
    // A four-character code is the 32-bit value 'abcd' (first character in the high byte).
    Writer& code(std::string_view c) {
        return le(std::uint32_t(c[0]) << 24 | c[1] << 16 | c[2] << 8 | c[3], 4);
    }
    Writer& append(std::string_view bytes) {
        insert(end(), bytes.begin(), bytes.end());
        return *this;
    }
};

inline std::vector<std::uint8_t> pipl_bytes() {
    const std::pair<const char*, Writer> properties[] = {
        {"kind", Writer().code("AEgx")},
        {"name", Writer().le(7, 1).append("Outfold")},  // counted text
        {"catg", Writer().le(14, 1).append("General Plugin")},
        // 1.1.4, stage 0, build 1
        {"vers", Writer().le(1u << 19 | 1u << 15 | 4u << 11 | 0u << 9 | 1u, 4)},
        {"8664", Writer().append(std::string_view("EntryPointFunc", 15))},  // with its NUL
    };
    Writer out;
    out.le(1, 2).le(0, 4).le(5, 4);  // version, list version, number of properties
    // Each: vendor '8BIM', key, id 0, padded length, data padded to 4 bytes.
    for (const auto& [key, data] : properties) {
        const std::uint32_t padded = (data.size() + 3) / 4 * 4;
        out.code("8BIM").code(key).le(0, 4).le(padded, 4);
        out.insert(out.end(), data.begin(), data.end());
        out.le(0, padded - data.size());
    }
    return out;
}

// The system's DLLs and API sets ("api-ms-win-crt-..."); never the GNU runtime's, linked in.
inline const std::vector<std::string> kSystemDlls = {
    "kernel32.dll", "kernelbase.dll", "ntdll.dll",  "msvcrt.dll",  "ucrtbase.dll",
    "user32.dll",   "advapi32.dll",   "gdi32.dll",  "shell32.dll", "ole32.dll",
    "oleaut32.dll", "shlwapi.dll",    "ws2_32.dll", "bcrypt.dll",  "version.dll",
};
inline const std::string kApiSetPrefix = "api-ms-win-";

}  // namespace expected
