// What the five loaders make of a table, pinned as a digest of the library's bytes: the sample
// tables, a table of awkward number texts in every column, and the texts of the shared corpus of
// real-world tables put into every column. A change to how rows become records (parsing, record
// building, storage) must leave every digest as it is. The digests cover every byte of every
// record except the weather areas' condition pointers, whose conditions are covered instead, so
// they are the same on every platform.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <numeric>
#include <string>
#include <vector>

#include "calc/records/library_records.h"
#include "dbf/dbase.h"
#include "libraries/components/component_loaders.h"
#include "libraries/field_text.h"
#include "libraries/weather/weather_area_loader.h"
#include "support/dbf_fixtures.h"
#include "support/dbf_writer.h"

namespace {

namespace fs = std::filesystem;
using varnel::test::DbfWriter;
using varnel::test::tempPath;

// 64-bit FNV-1a.
struct Digest {
    std::uint64_t value = 0xcbf29ce484222325u;
    void add(const void* data, std::size_t size) {
        const auto* p = static_cast<const unsigned char*>(data);
        for (std::size_t i = 0; i < size; ++i) value = (value ^ p[i]) * 0x100000001b3u;
    }
    void add(std::uint64_t n) { add(&n, sizeof n); }
};

void addLibrary(Digest& d, const varnel::WeatherAreaLib& lib) {
    d.add(lib.size());
    for (const varnel::WeatherArea& area : lib) {
        d.add(area.name, sizeof area.name);
        d.add(area.conditions.size());
        d.add(area.conditions.first, area.conditions.size() * sizeof(varnel::WeatherCondition));
    }
}

template <class Record>
void addLibrary(Digest& d, const varnel::Sequence<Record>& lib) {
    d.add(lib.size());
    d.add(lib.first, lib.size() * sizeof(Record));
}

// Loads the table at `path` through every loader whose field count it has (each twice, so the
// second load appends to the first) and digests the results, failed loads included.
std::uint64_t digestOfLoads(const std::string& path) {
    Digest d;
    const char* p = path.c_str();
    for (bool english : {false, true}) {
        varnel::WeatherAreaLib nine{};
        varnel::WeatherAreaLib six{};
        for (int pass = 0; pass < 2; ++pass) {
            d.add(static_cast<std::uint64_t>(varnel::loadWeatherAreas(nine, p, english)));
            d.add(static_cast<std::uint64_t>(varnel::loadLoadCaseWeatherAreas(six, p, english)));
        }
        addLibrary(d, nine);
        addLibrary(d, six);
        nine.release();
        six.release();
    }
    varnel::LineAttribLib lines{};
    varnel::HBLineAttribLib hbLines{};
    varnel::InsulatorAttribLib insulators{};
    for (int pass = 0; pass < 2; ++pass) {
        d.add(static_cast<std::uint64_t>(varnel::loadLineAttribs(lines, p)));
        d.add(static_cast<std::uint64_t>(varnel::loadHBLineAttribs(hbLines, p)));
        d.add(static_cast<std::uint64_t>(varnel::loadInsulatorAttribs(insulators, p)));
    }
    addLibrary(d, lines);
    addLibrary(d, hbLines);
    addLibrary(d, insulators);
    lines.release();
    hbLines.release();
    insulators.release();
    return d.value;
}

// Writes `texts` into a table of `fields` columns, `width` bytes wide, row after row, so that
// each text meets each column when their numbers are prime to each other (a long list is spread
// once); a deleted row after every seventh.
std::string spreadOver(const std::vector<std::string>& texts, std::size_t fields,
                       std::uint8_t width, const std::string& name) {
    DbfWriter w;
    for (std::size_t c = 0; c < fields; ++c) w.field("C" + std::to_string(c), width);
    const std::size_t n = texts.size();
    const std::size_t rows = n < 64 ? n : (n + fields - 1) / fields;
    for (std::size_t r = 0; r < rows; ++r) {
        std::vector<std::string> row;
        for (std::size_t c = 0; c < fields; ++c) row.push_back(texts[(r * fields + c) % n]);
        w.record(row);
        if (r % 7 == 6) w.deletedRecord(row);
    }
    const std::string path = tempPath(name);
    w.save(path);
    return path;
}

std::string samplesDir() {
    return VARNEL_SAMPLES_DIR;
}

struct SampleCase {
    const char* file;
    std::uint64_t digest;
};

class SampleDigest : public testing::TestWithParam<SampleCase> {};

TEST_P(SampleDigest, LoadsAsBefore) {
    const std::string path = samplesDir() + "/" + GetParam().file;
    ASSERT_TRUE(fs::exists(path)) << path;
    EXPECT_EQ(digestOfLoads(path), GetParam().digest) << std::hex << digestOfLoads(path);
}

INSTANTIATE_TEST_SUITE_P(Samples, SampleDigest,
                         testing::Values(SampleCase{"weather_areas.dbf", 0xf5a8d22f31566031u},
                                         SampleCase{"load_case_areas.dbf", 0x232a3e7c52300655u},
                                         SampleCase{"conductors.dbf", 0xf191ceae1e87da25u},
                                         SampleCase{"hb_lines.dbf", 0x7eec6d04ab25a725u},
                                         SampleCase{"insulators.dbf", 0xf0aae66a3b69050du}),
                         [](const testing::TestParamInfo<SampleCase>& p) {
                             std::string name = p.param.file;
                             return name.substr(0, name.find('.'));
                         });

// The field counts of the five loaders' tables.
constexpr std::size_t kFieldCounts[5] = {10, 11, 12, 15, 25};

// Number texts a table may hold: blanks, signs, overflow stars, commas, exponents with and
// without digits, too many digits, out of range, words, and GBK text.
const std::vector<std::string> kAwkward = {
    "",
    " ",
    "0",
    "-0",
    "+1",
    "-1.5",
    "  12.25",
    "\t7",
    "1e3",
    "1E-3",
    "1e",
    "1e+",
    "2.5e-",
    ".5",
    "-.5",
    "5.",
    ".",
    "-",
    "+",
    "*****",
    "**.**",
    "1,5",
    "1 5",
    "12abc",
    "0x1A",
    "inf",
    "nan",
    "-infinity",
    "1e400",
    "-1e400",
    "1e-400",
    "123456789012345678901234567890",
    "0.1000000000000000055511151231257827",
    "4.9e-324",
    "2.2250738585072014e-308",
    "9007199254740993",
    "00000123.4500",
    "2147483647",
    "2147483648",
    "-2147483648",
    "-2147483649",
    "99999999999999999999",
    "1.7976931348623157e308",
    "1.7976931348623159e308",
    "--1",
    "+-1",
    "19.3",
    "0.000001",
    "1e22",
    "1e23",
    "123456789.123456789",
    "\xB5\xBC\xCF\xDF",                // 导线
    "\xBE\xF8\xD4\xB5\xD7\xD3 XP-70",  // 绝缘子
    "-  3",
    "3-",
    "   -000.000e+0000",
    "1e9999999999999999999",
    " +.25e2",
    "6.02214076e+23 ",
};

TEST(LoaderDigest, AwkwardNumberTexts) {
    std::uint64_t digests[5] = {};
    for (int i = 0; i < 5; ++i) {
        ASSERT_EQ(std::gcd(kAwkward.size(), kFieldCounts[i]), 1u)
            << "each text must meet each column";
        digests[i] = digestOfLoads(
            spreadOver(kAwkward, kFieldCounts[i], 40, "awkward" + std::to_string(i) + ".dbf"));
    }
    const std::uint64_t expected[5] = {0xfb1db973bbf2215du, 0xc1cb0bbea782d4bbu,
                                       0xe75059390dbe5603u, 0x62d16d9099e877f1u,
                                       0xa57ab840dbb94b67u};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(digests[i], expected[i])
            << kFieldCounts[i] << " fields: " << std::hex << digests[i];
    }
}

