// Read-only file pages given back with madvise: a private mapping of the program file drops its
// clean pages and maps them again from the file when next read. Large pages asked for with
// madvise too, where the system has transparent huge pages. A browser's memory is one heap with
// no file behind it and no pages to choose: there, nothing is given back or asked for.
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

#if defined(MADV_HUGEPAGE) && !defined(__EMSCRIPTEN__)
size_t large_page_size() {
    return size_t{2} << 20; // x86-64's and arm64's (with 4 KB pages) transparent huge page
}

void advise_large_pages(void* pages, size_t bytes) {
    madvise(pages, bytes, MADV_HUGEPAGE);
}
#else
size_t large_page_size() {
    return 0;
}

void advise_large_pages(void*, size_t) {}
#endif

} // namespace nimba
