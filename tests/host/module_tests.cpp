#include <exception>
#include <fstream>
#include <optional>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
extern "C" void OutputDebugStringA(const char* text);
#endif

#include "common/expected_module.h"
#include "host_fixture.h"
#include "module/module.h"
#include "module/symbols.h"

namespace {

using host_test::HostTest;

using Bytes = std::vector<std::uint8_t>;

struct Property {
    std::uint32_t vendor, key;
    Bytes data;
    std::optional<std::uint32_t> claimedLength;
};

// A resource's property list: the header, then each property padded to four bytes.
Bytes pipl(std::uint32_t count, std::vector<Property> properties) {
    expected::Writer out;
    out.le(1, 2).le(0, 4).le(count, 4);
    for (Property& p : properties) {
        while (p.data.size() % 4 != 0) p.data.push_back(0);
        const auto length = p.claimedLength.value_or(std::uint32_t(p.data.size()));
        out.le(p.vendor, 4).le(p.key, 4).le(0, 4).le(length, 4);
        out.insert(out.end(), p.data.begin(), p.data.end());
    }
    return out;
}

Bytes text(const std::string& s) { return Bytes(s.c_str(), s.c_str() + s.size() + 1); }

using host::module::four_cc;
const std::uint32_t k8BIM = four_cc("8BIM"), kEntry = four_cc("8664");

TEST(PropertyList, TheEntryPointIsFoundOrTheListRefused) {
    const std::tuple<const char*, Bytes, std::string> cases[] = {
        {"the plug-in's own list, written out independently", expected::pipl_bytes(),
         "EntryPointFunc"},
        {"another vendor's property is skipped",
         pipl(2, {{four_cc("XXXX"), kEntry, text("Wrong")}, {k8BIM, kEntry, text("Right")}}),
         "Right"},
        {"shorter than the header", {1, 0, 0, 0}, ""},
        {"no properties", pipl(0, {}), ""},
        {"fewer properties than counted", pipl(2, {{k8BIM, four_cc("kind"), {1, 2, 3, 4}}}), ""},
        {"data running past the end", pipl(1, {{k8BIM, kEntry, text("EntryPointFunc"), 400}}), ""},
        {"a length that is not a multiple of 4",
         pipl(1, {{k8BIM, kEntry, text("EntryPointFunc"), 6}}), ""},
        {"a name without its terminator", pipl(1, {{k8BIM, kEntry, {'E', 'n', 't', 'r'}}}), ""},
        {"an empty name", pipl(1, {{k8BIM, kEntry, {0, 0, 0, 0}}}), ""},
        {"an absurd count", pipl(0x7FFFFFFF, {}), ""}};
    for (const auto& [what, bytes, entry] : cases) {
        std::string error;
        EXPECT_EQ(host::module::pipl_entry_point(bytes, error), entry) << what;
        EXPECT_EQ(error.empty(), !entry.empty()) << what << ": " << error;
    }
}

class Modules : public HostTest {};

TEST_F(Modules, LoadFailuresGiveReasonsAndSpendNoIdThePluginTakesTheNext) {
    host_test::TempDir dir;
    const auto notAModule = dir.path() / "not-a-module.aex";
    std::ofstream(notAModule) << "plain text";
    std::vector<std::tuple<std::string, std::filesystem::path, A_Err, std::string>> cases = {
        {"a missing file", dir.path() / "missing.aex", A_Err_PARAMETER, "missing.aex"},
        {"a file that is no module", notAModule, A_Err_GENERIC, "could not be loaded"}};
#if !defined(_WIN32)
    // The C++ library, not the C one, which the address checker folds into the program.
    Dl_info info{};
    ASSERT_NE(dladdr(reinterpret_cast<void*>(&std::set_terminate), &info), 0);
    cases.push_back(
        {"a library without an entry point", info.dli_fname, A_Err_STRUCT, "EntryPointFunc"});
#endif
    for (const auto& [what, file, err, mentions] : cases) {
        SCOPED_TRACE(what);
        EXPECT_EQ(host().load_plugin(file), err);
        EXPECT_NE(host().last_load_error().find(mentions), std::string::npos)
            << host().last_load_error();
        EXPECT_EQ(host().plugin_id(), plugin_) << "no plug-in id was spent";
    }
    ASSERT_EQ(host().load_plugin(std::filesystem::path(OUTFOLD_MODULE_PATH)), A_Err_NONE)
        << host().last_load_error();
    EXPECT_TRUE(host().last_load_error().empty());
    EXPECT_EQ(host().plugin_id(), plugin_ + 1);
}

// The calls the entry point makes: each path starts in a function of the
// module and ends in the entry point, the way in.
TEST_F(Modules, CallPathsLeadThroughTheModulesFunctionsToItsEntryPoint) {
    const auto symbols = host::module::FunctionSymbols::read(OUTFOLD_MODULE_PATH);
    host().clear_trace();
    host().record_call_sites(true);
    ASSERT_EQ(host().load_plugin(std::filesystem::path(OUTFOLD_MODULE_PATH)), A_Err_NONE);
    ASSERT_EQ(host().call_sites().size(), host().trace().size());
    ASSERT_FALSE(host().trace().empty());
    for (const host::CallPath& path : host().call_sites()) {
        ASSERT_FALSE(path.empty());
        EXPECT_NE(symbols.caller_at(path.front()), "");
        EXPECT_NE(symbols.caller_at(path.back()).find("EntryPointFunc"), std::string_view::npos)
            << symbols.caller_at(path.back());
    }
}

TEST_F(Modules, DebugLinesAreRecordedAsWritten) {
#if !defined(_WIN32)
    OutputDebugStringA(nullptr);  // the host's sink ignores it
#endif
    OutputDebugStringA("no line break");
    EXPECT_EQ(host().debug_lines(), std::vector<std::string>{"no line break"});
}

}  // namespace