// Loaders parse numbers from a field's stored bytes, not from its cut text: the two must give the
// same bits for every field. Stored fields whose cutting differs from plain trimming: zero bytes
// inside, lone and paired GBK lead bytes at the end, white space other than spaces.
void expectSameNumbers(std::string_view field) {
    const std::string_view text = varnel::CDbase::cutText(field);
    const double fromField = varnel::parseReal(field);
    const double fromText = varnel::parseReal(text);
    EXPECT_EQ(std::memcmp(&fromField, &fromText, sizeof fromField), 0)
        << testing::PrintToString(std::string(field));
    EXPECT_EQ(varnel::parseWhole(field), varnel::parseWhole(text))
        << testing::PrintToString(std::string(field));
}

TEST(LoaderNumbers, StoredBytesGiveWhatTheTextGives) {
    using namespace std::string_literals;
    const std::string fields[] = {
        "12\0"s
        "34",
        "\0"s
        "5",
        "  \0"s
        " 6",
        "  7  ",
        "8\xB4",
        "9\xB4\xF3\xB4",
        "\xB4"
        "1",
        "\t 2.5e3 ",
        " \r-3",
        "-0  ",
        "1e\0"s
        "5",
        "1.\0"s
        "5",
        "  +\0"s
        "1",
        "4e-\xB4",
        "   ",
        "2147483648\xB4",
        "00012\0"s
        "\0"s,
        "1e400\x81\x40",
        "6.5\xB0\xA1\xB0",
        "-",
    };
    for (const std::string& field : fields) expectSameNumbers(field);
    for (const std::string& text : kAwkward) expectSameNumbers(text + "   ");
}

