// Outfold.aex as the Windows loader maps it, then loaded into the simulated host through its
// "PIPL" resource, with the plug-in's debug lines going to OutputDebugStringA.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "common/expected_module.h"
#include "common/temp_dir.h"
#include "host.h"

namespace {

const std::filesystem::path kModule = OUTFOLD_MODULE_PATH;

// A module loaded by the system loader, unloaded at the end of the test.
using Loaded = std::unique_ptr<std::remove_pointer_t<HMODULE>, decltype(&FreeLibrary)>;
Loaded load(const std::filesystem::path& file, DWORD flags = 0) {
    return {LoadLibraryExW(file.wstring().c_str(), nullptr, flags), &FreeLibrary};
}

// What lies at `rva` in an image the loader mapped (as a resource, the handle's low bits are set).
template <class T>
const T* at(HMODULE module, DWORD rva) {
    return reinterpret_cast<const T*>(
        (reinterpret_cast<std::uintptr_t>(module) & ~std::uintptr_t(3)) + rva);
}
const IMAGE_NT_HEADERS64& headers(HMODULE module) {
    return *at<IMAGE_NT_HEADERS64>(module, at<IMAGE_DOS_HEADER>(module, 0)->e_lfanew);
}
const IMAGE_DATA_DIRECTORY& directory(HMODULE module, int index) {
    return headers(module).OptionalHeader.DataDirectory[index];
}

// Name ("#16000" for a number) and language of each resource of one type.
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

// Each export by name and ordinal at the table's address (not a forwarder's target).
TEST(ModuleImage, ExportsTheLayerCopyAndTheEntryPointAndCarriesThePropertyList) {
    const Loaded module = load(kModule);
    ASSERT_NE(module, nullptr) << "LoadLibraryExW failed: " << GetLastError();
    const IMAGE_FILE_HEADER& file = headers(module.get()).FileHeader;
    EXPECT_EQ(file.Machine, IMAGE_FILE_MACHINE_AMD64);
    EXPECT_EQ(file.Characteristics & (IMAGE_FILE_DLL | IMAGE_FILE_EXECUTABLE_IMAGE),
              IMAGE_FILE_DLL | IMAGE_FILE_EXECUTABLE_IMAGE);
    EXPECT_EQ(headers(module.get()).OptionalHeader.Magic, IMAGE_NT_OPTIONAL_HDR64_MAGIC);
    const DWORD table = directory(module.get(), IMAGE_DIRECTORY_ENTRY_EXPORT).VirtualAddress;
    ASSERT_NE(table, 0u);
    const auto& exports = *at<IMAGE_EXPORT_DIRECTORY>(module.get(), table);
    EXPECT_EQ(_stricmp(at<char>(module.get(), exports.Name), "outfold.aex"), 0);
    ASSERT_EQ(exports.NumberOfFunctions, expected::kExports.size());
    ASSERT_EQ(exports.NumberOfNames, expected::kExports.size());
    const auto* names = at<DWORD>(module.get(), exports.AddressOfNames);
    const auto* slots = at<WORD>(module.get(), exports.AddressOfNameOrdinals);
    const auto* functions = at<DWORD>(module.get(), exports.AddressOfFunctions);
    for (DWORD i = 0; i < exports.NumberOfNames; ++i) {
        const std::string name = at<char>(module.get(), names[i]);
        const std::uint32_t ordinal = exports.Base + slots[i];
        SCOPED_TRACE(name);
        EXPECT_EQ(std::ranges::count(expected::kExports, std::pair{ordinal, name}), 1);
        for (const char* key : {name.c_str(), LPCSTR(MAKEINTRESOURCEA(ordinal))})
            EXPECT_EQ(reinterpret_cast<const void*>(GetProcAddress(module.get(), key)),
                      at<void>(module.get(), functions[slots[i]]));
    }

    EXPECT_EQ(resources_of(module.get(), "PIPL"),
              (Entries{{"#" + std::to_string(expected::kPiplId), expected::kPiplLanguage}}));
    HRSRC found = FindResourceExA(module.get(), "PIPL", MAKEINTRESOURCEA(expected::kPiplId),
                                  expected::kPiplLanguage);
    ASSERT_NE(found, nullptr) << "FindResourceExA failed: " << GetLastError();
    const auto* bytes =
        static_cast<const std::uint8_t*>(LockResource(LoadResource(module.get(), found)));
    ASSERT_NE(bytes, nullptr);
    EXPECT_EQ(std::vector(bytes, bytes + SizeofResource(module.get(), found)),
              expected::pipl_bytes());
}

// A function of version.dll, which the test program does not link.
#define FROM_VERSION_DLL(name)         \
    reinterpret_cast<decltype(&name)>( \
        reinterpret_cast<void*>(GetProcAddress(LoadLibraryW(L"version.dll"), #name)))

TEST(ModuleImage, VersionInformationNamesTheProductAndTheProjectVersion) {
    EXPECT_EQ(resources_of(load(kModule).get(), RT_VERSION).size(), 1u);
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
    for (const auto& [ms, ls] : {std::pair{fixed->dwFileVersionMS, fixed->dwFileVersionLS},
                                 {fixed->dwProductVersionMS, fixed->dwProductVersionLS}})
        EXPECT_EQ(std::to_string(ms >> 16) + "." + std::to_string(ms & 0xFFFF) + "." +
                      std::to_string(ls >> 16) + "." + std::to_string(ls & 0xFFFF),
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

// The GNU runtime is linked in, so every built image runs on a bare Windows.
TEST(BuiltImages, ImportOnlyWindowsSystemDlls) {
    std::vector<std::filesystem::path> images{kModule};
    std::stringstream programs(OUTFOLD_WINDOWS_PROGRAMS);
    for (std::string path; std::getline(programs, path, '|');)
        if (!path.empty()) images.emplace_back(path);
    ASSERT_GE(images.size(), 2u) << "the program list is missing; see cmake/windows.cmake";
    for (const std::filesystem::path& file : images) {
        SCOPED_TRACE(file.string());
        // Mapped as an image only: nothing of it runs and its imports are not loaded.
        const Loaded image = load(file, LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        ASSERT_NE(image, nullptr) << GetLastError();
        std::vector<std::string> dlls;
        const HMODULE m = image.get();
        if (const DWORD rva = directory(m, IMAGE_DIRECTORY_ENTRY_IMPORT).VirtualAddress)
            for (auto* entry = at<IMAGE_IMPORT_DESCRIPTOR>(m, rva); entry->Name != 0; ++entry)
                dlls.push_back(at<char>(m, entry->Name));
        if (const DWORD rva = directory(m, IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT).VirtualAddress)
            for (auto* entry = at<IMAGE_DELAYLOAD_DESCRIPTOR>(m, rva); entry->DllNameRVA != 0;
                 ++entry)
                dlls.push_back(at<char>(m, entry->DllNameRVA));
        EXPECT_FALSE(dlls.empty()) << "a Windows image imports at least KERNEL32";
        for (std::string dll : dlls) {
            CharLowerA(dll.data());
            EXPECT_TRUE(dll.starts_with(expected::kApiSetPrefix) ||
                        std::ranges::count(expected::kSystemDlls, dll) == 1)
                << "imports " << dll;
        }
    }
}

using namespace std::string_literals;

// Copies of the module with one thing changed show the host goes by the resource.
TEST(HostLoad, GoesByThePropertyListAndInsertsTheCommandAtTheBottomOfTheLayerMenu) {
    const std::tuple<const char*, std::string, std::string, A_Err> cases[] = {
        {"an unchanged copy", "MIB84668", "MIB84668", A_Err_NONE},
        // The x64 entry-point property: vendor and key stored little-endian, id, length.
        {"the property list names an entry point the module lacks",
         "4668\0\0\0\0\x10\0\0\0EntryPointFunc"s, "4668\0\0\0\0\x10\0\0\0EntryPointFunX"s,
         A_Err_STRUCT},
        // The type's name in the resource directory: a length, then UTF-16.
        {"the resource type is not PIPL", "\4\0P\0I\0P\0L"s, "\4\0P\0I\0P\0X"s, A_Err_STRUCT},
        {"the x64 entry-point property is missing", "MIB84668", "MIB84669", A_Err_STRUCT},
        // Version, list version and count (5 properties, 4 claimed), then the first property.
        {"the property count ends the list before the entry-point property",
         "\1\0\0\0\0\0\5\0\0\0MIB8dnik"s, "\1\0\0\0\0\0\4\0\0\0MIB8dnik"s, A_Err_STRUCT},
    };
    const outfold_test::TempDir dir{"host-load"};
    std::ifstream in(kModule, std::ios::binary);
    const std::vector<char> original{std::istreambuf_iterator<char>(in), {}};
    int number = 0;
    for (const auto& [what, from, to, err] : cases) {
        SCOPED_TRACE(what);
        std::vector<char> bytes = original;
        const auto at = std::search(bytes.begin(), bytes.end(), from.begin(), from.end());
        ASSERT_NE(at, bytes.end());
        ASSERT_EQ(std::search(at + 1, bytes.end(), from.begin(), from.end()), bytes.end());
        std::copy(to.begin(), to.end(), at);
        // A name of its own, so the loader never hands back a copy loaded before.
        const auto copy = dir.path() / ("copy" + std::to_string(++number) + ".aex");
        std::ofstream(copy, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));

        host::Host host({dir.path()});
        EXPECT_EQ(host.load_plugin(copy), err);
        const bool accepted = err == A_Err_NONE;
        const std::vector<host::MenuCommand> layerMenu = host.menu(AEGP_Menu_LAYER);
        EXPECT_EQ(!layerMenu.empty() && layerMenu.back().text == expected::kCommand &&
                      layerMenu.back().command != 0,
                  accepted);
        EXPECT_EQ(host.find_command(expected::kCommand).has_value(), accepted);
        EXPECT_TRUE(!accepted || host.reports().empty());
        EXPECT_TRUE(host.outstanding().none());
    }
}

TEST(DebugCapture, RecordsEachLineIntoTheActiveHostAsWrittenAndPassesOtherExceptionsOn) {
    const outfold_test::TempDir settings{"debug"};
    { host::Host earlier({settings.path()}); }
    OutputDebugStringA("between hosts");  // no host lives: goes nowhere, touches no ended Host
    std::vector<std::string> lines = {
        "Unexpected number of tokens in returned JSON",
        "",
        "bytes above 127: \xC3\xA9\xE2\x82\xAC",
        "trailing line end\n",
        std::string(8192, 'x'),
    };
    host::Host host({settings.path()});
    for (const std::string& line : lines) OutputDebugStringA(line.c_str());
    OutputDebugStringW(L"wide line");  // arrives once, as its narrow text
    lines.push_back("wide line");

    // Another kind of exception passes the capture (first in the list) on and adds no line.
    static DWORD seen = 0;
    PVOID own = AddVectoredExceptionHandler(0, [](EXCEPTION_POINTERS* info) -> LONG {
        if (info->ExceptionRecord->ExceptionCode != 0xE0000001) return EXCEPTION_CONTINUE_SEARCH;
        seen = info->ExceptionRecord->ExceptionCode;
        return EXCEPTION_CONTINUE_EXECUTION;  // continuable: RaiseException returns
    });
    RaiseException(0xE0000001, 0, 0, nullptr);
    RemoveVectoredExceptionHandler(own);
    EXPECT_EQ(seen, 0xE0000001u);
    EXPECT_EQ(host.debug_lines(), lines);
    EXPECT_TRUE(host.outstanding().none());
}

}  // namespace

namespace {

// Runs a program of the build with a wide command line; what it printed.
std::string run_program(const std::filesystem::path& program, const std::wstring& arguments,
                        const std::filesystem::path& output) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    const HANDLE file = CreateFileW(output.wstring().c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                    &inherit, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "no output file";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = file;
    std::wstring line = L"\"" + program.wstring() + L"\" " + arguments;
    PROCESS_INFORMATION process{};
    const bool started = CreateProcessW(program.wstring().c_str(), line.data(), nullptr, nullptr,
                                        TRUE, 0, nullptr, nullptr, &startup, &process);
    if (started) {
        WaitForSingleObject(process.hProcess, INFINITE);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    CloseHandle(file);
    std::ifstream in(output, std::ios::binary);
    return started ? std::string(std::istreambuf_iterator<char>(in), {}) : "did not start";
}

// Typed text reaches the dialog whole, whatever the ANSI code page can spell.
TEST(HostProgram, ReadsItsArgumentsAsUtf16) {
    std::filesystem::path program;
    std::stringstream programs(OUTFOLD_WINDOWS_PROGRAMS);
    for (std::string path; std::getline(programs, path, '|');)
        if (path.ends_with("outfold-host.exe")) program = path;
    ASSERT_FALSE(program.empty());
    const outfold_test::TempDir dir("host-program");
    const std::filesystem::path demo = OUTFOLD_SOURCE_DIR "/examples/demo.json";
    const std::string said = run_program(
        program,
        L"--settings \"" + dir.path().wstring() + L"\" --project \"" + demo.wstring() +
            L"\" select Main Intro user \"set prefixInput \u00e9\u4e2d\" user ok outfold show",
        dir.path() / "output.txt");
    EXPECT_NE(said.find("\xc3\xa9\xe4\xb8\xad_Title"), std::string::npos) << said;
}

}  // namespace
