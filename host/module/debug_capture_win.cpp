// Debug lines on Windows.
//
// There OutputDebugStringA is the system's own, so the host cannot take the
// call itself as it does elsewhere. The system function raises the
// debug-print exception (DBG_PRINTEXCEPTION_C: length and text) for a debugger
// to pick up and handles it itself when none does. A vectored handler sees
// that exception before anything else in the process: it records the text
// into the active Host's debug lines and lets the system carry on as usual.
// (Under a debugger the debugger takes the exception first and the host sees
// nothing.)
#if defined(_WIN32)

#include <windows.h>

#include <cstring>
#include <new>

#include "host_impl.h"

namespace host {
namespace {

LONG CALLBACK record_debug_print(EXCEPTION_POINTERS* info) {
    const EXCEPTION_RECORD* record = info->ExceptionRecord;
    if (record->ExceptionCode != DBG_PRINTEXCEPTION_C || record->NumberParameters < 2)
        return EXCEPTION_CONTINUE_SEARCH;
    const char* text = reinterpret_cast<const char*>(record->ExceptionInformation[1]);
    Host::Impl* active = active_host();
    if (active != nullptr && text != nullptr) {
        try {
            active->debugLines.emplace_back(text, std::strlen(text));
        } catch (const std::bad_alloc&) {
            // A line that cannot be stored is dropped; the program goes on.
        }
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

// Installed for the whole life of the process, first in the handler list.
class DebugCapture {
public:
    DebugCapture() : handler_(AddVectoredExceptionHandler(1, record_debug_print)) {}
    ~DebugCapture() {
        if (handler_ != nullptr) RemoveVectoredExceptionHandler(handler_);
    }
    DebugCapture(const DebugCapture&) = delete;
    DebugCapture& operator=(const DebugCapture&) = delete;

private:
    void* handler_;
};

const DebugCapture gDebugCapture;

}  // namespace
}  // namespace host

// Nothing calls into this file, so a static library would leave it out of
// the program; the build names this symbol as undefined for every program
// that links the host (cmake/windows.cmake), which pulls the file in.
extern "C" const int host_debug_capture_anchor = 1;

#endif
