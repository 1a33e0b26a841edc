#include <set>
#include <type_traits>

#include "host_fixture.h"

namespace {

using namespace host_test;

template <class... Args>
A_Err call_with_zeros(A_Err (*operation)(Args...)) {
    return operation(std::remove_cvref_t<Args>{}...);
}

class Suites : public HostTest {
protected:
    // Calls the slot's pointer with null arguments; the name the trace recorded.
    template <class Suite, class Operation>
    std::string operation_at_slot(int slot) {
        Operation operation = nullptr;
        const auto* table = reinterpret_cast<const char*>(&suite<Suite>());
        std::memcpy(&operation, table + slot * sizeof(void*), sizeof operation);
        if (operation == nullptr) return "(empty slot)";
        host().clear_trace();
        EXPECT_NE(call_with_zeros(operation), A_Err_NONE) << "null arguments are refused";
        return host().trace().empty() ? "(nothing)" : host().trace().back();
    }
};

TEST_F(Suites, EverySlotReachesTheHostsOwnOperationAndTheOthersAreEmpty) {
#define CHECK_SLOT(Suite, op, slot)                                                     \
    EXPECT_EQ((operation_at_slot<Suite, decltype(Suite{}.op)>(slot)), std::string(#op)) \
        << #Suite " slot " #slot;
    AEGP_FOR_EACH_OPERATION(CHECK_SLOT)
#undef CHECK_SLOT
    std::map<std::string, std::set<int>> used;
#define NOTE_SLOT(Suite, op, slot) used[#Suite].insert(slot);
    AEGP_FOR_EACH_OPERATION(NOTE_SLOT)
#undef NOTE_SLOT
    auto check = [&](const char* type, const void* table, int slots) {
        void* const* entries = static_cast<void* const*>(table);
        for (int slot = 0; slot < slots; ++slot)
            EXPECT_EQ(entries[slot] != nullptr, used[type].count(slot) != 0) << type << " " << slot;
    };
#define CHECK_LENGTH(Suite, slots) check(#Suite, &suite<Suite>(), slots);
    AEGP_FOR_EACH_SUITE_LENGTH(CHECK_LENGTH)
#undef CHECK_LENGTH
}

TEST_F(Suites, BasicSuiteHandsOutKnownPairsAndCountsThem) {
    const SPBasicSuite* basic = host().basic_suite();
    for (const void* unused :
         {(void*)basic->IsEqual, (void*)basic->AllocateBlock, (void*)basic->FreeBlock,
          (void*)basic->ReallocateBlock, (void*)basic->Undefined})
        EXPECT_EQ(unused, nullptr);
    const std::tuple<const char*, A_long, A_Err> cases[] = {
        {"AEGP Layer Suite", 11, A_Err_NONE},
        {"AEGP Layer Suite", 12, A_Err_NONE},
        {"AEGP Layer Suite", 99, A_Err_MISSING_SUITE},
        {"AEGP Nothing Suite", 1, A_Err_MISSING_SUITE},
        {"aegp layer suite", 11, A_Err_MISSING_SUITE}};
    for (const auto& [name, version, expected] : cases) {
        const void* table = reinterpret_cast<const void*>(0x1);
        EXPECT_EQ(basic->AcquireSuite(name, version, &table), expected) << name << version;
        EXPECT_EQ(table == nullptr, expected != A_Err_NONE) << name << version;
    }
    EXPECT_EQ(host().outstanding().suites, 2);
    const void* again = nullptr;
    EXPECT_EQ(basic->AcquireSuite("AEGP Layer Suite", 11, &again), A_Err_NONE);
    EXPECT_EQ(host().outstanding().suites, 3);
    for (int i = 0; i < 2; ++i) EXPECT_EQ(basic->ReleaseSuite("AEGP Layer Suite", 11), A_Err_NONE);
    EXPECT_NE(basic->ReleaseSuite("AEGP Layer Suite", 11), A_Err_NONE) << "released once too often";
    EXPECT_EQ(basic->ReleaseSuite("AEGP Layer Suite", 12), A_Err_NONE);
    EXPECT_NE(basic->AcquireSuite(nullptr, 1, &again), A_Err_NONE);
    EXPECT_NE(basic->AcquireSuite("AEGP Layer Suite", 11, nullptr), A_Err_NONE);
}

TEST_F(Suites, APlannedFaultFailsExactlyTheNthCallAndDoesNothingElse) {
    load("basic.json");
    const AEGP_LayerH first = layer_at("Main", 0), second = layer_at("Main", 1);
    host().fail_call("AEGP_DeleteLayer", 2, A_Err_ALLOC);
    host().fail_call("AEGP_GetLayerIndex", 1, 77);
    A_long index = -5;
    EXPECT_EQ(layers().AEGP_GetLayerIndex(second, &index), 77);
    EXPECT_EQ(index, -5) << "a failed call writes nothing";
    EXPECT_EQ(host_test::got<A_long>(layers().AEGP_GetLayerIndex, second), 1);

    const auto& layers10 = suite<AEGP_LayerSuite_v10>();
    const std::size_t before = model_comp("Main").layers.size();
    EXPECT_EQ(layers10.AEGP_DeleteLayer(first), A_Err_NONE);
    EXPECT_EQ(layers10.AEGP_DeleteLayer(second), A_Err_ALLOC);
    EXPECT_EQ(model_comp("Main").layers.size(), before - 1) << "the failed delete left the layer";
    EXPECT_EQ(host().trace().back(), "AEGP_DeleteLayer") << "failed calls are traced too";
    EXPECT_EQ(layers10.AEGP_DeleteLayer(second), A_Err_NONE) << "only the planned call fails";
}

TEST(HostLifetime, OnlyOneHostAtATimeAndCallsWithoutOneFail) {
    const void* table = nullptr;
    host_test::TempDir dir;
    const host::HostOptions options{dir.path()};
    {
        host::Host first(options);
        EXPECT_THROW(host::Host second(options), std::logic_error);
        ASSERT_EQ(first.basic_suite()->AcquireSuite("AEGP Command Suite", 1, &table), A_Err_NONE);
        ASSERT_EQ(first.basic_suite()->ReleaseSuite("AEGP Command Suite", 1), A_Err_NONE);
    }
    AEGP_Command command = 0;
    const auto* commands = static_cast<const AEGP_CommandSuite_v1*>(table);
    EXPECT_EQ(commands->AEGP_GetUniqueCommand(&command), A_Err_GENERIC) << "no Host lives";
    EXPECT_EQ(command, 0);
    EXPECT_TRUE(host::Host(options).outstanding().none());
}

using ExecuteScript = HostTest;  // the leak check sees any handle made unasked

TEST_F(ExecuteScript, ValuesAndErrorsComeBackAsText) {
    // Handles asked for: 1 the value, 2 the error text.
    const std::tuple<std::string, A_Boolean, int, A_Err, std::string> cases[] = {
        {"'caf\xC3\xA9'", 0, 3, A_Err_NONE, "caf\xC3\xA9"},
        {"'caf\xE9'", 1, 3, A_Err_NONE, "caf\xC3\xA9"},  // the platform's 8 bits are Latin-1
        {"throw new Error('boom')", 0, 3, A_Err_GENERIC, "boom"},
        {"42", 0, 0, A_Err_NONE, ""},
        {"x.y.z", 0, 0, A_Err_GENERIC, ""},
        {"x.y.z", 0, 1, A_Err_GENERIC, ""}};
    for (const auto& [script, platform, asked, err, text] : cases) {
        SCOPED_TRACE(script);
        AEGP_MemHandle result = nullptr, error = nullptr;
        EXPECT_EQ(utility().AEGP_ExecuteScript(plugin_, script.c_str(), platform,
                                               asked & 1 ? &result : nullptr,
                                               asked & 2 ? &error : nullptr),
                  err);
        EXPECT_EQ(result != nullptr, (asked & 1) && err == A_Err_NONE);
        EXPECT_EQ(error != nullptr, (asked & 2) && err != A_Err_NONE);
        EXPECT_EQ(take_text(result), err == A_Err_NONE ? text : "");
        EXPECT_NE(take_text(error).find(err == A_Err_NONE ? "" : text), std::string::npos);
    }
    ASSERT_EQ(host().scripts_run().size(), std::size(cases));
    EXPECT_EQ(host().scripts_run()[1], "'caf\xC3\xA9'") << "recorded as it ran";
    AEGP_MemHandle result = nullptr;
    EXPECT_EQ(utility().AEGP_ExecuteScript(plugin_, nullptr, 0, &result, nullptr), A_Err_PARAMETER);
    EXPECT_EQ(utility().AEGP_ExecuteScript(plugin_ + 1, "1", 0, &result, nullptr), A_Err_PARAMETER);
    EXPECT_EQ(host().scripts_run().size(), std::size(cases)) << "refused calls run nothing";
}

}  // namespace
