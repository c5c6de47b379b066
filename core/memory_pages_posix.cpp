// Read-only file pages given back with madvise: a private mapping of the program file drops its
// clean pages and maps them again from the file when next read.
#include <sys/mman.h>
#include <unistd.h>

#include "core/memory_pages_platform.h"

namespace nimba {

size_t memory_page_size() {
    const long page = sysconf(_SC_PAGESIZE);
    return page > 0 ? static_cast<size_t>(page) : 0;
}

void release_whole_pages(const void* pages, size_t bytes) {
    madvise(const_cast<void*>(pages), bytes, MADV_DONTNEED);
}

} // namespace nimba
