#include "windows/pe_image.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace pe {
namespace {

constexpr std::size_t kExportDirectory = 0;
constexpr std::size_t kImportDirectory = 1;
constexpr std::size_t kResourceDirectory = 2;
constexpr std::size_t kDelayImportDirectory = 13;

constexpr std::uint32_t kHighBit = 0x80000000u;
// Resource trees are type / name / language; anything deeper is malformed.
constexpr int kResourceLevels = 3;

[[noreturn]] void malformed(const std::string& what) {
    throw std::runtime_error("malformed PE image: " + what);
}

}  // namespace

std::string lower_ascii(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; });
    return text;
}

Image Image::read(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw std::runtime_error("cannot open " + file.string());
    std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in),
                                    std::istreambuf_iterator<char>()};
    return Image(std::move(bytes));
}

Image::Image(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) { parse_headers(); }

void Image::require(std::uint64_t offset, std::uint64_t size) const {
    if (offset > bytes_.size() || size > bytes_.size() - offset)
        malformed("read past the end of the file at offset " + std::to_string(offset));
}

std::uint16_t Image::u16(std::uint64_t offset) const {
    require(offset, 2);
    return std::uint16_t(bytes_[offset] | (bytes_[offset + 1] << 8));
}

std::uint32_t Image::u32(std::uint64_t offset) const {
    require(offset, 4);
    return std::uint32_t(bytes_[offset]) | (std::uint32_t(bytes_[offset + 1]) << 8) |
           (std::uint32_t(bytes_[offset + 2]) << 16) | (std::uint32_t(bytes_[offset + 3]) << 24);
}

void Image::parse_headers() {
    if (u16(0) != 0x5A4D) malformed("no MZ signature");
    const std::uint32_t pe = u32(0x3C);
    if (u32(pe) != 0x00004550) malformed("no PE signature");

    const std::uint64_t coff = pe + 4;
    machine_ = u16(coff);
    const std::uint16_t sectionCount = u16(coff + 2);
    const std::uint16_t optionalSize = u16(coff + 16);
    characteristics_ = u16(coff + 18);

    const std::uint64_t optional = coff + 20;
    optionalMagic_ = u16(optional);
    if (optionalMagic_ != kMagicPe32Plus) return;  // only PE32+ has the layout below

    const std::uint32_t directoryCount = u32(optional + 108);
    if (112 + std::uint64_t(directoryCount) * 8 > optionalSize)
        malformed("data directories overrun the optional header");
    for (std::uint32_t i = 0; i < directoryCount; ++i)
        directories_.push_back({u32(optional + 112 + i * 8), u32(optional + 116 + i * 8)});

    const std::uint64_t table = optional + optionalSize;
    for (std::uint16_t i = 0; i < sectionCount; ++i) {
        const std::uint64_t at = table + std::uint64_t(i) * 40;
        require(at, 40);
        Section s;
        const char* rawName = reinterpret_cast<const char*>(&bytes_[at]);
        s.name.assign(rawName, std::find(rawName, rawName + 8, '\0'));
        s.virtualSize = u32(at + 8);
        s.virtualAddress = u32(at + 12);
        s.rawSize = u32(at + 16);
        s.rawOffset = u32(at + 20);
        s.characteristics = u32(at + 36);
        sections_.push_back(s);
    }
}

const Section* Image::section_of(std::uint32_t rva) const {
    for (const Section& s : sections_) {
        const std::uint32_t extent = std::max(s.virtualSize, s.rawSize);
        if (rva >= s.virtualAddress && rva - s.virtualAddress < extent) return &s;
    }
    return nullptr;
}

std::uint32_t Image::file_offset(std::uint32_t rva, std::uint32_t size) const {
    const Section* s = section_of(rva);
    if (s == nullptr) malformed("RVA " + std::to_string(rva) + " is in no section");
    const std::uint64_t within = rva - s->virtualAddress;
    if (within + size > s->rawSize) malformed("RVA " + std::to_string(rva) + " has no file data");
    const std::uint64_t offset = s->rawOffset + within;
    require(offset, size);
    return std::uint32_t(offset);
}

std::string Image::c_string_at(std::uint32_t rva) const {
    std::string text;
    for (std::uint32_t at = file_offset(rva, 1);; ++at) {
        require(at, 1);
        if (bytes_[at] == 0) return text;
        text.push_back(char(bytes_[at]));
    }
}

Image::Directory Image::directory(std::size_t index) const {
    return index < directories_.size() ? directories_[index] : Directory{};
}

std::string Image::exportedModuleName() const {
    const Directory d = directory(kExportDirectory);
    if (d.rva == 0) return {};
    return c_string_at(u32(file_offset(d.rva, 40) + 12));
}

