// Releasing read-only file pages: the whole pages inside a range, handed to the platform half.
#include "core/memory_pages.h"

#include "core/memory_pages_platform.h"

namespace nimba {

void release_file_pages(const uint8_t* data, size_t size) {
    const size_t page = memory_page_size();
    if (!data || page == 0) return;
    const uintptr_t mask = page - 1;
    const uintptr_t from = (reinterpret_cast<uintptr_t>(data) + mask) & ~mask;
    const uintptr_t to = (reinterpret_cast<uintptr_t>(data) + size) & ~mask;
    if (to > from) release_whole_pages(reinterpret_cast<const void*>(from), to - from);
}

} // namespace nimba
