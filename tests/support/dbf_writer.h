// Builds dBASE table files byte by byte for tests, benchmarks and the fuzz seeds. The header
// fields can be overridden one by one, so malformed tables are as easy to make as good ones.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace varnel::test {

class DbfWriter {
  public:
    explicit DbfWriter(std::uint8_t version = 0x03);

    // Adds a field. The name's bytes are cut to 11 and filled out with zero bytes.
    DbfWriter& field(const std::string& name, std::uint8_t width, char type = 'C');
    // Adds a live record. Values are raw bytes, filled out with spaces on the right or cut to
    // their field's width; missing values are all spaces.
    DbfWriter& record(const std::vector<std::string>& values);
    // Adds a record flagged '*'.
    DbfWriter& deletedRecord(const std::vector<std::string>& values);

    // Header fields written instead of the natural ones. The header area is cut or filled out
    // with zero bytes to the header length, and each record to the record length (with spaces);
    // the records written stay those added, whatever count the header gives.
    DbfWriter& headerLength(std::uint16_t length);
    DbfWriter& recordLength(std::uint16_t length);
    DbfWriter& recordCount(std::int32_t count);

    // The whole file, ended by the 0x1A marker.
    std::string bytes() const;
    // Writes bytes() to `path`; throws std::runtime_error on failure.
    void save(const std::string& path) const;

  private:
    struct Field {
        std::string name;
        std::uint8_t width;
        char type;
    };
    struct Record {
        bool deleted;
        std::vector<std::string> values;
    };

    std::uint8_t version_;
    std::vector<Field> fields_;
    std::vector<Record> records_;
    std::optional<std::uint16_t> headerLength_;
    std::optional<std::uint16_t> recordLength_;
    std::optional<std::int32_t> recordCount_;
};

// Writes `bytes` to `path`; throws std::runtime_error on failure.
void saveBytes(const std::string& path, const std::string& bytes);
// The bytes of the file at `path`; throws std::runtime_error on failure.
std::string loadBytes(const std::string& path);

// A path ending in `fileName` (GBK bytes, kept as they are) in a new, empty folder of its own
// under the system's temporary folder. The folders of one process share a parent, removed when
// the process ends.
std::string tempPath(const std::string& fileName);

}  // namespace varnel::test
