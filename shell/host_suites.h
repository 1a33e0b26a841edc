// Per-call access to the host's suites.
//
// A HostSuites lives for one call of one function: each accessor acquires its
// (name, version) pair from the SP basic suite on first use and caches it; the
// destructor releases every pair that was acquired, and no other. A suite the
// host cannot supply raises MissingSuite, which the function that built the
// HostSuites turns back into its A_Err result, as it does any other exception:
// none ever reaches the host.
#pragma once

#include <array>
#include <cstddef>
#include <exception>
#include <new>

#include "aegp.h"

namespace outfold {

// The error a missing suite is reported with.
inline constexpr A_Err kMissingSuiteError = PF_Err_BAD_CALLBACK_PARAM;

class MissingSuite : public std::exception {
public:
    A_Err code() const noexcept { return kMissingSuiteError; }
    const char* what() const noexcept override { return "host suite unavailable"; }
};

namespace detail {
template <class Suite>
struct SuiteInfo;

enum class SuiteIndex : std::size_t {
#define OUTFOLD_SUITE_ENUM(Type, name, version) Type,
    AEGP_FOR_EACH_SUITE(OUTFOLD_SUITE_ENUM)
#undef OUTFOLD_SUITE_ENUM
        Count
};

#define OUTFOLD_SUITE_INFO(Type, suiteName, suiteVersion)                   \
    template <>                                                             \
    struct SuiteInfo<Type> {                                                \
        static constexpr const char* name = suiteName;                      \
        static constexpr A_long version = suiteVersion;                     \
        static constexpr std::size_t index = std::size_t(SuiteIndex::Type); \
    };
AEGP_FOR_EACH_SUITE(OUTFOLD_SUITE_INFO)
#undef OUTFOLD_SUITE_INFO
}  // namespace detail

class HostSuites {
public:
    explicit HostSuites(const SPBasicSuite* basic) : basic_(basic) {
        if (basic_ == nullptr) throw MissingSuite();
    }
    HostSuites(const HostSuites&) = delete;
    HostSuites& operator=(const HostSuites&) = delete;
    ~HostSuites() { release_all(); }

    // The function table of one (name, version) pair, e.g.
    // suites.get<AEGP_LayerSuite_v11>().AEGP_GetLayerIndex(layer, &index).
    template <class Suite>
    const Suite& get() {
        using Info = detail::SuiteInfo<Suite>;
        const void*& slot = cache_[Info::index];
        if (slot == nullptr) {
            const void* suite = nullptr;
            A_Err err = basic_->AcquireSuite(Info::name, Info::version, &suite);
            if (err != A_Err_NONE || suite == nullptr) throw MissingSuite();
            slot = suite;
        }
        return *static_cast<const Suite*>(slot);
    }

private:
    void release_all() noexcept;

    const SPBasicSuite* basic_;
    std::array<const void*, std::size_t(detail::SuiteIndex::Count)> cache_{};
};

inline void HostSuites::release_all() noexcept {
#define OUTFOLD_SUITE_RELEASE(Type, name, version)           \
    if (cache_[detail::SuiteInfo<Type>::index] != nullptr) { \
        basic_->ReleaseSuite(name, version);                 \
        cache_[detail::SuiteInfo<Type>::index] = nullptr;    \
    }
    AEGP_FOR_EACH_SUITE(OUTFOLD_SUITE_RELEASE)
#undef OUTFOLD_SUITE_RELEASE
}

// Runs body() and turns an exception into an error code: a missing suite
// into its own, an allocation failure into A_Err_ALLOC, anything else into
// A_Err_GENERIC. Code that must close what it opened (the undo group, the
// links inside a pre-comp) runs its steps through here, so it still gets to
// close them when a step throws.
template <class Body>
A_Err exception_as_error(Body&& body) noexcept {
    try {
        return body();
    } catch (const MissingSuite& missing) {
        return missing.code();
    } catch (const std::bad_alloc&) {
        return A_Err_ALLOC;
    } catch (...) {
        return A_Err_GENERIC;
    }
}

// Runs body(suites) with a fresh HostSuites and turns an exception into its
// error code. Every function that builds a HostSuites goes through here.
template <class Body>
A_Err with_suites(const SPBasicSuite* basic, Body&& body) noexcept {
    return exception_as_error([&] {
        HostSuites suites(basic);
        return body(suites);
    });
}

}  // namespace outfold
