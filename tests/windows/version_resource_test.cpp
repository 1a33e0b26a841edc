// The module's version resource, read back from Outfold.aex: the numbers and
// texts Windows shows in the file's properties, against the project version
// the build was configured with.
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "windows/pe_image.h"

namespace {

constexpr std::uint16_t kVersionType = 16;  // RT_VERSION
constexpr std::uint32_t kFixedSignature = 0xFEEF04BD;

// One block of a version resource: length, value length, type, a
// NUL-terminated UTF-16 key, then (32-bit aligned) the value and the
// children, each block aligned again.
struct Block {
    std::u16string key;
    std::vector<std::uint8_t> value;
    std::vector<Block> children;
};

class BlockReader {
public:
    explicit BlockReader(const std::vector<std::uint8_t>& bytes) : bytes_(bytes) {}

    Block read(std::size_t offset, std::size_t end) const {
        const std::size_t length = u16(offset);
        const std::size_t valueLength = u16(offset + 2);
        const bool text = u16(offset + 4) == 1;
        if (length < 6 || offset + length > end) throw std::runtime_error("block out of bounds");
        const std::size_t blockEnd = offset + length;
        Block block;
        std::size_t at = offset + 6;
        for (; at + 1 < blockEnd && u16(at) != 0; at += 2) block.key += char16_t(u16(at));
        at = align(at + 2);
        // Text values count UTF-16 units, binary ones bytes.
        const std::size_t valueBytes = text ? valueLength * 2 : valueLength;
        if (at + valueBytes > blockEnd) throw std::runtime_error("value out of bounds");
        block.value.assign(bytes_.begin() + long(at), bytes_.begin() + long(at + valueBytes));
        for (at = align(at + valueBytes); at < blockEnd; at = align(at + u16(at)))
            block.children.push_back(read(at, blockEnd));
        return block;
    }

private:
    static std::size_t align(std::size_t offset) { return (offset + 3) & ~std::size_t(3); }
    std::size_t u16(std::size_t offset) const {
        if (offset + 2 > bytes_.size()) throw std::runtime_error("read past the resource");
        return std::size_t(bytes_[offset]) | std::size_t(bytes_[offset + 1]) << 8;
    }
    const std::vector<std::uint8_t>& bytes_;
};

std::uint32_t u32(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
    return std::uint32_t(bytes.at(offset)) | std::uint32_t(bytes.at(offset + 1)) << 8 |
           std::uint32_t(bytes.at(offset + 2)) << 16 | std::uint32_t(bytes.at(offset + 3)) << 24;
}

std::string narrow_text(const std::vector<std::uint8_t>& value) {
    std::string text;
    for (std::size_t i = 0; i + 1 < value.size(); i += 2) {
        const char16_t unit = char16_t(value[i] | value[i + 1] << 8);
        if (unit == 0) break;
        text += unit < 0x80 ? char(unit) : '?';
    }
    return text;
}

struct VersionInfo {
    std::uint32_t fileMs = 0, fileLs = 0, productMs = 0, productLs = 0;
    std::map<std::string, std::string> strings;  // of every string table
};

VersionInfo read_version(const pe::Resource& resource) {
    const Block root = BlockReader(resource.bytes).read(0, resource.bytes.size());
    if (root.key != u"VS_VERSION_INFO") throw std::runtime_error("not a version resource");
    if (root.value.size() < 52 || u32(root.value, 0) != kFixedSignature)
        throw std::runtime_error("no fixed file information");
    VersionInfo info{
        u32(root.value, 8), u32(root.value, 12), u32(root.value, 16), u32(root.value, 20), {}};
    for (const Block& child : root.children) {
        if (child.key != u"StringFileInfo") continue;
        for (const Block& table : child.children)
            for (const Block& entry : table.children)
                info.strings[std::string(entry.key.begin(), entry.key.end())] =
                    narrow_text(entry.value);
    }
    return info;
}

std::vector<unsigned> version_numbers(const std::string& text) {
    std::vector<unsigned> numbers;
    std::size_t at = 0;
    while (at <= text.size()) {
        const std::size_t dot = text.find('.', at);
        numbers.push_back(unsigned(std::stoul(text.substr(at, dot - at))));
        if (dot == std::string::npos) break;
        at = dot + 1;
    }
    return numbers;
}

TEST(VersionResource, NamesTheProductAndTheProjectVersion) {
    std::vector<pe::Resource> versions;
    for (const pe::Resource& r : pe::Image::read(OUTFOLD_MODULE_PATH).resources())
        if (r.type.id == kVersionType) versions.push_back(r);
    ASSERT_EQ(versions.size(), 1u) << "expected one version resource";

    VersionInfo info = read_version(versions.front());
    const std::vector<unsigned> v = version_numbers(OUTFOLD_PROJECT_VERSION);
    ASSERT_EQ(v.size(), 3u) << OUTFOLD_PROJECT_VERSION;
    const std::uint32_t ms = v[0] << 16 | v[1];
    const std::uint32_t ls = v[2] << 16;
    EXPECT_EQ(info.fileMs, ms);
    EXPECT_EQ(info.fileLs, ls);
    EXPECT_EQ(info.productMs, ms);
    EXPECT_EQ(info.productLs, ls);

    const std::map<std::string, std::string> want = {
        {"ProductName", "Outfold"},
        {"FileVersion", OUTFOLD_PROJECT_VERSION},
        {"ProductVersion", OUTFOLD_PROJECT_VERSION},
        {"OriginalFilename", "Outfold.aex"},
    };
    for (const auto& [key, value] : want) EXPECT_EQ(info.strings[key], value) << key;
    EXPECT_NE(info.strings["FileDescription"].find("Outfold"), std::string::npos);
    EXPECT_EQ(info.strings["LegalCopyright"].rfind("Copyright", 0), 0u)
        << info.strings["LegalCopyright"];
}

}  // namespace
