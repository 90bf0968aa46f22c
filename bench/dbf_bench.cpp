// Opening a large table: 100,000 records of 25 fields (numbers and GBK texts, some 30 MB), and
// the same records ten times over (some 300 MB). CDbase::Open is measured against reading the
// same file into memory (its floor: Open reads the file whole, then checks it), and Open
// followed by GetRecord of every record (what a loader does) against shapelib reading every field
// as a string. The memory that an open table holds is reported as counters beside the file's size.
//
// First opens: a host opens a table once, into memory the process has never used, and pays a
// page fault for every page of the buffer. Each iteration is a fresh process (this program run
// again in a child mode) that times one Open, or one read() of the file into a new malloc'd
// buffer, and reports it; the time of starting the process is not counted. The file was written
// and read by the parent just before, so it is in the page cache for both: what is measured is
// the copy out of the cache and the faults, not the disk. Repeated opens, in one process, reuse
// the block the C library kept from the previous one: they are kept as the warm figure.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <malloc.h>
#include <shapefil.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench_child.h"
#include "dbf/dbase.h"
#include "support/dbf_writer.h"

namespace {

constexpr int kRecords = 100000;
constexpr int kNumberFields = 10;
constexpr int kTextFields = 15;

// GBK words: 输电线路 (transmission line), 导线 (conductor), 绝缘子 (insulator), 气象区 (weather
// area), 覆冰 (ice), 大风 (high wind).
const char* const kWords[] = {
    "\xCA\xE4\xB5\xE7\xCF\xDF\xC2\xB7", "\xB5\xBC\xCF\xDF", "\xBE\xF8\xD4\xB5\xD7\xD3",
    "\xC6\xF8\xCF\xF3\xC7\xF8",         "\xB8\xB2\xB1\xF9", "\xB4\xF3\xB7\xE7"};

const std::string& tablePath() {
    static const std::string path = [] {
        varnel::test::DbfWriter w;
        std::vector<std::uint8_t> widths;
        for (int j = 0; j < kNumberFields; ++j) w.field("N" + std::to_string(j), 12, 'N');
        for (int j = 0; j < kTextFields; ++j) {
            widths.push_back(static_cast<std::uint8_t>(8 + 2 * (j % 5)));
            w.field("T" + std::to_string(j), widths.back());
        }
        std::vector<std::string> values(kNumberFields + kTextFields);
        for (int r = 0; r < kRecords; ++r) {
            for (int j = 0; j < kNumberFields; ++j) {
                char number[16];
                std::snprintf(number, sizeof number, "%12.3f", (r * 37 + j * 11) % 100000 / 7.0);
                values[static_cast<std::size_t>(j)] = number;
            }
            for (int j = 0; j < kTextFields; ++j) {
                std::string text = kWords[(r + j) % 6];
                if ((r + j) % 3 == 0) text += kWords[(r * 7 + j) % 6];
                text.resize(
                    std::min<std::size_t>(text.size(), widths[static_cast<std::size_t>(j)]));
                values[static_cast<std::size_t>(kNumberFields + j)] = text;
            }
            w.record(values);
        }
        const std::string file = varnel::test::tempPath("bench.dbf");
        w.save(file);
        return file;
    }();
    return path;
}

// The same records ten times over: 1,000,000 records, some 300 MB.
const std::string& bigTablePath() {
    static const std::string path = varnel::bench::repeatedTable(tablePath(), 10, "big.dbf");
    return path;
}

// Reading the whole file also puts it in the page cache.
std::size_t fileSize(const std::string& path) {
    return varnel::test::loadBytes(path).size();
}

std::size_t fileSize() {
    return fileSize(tablePath());
}

const std::string& pathOfSize(std::int64_t arg) {
    return arg == 0 ? tablePath() : bigTablePath();
}

using Clock = std::chrono::steady_clock;

long long nanosecondsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - start).count();
}

// Child modes: one Open, or one plain read() into a freshly allocated buffer, timed; prints the
// nanoseconds. The read does what Open cannot do without: open, size, allocate, read, close.
int childFirstOpen(const char* path) {
    const Clock::time_point start = Clock::now();
    varnel::CDbase table;
    const int opened = table.Open(path);
    const long long ns = nanosecondsSince(start);
    if (opened != 1) return 1;
    std::printf("%lld\n", ns);
    return 0;
}

