#include "suites/values.h"

#include <cstring>

#include "model/streams.h"

namespace host::suites {

void hand_out(Session& s, AEGP_StreamRefH streamH, StreamValueData data, AEGP_StreamValue2& out) {
    void* token = s.registry().new_value(std::move(data));
    std::memset(&out.val, 0, sizeof out.val);
    out.streamH = streamH;
    out.val.pointers[0] = token;
}

const StreamValueData& handed_back(Session& s, const AEGP_StreamValue2& value) {
    return s.registry().value(value.val.pointers[0]);
}

void assign(const StreamValueData& data, const model::Stream& target, std::vector<double>& value,
            std::string& text) {
    if (model::holds_text(target.kind) != model::holds_text(data.kind) ||
        model::value_dimensions(target.kind) != model::value_dimensions(data.kind))
        throw BadArgument("the value does not fit the stream");
    if (model::holds_text(target.kind)) {
        text = data.text;
    } else {
        value = data.value;
    }
}

StreamValueData value_of(const model::Layer& layer, const model::Stream& stream,
                         model::Time layerTime) {
    if (stream.kind == model::StreamKind::NoData) throw BadArgument("the stream holds no data");
    return StreamValueData{stream.kind, model::layer_value_at(layer, stream, layerTime),
                           model::text_at(stream, layerTime)};
}

StreamValueData keyframe_value(const model::Stream& stream, const model::Keyframe& key) {
    return StreamValueData{stream.kind, key.value, key.text};
}

model::Keyframe& keyframe(model::Stream& stream, AEGP_KeyframeIndex index) {
    if (index < 0 || static_cast<std::size_t>(index) >= stream.keyframes.size())
        throw BadArgument("keyframe index out of range");
    return stream.keyframes[static_cast<std::size_t>(index)];
}

}  // namespace host::suites
