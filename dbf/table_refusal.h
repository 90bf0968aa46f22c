// Filling in why a table is refused, where each rule is kept: the file (table_file.cpp), the
// layout (table_format.cpp), the table object (dbase.cpp) and the field count (table_check.cpp).
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "dbf/table_check.h"

namespace varnel {

// May throw std::bad_alloc, making the reason's text.
inline void refuse(TableCheck& check, TableRefusal refusal, std::string reason,
                   std::int64_t value = 0, std::int64_t limit = 0) {
    check.refusal = refusal;
    check.reason = std::move(reason);
    check.value = value;
    check.limit = limit;
}

// `bytes`: the size of the block refused, 0 when storage ran out elsewhere. Without memory for
// the longer text, the reason is the bare "out of memory", which needs no storage of its own.
inline void refuseOutOfMemory(TableCheck& check, std::int64_t bytes = 0) noexcept {
    check.refusal = TableRefusal::OutOfMemory;
    check.value = bytes;
    check.limit = 0;
    try {
        check.reason = bytes > 0
                           ? "out of memory for a block of " + std::to_string(bytes) + " bytes"
                           : "out of memory";
    } catch (...) {
        check.reason.clear();
        check.reason += "out of memory";  // fits in the string's own buffer: never allocates
    }
}

}  // namespace varnel
