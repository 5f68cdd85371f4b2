// Dynamic libraries loaded by name.
#include "platform/win32/win32_handles.h"

PfModule pf_module_load(const char* name) { return pf_from_hmodule(LoadLibraryA(name)); }

void* pf_module_symbol(PfModule module, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(hmodule_from_pf(module), name));
}

// A library that never loaded has nothing to release.
void pf_module_free(PfModule module) {
    if (module != nullptr) {
        FreeLibrary(hmodule_from_pf(module));
    }
}