std::vector<Export> Image::exports() const {
    const Directory d = directory(kExportDirectory);
    if (d.rva == 0) return {};
    const std::uint32_t at = file_offset(d.rva, 40);
    const std::uint32_t base = u32(at + 16);
    const std::uint32_t functionCount = u32(at + 20);
    const std::uint32_t nameCount = u32(at + 24);
    const std::uint32_t functions = u32(at + 28);
    const std::uint32_t names = u32(at + 32);
    const std::uint32_t nameOrdinals = u32(at + 36);

    std::vector<Export> result;
    for (std::uint32_t i = 0; i < functionCount; ++i) {
        const std::uint32_t rva = u32(file_offset(functions + i * 4, 4));
        if (rva == 0) continue;  // an unused slot in the ordinal range
        const bool forwarded = rva >= d.rva && rva - d.rva < d.size;
        result.push_back({base + i, {}, rva, forwarded});
    }
    for (std::uint32_t i = 0; i < nameCount; ++i) {
        const std::uint32_t nameRva = u32(file_offset(names + i * 4, 4));
        const std::uint16_t index = u16(file_offset(nameOrdinals + i * 2, 2));
        if (index >= functionCount) malformed("export name points past the function table");
        auto named = std::find_if(result.begin(), result.end(),
                                  [&](const Export& e) { return e.ordinal == base + index; });
        if (named == result.end()) malformed("export name for an empty slot");
        if (!named->name.empty()) malformed("two names for one export");
        named->name = c_string_at(nameRva);
    }
    return result;
}

std::vector<std::string> Image::import_names(std::size_t directoryIndex, std::uint32_t entrySize,
                                             std::uint32_t nameField) const {
    const Directory d = directory(directoryIndex);
    std::vector<std::string> names;
    if (d.rva == 0) return names;
    for (std::uint32_t entry = d.rva;; entry += entrySize) {
        const std::uint32_t at = file_offset(entry, entrySize);
        const std::uint32_t nameRva = u32(at + nameField);
        if (nameRva == 0) return names;  // the all-zero terminator
        names.push_back(c_string_at(nameRva));
    }
}

std::vector<std::string> Image::importedDlls() const {
    std::vector<std::string> names = import_names(kImportDirectory, 20, 12);
    for (std::string& delayed : import_names(kDelayImportDirectory, 32, 4))
        names.push_back(std::move(delayed));
    return names;
}

ResourceKey Image::resource_key(std::uint32_t field, std::uint32_t base) const {
    ResourceKey key;
    if ((field & kHighBit) == 0) {
        key.id = std::uint16_t(field & 0xFFFF);
        return key;
    }
    const std::uint64_t at = std::uint64_t(base) + (field & ~kHighBit);
    const std::uint16_t length = u16(at);
    require(at + 2, std::uint64_t(length) * 2);
    key.nameOffset = std::uint32_t(at + 2);
    for (std::uint16_t i = 0; i < length; ++i) key.name.push_back(char16_t(u16(at + 2 + i * 2)));
    return key;
}

std::vector<Resource> Image::resources() const {
    const Directory d = directory(kResourceDirectory);
    std::vector<Resource> result;
    if (d.rva == 0) return result;
    const std::uint32_t base = file_offset(d.rva, 16);

    // Walks one directory table; `path` holds the keys of the levels above.
    auto walk = [&](auto& self, std::uint32_t table, std::vector<ResourceKey> path) -> void {
        if (path.size() >= kResourceLevels) malformed("resource tree deeper than three levels");
        const std::uint64_t at = std::uint64_t(base) + table;
        const std::uint32_t count = std::uint32_t(u16(at + 12)) + u16(at + 14);
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::uint64_t entry = at + 16 + std::uint64_t(i) * 8;
            std::vector<ResourceKey> keys = path;
            keys.push_back(resource_key(u32(entry), base));
            const std::uint32_t target = u32(entry + 4);
            if (target & kHighBit) {
                self(self, target & ~kHighBit, std::move(keys));
                continue;
            }
            if (keys.size() != kResourceLevels) malformed("resource data above the language level");
            if (!keys[2].id) malformed("resource language given as a string");
            const std::uint64_t data = std::uint64_t(base) + target;
            Resource r{keys[0], keys[1], *keys[2].id, u32(data), 0, {}};
            const std::uint32_t size = u32(data + 4);
            r.fileOffset = file_offset(r.rva, size);
            r.bytes.assign(bytes_.begin() + r.fileOffset, bytes_.begin() + r.fileOffset + size);
            result.push_back(std::move(r));
        }
    };
    walk(walk, 0, {});
    return result;
}

}  // namespace pe
