// Outfold.aex as the Windows loader sees it: the addresses and resource it
// hands out must be the ones the file's tables describe.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <filesystem>
#include <vector>

#include "windows/expected_module.h"
#include "windows/pe_image.h"

namespace {

const std::filesystem::path kModule = OUTFOLD_MODULE_PATH;

// Loads the module for one test and unloads it again.
class LoadedModule {
public:
    explicit LoadedModule(const std::filesystem::path& file)
        : module_(LoadLibraryW(file.wstring().c_str())) {}
    ~LoadedModule() {
        if (module_ != nullptr) FreeLibrary(module_);
    }
    LoadedModule(const LoadedModule&) = delete;
    LoadedModule& operator=(const LoadedModule&) = delete;
    HMODULE get() const { return module_; }

private:
    HMODULE module_;
};

std::uintptr_t address(FARPROC function) { return reinterpret_cast<std::uintptr_t>(function); }

TEST(WindowsLoader, FindsEachExportByNameAndOrdinalAtTheTableAddress) {
    const pe::Image image = pe::Image::read(kModule);
    LoadedModule module(kModule);
    ASSERT_NE(module.get(), nullptr) << "LoadLibraryW failed: " << GetLastError();
    const std::uintptr_t base = reinterpret_cast<std::uintptr_t>(module.get());

    for (const pe::Export& e : image.exports()) {
        SCOPED_TRACE(e.name);
        const FARPROC byName = GetProcAddress(module.get(), e.name.c_str());
        const FARPROC byOrdinal = GetProcAddress(module.get(), MAKEINTRESOURCEA(e.ordinal));
        ASSERT_NE(byName, nullptr);
        EXPECT_EQ(address(byName), address(byOrdinal));
        EXPECT_EQ(address(byName), base + e.rva);
    }
    // An ordinal past the two exports resolves to nothing.
    EXPECT_EQ(GetProcAddress(module.get(), MAKEINTRESOURCEA(3)), nullptr);
}

TEST(WindowsLoader, FindsThePropertyListByTypeIdAndLanguage) {
    LoadedModule module(kModule);
    ASSERT_NE(module.get(), nullptr);

    HRSRC found = FindResourceExW(module.get(), L"PIPL", MAKEINTRESOURCEW(expected::kPiplId),
                                  MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    ASSERT_NE(found, nullptr) << "FindResourceExW failed: " << GetLastError();
    const DWORD size = SizeofResource(module.get(), found);
    const auto* bytes =
        static_cast<const std::uint8_t*>(LockResource(LoadResource(module.get(), found)));
    ASSERT_NE(bytes, nullptr);
    EXPECT_EQ(std::vector<std::uint8_t>(bytes, bytes + size), expected::pipl_bytes());
}

}  // namespace
