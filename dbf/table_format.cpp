#include "dbf/table_format.h"

#include <cstring>
#include <string>

#include "dbf/gbk.h"
#include "dbf/table_refusal.h"

namespace varnel {

namespace {

constexpr std::uint8_t kVersionDbase3 = 0x03;
constexpr std::uint8_t kVersionVisual = 0x30;
// Header, terminator byte and, in 0x30 tables, the 263-byte area that follows the terminator.
constexpr std::size_t kFixedHeaderBytesDbase3 = kHeaderSize + 1;
constexpr std::size_t kFixedHeaderBytesVisual = kHeaderSize + 263 + 1;

std::uint16_t u16At(const unsigned char* p) noexcept {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::string hexByte(std::uint8_t byte) {
    constexpr char kDigits[] = "0123456789ABCDEF";
    return std::string{'0', 'x', kDigits[byte >> 4], kDigits[byte & 0x0F]};
}

// "1 byte", "2 bytes".
std::string counted(std::uint64_t n, const char* noun) {
    return std::to_string(n) + " " + noun + (n == 1 ? "" : "s");
}

// A field's name for a one-line English reason: quoted when it is printable ASCII, left out
// otherwise (the name's bytes are in the check's fieldName).
std::string nameForReason(const std::string& name) {
    for (const char c : name) {
        if (c < 0x20 || c > 0x7E) return {};
    }
    return " (\"" + name + "\")";
}

std::int32_t i32At(const unsigned char* p) noexcept {
    const std::uint32_t u = std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) |
                            (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[3]} << 24);
    return static_cast<std::int32_t>(u);
}

}  // namespace

TableHeader readHeader(const unsigned char* bytes) noexcept {
    return TableHeader{bytes[0], i32At(bytes + 4), u16At(bytes + 8), u16At(bytes + 10)};
}

std::optional<std::size_t> fixedHeaderBytes(std::uint8_t version) noexcept {
    if (version == kVersionDbase3) return kFixedHeaderBytesDbase3;
    if (version == kVersionVisual) return kFixedHeaderBytesVisual;
    return std::nullopt;
}

std::size_t fieldCountBefore(const unsigned char* descriptors, std::size_t slots) noexcept {
    for (std::size_t i = 0; i < slots; ++i) {
        if (descriptors[i * kDescriptorSize] == kHeaderTerminator) return i;
    }
    return slots;
}

std::size_t fieldNameLength(const unsigned char* descriptor) noexcept {
    const void* zero = std::memchr(descriptor, 0, kFieldNameSize);
    return zero == nullptr
               ? kFieldNameSize
               : static_cast<std::size_t>(static_cast<const unsigned char*>(zero) - descriptor);
}

