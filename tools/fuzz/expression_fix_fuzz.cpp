// Fuzz target: the script that repairs expressions after a rename. Whatever
// two names the plug-in hands it, the script must run in the engine and
// change the project exactly as the repair of those two names does: the names
// stay data and add nothing to the script.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "expressions/fix_expressions.h"
#include "io/project_file.h"
#include "model/script_ops.h"
#include "script/expression_engine.h"
#include "script/script.h"
#include "script/scriptui.h"
#include "shell/text.h"

namespace {

// A composition whose layers refer to the old name, to another name, and to
// nothing, in expressions of several forms.
host::model::Project scene(const std::string& oldName) {
    const std::string quoted = nlohmann::json(oldName).dump(-1, ' ', true);
    const nlohmann::json document = {
        {"items",
         {{{"type", "solid"}, {"id", 2}, {"name", "Grey"}},
          {{"type", "comp"},
           {"id", 3},
           {"name", "Main"},
           {"layers",
            {{{"name", "Other"},
              {"source", 2},
              {"streams",
               {{"Position",
                 {{"value", {0, 0, 0}},
                  {"expression", "thisComp.layer(" + quoted + ").transform.position"}}},
                {"Opacity", {{"value", 100}, {"expression", "comp(" + quoted + ").numLayers"}}},
                {"Rotation", {{"value", 0}, {"expression", "thisComp.layer(\"Other\").index"}}}}}},
             {{"name", "Plain"}, {"source", 2}}}}}}}};
    return host::io::project_from_json(document);
}

}  // namespace

// The input is UTF-16 (little-endian units, so lone surrogates occur): the
// old name, a unit 0, then the new name.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::u16string units;
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        units.push_back(char16_t(data[i] | (data[i + 1] << 8)));
    }
    const std::size_t split = units.find(u'\0');
    const std::u16string oldName = units.substr(0, split);
    std::u16string newName = split == std::u16string::npos ? u"" : units.substr(split + 1);
    std::erase(newName, u'\0');

    host::model::Project project = scene(outfold::to_utf8(oldName));
    host::model::Project expected = project;
    // The script must do what the fix itself does, and nothing else.
    host::script::ExpressionEngine evaluator;
    host::script::auto_fix_expressions(expected, evaluator, outfold::to_utf8(oldName),
                                       outfold::to_utf8(newName));

    std::vector<host::script::Alert> alerts;
    std::vector<host::script::Dialog> dialogs;
    host::script::ScriptHost context;
    context.project = &project;
    context.alerts = &alerts;
    context.dialogs = &dialogs;
    const host::script::ScriptRun run =
        host::script::run_script(context, outfold::expression_fix_script(oldName, newName));
    if (!run.ok) std::abort();
    if (!(project == expected) || !alerts.empty() || !dialogs.empty()) std::abort();
    return 0;
}
