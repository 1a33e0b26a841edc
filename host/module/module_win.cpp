#if defined(_WIN32)

#include <windows.h>

#include <system_error>

#include "module/module.h"

namespace host::module {

namespace {

// The bytes of the module's property-list resource, or an empty span.
std::span<const std::uint8_t> pipl_bytes(HMODULE handle) {
    HRSRC found = FindResourceW(handle, MAKEINTRESOURCEW(kPiplResourceId), L"PIPL");
    if (found == nullptr) return {};
    HGLOBAL loaded = LoadResource(handle, found);
    if (loaded == nullptr) return {};
    const void* data = LockResource(loaded);
    const DWORD size = SizeofResource(handle, found);
    if (data == nullptr || size == 0) return {};
    return {static_cast<const std::uint8_t*>(data), size};
}

}  // namespace

void Module::release() noexcept {
    if (handle_ != nullptr) FreeLibrary(static_cast<HMODULE>(handle_));
    handle_ = nullptr;
    entry_ = nullptr;
    base_ = size_ = 0;
}

// A module handle is the address of its image, whose headers give its size.
void Module::find_extent() {
    base_ = reinterpret_cast<std::uintptr_t>(handle_);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base_);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base_ + dos->e_lfanew);
    size_ = nt->OptionalHeader.SizeOfImage;
}

// Walks the stack by the images' unwind tables, as the system and wine do.
int capture_stack(void* (&frames)[kMaxFrames]) {
    return RtlCaptureStackBackTrace(0, kMaxFrames, frames, nullptr);
}

Module Module::load(const std::filesystem::path& file, A_Err& err, std::string& message) {
    Module module;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec)) {
        err = A_Err_PARAMETER;
        message = "no module file at " + file.string();
        return module;
    }
    HMODULE handle = LoadLibraryW(file.wstring().c_str());
    if (handle == nullptr) {
        err = A_Err_GENERIC;
        message = "the module could not be loaded (error " + std::to_string(GetLastError()) + ")";
        return module;
    }
    module.handle_ = handle;
    const auto bytes = pipl_bytes(handle);
    if (bytes.empty()) {
        module.release();
        err = A_Err_STRUCT;
        message = "the module has no PIPL resource " + std::to_string(kPiplResourceId);
        return module;
    }
    std::string why;
    const std::string name = pipl_entry_point(bytes, why);
    if (name.empty()) {
        module.release();
        err = A_Err_STRUCT;
        message = "malformed PIPL resource: " + why;
        return module;
    }
    FARPROC symbol = GetProcAddress(handle, name.c_str());
    if (symbol == nullptr) {
        module.release();
        err = A_Err_STRUCT;
        message = "the module does not export its entry point " + name;
        return module;
    }
    module.entry_ = reinterpret_cast<AEGP_EntryPoint>(reinterpret_cast<void*>(symbol));
    module.find_extent();
    err = A_Err_NONE;
    message.clear();
    return module;
}

}  // namespace host::module

#endif
