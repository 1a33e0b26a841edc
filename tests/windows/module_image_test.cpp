// Outfold.aex as a file: the headers, export table, imports and property-list
// resource the Windows build must give it, read with the test's own parser.
#include <cxxabi.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "windows/expected_module.h"
#include "windows/pe_image.h"

namespace {

const std::filesystem::path kModule = OUTFOLD_MODULE_PATH;

std::string demangle(const std::string& symbol) {
    int status = 0;
    std::unique_ptr<char, decltype(&std::free)> text(
        abi::__cxa_demangle(symbol.c_str(), nullptr, nullptr, &status), &std::free);
    return status == 0 ? std::string(text.get()) : std::string();
}

std::string narrow(const std::u16string& text) { return std::string(text.begin(), text.end()); }

TEST(ModuleImage, IsAnX64LibraryExportingOnlyTheLayerCopyAndTheEntryPoint) {
    const pe::Image image = pe::Image::read(kModule);
    EXPECT_EQ(image.machine(), pe::kMachineAmd64);
    EXPECT_EQ(image.optionalMagic(), pe::kMagicPe32Plus);
    EXPECT_NE(image.characteristics() & pe::kFileDll, 0) << "not marked as a DLL";
    EXPECT_NE(image.characteristics() & pe::kFileExecutableImage, 0);
    EXPECT_EQ(pe::lower_ascii(image.exportedModuleName()), "outfold.aex");

    const std::vector<pe::Export> exports = image.exports();
    ASSERT_EQ(exports.size(), expected::kExports.size());
    for (const expected::NamedExport& want : expected::kExports) {
        SCOPED_TRACE("ordinal " + std::to_string(want.ordinal));
        auto found = std::find_if(exports.begin(), exports.end(),
                                  [&](const pe::Export& e) { return e.ordinal == want.ordinal; });
        ASSERT_NE(found, exports.end());
        EXPECT_EQ(found->name, want.name);
        EXPECT_FALSE(found->forwarded);
        const pe::Section* section = image.section_of(found->rva);
        ASSERT_NE(section, nullptr);
        EXPECT_NE(section->characteristics & pe::kSectionExecute, 0u)
            << found->name << " points into " << section->name << ", which is not code";
        // The layer copy is exported under its full C++ signature.
        if (want.ordinal == 1) {
            EXPECT_EQ(demangle(found->name), expected::kCopyLayersSignature);
        }
    }
}

TEST(ModuleImage, CarriesThePropertyListAsUsEnglishResource16000) {
    const std::vector<pe::Resource> resources = pe::Image::read(kModule).resources();
    std::vector<pe::Resource> lists;
    std::copy_if(resources.begin(), resources.end(), std::back_inserter(lists),
                 [](const pe::Resource& r) { return r.type.name == expected::kPiplType; });

    ASSERT_EQ(lists.size(), 1u) << "expected one property list";
    const pe::Resource& list = lists.front();
    EXPECT_FALSE(list.type.id.has_value()) << "the type is a name, not a number";
    ASSERT_TRUE(list.name.id.has_value()) << "named " << narrow(list.name.name);
    EXPECT_EQ(*list.name.id, expected::kPiplId);
    EXPECT_EQ(list.language, expected::kPiplLanguage);

    const std::vector<std::uint8_t> want = expected::pipl_bytes();
    ASSERT_EQ(want.size(), 138u);  // the layout's own total
    EXPECT_EQ(list.bytes, want);
}

// Every program the Windows build makes, and the module, must run on a bare
// Windows: the GNU runtime is linked in, so only system DLLs are imported.
std::vector<std::filesystem::path> built_images() {
    std::vector<std::filesystem::path> images{kModule};
    std::stringstream programs(OUTFOLD_WINDOWS_PROGRAMS);
    for (std::string path; std::getline(programs, path, '|');)
        if (!path.empty()) images.emplace_back(path);
    return images;
}

bool is_system_dll(const std::string& name) {
    const std::string lower = pe::lower_ascii(name);
    if (lower.rfind(expected::kApiSetPrefix, 0) == 0) return true;
    return std::find(expected::kSystemDlls.begin(), expected::kSystemDlls.end(), lower) !=
           expected::kSystemDlls.end();
}

TEST(BuiltImages, ImportOnlyWindowsSystemDlls) {
    const std::vector<std::filesystem::path> images = built_images();
    ASSERT_GE(images.size(), 2u) << "the program list is missing; see cmake/windows.cmake";
    for (const std::filesystem::path& file : images) {
        SCOPED_TRACE(file.string());
        ASSERT_TRUE(std::filesystem::exists(file));
        const std::vector<std::string> dlls = pe::Image::read(file).importedDlls();
        EXPECT_FALSE(dlls.empty()) << "a Windows image imports at least KERNEL32";
        for (const std::string& dll : dlls) {
            EXPECT_TRUE(is_system_dll(dll)) << "imports " << dll;
            for (const std::string& runtime : expected::kGnuRuntimeDlls)
                EXPECT_NE(pe::lower_ascii(dll), runtime) << "the GNU runtime is not linked in";
        }
    }
}

// The parser is the tests' only view of the file, so it must refuse a damaged
// image rather than read past its end.
TEST(PeImageReader, RefusesTruncatedImages) {
    std::ifstream in(kModule, std::ios::binary);
    const std::vector<std::uint8_t> whole{std::istreambuf_iterator<char>(in),
                                          std::istreambuf_iterator<char>()};
    const pe::Image image(whole);
    const std::vector<pe::Resource> resources = image.resources();
    ASSERT_FALSE(resources.empty());

    struct Case {
        const char* what;
        std::size_t length;
        bool headersReadable;  // false: the constructor itself must refuse
    };
    const Case cases[] = {
        {"empty file", 0, false},
        {"DOS header only", 0x40, false},
        {"cut inside the resource data", resources.front().fileOffset + 1, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::uint8_t> cut(whole.begin(), whole.begin() + std::ptrdiff_t(c.length));
        if (!c.headersReadable) {
            EXPECT_THROW(pe::Image{cut}, std::runtime_error);
            continue;
        }
        const pe::Image truncated(cut);
        EXPECT_THROW(truncated.resources(), std::runtime_error);
    }
}

TEST(PeImageReader, RefusesAFileWithoutPeSignature) {
    std::ifstream in(kModule, std::ios::binary);
    std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in),
                                    std::istreambuf_iterator<char>()};
    ASSERT_GT(bytes.size(), 0x40u);
    const std::uint32_t pe = bytes[0x3C] | bytes[0x3D] << 8 | bytes[0x3E] << 16 | bytes[0x3F] << 24;
    ASSERT_LT(pe + 4, bytes.size());
    bytes[pe + 1] = 'X';  // "PX\0\0"
    EXPECT_THROW(pe::Image{bytes}, std::runtime_error);
}

}  // namespace
