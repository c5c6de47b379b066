// Releasing read-only file pages and allocating on large pages: the whole pages inside a range,
// handed to the platform half.
#include "core/memory_pages.h"

#include <new>

#include "core/memory_pages_platform.h"

namespace nimba {

namespace {

struct page_range {
    uintptr_t from = 0, to = 0; // empty when to <= from
};

page_range whole_pages(const uint8_t* data, size_t size) {
    const size_t page = memory_page_size();
    if (!data || page == 0) return {};
    const uintptr_t mask = page - 1;
    return {(reinterpret_cast<uintptr_t>(data) + mask) & ~mask,
            (reinterpret_cast<uintptr_t>(data) + size) & ~mask};
}

} // namespace

void release_file_pages(const uint8_t* data, size_t size) {
    const page_range r = whole_pages(data, size);
    if (r.to > r.from) release_whole_pages(reinterpret_cast<const void*>(r.from), r.to - r.from);
}

void* allocate_large_pages(size_t bytes) {
    const size_t large = large_page_size();
    if (large == 0 || bytes < large) return ::operator new(bytes);
    void* block = ::operator new (bytes, std::align_val_t{large});
    const page_range r = whole_pages(static_cast<const uint8_t*>(block), bytes);
    if (r.to > r.from) advise_large_pages(reinterpret_cast<void*>(r.from), r.to - r.from);
    return block;
}

void free_large_pages(void* block, size_t bytes) {
    const size_t large = large_page_size();
    if (large == 0 || bytes < large)
        ::operator delete(block);
    else
        ::operator delete (block, std::align_val_t{large});
}

} // namespace nimba
