// Loading a plug-in module as the application does.
//
// POSIX: the module is opened with the system loader and its entry point is
// the exported "EntryPointFunc". Windows: the module's property-list resource
// (type "PIPL", id 16000) names the x64 entry point in its '8664' property,
// and that export is called.
//
// Errors: a missing file gives A_Err_PARAMETER; a file the system loader
// refuses gives A_Err_GENERIC; a module without the resource, with a malformed
// one, or without the named export gives A_Err_STRUCT. Each comes with a
// message.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "aegp.h"

namespace host::module {

inline constexpr int kPiplResourceId = 16000;

class Module {
public:
    Module() = default;
    ~Module();
    Module(Module&& other) noexcept;
    Module& operator=(Module&& other) noexcept;
    Module(const Module&) = delete;
    Module& operator=(const Module&) = delete;

    // On failure returns an empty module and sets err and message.
    static Module load(const std::filesystem::path& file, A_Err& err, std::string& message);
    AEGP_EntryPoint entry() const { return entry_; }
    explicit operator bool() const { return handle_ != nullptr; }

    // The offset of an address from the module's base, when the module's
    // image holds it.
    std::optional<std::uint64_t> offset_of(const void* address) const;

private:
    void release() noexcept;
    void find_extent();  // sets base_ and size_ from the loaded image

    void* handle_ = nullptr;
    AEGP_EntryPoint entry_ = nullptr;
    std::uintptr_t base_ = 0;
    std::uintptr_t size_ = 0;
};

// The calling thread's return addresses that lie in one of the modules, each
// as its offset from that module's base, innermost first (empty where the
// platform gives no stack).
std::vector<std::uint64_t> call_path(const std::vector<Module>& modules);

// The platform's part of call_path: the calling thread's return addresses,
// innermost first, and how many there are.
inline constexpr int kMaxFrames = 64;
int capture_stack(void* (&frames)[kMaxFrames]);

// A four-character code as the property list stores it (a 32-bit value whose
// most significant byte is the first character).
constexpr std::uint32_t four_cc(const char (&code)[5]) {
    return (std::uint32_t(std::uint8_t(code[0])) << 24) |
           (std::uint32_t(std::uint8_t(code[1])) << 16) |
           (std::uint32_t(std::uint8_t(code[2])) << 8) | std::uint32_t(std::uint8_t(code[3]));
}

// The x64 entry point's name from the bytes of a property list; empty with
// `error` set when the list is malformed or names no entry point.
std::string pipl_entry_point(std::span<const std::uint8_t> bytes, std::string& error);

}  // namespace host::module
