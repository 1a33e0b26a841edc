/* Arming the engine's execution-timeout check for one heap on this thread
 * (see exec_timeout.c). */
#ifndef OUTFOLD_DUKTAPE_EXEC_TIMEOUT_H
#define OUTFOLD_DUKTAPE_EXEC_TIMEOUT_H

#if defined(__cplusplus)
extern "C" {
#endif

/* Nonzero from `check` stops the heap's running code. */
typedef int (*outfold_duk_timeout_fn)(void *heap_udata);
/* Watches the heap whose user data is `heap_udata` with `check`; a null heap
 * disarms. */
void outfold_duk_arm_timeout(void *heap_udata, outfold_duk_timeout_fn check);

#if defined(__cplusplus)
}
#endif

#endif
