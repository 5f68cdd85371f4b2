// Dynamic modules of the headless backend in Windows builds. The headless
// backend is memory only and must behave the same everywhere; on Linux its
// dlopen never finds "AVIFIL32.DLL", so here too no library is found, where
// the kernel's loader would always find it. (The win32 backend loads for real.)
#include "platform/platform.h"

PfModule pf_module_load(const char*) { return nullptr; }

void* pf_module_symbol(PfModule, const char*) { return nullptr; }

void pf_module_free(PfModule) {}
