// The scripts' object model, written in JavaScript on top of the natives.
//
// Each prelude is one function expression, called once per run before the
// script with (natives, global object, the engine's JSON.stringify). It
// defines the globals the application's engine offers (app, alert, PREFType,
// Window, the item and layer classes) and keeps the natives to itself.
#pragma once

namespace host::script {

struct Prelude {
    const char* file;  // the name its errors' stack traces show
    const char* text;
};

extern const Prelude kAppPrelude;
extern const Prelude kToolkitPrelude;
// The expression language of the expression sandbox (expression_engine.h),
// called once per sandbox with (natives, global object).
extern const Prelude kExpressionPrelude;

}  // namespace host::script
