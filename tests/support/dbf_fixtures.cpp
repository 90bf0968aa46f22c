#include "support/dbf_fixtures.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "support/dbf_writer.h"

namespace varnel::test {

namespace {

DbfWriter fiveFields(std::uint8_t version = 0x03) {
    DbfWriter w(version);
    w.field("NAME", 10).field("ICE", 5, 'N').field("WIND", 6, 'N').field("TEMP", 4, 'N');
    w.field("NOTE", 8);
    w.record({"Area A", "10", "30", "-5", "cold"}).record({"Area B", "0", "25", "40", "hot"});
    w.record({"  pad  ", "5.5", "", "", "x"});
    return w;
}

DbfWriter oneField(std::uint8_t width = 4) {
    DbfWriter w;
    w.field("F", width).record({"abc"}).record({"de"});
    return w;
}

std::string cutEnd(std::string bytes, std::size_t n) {
    bytes.resize(bytes.size() - n);
    return bytes;
}

std::vector<DbfFixture> build() {
    std::vector<DbfFixture> all;
    auto ok = [&](std::string name, std::string bytes, int fields, int records) {
        all.push_back(DbfFixture{std::move(name), std::move(bytes), true, fields, records});
    };
    auto refused = [&](std::string name, std::string bytes) {
        all.push_back(DbfFixture{std::move(name), std::move(bytes), false, 0, 0});
    };

    // Well-formed tables.
    ok("five_fields", fiveFields().bytes(), 5, 3);
    ok("visual_30", fiveFields(0x30).bytes(), 5, 3);
    // 13 descriptor slots fit in 456 bytes; the terminator in slot 5 leaves 5 fields.
    ok("terminator_in_slot_5", fiveFields().headerLength(456).bytes(), 5, 3);
    {
        DbfWriter w;
        w.field("ID", 3);
        for (int i = 0; i < 10; ++i) {
            if (i == 2 || i == 7) {
                w.deletedRecord({std::to_string(i)});
            } else {
                w.record({std::to_string(i)});
            }
        }
        ok("third_and_eighth_deleted", w.bytes(), 1, 8);
    }
    {
        DbfWriter w;
        w.field("A", 2).field("B", 2).deletedRecord({"x", "y"}).deletedRecord({"z"});
        ok("all_deleted", w.bytes(), 2, 0);
    }
    {
        DbfWriter w;
        w.record({}).record({}).deletedRecord({}).record({});
        ok("no_fields", w.bytes(), 0, 3);
        ok("no_fields_no_records", DbfWriter().bytes(), 0, 0);
        ok("no_fields_visual_30", DbfWriter(0x30).bytes(), 0, 0);
    }
    {
        DbfWriter w;
        std::vector<std::string> values;
        for (int j = 0; j < 2000; ++j) {
            w.field("F" + std::to_string(j), 1);
            values.push_back(std::string(1, static_cast<char>('a' + j % 26)));
        }
        w.record(values).record({}).deletedRecord(values);
        ok("fields_2000", w.bytes(), 2000, 2);
    }
    {
        DbfWriter w;
        w.field("C", 6, 'C').field("N", 6, 'N').field("F", 8, 'F').field("D", 8, 'D');
        w.field("L", 1, 'L').record({"text", " 12", "1.5e3", "20240601", "T"});
        ok("types_cnfdl", w.bytes(), 5, 1);
    }
    ok("record_length_slack", oneField().recordLength(9).bytes(), 1, 2);
    ok("bytes_after_records", oneField().bytes() + "trailing", 1, 2);
    ok("no_end_marker", cutEnd(oneField().bytes(), 1), 1, 2);
    {
        DbfWriter w;
        w.field("ABCDEFGHIJK", 3).field(std::string("AB\0XY", 5), 3).record({"1", "2"});
        ok("name_fills_11_bytes", w.bytes(), 2, 1);
    }
    {
        DbfWriter w;
        // 年平均 and 测试 fill their fields exactly, the last second byte in the lead range; a
        // zero byte inside a text.
        w.field("NAME", 6).field("TEST", 4).field("ZERO", 5);
        w.record({"\xC4\xEA\xC6\xBD\xBE\xF9", "\xB2\xE2\xCA\xD4", std::string("ab\0cd", 5)});
        ok("gbk_exact_fill", w.bytes(), 3, 1);
    }
    {
        DbfWriter w;
        // 啊 and the lead byte of a second character, cut off by the field's end.
        w.field("CUT", 3).record({"\xB0\xA1\xB0"}).record({"a \xB0"});
        ok("gbk_lead_byte_cut", w.bytes(), 1, 2);
    }

    // Malformed tables.
    refused("empty_file", "");
    refused("header_cut_at_31_bytes", fiveFields().bytes().substr(0, 31));
    for (const int version : {0x83, 0x02, 0x31, 0x8B, 0x00}) {
        refused("version_" + std::to_string(version),
                fiveFields(static_cast<std::uint8_t>(version)).bytes());
    }
    refused("header_length_32", DbfWriter().headerLength(32).bytes());
    refused("header_length_295_visual_30", DbfWriter(0x30).headerLength(295).bytes());
    refused("negative_record_count", oneField().recordCount(-1).bytes());
    refused("most_negative_record_count", oneField().recordCount(INT32_MIN).bytes());
    // The header's record length leaves out the flag byte.
    refused("record_length_without_flag", oneField().recordLength(4).bytes());
    refused("record_length_0", DbfWriter().recordLength(0).bytes());
    refused("last_record_cut", cutEnd(oneField().bytes(), 2));
    // Every field is 1 to 255 bytes wide: a 0-byte field would let each record cost one byte of
    // file however many fields it has.
    {
        DbfWriter w;
        w.field("EMPTY", 0).field("V", 3).field("NONE", 0).record({"", "abc"}).record({"", "d"});
        refused("zero_width_fields", w.bytes());
        DbfWriter last;
        last.field("A", 2).field("B", 1).field("LAST", 0).record({"ab", "c"});
        refused("zero_width_last_field", last.bytes());
        DbfWriter only;
        only.field("ONLY", 0).record({}).record({}).record({});
        refused("zero_width_only_field", only.bytes());
    }
    refused("record_count_7fffffff", oneField().recordCount(0x7FFFFFFF).bytes());
    // No records written at all: the header alone claims 2^31 - 1 records of 65535 bytes.
    refused("record_area_beyond_32_bits",
            DbfWriter().field("F", 4).recordLength(0xFFFF).recordCount(0x7FFFFFFF).bytes());
    return all;
}

}  // namespace

const std::vector<DbfFixture>& dbfFixtures() {
    static const std::vector<DbfFixture> all = build();
    return all;
}

const std::string& dbfFixture(const std::string& name) {
    for (const DbfFixture& f : dbfFixtures()) {
        if (f.name == name) return f.bytes;
    }
    throw std::out_of_range("no fixture " + name);
}

std::string corpusFolder() {
    const char* env = std::getenv("VARNEL_DBF_CORPUS");
    if (env == nullptr || *env == '\0') return {};
    std::string path = env;
#ifdef _WIN32
    // Under wine a Unix path is given: wine shows the Unix root as drive Z:.
    if (path.front() == '/') {
        for (char& c : path) c = c == '/' ? '\\' : c;
        path = "Z:" + path;
    }
#endif
    std::error_code error;
    return std::filesystem::is_directory(path, error) ? path : std::string();
}

}  // namespace varnel::test
