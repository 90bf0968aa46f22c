// Loading each of the five libraries from a table of 100,000 rows against the table object's own
// work on the same file: its Open, and its Open followed by cutting every field of every record
// into the views a loader reads (GetRecordViews: no copies, no records built). The loader adds
// to the second what it takes to turn texts into records. Each load goes into an empty library
// that is released, untimed, after it, so the library's growth is paid as a host pays it.
//
// Peak memory: each loader in a fresh process (this program run again in a child mode) loads a
// table of 1,000,000 rows; the child reports its peak resident size before and after the load
// (VmHWM), and the growth is set against the file's size and the library's records.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "bench_child.h"
#include "calc/records/library_records.h"
#include "dbf/dbase.h"
#include "libraries/components/component_loaders.h"
#include "libraries/weather/weather_area_loader.h"
#include "support/dbf_writer.h"

namespace {

constexpr int kRows = 100000;
constexpr int kPeakRepeats = 10;  // 1,000,000 rows for the peak memory

enum Kind : int { kWeather, kLoadCase, kConductors, kHBLines, kInsulators };
constexpr const char* kKindNames[] = {"weather", "load_case", "conductors", "hb_lines",
                                      "insulators"};

std::string number(int row, int column) {
    return std::to_string((row * 37 + column * 11) % 100000) + "." + std::to_string(column % 10);
}

// Text columns are GBK names and designations; the others numbers, as the design tables hold.
void writeTable(Kind kind, const std::string& path) {
    varnel::test::DbfWriter w;
    std::vector<int> textColumns;
    int fields = 0;
    switch (kind) {
        case kWeather:
            fields = 15;
            break;
        case kLoadCase:
            fields = 10;
            break;
        case kConductors:
            fields = 11, textColumns = {10};
            break;
        case kHBLines:
            fields = 12, textColumns = {10};
            break;
        case kInsulators:
            fields = 25, textColumns = {5, 11, 18, 24};
            break;
    }
    const bool areas = kind == kWeather || kind == kLoadCase;
    const auto isText = [&](int c) {
        for (int t : textColumns) {
            if (t == c) return true;
        }
        return false;
    };
    for (int c = 0; c < fields; ++c) {
        const bool text = isText(c) || (c == 0 && kind != kInsulators);
        w.field("C" + std::to_string(c), text ? 24 : (areas ? 8 : 12), text ? 'C' : 'N');
    }
    std::vector<std::string> row(static_cast<std::size_t>(fields));
    for (int r = 0; r < kRows; ++r) {
        for (int c = 0; c < fields; ++c) {
            std::string& cell = row[static_cast<std::size_t>(c)];
            if (c == 0 && kind != kInsulators) {
                cell = "\xC6\xF8\xCF\xF3\xC7\xF8" + std::to_string(r);  // 气象区
            } else if (isText(c)) {
                cell = "\xBE\xF8\xD4\xB5\xD7\xD3 XP-" + std::to_string(r % 300);  // 绝缘子
            } else if (areas) {
                cell = std::to_string((r + c) % 40 - 10);
            } else if (c == 9) {
                cell = std::to_string(r % 7);
            } else {
                cell = number(r, c);
            }
        }
        w.record(row);
    }
    w.save(path);
}

const std::string& tablePath(Kind kind) {
    static std::string paths[5];
    std::string& path = paths[kind];
    if (path.empty()) {
        path = varnel::test::tempPath(std::string("bench_") + kKindNames[kind] + ".dbf");
        writeTable(kind, path);
    }
    return path;
}

// Loads the table at `path` into an empty library of its kind; returns the bytes of the records
// the library then holds (with the conditions of weather areas), or 0 when the load failed.
template <class Record, class Load>
std::size_t loadOnce(const char* path, Load load) {
    varnel::Sequence<Record> library{};
    std::size_t bytes = 0;
    if (load(library, path) == 1) bytes = library.size() * sizeof(Record);
    if constexpr (std::is_same_v<Record, varnel::WeatherArea>) {
        for (const varnel::WeatherArea& area : library) {
            bytes += area.conditions.size() * sizeof(varnel::WeatherCondition);
        }
    }
    library.release();
    return bytes;
}

std::size_t load(Kind kind, const char* path) {
    switch (kind) {
        case kWeather:
            return loadOnce<varnel::WeatherArea>(path, [](auto& lib, const char* p) {
                return varnel::loadWeatherAreas(lib, p, false);
            });
        case kLoadCase:
            return loadOnce<varnel::WeatherArea>(path, [](auto& lib, const char* p) {
                return varnel::loadLoadCaseWeatherAreas(lib, p, false);
            });
        case kConductors:
            return loadOnce<varnel::LineAttrib>(path, varnel::loadLineAttribs);
        case kHBLines:
            return loadOnce<varnel::HBLineAttrib>(path, varnel::loadHBLineAttribs);
        case kInsulators:
            return loadOnce<varnel::InsulatorAttrib>(path, varnel::loadInsulatorAttribs);
    }
    return 0;
}

void BM_Open(benchmark::State& state) {
    const std::string& path = tablePath(static_cast<Kind>(state.range(0)));
    for (auto _ : state) {
        varnel::CDbase table;
        if (table.Open(path.c_str(), 0) != 1) state.SkipWithError("open failed");
        benchmark::DoNotOptimize(table.GetRecordCount());
    }
    state.SetLabel(kKindNames[state.range(0)]);
}

// Open and every record's fields cut into views: the reading a loader cannot do without.
void BM_OpenAndViews(benchmark::State& state) {
    const std::string& path = tablePath(static_cast<Kind>(state.range(0)));
    std::vector<std::string_view> views;
    for (auto _ : state) {
        varnel::CDbase table;
        if (table.Open(path.c_str(), 0) != 1) state.SkipWithError("open failed");
        for (int r = 0; r < table.GetRecordCount(); ++r) {
            table.GetRecordViews(r, views);
            benchmark::DoNotOptimize(views.data());
            benchmark::ClobberMemory();
        }
    }
    state.SetLabel(kKindNames[state.range(0)]);
}

// A load into an empty library; the release afterwards is not timed.
void BM_Load(benchmark::State& state) {
    const auto kind = static_cast<Kind>(state.range(0));
    const std::string& path = tablePath(kind);
    for (auto _ : state) {
        varnel::WeatherAreaLib areas{};
        varnel::LineAttribLib lines{};
        varnel::HBLineAttribLib hbLines{};
        varnel::InsulatorAttribLib insulators{};
        int loaded = 0;
        switch (kind) {
            case kWeather:
                loaded = varnel::loadWeatherAreas(areas, path.c_str(), false);
                break;
            case kLoadCase:
                loaded = varnel::loadLoadCaseWeatherAreas(areas, path.c_str(), false);
                break;
            case kConductors:
                loaded = varnel::loadLineAttribs(lines, path.c_str());
                break;
            case kHBLines:
                loaded = varnel::loadHBLineAttribs(hbLines, path.c_str());
                break;
            case kInsulators:
                loaded = varnel::loadInsulatorAttribs(insulators, path.c_str());
                break;
        }
        if (loaded != 1) state.SkipWithError("load failed");
        state.PauseTiming();
        areas.release();
        lines.release();
        hbLines.release();
        insulators.release();
        state.ResumeTiming();
    }
    state.SetLabel(kKindNames[kind]);
}

void allKinds(benchmark::internal::Benchmark* b) {
    b->DenseRange(kWeather, kInsulators)->Unit(benchmark::kMillisecond);
}
BENCHMARK(BM_Open)->Apply(allKinds);
BENCHMARK(BM_OpenAndViews)->Apply(allKinds);
BENCHMARK(BM_Load)->Apply(allKinds);

// The process's peak resident size in kilobytes, VmHWM: getrusage's ru_maxrss was seen to miss
// most of a peak whose memory had been given back by the time it was asked.
long peakKilobytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
    }
    return -1;
}

