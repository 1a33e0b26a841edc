// A small reader for PE32+ images, enough to check what the build puts into
// Outfold.aex and the programs: headers, exports and imported DLLs. It reads the
// file as bytes and checks every offset against the file's size; a damaged
// or truncated image raises std::runtime_error instead of reading past it.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

namespace pe {

using Bytes = std::vector<std::uint8_t>;

inline constexpr std::uint16_t kMagicPe32Plus = 0x20b;

inline Bytes read_bytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw std::runtime_error("cannot open " + file.string());
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// ASCII-only case folding, for comparing DLL names.
inline std::string lower_ascii(std::string text) {
    for (char& c : text) c = (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
    return text;
}

struct Section {
    std::string name;
    std::uint32_t virtualAddress, virtualSize, rawSize, rawOffset, characteristics;
};

struct Export {
    std::uint32_t ordinal = 0;  // biased by the directory's base
    std::string name;           // empty when exported by ordinal only
    std::uint32_t rva = 0;
};

class Image {
public:
    // From the headers.
    std::uint16_t machine = 0, characteristics = 0, optionalMagic = 0;
    std::vector<Section> sections;

    explicit Image(Bytes bytes) : bytes_(std::move(bytes)) {
        if (u16(0) != 0x5A4D) malformed("no MZ signature");
        const std::uint64_t pe = u32(0x3C), optional = pe + 24;
        if (u32(pe) != 0x00004550) malformed("no PE signature");
        machine = u16(pe + 4);
        characteristics = u16(pe + 22);
        optionalMagic = u16(optional);
        if (optionalMagic != kMagicPe32Plus) return;  // only PE32+ has the layout below
        const std::uint16_t optionalSize = u16(pe + 20);
        const std::uint32_t directoryCount = u32(optional + 108);
        if (112 + std::uint64_t(directoryCount) * 8 > optionalSize)
            malformed("data directories overrun the optional header");
        for (std::uint32_t i = 0; i < std::min(directoryCount, 16u); ++i)
            directories_[i] = u32(optional + 112 + i * 8);
        for (std::uint64_t i = 0, at = optional + optionalSize; i < u16(pe + 6); ++i, at += 40) {
            require(at, 40);
            const char* name = reinterpret_cast<const char*>(&bytes_[at]);
            sections.push_back({std::string(name, std::find(name, name + 8, '\0')), u32(at + 12),
                                u32(at + 8), u32(at + 16), u32(at + 20), u32(at + 36)});
        }
    }

    const Section* section_of(std::uint32_t rva) const {
        for (const Section& s : sections)
            if (rva >= s.virtualAddress &&
                rva - s.virtualAddress < std::max(s.virtualSize, s.rawSize))
                return &s;
        return nullptr;
    }

    std::string exportedModuleName() const {
        const std::uint32_t rva = directories_[0];
        return rva == 0 ? std::string() : c_string_at(u32(file_offset(rva, 40) + 12));
    }

    std::vector<Export> exports() const {
        if (directories_[0] == 0) return {};
        const std::uint32_t at = file_offset(directories_[0], 40), base = u32(at + 16);
        std::vector<Export> slots(u32(at + 20));
        for (std::uint32_t i = 0; i < slots.size(); ++i)
            slots[i] = {base + i, {}, u32(file_offset(u32(at + 28) + i * 4, 4))};
        for (std::uint32_t i = 0; i < u32(at + 24); ++i) {
            const std::uint16_t slot = u16(file_offset(u32(at + 36) + i * 2, 2));
            if (slot >= slots.size() || slots[slot].rva == 0 || !slots[slot].name.empty())
                malformed("an export name for no export, an empty slot or a named one");
            slots[slot].name = c_string_at(u32(file_offset(u32(at + 32) + i * 4, 4)));
        }
        std::erase_if(slots, [](const Export& e) { return e.rva == 0; });  // unused ordinals
        return slots;
    }

    // Names of the DLLs the image imports from, ordinary and delay-loaded.
    std::vector<std::string> importedDlls() const {
        std::vector<std::string> names;
        // Directory, entry size, offset of the name in an entry.
        for (const auto [index, size, field] : {std::array{1u, 20u, 12u}, {13u, 32u, 4u}}) {
            for (std::uint32_t entry = directories_[index]; entry != 0; entry += size) {
                const std::uint32_t name = u32(file_offset(entry, size) + field);
                if (name == 0) break;  // the all-zero terminator
                names.push_back(c_string_at(name));
            }
        }
        return names;
    }

private:
    // The file offset of `size` bytes at `rva`; throws if they are not all
    // in one section's raw data.
    std::uint32_t file_offset(std::uint32_t rva, std::uint32_t size) const {
        const Section* s = section_of(rva);
        if (s == nullptr || std::uint64_t(rva - s->virtualAddress) + size > s->rawSize)
            malformed("no file data at RVA " + std::to_string(rva));
        require(std::uint64_t(s->rawOffset) + (rva - s->virtualAddress), size);
        return s->rawOffset + (rva - s->virtualAddress);
    }

    [[noreturn]] static void malformed(const std::string& what) {
        throw std::runtime_error("malformed PE image: " + what);
    }
    void require(std::uint64_t offset, std::uint64_t size) const {
        if (offset > bytes_.size() || size > bytes_.size() - offset)
            malformed("read past the end of the file at offset " + std::to_string(offset));
    }
    std::uint16_t u16(std::uint64_t at) const {
        require(at, 2);
        return std::uint16_t(bytes_[at] | bytes_[at + 1] << 8);
    }
    std::uint32_t u32(std::uint64_t at) const { return u16(at) | std::uint32_t(u16(at + 2)) << 16; }

    std::string c_string_at(std::uint32_t rva) const {
        const auto begin = bytes_.begin() + file_offset(rva, 1);
        const auto end = std::find(begin, bytes_.end(), 0);
        if (end == bytes_.end()) malformed("a string runs past the end of the file");
        return std::string(begin, end);
    }

    Bytes bytes_;
    std::array<std::uint32_t, 16> directories_{};  // the tables' RVAs; 0: none
};

}  // namespace pe
