#include "extract/rename.h"

#include <cstring>

#include "expressions/fix_expressions.h"
#include "shell/host_suites.h"
#include "shell/owned.h"
#include "shell/running_error.h"
#include "shell/text.h"

namespace outfold {

namespace {

// Copies the zero-terminated UTF-16 text of a name handle; the handle is
// freed on every path.
A_Err read_name_text(HostSuites& suites, Owned<AEGP_MemHandle>& handle, std::u16string* text) {
    const auto& memory = suites.get<AEGP_MemorySuite_v1>();
    RunningError err;
    void* locked = nullptr;
    err.then([&] { return memory.AEGP_LockMemHandle(handle.get(), &locked); });
    if (err.ok()) {
        if (locked != nullptr) text->assign(static_cast<const char16_t*>(locked));
        err.keep_first(memory.AEGP_UnlockMemHandle(handle.get()));
    }
    err.keep_first(handle.release());
    return err.code();
}

// Reads the layer's own name (ownName) or its source's name. The host hands
// the whole name out in a memory handle, so long names arrive uncut.
A_Err read_layer_name(HostSuites& suites, PluginInfo const* info, AEGP_LayerH layer, bool ownName,
                      std::u16string* text) {
    Owned<AEGP_MemHandle> handle(suites.get<AEGP_MemorySuite_v1>().AEGP_FreeMemHandle);
    RunningError err;
    err.then([&] {
        return suites.get<AEGP_LayerSuite_v12>().AEGP_GetLayerName(
            info->pluginId, layer, ownName ? handle.out() : nullptr,
            ownName ? nullptr : handle.out());
    });
    if (err.ok() && handle) err.then([&] { return read_name_text(suites, handle, text); });
    return err.code();
}

// Keeps at most `units` UTF-16 units without splitting a surrogate pair.
void cut_to_units(std::u16string& text, std::size_t units) {
    if (text.size() <= units) return;
    const bool splitsPair = units > 0 && text[units - 1] >= 0xD800 && text[units - 1] <= 0xDBFF;
    text.resize(splitsPair ? units - 1 : units);
}

A_Err rename_layer_item(HostSuites& suites, PluginInfo const* info, AEGP_Collection2H layers,
                        A_u_long position, std::u16string_view prefix,
                        std::u16string_view separator) {
    RunningError err;
    AEGP_CollectionItemV2 item{};
    err.then([&] {
        return suites.get<AEGP_CollectionSuite_v2>().AEGP_GetCollectionItemByIndex(layers, position,
                                                                                   &item);
    });
    if (!err.ok() || item.type != AEGP_CollectionItemType_LAYER) return err.code();
    const AEGP_LayerH layer = item.u.layer.layerH;
    std::u16string oldName;
    static_cast<void>(get_layer_name(info, layer, &oldName));
    err.then([&] { return rename_layer(info, layer, prefix, separator); });
    if (!err.ok()) return err.code();
    std::u16string newName;
    static_cast<void>(get_layer_name(info, layer, &newName));
    // A failed repair leaves expressions as they were; the rename stands.
    static_cast<void>(fix_expressions_after_rename(info, oldName, newName));
    return err.code();
}

}  // namespace

A_Err get_layer_name(PluginInfo const* info, AEGP_LayerH layer, std::u16string* name) {
    return with_suites(info->spBasic, [&](HostSuites& suites) {
        std::u16string text;
        A_Err err = read_layer_name(suites, info, layer, true, &text);
        if (err == A_Err_NONE && text.empty()) {
            err = read_layer_name(suites, info, layer, false, &text);
        }
        *name = text;
        return err;
    });
}

A_Err get_own_layer_name(PluginInfo const* info, AEGP_LayerH layer, std::u16string* name) {
    return with_suites(info->spBasic, [&](HostSuites& suites) {
        name->clear();
        return read_layer_name(suites, info, layer, true, name);
    });
}

std::u16string compose_name_prefix(PluginInfo const* info, AEGP_LayerH precompLayer,
                                   const char* prefixText) {
    std::u16string prefix;
    if (info->options != nullptr && info->options->prependPrecompName) {
        static_cast<void>(get_layer_name(info, precompLayer, &prefix));
    }
    const std::u16string text =
        prefixText == nullptr
            ? std::u16string()
            : to_utf16(std::string_view(prefixText, ::strnlen(prefixText, kMaxPrefixBytes)));
    if (!text.empty()) {
        if (!prefix.empty()) prefix += u"_";
        prefix += text;
    }
    return prefix;
}

A_Err rename_layer(PluginInfo const* info, AEGP_LayerH layer, std::u16string_view prefix,
                   std::u16string_view separator) {
    std::u16string name;
    static_cast<void>(get_layer_name(info, layer, &name));
    const std::u16string newName =
        prefix.empty() ? name : std::u16string(prefix) + std::u16string(separator) + name;
    return set_layer_name(info, layer, newName);
}

A_Err set_layer_name(PluginInfo const* info, AEGP_LayerH layer, std::u16string_view name) {
    std::u16string newName(name);
    cut_to_units(newName, kMaxLayerNameUnits);
    return with_suites(info->spBasic, [&](HostSuites& suites) {
        const auto* units = reinterpret_cast<const A_UTF16Char*>(newName.c_str());
        return suites.get<AEGP_LayerSuite_v12>().AEGP_SetLayerName(layer, units);
    });
}

A_Err get_source_name(PluginInfo const* info, AEGP_LayerH layer, std::u16string* name) {
    return with_suites(info->spBasic, [&](HostSuites& suites) {
        name->clear();
        return read_layer_name(suites, info, layer, false, name);
    });
}

A_Err rename_extracted_layers(PluginInfo const* info, AEGP_Collection2H layers,
                              std::u16string_view prefix, std::u16string_view separator) {
    return with_suites(info->spBasic, [&](HostSuites& suites) {
        RunningError err;
        A_u_long count = 0;
        err.then([&] {
            return suites.get<AEGP_CollectionSuite_v2>().AEGP_GetCollectionNumItems(layers, &count);
        });
        for (A_u_long i = 0; i < count; ++i) {
            err.then([&] { return rename_layer_item(suites, info, layers, i, prefix, separator); });
        }
        return err.code();
    });
}

}  // namespace outfold
