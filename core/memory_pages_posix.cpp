// Read-only file pages given back with madvise: a private mapping of the program file drops its
// clean pages and maps them again from the file when next read. A browser's memory is one heap
// with no file behind it: there, nothing is given back.
#include <sys/mman.h>
#include <unistd.h>

#include "core/memory_pages_platform.h"

namespace nimba {

size_t memory_page_size() {
#if defined(__EMSCRIPTEN__)
    return 0;
#else
    const long page = sysconf(_SC_PAGESIZE);
    return page > 0 ? static_cast<size_t>(page) : 0;
#endif
}

void release_whole_pages(const void* pages, size_t bytes) {
    madvise(const_cast<void*>(pages), bytes, MADV_DONTNEED);
}

} // namespace nimba
