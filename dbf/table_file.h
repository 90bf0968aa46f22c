// Reading a table file: whole, in one read, then closed; never written. Only a regular file is
// read. A folder, a named pipe or a device is refused before anything could block on it: opening
// a pipe for reading waits for a writer, and reading a device may never end.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <memory>

#include "dbf/table_check.h"

namespace varnel {

struct FreeBytes {
    void operator()(unsigned char* p) const noexcept { std::free(p); }
};
// A table's bytes, from the C library's heap (so a block can be shrunk in place).
using TableBytes = std::unique_ptr<unsigned char[], FreeBytes>;

// Reads the regular file at `path` (bytes for the platform's file functions) into `bytes`, its
// size into `size`, and returns true. Otherwise fills in `check` (NoFile, NotRegularFile,
// OutOfMemory) and returns false. May throw std::bad_alloc (a reason's text).
bool readTableFile(const char* path, TableBytes& bytes, std::size_t& size, TableCheck& check);

}  // namespace varnel
