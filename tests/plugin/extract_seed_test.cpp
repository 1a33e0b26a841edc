// Seed lines in front of the expressions of a layer.
#include <string>

#include "expressions/seed_random.h"
#include "extract_harness.h"
#include "shell/host_suites.h"

namespace outfold::testing {
namespace {

namespace model = host::model;

constexpr int kPosition = 1;
constexpr int kOpacity = 4;
constexpr int kRotateX = 8;

std::string seeded(const std::string& seed, const std::string& expression) {
    return "seedRandom(" + seed + "); // this line was added by Outfold \n\n" + expression;
}

class SeedTest : public ExtractTest {
protected:
    void SetUp() override { load("extract_expressions"); }

    const model::Layer& layer(A_long index) { return layer_at("Main", index); }
    std::string expression(A_long index, int stream) {
        const auto& streams = layer(index).streams;
        const auto found = streams.find(stream);
        return found == streams.end() ? std::string("<no stream>") : found->second.expression;
    }
    // Every expression of the layer, by stream number.
    std::map<int, std::string> expressions(A_long index) {
        std::map<int, std::string> texts;
        for (const auto& [number, stream] : layer(index).streams) {
            if (!stream.expression.empty()) texts[number] = stream.expression;
        }
        return texts;
    }
    A_Err seed_layer(A_long index, int seed) {
        const PluginInfo pluginInfo = info();
        return seed_random_expressions(&pluginInfo, layer_handle("Main", index), seed);
    }
};

// Layers of the fixture's "Main", top first.
constexpr A_long kWobble = 0;  // only an opacity expression
constexpr A_long kKeyed = 1;   // keyframed position with an expression
constexpr A_long kPlain = 2;   // no expressions
constexpr A_long kMany = 3;    // expressions on anchor point, position, rotation, opacity

TEST_F(SeedTest, PutsTheSeedLineInFrontOfEachExpression) {
    struct Case {
        A_long layer;
        int seed;
        std::string seedText;
    };
    const Case cases[] = {{kWobble, 4, "4"},
                          {kWobble, 0, "0"},
                          {kWobble, -12, "-12"},
                          {kMany, 2147483647, "2147483647"},
                          {kPlain, 3, "3"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.seedText);
        load("extract_expressions");
        const auto before = expressions(c.layer);
        ASSERT_EQ(seed_layer(c.layer, c.seed), A_Err_NONE);
        const auto after = expressions(c.layer);
        ASSERT_EQ(after.size(), before.size());
        for (const auto& [number, text] : before) {
            EXPECT_EQ(after.at(number), seeded(c.seedText, text)) << "stream " << number;
        }
    }
}

TEST_F(SeedTest, KeyframesStayAsTheyWere) {
    const auto keyframes = layer(kKeyed).streams.at(kPosition).keyframes;
    ASSERT_FALSE(keyframes.empty());
    ASSERT_EQ(seed_layer(kKeyed, 7), A_Err_NONE);
    EXPECT_EQ(expression(kKeyed, kPosition), seeded("7", "value + [random(5), 0]"));
    const auto& after = layer(kKeyed).streams.at(kPosition).keyframes;
    ASSERT_EQ(after.size(), keyframes.size());
    for (std::size_t k = 0; k < keyframes.size(); ++k) {
        EXPECT_TRUE(after[k].time == keyframes[k].time);
        EXPECT_EQ(after[k].value, keyframes[k].value);
    }
}

TEST_F(SeedTest, SeedingTwiceStacksTwoLines) {
    ASSERT_EQ(seed_layer(kWobble, 1), A_Err_NONE);
    ASSERT_EQ(seed_layer(kWobble, 2), A_Err_NONE);
    EXPECT_EQ(expression(kWobble, kOpacity), seeded("2", seeded("1", "wiggle(2, 30)")));
}

TEST_F(SeedTest, AStreamTheLayerLacksIsNoError) {
    const AEGP_LayerH wobble = layer_handle("Main", kWobble);
    {
        HostSuites suites(host_.basic_suite());
        A_Boolean legal = true;
        ASSERT_EQ(suites.get<AEGP_StreamSuite_v9>().AEGP_IsStreamLegal(wobble, kRotateX, &legal),
                  A_Err_NONE);
        ASSERT_FALSE(legal);  // a 2D layer has no X rotation
    }
    const PluginInfo pluginInfo = info();
    EXPECT_EQ(seed_random_stream(&pluginInfo, wobble, 5, kRotateX), A_Err_NONE);
}

}  // namespace
}  // namespace outfold::testing
