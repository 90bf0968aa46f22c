// The dBASE table file as this library reads it: versions 0x03 and 0x30, every field taken as
// text whatever its type letter.
//
//   offset 0            32-byte header
//   offset 32           32-byte field descriptors, ended by a slot whose first byte is 0x0D
//   (0x30 tables)       a 263-byte area after the terminator, never read
//   header length       the records: a flag byte ('*' marks a deleted record), then the fields
//                       one after the other in descriptor order, without separators
//
// All integers are little-endian. Texts are GBK bytes and are never converted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "dbf/table_check.h"

namespace varnel {

inline constexpr std::size_t kHeaderSize = 32;
inline constexpr std::size_t kDescriptorSize = 32;
inline constexpr std::size_t kFieldNameSize = 11;
inline constexpr std::size_t kFieldWidthOffset = 16;  // within a descriptor
inline constexpr unsigned char kHeaderTerminator = 0x0D;
inline constexpr unsigned char kDeletedFlag = '*';

struct TableHeader {
    std::uint8_t version;
    std::int32_t recordCount;  // records stored, deleted ones included
    std::uint16_t headerLength;
    std::uint16_t recordLength;
};

// Reads the header from the first kHeaderSize bytes of a table.
TableHeader readHeader(const unsigned char* bytes) noexcept;

// The header bytes that are no descriptor slot, the least header length of a table of this
// version: the 32-byte header and the terminator byte, and in 0x30 tables the 263-byte area after
// the terminator. Nothing when the version is not one this library reads.
std::optional<std::size_t> fixedHeaderBytes(std::uint8_t version) noexcept;

// The number of fields among `slots` descriptors starting at `descriptors`: the slots before the
// first one that starts with the header terminator.
std::size_t fieldCountBefore(const unsigned char* descriptors, std::size_t slots) noexcept;

// A descriptor's field name: the bytes up to the first zero byte, or all 11 when there is none.
// Not trimmed.
std::size_t fieldNameLength(const unsigned char* descriptor) noexcept;

inline std::uint8_t fieldWidth(const unsigned char* descriptor) noexcept {
    return descriptor[kFieldWidthOffset];
}

// A table's shape as its header and descriptors give it, checked against the file.
struct TableLayout {
    std::size_t headerLength;  // where the records start
    std::size_t recordLength;  // bytes per record, flag byte included
    std::size_t fieldCount;    // descriptors before the terminator; each field 1 to 255 bytes
    std::size_t recordCount;   // records stored, deleted ones included
    std::size_t used;          // header length + record count × record length: within the file
};

// Checks the `size` bytes of a table against every rule of the format that reading relies on:
// a whole header, version 0x03 or 0x30, a header length with room for its fixed parts, a record
// count of 0 or more, every record within the file, a record length that holds the flag byte and
// the fields, and no field 0 bytes wide. Returns the layout, or nothing with `check` saying why
// (check.fieldCount is filled in as soon as the descriptor slots are known to be in the file).
// Reads nothing beyond `size` bytes. May throw std::bad_alloc (a reason's text).
std::optional<TableLayout> checkLayout(const unsigned char* data, std::size_t size,
                                       TableCheck& check);

struct TextSpan {
    std::size_t offset;
    std::size_t length;
};

// The text of one field of `width` bytes: up to the first zero byte, without a final lead byte
// that has no second byte, then without spaces (0x20 only) at either end.
TextSpan cutField(const unsigned char* field, std::size_t width) noexcept;

}  // namespace varnel
