// Calling convention and linkage of the module's entry points. On 32-bit Windows every export is
// __stdcall (the callee removes its arguments); the undecorated names come from varnel.def.
#pragma once

#if defined(_WIN32) && !defined(_WIN64)
#define VARNEL_CALL __stdcall
#else
#define VARNEL_CALL
#endif

#if defined(_WIN32)
#define VARNEL_EXPORT extern "C"
#else
#define VARNEL_EXPORT extern "C" __attribute__((visibility("default")))
#endif
