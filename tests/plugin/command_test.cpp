// Registration, the menu-update hook, the command hook and the alerts after a run.
#include <algorithm>
#include <optional>
#include <tuple>

#include "model/streams.h"
#include "plugin_host.h"
#include "script/expression_engine.h"

namespace outfold::testing {
namespace {
namespace model = host::model;
using Names = std::vector<std::string>;

// The first failing call stops the rest, is reported once and is returned; a missing suite
// returns its error without a report.
TEST(Registration, WhatALoadLeaves) {
    const Names registration = {"AEGP_GetUniqueCommand", "AEGP_InsertMenuCommand",
                                "AEGP_RegisterCommandHook", "AEGP_RegisterUpdateMenuHook"};
    // Failing call, missing suite and version, calls reached, command in the menu, report fails.
    const std::tuple<std::string, std::string, A_long, std::size_t, bool, bool> cases[] = {
        {"", "", 0, 4, true, false},
        {"AEGP_GetUniqueCommand", "", 0, 1, false, false},
        {"AEGP_InsertMenuCommand", "", 0, 2, false, false},
        {"AEGP_InsertMenuCommand", "", 0, 2, false, true},
        {"AEGP_RegisterCommandHook", "", 0, 3, true, false},
        {"AEGP_RegisterUpdateMenuHook", "", 0, 4, true, false},
        {"", "AEGP Command Suite", 1, 0, false, false},
        {"", "AEGP Register Suite", 6, 2, true, false},
        {"AEGP_GetUniqueCommand", "AEGP Utility Suite", 7, 1, false, false},
    };
    const outfold_test::TempDir settings("registration");
    for (const auto& [failing, missing, version, callsMade, commandInMenu, reportFails] : cases) {
        SCOPED_TRACE(failing + " " + missing + (reportFails ? ", report fails" : ""));
        host::Host host(host::HostOptions{settings.path()});
        host.fail_call(failing, 1, 1234);
        if (reportFails) host.fail_call("AEGP_ReportInfo", 1, 9);
        if (!missing.empty()) host.remove_suite(missing, version);
        const bool failed = !failing.empty() || !missing.empty();
        const bool reported = !failing.empty() && missing.empty();
        EXPECT_EQ(host.load_plugin(OUTFOLD_MODULE_PATH), !missing.empty() ? 516
                                                         : failed         ? 1234
                                                                          : A_Err_NONE);
        Names expected(registration.begin(), registration.begin() + long(callsMade));
        if (reported) expected.push_back("AEGP_ReportInfo");
        EXPECT_EQ(host_calls(host), expected);
        EXPECT_EQ(host.reports(), reported && !reportFails
                                      ? Names{"Outfold: Problems encountered during outfold."}
                                      : Names{});
        const std::vector<host::MenuCommand> layerMenu = host.menu(AEGP_Menu_LAYER);
        EXPECT_EQ(host.find_command(kUnusableText),
                  commandInMenu ? std::optional(layerMenu.back().command) : std::nullopt);
        EXPECT_TRUE(!commandInMenu || layerMenu.back().command != 0);
        EXPECT_TRUE(host.outstanding().none());
        host.clear_trace();
        host.open_menu(AEGP_Menu_LAYER);
        EXPECT_EQ(host_calls(host).empty(), failed);
    }
}

class MenuHook : public PluginHostTest {
protected:
    void SetUp() override { open_scene(); }
};
class CommandHook : public MenuHook {};

// A failing call (its nth) or a missing suite (its version) leaves the entry as it was.
TEST_F(MenuHook, TextAndStateFollowTheSelection) {
    enum Expect { Unusable, Usable, Unchanged };
    using enum model::SelectionKind;
    struct Case {
        std::string what, active;  // the selection or the failing call or missing suite
        Names selection;           // layers of Main
        Expect expect;
        A_long nth = 0, version = 0;
        bool nonLayer = false;  // masks, effects and keyframes of Intro selected too
    };
    const Names intro = {"Intro"}, usable = {"Plate", "Intro"};
    const auto expect_entry = [&](bool usable) {
        const auto entry = host_.command(command_);
        ASSERT_TRUE(entry.has_value());
        EXPECT_EQ(entry->text, usable ? kUsableText : kUnusableText);
        EXPECT_EQ(entry->enabled, usable);
    };
    const Case cases[] = {
        {"no active item", "", intro, Unchanged},
        {"footage item active", "Grey Solid", intro, Unchanged},
        {"nothing selected", "Main", {}, Unusable},
        {"text and solid", "Main", {"Caption", "Plate"}, Unusable},
        {"3D pre-comp layer last", "Main", {"Caption", "Plate", "Outro"}, Usable},
        {"masks, effects, keyframes of a pre-comp", "Main", {}, Unusable, 0, 0, true},
        {"selection in another composition", "Intro Comp", intro, Unusable},
        {"AEGP_GetActiveItem", "Main", usable, Unchanged, 1},
        {"AEGP_GetNewCollectionFromCompSelection", "Main", usable, Unchanged, 1},
        {"AEGP_GetCollectionNumItems", "Main", usable, Unchanged, 1},
        {"AEGP_GetCollectionItemByIndex", "Main", usable, Unchanged, 1},
        {"AEGP_GetLayerObjectType", "Main", usable, Unchanged, 1},
        {"AEGP_GetItemType", "Main", usable, Unchanged, 2},            // the source item's type
        {"AEGP_SetMenuCommandName", "Main", usable, Unchanged, 1},     // neither enables
        {"AEGP_SetMenuCommandName", "Main", {"Plate"}, Unchanged, 1},  // nor disables
        {"AEGP Collection Suite", "Main", usable, Unchanged, 0, 2},
        {"AEGP Layer Suite", "Main", usable, Unchanged, 0, 11},
        {"AEGP Command Suite", "Main", usable, Unchanged, 0, 1},
    };
    for (const Case& c : cases) {
        for (const bool usableBefore : {true, false}) {
            SCOPED_TRACE(c.what + (usableBefore ? ", usable before" : ", unusable before"));
            host_.set_project(scene());
            select_layers(host_.project(), "Main", usableBefore ? intro : Names{});
            host_.open_menu(AEGP_Menu_LAYER);
            expect_entry(usableBefore);
            select_layers(host_.project(), "Main", c.selection);
            model::Composition& main = *item_named(host_.project(), "Main").comp;
            for (const auto kind : {Mask, Effect, Keyframe}) {
                if (c.nonLayer) main.selection.push_back({kind, layer("Main", "Intro").id, 0, 0});
            }
            make_active(host_.project(), c.active);
            if (c.nth != 0) host_.fail_call(c.what, c.nth, 77);
            if (c.version != 0) host_.remove_suite(c.what, c.version);
            host_.open_menu(AEGP_Menu_LAYER);
            host_.clear_faults();
            expect_entry(c.expect == Unchanged ? usableBefore : c.expect == Usable);
            EXPECT_TRUE(host_.outstanding().none());
        }
    }
}

// When the first selected layer is a pre-comp layer.
TEST_F(MenuHook, CallsDoNotGrowWithTheSelection) {
    std::size_t calls[2] = {};
    for (const bool all : {false, true}) {
        select_layers(host_.project(), "Main",
                      all ? Names{"Intro", "Caption", "Plate", "Outro", "Footer"} : Names{"Intro"});
        host_.clear_trace();
        host_.open_menu(AEGP_Menu_LAYER);
        EXPECT_EQ(host_.command(command_)->text, kUsableText);
        calls[all] = host_calls(host_).size();
    }
    EXPECT_EQ(calls[1], calls[0]);
}

// The copies take the places of the last pre-comp layer selected, unless the last selected
// layer is no pre-comp layer; without an active composition a run makes an empty undo group.
TEST_F(CommandHook, WhatARunChanges) {
    // Selection, user, no active item, alerts, Main's stack (none: as before) and selected layers.
    using Case = std::tuple<Names, Names, bool, std::size_t, Names, Names>;
    const Names intro = {"Intro"}, ok = {"ok"};
    const Names both = {"Title", "Backdrop", "Logo", "Caption", "Plate", "Credits", "Footer"};
    const Names tooLong = {"set prefixInput " + std::string(51, 'x'), "ok"};
    const Case cases[] = {
        {intro, {"cancel"}, false, 0, {}, {}},
        {intro, ok, true, 0, {}, {}},
        {{"Intro", "Outro"}, ok, false, 0, both, {"Credits"}},
        {{"Intro", "Outro", "Footer"}, ok, false, 0, both, {"Footer"}},
        {intro, tooLong, false, 1, {}, {}},  // last: the dialog keeps the prefix
    };
    for (const auto& [selection, user, noActive, alertCount, stack, selected] : cases) {
        SCOPED_TRACE(user[0] + " " + std::to_string(selection.size()));
        model::Project unmasked = scene();  // the report would name Intro's mask
        model::find_layer(unmasked, layer_named(unmasked, "Main", "Intro")->id)->masks.clear();
        host_.set_project(std::move(unmasked));
        const std::size_t alerts = host_.alerts().size();
        const std::string active = noActive ? "" : "Main";
        EXPECT_EQ(run(selection, user, [&] { make_active(host_.project(), active); }), A_Err_NONE);
        make_active(before_, active);
        if (stack.empty()) expect_as_before();
        EXPECT_EQ(layer_names(host_.project(), "Main"),
                  stack.empty() ? layer_names(before_, "Main") : stack);
        EXPECT_EQ(layer_names(host_.project(), "Main", true), stack.empty() ? intro : selected);
        EXPECT_EQ(host_.alerts().size() - alerts, alertCount);
        ASSERT_EQ(host_.undo_history().size(), user == ok ? 1u : 0u);
        if (user != ok) continue;
        EXPECT_EQ(host_.undo_history()[0].name, "Outfold");
        expect_undo_restores();
    }
}

// Where a paste puts the copy, whether it selects it, how scripts number the items, whether
// illegal streams open and whether the fix after a rename reaches locked layers leave the run's
// project the same. Locked Plate reads Outro's Credits, which the last case renames.
TEST_F(CommandHook, TheProjectDoesNotDependOnTheHostsReadings) {
    const Names attributes = {"click optionCopyAttributes", "ok"};  // a radio button: no toggle
    const std::pair<Names, Names> cases[] = {
        {{"Intro"}, {"ok"}},
        {{"Intro", "Plate"}, attributes},  // Plate is the last selected: the selection stays
        {{"Intro", "Outro", "Footer"},
         {"set prefixInput P", "click optionDiscardAttributes", "ok"}},
    };
    for (const auto& [selection, user] : cases) {
        SCOPED_TRACE(selection.back() + " " + user[0]);
        std::optional<std::string> first;
        for (int combination = 0; combination < 32; ++combination) {
            SCOPED_TRACE(combination);
            host_.set_readings({
                .copyPlacement = combination & 1 ? host::CopyPlacement::Top
                                                 : host::CopyPlacement::AboveSelection,
                .pasteSelectsCopy = (combination & 2) != 0,
                .itemNumbering =
                    combination & 4 ? host::ItemNumbering::Reversed : host::ItemNumbering::AsWalk,
                .refuseIllegalStreams = (combination & 8) != 0,
                .autoFixSkipsLocked = (combination & 16) != 0,
            });
            model::Project project = scene();
            model::Layer& plate =
                *model::find_layer(project, layer_named(project, "Main", "Plate")->id);
            plate.flags |= model::flag::kLocked;
            plate.streams.at(model::stream::kOpacity).expression =
                R"(thisComp.layer("Credits").transform.opacity)";
            host_.set_project(std::move(project));
            ASSERT_EQ(run(selection, user), A_Err_NONE);
            const std::string after = describe(host_.project());
            if (!first) first = after;
            EXPECT_EQ(after, *first);
        }
    }
}

// The folder made for the carrier's solid goes with the carrier; one that was there stays, and so
// does the folder of a kept carrier's solid.
TEST_F(CommandHook, TheSolidsFolderGoesWithTheCarrierUnlessItWasThere) {
    const std::tuple<const char*, bool, bool, std::size_t> cases[] = {
        {"made for the run", false, false, 0},
        {"there before", true, false, 0},
        {"holds the kept carrier's solid", false, true, 1},
    };
    for (const auto& [what, before, animated, inFolder] : cases) {
        SCOPED_TRACE(what);
        host_.set_project(scene());
        model::Project& project = host_.project();
        if (before) model::add_folder(project, "Solids");
        if (animated) {
            model::Stream& position = model::find_layer(project, layer("Main", "Intro").id)
                                          ->streams.at(model::stream::kPosition);
            for (const int second : {0, 1})
                model::insert_keyframe(position,
                                       model::new_keyframe(position, model::Rational::of(second)));
            position.keyframes[1].value[0] += 50;
        }
        ASSERT_EQ(run({"Intro"}, {"click optionCopyAttributes", "ok"}), A_Err_NONE);
        const model::Item* folder = model::find_item_by_name(host_.project(), "Solids");
        ASSERT_EQ(folder != nullptr, before || animated);
        if (folder == nullptr) continue;
        EXPECT_EQ(std::ranges::count_if(
                      host_.project().items,
                      [&](const model::Item& item) { return item.folder == folder->id; }),
                  long(inFolder));
    }
}

// Locked layers the run changes (inner layers renamed by the copy, copies freed by script) are
// unlocked for it; the pre-comp's layers and the copies of locked ones end locked, and so does a
// kept pre-comp layer. Locked layers elsewhere that read Logo by name follow its renamed copy,
// whether or not the host's fix after a rename skips locked layers: both give the same project.
// A locked layer that follows the pre-comp layer is freed from it and stays locked.
TEST_F(CommandHook, LockedLayersDoNotStopARun) {
    const std::tuple<Names, bool, Names> cases[] = {
        {{"Title", "Logo"}, false, {"set prefixInput P", "click optionDiscardAttributes", "ok"}},
        {{"Backdrop"}, true, {"click optionCopyAttributes", "ok"}},
        {{"Title"}, true, {"click optionKeepInComp", "ok"}},  // last: the dialog keeps the choice
    };
    const auto locked = [](const model::Layer& layer) {
        return (layer.flags & model::flag::kLocked) != 0;
    };
    const std::pair<std::string, std::string> watchers[] = {{"Main", "Caption"},
                                                            {"Outro Comp", "Credits"}};
    constexpr double kLogoOpacity = 40;
    for (const auto& [inner, precompLocked, user] : cases) {
        SCOPED_TRACE(user[0]);
        std::optional<std::string> first;
        for (const bool skipsLocked : {false, true}) {
            SCOPED_TRACE(skipsLocked ? "the fix skips locked layers" : "the fix fixes them");
            host_.set_readings({.autoFixSkipsLocked = skipsLocked});
            model::Project project = scene();
            for (model::Layer& layer : item_named(project, "Intro Comp").comp->layers) {
                if (std::ranges::count(inner, layer.ownName) != 0)
                    layer.flags |= model::flag::kLocked;
                if (layer.ownName == "Logo")
                    layer.streams.at(model::stream::kOpacity).value = {kLogoOpacity};
            }
            if (precompLocked)
                model::find_layer(project, layer_named(project, "Main", "Intro")->id)->flags |=
                    model::flag::kLocked;
            for (const auto& [comp, name] : watchers) {
                model::Layer& watcher =
                    *model::find_layer(project, layer_named(project, comp, name)->id);
                watcher.flags |= model::flag::kLocked;
                watcher.streams.at(model::stream::kOpacity).expression =
                    R"(comp("Main").layer("Logo").transform.opacity)";
            }
            // Caption follows the pre-comp layer, and is freed by script when it goes.
            model::find_layer(project, layer_named(project, "Main", "Caption")->id)->parent =
                layer_named(project, "Main", "Intro")->id;
            host_.set_project(std::move(project));
            // The dialog kept the row's choices from its first run.
            ASSERT_EQ(run({"Intro"}, first ? Names{"ok"} : user), A_Err_NONE);
            for (const model::Layer& layer : item_named(host_.project(), "Intro Comp").comp->layers)
                EXPECT_EQ(locked(layer), std::ranges::count(inner, layer.ownName) != 0);
            for (const model::Layer& layer : item_named(host_.project(), "Main").comp->layers) {
                const std::string name = model::shown_name(host_.project(), layer);
                const bool copyOfLocked = std::ranges::any_of(
                    inner, [&](const std::string& n) { return name == n || name == "P_" + n; });
                EXPECT_EQ(locked(layer),
                          copyOfLocked || name == "Caption" || (name == "Intro" && precompLocked))
                    << name;
            }
            host::script::ExpressionEngine engine;
            for (const auto& [comp, name] : watchers) {
                const model::Layer& watcher = layer(comp, name);
                EXPECT_TRUE(locked(watcher)) << name;
                const model::Stream& opacity = watcher.streams.at(model::stream::kOpacity);
                const auto read = host::script::value_after_expression(
                    engine, host_.project(), watcher.id, opacity, model::Rational::of(0));
                EXPECT_TRUE(read.ok) << name << ": " << opacity.expression;
                EXPECT_EQ(read.value, std::vector<double>{kLogoOpacity}) << name;
            }
            const std::string after = describe(host_.project());
            if (!first) first = after;
            EXPECT_EQ(after, *first);
        }
    }
}

// A separated position comes onto the carrier separated, with the followers' keyframes; a copy
// keeps its own separation through the fold, and the copies' effects keep the instance's name.
TEST_F(CommandHook, SeparatedPositionsAndEffectNamesComeAlong) {
    const auto x_keys = [](model::Layer& layer, std::vector<double> values) {
        model::set_position_separated(layer, true);
        model::Stream& x = layer.positionFollowers.at(0);
        for (std::size_t k = 0; k < values.size(); ++k) {
            model::Keyframe key = model::new_keyframe(x, model::Rational::of(long(k)));
            key.value = {values[k]};
            model::insert_keyframe(x, key);
        }
        if (values.empty()) x.value = {1060};
    };
    // Intro's X keys (none: held at 1060, 100 px right of Intro Comp's centre), Backdrop's X keys,
    // and Backdrop's copy's X keys after the run.
    using Values = std::vector<double>;
    const std::tuple<Values, Values, Values> cases[] = {
        {{960, 1260}, {}, {}},
        {{}, {10, 40}, {110, 140}},
    };
    for (const auto& [introKeys, backdropKeys, copiedKeys] : cases) {
        SCOPED_TRACE(introKeys.size());
        host_.set_project(scene());
        model::Project& project = host_.project();
        model::Layer& intro = *model::find_layer(project, layer("Main", "Intro").id);
        x_keys(intro, introKeys);
        intro.effects.at(0).name = "Glow Left";
        x_keys(*model::find_layer(project, layer("Intro Comp", "Backdrop").id), backdropKeys);
        const model::Layer introBefore = intro;
        ASSERT_EQ(run({"Intro"}, {"click optionCopyAttributes", "ok"}), A_Err_NONE);
        const model::Layer* carrier = layer_named(host_.project(), "Main", "{{Intro_outfold}}");
        ASSERT_EQ(carrier != nullptr, !introKeys.empty());
        if (carrier != nullptr) {
            ASSERT_EQ(carrier->positionFollowers.size(), 3u);
            EXPECT_TRUE(carrier->positionFollowers[0].keyframes ==
                        introBefore.positionFollowers[0].keyframes);
        }
        const model::Layer& backdrop = layer("Main", "Backdrop");
        ASSERT_EQ(backdrop.positionFollowers.size(), 3u);
        Values keys;
        for (const model::Keyframe& key : backdrop.positionFollowers[0].keyframes)
            keys.push_back(key.value.at(0));
        EXPECT_EQ(keys, copiedKeys.empty() ? backdropKeys : copiedKeys);
        for (const std::string name : {"Title", "Backdrop", "Logo"})
            EXPECT_EQ(layer("Main", name).effects.at(0).name, "Glow Left") << name;
        expect_undo_restores();
    }
}

// Otherwise the run is as without time remapping (rerun with the choices the dialog kept).
TEST_F(CommandHook, TimeRemapAlertNamesTheRemappedPrecompLayersOnceAfterTheOtherAlerts) {
    // Fixture, Main's layers with time remapping, the selection, the user, the layers as the
    // "Outfold" alert names them (empty: no alert), the run's other alerts, a failing call.
    using Case = std::tuple<std::string, Names, Names, Names, std::string, Names, const char*>;
    const std::string outro = "Outro \"B\\side\" \xc3\xa9", scene = "outfold_scene";
    const Names intro = {"Intro"}, ok = {"ok"}, shared = {"Shared"};
    const Names deleting = {"click optionDeleteSource", "ok"};
    const std::string remapText = "\": time remapping (its layers play at normal speed).";
    const std::string one = "\n\"Intro" + remapText;
    const std::string two = one + "\n\"" + outro + remapText;
    const std::string kept =
        "Source Not Deleted: The source could not be deleted because it is being used in other "
        "places";
    const Case cases[] = {
        {scene, intro, intro, ok, one, {}, ""},
        {scene, {"Intro", outro}, {"Intro", outro, "Footer"}, ok, two, {}, ""},
        {scene, intro, {outro}, ok, "", {}, ""},  // the remapped layer is not selected
        {scene, intro, intro, ok, "", {}, "AEGP_DeleteLayer"},
        {"extract_users", shared, shared, deleting, "\n\"Shared" + remapText, {kept}, ""},
    };
    for (const auto& [fixture, remapped, selection, user, names, others, failingCall] : cases) {
        SCOPED_TRACE(fixture + " " + names + failingCall);
        std::pair<std::string, Names> runs[2];  // the project and the alerts
        for (const bool remap : {false, true}) {
            host_.load_project(fixture_path(fixture));
            for (model::Layer& layer : item_named(host_.project(), "Main").comp->layers) {
                layer.masks.clear();  // the report would name them too
                if (layer.ownName == "Outro") layer.ownName = outro;
                const std::string shown = model::shown_name(host_.project(), layer);
                if (remap && std::ranges::count(remapped, shown) != 0) {
                    layer.flags |= model::flag::kTimeRemapping;
                }
            }
            const std::size_t seen = host_.alerts().size();
            host_.fail_call(failingCall, 1, A_Err_GENERIC);
            EXPECT_EQ(run(selection, remap ? ok : user), *failingCall ? A_Err_GENERIC : A_Err_NONE);
            for (model::Layer& layer : item_named(host_.project(), "Main").comp->layers) {
                layer.flags &= ~model::flag::kTimeRemapping;
            }
            runs[remap].first = describe(host_.project());
            for (const auto& alert : host_.alerts() | std::views::drop(seen)) {
                runs[remap].second.push_back(alert.title + ": " + alert.message);
            }
        }
        EXPECT_EQ(runs[1].first, runs[0].first) << "the run itself must not change";
        EXPECT_EQ(runs[0].second, others);
        if (!names.empty()) {
            runs[0].second.push_back("Outfold: Not carried over to the extracted layers:" + names);
        }
        EXPECT_EQ(runs[1].second, runs[0].second);
    }
}
}  // namespace
}  // namespace outfold::testing
