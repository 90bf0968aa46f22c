// The table object on files: the extension and path length rules, the file left as it was, and
// the real-world tables of the shared corpus.
#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <thread>

#include "dbf/dbase.h"
#include "support/dbf_fixtures.h"
#include "support/dbf_writer.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;
using varnel::CDbase;
using varnel::TextList;
using varnel::test::DbfFixture;
using varnel::test::DbfWriter;
using varnel::test::tempPath;

std::string withoutSuffix(const std::string& path, std::size_t n) {
    return path.substr(0, path.size() - n);
}

// Everything a table object gives: its open result, names, record count and every record.
std::vector<TextList> everything(CDbase& table, int opened) {
    std::vector<TextList> all{{std::to_string(opened), std::to_string(table.GetRecordCount())}};
    all.emplace_back();
    table.GetFieldNames(all.back());
    for (int i = 0; i < table.GetRecordCount(); ++i) {
        all.emplace_back();
        table.GetRecord(i, all.back());
    }
    return all;
}

class FixtureFile : public testing::TestWithParam<DbfFixture> {};

// Open keeps the buffer it read the file into; it must give what opening a copy gives.
TEST_P(FixtureFile, OpensAsFromMemory) {
    const DbfFixture& f = GetParam();
    const std::string path = tempPath(f.name + ".dbf");
    varnel::test::saveBytes(path, f.bytes);
    CDbase fromFile;
    CDbase fromMemory;
    const int fileResult = fromFile.Open(path.c_str(), 0);
    EXPECT_EQ(fileResult, f.opens ? 1 : 0);
    const auto* data = reinterpret_cast<const unsigned char*>(f.bytes.data());
    const int memoryResult = fromMemory.OpenBytes(data, f.bytes.size());
    EXPECT_EQ(everything(fromFile, fileResult), everything(fromMemory, memoryResult));
}

INSTANTIATE_TEST_SUITE_P(Tables, FixtureFile, testing::ValuesIn(varnel::test::dbfFixtures()),
                         varnel::test::fixtureName<testing::TestParamInfo<DbfFixture>>);

const std::string kTable = DbfWriter().field("NAME", 8).record({"one"}).bytes();

TEST(DbaseFile, SuppliesTheExtensionOnlyWhenThereIsNone) {
    CDbase table;
    const std::string dbf = tempPath("weather.dbf");
    varnel::test::saveBytes(dbf, kTable);
    EXPECT_EQ(table.Open(withoutSuffix(dbf, 4).c_str()), 1);
    EXPECT_EQ(table.Open(dbf.c_str()), 1);

    const std::string txt = tempPath("weather.txt");
    varnel::test::saveBytes(txt, kTable);
    EXPECT_EQ(table.Open(txt.c_str()), 1);
    EXPECT_EQ(table.Open(withoutSuffix(txt, 4).c_str()), 0);
    EXPECT_EQ(table.Open(tempPath("missing").c_str()), 0);
    const std::string folder = tempPath("folder.dbf");
    fs::create_directory(folder);
    EXPECT_EQ(table.Open(folder.c_str()), 0);
    EXPECT_EQ(table.Open(nullptr), 0);
}

#ifndef _WIN32
// Windows drops a final point from file names.
TEST(DbaseFile, NativeNamesKeepAFinalPoint) {
    CDbase table;
    const std::string point = tempPath("weather.");
    varnel::test::saveBytes(point, kTable);
    EXPECT_EQ(table.Open(point.c_str()), 1);
}

// Linux file names are UTF-8. Walked as GBK, the last byte of 表 (E8 A1 A8) or 区 (E5 8C BA)
// would take the point after it, and "导线表.dbf" would be opened as "导线表.dbf.dbf".
TEST(DbaseFile, NativeNamesAreUtf8) {
    const char* names[] = {
        "\xE5\xAF\xBC\xE7\xBA\xBF\xE8\xA1\xA8",  // 导线表
        "\xE6\xB0\x94\xE8\xB1\xA1\xE5\x8C\xBA",  // 气象区
        "\xE7\xBB\x9D\xE7\xBC\x98\xE5\xAD\x90",  // 绝缘子
    };
    for (const std::string name : names) {
        const std::string dbf = tempPath(name + ".dbf");
        varnel::test::saveBytes(dbf, kTable);
        CDbase table;
        EXPECT_EQ(table.Open(dbf.c_str()), 1) << dbf;
        EXPECT_EQ(table.Open(withoutSuffix(dbf, 4).c_str()), 1) << dbf;
    }
    // A folder "a.表": walked as GBK, its separator would be lost and its point taken for the
    // extension of "a.表/w".
    const std::string folder = tempPath("a.\xE8\xA1\xA8");
    fs::create_directory(folder);
    varnel::test::saveBytes(folder + "/w.dbf", kTable);
    CDbase table;
    EXPECT_EQ(table.Open((folder + "/w").c_str()), 1);
}

