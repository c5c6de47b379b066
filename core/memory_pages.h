// Memory pages of read-only data mapped from the program file: giving them back to the system
// once read, so they stop counting against the process until they are read again. Any thread.
#pragma once

#include <cstddef>
#include <cstdint>

namespace nimba {

// Drops the whole pages inside [data, data + size) from the process's resident memory. The
// bytes stay readable and unchanged: a later read brings them back from the program file. Only
// for constant data the program file holds, never for memory the program writes.
void release_file_pages(const uint8_t* data, size_t size);

} // namespace nimba
