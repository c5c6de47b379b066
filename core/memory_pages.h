// Memory pages: giving pages of read-only data mapped from the program file back to the system
// once read, so they stop counting against the process until they are read again, and asking
// for large pages for a big buffer about to be filled. Any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace nimba {

// Drops the whole pages inside [data, data + size) from the process's resident memory. The
// bytes stay readable and unchanged: a later read brings them back from the program file. Only
// for constant data the program file holds, never for memory the program writes.
void release_file_pages(const uint8_t* data, size_t size);

// Memory for a big buffer about to be filled. Where the system gives large pages on request
// (Linux's transparent huge pages), a block of a large page or more starts on a large page and
// asks for them: filling a decoded picture then takes a handful of page faults, not thousands
// (each costs about 16 us in a virtual machine). Elsewhere it is plain heap memory.
void* allocate_large_pages(size_t bytes); // throws std::bad_alloc
void free_large_pages(void* block, size_t bytes);

template <class T> struct large_page_allocator {
    using value_type = T;
    large_page_allocator() = default;
    template <class U> large_page_allocator(const large_page_allocator<U>&) {}
    T* allocate(size_t n) { return static_cast<T*>(allocate_large_pages(n * sizeof(T))); }
    void deallocate(T* p, size_t n) { free_large_pages(p, n * sizeof(T)); }
    template <class U> bool operator==(const large_page_allocator<U>&) const { return true; }
};
using large_page_bytes = std::vector<uint8_t, large_page_allocator<uint8_t>>;

} // namespace nimba
