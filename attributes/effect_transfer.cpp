#include "attributes/effect_transfer.h"

#include <string>

#include "attributes/stream_transfer.h"
#include "shell/host_suites.h"
#include "shell/owned.h"
#include "shell/running_error.h"

namespace outfold {

namespace {

// Only the on/off switch is carried over; the new effect's other flags stay
// as the host set them.
A_Err copy_effect_switch(const AEGP_EffectSuite_v3& effects, AEGP_EffectRefH source,
                         AEGP_EffectRefH copy) {
    AEGP_EffectFlags flags = AEGP_EffectFlags_NONE;
    RunningError err;
    err.then([&] { return effects.AEGP_GetEffectFlags(source, &flags); }).then([&] {
        return effects.AEGP_SetEffectFlags(copy, AEGP_EffectFlags_ACTIVE, flags);
    });
    return err.code();
}

// Parameters 1 to count - 1; parameter 0 is the effect's own and is not copied.
A_Err copy_effect_params(HostSuites& suites, PluginInfo const* info, AEGP_EffectRefH source,
                         AEGP_EffectRefH copy) {
    A_long count = 0;
    RunningError err;
    err.then([&] {
        return suites.get<AEGP_StreamSuite_v9>().AEGP_GetEffectNumParamStreams(source, &count);
    });
    for (A_long param = 1; param < count; ++param) {
        err.then([&] { return copy_effect_param(info, source, copy, param); });
    }
    return err.code();
}

// The instance's name lives on the effect's own stream, the parent of any of
// its parameters; parameter 1 is the one the host's guide opens for it.
constexpr PF_ParamIndex kNamingParam = 1;

// Opens the stream of the effect itself into *effectStream.
A_Err open_effect_stream(HostSuites& suites, PluginInfo const* info, AEGP_EffectRefH effect,
                         Owned<AEGP_StreamRefH>& effectStream) {
    const auto& streams = suites.get<AEGP_StreamSuite_v9>();
    Owned<AEGP_StreamRefH> param(streams.AEGP_DisposeStream);
    RunningError err;
    err.then([&] {
           return streams.AEGP_GetNewEffectStreamByIndex(info->pluginId, effect, kNamingParam,
                                                         param.out());
       })
        .then([&] {
            return suites.get<AEGP_DynamicStreamSuite_v5>().AEGP_GetNewParentStreamRef(
                info->pluginId, param.get(), effectStream.out());
        });
    err.keep_first(param.release());
    return err.code();
}

// The shown name of a stream; the handle is freed on every path.
A_Err read_stream_name(HostSuites& suites, PluginInfo const* info, AEGP_StreamRefH stream,
                       std::u16string* name) {
    const auto& memory = suites.get<AEGP_MemorySuite_v1>();
    Owned<AEGP_MemHandle> handle(memory.AEGP_FreeMemHandle);
    void* locked = nullptr;
    RunningError err;
    err.then([&] {
        return suites.get<AEGP_StreamSuite_v11>().AEGP_GetStreamName(info->pluginId, stream, false,
                                                                     handle.out());
    });
    if (err.ok() && handle) {
        err.then([&] { return memory.AEGP_LockMemHandle(handle.get(), &locked); });
        if (err.ok()) {
            if (locked != nullptr) name->assign(static_cast<const char16_t*>(locked));
            err.keep_first(memory.AEGP_UnlockMemHandle(handle.get()));
        }
    }
    err.keep_first(handle.release());
    return err.code();
}

// Gives the copy the source's instance name where they differ, so a name
// the user chose, and expressions that use it, survive the copy. An effect
// without parameters has nothing to open its own stream from and keeps the
// name it was given.
A_Err copy_effect_name(HostSuites& suites, PluginInfo const* info, AEGP_EffectRefH source,
                       AEGP_EffectRefH copy) {
    const auto& streams = suites.get<AEGP_StreamSuite_v9>();
    A_long params = 0;
    RunningError err;
    err.then([&] { return streams.AEGP_GetEffectNumParamStreams(source, &params); });
    if (!err.ok() || params <= kNamingParam) return err.code();
    Owned<AEGP_StreamRefH> sourceStream(streams.AEGP_DisposeStream);
    Owned<AEGP_StreamRefH> copyStream(streams.AEGP_DisposeStream);
    std::u16string sourceName;
    std::u16string copyName;
    err.then([&] { return open_effect_stream(suites, info, source, sourceStream); })
        .then([&] { return open_effect_stream(suites, info, copy, copyStream); })
        .then([&] { return read_stream_name(suites, info, sourceStream.get(), &sourceName); })
        .then([&] { return read_stream_name(suites, info, copyStream.get(), &copyName); });
    if (err.ok() && sourceName != copyName) {
        err.then([&] {
            return suites.get<AEGP_DynamicStreamSuite_v5>().AEGP_SetStreamName(
                copyStream.get(), reinterpret_cast<const A_UTF16Char*>(sourceName.c_str()));
        });
    }
    err.keep_first(sourceStream.release());
    err.keep_first(copyStream.release());
    return err.code();
}

// Applies a copy of effect `index` of the source layer to the target layer.
// Both effect references are given back on every path, the source's first.
A_Err copy_effect(HostSuites& suites, PluginInfo const* info, AEGP_LayerH sourceLayer,
                  AEGP_EffectIndex index, AEGP_LayerH targetLayer) {
    const auto& effects = suites.get<AEGP_EffectSuite_v3>();
    Owned<AEGP_EffectRefH> source(effects.AEGP_DisposeEffect);
    Owned<AEGP_EffectRefH> copy(effects.AEGP_DisposeEffect);
    AEGP_InstalledEffectKey key = 0;
    RunningError err;
    err.then([&] {
           return effects.AEGP_GetLayerEffectByIndex(info->pluginId, sourceLayer, index,
                                                     source.out());
       })
        .then([&] { return effects.AEGP_GetInstalledKeyFromLayerEffect(source.get(), &key); })
        .then(
            [&] { return effects.AEGP_ApplyEffect(info->pluginId, targetLayer, key, copy.out()); })
        .then([&] { return copy_effect_switch(effects, source.get(), copy.get()); })
        .then([&] { return copy_effect_name(suites, info, source.get(), copy.get()); })
        .then([&] { return copy_effect_params(suites, info, source.get(), copy.get()); });
    err.keep_first(source.release());
    err.keep_first(copy.release());
    return err.code();
}

// Item `position` of the collection, handed to copy_layer_effects when it is
// a layer. That layer's result is deliberately dropped: one layer that cannot
// take an effect must not keep the others from theirs.
A_Err copy_effects_to_item(HostSuites& suites, PluginInfo const* info, AEGP_LayerH sourceLayer,
                           AEGP_Collection2H layers, A_u_long position) {
    AEGP_CollectionItemV2 item{};
    RunningError err;
    err.then([&] {
        return suites.get<AEGP_CollectionSuite_v2>().AEGP_GetCollectionItemByIndex(layers, position,
                                                                                   &item);
    });
    if (err.ok() && item.type == AEGP_CollectionItemType_LAYER) {
        static_cast<void>(copy_layer_effects(info, sourceLayer, item.u.layer.layerH));
    }
    return err.code();
}

}  // namespace

A_Err copy_effects_to_layers(PluginInfo const* info, AEGP_LayerH sourceLayer,
                             AEGP_Collection2H layers) {
    return with_suites(info->spBasic, [&](HostSuites& suites) {
        A_u_long count = 0;
        RunningError err;
        err.then([&] {
            return suites.get<AEGP_CollectionSuite_v2>().AEGP_GetCollectionNumItems(layers, &count);
        });
        for (A_u_long i = 0; i < count; ++i) {
            err.then([&] { return copy_effects_to_item(suites, info, sourceLayer, layers, i); });
        }
        return err.code();
    });
}

A_Err copy_layer_effects(PluginInfo const* info, AEGP_LayerH sourceLayer, AEGP_LayerH targetLayer) {
    return with_suites(info->spBasic, [&](HostSuites& suites) {
        A_long count = 0;
        RunningError err;
        err.then([&] {
            return suites.get<AEGP_EffectSuite_v3>().AEGP_GetLayerNumEffects(sourceLayer, &count);
        });
        for (A_long e = 0; e < count; ++e) {
            err.then([&] { return copy_effect(suites, info, sourceLayer, e, targetLayer); });
        }
        return err.code();
    });
}

}  // namespace outfold
