#include "script/heap_budget.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace host::script {

namespace {

constexpr std::size_t kHeader = alignof(std::max_align_t);

std::size_t block_size(void* ptr) {
    std::size_t size = 0;
    std::memcpy(&size, static_cast<unsigned char*>(ptr) - kHeader, sizeof size);
    return size;
}

}  // namespace

void* budget_alloc(void* udata, duk_size_t size) {
    auto* budget = static_cast<HeapBudget*>(udata);
    if (size > budget->limit - budget->used) return nullptr;
    auto* block = static_cast<unsigned char*>(std::malloc(size + kHeader));
    if (block == nullptr) return nullptr;
    std::memcpy(block, &size, sizeof size);
    budget->used += size;
    budget->peak = std::max(budget->peak, budget->used);
    return block + kHeader;
}

void budget_free(void* udata, void* ptr) {
    if (ptr == nullptr) return;
    static_cast<HeapBudget*>(udata)->used -= block_size(ptr);
    std::free(static_cast<unsigned char*>(ptr) - kHeader);
}

void* budget_realloc(void* udata, void* ptr, duk_size_t size) {
    if (ptr == nullptr) return budget_alloc(udata, size);
    if (size == 0) {
        budget_free(udata, ptr);
        return nullptr;
    }
    auto* budget = static_cast<HeapBudget*>(udata);
    const std::size_t old = block_size(ptr);
    if (size > old && size - old > budget->limit - budget->used) return nullptr;
    auto* block = static_cast<unsigned char*>(
        std::realloc(static_cast<unsigned char*>(ptr) - kHeader, size + kHeader));
    if (block == nullptr) return nullptr;
    std::memcpy(block, &size, sizeof size);
    budget->used = budget->used - old + size;
    budget->peak = std::max(budget->peak, budget->used);
    return block + kHeader;
}

}  // namespace host::script
