// On Windows the plug-in's debug line goes to the system's OutputDebugStringA;
// the host must still see it among its debug lines.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "common/temp_dir.h"
#include "host.h"

namespace {

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

    // An exception of another kind passes the capture, which sits first in
    // the handler list, on to the program's own handler and adds no line.
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
