// Table paths on Windows are ANSI code page bytes, GBK for the host. The files are made here by
// their UTF-16 names, so the GBK bytes of a name can only find them when the process's code page
// really is 936 (under wine: a zh_CN locale, set by the test's environment).
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <string>

#include "dbf/dbase.h"
#include "support/dbf_writer.h"
#include "varnel.h"

namespace {

using varnel::CDbase;
using varnel::test::DbfWriter;

// A conductor table: 11 fields, one row.
std::string conductorTable() {
    DbfWriter w;
    for (int i = 0; i < 11; ++i) w.field("C" + std::to_string(i), 12);
    w.record({"JL/G1A-240/30", "275.96", "21.6", "922.2", "0", "73000", "19.6", "0", "75190"});
    return w.bytes();
}

// An ASCII path widened character by character.
std::wstring widened(const std::string& ascii) {
    std::wstring wide;
    for (const char c : ascii) wide += static_cast<wchar_t>(static_cast<unsigned char>(c));
    return wide;
}

void saveWide(const std::wstring& path, const std::string& bytes) {
    std::FILE* file = _wfopen(path.c_str(), L"wb");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), file), bytes.size());
    std::fclose(file);
}

class GbkPaths : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(GetACP(), 936u) << "run under LC_ALL=zh_CN.UTF-8 with LOCPATH naming the locale";
        ClearLineAttribLib();
    }
    void TearDown() override { ClearLineAttribLib(); }
};

struct GbkName {
    const wchar_t* wide;
    const char* gbk;
};

TEST_F(GbkPaths, TablesAreFoundByTheirGbkNames) {
    const GbkName names[] = {
        {L"\u5BFC\u7EBF\u8868", "\xB5\xBC\xCF\xDF\xB1\xED"},  // 导线表
        // 盶 is B1 5C: walked byte by byte, its second byte would be a separator.
        {L"\u5BFC\u7EBF\u76F6", "\xB5\xBC\xCF\xDF\xB1\x5C"},  // 导线盶
    };
    const std::string table = conductorTable();
    for (const GbkName& name : names) {
        const std::string folder = varnel::test::tempPath("");
        saveWide(widened(folder) + name.wide + L".dbf", table);
        const std::string path = folder + name.gbk;
        CDbase dbase;
        EXPECT_EQ(dbase.Open((path + ".dbf").c_str()), 1) << path;
        EXPECT_EQ(dbase.Open(path.c_str()), 1) << path;
        EXPECT_EQ(LoadLineAttribFromDBF(path.c_str()), 1) << path;
    }
    EXPECT_EQ(GetLineAttribLib()->last - GetLineAttribLib()->first, 2);

    // The UTF-8 bytes of 导线表 name some other file in this code page.
    const std::string folder = varnel::test::tempPath("");
    saveWide(widened(folder) + L"\u5BFC\u7EBF\u8868.dbf", table);
    CDbase dbase;
    EXPECT_EQ(dbase.Open((folder + "\xE5\xAF\xBC\xE7\xBA\xBF\xE8\xA1\xA8.dbf").c_str()), 0);
}

// A file w.盶 has the extension 盶 and is opened under its own name. Walked byte by byte, the
// 5C byte of 盶 would end a directory "w.\xB1" and leave a name with no extension at all.
TEST_F(GbkPaths, AnExtensionMayEndInA5CByte) {
    const std::string folder = varnel::test::tempPath("");
    saveWide(widened(folder) + L"w.\u76F6", conductorTable());
    CDbase dbase;
    EXPECT_EQ(dbase.Open((folder + "w.\xB1\x5C").c_str()), 1);
}

}  // namespace
