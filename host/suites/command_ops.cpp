// Commands, hooks, reports, undo groups, scripts and memory handles.
#include <string>

#include "suites/ops.h"
#include "suites/session.h"
#include "text/codec.h"

namespace host::suites::ops {

// ---------------------------------------------------------------- commands

A_Err AEGP_GetUniqueCommand(AEGP_Command* unique_commandP) {
    return run(__func__, [&](Session& s) {
        out(unique_commandP) = s.host().menus.unique_command();
        return A_Err_NONE;
    });
}

A_Err AEGP_InsertMenuCommand(AEGP_Command command, const A_char* nameZ, AEGP_MenuID menu_id,
                             A_long after_itemL) {
    return run(__func__, [&](Session& s) {
        s.host().menus.insert(command, in_text(nameZ), menu_id, after_itemL);
        return A_Err_NONE;
    });
}

A_Err AEGP_SetMenuCommandName(AEGP_Command command, const A_char* nameZ) {
    return run(__func__, [&](Session& s) {
        s.host().menus.set_text(command, in_text(nameZ));
        return A_Err_NONE;
    });
}

A_Err AEGP_EnableCommand(AEGP_Command command) {
    return run(__func__, [&](Session& s) {
        s.host().menus.set_enabled(command, true);
        return A_Err_NONE;
    });
}

A_Err AEGP_DisableCommand(AEGP_Command command) {
    return run(__func__, [&](Session& s) {
        s.host().menus.set_enabled(command, false);
        return A_Err_NONE;
    });
}

// ---------------------------------------------------------------- hooks

A_Err AEGP_RegisterCommandHook(AEGP_PluginID aegp_plugin_id, AEGP_HookPriority hook_priority,
                               AEGP_Command command, AEGP_CommandHook command_hook_func,
                               AEGP_CommandRefcon refconP) {
    return run(__func__, [&](Session& s) {
        s.require_plugin(aegp_plugin_id);
        if (command_hook_func == nullptr) throw BadArgument("null command hook");
        if (hook_priority < AEGP_HP_First || hook_priority > AEGP_HP_AfterAE)
            throw BadArgument("unknown hook priority");
        if (command < 0) throw BadArgument("negative command");
        s.host().commandHooks.push_back(
            CommandHookRecord{aegp_plugin_id, hook_priority, command, command_hook_func, refconP});
        return A_Err_NONE;
    });
}

A_Err AEGP_RegisterUpdateMenuHook(AEGP_PluginID aegp_plugin_id,
                                  AEGP_UpdateMenuHook update_menu_hook_func,
                                  AEGP_UpdateMenuRefcon refconP) {
    return run(__func__, [&](Session& s) {
        s.require_plugin(aegp_plugin_id);
        if (update_menu_hook_func == nullptr) throw BadArgument("null menu hook");
        s.host().menuHooks.push_back(
            MenuHookRecord{aegp_plugin_id, update_menu_hook_func, refconP});
        return A_Err_NONE;
    });
}

// ---------------------------------------------------------------- utility

A_Err AEGP_ReportInfo(AEGP_PluginID aegp_plugin_id, const A_char* info_stringZ) {
    return run(__func__, [&](Session& s) {
        s.require_plugin(aegp_plugin_id);
        s.host().reports.emplace_back(in_text(info_stringZ));
        return A_Err_NONE;
    });
}

A_Err AEGP_StartUndoGroup(const A_char* undo_nameZ) {
    return run(__func__, [&](Session& s) {
        s.host().undoStack.begin(in_text(undo_nameZ), s.project());
        s.host().note_undo_change();
        return A_Err_NONE;
    });
}

A_Err AEGP_EndUndoGroup(void) {
    return run(__func__, [&](Session& s) {
        if (!s.host().undoStack.end()) return A_Err_GENERIC;  // no group is open
        s.host().note_undo_change();
        return A_Err_NONE;
    });
}

A_Err AEGP_ExecuteScript(AEGP_PluginID plugin_id, const A_char* scriptZ,
                         const A_Boolean platform_encodingB, AEGP_MemHandle* outResultPH,
                         AEGP_MemHandle* outErrorStringPH) {
    return run(__func__, [&](Session& s) {
        s.require_plugin(plugin_id);
        if (outResultPH != nullptr) *outResultPH = nullptr;
        if (outErrorStringPH != nullptr) *outErrorStringPH = nullptr;
        const std::string given = in_text(scriptZ);
        const std::string source = platform_encodingB ? text::latin1_to_utf8(given) : given;
        // Logged before it runs, so a script the host fails on is still listed.
        const std::size_t logged = s.host().scriptLog.size();
        s.host().scriptLog.push_back(ScriptRecord{source, std::nullopt});
        const script::ScriptRun result = s.host().run_script(source);
        s.host().scriptLog[logged].outcome = result;
        if (!result.ok) {
            if (outErrorStringPH != nullptr) *outErrorStringPH = text_handle(s, result.error);
            return A_Err_GENERIC;
        }
        if (outResultPH != nullptr) *outResultPH = text_handle(s, result.value);
        return A_Err_NONE;
    });
}

// ---------------------------------------------------------------- memory

A_Err AEGP_FreeMemHandle(AEGP_MemHandle memH) {
    return run(__func__, [&](Session& s) {
        s.registry().free_mem(memH);
        return A_Err_NONE;
    });
}

A_Err AEGP_LockMemHandle(AEGP_MemHandle memH, void** ptr_to_ptr) {
    return run(__func__, [&](Session& s) {
        MemData& mem = s.registry().mem(memH);
        void*& pointer = out(ptr_to_ptr);
        ++mem.locks;
        pointer = mem.bytes.data();
        return A_Err_NONE;
    });
}

A_Err AEGP_UnlockMemHandle(AEGP_MemHandle memH) {
    return run(__func__, [&](Session& s) {
        MemData& mem = s.registry().mem(memH);
        if (mem.locks == 0) throw BadArgument("unlocking a handle that is not locked");
        --mem.locks;
        return A_Err_NONE;
    });
}

}  // namespace host::suites::ops
