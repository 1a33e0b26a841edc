// AEGP_GetNewStreamValue before and after expressions: after them, a working
// expression's value; a failing or switched-off one shows the stored value.
#include <nlohmann/json.hpp>

#include "host_fixture.h"
#include "io/project_file.h"
#include "model/streams.h"

namespace {

using host::model::stream::kOpacity;
using host::model::stream::kPosition;
using host::model::stream::kRotation;
using host::model::stream::kScale;

constexpr const char* kScene = R"json({
  "items": [{"type": "comp", "name": "Scene", "layers": [
    {"type": "shape", "name": "Hero", "offset": 1, "streams": {
      "Rotation": {"value": 30, "expression": "value + time * 10"},
      "Opacity": {"value": 50, "expression": "thisComp.layer('Nobody').transform.opacity"},
      "Position": {"value": [100, 200, 0], "expression": "[1, thisComp.layer('Probe').transform.xRotation]"},
      "Scale": {"value": [100, 100, 100], "expression": "[1, 1, 1]", "expressionEnabled": false}}},
    {"type": "shape", "name": "Probe", "streams": {"X Rotation": 9}}
  ]}]
})json";

class ExpressionValues : public host_test::HostTest {};

TEST_F(ExpressionValues, AfterExpressionsUnlessAskedForBefore) {
    host().set_project(host::io::project_from_json(nlohmann::json::parse(kScene)));
    struct Case {
        AEGP_LayerStream which;
        A_Boolean before;
        std::vector<double> value;
    };
    const Case cases[] = {
        {kRotation, 1, {30}},          {kRotation, 0, {50}},  // composition time 2
        {kOpacity, 0, {50}},                                  // the expression fails
        {kPosition, 1, {100, 200, 0}}, {kPosition, 0, {1, 9, 0}},
        {kScale, 0, {100, 100, 100}},  // switched off
    };
    const AEGP_LayerH hero = layer_at("Scene", 0);
    const AEGP_LayerH probe = layer_at("Scene", 1);
    const A_Time two{2, 1};
    for (const Case& c : cases) {
        AEGP_StreamRefH stream = new_stream(hero, c.which), target = new_stream(probe, c.which);
        AEGP_StreamValue2 value{};
        OK(streams().AEGP_GetNewStreamValue(plugin_, stream, AEGP_LTimeMode_CompTime, &two,
                                            c.before, &value));
        // Read back through the model: the value set on the probe's stream.
        OK(streams().AEGP_SetStreamValue(plugin_, target, &value));
        EXPECT_EQ(model_comp("Scene").layers[1].streams.at(c.which).value, c.value)
            << c.which << (c.before ? " before" : " after");
        for (A_Err err :
             {streams().AEGP_DisposeStreamValue(&value), streams().AEGP_DisposeStream(stream),
              streams().AEGP_DisposeStream(target)})
            EXPECT_EQ(err, A_Err_NONE);
    }
}

}  // namespace
