// Dynamic modules through the system's dynamic loader.
#include <dlfcn.h>

#include "platform/portable/portable.h"

PfModule pf_module_load(const char* name) {
    if (name == nullptr) return nullptr;
    return static_cast<PfModule>(dlopen(name, RTLD_NOW | RTLD_LOCAL));
}

void* pf_module_symbol(PfModule module, const char* name) {
    if (module == nullptr || name == nullptr) return nullptr;
    return dlsym(module, name);
}

void pf_module_free(PfModule module) {
    if (module != nullptr) dlclose(module);
}
