#include "module/module.h"

namespace host::module {

Module::~Module() { release(); }

Module::Module(Module&& other) noexcept
    : handle_(other.handle_), entry_(other.entry_), base_(other.base_), size_(other.size_) {
    other.handle_ = nullptr;
    other.entry_ = nullptr;
    other.base_ = other.size_ = 0;
}

Module& Module::operator=(Module&& other) noexcept {
    if (this != &other) {
        release();
        handle_ = other.handle_;
        entry_ = other.entry_;
        base_ = other.base_;
        size_ = other.size_;
        other.handle_ = nullptr;
        other.entry_ = nullptr;
        other.base_ = other.size_ = 0;
    }
    return *this;
}

std::optional<std::uint64_t> Module::offset_of(const void* address) const {
    const auto at = reinterpret_cast<std::uintptr_t>(address);
    if (handle_ == nullptr || at < base_ || at - base_ >= size_) return std::nullopt;
    return at - base_;
}

// A return address names the call, and each module's offset is the same on
// every load: the loader may put the module elsewhere (it does under the
// address checks).
std::vector<std::uint64_t> call_path(const std::vector<Module>& modules) {
    void* frames[kMaxFrames];
    const int count = capture_stack(frames);
    std::vector<std::uint64_t> path;
    for (int i = 0; i < count; ++i) {
        for (const Module& module : modules) {
            if (const auto offset = module.offset_of(frames[i])) path.push_back(*offset);
        }
    }
    return path;
}

}  // namespace host::module
