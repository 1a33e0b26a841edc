#include "suites/registry.h"

#include <algorithm>

namespace host::suites {

namespace {

constexpr std::uint64_t kTagBase = 0xA0;

template <class Handle>
Handle as_handle(std::uint64_t token) {
    return reinterpret_cast<Handle>(static_cast<std::uintptr_t>(token));
}

const char* kind_name(HandleKind kind) {
    switch (kind) {
        case HandleKind::Project:
            return "project";
        case HandleKind::Item:
            return "item";
        case HandleKind::Comp:
            return "composition";
        case HandleKind::Layer:
            return "layer";
        case HandleKind::Collection:
            return "collection";
        case HandleKind::Stream:
            return "stream";
        case HandleKind::StreamValue:
            return "stream value";
        case HandleKind::Effect:
            return "effect";
        case HandleKind::MemHandle:
            return "memory handle";
        case HandleKind::KeyframeBatch:
            return "keyframe batch";
    }
    return "handle";
}

}  // namespace

Registry::Registry(std::uint16_t generation) : generation_(generation) {}

std::uint64_t Registry::token_of(const void* handle) {
    return static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(handle));
}

std::uint64_t Registry::make_token(HandleKind kind, std::uint32_t payload) const {
    return ((kTagBase | std::uint64_t(kind)) << 56) | (std::uint64_t(generation_) << 40) | payload;
}

std::uint32_t Registry::decode(std::uint64_t token, HandleKind kind) const {
    if (token == 0) throw BadHandle(std::string("null ") + kind_name(kind) + " handle");
    const std::uint64_t tag = token >> 56;
    if (tag != (kTagBase | std::uint64_t(kind)))
        throw BadHandle(std::string("not a ") + kind_name(kind) + " handle");
    if (((token >> 40) & 0xFFFF) != generation_ || ((token >> 32) & 0xFF) != 0)
        throw BadHandle(std::string("foreign ") + kind_name(kind) + " handle");
    return static_cast<std::uint32_t>(token & 0xFFFFFFFFu);
}

std::uint32_t Registry::next_serial() { return ++serial_; }

// The table entry of a live handle (const or not, as the table is).
template <class Table>
auto& Registry::live(Table& table, const void* handle, HandleKind kind, const char* what) const {
    const auto found = table.find(decode(token_of(handle), kind));
    if (found == table.end()) throw BadHandle(std::string("stale ") + what);
    return found->second;
}

// ---------------------------------------------------------------- model objects

AEGP_ProjectH Registry::project_handle() const {
    return as_handle<AEGP_ProjectH>(make_token(HandleKind::Project, 0));
}

AEGP_ItemH Registry::item_handle(model::Id id) const {
    return as_handle<AEGP_ItemH>(make_token(HandleKind::Item, std::uint32_t(id)));
}

AEGP_CompH Registry::comp_handle(model::Id compItemId) const {
    return as_handle<AEGP_CompH>(make_token(HandleKind::Comp, std::uint32_t(compItemId)));
}

AEGP_LayerH Registry::layer_handle(model::Id id) const {
    return as_handle<AEGP_LayerH>(make_token(HandleKind::Layer, std::uint32_t(id)));
}

void Registry::check_project(AEGP_ProjectH handle) const {
    if (decode(token_of(handle), HandleKind::Project) != 0) throw BadHandle("no such project");
}

model::Id Registry::item_id(AEGP_ItemH handle) const {
    return model::Id(decode(token_of(handle), HandleKind::Item));
}

model::Id Registry::comp_item_id(AEGP_CompH handle) const {
    return model::Id(decode(token_of(handle), HandleKind::Comp));
}

model::Id Registry::layer_id(AEGP_LayerH handle) const {
    return model::Id(decode(token_of(handle), HandleKind::Layer));
}

// ---------------------------------------------------------------- counted objects

AEGP_Collection2H Registry::new_collection(CollectionData data) {
    const std::uint32_t serial = next_serial();
    collections_.emplace(serial, std::move(data));
    return as_handle<AEGP_Collection2H>(make_token(HandleKind::Collection, serial));
}

CollectionData& Registry::collection(AEGP_Collection2H handle) {
    return live(collections_, handle, HandleKind::Collection, "collection");
}

CollectionData Registry::take_collection(AEGP_Collection2H handle) {
    CollectionData data = std::move(collection(handle));
    collections_.erase(decode(token_of(handle), HandleKind::Collection));
    return data;
}

AEGP_StreamRefH Registry::new_stream(StreamAddress address) {
    const std::uint32_t serial = next_serial();
    streams_.emplace(serial, address);
    return as_handle<AEGP_StreamRefH>(make_token(HandleKind::Stream, serial));
}

const StreamAddress& Registry::stream(AEGP_StreamRefH handle) const {
    return live(streams_, handle, HandleKind::Stream, "stream reference");
}

void Registry::dispose_stream(AEGP_StreamRefH handle) {
    stream(handle);
    streams_.erase(decode(token_of(handle), HandleKind::Stream));
}

void* Registry::new_value(StreamValueData data) {
    const std::uint32_t serial = next_serial();
    values_.emplace(serial, std::move(data));
    return as_handle<void*>(make_token(HandleKind::StreamValue, serial));
}

const StreamValueData& Registry::value(const void* token) const {
    return live(values_, token, HandleKind::StreamValue, "stream value");
}

void Registry::dispose_value(const void* token) {
    value(token);
    values_.erase(decode(token_of(token), HandleKind::StreamValue));
}

AEGP_EffectRefH Registry::new_effect(EffectRefData data) {
    const std::uint32_t serial = next_serial();
    effects_.emplace(serial, data);
    return as_handle<AEGP_EffectRefH>(make_token(HandleKind::Effect, serial));
}

const EffectRefData& Registry::effect(AEGP_EffectRefH handle) const {
    return live(effects_, handle, HandleKind::Effect, "effect reference");
}

void Registry::dispose_effect(AEGP_EffectRefH handle) {
    effect(handle);
    effects_.erase(decode(token_of(handle), HandleKind::Effect));
}

AEGP_MemHandle Registry::new_mem(std::vector<char> bytes) {
    const std::uint32_t serial = next_serial();
    mems_.emplace(serial, MemData{std::move(bytes), 0});
    return as_handle<AEGP_MemHandle>(make_token(HandleKind::MemHandle, serial));
}

MemData& Registry::mem(AEGP_MemHandle handle) {
    return live(mems_, handle, HandleKind::MemHandle, "memory handle");
}

void Registry::free_mem(AEGP_MemHandle handle) {
    mem(handle);
    mems_.erase(decode(token_of(handle), HandleKind::MemHandle));
}

std::int64_t Registry::locked_mems() const {
    return std::count_if(mems_.begin(), mems_.end(),
                         [](const auto& entry) { return entry.second.locks > 0; });
}

AEGP_AddKeyframesInfoH Registry::new_batch(StreamAddress stream) {
    const std::uint32_t serial = next_serial();
    batches_.emplace(serial, KeyframeBatch{stream, {}});
    return as_handle<AEGP_AddKeyframesInfoH>(make_token(HandleKind::KeyframeBatch, serial));
}

KeyframeBatch& Registry::batch(AEGP_AddKeyframesInfoH handle) {
    return live(batches_, handle, HandleKind::KeyframeBatch, "keyframe batch");
}

KeyframeBatch Registry::take_batch(AEGP_AddKeyframesInfoH handle) {
    KeyframeBatch data = std::move(batch(handle));
    batches_.erase(decode(token_of(handle), HandleKind::KeyframeBatch));
    return data;
}

}  // namespace host::suites
