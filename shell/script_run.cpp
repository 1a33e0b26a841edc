#include "shell/script_run.h"

#include "shell/owned.h"
#include "shell/running_error.h"

namespace outfold {

A_Err execute_script(const PluginInfo& info, HostSuites& suites, const char* script,
                     std::string* answer) {
    const auto& memory = suites.get<AEGP_MemorySuite_v1>();
    Owned<AEGP_MemHandle> result(memory.AEGP_FreeMemHandle);
    RunningError error;
    error.then([&] {
        return suites.get<AEGP_UtilitySuite_v13>().AEGP_ExecuteScript(info.pluginId, script, false,
                                                                      result.out(), nullptr);
    });
    if (!result) return error.code();
    if (answer != nullptr) {
        void* text = nullptr;
        error.then([&] { return memory.AEGP_LockMemHandle(result.get(), &text); });
        if (error.ok()) {
            if (text != nullptr) *answer = static_cast<const char*>(text);
            error.then([&] { return memory.AEGP_UnlockMemHandle(result.get()); });
        }
        if (!error.ok()) answer->clear();
    }
    error.keep_first(result.release());
    return error.code();
}

}  // namespace outfold
