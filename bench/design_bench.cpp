// The strain-section design layer.
// - Critical spans of a nine-condition area (typical area VI, JL/G1A-240/30), against the least
//   a sag table does to find the same boundaries: the quiet controlling-condition search at every
//   metre of the span range the table covers (0 to 1500 m), no account printed.
// - A 100-span section (spans of 250 to 500 m, some inclined) with its 13-temperature stringing
//   table.
#include <benchmark/benchmark.h>

#include <vector>

#include "design/critical_spans.h"
#include "design/strain_section.h"
#include "support/core_fixtures.h"

namespace {

struct AreaSix {
    varnel::test::ConditionList conditions{varnel::test::areaSixConditions()};
    const varnel::WeatherConditionSeq& seq = conditions.seq;
    varnel::LineAttrib conductor = varnel::test::coreJlg1a240();
};

const AreaSix kArea;

void BM_CriticalSpans(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            varnel::design::criticalSpans(kArea.conductor, kArea.seq, {}).ranges.size());
    }
}
BENCHMARK(BM_CriticalSpans);

void BM_SearchEveryMetreTo1500(benchmark::State& state) {
    for (auto _ : state) {
        int changes = 0, previous = -2;
        for (int l = 0; l <= 1500; ++l) {
            const int now = varnel::design::controllingAt(l, kArea.conductor, kArea.seq, {});
            changes += now != previous;
            previous = now;
        }
        benchmark::DoNotOptimize(changes);
    }
}
BENCHMARK(BM_SearchEveryMetreTo1500);

std::vector<varnel::design::SpanGeometry> hundredSpans() {
    std::vector<varnel::design::SpanGeometry> spans;
    for (int i = 0; i < 100; ++i) {
        spans.push_back({250.0 + (i * 37) % 251, (i % 3 == 0) ? 0.0 : ((i * 13) % 61) - 30.0});
    }
    return spans;
}

void BM_SectionOfHundredSpansWithStringing(benchmark::State& state) {
    const auto spans = hundredSpans();
    for (auto _ : state) {
        const auto d = varnel::design::designSection(kArea.conductor, kArea.seq, {}, spans);
        const auto rows =
            varnel::design::stringingTable(kArea.conductor, kArea.seq, d, spans, {-20, 40, 5}, 20);
        benchmark::DoNotOptimize(rows.back().sag.back());
    }
}
BENCHMARK(BM_SectionOfHundredSpansWithStringing);

}  // namespace

BENCHMARK_MAIN();
