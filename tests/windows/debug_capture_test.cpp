// On Windows the plug-in's debug line goes to the system's OutputDebugStringA;
// the host must still see it among its debug lines.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "common/temp_dir.h"
#include "host.h"

namespace {

class DebugCaptureTest : public ::testing::Test {
protected:
    host::HostOptions options() const {
        host::HostOptions o;
        o.settingsDir = settings_.path();
        return o;
    }
    outfold_test::TempDir settings_{"debug"};
};

TEST_F(DebugCaptureTest, RecordsEachLineIntoTheActiveHostAsWritten) {
    const std::vector<std::string> lines = {
        "Unexpected number of tokens in returned JSON",
        "",
        "bytes above 127: \xC3\xA9\xE2\x82\xAC",
        "trailing line end\n",
        std::string(8192, 'x'),
    };
    host::Host host(options());
    for (const std::string& line : lines) OutputDebugStringA(line.c_str());
    EXPECT_EQ(host.debug_lines(), lines);
    EXPECT_TRUE(host.outstanding().none());
}

TEST_F(DebugCaptureTest, WideLinesArriveOnceAsTheirNarrowText) {
    host::Host host(options());
    OutputDebugStringW(L"wide line");
    EXPECT_EQ(host.debug_lines(), std::vector<std::string>{"wide line"});
}

TEST_F(DebugCaptureTest, LinesWrittenWhileNoHostLivesGoNowhere) {
    { host::Host earlier(options()); }
    OutputDebugStringA("between hosts");  // must not touch the ended Host
    host::Host host(options());
    EXPECT_TRUE(host.debug_lines().empty());
}

TEST_F(DebugCaptureTest, OtherExceptionsStillReachTheirHandlers) {
    host::Host host(options());
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
    EXPECT_TRUE(host.debug_lines().empty());
}

}  // namespace
