// CDbase: one dBASE table file held in memory. Open reads the whole file, keeps the field
// descriptors and the text of every field of every live record, and closes the file again; the
// field names, the record count and the texts of one record are then asked of memory. Nothing is
// ever written to the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace varnel {

// Field names and field texts as handed out: GBK byte strings, copies of what the table holds.
using TextList = std::vector<std::string>;

class CDbase {
  public:
    CDbase() noexcept;
    virtual ~CDbase();  // closes an open table
    CDbase(const CDbase&) = delete;
    CDbase& operator=(const CDbase&) = delete;

    // Reads the table at `path`, a GBK path in Windows form; "dbf" is supplied as its extension
    // when it has none. An open table is closed first. Returns 1 when the table was read, 0 on any
    // failure (no such file, a full path longer than 259 bytes, a table that is malformed or
    // cannot be held in memory); after a failure the object holds nothing. Never throws. The
    // second argument is not used.
    int Open(const char* path, int unused = 0);

    // As Open, from `size` bytes of a table already in memory; no path is kept.
    int OpenBytes(const unsigned char* data, std::size_t size);

    // Replaces `names` with the field names in field order: the bytes of each name up to its
    // first zero byte, not trimmed. Returns false, with `names` emptied, when no table is open.
    // May throw std::bad_alloc.
    bool GetFieldNames(TextList& names) const;

    // The number of live (not deleted) records, or -1 when no table is open.
    int GetRecordCount() const noexcept;

    // Fills `values` with the field texts of live record `index` (0-based, in file order) and
    // returns 1. Returns 0 when no table is open (`values` untouched) or when `index` is out of
    // range (`values` then holds exactly one entry per field: the old ones kept, new ones empty).
    // May throw std::bad_alloc.
    int GetRecord(int index, TextList& values) const;

    // Releases the table; returns 1 when one was open, 0 when none was. The file is not touched.
    int Close() noexcept;

  private:
    struct FreeBytes {
        void operator()(unsigned char* p) const noexcept { std::free(p); }
    };
    using Bytes = std::unique_ptr<unsigned char[], FreeBytes>;

    // Parses a whole table. The texts are gathered into `texts` when given, which may be the very
    // memory that `data` points into (texts never run ahead of the bytes they come from);
    // otherwise into a block of its own. Commits only on success; may throw std::bad_alloc.
    int load(const unsigned char* data, std::size_t size, Bytes texts);
    void discard() noexcept;

    Bytes fieldTable_;  // the field descriptors as read, 32 bytes each
    int open_ = 0;
    char path_[260] = {};
    int recordCount_ = -1;
    std::uint16_t fieldCount_ = 0;
    std::uint16_t storedFieldCount_ = 0;  // fields wider than 0 bytes: the others are always ""
    // The texts of the fields wider than 0 bytes, record by record, back to back; the length of
    // each (at most 255, a field's width); where each live record's first text starts.
    Bytes texts_;
    std::vector<std::uint8_t> textLengths_;
    std::vector<std::size_t> recordStarts_;
};

}  // namespace varnel
