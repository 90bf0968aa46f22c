// A load is all or nothing, also when storage runs out in the middle of it.
#include "libraries/table_loader.h"

#include <gtest/gtest.h>

#include <new>
#include <string>

#include "calc/records/library_records.h"
#include "libraries/weather/weather_area_loader.h"
#include "support/dbf_writer.h"

namespace {

using varnel::test::DbfWriter;
using varnel::test::tempPath;

std::string threeRowTable() {
    DbfWriter w;
    for (int i = 0; i < 15; ++i) w.field("C" + std::to_string(i), 6);
    for (const char* name : {"a", "b", "c"}) {
        std::vector<std::string> row(15, "1");
        row[0] = name;
        w.record(row);
    }
    const std::string path = tempPath("three_rows.dbf");
    w.save(path);
    return path;
}

TEST(TableLoader, StorageFailureMidwayLeavesTheLibraryAsItWas) {
    const std::string path = threeRowTable();
    varnel::WeatherAreaLib library{};
    ASSERT_EQ(varnel::loadWeatherAreas(library, path.c_str(), false), 1);
    const varnel::WeatherAreaLib before = library;

    // The third row's record cannot be built: the two staged before it own condition storage
    // that must be given back (the sanitizer build reports it otherwise), and nothing is added.
    int rows = 0;
    EXPECT_THROW(varnel::loadTable(library, path.c_str(), 15,
                                   [&](const varnel::RowFields& fields, varnel::WeatherArea& area) {
                                       if (++rows == 3) throw std::bad_alloc();
                                       area.conditions.reserveExact(9);
                                       varnel::WeatherCondition c{};
                                       c.temperature = static_cast<double>(fields[1].size());
                                       area.conditions.append(c);
                                   }),
                 std::bad_alloc);
    EXPECT_EQ(library.first, before.first);
    EXPECT_EQ(library.last, before.last);
    EXPECT_EQ(library.endOfStorage, before.endOfStorage);
    EXPECT_EQ(library.size(), 3u);
    library.release();
}

// When the library has room, records are built in its storage behind its last one: a failure
// destroys them there (the sanitizer build reports leaked conditions) and counts none in; a
// success counts them in without moving the library.
TEST(TableLoader, RecordsAreBuiltInPlaceWhenThereIsRoom) {
    const std::string path = threeRowTable();
    varnel::WeatherAreaLib library{};
    ASSERT_EQ(varnel::loadWeatherAreas(library, path.c_str(), false), 1);
    library.truncate(1);
    const varnel::WeatherAreaLib before = library;
    ASSERT_EQ(library.capacity(), 4u);

    int rows = 0;
    EXPECT_THROW(varnel::loadTable(library, path.c_str(), 15,
                                   [&](const varnel::RowFields&, varnel::WeatherArea& area) {
                                       if (++rows == 3) throw std::bad_alloc();
                                       area.conditions.reserveExact(9);
                                   }),
                 std::bad_alloc);
    EXPECT_EQ(library.first, before.first);
    EXPECT_EQ(library.last, before.last);
    EXPECT_EQ(library.endOfStorage, before.endOfStorage);

    ASSERT_EQ(varnel::loadWeatherAreas(library, path.c_str(), false), 1);
    EXPECT_EQ(library.first, before.first) << "three more fit in the four";
    ASSERT_EQ(library.size(), 4u);
    EXPECT_STREQ(library[0].name, "a");
    EXPECT_STREQ(library[1].name, "a");
    EXPECT_STREQ(library[3].name, "c");
    EXPECT_EQ(library[3].conditions.size(), 9u);
    library.release();
}

TEST(TableLoader, CapacityGrowsAsSingleAppendsWould) {
    const std::string path = threeRowTable();
    varnel::WeatherAreaLib library{};
    for (std::size_t loads = 1; loads <= 3; ++loads) {
        ASSERT_EQ(varnel::loadWeatherAreas(library, path.c_str(), true), 1);
        EXPECT_EQ(library.size(), 3 * loads);
    }
    EXPECT_EQ(library.capacity(), 16u) << "1, 2, 4, 8, 16 for nine areas";
    // Clearing releases every area's conditions; the sanitizer build checks nothing leaks.
    library.clear();
    EXPECT_EQ(library.size(), 0u);
    EXPECT_EQ(library.capacity(), 16u);
    library.release();
}

}  // namespace
