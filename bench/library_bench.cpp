// Loading a library from a table against the table object's own work on the same file: its
// Open, and its Open followed by every record's texts. The second is what the loader adds to.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "dbf/dbase.h"
#include "support/dbf_writer.h"
#include "varnel.h"

namespace {

constexpr int kRows = 100000;

std::string number(int row, int column) {
    return std::to_string((row * 37 + column * 11) % 100000) + "." + std::to_string(column % 10);
}

// Insulator table: 25 columns, numbers except the texts of columns 5, 11, 18 and 24.
const std::string& insulatorTable() {
    static const std::string path = [] {
        varnel::test::DbfWriter w;
        for (int c = 0; c < 25; ++c) {
            const bool text = c == 5 || c == 11 || c == 18 || c == 24;
            w.field("C" + std::to_string(c), text ? (c == 24 ? 50 : 22) : 12, text ? 'C' : 'N');
        }
        for (int r = 0; r < kRows; ++r) {
            std::vector<std::string> row;
            for (int c = 0; c < 25; ++c) row.push_back(number(r, c));
            row[5] = "XP-70 \xBE\xF8\xD4\xB5\xD7\xD3";  // 绝缘子
            row[11] = "\xB4\xC9\xD6\xCA";               // 瓷质
            row[18] = "U70BP/146";
            row[24] = "\xC6\xD5\xCD\xA8\xD0\xCD " + std::to_string(r);  // 普通型
            w.record(row);
        }
        const std::string p = varnel::test::tempPath("bench_insulators.dbf");
        w.save(p);
        return p;
    }();
    return path;
}

// Weather area table: 15 columns, a GBK name and fourteen numbers.
const std::string& weatherTable() {
    static const std::string path = [] {
        varnel::test::DbfWriter w;
        w.field("NAME", 20);
        for (int c = 1; c < 15; ++c) w.field("C" + std::to_string(c), 8, 'N');
        for (int r = 0; r < kRows; ++r) {
            std::vector<std::string> row{"\xC6\xF8\xCF\xF3\xC7\xF8" + std::to_string(r)};  // 气象区
            for (int c = 1; c < 15; ++c) row.push_back(std::to_string((r + c) % 40 - 10));
            w.record(row);
        }
        const std::string p = varnel::test::tempPath("bench_weather.dbf");
        w.save(p);
        return p;
    }();
    return path;
}

void openOnly(benchmark::State& state, const std::string& path) {
    for (auto _ : state) {
        varnel::CDbase table;
        if (table.Open(path.c_str(), 0) != 1) state.SkipWithError("open failed");
        benchmark::DoNotOptimize(table.GetRecordCount());
    }
}

// Open and then every record's texts: the table object cuts the fields when a record is asked
// for, so this is the reading a loader cannot do without.
void openAndRead(benchmark::State& state, const std::string& path) {
    varnel::TextList values;
    for (auto _ : state) {
        varnel::CDbase table;
        if (table.Open(path.c_str(), 0) != 1) state.SkipWithError("open failed");
        for (int r = 0; r < table.GetRecordCount(); ++r) table.GetRecord(r, values);
        benchmark::DoNotOptimize(values.data());
    }
}

void BM_OpenInsulatorTable(benchmark::State& state) {
    openOnly(state, insulatorTable());
}
BENCHMARK(BM_OpenInsulatorTable)->Unit(benchmark::kMillisecond);

void BM_OpenAndReadInsulatorTable(benchmark::State& state) {
    openAndRead(state, insulatorTable());
}
BENCHMARK(BM_OpenAndReadInsulatorTable)->Unit(benchmark::kMillisecond);

void BM_LoadInsulatorAttribFromDBF(benchmark::State& state) {
    const std::string& path = insulatorTable();
    for (auto _ : state) {
        state.PauseTiming();
        ClearInsulatorAttribLib();
        state.ResumeTiming();
        if (LoadInsulatorAttribFromDBF(path.c_str()) != 1) state.SkipWithError("load failed");
    }
    ClearInsulatorAttribLib();
}
BENCHMARK(BM_LoadInsulatorAttribFromDBF)->Unit(benchmark::kMillisecond);

void BM_OpenWeatherTable(benchmark::State& state) {
    openOnly(state, weatherTable());
}
BENCHMARK(BM_OpenWeatherTable)->Unit(benchmark::kMillisecond);

void BM_OpenAndReadWeatherTable(benchmark::State& state) {
    openAndRead(state, weatherTable());
}
BENCHMARK(BM_OpenAndReadWeatherTable)->Unit(benchmark::kMillisecond);

void BM_LoadWeatherAreaFromDBF(benchmark::State& state) {
    const std::string& path = weatherTable();
    for (auto _ : state) {
        state.PauseTiming();
        ClearWeatherAreaLib();
        state.ResumeTiming();
        if (LoadWeatherAreaFromDBF(path.c_str(), 0) != 1) state.SkipWithError("load failed");
    }
    ClearWeatherAreaLib();
}
BENCHMARK(BM_LoadWeatherAreaFromDBF)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
