#if !defined(_WIN32)

#include <dlfcn.h>

#include <system_error>

#include "module/module.h"

namespace host::module {

void Module::release() noexcept {
    if (handle_ != nullptr) dlclose(handle_);
    handle_ = nullptr;
    entry_ = nullptr;
}

Module Module::load(const std::filesystem::path& file, A_Err& err, std::string& message) {
    Module module;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec)) {
        err = A_Err_PARAMETER;
        message = "no module file at " + file.string();
        return module;
    }
    module.handle_ = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module.handle_ == nullptr) {
        err = A_Err_GENERIC;
        const char* why = dlerror();
        message = "the module could not be loaded: " + std::string(why ? why : "unknown reason");
        return module;
    }
    void* symbol = dlsym(module.handle_, "EntryPointFunc");
    if (symbol == nullptr) {
        module.release();
        err = A_Err_STRUCT;
        message = "the module exports no EntryPointFunc";
        return module;
    }
    module.entry_ = reinterpret_cast<AEGP_EntryPoint>(symbol);
    err = A_Err_NONE;
    message.clear();
    return module;
}

}  // namespace host::module

#endif
