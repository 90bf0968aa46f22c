#include "dbf/table_format.h"

#include <cstring>

#include "dbf/gbk.h"

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

std::int32_t i32At(const unsigned char* p) noexcept {
    const std::uint32_t u = std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) |
                            (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[3]} << 24);
    return static_cast<std::int32_t>(u);
}

}  // namespace

TableHeader readHeader(const unsigned char* bytes) noexcept {
    return TableHeader{bytes[0], i32At(bytes + 4), u16At(bytes + 8), u16At(bytes + 10)};
}

std::optional<std::size_t> descriptorSlotCount(const TableHeader& header) noexcept {
    std::size_t fixed = 0;
    if (header.version == kVersionDbase3) {
        fixed = kFixedHeaderBytesDbase3;
    } else if (header.version == kVersionVisual) {
        fixed = kFixedHeaderBytesVisual;
    } else {
        return std::nullopt;
    }
    if (header.headerLength < fixed) return std::nullopt;
    return (header.headerLength - fixed) / kDescriptorSize;
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
