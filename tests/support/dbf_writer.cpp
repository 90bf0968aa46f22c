#include "support/dbf_writer.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#ifdef _WIN32
#include <process.h>
#define getpid _getpid
#else
#include <unistd.h>
#endif

namespace varnel::test {

namespace {

void putU16(std::string& out, std::uint16_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>(v >> 8);
}

void putI32(std::string& out, std::int32_t v) {
    const auto u = static_cast<std::uint32_t>(v);
    for (int shift = 0; shift < 32; shift += 8) out += static_cast<char>((u >> shift) & 0xFF);
}

}  // namespace

DbfWriter::DbfWriter(std::uint8_t version) : version_(version) {}

DbfWriter& DbfWriter::field(const std::string& name, std::uint8_t width, char type) {
    fields_.push_back(Field{name.substr(0, 11), width, type});
    return *this;
}

DbfWriter& DbfWriter::record(const std::vector<std::string>& values) {
    records_.push_back(Record{false, values});
    return *this;
}

DbfWriter& DbfWriter::deletedRecord(const std::vector<std::string>& values) {
    records_.push_back(Record{true, values});
    return *this;
}

DbfWriter& DbfWriter::headerLength(std::uint16_t length) {
    headerLength_ = length;
    return *this;
}

DbfWriter& DbfWriter::recordLength(std::uint16_t length) {
    recordLength_ = length;
    return *this;
}

DbfWriter& DbfWriter::recordCount(std::int32_t count) {
    recordCount_ = count;
    return *this;
}

std::string DbfWriter::bytes() const {
    std::size_t widthSum = 0;
    for (const Field& f : fields_) widthSum += f.width;

    std::string head;
    head += static_cast<char>(version_);
    head += "\x7C\x06\x01";  // last update 2024-06-01
    putI32(head, recordCount_.value_or(static_cast<std::int32_t>(records_.size())));
    const std::size_t natural = 32 + 32 * fields_.size() + 1 + (version_ == 0x30 ? 263 : 0);
    putU16(head, headerLength_.value_or(static_cast<std::uint16_t>(natural)));
    const std::uint16_t recordLength =
        recordLength_.value_or(static_cast<std::uint16_t>(1 + widthSum));
    putU16(head, recordLength);
    head.append(20, '\0');
    for (const Field& f : fields_) {
        std::string descriptor = f.name;
        descriptor.resize(11, '\0');
        descriptor += f.type;
        descriptor.append(4, '\0');
        descriptor += static_cast<char>(f.width);
        descriptor.append(15, '\0');
        head += descriptor;
    }
    head += '\x0D';
    head.resize(headerLength_.value_or(static_cast<std::uint16_t>(natural)), '\0');

    std::string out = head;
    for (const Record& r : records_) {
        std::string bytes(1, r.deleted ? '*' : ' ');
        for (std::size_t j = 0; j < fields_.size(); ++j) {
            std::string value = j < r.values.size() ? r.values[j] : std::string();
            value.resize(fields_[j].width, ' ');
            bytes += value;
        }
        bytes.resize(recordLength, ' ');
        out += bytes;
    }
    out += '\x1A';
    return out;
}

void DbfWriter::save(const std::string& path) const {
    saveBytes(path, bytes());
}

void saveBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) throw std::runtime_error("cannot write " + path);
}

std::string loadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

namespace {

// The per-process parent folder, removed with everything in it when the process ends.
struct TempRoot {
    std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("varnel-test-" + std::to_string(getpid()));
    ~TempRoot() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};

}  // namespace

std::string tempPath(const std::string& fileName) {
    static TempRoot root;
    static int folders = 0;
    const std::filesystem::path folder = root.path / std::to_string(++folders);
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    // Joined as bytes: a GBK name must not pass through a character set conversion.
    return folder.string() + static_cast<char>(std::filesystem::path::preferred_separator) +
           fileName;
}

}  // namespace varnel::test
