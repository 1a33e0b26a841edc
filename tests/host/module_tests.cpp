// Loading plug-in modules, reading their property lists, and the debug sink.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <exception>
#include <fstream>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
extern "C" void OutputDebugStringA(const char* text);
#endif

#include "host_fixture.h"
#include "module/module.h"

namespace {

using host_test::HostTest;

// ---------------------------------------------------------------- property lists

void put_u32(std::vector<std::uint8_t>& bytes, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

void put_code(std::vector<std::uint8_t>& bytes, const char (&code)[5]) {
    put_u32(bytes, host::module::four_cc(code));
}

void put_property(std::vector<std::uint8_t>& bytes, const char (&vendor)[5], const char (&key)[5],
                  std::vector<std::uint8_t> data, std::uint32_t claimedLength = 0xFFFFFFFF) {
    while (data.size() % 4 != 0) data.push_back(0);
    put_code(bytes, vendor);
    put_code(bytes, key);
    put_u32(bytes, 0);
    put_u32(bytes,
            claimedLength == 0xFFFFFFFF ? static_cast<std::uint32_t>(data.size()) : claimedLength);
    bytes.insert(bytes.end(), data.begin(), data.end());
}

std::vector<std::uint8_t> header(std::uint32_t count) {
    std::vector<std::uint8_t> bytes{1, 0};
    put_u32(bytes, 0);
    put_u32(bytes, count);
    return bytes;
}

std::vector<std::uint8_t> text(const std::string& s, bool terminate = true) {
    std::vector<std::uint8_t> bytes(s.begin(), s.end());
    if (terminate) bytes.push_back(0);
    return bytes;
}

TEST(PropertyList, KeysAreStoredLittleEndian) {
    std::vector<std::uint8_t> bytes;
    put_code(bytes, "8BIM");
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "MIB8");
}

TEST(PropertyList, TheEntryPointIsFoundOrTheListRefused) {
    struct Case {
        std::string what;
        std::vector<std::uint8_t> bytes;
        std::string entry;  // empty: refused
    };
    std::vector<Case> cases;
    {
        auto b = header(3);
        put_property(b, "8BIM", "kind", {'x', 'g', 'E', 'A'});
        put_property(b, "8BIM", "name", text("\x07Outfold", false));
        put_property(b, "8BIM", "8664", text("EntryPointFunc"));
        cases.push_back({"a list like the plug-in's", b, "EntryPointFunc"});
    }
    {
        auto b = header(2);
        put_property(b, "XXXX", "8664", text("Wrong"));
        put_property(b, "8BIM", "8664", text("Right"));
        cases.push_back({"another vendor's property is skipped", b, "Right"});
    }
    cases.push_back({"shorter than the header", {1, 0, 0, 0}, ""});
    cases.push_back({"no properties", header(0), ""});
    {
        auto b = header(2);
        put_property(b, "8BIM", "kind", {'x', 'g', 'E', 'A'});
        cases.push_back({"fewer properties than counted", b, ""});
    }
    {
        auto b = header(1);
        put_property(b, "8BIM", "8664", text("EntryPointFunc"), 400);
        cases.push_back({"data running past the end", b, ""});
    }
    {
        auto b = header(1);
        put_property(b, "8BIM", "8664", text("EntryPointFunc"), 6);
        cases.push_back({"a length that is not a multiple of 4", b, ""});
    }
    {
        auto b = header(1);
        put_property(b, "8BIM", "8664", text("Entry", false));
        b.back() = 'x';
        b[b.size() - 2] = 'y';
        b[b.size() - 3] = 'z';
        cases.push_back({"a name without its terminator", b, ""});
    }
    {
        auto b = header(1);
        put_property(b, "8BIM", "8664", {0, 0, 0, 0});
        cases.push_back({"an empty name", b, ""});
    }
    {
        auto b = header(0x7FFFFFFF);
        cases.push_back({"an absurd count", b, ""});
    }
    for (const Case& c : cases) {
        std::string error;
        const std::string entry = host::module::pipl_entry_point(c.bytes, error);
        EXPECT_EQ(entry, c.entry) << c.what;
        EXPECT_EQ(error.empty(), !c.entry.empty()) << c.what << ": " << error;
    }
}

// ---------------------------------------------------------------- loading

class Modules : public HostTest {};

TEST_F(Modules, LoadFailuresAreErrorCodesWithReasons) {
    host_test::TempDir dir;
    const auto notAModule = dir.path() / "not-a-module.aex";
    std::ofstream(notAModule) << "plain text";
    struct Case {
        std::string what;
        std::filesystem::path file;
        A_Err err;
        std::string mentions;
    };
    std::vector<Case> cases = {
        {"a missing file", dir.path() / "missing.aex", A_Err_PARAMETER, "missing.aex"},
        {"a file that is no module", notAModule, A_Err_GENERIC, "could not be loaded"},
    };
#if !defined(_WIN32)
    // The C++ library: loaded in this process, no plug-in. (Not the C
    // library: under the address checker its functions resolve into the
    // program itself.)
    Dl_info info{};
    ASSERT_NE(dladdr(reinterpret_cast<void*>(&std::set_terminate), &info), 0);
    cases.push_back(
        {"a library without an entry point", info.dli_fname, A_Err_STRUCT, "EntryPointFunc"});
#endif
    for (const Case& c : cases) {
        EXPECT_EQ(host().load_plugin(c.file), c.err) << c.what;
        EXPECT_NE(host().last_load_error().find(c.mentions), std::string::npos)
            << c.what << ": " << host().last_load_error();
        EXPECT_EQ(host().plugin_id(), plugin_) << "no plug-in id was spent on " << c.what;
    }
}

TEST_F(Modules, ThePluginModuleLoadsAndRegisters) {
    const auto before = host().menu(AEGP_Menu_LAYER).size();
    ASSERT_EQ(host().load_plugin(std::filesystem::path(OUTFOLD_MODULE_PATH)), A_Err_NONE)
        << host().last_load_error();
    EXPECT_TRUE(host().last_load_error().empty());
    EXPECT_EQ(host().plugin_id(), plugin_ + 1);
    const auto menu = host().menu(AEGP_Menu_LAYER);
    ASSERT_EQ(menu.size(), before + 1);
    EXPECT_NE(menu.back().command, 0) << "the plug-in's command is at the bottom";
    EXPECT_EQ(host().outstanding().suites, 0) << "the entry point released its suites";
}

// ---------------------------------------------------------------- debug sink

TEST_F(Modules, DebugLinesAreRecordedAsWritten) {
    OutputDebugStringA("first line");
    OutputDebugStringA("second, no line break");
#if !defined(_WIN32)
    OutputDebugStringA(nullptr);  // the host's sink ignores it
#endif
    EXPECT_EQ(host().debug_lines(),
              (std::vector<std::string>{"first line", "second, no line break"}));
}

}  // namespace
