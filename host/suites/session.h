// What every suite operation does around its own work: find the active Host,
// record the call in the trace, honour a planned fault, and turn every failure
// into an error code (exceptions never cross into the plug-in):
//
//   BadHandle (null, wrong-kind, foreign or stale handle)  -> A_Err_STRUCT
//   BadArgument, ModelError, invalid_argument, range,
//   overflow and domain errors (bad values, indices, times) -> A_Err_PARAMETER
//   std::bad_alloc                                           -> A_Err_ALLOC
//   anything else                                            -> A_Err_GENERIC
//
// An operation called while no Host lives answers A_Err_GENERIC.
#pragma once

#include <chrono>
#include <new>
#include <stdexcept>
#include <string>

#include "host_impl.h"
#include "model/model.h"
#include "model/project_ops.h"

namespace host::suites {

// Accessors that resolve and check handles and arguments for one call.
class Session {
public:
    explicit Session(Host::Impl& host) : host_(host) {}

    Host::Impl& host() { return host_; }
    model::Project& project() { return host_.project; }
    Registry& registry() { return host_.registry; }

    void require_plugin(AEGP_PluginID id) const;

    model::Item& item(AEGP_ItemH handle);  // the root folder is not an Item: see is_root
    bool is_root(AEGP_ItemH handle) const;
    model::Item& comp_item(AEGP_CompH handle);
    model::Composition& comp(AEGP_CompH handle) { return *comp_item(handle).comp; }
    model::Layer& layer(AEGP_LayerH handle);
    model::Item& comp_item_of(const model::Layer& layer);

    // A stream reference's stream, and the layer it belongs to.
    model::Stream& stream(AEGP_StreamRefH handle);
    // As stream(), for keyframe calls, which a separated Position refuses:
    // its keyframes live on the followers.
    model::Stream& keyed_stream(AEGP_StreamRefH handle);
    // The effect behind a reference to the effect itself (kEffectItself).
    model::Effect& effect_itself(const StreamAddress& address);
    model::Layer& stream_layer(AEGP_StreamRefH handle);
    model::Effect& effect(AEGP_EffectRefH handle);
    model::Layer& effect_layer(AEGP_EffectRefH handle);
    model::Stream& stream_at(const StreamAddress& address);

    // Times of a layer's composition.
    A_Time to_time(const model::Layer& layer, model::Time t);
    model::Time from_time(const A_Time* t) const;
    // A layer time from a time given in the mode (0 layer, 1 composition).
    model::Time layer_time(const model::Layer& layer, AEGP_LTimeMode mode, const A_Time* t) const;
    model::Time in_mode(const model::Layer& layer, AEGP_LTimeMode mode,
                        model::Time layerTime) const;

private:
    Host::Impl& host_;
};

template <class T>
T& out(T* pointer) {
    if (pointer == nullptr) throw BadArgument("null output pointer");
    return *pointer;
}

template <class T>
const T& in(const T* pointer) {
    if (pointer == nullptr) throw BadArgument("null input pointer");
    return *pointer;
}

inline const char* in_text(const char* text) {
    if (text == nullptr) throw BadArgument("null text");
    return text;
}

// New memory handles holding the text, NUL-terminated: as UTF-8, or turned
// into UTF-16 (lone surrogates and bad bytes as the codec replaces them).
AEGP_MemHandle text_handle(Session& s, const std::string& utf8);
AEGP_MemHandle utf16_handle(Session& s, const std::string& utf8);

// Converts a time to the composition's time base: the scale is the
// numerator of the composition's frame rate (30 for 30 fps, 30000 for
// 29.97 fps), so whole frames are exact; other times round to the nearest
// value (halves away from zero).
A_Time to_a_time(model::Time t, model::Rational frameRate);

// Adds the time of the outermost operation running to the Host's total.
class OperationTimer {
public:
    explicit OperationTimer(Host::Impl& host) : host_(host), start_(now()) {
        ++host_.operationDepth;
    }
    ~OperationTimer() {
        if (--host_.operationDepth == 0) host_.times.operations += now() - start_;
    }
    OperationTimer(const OperationTimer&) = delete;
    OperationTimer& operator=(const OperationTimer&) = delete;

private:
    static std::chrono::steady_clock::time_point now() { return std::chrono::steady_clock::now(); }
    Host::Impl& host_;
    std::chrono::steady_clock::time_point start_;
};

template <class Body>
A_Err run(const char* operation, Body&& body) noexcept {
    const CodeOwner hostCode(false);
    Host::Impl* host = active_host();
    if (host == nullptr) return A_Err_GENERIC;
    const OperationTimer timer(*host);
    try {
        host->trace.emplace_back(operation);
        if (host->recordCallSites) host->callSites.push_back(module::call_path(host->modules));
        if (const auto planned = host->faults.on_call(operation)) return *planned;
        Session session(*host);
        return body(session);
    } catch (const BadHandle&) {
        return A_Err_STRUCT;
    } catch (const BadArgument&) {
        return A_Err_PARAMETER;
    } catch (const model::ModelError&) {
        return A_Err_PARAMETER;
    } catch (const std::invalid_argument&) {
        return A_Err_PARAMETER;
    } catch (const std::out_of_range&) {
        return A_Err_PARAMETER;
    } catch (const std::overflow_error&) {
        return A_Err_PARAMETER;
    } catch (const std::domain_error&) {
        return A_Err_PARAMETER;
    } catch (const std::bad_alloc&) {
        return A_Err_ALLOC;
    } catch (...) {
        return A_Err_GENERIC;
    }
}

}  // namespace host::suites
