#include "dbf/dbase.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "support/dbf_fixtures.h"
#include "support/dbf_writer.h"

#if defined(__SANITIZE_ADDRESS__)
#include <atomic>
#define VARNEL_WATCH_ALLOCATIONS 1
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*malloc_hook)(const volatile void*,
                                                                             std::size_t),
                                                         void (*free_hook)(const volatile void*));
#endif

namespace {

using varnel::CDbase;
using varnel::TextList;
using varnel::test::DbfFixture;
using varnel::test::DbfWriter;

const unsigned char* bytesOf(const std::string& s) {
    return reinterpret_cast<const unsigned char*>(s.data());
}

#ifdef VARNEL_WATCH_ALLOCATIONS
// The largest single heap block taken while watching. Whatever its header claims, a table may
// cost a small multiple of its own size and no more: a record count that the file's size has not
// confirmed must never size anything.
std::atomic<bool> watching{false};
std::atomic<std::size_t> largest{0};

void onMalloc(const volatile void*, std::size_t size) {
    if (watching && size > largest) largest = size;
}
void onFree(const volatile void*) {}
#endif

class Fixture : public testing::TestWithParam<DbfFixture> {};

TEST_P(Fixture, OpensAsExpectedWithinItsSize) {
    const DbfFixture& f = GetParam();
    CDbase table;
#ifdef VARNEL_WATCH_ALLOCATIONS
    static const int installed = __sanitizer_install_malloc_and_free_hooks(onMalloc, onFree);
    ASSERT_NE(installed, 0);
    largest = 0;
    watching = true;
#endif
    const int opened = table.OpenBytes(bytesOf(f.bytes), f.bytes.size());
#ifdef VARNEL_WATCH_ALLOCATIONS
    watching = false;
    EXPECT_LE(largest.load(), 4 * f.bytes.size() + 64);
#endif
    ASSERT_EQ(opened, f.opens ? 1 : 0);
    TextList names{"stale"};
    EXPECT_EQ(table.GetFieldNames(names), f.opens);
    EXPECT_EQ(names.size(), static_cast<std::size_t>(f.fields));
    EXPECT_EQ(table.GetRecordCount(), f.opens ? f.records : -1);
}

// The views a loader reads are the very texts GetRecord copies out, record by record, and both
// keep to the same out-of-range rules.
TEST_P(Fixture, RecordViewsAreTheRecordTexts) {
    const DbfFixture& f = GetParam();
    CDbase table;
    std::vector<std::string_view> views{"stale"};
    EXPECT_EQ(table.GetRecordViews(0, views), 0);
    EXPECT_EQ(views.size(), 1u) << "untouched while no table is open";
    if (table.OpenBytes(bytesOf(f.bytes), f.bytes.size()) != 1) return;
    TextList texts;
    for (int r = 0; r < table.GetRecordCount(); ++r) {
        ASSERT_EQ(table.GetRecord(r, texts), 1);
        ASSERT_EQ(table.GetRecordViews(r, views), 1);
        ASSERT_EQ(views.size(), texts.size());
        for (std::size_t j = 0; j < texts.size(); ++j)
            EXPECT_EQ(views[j], texts[j]) << r << "," << j;
    }
    EXPECT_EQ(table.GetRecordViews(table.GetRecordCount(), views), 0);
    EXPECT_EQ(views.size(), static_cast<std::size_t>(f.fields));
}

// The stored fields are each record's bytes after its flag, one field after the other at the
// widths of the descriptors, and cutting them gives the record's texts.
TEST_P(Fixture, StoredFieldsCutToTheRecordTexts) {
    const DbfFixture& f = GetParam();
    CDbase table;
    std::vector<std::string_view> fields{"stale"};
    EXPECT_EQ(table.GetRecordFields(0, fields), 0);
    EXPECT_EQ(fields.size(), 1u) << "untouched while no table is open";
    if (table.OpenBytes(bytesOf(f.bytes), f.bytes.size()) != 1) return;
    TextList texts;
    for (int r = 0; r < table.GetRecordCount(); ++r) {
        ASSERT_EQ(table.GetRecord(r, texts), 1);
        ASSERT_EQ(table.GetRecordFields(r, fields), 1);
        ASSERT_EQ(fields.size(), texts.size());
        for (std::size_t j = 0; j < texts.size(); ++j) {
            const auto width = static_cast<unsigned char>(f.bytes[32 + 32 * j + 16]);
            EXPECT_EQ(fields[j].size(), width) << r << "," << j;
            if (j > 0) {
                EXPECT_EQ(fields[j].data(), fields[j - 1].data() + fields[j - 1].size());
            }
            EXPECT_EQ(CDbase::cutText(fields[j]), texts[j]) << r << "," << j;
        }
        if (!fields.empty()) {
            EXPECT_NE(fields[0].data()[-1], '*') << "a live record's flag";
        }
    }
    EXPECT_EQ(table.GetRecordFields(-1, fields), 0);
    EXPECT_EQ(table.GetRecordFields(table.GetRecordCount(), fields), 0);
    EXPECT_EQ(fields.size(), static_cast<std::size_t>(f.fields));
}

// The fuzz seeds are the fixtures as files (written by dbf_seed_writer).
TEST_P(Fixture, IsInTheSeedCorpus) {
    std::string folder = VARNEL_DBF_SEEDS;
#ifdef _WIN32
    if (folder.front() == '/') folder = "Z:" + folder;  // wine shows the Unix root as drive Z:
#endif
    EXPECT_EQ(varnel::test::loadBytes(folder + "/" + GetParam().name + ".dbf"), GetParam().bytes)
        << "rewrite the seeds: dbf_seed_writer fuzz/seeds/dbf";
}

INSTANTIATE_TEST_SUITE_P(Tables, Fixture, testing::ValuesIn(varnel::test::dbfFixtures()),
                         varnel::test::fixtureName<testing::TestParamInfo<DbfFixture>>);

struct TextCase {
    std::string bytes;
    std::uint8_t width;
    std::string text;
};

void PrintTo(const TextCase& c, std::ostream* os) {
    *os << testing::PrintToString(c.bytes) << " in " << int{c.width} << " bytes";
}

class FieldText : public testing::TestWithParam<TextCase> {};

TEST_P(FieldText, IsCutByCharactersAndTrimmed) {
    const TextCase& c = GetParam();
    const std::string file = DbfWriter().field("F", c.width).record({c.bytes}).bytes();
    CDbase table;
    ASSERT_EQ(table.OpenBytes(bytesOf(file), file.size()), 1);
    TextList values;
    ASSERT_EQ(table.GetRecord(0, values), 1);
    ASSERT_EQ(values.size(), 1u);
    EXPECT_EQ(values[0], c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FieldText,
    testing::Values(
        TextCase{"  AB CD  ", 9, "AB CD"}, TextCase{"\tAB ", 4, "\tAB"}, TextCase{"     ", 5, ""},
        TextCase{std::string("ab\0cd", 5), 5, "ab"}, TextCase{std::string("\0abc", 4), 4, ""},
        TextCase{std::string(254, ' ') + "Z", 255, "Z"},
        // 测试 fills its field exactly and ends on D4, a second byte in the lead byte range.
        TextCase{"\xB2\xE2\xCA\xD4", 4, "\xB2\xE2\xCA\xD4"}, TextCase{"x\xB2\xE2", 3, "x\xB2\xE2"},
        // 啊 and the lead byte of a second character, cut off by the width.
        TextCase{"\xB0\xA1\xB0", 3, "\xB0\xA1"},
        TextCase{"\xB0\xA1\xB0\xA1\xB0", 5, "\xB0\xA1\xB0\xA1"},
        // 丂 (81 40): its second byte lies below the lead range; the B0 after it is cut off.
        TextCase{"\x81\x40\xB0", 3, "\x81\x40"},
        // A lead byte before a zero byte ends the text.
        TextCase{std::string("a\xB0\0x", 4), 4, "a"}, TextCase{std::string("\xB0\0", 2), 2, ""},
        TextCase{" \xB0\xA1 ", 4, "\xB0\xA1"},
        // A lead byte takes whatever byte follows it; a space taken so is still trimmed.
        TextCase{"A\xB0 ", 3, "A\xB0"}));

TEST(DbaseNames, AreTheBytesBeforeTheFirstZeroUntrimmed) {
    DbfWriter w;
    w.field("ABCDEFGHIJK", 1).field(std::string("AB\0XY", 5), 1).field(" SP ", 1);
    w.field("\xC3\xFB", 1);  // 名
    const std::string file = w.bytes();
    CDbase table;
    ASSERT_EQ(table.OpenBytes(bytesOf(file), file.size()), 1);
    TextList names;
    ASSERT_TRUE(table.GetFieldNames(names));
    EXPECT_EQ(names, (TextList{"ABCDEFGHIJK", "AB", " SP ", "\xC3\xFB"}));
}

TEST(DbaseRecords, SkipDeletedOnesAndKeepFileOrder) {
    CDbase table;
    const std::string& file = varnel::test::dbfFixture("third_and_eighth_deleted");
    ASSERT_EQ(table.OpenBytes(bytesOf(file), file.size()), 1);
    ASSERT_EQ(table.GetRecordCount(), 8);
    const char* expected[] = {"0", "1", "3", "4", "5", "6", "8", "9"};
    TextList values;
    for (int i = 0; i < 8; ++i) {
        ASSERT_EQ(table.GetRecord(i, values), 1);
        EXPECT_EQ(values, TextList{expected[i]}) << "record " << i;
    }
}

TEST(DbaseRecords, AreTheSameTextsInBothVersions) {
    CDbase dbase3;
    CDbase visual;
    const std::string& five = varnel::test::dbfFixture("five_fields");
    const std::string& thirty = varnel::test::dbfFixture("visual_30");
    ASSERT_EQ(dbase3.OpenBytes(bytesOf(five), five.size()), 1);
    ASSERT_EQ(visual.OpenBytes(bytesOf(thirty), thirty.size()), 1);
    TextList a;
    TextList b;
    ASSERT_EQ(dbase3.GetRecord(2, a), 1);
    ASSERT_EQ(visual.GetRecord(2, b), 1);
    EXPECT_EQ(a, (TextList{"pad", "5.5", "", "", "x"}));
    EXPECT_EQ(a, b);
}

TEST(DbaseRecords, ListIsSizedToTheFieldCountEvenOutOfRange) {
    CDbase table;
    const std::string& file = varnel::test::dbfFixture("five_fields");  // 3 records
    ASSERT_EQ(table.OpenBytes(bytesOf(file), file.size()), 1);
    for (const int index : {-1, 3}) {
        TextList values{"p", "q", "r"};
        EXPECT_EQ(table.GetRecord(index, values), 0);
        EXPECT_EQ(values, (TextList{"p", "q", "r", "", ""}));
    }
    TextList values(7, "old");
    ASSERT_EQ(table.GetRecord(1, values), 1);
    EXPECT_EQ(values, (TextList{"Area B", "0", "25", "40", "hot"}));
}

TEST(DbaseRecords, TableWithoutFieldsGivesEmptyRecords) {
    const std::string file = DbfWriter().record({}).record({}).bytes();
    CDbase table;
    ASSERT_EQ(table.OpenBytes(bytesOf(file), file.size()), 1);
    TextList values{"x"};
    EXPECT_EQ(table.GetRecord(1, values), 1);
    EXPECT_TRUE(values.empty());
}

TEST(DbaseRecords, TwoThousandFieldsAreAllCut) {
    CDbase table;
    const std::string& file = varnel::test::dbfFixture("fields_2000");
    ASSERT_EQ(table.OpenBytes(bytesOf(file), file.size()), 1);
    TextList names;
    TextList first;
    TextList second;
    ASSERT_TRUE(table.GetFieldNames(names));
    ASSERT_EQ(table.GetRecord(0, first), 1);
    ASSERT_EQ(table.GetRecord(1, second), 1);
    ASSERT_EQ(names.size(), 2000u);
    EXPECT_EQ(names[1999], "F1999");
    ASSERT_EQ(first.size(), 2000u);
    EXPECT_EQ(first[1999], std::string(1, static_cast<char>('a' + 1999 % 26)));
    EXPECT_EQ(second, TextList(2000));
}

TEST(DbaseLifecycle, NotOpenGivesNothing) {
    CDbase table;
    EXPECT_EQ(table.GetRecordCount(), -1);
    TextList names{"left"};
    EXPECT_FALSE(table.GetFieldNames(names));
    EXPECT_TRUE(names.empty());
    TextList values{"kept", "too"};
    EXPECT_EQ(table.GetRecord(0, values), 0);
    EXPECT_EQ(values, (TextList{"kept", "too"}));
    EXPECT_EQ(table.Close(), 0);
}

TEST(DbaseLifecycle, CloseAndReopenDropTheTableHeld) {
    const std::string& five = varnel::test::dbfFixture("five_fields");
    const std::string two = DbfWriter().field("X", 2).record({"1"}).record({"2"}).bytes();
    CDbase table;
    ASSERT_EQ(table.OpenBytes(bytesOf(five), five.size()), 1);
    ASSERT_EQ(table.OpenBytes(bytesOf(two), two.size()), 1);
    TextList names;
    ASSERT_TRUE(table.GetFieldNames(names));
    EXPECT_EQ(names, TextList{"X"});
    EXPECT_EQ(table.GetRecordCount(), 2);
    EXPECT_EQ(table.Close(), 1);
    EXPECT_EQ(table.GetRecordCount(), -1);
    EXPECT_EQ(table.Close(), 0);

    // A failed open after a good one leaves neither table.
    ASSERT_EQ(table.OpenBytes(bytesOf(five), five.size()), 1);
    EXPECT_EQ(table.OpenBytes(bytesOf(two), two.size() - 2), 0);
    EXPECT_EQ(table.GetRecordCount(), -1);
    EXPECT_FALSE(table.GetFieldNames(names));
    EXPECT_EQ(table.Close(), 0);
}

}  // namespace
