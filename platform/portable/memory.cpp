// Global memory blocks on the C heap.
//
// A fixed block's handle is its address; a movable block's handle is its
// bookkeeping record. A registry maps both handles and addresses back to the
// block, so pf_mem_handle works from an address alone. Blocks are always
// zero-filled and never move.
#include <cstdint>
#include <cstdlib>
#include <unordered_map>

#include "platform/portable/objects.h"
#include "platform/portable/portable.h"

namespace {

struct Block {
    void* data;
    size_t bytes;
    bool movable;
};

struct Registry {
    std::unordered_map<const void*, Block*> by_handle;
    std::unordered_map<const void*, Block*> by_address;
    int32_t skip = 0;
    int32_t fail = 0;
    int32_t live_objects = 0;
};

Registry& registry() {
    static Registry r;
    return r;
}

// Larger requests than a 32-bit program could ever be given fail at once.
constexpr size_t LARGEST_BLOCK = 0x7FFFFFFF;

PfMem handle_of(const Block* block) {
    return block->movable ? reinterpret_cast<PfMem>(const_cast<Block*>(block))
                          : static_cast<PfMem>(block->data);
}

Block* find(PfMem handle) {
    auto& map = registry().by_handle;
    auto it = map.find(handle);
    return it == map.end() ? nullptr : it->second;
}

}  // namespace

bool pf_portable_allocation_allowed() {
    Registry& r = registry();
    if (r.skip > 0) {
        --r.skip;
        return true;
    }
    if (r.fail > 0) {
        --r.fail;
        return false;
    }
    return true;
}

void pf_portable_fail_allocations(int32_t skip, int32_t count) {
    registry().skip = skip > 0 ? skip : 0;
    registry().fail = count > 0 ? count : 0;
}

int32_t pf_portable_live_blocks() { return static_cast<int32_t>(registry().by_handle.size()); }

void pf_portable_count_object(int32_t delta) { registry().live_objects += delta; }

int32_t pf_portable_live_objects() { return registry().live_objects; }

PfMem pf_mem_alloc(unsigned flags, size_t bytes) {
    if (bytes > LARGEST_BLOCK || !pf_portable_allocation_allowed()) return nullptr;
    // A zero-byte request still gets a distinct address.
    void* data = std::calloc(bytes == 0 ? 1 : bytes, 1);
    if (data == nullptr) return nullptr;
    auto* block = new Block{data, bytes, (flags & PF_MEM_MOVEABLE) != 0};
    Registry& r = registry();
    r.by_handle[handle_of(block)] = block;
    r.by_address[data] = block;
    return handle_of(block);
}

void* pf_mem_lock(PfMem handle) {
    const Block* block = find(handle);
    return block == nullptr ? nullptr : block->data;
}

void pf_mem_unlock(PfMem) {}

PfMem pf_mem_handle(const void* address) {
    auto& map = registry().by_address;
    auto it = map.find(address);
    return it == map.end() ? nullptr : handle_of(it->second);
}

void pf_mem_free(PfMem handle) {
    Block* block = find(handle);
    if (block == nullptr) return;
    Registry& r = registry();
    r.by_handle.erase(handle);
    r.by_address.erase(block->data);
    std::free(block->data);
    delete block;
}
