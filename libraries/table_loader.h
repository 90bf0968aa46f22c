// The common road of every library load: open the table, check its number of fields, turn each
// live row into one record, and append the records to the library all together.
#pragma once

#include <cstddef>
#include <cstring>
#include <string_view>
#include <vector>

#include "calc/records/sequence.h"
#include "dbf/dbase.h"

namespace varnel {

// The texts of one row as a loader sees them.
using RowTexts = std::vector<std::string_view>;

// Records built from rows, owned until the library takes them over.
template <class Record>
class StagedRecords {
  public:
    explicit StagedRecords(std::size_t n) : records_(n) {
        if (n > 0) std::memset(static_cast<void*>(records_.data()), 0, n * sizeof(Record));
    }
    ~StagedRecords() {
        for (std::size_t i = 0; i < built_; ++i) SequenceTraits<Record>::destroy(records_[i]);
    }
    StagedRecords(const StagedRecords&) = delete;
    StagedRecords& operator=(const StagedRecords&) = delete;

    // The next zero-filled record; it counts as built (and is destroyed with the rest) from now.
    Record& next() { return records_[built_++]; }

    // Hands every built record to the library. On std::bad_alloc nothing has moved.
    void appendTo(Sequence<Record>& library) {
        library.adopt(records_.data(), built_);
        built_ = 0;
    }

  private:
    std::vector<Record> records_;
    std::size_t built_ = 0;
};

// Loads the table at `path` into `library`: 1 when every live row was appended (also when there
// are none), 0 when the path is null or empty, the table cannot be read, or it does not have
// exactly `fieldCount` fields. All or nothing: after a 0, or a std::bad_alloc, the library holds
// what it held before. `build(texts, record)` fills a zero-filled record from one row's texts,
// views of the table's bytes (RowTexts).
template <class Record, class Build>
int loadTable(Sequence<Record>& library, const char* path, std::size_t fieldCount, Build build) {
    if (path == nullptr || *path == '\0') return 0;
    CDbase table;
    if (table.Open(path, 0) != 1) return 0;
    TextList names;
    if (!table.GetFieldNames(names) || names.size() != fieldCount) return 0;
    const int count = table.GetRecordCount();
    if (count <= 0) return 1;

    StagedRecords<Record> staged(static_cast<std::size_t>(count));
    RowTexts texts;
    for (int i = 0; i < count; ++i) {
        if (table.GetRecordViews(i, texts) != 1 || texts.size() != fieldCount) return 0;
        build(static_cast<const RowTexts&>(texts), staged.next());
    }
    staged.appendTo(library);
    return 1;
}

}  // namespace varnel
