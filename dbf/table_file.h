// Reading a table file: whole, in one read, then closed; never written. Only a regular file is
// read. A folder, a named pipe or a device is refused before anything could block on it: opening
// a pipe for reading waits for a writer, and reading a device may never end.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <memory>

#include "dbf/table_check.h"

namespace varnel {

// Gives a table's bytes back the way they were taken: `mapped` is the length of a mapping of
// pages taken for them alone (Linux, large tables), 0 for a block of the C library's heap.
struct FreeBytes {
    std::size_t mapped = 0;
    void operator()(unsigned char* p) const noexcept;
};
// A table's bytes. The deleter travels with the pointer when it is moved, but not with reset():
// a pointer from allocateTableBytes is only ever handed over by moving the whole object.
using TableBytes = std::unique_ptr<unsigned char[], FreeBytes>;

// Storage for `size` bytes of a table, empty when there is none. On Linux a table of at least
// kHugeTableBytes gets pages of its own, 2 MiB-aligned and advised for huge pages: reading a
// large table into fresh memory then costs a page fault per 2 MiB rather than per 4 KiB.
// Otherwise a block of the C library's heap.
TableBytes allocateTableBytes(std::size_t size) noexcept;
inline constexpr std::size_t kHugeTableBytes = std::size_t{4} << 20;

// True when `bytes` is a block of the C library's heap, which realloc may shrink.
inline bool onHeap(const TableBytes& bytes) noexcept {
    return bytes.get_deleter().mapped == 0;
}

// Reads the regular file at `path` (bytes for the platform's file functions) into `bytes`, its
// size into `size`, and returns true. Otherwise fills in `check` (NoFile, NotRegularFile,
// OutOfMemory) and returns false. May throw std::bad_alloc (a reason's text).
bool readTableFile(const char* path, TableBytes& bytes, std::size_t& size, TableCheck& check);

}  // namespace varnel
