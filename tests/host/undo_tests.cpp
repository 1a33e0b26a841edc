// Undo groups: pairing, nesting, entries, and handles across an undo. (That
// an undo restores the project exactly is checked after every plug-in run.)
#include <gtest/gtest.h>

#include "host_fixture.h"
#include "model/project_ops.h"

namespace {

using host_test::got;

class Undo : public host_test::BasicProjectTest {
protected:
    std::vector<std::string> history() {
        std::vector<std::string> names;
        for (const auto& entry : host().undo_history()) names.push_back(entry.name);
        return names;
    }
};

TEST_F(Undo, HandlesWorkAgainWhenUndoBringsTheirObjectBack) {
    AEGP_LayerH pre = layer_at("Main", 0);
    AEGP_ItemH second = item_named("Second");
    OK(utility().AEGP_StartUndoGroup("Delete"));
    OK(delete_layer(pre));
    OK(items().AEGP_DeleteItem(second));
    OK(utility().AEGP_EndUndoGroup());
    A_long index = -1;
    AEGP_ItemType type = 0;
    EXPECT_EQ(layers().AEGP_GetLayerIndex(pre, &index), A_Err_STRUCT);
    EXPECT_EQ(items3().AEGP_GetItemType(second, &type), A_Err_STRUCT);
    ASSERT_TRUE(host().undo());
    EXPECT_EQ(got<A_long>(layers().AEGP_GetLayerIndex, pre), 0);
    EXPECT_EQ(got<AEGP_ItemType>(items3().AEGP_GetItemType, second), AEGP_ItemType_COMP);
}

TEST_F(Undo, ObjectsMadeInsideTheGroupStayStaleAfterUndo) {
    OK(utility().AEGP_StartUndoGroup("Null"));
    AEGP_LayerH null = make_null("Main", {30, 30}, u"N");
    OK(utility().AEGP_EndUndoGroup());
    ASSERT_TRUE(host().undo());
    // A new object after the undo gets a fresh id, so the old handle does not
    // name it.
    AEGP_LayerH another = make_null("Main", {30, 30}, u"M");
    A_long index = -1;
    EXPECT_EQ(layers().AEGP_GetLayerIndex(null, &index), A_Err_STRUCT);
    EXPECT_NE(another, null);
}

TEST_F(Undo, GroupsPairNestAndMakeOneEntryEach) {
    struct Step {
        enum { Start, End } what;
        const char* name;
        A_Err expected;
    };
    const Step steps[] = {
        {Step::End, nullptr, A_Err_GENERIC},  // nothing to end
        {Step::Start, "Outer", A_Err_NONE},  {Step::Start, "Inner", A_Err_NONE},
        {Step::End, nullptr, A_Err_NONE},    {Step::End, nullptr, A_Err_NONE},
        {Step::End, nullptr, A_Err_GENERIC}, {Step::Start, "Empty", A_Err_NONE},
        {Step::End, nullptr, A_Err_NONE},
    };
    for (const Step& step : steps) {
        const A_Err got = step.what == Step::Start ? utility().AEGP_StartUndoGroup(step.name)
                                                   : utility().AEGP_EndUndoGroup();
        EXPECT_EQ(got, step.expected) << (step.name ? step.name : "end");
    }
    EXPECT_EQ(history(), (std::vector<std::string>{"Outer", "Empty"}));
    EXPECT_EQ(utility().AEGP_StartUndoGroup(nullptr), A_Err_PARAMETER);
    EXPECT_EQ(host().outstanding().openUndoGroups, 0);
}

TEST_F(Undo, AnOpenGroupIsCountedAndBlocksUndo) {
    OK(utility().AEGP_StartUndoGroup("A"));
    OK(utility().AEGP_EndUndoGroup());
    OK(utility().AEGP_StartUndoGroup("B"));
    EXPECT_EQ(host().outstanding().openUndoGroups, 1);
    EXPECT_FALSE(host().outstanding().none());
    EXPECT_FALSE(host().undo());
    OK(utility().AEGP_EndUndoGroup());
    EXPECT_TRUE(host().undo());
    EXPECT_EQ(history(), (std::vector<std::string>{"A"}));
}

TEST_F(Undo, LoadingAProjectStartsAFreshHistory) {
    OK(utility().AEGP_StartUndoGroup("A"));
    OK(utility().AEGP_EndUndoGroup());
    load("basic.json");
    EXPECT_TRUE(history().empty());
}

}  // namespace
