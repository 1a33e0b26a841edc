// The property-list bytes the module's resource carries, checked against the
// layout written out field by field.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

void put16(Bytes& out, std::uint16_t v) {
    out.push_back(std::uint8_t(v));
    out.push_back(std::uint8_t(v >> 8));
}
void put32(Bytes& out, std::uint32_t v) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back(std::uint8_t(v >> shift));
}
void put_text(Bytes& out, const std::string& text) {
    out.insert(out.end(), text.begin(), text.end());
}

// A property whose codes are given as the bytes they appear as on disk.
void put_property(Bytes& out, const std::string& storedKey, std::uint32_t length,
                  const Bytes& data) {
    put_text(out, "MIB8");  // '8BIM' as a little-endian 32-bit value
    put_text(out, storedKey);
    put32(out, 0);
    put32(out, length);
    out.insert(out.end(), data.begin(), data.end());
}

Bytes expected_property_list() {
    Bytes out;
    put16(out, 1);
    put32(out, 0);
    put32(out, 5);

    put_property(out, "dnik", 4, {'x', 'g', 'E', 'A'});  // 'kind' = 'AEgx'

    Bytes name = {7, 'O', 'u', 't', 'f', 'o', 'l', 'd'};
    put_property(out, "eman", 8, name);

    Bytes category = {14};
    put_text(category, "General Plugin");
    category.push_back(0);
    put_property(out, "gtac", 16, category);

    Bytes version;
    put32(version, 0x0008A001);
    put_property(out, "srev", 4, version);

    Bytes entry;
    put_text(entry, "EntryPointFunc");
    entry.push_back(0);
    entry.push_back(0);
    put_property(out, "4668", 16, entry);
    return out;
}

TEST(PropertyList, BytesFollowTheLayout) {
    std::ifstream file(OUTFOLD_PIPL_BIN_PATH, std::ios::binary);
    ASSERT_TRUE(file) << OUTFOLD_PIPL_BIN_PATH;
    const Bytes actual{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    const Bytes expected = expected_property_list();
    ASSERT_EQ(expected.size(), 138u);
    EXPECT_EQ(actual, expected);
}

}  // namespace
