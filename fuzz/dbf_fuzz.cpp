// Opens arbitrary bytes as a table and checks what the table object promises, whatever the
// bytes: after a successful open, one name per field, every field at least 1 byte wide, records
// that fit in the file, one text per field in every record, no text longer than its field, none
// with a space at either end or a zero byte inside, and out-of-range records refused; after a
// failed open, nothing held; and checkTableBytes refusing exactly what OpenBytes refuses.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "dbf/dbase.h"
#include "dbf/table_check.h"

namespace {

void check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "dbf_fuzz: %s\n", what);
        std::abort();
    }
}

// The field count and widths as the descriptor slots give them, read here independently of the
// reader: the slots from offset 32, up to the first one that starts with 0x0D.
std::size_t fieldWidth(const std::uint8_t* data, std::size_t j) {
    return data[32 + 32 * j + 16];
}

void checkOpen(varnel::CDbase& table, const std::uint8_t* data, std::size_t size) {
    check(size >= 32, "a table shorter than its header");
    varnel::TextList names;
    check(table.GetFieldNames(names), "names refused while open");
    const std::size_t fields = names.size();
    check(size >= 32 + 32 * fields, "more names than descriptor slots in the file");
    for (std::size_t j = 0; j < fields; ++j) {
        check(data[32 + 32 * j] != 0x0D, "terminator named");
        check(fieldWidth(data, j) >= 1, "a field 0 bytes wide");
    }
    for (const std::string& name : names) check(name.size() <= 11, "name longer than 11 bytes");

    const int count = table.GetRecordCount();
    check(count >= 0, "negative record count while open");
    const std::int32_t stored =
        static_cast<std::int32_t>(std::uint32_t{data[4]} | std::uint32_t{data[5]} << 8 |
                                  std::uint32_t{data[6]} << 16 | std::uint32_t{data[7]} << 24);
    check(count <= stored, "more live records than the header's count");
    // Each record holds its flag byte and at least one byte per field, all within the file: what
    // a loader builds per row is bounded by the file's size.
    check(static_cast<std::uint64_t>(count) * (1 + fields) <= size, "records beyond the file");

    // Every record when the table is small; otherwise a sample spread over it, so that a table
    // of thousands of records of thousands of empty fields stays quick.
    const std::size_t texts = static_cast<std::size_t>(count) * fields;
    const int step = texts <= 50000 ? 1 : count / 64 + 1;
    varnel::TextList values{"stale"};
    for (int i = 0; i < count; i += step) {
        check(table.GetRecord(i, values) == 1, "record in range refused");
        check(values.size() == fields, "record without one text per field");
        for (std::size_t j = 0; j < fields; ++j) {
            const std::string& text = values[j];
            check(text.size() <= fieldWidth(data, j), "text longer than its field");
            check(text.find('\0') == std::string::npos, "zero byte in a text");
            check(text.empty() || (text.front() != ' ' && text.back() != ' '), "untrimmed text");
        }
    }
    for (const int outside : {-1, count, count + 1}) {
        values.assign(3, "x");
        check(table.GetRecord(outside, values) == 0, "record out of range given");
        check(values.size() == fields, "list not sized to the fields when out of range");
    }
}

void checkNothingHeld(varnel::CDbase& table) {
    check(table.GetRecordCount() == -1, "record count after a failed open");
    varnel::TextList names{"stale"};
    check(!table.GetFieldNames(names) && names.empty(), "names after a failed open");
    varnel::TextList values{"kept"};
    check(table.GetRecord(0, values) == 0 && values.size() == 1, "record after a failed open");
    check(table.Close() == 0, "close after a failed open");
}

// The account of a refusal agrees with the table object: None exactly when it opens, with its
// shape; otherwise one line of English saying why. A loader's field count refuses only a table
// that opens, and only another count.
void checkAccount(const varnel::CDbase& table, bool opened, const std::uint8_t* data,
                  std::size_t size) {
    const varnel::TableCheck account = varnel::checkTableBytes(data, size);
    check((account.refusal == varnel::TableRefusal::None) == opened, "check and open disagree");
    check(account.path.empty(), "a path for bytes in memory");
    if (!opened) {
        check(account.recordCount == -1, "a record count for a refused table");
        check(!account.reason.empty() && account.reason.front() >= 'a' &&
                  account.reason.front() <= 'z',
              "a refusal without a reason in lower case");
        for (const char c : account.reason) check(c >= 0x20 && c < 0x7F, "a reason not one line");
        return;
    }
    varnel::TextList names;
    table.GetFieldNames(names);
    check(account.reason.empty(), "a reason for a table that opens");
    check(account.fieldCount == names.size(), "check's field count is not the table's");
    check(account.recordCount == table.GetRecordCount(), "check's record count is not the table's");
    const int fields = static_cast<int>(names.size());
    check(static_cast<bool>(varnel::checkTableBytes(data, size, fields)), "its own count refused");
    const varnel::TableCheck other = varnel::checkTableBytes(data, size, fields + 1);
    check(other.refusal == varnel::TableRefusal::FieldCount && other.value == fields &&
              other.limit == fields + 1,
          "another field count not refused as such");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    varnel::CDbase table;
    const bool opened = table.OpenBytes(data, size) == 1;
    checkAccount(table, opened, data, size);
    if (opened) {
        checkOpen(table, data, size);
        // Opening again drops the first table and must give the same.
        const int count = table.GetRecordCount();
        check(table.OpenBytes(data, size) == 1 && table.GetRecordCount() == count, "reopen");
        check(table.Close() == 1, "close while open");
    }
    checkNothingHeld(table);
    return 0;
}
