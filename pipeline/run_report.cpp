#include "pipeline/run_report.h"

#include <algorithm>

#include "extract/rename.h"
#include "pipeline/alert.h"
#include "shell/host_suites.h"
#include "shell/running_error.h"
#include "shell/text.h"

namespace outfold {

namespace {

constexpr char kAlertTitle[] = "Outfold";

std::string copies(A_long count, const char* one, const char* many) {
    return std::to_string(count) + (count == 1 ? one : many);
}

// The first few distinct forms and how many more.
std::string listed(std::vector<std::string> forms) {
    constexpr std::size_t kShown = 3;
    constexpr std::size_t kLongest = 60;
    std::ranges::sort(forms);
    forms.erase(std::unique(forms.begin(), forms.end()), forms.end());
    std::string text;
    for (std::size_t i = 0; i < forms.size() && i < kShown; ++i) {
        std::string form = forms[i];
        if (form.size() > kLongest) {
            std::size_t cut = kLongest;  // not inside a character's UTF-8 bytes
            while (cut > 0 && (static_cast<unsigned char>(form[cut]) & 0xC0) == 0x80) --cut;
            form = form.substr(0, cut) + "...";
        }
        text += (i == 0 ? "" : ", ") + form;
    }
    if (forms.size() > kShown) text += " and " + std::to_string(forms.size() - kShown) + " more";
    return text;
}

std::string line_of(const Uncarried& notes) {
    std::vector<std::string> parts;
    if (notes.timeRemapping) parts.push_back("time remapping (its layers play at normal speed)");
    if (notes.look.masks > 0) parts.push_back(notes.look.masks == 1 ? "its mask" : "its masks");
    if (notes.trackMatte) parts.push_back("its track matte");
    if (notes.look.ownOpacityExpressions > 0)
        parts.push_back(copies(notes.look.ownOpacityExpressions,
                               " layer keeps its own opacity expression",
                               " layers keep their own opacity expressions"));
    if (notes.look.ownBlendingModes > 0)
        parts.push_back(copies(notes.look.ownBlendingModes, " layer keeps its own blending mode",
                               " layers keep their own blending modes"));
    if (notes.wholeCompLayers)
        parts.push_back(
            "its adjustment layers, cameras or lights now act on the whole composition");
    if (!notes.unresolvedReferences.empty())
        parts.push_back(
            "expressions whose layer reference could not be followed, left as written: " +
            listed(notes.unresolvedReferences));
    std::string line = "\"" + to_utf8(notes.layerName) + "\": ";
    for (std::size_t i = 0; i < parts.size(); ++i) line += (i == 0 ? "" : "; ") + parts[i];
    return line + ".";
}

bool lost_anything(const Uncarried& notes) {
    return notes.timeRemapping || notes.trackMatte || notes.wholeCompLayers ||
           !notes.unresolvedReferences.empty() || notes.look.ownOpacityExpressions > 0 ||
           notes.look.ownBlendingModes > 0 || notes.look.masks > 0;
}

bool acts_on_whole_comp(AEGP_LayerFlags flags, AEGP_ObjectType type) {
    return (flags & AEGP_LayerFlag_ADJUSTMENT_LAYER) != 0 || type == AEGP_ObjectType_CAMERA ||
           type == AEGP_ObjectType_LIGHT;
}

A_Err note_source_layers(HostSuites& suites, AEGP_LayerH precompLayer, Uncarried* notes) {
    const auto& layers = suites.get<AEGP_LayerSuite_v11>();
    AEGP_ItemH source = nullptr;
    AEGP_CompH comp = nullptr;
    A_long count = 0;
    RunningError error;
    error.then([&] { return layers.AEGP_GetLayerSourceItem(precompLayer, &source); })
        .then([&] { return suites.get<AEGP_CompSuite_v9>().AEGP_GetCompFromItem(source, &comp); })
        .then([&] { return layers.AEGP_GetCompNumLayers(comp, &count); });
    for (A_long i = 0; i < count && error.ok() && !notes->wholeCompLayers; ++i) {
        AEGP_LayerH inner = nullptr;
        AEGP_LayerFlags flags = 0;
        AEGP_ObjectType type = AEGP_ObjectType_NONE;
        error.then([&] { return layers.AEGP_GetCompLayerByIndex(comp, i, &inner); })
            .then([&] { return layers.AEGP_GetLayerFlags(inner, &flags); })
            .then([&] { return layers.AEGP_GetLayerObjectType(inner, &type); });
        if (error.ok()) notes->wholeCompLayers = acts_on_whole_comp(flags, type);
    }
    return error.code();
}

}  // namespace

A_Err note_precomp_layer(const PluginInfo* info, AEGP_LayerH precompLayer, Uncarried* notes) {
    return with_suites(info->spBasic, [&](HostSuites& suites) {
        const auto& layers = suites.get<AEGP_LayerSuite_v11>();
        AEGP_LayerFlags flags = 0;
        A_Boolean matted = false, matte = false;
        RunningError error;
        error.then([&] { return get_layer_name(info, precompLayer, &notes->layerName); })
            .then([&] { return layers.AEGP_GetLayerFlags(precompLayer, &flags); })
            .then([&] { return layers.AEGP_DoesLayerHaveTrackMatte(precompLayer, &matted); })
            .then([&] { return layers.AEGP_IsLayerUsedAsTrackMatte(precompLayer, false, &matte); })
            .then([&] { return note_source_layers(suites, precompLayer, notes); });
        notes->timeRemapping = (flags & AEGP_LayerFlag_TIME_REMAPPING) != 0;
        notes->trackMatte = matted || matte;
        return error.code();
    });
}

void add_to_report(Uncarried notes, RunReport* report) {
    if (lost_anything(notes)) report->layers.push_back(std::move(notes));
}

std::string run_report_message(const RunReport& report) {
    if (report.layers.empty()) return {};
    std::string message = "Not carried over to the extracted layers:";
    for (const Uncarried& notes : report.layers) message += "\n" + line_of(notes);
    return message;
}

A_Err show_run_report(const PluginInfo* info, const RunReport* report) {
    const std::string message = run_report_message(*report);
    if (message.empty()) return A_Err_NONE;
    return show_alert(info, message, kAlertTitle);
}

}  // namespace outfold
