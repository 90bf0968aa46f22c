#include "dbf/table_path.h"

#include <gtest/gtest.h>

namespace {

using varnel::PathParts;

struct PathCase {
    const char* path;
    PathParts parts;
    const char* opened;  // the file a table path names
};

class TablePath : public testing::TestWithParam<PathCase> {};

TEST_P(TablePath, SplitsAndSuppliesTheExtension) {
    const PathCase& c = GetParam();
    const PathParts parts = varnel::splitPath(c.path);
    EXPECT_EQ(parts.drive, c.parts.drive);
    EXPECT_EQ(parts.directory, c.parts.directory);
    EXPECT_EQ(parts.name, c.parts.name);
    EXPECT_EQ(parts.extension, c.parts.extension);
    EXPECT_EQ(varnel::joinPath(parts), c.path);
    EXPECT_EQ(varnel::tablePath(c.path), c.opened);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, TablePath,
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
        PathCase{"", {"", "", "", ""}, ".dbf"},
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
        // Only whole characters are stepped over: a lead byte at the very end stands alone.
        PathCase{"d\\\xB1", {"", "d\\", "\xB1", ""}, "d\\\xB1.dbf"},
        PathCase{"\xB1\\.x", {"", "", "\xB1\\", ".x"}, "\xB1\\.x"}));

TEST(TablePathJoin, PutsSeparatorAndPointWhereMissing) {
    EXPECT_EQ(varnel::joinPath(PathParts{"D:", "\\lib", "w", "dbf"}), "D:\\lib\\w.dbf");
    EXPECT_EQ(varnel::joinPath(PathParts{"", "lib/", "w", ".dbf"}), "lib/w.dbf");
}

}  // namespace
