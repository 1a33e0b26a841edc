#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>

#include "common/outstanding.h"
#include "common/temp_dir.h"
#include "host.h"
#include "model/project_ops.h"

namespace host_test {

inline std::filesystem::path fixture(const std::string& name) {
    return std::filesystem::path(OUTFOLD_SOURCE_DIR) / "tests" / "host" / "fixtures" / name;
}

inline host::model::Id item_id(const host::model::Project& p, const std::string& name) {
    const auto* item = host::model::find_item_by_name(p, name);
    EXPECT_NE(item, nullptr) << name;
    return item ? item->id : host::model::kNoId;
}

template <class Project>  // const or not
auto& layer_named(Project& p, const std::string& comp, const std::string& name) {
    for (auto& layer : host::model::comp_of(p, item_id(p, comp))->layers) {
        if (host::model::shown_name(p, layer) == name) return layer;
    }
    throw std::runtime_error("no layer " + name);
}

inline const A_UTF16Char* wide(const std::u16string& text) {
    return reinterpret_cast<const A_UTF16Char*>(text.c_str());
}

using outfold_test::TempDir;

#define OK(call) ASSERT_EQ((call), A_Err_NONE)

// A getter's output, read over zero and one bytes so an unwritten output fails.
template <class T, class... Params, class... Args>
T got(A_Err (*get)(Params...), Args... args) {
    T zeros, ones;
    std::memset(&zeros, 0, sizeof zeros);
    std::memset(&ones, 0xFF, sizeof ones);
    EXPECT_EQ(get(args..., &zeros), A_Err_NONE);
    EXPECT_EQ(get(args..., &ones), A_Err_NONE);
    EXPECT_EQ(std::memcmp(&zeros, &ones, sizeof zeros), 0) << "an output was left unwritten";
    return zeros;
}

// Calls that must each give `expected`, named by what they try.
inline void expect_errs(A_Err expected,
                        std::initializer_list<std::pair<const char*, A_Err>> calls) {
    for (const auto& [what, err] : calls) EXPECT_EQ(err, expected) << what;
}

template <class T, class... Params, class... Args>
T made(A_Err (*make)(Params...), Args... args) {
    T out{};
    EXPECT_EQ(make(args..., &out), A_Err_NONE);
    return out;
}

template <class Suite>
struct SuiteName;
#define SUITE_NAME(Type, suiteName, suiteVersion)       \
    template <>                                         \
    struct SuiteName<Type> {                            \
        static constexpr const char* name = suiteName;  \
        static constexpr A_long version = suiteVersion; \
    };
AEGP_FOR_EACH_SUITE(SUITE_NAME)
#undef SUITE_NAME

struct NullPlugin {
    static inline AEGP_PluginID id = 0;
    static A_Err entry(SPBasicSuite*, A_long, A_long, AEGP_PluginID pluginId, AEGP_GlobalRefcon*) {
        id = pluginId;
        return A_Err_NONE;
    }
};

class HostTest : public ::testing::Test {
protected:
    void SetUp() override {
        host_ = std::make_unique<host::Host>(host::HostOptions{settings_.path()});
        ASSERT_EQ(host_->load_plugin(&NullPlugin::entry), A_Err_NONE);
        plugin_ = NullPlugin::id;
    }

    void TearDown() override {
        for (const auto& [key, table] : acquired_)
            if (table != nullptr) host_->basic_suite()->ReleaseSuite(key.first.c_str(), key.second);
        acquired_.clear();
        if (host_) {
            EXPECT_EQ(outfold_test::describe(host_->outstanding()), "") << "leaked";
        }
        host_.reset();
    }

    host::Host& host() { return *host_; }
    host::model::Project& project() { return host_->project(); }

    void load(const std::string& fixtureName) { host_->load_project(fixture(fixtureName)); }

    template <class Suite>
    const Suite& suite() {
        const auto key =
            std::make_pair(std::string(SuiteName<Suite>::name), SuiteName<Suite>::version);
        auto found = acquired_.find(key);
        if (found == acquired_.end()) {
            const void* table = nullptr;
            EXPECT_EQ(host_->basic_suite()->AcquireSuite(key.first.c_str(), key.second, &table),
                      A_Err_NONE);
            // A missing table ends the test as a failure instead of a crash.
            if (table == nullptr) throw std::runtime_error("no suite " + key.first);
            found = acquired_.emplace(key, table).first;
        }
        return *static_cast<const Suite*>(found->second);
    }

