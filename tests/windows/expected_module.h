// What Outfold.aex must contain, written out here on its own (not taken from
// the build's generator), so the tests compare the artifact against an
// independent statement of it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace expected {

inline constexpr std::uint16_t kPiplId = 16000;
inline constexpr std::uint16_t kPiplLanguage = 1033;  // English, United States
inline const std::u16string kPiplType = u"PIPL";

struct NamedExport {
    std::uint32_t ordinal;
    std::string name;
};

// The layer copy's C++ name for
//   int copy_layers_to_parent(outfold::PluginInfo const*, AEGP_LayerH, char*,
//                             AEGP_Collection2H*)
// in the global namespace, in the GNU (Itanium) mangling the module is built
// with.
inline const std::string kCopyLayersSymbol =
    "_Z21copy_layers_to_parentPKN7outfold10PluginInfoEP11AEGP_Layer_PcPP16AEGP_Collection_";
inline const std::string kCopyLayersSignature =
    "copy_layers_to_parent(outfold::PluginInfo const*, AEGP_Layer_*, char*, AEGP_Collection_**)";

inline const std::vector<NamedExport> kExports = {
    {1, kCopyLayersSymbol},
    {2, "EntryPointFunc"},
};

// Appends little-endian fields, the way the property list stores them.
class ByteWriter {
public:
    void u16(std::uint16_t value) {
        for (int shift = 0; shift < 16; shift += 8) bytes_.push_back(std::uint8_t(value >> shift));
    }
    void u32(std::uint32_t value) {
        for (int shift = 0; shift < 32; shift += 8) bytes_.push_back(std::uint8_t(value >> shift));
    }
    // A four-character code is the 32-bit value 'abcd' (first character in
    // the high byte), stored little-endian.
    void four_cc(const char (&code)[5]) {
        u32(std::uint32_t(std::uint8_t(code[0])) << 24 |
            std::uint32_t(std::uint8_t(code[1])) << 16 | std::uint32_t(std::uint8_t(code[2])) << 8 |
            std::uint32_t(std::uint8_t(code[3])));
    }
    void text(const std::string& characters) {
        for (char c : characters) bytes_.push_back(std::uint8_t(c));
    }
    void append(const ByteWriter& other) {
        for (std::uint8_t b : other.bytes_) bytes_.push_back(b);
    }
    void byte(std::uint8_t value) { bytes_.push_back(value); }
    void zeros(std::size_t count) { bytes_.insert(bytes_.end(), count, 0); }
    std::size_t size() const { return bytes_.size(); }
    const std::vector<std::uint8_t>& bytes() const { return bytes_; }

private:
    std::vector<std::uint8_t> bytes_;
};

// One property: vendor '8BIM', key, id 0, padded length, padded data.
inline void property(ByteWriter& out, const char (&key)[5], const ByteWriter& data) {
    const std::size_t padded = (data.size() + 3) / 4 * 4;
    out.four_cc("8BIM");
    out.four_cc(key);
    out.u32(0);
    out.u32(std::uint32_t(padded));
    out.append(data);
    out.zeros(padded - data.size());
}

inline ByteWriter pascal_string(const std::string& characters) {
    ByteWriter data;
    data.byte(std::uint8_t(characters.size()));
    data.text(characters);
    return data;
}

inline std::vector<std::uint8_t> pipl_bytes() {
    ByteWriter kind, version, entry;
    kind.four_cc("AEgx");
    version.u32((1u << 19) | (1u << 15) | (4u << 11) | (0u << 9) | 1u);  // 1.1.4, stage 0, build 1
    entry.text("EntryPointFunc");
    entry.byte(0);

    ByteWriter out;
    out.u16(1);
    out.u32(0);  // list version
    out.u32(5);  // number of properties
    property(out, "kind", kind);
    property(out, "name", pascal_string("Outfold"));
    property(out, "catg", pascal_string("General Plugin"));
    property(out, "vers", version);
    property(out, "8664", entry);
    return out.bytes();
}

// The Windows DLLs a module or program of this build may import: the system's
// own, never the GNU runtime's.
inline const std::vector<std::string> kSystemDlls = {
    "kernel32.dll", "kernelbase.dll", "ntdll.dll",  "msvcrt.dll",  "ucrtbase.dll",
    "user32.dll",   "advapi32.dll",   "gdi32.dll",  "shell32.dll", "ole32.dll",
    "oleaut32.dll", "shlwapi.dll",    "ws2_32.dll", "bcrypt.dll",  "version.dll",
};
// API sets ("api-ms-win-crt-runtime-l1-1-0.dll", ...) are system DLLs too.
inline const std::string kApiSetPrefix = "api-ms-win-";
inline const std::vector<std::string> kGnuRuntimeDlls = {
    "libstdc++-6.dll",
    "libgcc_s_seh-1.dll",
    "libwinpthread-1.dll",
};

}  // namespace expected
