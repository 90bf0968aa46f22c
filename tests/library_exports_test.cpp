// The five libraries through the module's entry points, read in place as a host reads them.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "dbf/table_check.h"
#include "support/dbf_writer.h"
#include "varnel.h"

namespace {

using varnel::test::DbfWriter;
using varnel::test::tempPath;

template <class Seq>
std::size_t count(const Seq* s) {
    return s->first == nullptr ? 0 : static_cast<std::size_t>(s->last - s->first);
}

std::string gbkRepeat(const char* character, int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += character;
    return s;
}

std::string bytesOf(const char* field, std::size_t size) {
    return std::string(field, size);
}

std::string padded(const std::string& text, std::size_t size) {
    std::string s = text;
    s.resize(size, '\0');
    return s;
}

// A table whose columns are named C0, C1, ... and are `width` bytes wide.
DbfWriter table(int fields, std::uint8_t width = 20) {
    DbfWriter w;
    for (int i = 0; i < fields; ++i) w.field("C" + std::to_string(i), width);
    return w;
}

std::string saved(const DbfWriter& w, const std::string& name) {
    const std::string path = tempPath(name);
    w.save(path);
    return path;
}

// A weather area row: column n holds n + 0.5 + 100·row, so every value names its column.
std::vector<std::string> areaRow(const std::string& name, int fields, int row) {
    std::vector<std::string> texts{name};
    for (int n = 1; n < fields; ++n) texts.push_back(std::to_string(n + 100 * row) + ".5");
    return texts;
}

const char* const kChinese[] = {"\xB5\xCD\xCE\xC2", "\xB4\xF3\xB7\xE7", "\xC4\xEA\xC6\xBD",
                                "\xB8\xB2\xB1\xF9", "\xB8\xDF\xCE\xC2", "\xD0\xA3\xD1\xE9",
                                "\xB0\xB2\xD7\xB0", "\xCD\xE2\xB9\xFD", "\xC4\xDA\xB9\xFD"};
const char* const kEnglish[] = {"Lowest Temp",  "Max. wind vel", "Avg. ann",
                                "Thickest ice", "Max. Temp",     "Checkout",
                                "Setting",      "L.O",           "S.O"};

class Libraries : public testing::Test {
  protected:
    void SetUp() override { clearAll(); }
    void TearDown() override { clearAll(); }
    static void clearAll() {
        ClearWeatherAreaLib();
        ClearHZWeatherAreaLib();
        ClearLineAttribLib();
        ClearHBLineAttribLib();
        ClearInsulatorAttribLib();
    }
};

// Expected (ice, wind, temperature) column of each of the nine conditions; -1 is 0, -2 is 15 °C.
struct Columns {
    int ice, wind, temperature;
};
constexpr Columns kNine[] = {{-1, -1, 2},  {-1, 8, 4},  {-1, -1, 14}, {13, 9, 3}, {-1, -1, 1},
                             {-1, -1, -2}, {-1, 10, 5}, {-1, 11, 6},  {-1, 12, 7}};
constexpr Columns kSix[] = {{-1, -1, 1}, {-1, 6, 2},   {-1, -1, 3},
                            {9, 7, 4},   {-1, -1, -2}, {-1, 8, 5}};

double expectedValue(int column, int row) {
    if (column == -1) return 0.0;
    if (column == -2) return 15.0;
    return column + 100 * row + 0.5;
}

void checkArea(const WeatherArea& area, const std::string& name, int row, const Columns* columns,
               std::size_t n, const char* const* names, const int* nameIndex) {
    EXPECT_EQ(bytesOf(area.name, 24), padded(name, 24));
    ASSERT_NE(area.conditions.first, nullptr);
    ASSERT_EQ(static_cast<std::size_t>(area.conditions.last - area.conditions.first), n);
    EXPECT_EQ(area.conditions.end, area.conditions.last) << "condition storage of exactly n";
    for (std::size_t i = 0; i < n; ++i) {
        const WeatherCondition& c = area.conditions.first[i];
        EXPECT_EQ(bytesOf(c.name, 24), padded(names[nameIndex[i]], 24)) << i;
        EXPECT_EQ(c.iceThickness, expectedValue(columns[i].ice, row)) << i;
        EXPECT_EQ(c.windSpeed, expectedValue(columns[i].wind, row)) << i;
        EXPECT_EQ(c.temperature, expectedValue(columns[i].temperature, row)) << i;
    }
}

constexpr int kNineNames[] = {0, 1, 2, 3, 4, 5, 6, 7, 8};
constexpr int kSixNames[] = {0, 1, 2, 3, 5, 6};

TEST_F(Libraries, WeatherAreasInPlace) {
    const std::string area1 = "\xA2\xF1\xC7\xF8";  // Ⅰ区
    auto w = table(15);
    w.record(areaRow(area1, 15, 0)).deletedRecord(areaRow("gone", 15, 9));
    w.record(areaRow("II", 15, 1)).record(areaRow("III", 15, 2));
    const std::string path = saved(w, "areas.dbf");

    const WeatherAreaSeq* lib = GetWeatherAreaLib();
    ASSERT_EQ(LoadWeatherAreaFromDBF(path.c_str(), 0), 1);
    ASSERT_EQ(count(lib), 3u);
    checkArea(lib->first[0], area1, 0, kNine, 9, kChinese, kNineNames);
    checkArea(lib->first[1], "II", 1, kNine, 9, kChinese, kNineNames);
    checkArea(lib->first[2], "III", 2, kNine, 9, kChinese, kNineNames);

    // Loading again appends the same rows after them.
    ASSERT_EQ(LoadWeatherAreaFromDBF(path.c_str(), 0), 1);
    ASSERT_EQ(count(lib), 6u);
    checkArea(lib->first[3], area1, 0, kNine, 9, kChinese, kNineNames);
    checkArea(lib->first[5], "III", 2, kNine, 9, kChinese, kNineNames);
    EXPECT_EQ(GetWeatherAreaLib(), lib) << "the library never moves";

    // Any non-zero flag gives the English names.
    for (int flag : {1, -1, 2}) {
        ClearWeatherAreaLib();
        ASSERT_EQ(LoadWeatherAreaFromDBF(path.c_str(), flag), 1);
        checkArea(lib->first[0], area1, 0, kNine, 9, kEnglish, kNineNames);
    }
}

TEST_F(Libraries, LoadCaseAreasInPlaceAndIndependent) {
    auto w = table(10);
    w.record(areaRow("A", 10, 0)).record(areaRow("B", 10, 1));
    const std::string path = saved(w, "load_cases.dbf");
    auto w15 = table(15);
    w15.record(areaRow("N", 15, 0));
    const std::string path15 = saved(w15, "areas15.dbf");

    const WeatherAreaSeq* hz = GetHZWeatherAreaLib();
    const WeatherAreaSeq* areas = GetWeatherAreaLib();
    EXPECT_NE(hz, areas);
    ASSERT_EQ(LoadHZWeatherAreaFromDBF(path.c_str(), 0), 1);
    ASSERT_EQ(LoadWeatherAreaFromDBF(path15.c_str(), 1), 1);
    ASSERT_EQ(count(hz), 2u);
    checkArea(hz->first[1], "B", 1, kSix, 6, kChinese, kSixNames);
    ClearHZWeatherAreaLib();
    EXPECT_EQ(count(hz), 0u);
    ASSERT_EQ(count(areas), 1u);
    checkArea(areas->first[0], "N", 0, kNine, 9, kEnglish, kNineNames);
    ASSERT_EQ(LoadHZWeatherAreaFromDBF(path.c_str(), 7), 1);
    ClearWeatherAreaLib();
    ASSERT_EQ(count(hz), 2u);
    checkArea(hz->first[0], "A", 0, kSix, 6, kEnglish, kSixNames);

    // Each refuses the other's shape.
    EXPECT_EQ(LoadHZWeatherAreaFromDBF(path15.c_str(), 0), 0);
    EXPECT_EQ(LoadWeatherAreaFromDBF(path.c_str(), 0), 0);
    EXPECT_EQ(count(hz), 2u);
    EXPECT_EQ(count(areas), 0u);
}

struct ShapeCase {
    const char* library;
    int fields;
    int expected;
};

int loadInto(const std::string& library, const char* path) {
    if (library == "areas") return LoadWeatherAreaFromDBF(path, 0);
    if (library == "load cases") return LoadHZWeatherAreaFromDBF(path, 0);
    if (library == "conductors") return LoadLineAttribFromDBF(path);
    if (library == "hb lines") return LoadHBLineAttribFromDBF(path);
    return LoadInsulatorAttribFromDBF(path);
}

int fieldsOf(const std::string& library) {
    if (library == "areas") return 15;
    if (library == "load cases") return 10;
    if (library == "conductors") return 11;
    if (library == "hb lines") return 12;
    return 25;
}

std::size_t countOf(const std::string& library) {
    if (library == "areas") return count(GetWeatherAreaLib());
    if (library == "load cases") return count(GetHZWeatherAreaLib());
    if (library == "conductors") return count(GetLineAttribLib());
    if (library == "hb lines") return count(GetHBLineAttribLib());
    return count(GetInsulatorAttribLib());
}

class TableShapes : public Libraries, public testing::WithParamInterface<ShapeCase> {};

TEST_P(TableShapes, OnlyTheExactFieldCountLoads) {
    const auto& p = GetParam();
    auto w = table(p.fields);
    std::vector<std::string> row(static_cast<std::size_t>(p.fields), "1");
    w.record(row).record(row);
    const std::string path = saved(w, std::string("shape") + std::to_string(p.fields) + ".dbf");
    EXPECT_EQ(loadInto(p.library, path.c_str()), p.expected);
    EXPECT_EQ(countOf(p.library), p.expected == 1 ? 2u : 0u);
    // The account of a refusal says what the loader found.
    const varnel::TableCheck check = varnel::checkTable(path.c_str(), fieldsOf(p.library));
    if (p.expected == 1) {
        EXPECT_EQ(check.refusal, varnel::TableRefusal::None) << check.reason;
    } else {
        EXPECT_EQ(check.refusal, varnel::TableRefusal::FieldCount);
        EXPECT_EQ(check.value, p.fields);
        EXPECT_EQ(check.limit, fieldsOf(p.library));
    }

    // A table of the right shape without rows loads and adds nothing.
    if (p.expected == 1) {
        const std::string empty = saved(table(p.fields), "empty.dbf");
        EXPECT_EQ(loadInto(p.library, empty.c_str()), 1);
        EXPECT_EQ(countOf(p.library), 2u);
    }
    EXPECT_EQ(loadInto(p.library, nullptr), 0);
    EXPECT_EQ(loadInto(p.library, ""), 0);
    EXPECT_EQ(loadInto(p.library, tempPath("missing.dbf").c_str()), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Libraries, TableShapes,
    testing::Values(ShapeCase{"areas", 14, 0}, ShapeCase{"areas", 15, 1}, ShapeCase{"areas", 16, 0},
                    ShapeCase{"load cases", 9, 0}, ShapeCase{"load cases", 10, 1},
                    ShapeCase{"load cases", 11, 0}, ShapeCase{"conductors", 10, 0},
                    ShapeCase{"conductors", 11, 1}, ShapeCase{"conductors", 12, 0},
                    ShapeCase{"hb lines", 11, 0}, ShapeCase{"hb lines", 12, 1},
                    ShapeCase{"hb lines", 13, 0}, ShapeCase{"insulators", 24, 0},
                    ShapeCase{"insulators", 25, 1}, ShapeCase{"insulators", 26, 0}));

// Fields 0 bytes wide make every row one byte of file: 10,000 bytes would be 10,000 areas of
// nine conditions each. Such a table is refused whole.
TEST_F(Libraries, ZeroWidthFieldsAreRefused) {
    DbfWriter w;
    for (int i = 0; i < 15; ++i) w.field("C" + std::to_string(i), 0);
    for (int r = 0; r < 10000; ++r) w.record({});
    const std::string path = saved(w, "zero_width.dbf");
    EXPECT_EQ(LoadWeatherAreaFromDBF(path.c_str(), 0), 0);
    EXPECT_EQ(count(GetWeatherAreaLib()), 0u);
    EXPECT_EQ(varnel::checkTable(path.c_str(), 15).refusal, varnel::TableRefusal::ZeroWidthField);
}

#ifndef _WIN32
// A host on Linux names its tables in UTF-8, with or without the extension.
TEST_F(Libraries, Utf8TableNames) {
    auto w = table(11);
    w.record(
        {"JL/G1A-240/30", "275.96", "21.6", "922.2", "0", "73000", "19.6", "0", "75190", "0", ""});
    const std::string path = saved(w, "\xE5\xAF\xBC\xE7\xBA\xBF\xE8\xA1\xA8.dbf");  // 导线表.dbf
    EXPECT_EQ(LoadLineAttribFromDBF(path.c_str()), 1);
    EXPECT_EQ(LoadLineAttribFromDBF(path.substr(0, path.size() - 4).c_str()), 1);
    EXPECT_EQ(count(GetLineAttribLib()), 2u);
}
#endif

TEST_F(Libraries, FailedLoadLeavesTheLibraryAsItWas) {
    auto good = table(11);
    good.record(
        {"JL/G1A-240/30", "275.96", "21.6", "922.2", "0", "73000", "19.6", "0", "75190", "0", ""});
    const std::string path = saved(good, "one.dbf");
    ASSERT_EQ(LoadLineAttribFromDBF(path.c_str()), 1);
    const LineAttribSeq before = *GetLineAttribLib();
    const std::string bad = saved(table(12), "twelve.dbf");
    EXPECT_EQ(LoadLineAttribFromDBF(bad.c_str()), 0);
    const LineAttribSeq* after = GetLineAttribLib();
    EXPECT_EQ(after->first, before.first);
    EXPECT_EQ(after->last, before.last);
    EXPECT_EQ(after->end, before.end);
}

TEST_F(Libraries, ConductorConversions) {
    const std::string name31(31, 'N');
    auto w = DbfWriter();
    w.field("NAME", 40).field("AREA", 10).field("DIAM", 10).field("MASS", 10).field("C4", 10);
    w.field("E", 10).field("ALPHA", 10).field("C7", 10).field("RTS", 10).field("C9", 10);
    w.field("C10", 80);
    w.record({name31, "1,5", "21.6", "922.2x", "4.25", "73000", "19.3", "-7", "", "12.7",
              "\xB8\xD6\xD0\xBE\xC2\xC1\xBD\xC1\xCF\xDF"});  // 钢芯铝绞线
    w.record({name31 + "XY", "  275.96", "abc", "", "0", "1e5", "12", "0", "75190", "-3.9",
              gbkRepeat("\xB4\xF3", 40)});
    const std::string path = saved(w, "conductors.dbf");
    ASSERT_EQ(LoadLineAttribFromDBF(path.c_str()), 1);
    const LineAttribSeq* lib = GetLineAttribLib();
    ASSERT_EQ(count(lib), 2u);
    const LineAttrib& a = lib->first[0];
    EXPECT_EQ(bytesOf(a.name, 32), padded(name31, 32));
    EXPECT_EQ(a.area, 1.0);
    EXPECT_EQ(a.diameter, 21.6);
    EXPECT_EQ(a.unitMass, 922.2);
    EXPECT_EQ(a.column4Value, 4.25);
    EXPECT_EQ(a.elasticModulus, 73000.0);
    EXPECT_EQ(a.expansionCoeff, 1.9299999999999998e-05);
    EXPECT_EQ(a.column7Value, -7.0);
    EXPECT_EQ(a.ratedStrength, 0.0);
    EXPECT_EQ(a.column9Number, 12);
    EXPECT_EQ(bytesOf(a.column10Text, 68), padded("\xB8\xD6\xD0\xBE\xC2\xC1\xBD\xC1\xCF\xDF", 68));

    const LineAttrib& b = lib->first[1];
    EXPECT_EQ(bytesOf(b.name, 32), padded(name31, 32)) << "cut to 31 bytes";
    EXPECT_EQ(b.area, 275.96);
    EXPECT_EQ(b.diameter, 0.0);
    EXPECT_EQ(b.unitMass, 0.0);
    EXPECT_EQ(b.elasticModulus, 100000.0);
    EXPECT_EQ(b.expansionCoeff, 12 * 1e-6);
    EXPECT_EQ(b.column9Number, -3);
    // Forty two-byte characters: 33 whole ones fit before the NUL, not 33 and a half.
    EXPECT_EQ(bytesOf(b.column10Text, 68), padded(gbkRepeat("\xB4\xF3", 33), 68));
}

TEST_F(Libraries, HBLineColumnsInRecordOrder) {
    auto w = table(12);
    w.record({"HB-1", "1", "2", "3", "4", "5", "6", "7", "8", "9.9", "ten", "11"});
    const std::string path = saved(w, "hb.dbf");
    ASSERT_EQ(LoadHBLineAttribFromDBF(path.c_str()), 1);
    ASSERT_EQ(LoadHBLineAttribFromDBF(path.c_str()), 1);
    const HBLineAttribSeq* lib = GetHBLineAttribLib();
    ASSERT_EQ(count(lib), 2u);
    const HBLineAttrib& r = lib->first[1];
    EXPECT_EQ(bytesOf(r.name, 32), padded("HB-1", 32));
    EXPECT_EQ(r.column9Number, 9);
    const double reals[] = {r.column1Value,  r.column3Value, r.column2Value,
                            r.column5Value,  r.column6Value, r.column8Value,
                            r.column11Value, r.column4Value, r.column7Value};
    const double expected[] = {1, 3, 2, 5, 6 * 1e-6, 8, 11, 4, 7};
    for (int i = 0; i < 9; ++i) EXPECT_EQ(reals[i], expected[i]) << i;
    EXPECT_EQ(bytesOf(r.column10Text, 64), padded("ten", 64));
    const auto* raw = reinterpret_cast<const unsigned char*>(&r);
    EXPECT_EQ(std::string(raw + 36, raw + 40), std::string(4, '\0')) << "alignment gap";

    HBLineAttrib* const storage = lib->first;
    ClearHBLineAttribLib();
    EXPECT_EQ(count(lib), 0u);
    EXPECT_EQ(lib->first, storage) << "clearing keeps the storage";
}

TEST_F(Libraries, InsulatorColumnsInRecordOrder) {
    std::vector<std::string> row;
    for (int j = 0; j < 25; ++j) row.push_back(std::to_string(j));
    row[5] = std::string(23, 'F');
    row[6] = "3.9";
    row[11] = "\xBE\xF8\xD4\xB5\xD7\xD3";  // 绝缘子
    row[18] = "eighteen";
    row[24] = std::string(60, 'L');
    auto w = table(25, 60);
    w.record(row);
    const std::string path = saved(w, "insulators.dbf");
    ASSERT_EQ(LoadInsulatorAttribFromDBF(path.c_str()), 1);
    const InsulatorAttribSeq* lib = GetInsulatorAttribLib();
    ASSERT_EQ(count(lib), 1u);
    const InsulatorAttrib& r = lib->first[0];
    EXPECT_EQ(r.column4Value, 4.0) << "first real";
    EXPECT_EQ(bytesOf(r.column5Text, 24), padded(std::string(23, 'F'), 24));
    EXPECT_EQ(r.column6Number, 3);
    const double reals[] = {r.column7Value,  r.column8Value,  r.column10Value, r.column12Value,
                            r.column14Value, r.column15Value, r.column17Value, r.column19Value,
                            r.column20Value, r.column21Value, r.column22Value, r.column0Value,
                            r.column1Value,  r.column2Value,  r.column3Value};
    const double expected[] = {7, 8, 10, 12, 14, 15, 17, 19, 20, 21, 22, 0, 1, 2, 3};
    for (int i = 0; i < 15; ++i) EXPECT_EQ(reals[i], expected[i]) << i;
    EXPECT_EQ(r.column9Number, 9);
    EXPECT_EQ(r.column13Number, 13);
    EXPECT_EQ(r.column16Number, 16);
    EXPECT_EQ(r.column23Number, 23);
    EXPECT_EQ(bytesOf(r.column11Text, 24), padded("\xBE\xF8\xD4\xB5\xD7\xD3", 24));
    EXPECT_EQ(bytesOf(r.column18Text, 24), padded("eighteen", 24));
    EXPECT_EQ(bytesOf(r.column24Text, 52), padded(std::string(51, 'L'), 52));
    const auto* raw = reinterpret_cast<const unsigned char*>(&r);
    for (int gap : {36, 60, 108, 132}) {
        EXPECT_EQ(std::string(raw + gap, raw + gap + 4), std::string(4, '\0')) << gap;
    }
}

// Clearing gives back every area's conditions: over repeated cycles the sanitizer build's leak
// check sees any that were dropped, since a later load writes over the old areas' bytes.
TEST_F(Libraries, RepeatedLoadAndClearCycles) {
    auto w = table(15);
    for (int r = 0; r < 5; ++r) w.record(areaRow("A" + std::to_string(r), 15, r));
    const std::string areas = saved(w, "cycle_areas.dbf");
    auto w10 = table(10);
    for (int r = 0; r < 5; ++r) w10.record(areaRow("L" + std::to_string(r), 10, r));
    const std::string cases = saved(w10, "cycle_cases.dbf");
    for (int cycle = 0; cycle < 50; ++cycle) {
        ASSERT_EQ(LoadWeatherAreaFromDBF(areas.c_str(), cycle % 2), 1);
        ASSERT_EQ(LoadWeatherAreaFromDBF(areas.c_str(), 0), 1);
        ASSERT_EQ(LoadHZWeatherAreaFromDBF(cases.c_str(), 0), 1);
        ASSERT_EQ(count(GetWeatherAreaLib()), 10u);
        ClearWeatherAreaLib();
        ClearHZWeatherAreaLib();
    }
    EXPECT_EQ(count(GetWeatherAreaLib()), 0u);
    EXPECT_NE(GetWeatherAreaLib()->first, nullptr) << "storage stays for the next load";
}

TEST_F(Libraries, AreaNamesFitOrAreCutWhole) {
    const std::string name23(23, 'A');
    const std::string chinese12 =  // twelve GBK characters, 24 bytes
        "\xB5\xCD\xCE\xC2\xB4\xF3\xB7\xE7\xC4\xEA\xC6\xBD\xB8\xB2\xB1\xF9\xB8\xDF\xCE\xC2"
        "\xD0\xA3\xD1\xE9";
    auto w = DbfWriter();
    w.field("NAME", 30);
    for (int i = 1; i < 15; ++i) w.field("C" + std::to_string(i), 8);
    std::vector<std::string> row(15, "1");
    row[0] = name23;
    w.record(row);
    row[0] = chinese12;
    w.record(row);
    const std::string path = saved(w, "names.dbf");
    ASSERT_EQ(LoadWeatherAreaFromDBF(path.c_str(), 0), 1);
    const WeatherAreaSeq* lib = GetWeatherAreaLib();
    ASSERT_EQ(count(lib), 2u);
    EXPECT_EQ(bytesOf(lib->first[0].name, 24), padded(name23, 24));
    EXPECT_EQ(bytesOf(lib->first[1].name, 24), padded(chinese12.substr(0, 22), 24));
}

}  // namespace
