// The profile check of a long line: 1,000 towers (about 400 km, strain towers every fifth, spans
// of 250 to 550 m) over hilly ground given every 20 m, with the nine conditions of typical area VI
// and JL/G1A-240/30, by the catenary and by the parabola. The baseline in the same run is the
// strain sections' design alone (design::designSection over the same sections), the part of the
// work the parabolic check shares with the section command.
//
// Memory: the global allocator is counted while one check runs; the counters give allocations
// and bytes per tower, which stay the same from 250 to 1,000 towers when memory is bounded by the
// result (a few vectors per tower and condition) and nothing grows with the whole line.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "design/line_profile.h"
#include "design/strain_section.h"
#include "support/core_fixtures.h"

namespace {

std::atomic<bool> counting{false};
std::atomic<long long> allocations{0};
std::atomic<long long> allocatedBytes{0};

}  // namespace

// The replacements pair malloc with free; GCC, inlining them into the standard library's callers,
// still sees a new matched with free and would warn.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

void* operator new(std::size_t size) {
    if (counting.load(std::memory_order_relaxed)) {
        allocations.fetch_add(1, std::memory_order_relaxed);
        allocatedBytes.fetch_add(static_cast<long long>(size), std::memory_order_relaxed);
    }
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

namespace {

using varnel::design::TerrainPoint;
using varnel::design::Tower;
using varnel::design::TowerKind;

struct Line {
    varnel::test::ConditionList conditions{varnel::test::areaSixConditions()};
    varnel::LineAttrib conductor = varnel::test::coreJlg1a240();
    std::vector<TerrainPoint> terrain;
    std::vector<Tower> towers;
};

// A deterministic line: spans and tower heights from a small linear congruential sequence, the
// ground a sum of two waves.
const Line& line(std::size_t count) {
    static std::vector<std::unique_ptr<Line>> made;
    for (const auto& l : made) {
        if (l->towers.size() == count) return *l;
    }
    auto l = std::make_unique<Line>();
    unsigned seed = 12345;
    const auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return static_cast<double>((seed >> 8) & 0xFFFF) / 65536.0;
    };
    double station = 0;
    for (std::size_t i = 0; i < count; ++i) {
        Tower t;
        t.name = "T" + std::to_string(i + 1);
        t.station = station;
        t.kind = (i % 5 == 0 || i + 1 == count) ? TowerKind::strain : TowerKind::suspension;
        t.armHeight = 27 + 12 * next();
        t.insulatorLength = t.kind == TowerKind::suspension ? 2.5 : 0;
        t.insulatorWeight = 600;
        t.insulatorArea = 0.2;
        t.maxSwing = 55;
        l->towers.push_back(t);
        station += 250 + 300 * next();
    }
    for (double s = 0; s <= l->towers.back().station + 20; s += 20) {
        l->terrain.push_back(
            {s, 200 + 40 * std::sin(s / 1700) + 12 * std::sin(s / 230) + 3 * std::sin(s / 47)});
    }
    made.push_back(std::move(l));
    return *made.back();
}

void checkLine(benchmark::State& state, varnel::SpanModel model) {
    const Line& l = line(static_cast<std::size_t>(state.range(0)));
    varnel::design::ProfileOptions options;
    options.model = model;
    options.groundClearance = 7;
    options.maxTemperature = 80;
    for (auto _ : state) {
        benchmark::DoNotOptimize(varnel::design::checkProfile(l.conductor, l.conditions.seq, {},
                                                              l.terrain, l.towers, {}, options)
                                     .violations.size());
    }
    allocations = 0;
    allocatedBytes = 0;
    counting = true;
    benchmark::DoNotOptimize(varnel::design::checkProfile(l.conductor, l.conditions.seq, {},
                                                          l.terrain, l.towers, {}, options)
                                 .towers.size());
    counting = false;
    const double towers = static_cast<double>(l.towers.size());
    state.counters["allocs_per_tower"] = static_cast<double>(allocations.load()) / towers;
    state.counters["bytes_per_tower"] = static_cast<double>(allocatedBytes.load()) / towers;
    state.counters["line_km"] = l.towers.back().station / 1000;
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_rss_MB"] = static_cast<double>(usage.ru_maxrss) / 1024;
}

void BM_ProfileCatenary(benchmark::State& state) {
    checkLine(state, varnel::SpanModel::catenary);
}
BENCHMARK(BM_ProfileCatenary)->Arg(250)->Arg(1000)->Unit(benchmark::kMillisecond);

void BM_ProfileParabola(benchmark::State& state) {
    checkLine(state, varnel::SpanModel::parabola);
}
BENCHMARK(BM_ProfileParabola)->Arg(250)->Arg(1000)->Unit(benchmark::kMillisecond);

// The baseline: each strain section's parabolic design, nothing else.
void BM_SectionsOnly(benchmark::State& state) {
    const Line& l = line(static_cast<std::size_t>(state.range(0)));
    std::vector<std::vector<varnel::design::SpanGeometry>> sections;
    for (std::size_t first = 0; first + 1 < l.towers.size();) {
        std::size_t last = first + 1;
        while (l.towers[last].kind != TowerKind::strain) ++last;
        std::vector<varnel::design::SpanGeometry> spans;
        for (std::size_t i = first; i < last; ++i) {
            spans.push_back({l.towers[i + 1].station - l.towers[i].station, 0});
        }
        sections.push_back(std::move(spans));
        first = last;
    }
    for (auto _ : state) {
        double sum = 0;
        for (const auto& s : sections) {
            sum +=
                varnel::design::designSection(l.conductor, l.conditions.seq, {}, s).controlStress;
        }
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(BM_SectionsOnly)->Arg(1000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
