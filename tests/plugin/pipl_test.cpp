// The property-list bytes the module's resource carries, checked against the
// layout written out field by field.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "windows/expected_module.h"

namespace {

TEST(PropertyList, BytesFollowTheLayout) {
    std::ifstream file(OUTFOLD_PIPL_BIN_PATH, std::ios::binary);
    ASSERT_TRUE(file) << OUTFOLD_PIPL_BIN_PATH;
    const std::vector<std::uint8_t> actual{std::istreambuf_iterator<char>(file),
                                           std::istreambuf_iterator<char>()};
    const std::vector<std::uint8_t> expected = expected::pipl_bytes();
    ASSERT_EQ(expected.size(), 138u);
    EXPECT_EQ(actual, expected);
}

}  // namespace