    const AEGP_LayerSuite_v11& layers() { return suite<AEGP_LayerSuite_v11>(); }
    const AEGP_LayerSuite_v12& layers12() { return suite<AEGP_LayerSuite_v12>(); }
    const AEGP_CompSuite_v9& comps() { return suite<AEGP_CompSuite_v9>(); }
    const AEGP_ItemSuite_v10& items() { return suite<AEGP_ItemSuite_v10>(); }
    const AEGP_ItemSuite_v3& items3() { return suite<AEGP_ItemSuite_v3>(); }
    const AEGP_StreamSuite_v9& streams() { return suite<AEGP_StreamSuite_v9>(); }
    const AEGP_KeyframeSuite_v4& keys() { return suite<AEGP_KeyframeSuite_v4>(); }
    const AEGP_EffectSuite_v3& effects() { return suite<AEGP_EffectSuite_v3>(); }
    const AEGP_MemorySuite_v1& memory() { return suite<AEGP_MemorySuite_v1>(); }
    const AEGP_CollectionSuite_v2& collections() { return suite<AEGP_CollectionSuite_v2>(); }
    const AEGP_UtilitySuite_v13& utility() { return suite<AEGP_UtilitySuite_v13>(); }

    A_Err delete_layer(AEGP_LayerH layer) {
        return suite<AEGP_LayerSuite_v10>().AEGP_DeleteLayer(layer);
    }
    AEGP_LayerH make_null(const std::string& comp, A_Time duration = {1, 1},
                          const std::u16string& name = u"probe") {
        return made<AEGP_LayerH>(suite<AEGP_CompSuite_v25>().AEGP_CreateNullInComp, wide(name),
                                 comp_named(comp), &duration);
    }

    AEGP_StreamRefH new_stream(AEGP_LayerH layer, AEGP_LayerStream which) {
        return made<AEGP_StreamRefH>(streams().AEGP_GetNewLayerStream, plugin_, layer, which);
    }

    std::string take_text(AEGP_MemHandle handle) {
        if (handle == nullptr) return {};
        void* data = nullptr;
        EXPECT_EQ(memory().AEGP_LockMemHandle(handle, &data), A_Err_NONE);
        std::string text(static_cast<const char*>(data));
        EXPECT_EQ(memory().AEGP_UnlockMemHandle(handle), A_Err_NONE);
        EXPECT_EQ(memory().AEGP_FreeMemHandle(handle), A_Err_NONE);
        return text;
    }

    AEGP_ItemH item_named(const std::string& name) {
        const auto* found = host::model::find_item_by_name(host_->project(), name);
        EXPECT_NE(found, nullptr) << name;
        const auto project =
            got<AEGP_ProjectH>(suite<AEGP_ProjSuite_v8>().AEGP_GetProjectByIndex, 0);
        for (auto item = got<AEGP_ItemH>(items().AEGP_GetFirstProjItem, project);
             item != nullptr && found != nullptr;
             item = got<AEGP_ItemH>(items().AEGP_GetNextProjItem, project, item)) {
            if (got<A_long>(items().AEGP_GetItemID, item) == found->id) return item;
        }
        return nullptr;
    }

    AEGP_CompH comp_named(const std::string& name) {
        return made<AEGP_CompH>(comps().AEGP_GetCompFromItem, item_named(name));
    }

    AEGP_LayerH layer_at(const std::string& comp, A_long index) {
        return made<AEGP_LayerH>(layers().AEGP_GetCompLayerByIndex, comp_named(comp), index);
    }

    const host::model::Composition& model_comp(const std::string& name) {
        return *host::model::comp_of(project(), item_id(project(), name));
    }

    host::model::Layer& model_layer(AEGP_LayerH handle) {
        const auto index = got<A_long>(layers().AEGP_GetLayerIndex, handle);
        const auto comp = got<AEGP_CompH>(layers().AEGP_GetLayerParentComp, handle);
        const auto id = got<A_long>(items().AEGP_GetItemID,
                                    got<AEGP_ItemH>(comps().AEGP_GetItemFromComp, comp));
        return host::model::comp_of(project(), id)->layers.at(static_cast<std::size_t>(index));
    }

    AEGP_PluginID plugin_ = 0;

private:
    TempDir settings_{"host-test"};
    std::unique_ptr<host::Host> host_;
    std::map<std::pair<std::string, A_long>, const void*> acquired_;
};

class BasicProjectTest : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        load("basic.json");
    }
};

}  // namespace host_test