// Child mode: loads the table at `path` once; prints the peak resident kilobytes before and
// after, and the bytes of the records loaded.
int childPeak(Kind kind, const char* path) {
    const long before = peakKilobytes();
    const std::size_t records = load(kind, path);
    const long after = peakKilobytes();
    if (records == 0) return 1;
    std::printf("%ld %ld %zu\n", before, after, records);
    return 0;
}

void BM_PeakMemory(benchmark::State& state) {
    const auto kind = static_cast<Kind>(state.range(0));
    static std::string bigPaths[5];
    std::string& path = bigPaths[kind];
    if (path.empty()) {
        path = varnel::bench::repeatedTable(tablePath(kind), kPeakRepeats,
                                            std::string("peak_") + kKindNames[kind] + ".dbf");
    }
    const double file = static_cast<double>(varnel::test::loadBytes(path).size());
    long before = 0, after = 0;
    std::size_t records = 0;
    for (auto _ : state) {
        const std::string out = varnel::bench::runChild({"--child-peak", kKindNames[kind], path});
        if (std::sscanf(out.c_str(), "%ld %ld %zu", &before, &after, &records) != 3) {
            state.SkipWithError("child gave no figures");
        }
    }
    const double grown = static_cast<double>(after - before) * 1024;
    state.counters["file_MB"] = file / 1e6;
    state.counters["records_MB"] = static_cast<double>(records) / 1e6;
    state.counters["peak_MB"] = grown / 1e6;
    state.counters["goal_MB"] = (file + 1.2 * static_cast<double>(records)) / 1e6;
    state.counters["peak_over_goal"] = grown / (file + 1.2 * static_cast<double>(records));
    state.SetLabel(kKindNames[kind]);
}
BENCHMARK(BM_PeakMemory)->DenseRange(kWeather, kInsulators)->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--child-peak") == 0) {
        for (int k = kWeather; k <= kInsulators; ++k) {
            if (std::strcmp(argv[2], kKindNames[k]) == 0) {
                return childPeak(static_cast<Kind>(k), argv[3]);
            }
        }
        return 2;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
