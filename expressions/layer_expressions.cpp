#include "expressions/layer_expressions.h"

#include "shell/owned.h"
#include "shell/running_error.h"

namespace outfold {

namespace {

using StreamUse = std::function<A_Err(AEGP_StreamRefH)>;

// Opens the layer stream, if the layer has it, for `use`.
A_Err with_layer_stream(HostSuites& suites, PluginInfo const* info, AEGP_LayerH layer,
                        A_long number, const StreamUse& use) {
    const auto& streams = suites.get<AEGP_StreamSuite_v9>();
    RunningError err;
    A_Boolean legal = false;
    err.then([&] {
        return streams.AEGP_IsStreamLegal(layer, static_cast<AEGP_LayerStream>(number), &legal);
    });
    if (!err.ok() || !legal) return err.code();
    Owned<AEGP_StreamRefH> stream(streams.AEGP_DisposeStream);
    err.then([&] {
           return streams.AEGP_GetNewLayerStream(
               info->pluginId, layer, static_cast<AEGP_LayerStream>(number), stream.out());
       })
        .then([&] { return use(stream.get()); });
    err.keep_first(stream.release());
    return err.code();
}

A_Err with_effect_stream(HostSuites& suites, PluginInfo const* info, AEGP_EffectRefH effect,
                         A_long param, const StreamUse& use) {
    const auto& streams = suites.get<AEGP_StreamSuite_v9>();
    Owned<AEGP_StreamRefH> stream(streams.AEGP_DisposeStream);
    RunningError err;
    err.then([&] {
           return streams.AEGP_GetNewEffectStreamByIndex(info->pluginId, effect, param,
                                                         stream.out());
       })
        .then([&] { return use(stream.get()); });
    err.keep_first(stream.release());
    return err.code();
}

// Opens effect `index` of the layer for `use`.
A_Err with_effect(HostSuites& suites, PluginInfo const* info, AEGP_LayerH layer, A_long index,
                  const std::function<A_Err(AEGP_EffectRefH)>& use) {
    const auto& effects = suites.get<AEGP_EffectSuite_v3>();
    Owned<AEGP_EffectRefH> effect(effects.AEGP_DisposeEffect);
    RunningError err;
    err.then([&] {
           return effects.AEGP_GetLayerEffectByIndex(info->pluginId, layer, index, effect.out());
       })
        .then([&] { return use(effect.get()); });
    err.keep_first(effect.release());
    return err.code();
}

}  // namespace

A_Err with_followers(HostSuites& suites, PluginInfo const* info, AEGP_LayerH layer,
                     const FollowerUse& use, A_short dimension) {
    const auto& streams = suites.get<AEGP_StreamSuite_v9>();
    const auto& dynamic = suites.get<AEGP_DynamicStreamSuite_v5>();
    return with_layer_stream(
        suites, info, layer, AEGP_LayerStream_POSITION, [&](AEGP_StreamRefH position) {
            A_Boolean separated = false;
            AEGP_StreamType type = AEGP_StreamType_NO_DATA;
            RunningError err;
            err.then([&] { return dynamic.AEGP_AreDimensionsSeparated(position, &separated); });
            if (err.ok() && separated)
                err.then([&] { return streams.AEGP_GetStreamType(position, &type); });
            const A_short dimensions = type == AEGP_StreamType_ThreeD_SPATIAL ? 3 : 2;
            for (A_short d = 0; separated && d < dimensions; ++d) {
                if (dimension >= 0 && d != dimension) continue;
                Owned<AEGP_StreamRefH> follower(streams.AEGP_DisposeStream);
                err.then([&] {
                       return dynamic.AEGP_GetSeparationFollower(position, d, follower.out());
                   })
                    .then([&] { return use(d, follower.get()); });
                err.keep_first(follower.release());
            }
            return err.code();
        });
}

namespace {

using Visit = std::function<A_Err(StreamPlace, const std::string&)>;

// Visits the stream's expression, if it has one.
StreamUse visiting(HostSuites& suites, PluginInfo const* info, StreamPlace place,
                   const Visit& visit) {
    return [&suites, info, place, &visit](AEGP_StreamRefH stream) {
        std::string text;
        RunningError err;
        err.then([&] { return read_expression(suites, info, stream, &text); });
        if (err.ok() && !text.empty()) err.then([&] { return visit(place, text); });
        return err.code();
    };
}

A_Err visit_effect(HostSuites& suites, PluginInfo const* info, AEGP_LayerH layer, A_long index,
                   const Visit& visit) {
    return with_effect(suites, info, layer, index, [&](AEGP_EffectRefH effect) {
        RunningError err;
        A_long count = 0;
        err.then([&] {
            return suites.get<AEGP_StreamSuite_v9>().AEGP_GetEffectNumParamStreams(effect, &count);
        });
        // Parameter 0 is the effect's own and holds no expression.
        for (A_long param = 1; param < count; ++param) {
            err.then([&] {
                return with_effect_stream(suites, info, effect, param,
                                          visiting(suites, info, {index, param}, visit));
            });
        }
        return err.code();
    });
}

}  // namespace

A_Err read_expression(HostSuites& suites, PluginInfo const* info, AEGP_StreamRefH stream,
                      std::string* text) {
    const auto& memory = suites.get<AEGP_MemorySuite_v1>();
    // The suite that frees the handle is acquired before the handle exists.
    Owned<AEGP_MemHandle> handle(memory.AEGP_FreeMemHandle);
    RunningError err;
    err.then([&] {
        return suites.get<AEGP_StreamSuite_v9>().AEGP_GetExpression(info->pluginId, stream,
                                                                    handle.out());
    });
    text->clear();
    if (!err.ok() || !handle) return err.code();
    void* locked = nullptr;
    err.then([&] { return memory.AEGP_LockMemHandle(handle.get(), &locked); });
    if (err.ok()) {
        if (locked != nullptr) text->assign(static_cast<const char*>(locked));
        err.keep_first(memory.AEGP_UnlockMemHandle(handle.get()));
    }
    err.keep_first(handle.release());
    return err.code();
}

A_Err for_each_expression(PluginInfo const* info, AEGP_LayerH layer, const Visit& visit) {
    return with_suites(info->spBasic, [&](HostSuites& suites) {
        RunningError err;
        for (A_long number = 0; number < AEGP_LayerStream_END; ++number) {
            err.then([&] {
                return with_layer_stream(suites, info, layer, number,
                                         visiting(suites, info, {-1, number}, visit));
            });
        }
        err.then([&] {
            return with_followers(suites, info, layer, [&](A_short d, AEGP_StreamRefH follower) {
                return visiting(suites, info, {kFollowerPlace, d}, visit)(follower);
            });
        });
        A_long effects = 0;
        err.then([&] {
            return suites.get<AEGP_EffectSuite_v3>().AEGP_GetLayerNumEffects(layer, &effects);
        });
        for (A_long index = 0; index < effects; ++index)
            err.then([&] { return visit_effect(suites, info, layer, index, visit); });
        return err.code();
    });
}

A_Err has_layer_params(PluginInfo const* info, AEGP_LayerH layer, bool* found) {
    return with_suites(info->spBasic, [&](HostSuites& suites) {
        const auto& streams = suites.get<AEGP_StreamSuite_v9>();
        RunningError err;
        A_long effects = 0;
        err.then([&] {
            return suites.get<AEGP_EffectSuite_v3>().AEGP_GetLayerNumEffects(layer, &effects);
        });
        for (A_long index = 0; index < effects && !*found; ++index) {
            err.then([&] {
                return with_effect(suites, info, layer, index, [&](AEGP_EffectRefH effect) {
                    RunningError walk;
                    A_long count = 0;
                    walk.then(
                        [&] { return streams.AEGP_GetEffectNumParamStreams(effect, &count); });
                    for (A_long param = 1; param < count && !*found; ++param) {
                        walk.then([&] {
                            return with_effect_stream(
                                suites, info, effect, param, [&](AEGP_StreamRefH stream) {
                                    AEGP_StreamType type = AEGP_StreamType_NO_DATA;
                                    const A_Err got = streams.AEGP_GetStreamType(stream, &type);
                                    *found = got == A_Err_NONE && type == AEGP_StreamType_LAYER_ID;
                                    return got;
                                });
                        });
                    }
                    return walk.code();
                });
            });
        }
        return err.code();
    });
}

A_Err set_expression_at(PluginInfo const* info, AEGP_LayerH layer, StreamPlace place,
                        const std::string& text) {
    return with_suites(info->spBasic, [&](HostSuites& suites) {
        const StreamUse set = [&](AEGP_StreamRefH stream) {
            return suites.get<AEGP_StreamSuite_v9>().AEGP_SetExpression(info->pluginId, stream,
                                                                        text.c_str());
        };
        if (place.effect == kFollowerPlace)
            return with_followers(
                suites, info, layer,
                [&](A_short, AEGP_StreamRefH follower) { return set(follower); },
                static_cast<A_short>(place.stream));
        if (place.effect < 0) return with_layer_stream(suites, info, layer, place.stream, set);
        return with_effect(suites, info, layer, place.effect, [&](AEGP_EffectRefH effect) {
            return with_effect_stream(suites, info, effect, place.stream, set);
        });
    });
}

}  // namespace outfold
