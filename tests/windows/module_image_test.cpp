// Outfold.aex as a file, read with the test's own parser, and as the Windows
// loader sees it: the headers, exports, imports, property list and version
// information the Windows build must give it.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "windows/expected_module.h"
#include "windows/pe_image.h"

namespace {

const std::filesystem::path kModule = OUTFOLD_MODULE_PATH;

// A module loaded by the system loader, unloaded at the end of the test.
using Loaded = std::unique_ptr<std::remove_pointer_t<HMODULE>, decltype(&FreeLibrary)>;
Loaded load(const std::filesystem::path& file) {
    return {LoadLibraryW(file.wstring().c_str()), &FreeLibrary};
}

std::uintptr_t address(FARPROC function) { return reinterpret_cast<std::uintptr_t>(function); }

TEST(ModuleImage, IsAnX64LibraryExportingOnlyTheLayerCopyAndTheEntryPoint) {
    const pe::Image image(pe::read_bytes(kModule));
    EXPECT_EQ(image.machine, 0x8664);  // x64
    EXPECT_EQ(image.optionalMagic, pe::kMagicPe32Plus);
    EXPECT_NE(image.characteristics & 0x2000, 0) << "not marked as a DLL";
    EXPECT_NE(image.characteristics & 0x0002, 0) << "not marked as executable";
    EXPECT_EQ(pe::lower_ascii(image.exportedModuleName()), "outfold.aex");

    // The loader hands out each export, by name and by ordinal, at the table's
    // address (not a forwarder's target).
    const Loaded module = load(kModule);
    ASSERT_NE(module, nullptr) << "LoadLibraryW failed: " << GetLastError();
    const auto base = reinterpret_cast<std::uintptr_t>(module.get());
    const std::vector<pe::Export> exports = image.exports();
    ASSERT_EQ(exports.size(), expected::kExports.size());
    for (std::size_t i = 0; i < exports.size(); ++i) {
        const auto& [ordinal, name] = expected::kExports[i];
        SCOPED_TRACE(name);
        EXPECT_EQ(exports[i].ordinal, ordinal);
        EXPECT_EQ(exports[i].name, name);
        const pe::Section* section = image.section_of(exports[i].rva);
        ASSERT_NE(section, nullptr);
        EXPECT_NE(section->characteristics & 0x20000000, 0u)  // executable
            << "points into " << section->name << ", which is not code";
        EXPECT_EQ(address(GetProcAddress(module.get(), name.c_str())), base + exports[i].rva);
        EXPECT_EQ(address(GetProcAddress(module.get(), MAKEINTRESOURCEA(ordinal))),
                  base + exports[i].rva);
    }
    // An ordinal past the two exports resolves to nothing.
    EXPECT_EQ(GetProcAddress(module.get(), MAKEINTRESOURCEA(3)), nullptr);
}

// Name ("#16000" for a number) and language of each resource of one type, as
// the loader finds them.
using Entries = std::vector<std::pair<std::string, WORD>>;
Entries resources_of(HMODULE module, const char* type) {
    Entries found;
    auto each_name = [](HMODULE module, LPCSTR type, LPSTR name, LONG_PTR out) -> BOOL {
        auto each_language = [](HMODULE, LPCSTR, LPCSTR name, WORD language, LONG_PTR out) -> BOOL {
            reinterpret_cast<Entries*>(out)->emplace_back(
                IS_INTRESOURCE(name) ? "#" + std::to_string(std::uintptr_t(name)) : name, language);
            return TRUE;
        };
        return EnumResourceLanguagesA(module, type, name, each_language, out);
    };
    EnumResourceNamesA(module, type, each_name, reinterpret_cast<LONG_PTR>(&found));
    return found;
}

TEST(ModuleImage, CarriesThePropertyListAsUsEnglishResource16000) {
    const Loaded module = load(kModule);
    EXPECT_EQ(resources_of(module.get(), "PIPL"),
              (Entries{{"#" + std::to_string(expected::kPiplId), expected::kPiplLanguage}}));
    HRSRC found = FindResourceExA(module.get(), "PIPL", MAKEINTRESOURCEA(expected::kPiplId),
                                  expected::kPiplLanguage);
    ASSERT_NE(found, nullptr) << "FindResourceExA failed: " << GetLastError();
    const auto* bytes =
        static_cast<const std::uint8_t*>(LockResource(LoadResource(module.get(), found)));
    ASSERT_NE(bytes, nullptr);
    const std::vector<std::uint8_t> want = expected::pipl_bytes();
    ASSERT_EQ(want.size(), 138u);  // the layout's own total
    EXPECT_EQ(std::vector(bytes, bytes + SizeofResource(module.get(), found)), want);
}

// A function of version.dll, which the test program does not link.
#define FROM_VERSION_DLL(name)         \
    reinterpret_cast<decltype(&name)>( \
        reinterpret_cast<void*>(GetProcAddress(LoadLibraryW(L"version.dll"), #name)))

// The numbers and texts Windows shows in the file's properties, against the
// project version the build was configured with.
TEST(ModuleImage, VersionInformationNamesTheProductAndTheProjectVersion) {
    const Loaded module = load(kModule);
    EXPECT_EQ(resources_of(module.get(), RT_VERSION).size(), 1u) << "expected one version resource";
    const auto size = FROM_VERSION_DLL(GetFileVersionInfoSizeA);
    const auto get = FROM_VERSION_DLL(GetFileVersionInfoA);
    const auto query = FROM_VERSION_DLL(VerQueryValueA);
    ASSERT_TRUE(size && get && query);
    std::vector<char> info(size(OUTFOLD_MODULE_PATH, nullptr));
    ASSERT_TRUE(get(OUTFOLD_MODULE_PATH, 0, DWORD(info.size()), info.data()));
    // The resource's root block: length, value length, type, then its key.
    EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(&info.at(6))), L"VS_VERSION_INFO");
    auto value = [&](const std::string& path) -> const void* {
        void* found = nullptr;
        UINT length = 0;
        return query(info.data(), path.c_str(), &found, &length) ? found : nullptr;
    };

    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value("\\"));
    ASSERT_NE(fixed, nullptr);
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    auto dotted = [](DWORD ms, DWORD ls) {
        return std::to_string(ms >> 16) + "." + std::to_string(ms & 0xFFFF) + "." +
               std::to_string(ls >> 16) + "." + std::to_string(ls & 0xFFFF);
    };
    EXPECT_EQ(dotted(fixed->dwFileVersionMS, fixed->dwFileVersionLS), OUTFOLD_PROJECT_VERSION ".0");
    EXPECT_EQ(dotted(fixed->dwProductVersionMS, fixed->dwProductVersionLS),
              OUTFOLD_PROJECT_VERSION ".0");

    // The texts, from the string table for US English in Unicode.
    auto text = [&](const std::string& key) {
        const void* found = value("\\StringFileInfo\\040904b0\\" + key);
        return std::string(found != nullptr ? static_cast<const char*>(found) : "(none)");
    };
    EXPECT_EQ(text("ProductName"), "Outfold");
    EXPECT_EQ(text("FileVersion"), OUTFOLD_PROJECT_VERSION);
    EXPECT_EQ(text("ProductVersion"), OUTFOLD_PROJECT_VERSION);
    EXPECT_EQ(text("OriginalFilename"), "Outfold.aex");
    EXPECT_NE(text("FileDescription").find("Outfold"), std::string::npos);
    EXPECT_EQ(text("LegalCopyright").rfind("Copyright", 0), 0u) << text("LegalCopyright");
}

// Every program the Windows build makes, and the module, must run on a bare
// Windows: the GNU runtime is linked in, so only system DLLs are imported.
TEST(BuiltImages, ImportOnlyWindowsSystemDlls) {
    std::vector<std::filesystem::path> images{kModule};
    std::stringstream programs(OUTFOLD_WINDOWS_PROGRAMS);
    for (std::string path; std::getline(programs, path, '|');)
        if (!path.empty()) images.emplace_back(path);
    ASSERT_GE(images.size(), 2u) << "the program list is missing; see cmake/windows.cmake";
    for (const std::filesystem::path& file : images) {
        SCOPED_TRACE(file.string());
        ASSERT_TRUE(std::filesystem::exists(file));
        const std::vector<std::string> dlls = pe::Image(pe::read_bytes(file)).importedDlls();
        EXPECT_FALSE(dlls.empty()) << "a Windows image imports at least KERNEL32";
        for (const std::string& dll : dlls) {
            const std::string lower = pe::lower_ascii(dll);
            const auto& system = expected::kSystemDlls;
            EXPECT_TRUE(lower.starts_with(expected::kApiSetPrefix) ||
                        std::find(system.begin(), system.end(), lower) != system.end())
                << "imports " << dll;
        }
    }
}

// The parser is the tests' only view of the file, so it must refuse a damaged
// image rather than read past its end.
TEST(PeImageReader, RefusesDamagedImages) {
    const pe::Bytes whole = pe::read_bytes(kModule);
    const std::uint32_t sectionData = pe::Image(whole).sections.at(0).rawOffset;
    pe::Bytes unsigned_ = whole;
    std::uint32_t signature = 0;
    std::memcpy(&signature, &whole.at(0x3C), 4);  // the file and the machine are little-endian
    unsigned_.at(signature + 1) = 'X';            // "PX\0\0"
    const std::pair<const char*, pe::Bytes> refused[] = {
        {"empty file", {}},
        {"DOS header only", pe::Bytes(whole.begin(), whole.begin() + 0x40)},
        {"no PE signature", unsigned_},
    };
    for (const auto& [what, bytes] : refused)
        EXPECT_THROW(pe::Image{bytes}, std::runtime_error) << what;
    // Cut inside the first section's data: the headers read, the tables do not.
    const pe::Image cut(pe::Bytes(whole.begin(), whole.begin() + sectionData + 1));
    EXPECT_THROW(cut.exports(), std::runtime_error);
    EXPECT_THROW(cut.importedDlls(), std::runtime_error);
}

}  // namespace
