// Stream values as they cross the interface: the AEGP_StreamValue2's union
// holds a registry token (in its first pointer); the numbers or text stay in
// the registry until the value is disposed.
#pragma once

#include "suites/session.h"

namespace host::suites {

// Fills `out` with a new value for the stream reference (counted until
// disposed).
void hand_out(Session& s, AEGP_StreamRefH streamH, StreamValueData data, AEGP_StreamValue2& out);
// The data behind a value the plug-in hands back.
const StreamValueData& handed_back(Session& s, const AEGP_StreamValue2& value);
// Copies a value into a stream's value (or a keyframe's), after checking that
// it fits the stream: the same number of dimensions, text for text streams.
void assign(const StreamValueData& data, const model::Stream& target, std::vector<double>& value,
            std::string& text);
StreamValueData value_of(const model::Layer& layer, const model::Stream& stream,
                         model::Time layerTime);
StreamValueData keyframe_value(const model::Stream& stream, const model::Keyframe& key);
model::Keyframe& keyframe(model::Stream& stream, AEGP_KeyframeIndex index);

}  // namespace host::suites
