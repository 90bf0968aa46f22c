// The common road of every library load: open the table, check its number of fields, build one
// record per live row in the library's own storage, and count them all in together at the end.
#pragma once

#include <cstddef>
#include <cstring>
#include <new>
#include <string_view>
#include <vector>

#include "calc/records/sequence.h"
#include "dbf/dbase.h"

namespace varnel {

// One row as a loader sees it: each field's stored bytes, uncut (CDbase::GetRecordFields).
// Numbers are parsed from them as they are: a number is the prefix of its field after leading
// white space, and cutting a text (at a zero byte, before a lone final lead byte, then of its
// spaces) never shortens that prefix. Texts are cut with fieldText first.
using RowFields = std::vector<std::string_view>;

// The text of a field, as CDbase::GetRecord gives it.
inline std::string_view fieldText(std::string_view field) noexcept {
    return CDbase::cutText(field);
}

// Records built straight into the library's storage, behind its last element, and counted in only
// by commit(). When the library is too small, they are built in a new block of the capacity that
// single appends would reach, and the library moves there on commit: until then the library is
// untouched, so a load that fails leaves it exactly as it was (same elements, same storage), and
// what was built is destroyed and its block freed.
template <class Record>
class RecordsInPlace {
  public:
    RecordsInPlace(Sequence<Record>& library, std::size_t n) : library_(library) {
        const std::size_t size = library.size();
        const std::size_t capacity = library.grownCapacity(n);
        if (capacity == library.capacity()) {
            records_ = library.first + size;
            return;
        }
        if (capacity > static_cast<std::size_t>(-1) / sizeof(Record)) throw std::bad_alloc();
        // The library's own allocation function: it frees this block when it grows or is released.
        block_ = static_cast<Record*>(::operator new(capacity * sizeof(Record)));
        blockCapacity_ = capacity;
        records_ = block_ + size;
    }
    ~RecordsInPlace() {
        for (std::size_t i = 0; i < built_; ++i) SequenceTraits<Record>::destroy(records_[i]);
        ::operator delete(block_);
    }
    RecordsInPlace(const RecordsInPlace&) = delete;
    RecordsInPlace& operator=(const RecordsInPlace&) = delete;

    // The next record, zero-filled; it counts as built (and is destroyed with the rest) from now.
    Record& next() {
        Record* record = records_ + built_++;
        std::memset(static_cast<void*>(record), 0, sizeof(Record));
        return *record;
    }

    // Counts every built record into the library. Never fails.
    void commit() noexcept {
        if (block_ != nullptr) {
            library_.moveTo(block_, blockCapacity_);
            block_ = nullptr;
        }
        library_.last += built_;
        built_ = 0;
    }

  private:
    Sequence<Record>& library_;
    Record* block_ = nullptr;  // a new block for the library, when it has to grow
    std::size_t blockCapacity_ = 0;
    Record* records_ = nullptr;  // where the first new record goes
    std::size_t built_ = 0;
};

// Loads the table at `path` into `library`: 1 when every live row was appended (also when there
// are none), 0 when the path is null or empty, the table cannot be read, or it does not have
// exactly `fieldCount` fields. All or nothing: after a 0, or a std::bad_alloc, the library holds
// what it held before. `build(fields, record)` fills a zero-filled record, already in place in
// the library's storage, from one row's fields, views of the table's bytes (RowFields).
template <class Record, class Build>
int loadTable(Sequence<Record>& library, const char* path, std::size_t fieldCount, Build build) {
    if (path == nullptr || *path == '\0') return 0;
    CDbase table;
    if (table.Open(path, 0) != 1) return 0;
    TextList names;
    if (!table.GetFieldNames(names) || names.size() != fieldCount) return 0;
    const int count = table.GetRecordCount();
    if (count <= 0) return 1;

    RecordsInPlace<Record> added(library, static_cast<std::size_t>(count));
    RowFields fields;
    for (int i = 0; i < count; ++i) {
        if (table.GetRecordFields(i, fields) != 1 || fields.size() != fieldCount) return 0;
        build(static_cast<const RowFields&>(fields), added.next());
    }
    added.commit();
    return 1;
}

}  // namespace varnel
