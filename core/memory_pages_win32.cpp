// Read-only file pages given back on Windows: unlocking pages that are not locked takes them out
// of the working set, and the image section maps them again when next read. Large pages come
// only from VirtualAlloc with a privilege the editor does not hold, so none are asked for.
#include <windows.h>

#include "core/memory_pages_platform.h"

namespace nimba {

size_t memory_page_size() {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return info.dwPageSize;
}

void release_whole_pages(const void* pages, size_t bytes) {
    VirtualUnlock(const_cast<void*>(pages), bytes);
}

size_t large_page_size() {
    return 0;
}

void advise_large_pages(void*, size_t) {}

} // namespace nimba