// Opening a named pipe for reading waits for a writer, so the reader must refuse it before
// opening it. Should Open wait all the same, a writer comes after ten seconds to free it, and the
// test fails rather than hangs.
TEST(DbaseFile, RefusesANamedPipeWithoutWaiting) {
    const std::string fifo = tempPath("p.dbf");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::mutex mutex;
    std::condition_variable done;
    bool returned = false;
    bool rescued = false;
    std::thread rescuer([&] {
        std::unique_lock<std::mutex> lock(mutex);
        if (done.wait_for(lock, std::chrono::seconds(10), [&] { return returned; })) return;
        rescued = true;
        // A writer can only open once the reader waits in its open; try until it has returned.
        while (!done.wait_for(lock, std::chrono::milliseconds(100), [&] { return returned; })) {
            const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0) ::close(fd);
        }
    });
    CDbase table;
    const int opened = table.Open(withoutSuffix(fifo, 4).c_str());
    {
        const std::lock_guard<std::mutex> lock(mutex);
        returned = true;
    }
    done.notify_one();
    rescuer.join();
    EXPECT_EQ(opened, 0);
    EXPECT_FALSE(rescued) << "Open waited for a writer on the pipe";
}
#endif

TEST(DbaseFile, RefusesAFullPathOver259Bytes) {
    const std::string folder = tempPath("");
    for (const std::size_t length : {255u, 256u}) {
        // A path of `length` bytes without its extension: with ".dbf" it is 4 bytes longer.
        const std::string path = folder + std::string(length - folder.size(), 'n');
        varnel::test::saveBytes(path + ".dbf", kTable);
        CDbase table;
        EXPECT_EQ(table.Open(path.c_str()), length + 4 <= 259 ? 1 : 0) << "length " << length;
        EXPECT_EQ(varnel::test::loadBytes(path + ".dbf"), kTable);
    }
}

TEST(DbaseFile, CloseAndDestructionLeaveTheFileAsItWas) {
    const std::string path = tempPath("kept.dbf");
    varnel::test::saveBytes(path, kTable);
    fs::last_write_time(path, fs::last_write_time(path) - std::chrono::hours(24 * 400));
    const fs::file_time_type stamp = fs::last_write_time(path);
    {
        CDbase table;
        ASSERT_EQ(table.Open(path.c_str()), 1);
        EXPECT_EQ(table.Close(), 1);
        ASSERT_EQ(table.Open(path.c_str()), 1);
    }  // destroyed while open
    EXPECT_EQ(varnel::test::loadBytes(path), kTable);
    EXPECT_EQ(fs::last_write_time(path), stamp);
}

// The shared corpus of real-world tables, as its manifest describes them: fields and records
// less deleted records, or refused by the rules for malformed tables.
struct CorpusCase {
    const char* file;
    bool opens;
    int fields;
    int records;
};

class Corpus : public testing::TestWithParam<CorpusCase> {
  protected:
    static std::string folder() { return varnel::test::corpusFolder(); }
};

