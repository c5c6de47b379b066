// The platform halves behind memory_pages.cpp (memory_pages_posix.cpp, memory_pages_win32.cpp).
// Any thread.
#pragma once

#include <cstddef>

namespace nimba {

size_t memory_page_size(); // 0 when unknown
// Drops the pages [pages, pages + bytes), whole pages of constant data mapped from the program
// file, from the resident memory.
void release_whole_pages(const void* pages, size_t bytes);
// The size of a large page the system gives on request; 0 when it gives none.
size_t large_page_size();
// Asks for the pages [pages, pages + bytes), the program's own memory, to be large pages.
void advise_large_pages(void* pages, size_t bytes);

} // namespace nimba