std::optional<TableLayout> checkLayout(const unsigned char* data, std::size_t size,
                                       TableCheck& check) {
    if (size < kHeaderSize) {
        refuse(check, TableRefusal::ShorterThanHeader,
               "the file is " + counted(size, "byte") + ", shorter than the 32-byte header",
               static_cast<std::int64_t>(size), kHeaderSize);
        return std::nullopt;
    }
    const TableHeader header = readHeader(data);
    const auto fixed = fixedHeaderBytes(header.version);
    if (!fixed) {
        refuse(check, TableRefusal::UnsupportedVersion,
               "version byte " + hexByte(header.version) +
                   " is not one this reader reads (0x03, 0x30)",
               header.version);
        return std::nullopt;
    }
    if (header.headerLength < *fixed) {
        refuse(check, TableRefusal::HeaderLength,
               "header length " + std::to_string(header.headerLength) + " is below " +
                   std::to_string(*fixed) + ", the least for a version " + hexByte(header.version) +
                   " table",
               header.headerLength, static_cast<std::int64_t>(*fixed));
        return std::nullopt;
    }
    // The descriptor slots lie within the header length; once that is in the file, so are they.
    const std::size_t slots = (header.headerLength - *fixed) / kDescriptorSize;
    const unsigned char* descriptors = data + kHeaderSize;
    std::size_t fields = 0;
    if (header.headerLength <= size) {
        fields = fieldCountBefore(descriptors, slots);
        check.fieldCount = fields;
    }

    if (header.recordCount < 0) {
        refuse(check, TableRefusal::NegativeRecordCount,
               "record count " + std::to_string(header.recordCount) + " is negative",
               header.recordCount);
        return std::nullopt;
    }
    // Every record must be in the file before anything is sized by the record count; in 64 bits
    // the product cannot overflow (at most 2^31 records of at most 65535 bytes).
    const std::uint64_t records = static_cast<std::uint32_t>(header.recordCount);
    const std::uint64_t used = header.headerLength + records * header.recordLength;
    if (std::uint64_t{size} < used) {
        refuse(check, TableRefusal::Truncated,
               "the file is " + counted(size, "byte") + ", " + std::to_string(used - size) +
                   " short of the " + std::to_string(used) + " its header gives (header length " +
                   std::to_string(header.headerLength) + " + " + counted(records, "record") +
                   " of " + counted(header.recordLength, "byte") + ")",
               static_cast<std::int64_t>(size), static_cast<std::int64_t>(used));
        return std::nullopt;
    }
    // From here on every count is bounded by the file's size: the descriptor slots lie within the
    // header length (so the fields were counted above), and the records within the record area.

    std::size_t widthSum = 0;
    for (std::size_t j = 0; j < fields; ++j) {
        widthSum += fieldWidth(descriptors + j * kDescriptorSize);
    }
    // A larger record length is slack at the end of each record, never read.
    if (header.recordLength < 1 + widthSum) {
        refuse(check, TableRefusal::RecordLength,
               "record length " + std::to_string(header.recordLength) + " is below " +
                   std::to_string(1 + widthSum) + ", the flag byte and the field widths",
               header.recordLength, static_cast<std::int64_t>(1 + widthSum));
        return std::nullopt;
    }
    // No writer makes a field 0 bytes wide, and such fields would let a record cost a single byte
    // of file whatever the field count: a small file could then size a large library.
    for (std::size_t j = 0; j < fields; ++j) {
        const unsigned char* descriptor = descriptors + j * kDescriptorSize;
        if (fieldWidth(descriptor) != 0) continue;
        check.fieldName.assign(reinterpret_cast<const char*>(descriptor),
                               fieldNameLength(descriptor));
        refuse(check, TableRefusal::ZeroWidthField,
               "field " + std::to_string(j + 1) + " of " + std::to_string(fields) +
                   nameForReason(check.fieldName) +
                   " is 0 bytes wide; every field is 1 to 255 bytes",
               static_cast<std::int64_t>(j + 1), static_cast<std::int64_t>(fields));
        return std::nullopt;
    }
    return TableLayout{header.headerLength, header.recordLength, fields,
                       static_cast<std::size_t>(records), static_cast<std::size_t>(used)};
}

TextSpan cutField(const unsigned char* field, std::size_t width) noexcept {
    const void* zero = std::memchr(field, 0, width);
    std::size_t end =
        zero == nullptr ? width
                        : static_cast<std::size_t>(static_cast<const unsigned char*>(zero) - field);

    // Walking the characters from the first byte would pair the bytes up; the same pairing
    // follows from the end alone. The byte before the final run of lead-range bytes is not a lead
    // byte, so a character ends right after it, and the run then pairs up from its start: an odd
    // run ends on a lead byte whose second byte is missing (cut off by the width or a zero byte).
    std::size_t run = 0;
    while (run < end && isGbkLeadByte(field[end - 1 - run])) ++run;
    if (run % 2 != 0) --end;

    std::size_t begin = 0;
    while (begin < end && field[begin] == ' ') ++begin;
    while (end > begin && field[end - 1] == ' ') --end;
    return TextSpan{begin, end - begin};
}

}  // namespace varnel
