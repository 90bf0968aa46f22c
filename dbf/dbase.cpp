#include "dbf/dbase.h"

#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "dbf/table_format.h"
#include "dbf/table_path.h"
#include "dbf/table_refusal.h"

namespace varnel {

CDbase::CDbase() noexcept = default;

CDbase::~CDbase() {
    Close();
}

int CDbase::Open(const char* path, int /*unused*/) {
    return openFile(path) ? 1 : 0;
}

int CDbase::OpenBytes(const unsigned char* data, std::size_t size) {
    return openMemory(data, size) ? 1 : 0;
}

TableCheck CDbase::openFile(const char* path) noexcept {
    Close();
    path_[0] = '\0';
    TableCheck check;
    try {
        if (path == nullptr) {
            refuse(check, TableRefusal::NoFile, "no path was given");
            return check;
        }
        check.path = tablePath(path);
        if (check.path.size() > kMaxTablePath) {
            refuse(check, TableRefusal::PathTooLong,
                   "the full path is " + std::to_string(check.path.size()) +
                       " bytes, longer than the 259 a table's path may have",
                   static_cast<std::int64_t>(check.path.size()), kMaxTablePath);
            return check;
        }
        std::memcpy(path_, check.path.c_str(), check.path.size() + 1);

        // The whole file in one read, then checked in memory with the file already closed.
        TableBytes bytes;
        std::size_t size = 0;
        if (readTableFile(path_, bytes, size, check)) load(std::move(bytes), size, check);
    } catch (...) {  // std::bad_alloc: nothing was committed
        refuseOutOfMemory(check);
    }
    return check;
}

TableCheck CDbase::openMemory(const unsigned char* data, std::size_t size) noexcept {
    Close();
    path_[0] = '\0';
    TableCheck check;
    try {
        if (data == nullptr) size = 0;
        // Checked before the copy is taken: a refused table costs no copy.
        if (!checkLayout(data, size, check)) return check;
        TableBytes bytes = allocateTableBytes(size);
        if (!bytes) {
            refuseOutOfMemory(check, static_cast<std::int64_t>(size));
            return check;
        }
        std::memcpy(bytes.get(), data, size);
        check = TableCheck{};
        load(std::move(bytes), size, check);
    } catch (...) {  // std::bad_alloc: nothing was committed
        refuseOutOfMemory(check);
    }
    return check;
}

void CDbase::load(TableBytes bytes, std::size_t size, TableCheck& check) {
    const unsigned char* data = bytes.get();
    const std::optional<TableLayout> layout = checkLayout(data, size, check);
    if (!layout) return;
    const std::size_t fields = layout->fieldCount;

    TableBytes fieldTable;
    if (fields > 0) {
        fieldTable.reset(static_cast<unsigned char*>(std::malloc(fields * kDescriptorSize)));
        if (!fieldTable) {
            refuseOutOfMemory(check, static_cast<std::int64_t>(fields * kDescriptorSize));
            return;
        }
        std::memcpy(fieldTable.get(), data + kHeaderSize, fields * kDescriptorSize);
    }

    // Live records are numbered past the deleted ones; once one is deleted, each live record's
    // position in the file is kept (a table without fields needs none: its records are empty).
    const std::size_t count = layout->recordCount;
    std::vector<std::uint32_t> liveRecords;
    bool mapped = false;
    std::size_t live = 0;
    const unsigned char* flag = data + layout->headerLength;
    for (std::size_t r = 0; r < count; ++r, flag += layout->recordLength) {
        if (*flag == kDeletedFlag) {
            if (!mapped && fields > 0) {
                mapped = true;
                liveRecords.reserve(count - 1);
                for (std::uint32_t i = 0; i < live; ++i) liveRecords.push_back(i);
            }
            continue;
        }
        if (mapped) liveRecords.push_back(static_cast<std::uint32_t>(r));
        ++live;
    }
    if (mapped) liveRecords.shrink_to_fit();
    // Bytes after the last record (the end-of-file marker, anything else) are never read. Pages
    // mapped for a large table are kept whole: at most one partly used page is at stake.
    if (layout->used < size && onHeap(bytes)) {
        if (auto* smaller = static_cast<unsigned char*>(std::realloc(bytes.get(), layout->used))) {
            static_cast<void>(bytes.release());
            bytes.reset(smaller);
        }
    }

    fieldTable_ = std::move(fieldTable);
    table_ = std::move(bytes);
    headerLength_ = layout->headerLength;
    recordLength_ = layout->recordLength;
    liveRecords_ = std::move(liveRecords);
    fieldCount_ = static_cast<std::uint16_t>(fields);
    recordCount_ = static_cast<int>(live);
    open_ = 1;
    check.recordCount = recordCount_;
}

bool CDbase::GetFieldNames(TextList& names) const {
    names.clear();
    if (!open_) return false;
    names.reserve(fieldCount_);
    for (std::size_t j = 0; j < fieldCount_; ++j) {
        const unsigned char* descriptor = fieldTable_.get() + j * kDescriptorSize;
        names.emplace_back(reinterpret_cast<const char*>(descriptor), fieldNameLength(descriptor));
    }
    return true;
}

int CDbase::GetRecordCount() const noexcept {
    return recordCount_;
}

const unsigned char* CDbase::recordFields(int index) const noexcept {
    if (index < 0 || index >= recordCount_) return nullptr;
    const auto live = static_cast<std::size_t>(index);
    const std::size_t r = liveRecords_.empty() ? live : liveRecords_[live];
    return table_.get() + headerLength_ + r * recordLength_ + 1;
}

template <class Put>
bool CDbase::cutRecord(int index, Put put) const {
    const unsigned char* field = recordFields(index);
    if (field == nullptr) return false;
    for (std::size_t j = 0; j < fieldCount_; ++j) {
        const std::size_t width = fieldWidth(fieldTable_.get() + j * kDescriptorSize);
        const TextSpan text = cutField(field, width);
        put(j, std::string_view(reinterpret_cast<const char*>(field) + text.offset, text.length));
        field += width;
    }
    return true;
}

int CDbase::GetRecord(int index, TextList& values) const {
    if (!open_) return 0;
    if (values.size() != fieldCount_) values.resize(fieldCount_);
    return cutRecord(index, [&](std::size_t j, std::string_view text) { values[j].assign(text); })
               ? 1
               : 0;
}

int CDbase::GetRecordViews(int index, std::vector<std::string_view>& values) const {
    if (!open_) return 0;
    if (values.size() != fieldCount_) values.resize(fieldCount_);
    return cutRecord(index, [&](std::size_t j, std::string_view text) { values[j] = text; }) ? 1
                                                                                             : 0;
}

int CDbase::GetRecordFields(int index, std::vector<std::string_view>& fields) const {
    if (!open_) return 0;
    if (fields.size() != fieldCount_) fields.resize(fieldCount_);
    const unsigned char* field = recordFields(index);
    if (field == nullptr) return 0;
    for (std::size_t j = 0; j < fieldCount_; ++j) {
        const std::size_t width = fieldWidth(fieldTable_.get() + j * kDescriptorSize);
        fields[j] = std::string_view(reinterpret_cast<const char*>(field), width);
        field += width;
    }
    return 1;
}

std::string_view CDbase::cutText(std::string_view field) noexcept {
    const TextSpan text =
        cutField(reinterpret_cast<const unsigned char*>(field.data()), field.size());
    return field.substr(text.offset, text.length);
}

int CDbase::Close() noexcept {
    if (!open_) return 0;
    discard();
    return 1;
}

void CDbase::discard() noexcept {
    fieldTable_.reset();
    table_.reset();
    liveRecords_ = {};
    headerLength_ = 0;
    recordLength_ = 0;
    fieldCount_ = 0;
    recordCount_ = -1;
    open_ = 0;
}

}  // namespace varnel
