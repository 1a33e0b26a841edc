// The simulated host loading Outfold.aex as the application does on Windows:
// through the system loader, the "PIPL" resource and the entry point it names.
// Copies of the module with one thing changed in their property list show that
// the host really goes by the resource and refuses a module it cannot use.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "common/temp_dir.h"
#include "host.h"
#include "windows/expected_module.h"
#include "windows/pe_image.h"

namespace {

const std::filesystem::path kModule = OUTFOLD_MODULE_PATH;
using Bytes = std::vector<std::uint8_t>;

std::vector<std::uint8_t> read_file(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void write_file(const std::filesystem::path& file, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// A folder of its own for one test's files and settings, removed afterwards.
class HostLoadTest : public ::testing::Test {
protected:
    host::HostOptions options() const {
        host::HostOptions o;
        o.settingsDir = dir_.path();
        return o;
    }
    outfold_test::TempDir dir_{"host-load"};
    const std::filesystem::path folder_ = dir_.path();
};

// The property list as it sits in the file.
const pe::Resource& property_list(const std::vector<pe::Resource>& resources) {
    auto found = std::find_if(resources.begin(), resources.end(), [](const pe::Resource& r) {
        return r.type.name == expected::kPiplType;
    });
    if (found == resources.end()) throw std::runtime_error("the module has no property list");
    return *found;
}

TEST_F(HostLoadTest, LoadsTheModuleAndInsertsItsCommandAtTheBottomOfTheLayerMenu) {
    host::Host host(options());
    ASSERT_EQ(host.load_plugin(kModule), A_Err_NONE);

    const std::vector<host::MenuCommand> layerMenu = host.menu(AEGP_Menu_LAYER);
    ASSERT_FALSE(layerMenu.empty());
    EXPECT_EQ(layerMenu.back().text, "Outfold | Select a pre-comp layer");
    EXPECT_NE(layerMenu.back().command, 0);
    EXPECT_TRUE(host.reports().empty());
    EXPECT_TRUE(host.outstanding().none());
}

// Each case changes a copy of the module in one place and says whether the
// host must still accept it.
struct Patch {
    const char* what;
    std::function<void(Bytes& bytes, const pe::Resource& list)> apply;
    A_Err expected;
};

void replace_in_list(Bytes& bytes, const pe::Resource& list, const std::string& from,
                     const std::string& to) {
    auto begin = bytes.begin() + list.fileOffset;
    auto end = begin + std::ptrdiff_t(list.bytes.size());
    auto at = std::search(begin, end, from.begin(), from.end());
    if (at == end) throw std::runtime_error("'" + from + "' is not in the property list");
    std::copy(to.begin(), to.end(), at);
}

const Patch kPatches[] = {
    {"an unchanged copy", [](Bytes&, const pe::Resource&) {}, A_Err_NONE},
    {"the property list names an entry point the module lacks",
     [](Bytes& bytes, const pe::Resource& list) {
         replace_in_list(bytes, list, "EntryPointFunc", "EntryPointFunX");
     },
     A_Err_STRUCT},
    {"the resource type is not PIPL",
     [](Bytes& bytes, const pe::Resource& list) {
         bytes[list.type.nameOffset + 6] = 'X';  // "PIPL" -> "PIPX", UTF-16
     },
     A_Err_STRUCT},
    {"the property count ends the list before the entry-point property",
     [](Bytes& bytes, const pe::Resource& list) {
         bytes[list.fileOffset + 6] = 4;  // the count: 5 properties, 4 claimed
     },
     A_Err_STRUCT},
    {"a property's data runs past the end of the list",
     [](Bytes& bytes, const pe::Resource& list) {
         // The 'name' property (the second) starts at 10 + 20; its data
         // length at 12 into it: 4096 bytes instead of 8.
         bytes[list.fileOffset + 30 + 12] = 0x00;
         bytes[list.fileOffset + 30 + 13] = 0x10;
     },
     A_Err_STRUCT},
    {"the x64 entry-point property is missing",
     [](Bytes& bytes, const pe::Resource& list) {
         replace_in_list(bytes, list, "4668", "4669");  // key '8664' stored little-endian
     },
     A_Err_STRUCT},
};

TEST_F(HostLoadTest, GoesByThePropertyListToFindTheEntryPoint) {
    const std::vector<std::uint8_t> original = read_file(kModule);
    const std::vector<pe::Resource> resources = pe::Image(original).resources();
    const pe::Resource& list = property_list(resources);

    int number = 0;
    for (const Patch& patch : kPatches) {
        SCOPED_TRACE(patch.what);
        std::vector<std::uint8_t> bytes = original;
        patch.apply(bytes, list);
        // A name of its own, so the system loader never hands back a copy
        // loaded before.
        const std::filesystem::path copy = folder_ / ("copy" + std::to_string(++number) + ".aex");
        write_file(copy, bytes);

        host::Host host(options());
        EXPECT_EQ(host.load_plugin(copy), patch.expected);
        const bool registered = host.find_command("Outfold | Select a pre-comp layer").has_value();
        EXPECT_EQ(registered, patch.expected == A_Err_NONE);
        EXPECT_TRUE(host.outstanding().none());
    }
}

TEST_F(HostLoadTest, RefusesAMissingFileAndAFileThatIsNoModule) {
    const std::filesystem::path text = folder_ / "notes.aex";
    write_file(text, std::vector<std::uint8_t>{'n', 'o', 't', ' ', 'a', ' ', 'D', 'L', 'L'});

    const std::pair<std::filesystem::path, A_Err> cases[] = {
        {folder_ / "absent.aex", A_Err_PARAMETER}, {text, A_Err_GENERIC},  // not a module
    };
    for (const auto& [file, expected] : cases) {
        SCOPED_TRACE(file.string());
        host::Host host(options());
        EXPECT_EQ(host.load_plugin(file), expected);
        EXPECT_FALSE(host.find_command("Outfold | Select a pre-comp layer").has_value());
    }
}

}  // namespace
