#include "dbf/table_path.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using varnel::PathEncoding;
using varnel::PathParts;

struct PathCase {
    const char* path;
    PathParts parts;
    const char* opened;  // the file a table path names
};

// Splits `c.path` walked as `encoding` and checks the parts, the round trip and the file named.
void expectSplit(const PathCase& c, PathEncoding encoding) {
    const PathParts parts = varnel::splitPath(c.path, encoding);
    EXPECT_EQ(parts.drive, c.parts.drive);
    EXPECT_EQ(parts.directory, c.parts.directory);
    EXPECT_EQ(parts.name, c.parts.name);
    EXPECT_EQ(parts.extension, c.parts.extension);
    EXPECT_EQ(varnel::joinPath(parts), c.path);
    EXPECT_EQ(varnel::tablePath(c.path, encoding), c.opened);
}

// ASCII paths split the same in both encodings.
class AsciiPath : public testing::TestWithParam<PathCase> {};

TEST_P(AsciiPath, SplitsTheSameInBothEncodings) {
    expectSplit(GetParam(), PathEncoding::Gbk);
    expectSplit(GetParam(), PathEncoding::Utf8);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, AsciiPath,
    testing::Values(
        PathCase{"C:\\data\\weather", {"C:", "\\data\\", "weather", ""}, "C:\\data\\weather.dbf"},
        // A point in a directory is no extension.
        PathCase{"C:\\data.old\\weather",
                 {"C:", "\\data.old\\", "weather", ""},
                 "C:\\data.old\\weather.dbf"},
        PathCase{"weather.txt", {"", "", "weather", ".txt"}, "weather.txt"},
        // A final point is an extension of its own.
        PathCase{"weather.", {"", "", "weather", "."}, "weather."},
        PathCase{"a.b.c", {"", "", "a.b", ".c"}, "a.b.c"},
        PathCase{"C:weather", {"C:", "", "weather", ""}, "C:weather.dbf"},
        PathCase{"/tmp/x.d/w", {"", "/tmp/x.d/", "w", ""}, "/tmp/x.d/w.dbf"},
        PathCase{"C:\\data\\", {"C:", "\\data\\", "", ""}, "C:\\data\\.dbf"},
        PathCase{"", {"", "", "", ""}, ".dbf"}));

// GBK, the Windows walk: two-byte characters are stepped over whole.
class GbkPath : public testing::TestWithParam<PathCase> {};

TEST_P(GbkPath, StepsOverDoubleByteCharacters) {
    expectSplit(GetParam(), PathEncoding::Gbk);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, GbkPath,
    testing::Values(
        // 盶 is B1 5C: its second byte is no separator, so the name keeps it and gets no
        // extension of its own (a byte-wise split would make "c" the name).
        PathCase{"C:\\d\\\xB1\x5C", {"C:", "\\d\\", "\xB1\x5C", ""}, "C:\\d\\\xB1\x5C.dbf"},
        PathCase{"w.\xB1\x5C"
                 "c",
                 {"", "", "w",
                  ".\xB1\x5C"
                  "c"},
                 "w.\xB1\x5C"
                 "c"},
        // 导线表 (B5 BC CF DF B1 ED) before its extension.
        PathCase{"\xB5\xBC\xCF\xDF\xB1\xED.dbf",
                 {"", "", "\xB5\xBC\xCF\xDF\xB1\xED", ".dbf"},
                 "\xB5\xBC\xCF\xDF\xB1\xED.dbf"},
        // Only whole characters are stepped over: a lead byte at the very end stands alone.
        PathCase{"d\\\xB1", {"", "d\\", "\xB1", ""}, "d\\\xB1.dbf"},
        PathCase{"\xB1\\.x", {"", "", "\xB1\\", ".x"}, "\xB1\\.x"}));

// UTF-8, the Linux walk: bytewise, since no byte of a multibyte character is below 0x80.
class Utf8Path : public testing::TestWithParam<PathCase> {};

TEST_P(Utf8Path, NeverTakesAPointOrSeparatorIntoACharacter) {
    expectSplit(GetParam(), PathEncoding::Utf8);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, Utf8Path,
    testing::Values(
        // 导线表 (E5 AF BC E7 BA BF E8 A1 A8): walked as GBK, A8 would take the point.
        PathCase{"\xE5\xAF\xBC\xE7\xBA\xBF\xE8\xA1\xA8.dbf",
                 {"", "", "\xE5\xAF\xBC\xE7\xBA\xBF\xE8\xA1\xA8", ".dbf"},
                 "\xE5\xAF\xBC\xE7\xBA\xBF\xE8\xA1\xA8.dbf"},
        PathCase{"/d/\xE5\xAF\xBC\xE7\xBA\xBF\xE8\xA1\xA8",
                 {"", "/d/", "\xE5\xAF\xBC\xE7\xBA\xBF\xE8\xA1\xA8", ""},
                 "/d/\xE5\xAF\xBC\xE7\xBA\xBF\xE8\xA1\xA8.dbf"},
        // A folder a.表 (E8 A1 A8): walked as GBK, A8 would take the separator, and the point in
        // the folder's name would become the extension.
        PathCase{
            "/d/a.\xE8\xA1\xA8/w", {"", "/d/a.\xE8\xA1\xA8/", "w", ""}, "/d/a.\xE8\xA1\xA8/w.dbf"},
        // The backslash separates on Linux too.
        PathCase{"\xE8\xA1\xA8\\w.x", {"", "\xE8\xA1\xA8\\", "w", ".x"}, "\xE8\xA1\xA8\\w.x"}));

// Paths are walked in the platform's encoding unless told otherwise.
TEST(TablePath, DefaultsToThePlatformEncoding) {
    const std::string utf8 = "\xE8\xA1\xA8.dbf";  // 表.dbf in UTF-8
#ifdef _WIN32
    // As GBK, A8 and the point are one character: these bytes have no extension on Windows.
    EXPECT_EQ(varnel::tablePath(utf8), utf8 + ".dbf");
#else
    EXPECT_EQ(varnel::tablePath(utf8), utf8);
#endif
}

TEST(TablePathJoin, PutsSeparatorAndPointWhereMissing) {
    EXPECT_EQ(varnel::joinPath(PathParts{"D:", "\\lib", "w", "dbf"}), "D:\\lib\\w.dbf");
    EXPECT_EQ(varnel::joinPath(PathParts{"", "lib/", "w", ".dbf"}), "lib/w.dbf");
}

}  // namespace
