#include "dbf/dbase.h"

#include <cstdio>
#include <cstring>

#include "dbf/table_format.h"
#include "dbf/table_path.h"

namespace varnel {

namespace {

struct CloseFile {
    void operator()(std::FILE* f) const noexcept { std::fclose(f); }
};

}  // namespace

CDbase::CDbase() noexcept = default;

CDbase::~CDbase() {
    Close();
}

int CDbase::Open(const char* path, int /*unused*/) {
    Close();
    path_[0] = '\0';
    if (path == nullptr) return 0;
    try {
        const std::string full = tablePath(path);
        if (full.size() > kMaxTablePath) return 0;
        std::memcpy(path_, full.c_str(), full.size() + 1);

        // The whole file in one read, then parsed in memory with the file already closed.
        std::unique_ptr<std::FILE, CloseFile> file(std::fopen(path_, "rb"));
        // A byte must be readable before the size is believed: Linux opens a folder for
        // reading and gives it an end position of 2^63 - 1.
        if (!file || std::fgetc(file.get()) == EOF || std::fseek(file.get(), 0, SEEK_END) != 0) {
            return 0;
        }
        const long end = std::ftell(file.get());
        if (end < static_cast<long>(kHeaderSize) || std::fseek(file.get(), 0, SEEK_SET) != 0) {
            return 0;
        }
        const auto size = static_cast<std::size_t>(end);
        Bytes bytes(static_cast<unsigned char*>(std::malloc(size)));
        if (!bytes || std::fread(bytes.get(), 1, size, file.get()) != size) return 0;
        file.reset();
        return load(std::move(bytes), size);
    } catch (...) {
        return 0;
    }
}

int CDbase::OpenBytes(const unsigned char* data, std::size_t size) {
    Close();
    path_[0] = '\0';
    if (data == nullptr || size < kHeaderSize) return 0;
    try {
        Bytes bytes(static_cast<unsigned char*>(std::malloc(size)));
        if (!bytes) return 0;
        std::memcpy(bytes.get(), data, size);
        return load(std::move(bytes), size);
    } catch (...) {
        return 0;
    }
}

int CDbase::load(Bytes bytes, std::size_t size) {
    const unsigned char* data = bytes.get();
    if (size < kHeaderSize) return 0;
    const TableHeader header = readHeader(data);
    const auto slots = descriptorSlotCount(header);
    if (!slots || header.recordCount < 0) return 0;
    // Every record must be in the file before anything is sized by the record count; in 64 bits
    // the product cannot overflow (at most 2^31 records of at most 65535 bytes).
    const std::uint64_t recordArea =
        std::uint64_t{static_cast<std::uint32_t>(header.recordCount)} * header.recordLength;
    const std::uint64_t used = header.headerLength + recordArea;
    if (std::uint64_t{size} < used) return 0;
    // From here on every count below is bounded by the file's size: the descriptor slots lie
    // within the header length, and the fields and records within the record area.

    const std::size_t fields = fieldCountBefore(data + kHeaderSize, *slots);
    std::size_t widthSum = 0;
    for (std::size_t j = 0; j < fields; ++j) {
        const std::size_t width = fieldWidth(data + kHeaderSize + j * kDescriptorSize);
        // No writer makes a field 0 bytes wide, and such fields would let a record cost a single
        // byte of file whatever the field count: a small file could then size a large library.
        if (width == 0) return 0;
        widthSum += width;
    }
    // A larger record length is slack at the end of each record, never read.
    if (header.recordLength < 1 + widthSum) return 0;

    Bytes fieldTable;
    if (fields > 0) {
        fieldTable.reset(static_cast<unsigned char*>(std::malloc(fields * kDescriptorSize)));
        if (!fieldTable) return 0;
        std::memcpy(fieldTable.get(), data + kHeaderSize, fields * kDescriptorSize);
    }

    // Live records are numbered past the deleted ones; once one is deleted, each live record's
    // position in the file is kept (a table without fields needs none: its records are empty).
    const auto count = static_cast<std::size_t>(header.recordCount);
    std::vector<std::uint32_t> liveRecords;
    bool mapped = false;
    std::size_t live = 0;
    const unsigned char* flag = data + header.headerLength;
    for (std::size_t r = 0; r < count; ++r, flag += header.recordLength) {
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
    // Bytes after the last record (the end-of-file marker, anything else) are never read.
    if (used < size) {
        if (auto* smaller = static_cast<unsigned char*>(
                std::realloc(bytes.get(), static_cast<std::size_t>(used)))) {
            static_cast<void>(bytes.release());
            bytes.reset(smaller);
        }
    }

    fieldTable_ = std::move(fieldTable);
    table_ = std::move(bytes);
    headerLength_ = header.headerLength;
    recordLength_ = header.recordLength;
    liveRecords_ = std::move(liveRecords);
    fieldCount_ = static_cast<std::uint16_t>(fields);
    recordCount_ = static_cast<int>(live);
    open_ = 1;
    return 1;
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

template <class Put>
bool CDbase::cutRecord(int index, Put put) const {
    if (index < 0 || index >= recordCount_) return false;
    const auto live = static_cast<std::size_t>(index);
    const std::size_t r = liveRecords_.empty() ? live : liveRecords_[live];
    const unsigned char* field = table_.get() + headerLength_ + r * recordLength_ + 1;
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
