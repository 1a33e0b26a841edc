#if !defined(_WIN32)

#include <dlfcn.h>
#include <link.h>

#if __has_include(<execinfo.h>)
#include <execinfo.h>
#endif

#include <algorithm>
#include <system_error>

#include "module/module.h"

namespace host::module {

void Module::release() noexcept {
    if (handle_ != nullptr) dlclose(handle_);
    handle_ = nullptr;
    entry_ = nullptr;
    base_ = size_ = 0;
}

// The base is where the loader put the image (the entry point's dli_fbase);
// the size reaches to the end of the furthest loaded segment.
void Module::find_extent() {
    Dl_info where{};
    if (dladdr(reinterpret_cast<void*>(entry_), &where) == 0 || where.dli_fbase == nullptr) return;
    base_ = reinterpret_cast<std::uintptr_t>(where.dli_fbase);
    dl_iterate_phdr(
        [](dl_phdr_info* info, std::size_t, void* data) {
            auto& module = *static_cast<Module*>(data);
            if (info->dlpi_addr != module.base_) return 0;
            for (int i = 0; i < info->dlpi_phnum; ++i) {
                const auto& segment = info->dlpi_phdr[i];
                if (segment.p_type == PT_LOAD)
                    module.size_ =
                        std::max<std::uintptr_t>(module.size_, segment.p_vaddr + segment.p_memsz);
            }
            return 1;
        },
        this);
}

int capture_stack(void* (&frames)[kMaxFrames]) {
#if __has_include(<execinfo.h>)
    return backtrace(frames, kMaxFrames);
#else
    static_cast<void>(frames);
    return 0;
#endif
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
    module.find_extent();
    err = A_Err_NONE;
    message.clear();
    return module;
}

}  // namespace host::module

#endif
