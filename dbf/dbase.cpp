#include "dbf/dbase.h"

#include <cstdio>
#include <cstring>
#include <new>

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
        if (!file || std::fseek(file.get(), 0, SEEK_END) != 0) return 0;
        const long end = std::ftell(file.get());
        if (end < static_cast<long>(kHeaderSize) || std::fseek(file.get(), 0, SEEK_SET) != 0) {
            return 0;
        }
        const auto size = static_cast<std::size_t>(end);
        Bytes bytes(static_cast<unsigned char*>(std::malloc(size)));
        if (!bytes || std::fread(bytes.get(), 1, size, file.get()) != size) return 0;
        file.reset();

        const unsigned char* data = bytes.get();
        return load(data, size, std::move(bytes));
    } catch (...) {
        return 0;
    }
}

int CDbase::OpenBytes(const unsigned char* data, std::size_t size) {
    Close();
    path_[0] = '\0';
    if (data == nullptr) return 0;
    try {
        return load(data, size, nullptr);
    } catch (...) {
        return 0;
    }
}

int CDbase::load(const unsigned char* data, std::size_t size, Bytes texts) {
    if (size < kHeaderSize) return 0;
    const TableHeader header = readHeader(data);
    const auto slots = descriptorSlotCount(header);
    if (!slots || header.recordCount < 0) return 0;
    // Every record must be in the file before anything is sized by the record count; in 64 bits
    // the product cannot overflow (at most 2^31 records of at most 65535 bytes).
    const std::uint64_t recordArea =
        std::uint64_t{static_cast<std::uint32_t>(header.recordCount)} * header.recordLength;
    if (std::uint64_t{size} < header.headerLength + recordArea) return 0;
    // From here on every count below is bounded by the file's size: the descriptor slots lie
    // within the header length, and the texts and records within the record area.

    const std::size_t fields = fieldCountBefore(data + kHeaderSize, *slots);
    std::vector<std::uint8_t> widths(fields);
    std::size_t widthSum = 0;
    std::size_t stored = 0;
    for (std::size_t j = 0; j < fields; ++j) {
        widths[j] = fieldWidth(data + kHeaderSize + j * kDescriptorSize);
        widthSum += widths[j];
        if (widths[j] != 0) ++stored;
    }
    // A larger record length is slack at the end of each record, never read.
    if (header.recordLength < 1 + widthSum) return 0;

    Bytes fieldTable;
    if (fields > 0) {
        fieldTable.reset(static_cast<unsigned char*>(std::malloc(fields * kDescriptorSize)));
        if (!fieldTable) return 0;
        std::memcpy(fieldTable.get(), data + kHeaderSize, fields * kDescriptorSize);
    }

    const auto count = static_cast<std::size_t>(header.recordCount);
    if (!texts && stored > 0 && count > 0) {
        texts.reset(static_cast<unsigned char*>(std::malloc(count * widthSum)));
        if (!texts) return 0;
    }
    std::vector<std::uint8_t> lengths(count * stored);
    std::vector<std::size_t> starts(stored > 0 ? count : 0);

    // When `texts` is the file's own buffer, the header and descriptors are overwritten here:
    // everything needed from them has been copied out above.
    unsigned char* out = texts.get();
    std::size_t written = 0;
    std::size_t k = 0;
    std::size_t live = 0;
    const unsigned char* record = data + header.headerLength;
    for (std::size_t r = 0; r < count; ++r, record += header.recordLength) {
        if (record[0] == kDeletedFlag) continue;
        if (stored > 0) starts[live] = written;
        ++live;
        const unsigned char* field = record + 1;
        for (std::size_t j = 0; j < fields; ++j) {
            if (widths[j] != 0) {
                const TextSpan text = cutField(field, widths[j]);
                if (text.length > 0) std::memmove(out + written, field + text.offset, text.length);
                written += text.length;
                lengths[k++] = static_cast<std::uint8_t>(text.length);
            }
            field += widths[j];
        }
    }

    if (live < count) {
        lengths.resize(live * stored);
        lengths.shrink_to_fit();
        starts.resize(stored > 0 ? live : 0);
        starts.shrink_to_fit();
    }
    if (written == 0) {
        texts.reset();
    } else if (auto* smaller = static_cast<unsigned char*>(std::realloc(texts.get(), written))) {
        // Only the texts are kept; a failed shrink keeps the larger block, which is as good.
        static_cast<void>(texts.release());
        texts.reset(smaller);
    }

    fieldTable_ = std::move(fieldTable);
    texts_ = std::move(texts);
    textLengths_ = std::move(lengths);
    recordStarts_ = std::move(starts);
    fieldCount_ = static_cast<std::uint16_t>(fields);
    storedFieldCount_ = static_cast<std::uint16_t>(stored);
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

int CDbase::GetRecord(int index, TextList& values) const {
    if (!open_) return 0;
    if (values.size() != fieldCount_) values.resize(fieldCount_);
    if (index < 0 || index >= recordCount_) return 0;

    const auto r = static_cast<std::size_t>(index);
    std::size_t k = r * storedFieldCount_;
    const char* text = storedFieldCount_ > 0
                           ? reinterpret_cast<const char*>(texts_.get()) + recordStarts_[r]
                           : nullptr;
    for (std::size_t j = 0; j < fieldCount_; ++j) {
        if (fieldWidth(fieldTable_.get() + j * kDescriptorSize) == 0) {
            values[j].clear();
            continue;
        }
        const std::size_t length = textLengths_[k++];
        if (length == 0) {
            values[j].clear();
            continue;
        }
        values[j].assign(text, length);
        text += length;
    }
    return 1;
}

int CDbase::Close() noexcept {
    if (!open_) return 0;
    discard();
    return 1;
}

void CDbase::discard() noexcept {
    fieldTable_.reset();
    texts_.reset();
    textLengths_ = {};
    recordStarts_ = {};
    fieldCount_ = 0;
    storedFieldCount_ = 0;
    recordCount_ = -1;
    open_ = 0;
}

}  // namespace varnel
