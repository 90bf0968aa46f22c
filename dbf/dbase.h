// CDbase: one dBASE table file held in memory. Open reads the whole file in one read, closes it
// and checks the table; the field names, the record count and the texts of one record are then
// asked of memory. A record's texts are cut from its bytes when it is asked for: the bytes are
// the most compact store of the texts, and a loader asks for each record once. Nothing is ever
// written to the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "dbf/table_check.h"
#include "dbf/table_file.h"

namespace varnel {

// Field names and field texts as handed out: GBK byte strings, copies of what the table holds.
using TextList = std::vector<std::string>;

class CDbase {
  public:
    CDbase() noexcept;
    virtual ~CDbase();  // closes an open table
    CDbase(const CDbase&) = delete;
    CDbase& operator=(const CDbase&) = delete;

    // Reads the table at `path`, a path in Windows form in the platform's encoding (GBK on
    // Windows, UTF-8 on Linux: table_path.h); "dbf" is supplied as its extension when it has none.
    // An open table is closed first. Returns 1 when the table was read, 0 on any failure (no such
    // file, a full path longer than 259 bytes, not a regular file, a table that is malformed or
    // cannot be held in memory: checkTable says which); after a failure the object holds nothing.
    // Never throws. The second argument is not used.
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

    // As GetRecord, but each text is a view of the table's own bytes (a cut text is always a
    // stretch of its field), valid until the table is closed or another is opened. Spares the
    // copies when the texts are only looked at once, as a loader does.
    int GetRecordViews(int index, std::vector<std::string_view>& values) const;

    // As GetRecordViews, but each view is the whole field as stored (its width in bytes, nothing
    // cut), for a reader that does its own cutting or none: a number's text is a prefix of its
    // field after leading white space, which cutting never shortens. cutText gives the text.
    int GetRecordFields(int index, std::vector<std::string_view>& fields) const;

    // The text that GetRecord gives for a field whose stored bytes are `field`.
    static std::string_view cutText(std::string_view field) noexcept;

    // Releases the table; returns 1 when one was open, 0 when none was. The file is not touched.
    int Close() noexcept;

  private:
    // Open and OpenBytes, saying why a table is refused: checkTable is this account.
    friend TableCheck checkTable(const char* path, int expectedFields) noexcept;
    friend TableCheck checkTableBytes(const unsigned char* data, std::size_t size,
                                      int expectedFields) noexcept;
    TableCheck openFile(const char* path) noexcept;
    TableCheck openMemory(const unsigned char* data, std::size_t size) noexcept;

    // Checks the table in `bytes` (`size` of them) and keeps them when it is one; the texts are
    // cut from its records when asked for. Commits only on success, and then sets the check's
    // record count; may throw std::bad_alloc.
    void load(TableBytes bytes, std::size_t size, TableCheck& check);
    void discard() noexcept;
    // The cut texts of live record `index` to `put(field, text)`; false when out of range.
    template <class Put>
    bool cutRecord(int index, Put put) const;
    // The first byte of live record `index`'s first field; null when out of range.
    const unsigned char* recordFields(int index) const noexcept;

    TableBytes fieldTable_;  // the field descriptors as read, 32 bytes each
    int open_ = 0;
    char path_[260] = {};
    int recordCount_ = -1;
    std::uint16_t fieldCount_ = 0;
    // The table's bytes, and the file position of each live record when some are deleted
    // (otherwise live record i is record i).
    TableBytes table_;
    std::size_t headerLength_ = 0;
    std::size_t recordLength_ = 0;
    std::vector<std::uint32_t> liveRecords_;
};

}  // namespace varnel
