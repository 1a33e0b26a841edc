#include "module/module.h"

namespace host::module {

Module::~Module() { release(); }

Module::Module(Module&& other) noexcept : handle_(other.handle_), entry_(other.entry_) {
    other.handle_ = nullptr;
    other.entry_ = nullptr;
}

Module& Module::operator=(Module&& other) noexcept {
    if (this != &other) {
        release();
        handle_ = other.handle_;
        entry_ = other.entry_;
        other.handle_ = nullptr;
        other.entry_ = nullptr;
    }
    return *this;
}

}  // namespace host::module
