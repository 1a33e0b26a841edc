/* The engine's execution-timeout check (DUK_USE_EXEC_TIMEOUT_CHECK). The
 * engine calls it every so many instructions with its heap's user data; a
 * nonzero answer makes the engine throw a RangeError until the run has
 * unwound. Only the heap armed on this thread is ever stopped, so other
 * engines (the scripting engine, hosts on other threads) run unhindered. */
#include "duktape.h"
#include "exec_timeout.h"

static _Thread_local void *armed_heap;
static _Thread_local outfold_duk_timeout_fn armed_check;

void outfold_duk_arm_timeout(void *heap_udata, outfold_duk_timeout_fn check) {
    armed_heap = heap_udata;
    armed_check = check;
}

int outfold_duk_exec_timeout(void *udata) {
    return udata != NULL && udata == armed_heap && armed_check != NULL && armed_check(udata);
}