TEST_P(Corpus, OpensAsTheManifestSays) {
    const std::string dir = folder();
    if (dir.empty()) GTEST_SKIP() << "VARNEL_DBF_CORPUS names no corpus folder";
    const CorpusCase& c = GetParam();
    const std::string path = dir + "/" + c.file;
    ASSERT_TRUE(fs::exists(path)) << path;
    CDbase table;
    ASSERT_EQ(table.Open(path.c_str()), c.opens ? 1 : 0);
    TextList names;
    table.GetFieldNames(names);
    EXPECT_EQ(names.size(), static_cast<std::size_t>(c.fields));
    EXPECT_EQ(table.GetRecordCount(), c.opens ? c.records : -1);
    TextList values;
    for (int i = 0; i < table.GetRecordCount(); ++i) {
        ASSERT_EQ(table.GetRecord(i, values), 1);
        ASSERT_EQ(values.size(), names.size());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Manifest, Corpus,
    testing::Values(CorpusCase{"tmontaigu__cp936.dbf", true, 1, 1},
                    // Its header's record length leaves out the flag byte.
                    CorpusCase{"tmontaigu__stations_with_deleted.dbf", false, 0, 0},
                    CorpusCase{"tmontaigu__KUNDEN-schema-only.DBF", true, 49, 0},
                    CorpusCase{"tmontaigu__cp850.dbf", true, 1, 1},
                    CorpusCase{"yortus__vfp_gb2312_memo.dbf", true, 8, 4247},
                    CorpusCase{"yortus__vfp9_30.dbf", true, 6, 2},
                    CorpusCase{"yortus__PYACFL.DBF", true, 20, 15},
                    CorpusCase{"yortus__dbase_not_latin1.dbf", true, 10, 1},
                    CorpusCase{"olemb__people.dbf", true, 2, 2},
                    CorpusCase{"olemb__memotest.dbf", true, 3, 2},
                    // Its header ends in 0x0A; the header length alone gives the one field.
                    CorpusCase{"OSGeo__3dpoints.dbf", true, 1, 22},
                    CorpusCase{"OSGeo__mpatch3.dbf", true, 8, 473},
                    // Broken on purpose; read as the header and the descriptor slots say.
                    CorpusCase{"calvinmetcalf__bad.dbf", true, 3, 40},
                    CorpusCase{"infused__dbase_30.dbf", true, 145, 34},
                    CorpusCase{"infused__cp1251.dbf", true, 2, 4},
                    // Versions 0x02, 0x8B and 0x31.
                    CorpusCase{"infused__dbase_02.dbf", false, 0, 0},
                    CorpusCase{"infused__dbase_8b.dbf", false, 0, 0},
                    CorpusCase{"infused__dbase_31.dbf", false, 0, 0},
                    CorpusCase{"yellowfeather__dbase_03.dbf", true, 31, 12},
                    CorpusCase{"yellowfeather__dbase_03_nullchar.dbf", true, 2, 3},
                    CorpusCase{"GeospatialPython__corrupt_too_long.dbf", true, 1, 10},
                    CorpusCase{"mbostock__empty.dbf", true, 0, 0},
                    CorpusCase{"mbostock__utf8-property.dbf", true, 1, 1}),
    [](const testing::TestParamInfo<CorpusCase>& p) {
        std::string name = p.param.file;
        for (char& c : name) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
        return name;
    });

TEST_F(Corpus, GbkTextIsKeptByteForByte) {
    const std::string dir = folder();
    if (dir.empty()) GTEST_SKIP() << "VARNEL_DBF_CORPUS names no corpus folder";
    CDbase table;
    ASSERT_EQ(table.Open((dir + "/tmontaigu__cp936").c_str()), 1);
    TextList values;
    ASSERT_EQ(table.GetRecord(0, values), 1);
    EXPECT_EQ(values, TextList{"\xB2\xE2\xCA\xD4\xD6\xD0\xCE\xC4"});  // 测试中文
}

#ifdef __linux__
// The process's mapped bytes (VmSize).
std::size_t mappedBytes() {
    std::FILE* f = std::fopen("/proc/self/statm", "r");
    std::size_t pages = 0;
    if (f != nullptr) {
        if (std::fscanf(f, "%zu", &pages) != 1) pages = 0;
        std::fclose(f);
    }
    return pages * static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
}

// A large table's own pages are given back on every road out of the object: Close, a new Open,
// the destructor, and an Open that refuses the table after reading it. Forty rounds of a 9 MB
// table that leaked would leave 360 MB more mapped.
TEST(LargeTable, PagesAreGivenBackOnEveryRoad) {
    DbfWriter w;
    w.field("NAME", 30).field("NOTE", 200);
    for (int r = 0; r < 40000; ++r) w.record({"row " + std::to_string(r), "x"});
    std::string bytes = w.bytes();
    ASSERT_GT(bytes.size(), std::size_t{8} << 20);
    const std::string good = tempPath("large_good.dbf");
    varnel::test::saveBytes(good, bytes);
    bytes[8] = 0x7F;  // the header length no longer ends the field descriptors
    const std::string bad = tempPath("large_bad.dbf");
    varnel::test::saveBytes(bad, bytes);

    TextList values;
    const auto rounds = [&] {
        for (int i = 0; i < 10; ++i) {
            CDbase table;
            ASSERT_EQ(table.Open(good.c_str()), 1);
            ASSERT_EQ(table.GetRecord(39999, values), 1);
            EXPECT_EQ(values[0], "row 39999");
            ASSERT_EQ(table.Open(good.c_str()), 1);  // closes the first
            EXPECT_EQ(table.Close(), 1);
            ASSERT_EQ(table.Open(good.c_str()), 1);
            EXPECT_EQ(table.Open(bad.c_str()), 0);
            EXPECT_EQ(table.GetRecordCount(), -1);
            ASSERT_EQ(table.Open(good.c_str()), 1);
        }  // the destructor
    };
    rounds();  // the C library's own blocks for the texts and the like settle
    const std::size_t before = mappedBytes();
    for (int i = 0; i < 3; ++i) rounds();
    EXPECT_LT(mappedBytes(), before + (std::size_t{4} << 20));
}
#endif

}  // namespace
