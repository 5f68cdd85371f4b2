// Global memory blocks: the kernel's GlobalAlloc family, passed straight through.
#include "platform/win32/win32_handles.h"

static_assert(PF_MEM_FIXED == GMEM_FIXED);
static_assert(PF_MEM_MOVEABLE == GMEM_MOVEABLE);
static_assert(PF_MEM_ZEROINIT == GMEM_ZEROINIT);

PfMem pf_mem_alloc(unsigned flags, size_t bytes) {
    return pf_from_hglobal(GlobalAlloc(flags, bytes));
}

void* pf_mem_lock(PfMem block) { return GlobalLock(hglobal_from_pf(block)); }

void pf_mem_unlock(PfMem block) { GlobalUnlock(hglobal_from_pf(block)); }

PfMem pf_mem_handle(const void* address) { return pf_from_hglobal(GlobalHandle(address)); }

void pf_mem_free(PfMem block) { GlobalFree(hglobal_from_pf(block)); }
