// Debian's shapelib reads the same tables: its field names, live records and texts must be ours.
// It trims texts as we do and keeps whole GBK characters as we do. One rule differs by design:
// shapelib keeps a lead byte whose second byte the field's end or a zero byte cuts off, where we
// drop it (and then the spaces before it). Its texts are adjusted for that rule alone, found by
// walking them forward character by character, and must then equal ours.
#include <gtest/gtest.h>
#include <shapefil.h>

#include <cstdlib>
#include <filesystem>
#include <memory>

#include "dbf/dbase.h"
#include "support/dbf_fixtures.h"
#include "support/dbf_writer.h"

namespace {

using varnel::CDbase;
using varnel::TextList;
using varnel::test::DbfFixture;

struct CloseDbf {
    void operator()(DBFInfo* dbf) const { DBFClose(dbf); }
};

// shapelib's text of a field of `width` raw bytes, adjusted for the one rule that differs.
std::string adjusted(std::string text, const char* field, std::size_t width) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x81 || byte > 0xFE) {
            ++i;
        } else if (i + 1 < text.size()) {
            i += 2;
        } else {
            break;  // a lone lead byte ends the text
        }
    }
    if (i == text.size()) return text;
    // The byte after it in the field: a space is its partner (trimmed by both readers); the
    // field's end or a zero byte cut it off.
    std::size_t start = 0;
    while (start < width && field[start] == ' ') ++start;
    const std::size_t after = start + text.size();
    if (after < width && field[after] != '\0') return text;
    text.pop_back();
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

void expectShapelibAgrees(const std::string& path) {
    CDbase ours;
    ASSERT_EQ(ours.Open(path.c_str()), 1);
    std::unique_ptr<DBFInfo, CloseDbf> theirs(DBFOpen(path.c_str(), "rb"));
    ASSERT_TRUE(theirs);

    TextList names;
    ASSERT_TRUE(ours.GetFieldNames(names));
    const int fields = DBFGetFieldCount(theirs.get());
    ASSERT_EQ(fields, static_cast<int>(names.size()));
    for (int j = 0; j < fields; ++j) {
        char name[XBASE_FLDNAME_LEN_READ + 1] = {};
        DBFGetFieldInfo(theirs.get(), j, name, nullptr, nullptr);
        EXPECT_EQ(names[static_cast<std::size_t>(j)], name) << "field " << j;
    }

    std::vector<std::size_t> widths;
    std::size_t recordLength = 1;
    for (int j = 0; j < fields; ++j) {
        int width = 0;
        DBFGetFieldInfo(theirs.get(), j, nullptr, &width, nullptr);
        widths.push_back(static_cast<std::size_t>(width));
        recordLength += widths.back();
    }
    int live = 0;
    TextList values;
    for (int r = 0; r < DBFGetRecordCount(theirs.get()); ++r) {
        if (DBFIsRecordDeleted(theirs.get(), r)) continue;
        ASSERT_EQ(ours.GetRecord(live++, values), 1);
        const char* field = DBFReadTuple(theirs.get(), r) + 1;
        // Copied before the next call reuses shapelib's record buffer.
        const std::string record(field, recordLength - 1);
        field = record.c_str();
        for (int j = 0; j < fields; ++j) {
            const auto k = static_cast<std::size_t>(j);
            ASSERT_EQ(values[k],
                      adjusted(DBFReadStringAttribute(theirs.get(), r, j), field, widths[k]))
                << "record " << r << " field " << j;
            field += widths[k];
        }
    }
    EXPECT_EQ(ours.GetRecordCount(), live);
}

std::vector<DbfFixture> wellFormed() {
    std::vector<DbfFixture> out;
    for (const DbfFixture& f : varnel::test::dbfFixtures()) {
        if (f.opens) out.push_back(f);
    }
    return out;
}

class Shapelib : public testing::TestWithParam<DbfFixture> {};

TEST_P(Shapelib, ReadsWhatWeRead) {
    const std::string path = varnel::test::tempPath(GetParam().name + ".dbf");
    varnel::test::saveBytes(path, GetParam().bytes);
    expectShapelibAgrees(path);
}

INSTANTIATE_TEST_SUITE_P(Tables, Shapelib, testing::ValuesIn(wellFormed()),
                         varnel::test::fixtureName<testing::TestParamInfo<DbfFixture>>);

// A table large enough to be read into pages of its own (on Linux), ending part way into its last
// 2 MiB, with deleted records among the live ones and GBK texts cut at the field's end.
TEST(ShapelibLarge, ReadsWhatWeRead) {
    varnel::test::DbfWriter w;
    w.field("NAME", 21).field("VALUE", 12, 'N').field("NOTE", 200);
    for (int r = 0; r < 30000; ++r) {
        const std::vector<std::string> row{
            "\xB5\xBC\xCF\xDF" + std::to_string(r) + "\xC6\xF8\xCF\xF3\xC7\xF8\xC7\xF8",
            std::to_string(r * 0.25), std::string(static_cast<std::size_t>(r % 200), 'x')};
        if (r % 97 == 5) {
            w.deletedRecord(row);
        } else {
            w.record(row);
        }
    }
    const std::string bytes = w.bytes();
    ASSERT_GT(bytes.size(), std::size_t{6} << 20);
    ASSERT_NE(bytes.size() % (std::size_t{2} << 20), 0u);
    const std::string path = varnel::test::tempPath("large.dbf");
    varnel::test::saveBytes(path, bytes);
    expectShapelibAgrees(path);
}

// Every real-world table that we open, Chinese, Cyrillic and binary memo fields included.
TEST(ShapelibCorpus, ReadsWhatWeRead) {
    const std::string dir = varnel::test::corpusFolder();
    if (dir.empty()) GTEST_SKIP() << "VARNEL_DBF_CORPUS names no corpus folder";
    int compared = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        std::string ext = entry.path().extension().string();
        for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (ext != ".dbf" || CDbase().Open(entry.path().c_str()) != 1) continue;
        SCOPED_TRACE(entry.path().filename().string());
        expectShapelibAgrees(entry.path().string());
        ++compared;
    }
    EXPECT_GE(compared, 19);
}

}  // namespace
