#include "dbf/table_check.h"

#include "dbf/dbase.h"
#include "dbf/table_refusal.h"

namespace varnel {

namespace {

// The loaders' own rule, applied to a table that opened.
void checkFieldCount(TableCheck& check, int expectedFields) noexcept {
    if (!check || expectedFields < 0 ||
        check.fieldCount == static_cast<std::size_t>(expectedFields)) {
        return;
    }
    const auto found = static_cast<std::int64_t>(check.fieldCount);
    try {
        refuse(check, TableRefusal::FieldCount,
               "the table has " + std::to_string(found) + (found == 1 ? " field" : " fields") +
                   ", not the " + std::to_string(expectedFields) + " expected",
               found, expectedFields);
    } catch (...) {
        refuseOutOfMemory(check);
    }
}

}  // namespace

TableCheck checkTable(const char* path, int expectedFields) noexcept {
    CDbase table;
    TableCheck check = table.openFile(path);
    checkFieldCount(check, expectedFields);
    return check;
}

TableCheck checkTableBytes(const unsigned char* data, std::size_t size,
                           int expectedFields) noexcept {
    CDbase table;
    TableCheck check = table.openMemory(data, size);
    checkFieldCount(check, expectedFields);
    return check;
}

const char* refusalName(TableRefusal refusal) noexcept {
    switch (refusal) {
        case TableRefusal::None:
            return "None";
        case TableRefusal::NoFile:
            return "NoFile";
        case TableRefusal::PathTooLong:
            return "PathTooLong";
        case TableRefusal::NotRegularFile:
            return "NotRegularFile";
        case TableRefusal::ShorterThanHeader:
            return "ShorterThanHeader";
        case TableRefusal::UnsupportedVersion:
            return "UnsupportedVersion";
        case TableRefusal::HeaderLength:
            return "HeaderLength";
        case TableRefusal::NegativeRecordCount:
            return "NegativeRecordCount";
        case TableRefusal::Truncated:
            return "Truncated";
        case TableRefusal::RecordLength:
            return "RecordLength";
        case TableRefusal::ZeroWidthField:
            return "ZeroWidthField";
        case TableRefusal::FieldCount:
            return "FieldCount";
        case TableRefusal::OutOfMemory:
            return "OutOfMemory";
    }
    return "?";
}

}  // namespace varnel