int childFirstRead(const char* path) {
    const Clock::time_point start = Clock::now();
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 1;
    struct stat status {};
    if (::fstat(fd, &status) != 0) return 1;
    const auto size = static_cast<std::size_t>(status.st_size);
    auto* bytes = static_cast<unsigned char*>(std::malloc(size));
    if (bytes == nullptr) return 1;
    std::size_t got = 0;
    while (got < size) {
        const ssize_t n = ::read(fd, bytes + got, size - got);
        if (n <= 0) return 1;
        got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    const long long ns = nanosecondsSince(start);
    benchmark::DoNotOptimize(bytes[size / 2]);
    std::free(bytes);
    std::printf("%lld\n", ns);
    return 0;
}

void firstTimes(benchmark::State& state, const char* mode) {
    const std::string& path = pathOfSize(state.range(0));
    const std::size_t size = fileSize(path);
    for (auto _ : state) {
        const std::string out = varnel::bench::runChild({mode, path});
        state.SetIterationTime(std::stod(out) * 1e-9);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(size));
    state.counters["file_MB"] = static_cast<double>(size) / 1e6;
}

void BM_FirstRead(benchmark::State& state) {
    firstTimes(state, "--child-first-read");
}
BENCHMARK(BM_FirstRead)
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Iterations(10)
    ->Unit(benchmark::kMillisecond);

void BM_FirstOpen(benchmark::State& state) {
    firstTimes(state, "--child-first-open");
}
BENCHMARK(BM_FirstOpen)
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Iterations(10)
    ->Unit(benchmark::kMillisecond);

// Bytes in use: the heap's blocks in use, and every mapping the process holds other than the
// heap itself (the C library's large blocks, a large table's own pages).
std::size_t memoryInUse() {
    const struct mallinfo2 info = mallinfo2();
    std::size_t pages = 0;
    if (std::FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%zu", &pages) != 1) pages = 0;
        std::fclose(f);
    }
    const std::size_t mapped = pages * static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    return info.uordblks + mapped - info.arena;
}

// Repeated: the second and later reads get the block the C library kept from the first.
void BM_ReadFileIntoMemory(benchmark::State& state) {
    const std::string& path = tablePath();
    for (auto _ : state) {
        std::FILE* f = std::fopen(path.c_str(), "rb");
        std::fseek(f, 0, SEEK_END);
        const auto size = static_cast<std::size_t>(std::ftell(f));
        std::fseek(f, 0, SEEK_SET);
        auto* bytes = static_cast<unsigned char*>(std::malloc(size));
        benchmark::DoNotOptimize(std::fread(bytes, 1, size, f));
        std::fclose(f);
        benchmark::DoNotOptimize(bytes[size / 2]);
        std::free(bytes);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * fileSize()));
}
BENCHMARK(BM_ReadFileIntoMemory)->Unit(benchmark::kMillisecond);

void BM_CDbaseOpen(benchmark::State& state) {
    const std::string& path = tablePath();
    for (auto _ : state) {
        varnel::CDbase table;
        if (table.Open(path.c_str()) != 1) state.SkipWithError("Open failed");
        benchmark::DoNotOptimize(table.GetRecordCount());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * fileSize()));

    // What an open table holds, against the goal of the file's size plus 8 bytes per text.
    const std::size_t before = memoryInUse();
    varnel::CDbase table;
    table.Open(path.c_str());
    const std::size_t held = memoryInUse() - before;
    const double texts = double{kRecords} * (kNumberFields + kTextFields);
    state.counters["file_MB"] = static_cast<double>(fileSize()) / 1e6;
    state.counters["held_MB"] = static_cast<double>(held) / 1e6;
    state.counters["goal_MB"] = (static_cast<double>(fileSize()) + 8 * texts) / 1e6;
}
BENCHMARK(BM_CDbaseOpen)->Unit(benchmark::kMillisecond);

void BM_CDbaseOpenAndReadEveryRecord(benchmark::State& state) {
    const std::string& path = tablePath();
    varnel::TextList values;
    for (auto _ : state) {
        varnel::CDbase table;
        if (table.Open(path.c_str()) != 1) state.SkipWithError("Open failed");
        for (int r = 0; r < table.GetRecordCount(); ++r) {
            table.GetRecord(r, values);
            benchmark::DoNotOptimize(values.data());
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * fileSize()));
}
BENCHMARK(BM_CDbaseOpenAndReadEveryRecord)->Unit(benchmark::kMillisecond);

void BM_ShapelibReadEveryField(benchmark::State& state) {
    const std::string& path = tablePath();
    for (auto _ : state) {
        DBFHandle dbf = DBFOpen(path.c_str(), "rb");
        const int fields = DBFGetFieldCount(dbf);
        for (int r = 0; r < DBFGetRecordCount(dbf); ++r) {
            if (DBFIsRecordDeleted(dbf, r)) continue;
            for (int j = 0; j < fields; ++j) {
                benchmark::DoNotOptimize(DBFReadStringAttribute(dbf, r, j));
            }
        }
        DBFClose(dbf);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * fileSize()));
}
BENCHMARK(BM_ShapelibReadEveryField)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--child-first-open") == 0) {
        return childFirstOpen(argv[2]);
    }
    if (argc == 3 && std::strcmp(argv[1], "--child-first-read") == 0) {
        return childFirstRead(argv[2]);
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
