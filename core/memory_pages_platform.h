// The platform halves behind memory_pages.cpp (memory_pages_posix.cpp, memory_pages_win32.cpp).
// Any thread.
#pragma once

#include <cstddef>

namespace nimba {

size_t memory_page_size(); // 0 when unknown
// Drops the pages [pages, pages + bytes), whole pages of constant data mapped from the program
// file, from the resident memory.
void release_whole_pages(const void* pages, size_t bytes);

} // namespace nimba