// The shared corpus of real-world tables, when VARNEL_DBF_CORPUS names it: every table as it is
// (most are refused for their field count, one loads as load-case areas), and the texts of all of
// them spread over tables of each loader's field count.
TEST(LoaderDigest, CorpusTexts) {
    const std::string dir = varnel::test::corpusFolder();
    if (dir.empty()) GTEST_SKIP() << "VARNEL_DBF_CORPUS names no corpus folder";
    std::vector<std::string> files;
    for (const auto& entry : fs::directory_iterator(dir)) {
        const std::string ext = entry.path().extension().string();
        if (ext == ".dbf" || ext == ".DBF") files.push_back(entry.path().string());
    }
    std::sort(files.begin(), files.end());
    ASSERT_GE(files.size(), 20u);

    Digest asTheyAre;
    std::vector<std::string> texts;
    for (const std::string& file : files) {
        asTheyAre.add(digestOfLoads(file));
        varnel::CDbase table;
        if (table.Open(file.c_str()) != 1) continue;
        varnel::TextList values;
        std::vector<std::string_view> stored;
        for (int r = 0; r < table.GetRecordCount(); ++r) {
            ASSERT_EQ(table.GetRecord(r, values), 1);
            texts.insert(texts.end(), values.begin(), values.end());
            ASSERT_EQ(table.GetRecordFields(r, stored), 1);
            for (std::string_view field : stored) expectSameNumbers(field);
        }
    }
    ASSERT_GT(texts.size(), 10000u);
    EXPECT_EQ(asTheyAre.value, 0x80311608cdd32d46u) << std::hex << asTheyAre.value;
    const std::uint64_t expected[5] = {0x167c937c0e3a5255u, 0x1648ff2a5c2c82a1u,
                                       0x94c377a163f121bbu, 0x7c5d1d12e1c745b1u,
                                       0xc09bb158cbcc6074u};
    for (int i = 0; i < 5; ++i) {
        const std::uint64_t digest = digestOfLoads(
            spreadOver(texts, kFieldCounts[i], 254, "corpus" + std::to_string(i) + ".dbf"));
        EXPECT_EQ(digest, expected[i]) << kFieldCounts[i] << " fields: " << std::hex << digest;
    }
}

}  // namespace
