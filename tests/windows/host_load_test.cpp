// The simulated host loading Outfold.aex as the application does on Windows:
// through the system loader, the "PIPL" resource and the entry point it names.
// Copies of the module with one thing changed show that the host really goes
// by the resource and refuses a module it cannot use.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/temp_dir.h"
#include "host.h"
#include "windows/expected_module.h"
#include "windows/pe_image.h"

namespace {

using namespace std::string_literals;

// Where `what` starts in bytes [begin, end); it must be there exactly once.
std::size_t only(const pe::Bytes& bytes, std::size_t begin, std::size_t end,
                 const std::vector<std::uint8_t>& what) {
    const auto first = bytes.begin() + begin, last = bytes.begin() + end;
    const auto at = std::search(first, last, what.begin(), what.end());
    if (at == last ||
        (!what.empty() && std::search(at + 1, last, what.begin(), what.end()) != last))
        throw std::runtime_error("not exactly one '" + std::string(what.begin(), what.end()) + "'");
    return std::size_t(at - bytes.begin());
}

// Each case changes a copy of the module in one place and says whether the
// host must still accept it: `to` is written over `from`, found once in the
// property list or in the whole file; or the copy is just `to`, or no file.
enum Scope { kPropertyList, kWholeFile, kReplaced, kAbsent };
const struct {
    const char* what;
    Scope scope;
    std::string from, to;
    A_Err expected;
} kCases[] = {
    {"an unchanged copy", kPropertyList, "", "", A_Err_NONE},
    {"no file at all", kAbsent, "", "", A_Err_PARAMETER},
    {"a file that is no module", kReplaced, "", "not a DLL", A_Err_GENERIC},
    {"the property list names an entry point the module lacks", kPropertyList, "EntryPointFunc",
     "EntryPointFunX", A_Err_STRUCT},
    // The type's name in the resource directory: a length, then UTF-16.
    {"the resource type is not PIPL", kWholeFile, "\4\0P\0I\0P\0L"s, "\4\0P\0I\0P\0X"s,
     A_Err_STRUCT},
    // Version, list version and count: 5 properties, 4 claimed.
    {"the property count ends the list before the entry-point property", kPropertyList,
     "\1\0\0\0\0\0\5"s, "\1\0\0\0\0\0\4"s, A_Err_STRUCT},
    // The 'name' property (key stored little-endian, id 0): 4096 bytes of data instead of 8.
    {"a property's data runs past the end of the list", kPropertyList, "eman\0\0\0\0\x08"s,
     "eman\0\0\0\0\0\x10"s, A_Err_STRUCT},
    // The key '8664', stored little-endian.
    {"the x64 entry-point property is missing", kPropertyList, "4668", "4669", A_Err_STRUCT},
};

TEST(HostLoad, GoesByThePropertyListAndInsertsTheCommandAtTheBottomOfTheLayerMenu) {
    const outfold_test::TempDir dir{"host-load"};
    const pe::Bytes original = pe::read_bytes(OUTFOLD_MODULE_PATH), list = expected::pipl_bytes();
    const std::size_t listAt = only(original, 0, original.size(), list);

    int number = 0;
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.what);
        pe::Bytes bytes = c.scope == kReplaced ? pe::Bytes(c.to.begin(), c.to.end()) : original;
        if (c.scope == kPropertyList || c.scope == kWholeFile) {
            const bool inList = c.scope == kPropertyList;
            const std::size_t at =
                only(bytes, inList ? listAt : 0, inList ? listAt + list.size() : bytes.size(),
                     pe::Bytes(c.from.begin(), c.from.end()));
            std::copy(c.to.begin(), c.to.end(), bytes.begin() + at);
        }
        // A name of its own, so the system loader never hands back a copy
        // loaded before.
        const std::filesystem::path copy =
            dir.path() / ("copy" + std::to_string(++number) + ".aex");
        if (c.scope != kAbsent)
            std::ofstream(copy, std::ios::binary)
                .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));

        host::Host host({dir.path()});
        EXPECT_EQ(host.load_plugin(copy), c.expected);
        const bool accepted = c.expected == A_Err_NONE;
        const std::vector<host::MenuCommand> layerMenu = host.menu(AEGP_Menu_LAYER);
        EXPECT_EQ(!layerMenu.empty() && layerMenu.back().text == expected::kCommand &&
                      layerMenu.back().command != 0,
                  accepted);
        EXPECT_EQ(host.find_command(expected::kCommand).has_value(), accepted);
        EXPECT_TRUE(!accepted || host.reports().empty());
        EXPECT_TRUE(host.outstanding().none());
    }
}

}  // namespace
