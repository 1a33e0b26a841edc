#include "expressions/seed_random.h"

#include "expressions/layer_expressions.h"
#include "shell/host_suites.h"
#include "shell/owned.h"
#include "shell/running_error.h"

namespace outfold {

namespace {

// Puts the seed line in front of the stream's expression, if it has one.
A_Err seed_stream_expression(HostSuites& suites, PluginInfo const* info, AEGP_StreamRefH stream,
                             int seed) {
    const auto& streams = suites.get<AEGP_StreamSuite_v9>();
    RunningError err;
    A_Boolean canVary = false;
    err.then([&] { return streams.AEGP_CanVaryOverTime(stream, &canVary); });
    if (!err.ok() || !canVary) return err.code();
    A_Boolean varies = false;
    err.then([&] { return streams.AEGP_IsStreamTimevarying(stream, &varies); });
    if (!err.ok() || !varies) return err.code();

    std::string expression;
    err.then([&] { return read_expression(suites, info, stream, &expression); });
    if (!err.ok() || expression.empty()) return err.code();
    err.then([&] {
        const std::string seeded = seed_line(seed) + expression;
        return streams.AEGP_SetExpression(info->pluginId, stream, seeded.c_str());
    });
    return err.code();
}

}  // namespace

std::string seed_line(int seed) {
    return "seedRandom(" + std::to_string(seed) + "); // this line was added by Outfold \n\n";
}

A_Err seed_random_stream(PluginInfo const* info, AEGP_LayerH layer, int seed, int streamNumber) {
    return with_suites(info->spBasic, [&](HostSuites& suites) {
        const auto& streams = suites.get<AEGP_StreamSuite_v9>();
        RunningError err;
        A_Boolean legal = false;
        err.then([&] { return streams.AEGP_IsStreamLegal(layer, streamNumber, &legal); });
        if (!err.ok() || !legal) return err.code();

        Owned<AEGP_StreamRefH> stream(streams.AEGP_DisposeStream);
        err.then([&] {
            return streams.AEGP_GetNewLayerStream(info->pluginId, layer, streamNumber,
                                                  stream.out());
        });
        err.then([&] { return seed_stream_expression(suites, info, stream.get(), seed); });
        err.keep_first(stream.release());
        return err.code();
    });
}

A_Err seed_random_expressions(PluginInfo const* info, AEGP_LayerH layer, int seed) {
    RunningError err;
    for (int streamNumber = 0; streamNumber < AEGP_LayerStream_END; ++streamNumber) {
        err.then([&] { return seed_random_stream(info, layer, seed, streamNumber); });
    }
    return err.code();
}

}  // namespace outfold
