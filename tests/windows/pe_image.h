// A small reader for PE32+ images, enough to check what the build puts into
// Outfold.aex: headers, exports, imported DLLs and resources. It reads the
// file as bytes and checks every offset against the file's size; a damaged
// or truncated image raises std::runtime_error instead of reading past it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace pe {

inline constexpr std::uint16_t kMachineAmd64 = 0x8664;
inline constexpr std::uint16_t kMagicPe32Plus = 0x20b;
inline constexpr std::uint16_t kFileExecutableImage = 0x0002;
inline constexpr std::uint16_t kFileDll = 0x2000;
inline constexpr std::uint32_t kSectionExecute = 0x20000000;

struct Section {
    std::string name;
    std::uint32_t virtualAddress = 0;
    std::uint32_t virtualSize = 0;
    std::uint32_t rawOffset = 0;
    std::uint32_t rawSize = 0;
    std::uint32_t characteristics = 0;
};

struct Export {
    std::uint32_t ordinal = 0;  // biased by the directory's base
    std::string name;           // empty when exported by ordinal only
    std::uint32_t rva = 0;
    bool forwarded = false;  // the RVA points at a forwarder string
};

// A resource type or name: a number or a string.
struct ResourceKey {
    std::optional<std::uint16_t> id;
    std::u16string name;
    std::uint32_t nameOffset = 0;  // file offset of the name's first character
};

struct Resource {
    ResourceKey type;
    ResourceKey name;
    std::uint16_t language = 0;
    std::uint32_t rva = 0;
    std::uint32_t fileOffset = 0;  // of the first data byte
    std::vector<std::uint8_t> bytes;
};

class Image {
public:
    static Image read(const std::filesystem::path& file);
    explicit Image(std::vector<std::uint8_t> bytes);

    std::uint16_t machine() const { return machine_; }
    std::uint16_t characteristics() const { return characteristics_; }
    std::uint16_t optionalMagic() const { return optionalMagic_; }
    const std::vector<Section>& sections() const { return sections_; }

    std::string exportedModuleName() const;
    std::vector<Export> exports() const;
    // Names of the DLLs the image imports from, ordinary and delay-loaded.
    std::vector<std::string> importedDlls() const;
    std::vector<Resource> resources() const;

    const Section* section_of(std::uint32_t rva) const;
    // The file offset of `size` bytes at `rva`; throws if they are not all
    // in one section's raw data.
    std::uint32_t file_offset(std::uint32_t rva, std::uint32_t size) const;

private:
    struct Directory {
        std::uint32_t rva = 0;
        std::uint32_t size = 0;
    };

    std::uint16_t u16(std::uint64_t offset) const;
    std::uint32_t u32(std::uint64_t offset) const;
    void require(std::uint64_t offset, std::uint64_t size) const;
    std::string c_string_at(std::uint32_t rva) const;
    Directory directory(std::size_t index) const;
    std::vector<std::string> import_names(std::size_t directoryIndex, std::uint32_t entrySize,
                                          std::uint32_t nameField) const;
    ResourceKey resource_key(std::uint32_t field, std::uint32_t base) const;
    void parse_headers();

    std::vector<std::uint8_t> bytes_;
    std::uint16_t machine_ = 0;
    std::uint16_t characteristics_ = 0;
    std::uint16_t optionalMagic_ = 0;
    std::vector<Directory> directories_;
    std::vector<Section> sections_;
};

// ASCII-only case folding, for comparing DLL names.
std::string lower_ascii(std::string text);

}  // namespace pe
