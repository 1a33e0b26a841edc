// The handle registry: what stands behind every handle the host gives out.
//
// A handle is an opaque 64-bit token, never a pointer into the host:
//
//   bits 63..56  0xA0 | kind     (a pointer or a small integer never looks like this)
//   bits 55..40  the Host's generation (handles of an earlier Host are foreign)
//   bits 39..32  zero
//   bits 31..0   the model id (project, item, composition, layer) or a serial
//
// Handles of model objects carry the object's id, so they stay good as long as
// the object exists, and again after an undo brings it back. Handles of
// counted objects (collections, stream references, stream values, effect
// references, memory handles, keyframe batches) carry a serial that is looked
// up in a table and never reused; disposing removes the entry, so a second
// dispose or a later use is detected.
//
// Every decode checks null, kind, generation and liveness and throws
// BadHandle, which the suites answer with A_Err_STRUCT; other bad arguments
// (null out-pointers, indices out of range, wrong values) throw BadArgument,
// answered with A_Err_PARAMETER.
#pragma once

#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "aegp.h"
#include "model/model.h"

namespace host::suites {

class BadHandle : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class BadArgument : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class HandleKind : std::uint8_t {
    Project = 1,
    Item,
    Comp,
    Layer,
    Collection,
    Stream,
    StreamValue,
    Effect,
    MemHandle,
    KeyframeBatch,
};

// Where a stream lives: a layer's own stream (effect == kNoId, index = the
// layer-stream number), one of its separated Position's followers (follower
// = the dimension), an effect parameter (index = parameter index) or the
// effect itself (index = kEffectItself).
inline constexpr int kEffectItself = -1;
struct StreamAddress {
    model::Id layer = model::kNoId;
    model::Id effect = model::kNoId;
    int index = 0;
    int follower = -1;
    friend bool operator==(const StreamAddress&, const StreamAddress&) = default;
};

struct CollectionData {
    std::vector<AEGP_CollectionItemV2> items;
};

// A value handed out in an AEGP_StreamValue2: the record's union holds the
// token, the numbers stay here until the value is disposed.
struct StreamValueData {
    model::StreamKind kind = model::StreamKind::OneD;
    std::vector<double> value;
    std::string text;
};

struct EffectRefData {
    model::Id layer = model::kNoId;
    model::Id effect = model::kNoId;
};

struct MemData {
    std::vector<char> bytes;
    int locks = 0;
};

struct KeyframeBatch {
    StreamAddress stream;
    std::vector<model::Keyframe> keys;  // in the order added
};

class Registry {
public:
    explicit Registry(std::uint16_t generation);

    // ---- model objects (resolved by id; liveness is checked by the caller
    // against the project)
    AEGP_ProjectH project_handle() const;
    AEGP_ItemH item_handle(model::Id id) const;
    AEGP_CompH comp_handle(model::Id compItemId) const;
    AEGP_LayerH layer_handle(model::Id id) const;
    void check_project(AEGP_ProjectH handle) const;
    model::Id item_id(AEGP_ItemH handle) const;
    model::Id comp_item_id(AEGP_CompH handle) const;
    model::Id layer_id(AEGP_LayerH handle) const;

    // ---- counted objects
    AEGP_Collection2H new_collection(CollectionData data = {});
    CollectionData& collection(AEGP_Collection2H handle);
    CollectionData take_collection(AEGP_Collection2H handle);  // removes it

    AEGP_StreamRefH new_stream(StreamAddress address);
    const StreamAddress& stream(AEGP_StreamRefH handle) const;
    void dispose_stream(AEGP_StreamRefH handle);

    void* new_value(StreamValueData data);  // the token to put into the value union
    const StreamValueData& value(const void* token) const;
    void dispose_value(const void* token);

    AEGP_EffectRefH new_effect(EffectRefData data);
    const EffectRefData& effect(AEGP_EffectRefH handle) const;
    void dispose_effect(AEGP_EffectRefH handle);

    AEGP_MemHandle new_mem(std::vector<char> bytes);
    MemData& mem(AEGP_MemHandle handle);
    void free_mem(AEGP_MemHandle handle);

    AEGP_AddKeyframesInfoH new_batch(StreamAddress stream);
    KeyframeBatch& batch(AEGP_AddKeyframesInfoH handle);
    KeyframeBatch take_batch(AEGP_AddKeyframesInfoH handle);

    // ---- counts of what is outstanding
    std::int64_t collections() const { return std::int64_t(collections_.size()); }
    std::int64_t streams() const { return std::int64_t(streams_.size()); }
    std::int64_t values() const { return std::int64_t(values_.size()); }
    std::int64_t effects() const { return std::int64_t(effects_.size()); }
    std::int64_t mems() const { return std::int64_t(mems_.size()); }
    std::int64_t locked_mems() const;
    std::int64_t batches() const { return std::int64_t(batches_.size()); }

    // For tests: the raw token of a handle and back.
    static std::uint64_t token_of(const void* handle);
    std::uint64_t make_token(HandleKind kind, std::uint32_t payload) const;

private:
    std::uint32_t decode(std::uint64_t token, HandleKind kind) const;
    std::uint32_t next_serial();

    template <class Table>
    auto& live(Table& table, const void* handle, HandleKind kind, const char* what) const;

    std::uint16_t generation_;
    std::uint32_t serial_ = 0;
    std::map<std::uint32_t, CollectionData> collections_;
    std::map<std::uint32_t, StreamAddress> streams_;
    std::map<std::uint32_t, StreamValueData> values_;
    std::map<std::uint32_t, EffectRefData> effects_;
    std::map<std::uint32_t, MemData> mems_;
    std::map<std::uint32_t, KeyframeBatch> batches_;
};

}  // namespace host::suites
