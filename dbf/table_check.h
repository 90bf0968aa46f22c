// Why a table would be refused, with the figures of the rule it breaks. The loaders answer only
// 1 or 0; this is the account behind a 0 for a person (the varnel command). CDbase::Open goes
// through the very same checks, in the same order, so the two never disagree.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace varnel {

// The checks are made in this order and the first rule a table breaks is the one reported;
// OutOfMemory comes wherever storage is refused.
enum class TableRefusal {
    None,
    NoFile,               // no path, or the file cannot be opened or read
    PathTooLong,          // the full path is longer than 259 bytes
    NotRegularFile,       // a folder, a named pipe, a device, a socket
    ShorterThanHeader,    // fewer than the 32 header bytes
    UnsupportedVersion,   // a version byte other than 0x03 and 0x30
    HeaderLength,         // a header length below 33 (0x03) or 296 (0x30)
    NegativeRecordCount,  // a record count below 0
    Truncated,            // shorter than header length + record count × record length
    RecordLength,         // a record length below 1 + the sum of the field widths
    ZeroWidthField,       // a field 0 bytes wide
    FieldCount,           // another number of fields than the caller expects
    OutOfMemory,          // the file or the table's index cannot be held in memory
};

// The figures, by refusal:
//   NoFile               systemError: the errno value (0 when no path was given)
//   PathTooLong          value: the full path's length in bytes; limit: 259
//   ShorterThanHeader    value: the file's size in bytes; limit: 32
//   UnsupportedVersion   value: the version byte
//   HeaderLength         value: the header length; limit: the least for the version (33, 296)
//   NegativeRecordCount  value: the record count
//   Truncated            value: the file's size; limit: the size the header gives, header length
//                        + record count × record length (limit - value bytes are missing)
//   RecordLength         value: the record length; limit: 1 + the sum of the field widths
//   ZeroWidthField       value: the first such field's number, counting from 1; limit: the
//                        number of fields; fieldName: its name's bytes
//   FieldCount           value: the fields found; limit: the fields expected
//   OutOfMemory          value: the bytes asked for when one block was refused, else 0
struct TableCheck {
    TableRefusal refusal = TableRefusal::None;
    std::string path;    // the file tried, as bytes for the platform, ".dbf" supplied
    std::string reason;  // English, one line, lower case start, with its figures, no path,
                         // e.g. "version byte 0x83 is not one this reader reads (0x03, 0x30)";
                         // empty when refusal is None
    std::size_t fieldCount = 0;  // when the table's header and descriptors could be read
    int recordCount = -1;        // live records, when the table opens
    std::int64_t value = 0;
    std::int64_t limit = 0;
    std::string fieldName;
    int systemError = 0;
    explicit operator bool() const noexcept { return refusal == TableRefusal::None; }
};

// Why the table at `path` (as CDbase::Open takes it) would be refused, or None when it opens.
// `expectedFields` < 0: any field count; otherwise a table that opens with another number of
// fields is refused as a loader refuses it (FieldCount). Reads the file as Open does, whole, and
// never writes it. Never throws.
TableCheck checkTable(const char* path, int expectedFields = -1) noexcept;

// As checkTable, for `size` bytes of a table already in memory (as CDbase::OpenBytes); the path
// is empty.
TableCheck checkTableBytes(const unsigned char* data, std::size_t size,
                           int expectedFields = -1) noexcept;

// The refusal's name as written in the enumeration: "None", "NoFile", ...
const char* refusalName(TableRefusal refusal) noexcept;

}  // namespace varnel
