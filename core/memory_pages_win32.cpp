// Read-only file pages given back on Windows: unlocking pages that are not locked takes them out
// of the working set, and the image section maps them again when next read.
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

} // namespace nimba
