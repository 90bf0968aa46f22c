// Why a table is refused: each refused fixture with its refusal and figures (worked out by hand
// from the fixture's header), the path cases through real files, and checkTable agreeing with
// Open on every fixture and every table of the shared corpus.
#include "dbf/table_check.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

#include "dbf/dbase.h"
#include "dbf/table_path.h"
#include "support/dbf_fixtures.h"
#include "support/dbf_writer.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace varnel {
// Refusals print by name in failure messages.
inline void PrintTo(TableRefusal refusal, std::ostream* os) {
    *os << refusalName(refusal);
}
}  // namespace varnel

namespace {

namespace fs = std::filesystem;
using varnel::CDbase;
using varnel::TableCheck;
using varnel::TableRefusal;
using varnel::test::DbfFixture;
using varnel::test::DbfWriter;
using varnel::test::tempPath;

const unsigned char* bytesOf(const std::string& s) {
    return reinterpret_cast<const unsigned char*>(s.data());
}

// What every refusal's reason must be: one line of text, starting in lower case, without the
// path (which has a member of its own).
void expectWellFormedReason(const TableCheck& check) {
    if (check) {
        EXPECT_TRUE(check.reason.empty()) << check.reason;
        return;
    }
    ASSERT_FALSE(check.reason.empty()) << refusalName(check.refusal);
    EXPECT_TRUE(std::islower(static_cast<unsigned char>(check.reason.front()))) << check.reason;
    for (const char c : check.reason) {
        EXPECT_TRUE(c >= 0x20 && c < 0x7F) << "not one line of ASCII: " << check.reason;
    }
    if (!check.path.empty()) {
        EXPECT_EQ(check.reason.find(check.path), std::string::npos);
    }
}

struct RefusalCase {
    const char* fixture;
    TableRefusal refusal;
    std::int64_t value;
    std::int64_t limit;
    std::size_t fieldCount;
    const char* reason;
};

void PrintTo(const RefusalCase& c, std::ostream* os) {
    *os << c.fixture;
}

class RefusedFixture : public testing::TestWithParam<RefusalCase> {};

TEST_P(RefusedFixture, SaysWhyWithItsFigures) {
    const RefusalCase& c = GetParam();
    const std::string& bytes = varnel::test::dbfFixture(c.fixture);
    const TableCheck check = varnel::checkTableBytes(bytesOf(bytes), bytes.size());
    EXPECT_EQ(check.refusal, c.refusal);
    EXPECT_EQ(check.value, c.value);
    EXPECT_EQ(check.limit, c.limit);
    EXPECT_EQ(check.fieldCount, c.fieldCount);
    EXPECT_EQ(check.recordCount, -1);
    EXPECT_EQ(check.reason, c.reason);
    EXPECT_TRUE(check.path.empty());
    expectWellFormedReason(check);
}

// Figures from the fixtures' headers: oneField() is a field of 4 bytes (header length 65,
// record length 5) and two records, 76 bytes with the end marker.
const RefusalCase kRefusals[] = {
    {"empty_file", TableRefusal::ShorterThanHeader, 0, 32, 0,
     "the file is 0 bytes, shorter than the 32-byte header"},
    {"header_cut_at_31_bytes", TableRefusal::ShorterThanHeader, 31, 32, 0,
     "the file is 31 bytes, shorter than the 32-byte header"},
    {"version_131", TableRefusal::UnsupportedVersion, 0x83, 0, 0,
     "version byte 0x83 is not one this reader reads (0x03, 0x30)"},
    {"version_2", TableRefusal::UnsupportedVersion, 0x02, 0, 0,
     "version byte 0x02 is not one this reader reads (0x03, 0x30)"},
    {"version_49", TableRefusal::UnsupportedVersion, 0x31, 0, 0,
     "version byte 0x31 is not one this reader reads (0x03, 0x30)"},
    {"version_139", TableRefusal::UnsupportedVersion, 0x8B, 0, 0,
     "version byte 0x8B is not one this reader reads (0x03, 0x30)"},
    {"version_0", TableRefusal::UnsupportedVersion, 0x00, 0, 0,
     "version byte 0x00 is not one this reader reads (0x03, 0x30)"},
    {"header_length_32", TableRefusal::HeaderLength, 32, 33, 0,
     "header length 32 is below 33, the least for a version 0x03 table"},
    {"header_length_295_visual_30", TableRefusal::HeaderLength, 295, 296, 0,
     "header length 295 is below 296, the least for a version 0x30 table"},
    {"negative_record_count", TableRefusal::NegativeRecordCount, -1, 0, 1,
     "record count -1 is negative"},
    {"most_negative_record_count", TableRefusal::NegativeRecordCount, INT32_MIN, 0, 1,
     "record count -2147483648 is negative"},
    // 76 bytes less 2: the last record's last byte is gone.
    {"last_record_cut", TableRefusal::Truncated, 74, 75, 1,
     "the file is 74 bytes, 1 short of the 75 its header gives (header length 65 + 2 records of "
     "5 bytes)"},
    // 65 + 2147483647 × 5.
    {"record_count_7fffffff", TableRefusal::Truncated, 76, 10737418300, 1,
     "the file is 76 bytes, 10737418224 short of the 10737418300 its header gives (header "
     "length 65 + 2147483647 records of 5 bytes)"},
    // 65 + 2147483647 × 65535, no records written: 65 bytes and the end marker.
    {"record_area_beyond_32_bits", TableRefusal::Truncated, 66, 140735340806210, 1,
     "the file is 66 bytes, 140735340806144 short of the 140735340806210 its header gives "
     "(header length 65 + 2147483647 records of 65535 bytes)"},
    {"record_length_without_flag", TableRefusal::RecordLength, 4, 5, 1,
     "record length 4 is below 5, the flag byte and the field widths"},
    {"record_length_0", TableRefusal::RecordLength, 0, 1, 0,
     "record length 0 is below 1, the flag byte and the field widths"},
    {"zero_width_fields", TableRefusal::ZeroWidthField, 1, 3, 3,
     "field 1 of 3 (\"EMPTY\") is 0 bytes wide; every field is 1 to 255 bytes"},
    {"zero_width_last_field", TableRefusal::ZeroWidthField, 3, 3, 3,
     "field 3 of 3 (\"LAST\") is 0 bytes wide; every field is 1 to 255 bytes"},
    {"zero_width_only_field", TableRefusal::ZeroWidthField, 1, 1, 1,
     "field 1 of 1 (\"ONLY\") is 0 bytes wide; every field is 1 to 255 bytes"},
};

INSTANTIATE_TEST_SUITE_P(Fixtures, RefusedFixture, testing::ValuesIn(kRefusals),
                         [](const testing::TestParamInfo<RefusalCase>& p) {
                             return std::string(p.param.fixture);
                         });

// Every fixture: those that open say None with their shape, and every refused one has its row
// above (a new malformed fixture needs its expected refusal written down).
TEST(CheckedFixtures, EachRefusedOneHasItsRow) {
    std::map<std::string, TableRefusal> rows;
    for (const RefusalCase& c : kRefusals) rows[c.fixture] = c.refusal;
    for (const DbfFixture& f : varnel::test::dbfFixtures()) {
        SCOPED_TRACE(f.name);
        const TableCheck check = varnel::checkTableBytes(bytesOf(f.bytes), f.bytes.size());
        if (f.opens) {
            EXPECT_EQ(check.refusal, TableRefusal::None);
            EXPECT_EQ(check.fieldCount, static_cast<std::size_t>(f.fields));
            EXPECT_EQ(check.recordCount, f.records);
        } else {
            EXPECT_EQ(rows.count(f.name), 1u) << "no expected refusal written for " << f.name;
        }
    }
}

TEST(CheckedFixtures, ZeroWidthFieldNameIsKeptAsBytes) {
    DbfWriter w;
    w.field("A", 1).field("\xC3\xFB", 0).record({"x"});  // 名, in GBK
    const std::string bytes = w.bytes();
    const TableCheck check = varnel::checkTableBytes(bytesOf(bytes), bytes.size());
    EXPECT_EQ(check.refusal, TableRefusal::ZeroWidthField);
    EXPECT_EQ(check.fieldName, "\xC3\xFB");
    // The English reason leaves out a name it cannot show as ASCII.
    EXPECT_EQ(check.reason, "field 2 of 2 is 0 bytes wide; every field is 1 to 255 bytes");
}

// The loaders' field count rule, when the caller gives one.
TEST(CheckedFixtures, FieldCountIsCheckedWhenExpected) {
    const std::string& five = varnel::test::dbfFixture("five_fields");
    const TableCheck any = varnel::checkTableBytes(bytesOf(five), five.size());
    EXPECT_EQ(any.refusal, TableRefusal::None);
    const TableCheck exact = varnel::checkTableBytes(bytesOf(five), five.size(), 5);
    EXPECT_EQ(exact.refusal, TableRefusal::None);

    const TableCheck other = varnel::checkTableBytes(bytesOf(five), five.size(), 15);
    EXPECT_EQ(other.refusal, TableRefusal::FieldCount);
    EXPECT_EQ(other.value, 5);
    EXPECT_EQ(other.limit, 15);
    EXPECT_EQ(other.fieldCount, 5u);
    EXPECT_EQ(other.recordCount, 3) << "the table itself opens";
    EXPECT_EQ(other.reason, "the table has 5 fields, not the 15 expected");

    const std::string& one = varnel::test::dbfFixture("third_and_eighth_deleted");
    EXPECT_EQ(varnel::checkTableBytes(bytesOf(one), one.size(), 11).reason,
              "the table has 1 field, not the 11 expected");
    // A table refused for itself keeps that reason whatever the count expected.
    const std::string& cut = varnel::test::dbfFixture("last_record_cut");
    EXPECT_EQ(varnel::checkTableBytes(bytesOf(cut), cut.size(), 11).refusal,
              TableRefusal::Truncated);
    EXPECT_EQ(varnel::checkTableBytes(nullptr, 0).refusal, TableRefusal::ShorterThanHeader);
}

// Files: the path tried is always in the result, ".dbf" supplied.
const std::string kTable = DbfWriter().field("NAME", 8).record({"one"}).bytes();

TEST(CheckedFile, OpensWithItsShape) {
    const std::string path = tempPath("good.dbf");
    varnel::test::saveBytes(path, kTable);
    const TableCheck check = varnel::checkTable(path.substr(0, path.size() - 4).c_str());
    EXPECT_EQ(check.refusal, TableRefusal::None);
    EXPECT_EQ(check.path, path);
    EXPECT_EQ(check.fieldCount, 1u);
    EXPECT_EQ(check.recordCount, 1);
    EXPECT_TRUE(check.reason.empty());
    EXPECT_TRUE(check);
    const TableCheck wrongShape = varnel::checkTable(path.c_str(), 11);
    EXPECT_EQ(wrongShape.refusal, TableRefusal::FieldCount);
    EXPECT_EQ(wrongShape.path, path);
}

TEST(CheckedFile, MissingFileGivesTheSystemsReason) {
    const std::string path = tempPath("missing");
    const TableCheck check = varnel::checkTable(path.c_str());
    EXPECT_EQ(check.refusal, TableRefusal::NoFile);
    EXPECT_EQ(check.path, path + ".dbf");
    EXPECT_EQ(check.systemError, ENOENT);
    EXPECT_EQ(check.reason, "cannot open the file: " + std::generic_category().message(ENOENT));
    EXPECT_FALSE(check);
    expectWellFormedReason(check);

    const TableCheck none = varnel::checkTable(nullptr);
    EXPECT_EQ(none.refusal, TableRefusal::NoFile);
    EXPECT_EQ(none.systemError, 0);
    EXPECT_EQ(none.reason, "no path was given");
    EXPECT_TRUE(none.path.empty());
}

TEST(CheckedFile, PathLongerThan259Bytes) {
    const std::string folder = tempPath("");
    const std::string path = folder + std::string(256 - folder.size(), 'n');  // 260 with ".dbf"
    const TableCheck check = varnel::checkTable(path.c_str());
    EXPECT_EQ(check.refusal, TableRefusal::PathTooLong);
    EXPECT_EQ(check.path, path + ".dbf");
    EXPECT_EQ(check.value, 260);
    EXPECT_EQ(check.limit, 259);
    EXPECT_EQ(check.reason,
              "the full path is 260 bytes, longer than the 259 a table's path may have");
    // One byte less is a path like any other.
    const std::string fits = path.substr(0, path.size() - 1);
    varnel::test::saveBytes(fits + ".dbf", kTable);
    EXPECT_EQ(varnel::checkTable(fits.c_str()).refusal, TableRefusal::None);
}

TEST(CheckedFile, FolderIsNoRegularFile) {
    const std::string folder = tempPath("d.dbf");
    fs::create_directory(folder);
    const TableCheck check = varnel::checkTable(folder.c_str());
    EXPECT_EQ(check.refusal, TableRefusal::NotRegularFile);
    EXPECT_EQ(check.path, folder);
    EXPECT_EQ(check.reason, "the path names a folder, not a regular file");
    CDbase table;
    EXPECT_EQ(table.Open(folder.c_str()), 0);
}

#ifdef _WIN32
// NUL, with any extension, is the null device.
TEST(CheckedFile, NullDeviceIsNoRegularFile) {
    const TableCheck check = varnel::checkTable("NUL");
    EXPECT_EQ(check.refusal, TableRefusal::NotRegularFile);
    EXPECT_EQ(check.path, "NUL.dbf");
    EXPECT_EQ(check.reason, "the path names a device, not a regular file");
}
#else
TEST(CheckedFile, PipeAndDevicesAreNoRegularFiles) {
    const std::string fifo = tempPath("p.dbf");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const TableCheck pipe = varnel::checkTable(fifo.c_str());
    EXPECT_EQ(pipe.refusal, TableRefusal::NotRegularFile);
    EXPECT_EQ(pipe.reason, "the path names a named pipe, not a regular file");

    // Devices, whatever a read of them would give.
    for (const char* device : {"/dev/null", "/dev/zero", "/dev/urandom"}) {
        const std::string link = tempPath("device.dbf");
        fs::create_symlink(device, link);
        const TableCheck check = varnel::checkTable(link.c_str());
        EXPECT_EQ(check.refusal, TableRefusal::NotRegularFile) << device;
        EXPECT_EQ(check.reason, "the path names a device, not a regular file");
        EXPECT_EQ(check.path, link);
        CDbase table;
        EXPECT_EQ(table.Open(link.c_str()), 0) << device;
    }
}
#endif

// checkTable and Open never disagree: on every fixture as a file, and on the shared corpus.
void expectAgreement(const std::string& path) {
    SCOPED_TRACE(path);
    CDbase table;
    const int opened = table.Open(path.c_str());
    const TableCheck check = varnel::checkTable(path.c_str());
    EXPECT_EQ(check.refusal == TableRefusal::None, opened == 1) << check.reason;
    EXPECT_EQ(check.path, varnel::tablePath(path));
    expectWellFormedReason(check);
    if (opened != 1) return;
    varnel::TextList names;
    table.GetFieldNames(names);
    EXPECT_EQ(check.fieldCount, names.size());
    EXPECT_EQ(check.recordCount, table.GetRecordCount());
}

TEST(CheckAgreesWithOpen, OnEveryFixtureFile) {
    for (const DbfFixture& f : varnel::test::dbfFixtures()) {
        const std::string path = tempPath(f.name + ".dbf");
        varnel::test::saveBytes(path, f.bytes);
        expectAgreement(path);
        CDbase table;
        EXPECT_EQ(
            varnel::checkTableBytes(bytesOf(f.bytes), f.bytes.size()).refusal == TableRefusal::None,
            table.OpenBytes(bytesOf(f.bytes), f.bytes.size()) == 1);
    }
}

TEST(CheckAgreesWithOpen, OnTheSharedCorpus) {
    const std::string dir = varnel::test::corpusFolder();
    if (dir.empty()) GTEST_SKIP() << "VARNEL_DBF_CORPUS names no corpus folder";
    int tables = 0;
    for (const auto& entry : fs::directory_iterator(dir)) {
        std::string ext = entry.path().extension().string();
        for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (ext != ".dbf") continue;
        expectAgreement(dir + "/" + entry.path().filename().string());
        ++tables;
    }
    EXPECT_GE(tables, 23);
}

}  // namespace
