// Cost of the catenary change of state against the parabolic state equation it stands beside.
//
// - Per span: the same few hundred realistic solves (spans 50–1500 m, level and inclined, from a
//   cold calm condition to hot, iced and windy ones) by the parabolic state equation and by the
//   catenary change of state, both as the whole single-span call (the known state's L₀ worked
//   at each call) and as the solve alone from a CatenaryChangeOfState (that L₀ worked once, as
//   in a section's loop over conditions). The goal: the catenary at most 3× the parabola.
// - One evaluation of the unstressed length L₀, the unit of the catenary's cost.
// - A strain section of 100 spans: its stress in each of nine conditions (the section's one
//   unstressed length worked once and kept), then its stringing table: the stress at every 5 °C
//   from −40 to 40 °C and every span's curve at that stress (largest sag, its place, length,
//   support stresses).
// - The same solves and section with the loads of wind as wind: the sought states' vertical
//   part below their resultant, each span solved in the plane of its load.
//
// Ratios of the medians, e.g.:
//   catenary_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <span>
#include <vector>

#include "calc/catenary_state.h"
#include "calc/span_curve.h"
#include "calc/state_equation.h"

namespace {

struct Solve {
    varnel::SectionSpan span;
    double cosAngle;
    varnel::LoadState known;
    double knownStress;
    varnel::LoadState sought;
};

constexpr varnel::ConductorStrain kConductor{73000, 19.6e-6};

const std::vector<Solve>& solves() {
    static const std::vector<Solve> s = [] {
        std::vector<Solve> r;
        std::mt19937_64 random(42);
        std::uniform_real_distribution<double> spans(50, 1500), slopes(-0.3, 0.3),
            stresses(50, 120);
        const varnel::LoadState sought[] = {
            {0.0327, 40}, {0.0327, -20}, {0.055, -5}, {0.085, -5}, {0.045, 10}};
        for (int i = 0; i < 300; ++i) {
            const double l = spans(random);
            const double h = i % 3 == 0 ? 0 : slopes(random) * l;
            r.push_back(
                {{l, h}, l / std::hypot(l, h), {0.0327, -10}, stresses(random), sought[i % 5]});
        }
        return r;
    }();
    return s;
}

void parabolicStateEquation(benchmark::State& state) {
    for (auto _ : state) {
        for (const Solve& s : solves()) {
            benchmark::DoNotOptimize(varnel::stateEquationStress(
                s.span.span, s.cosAngle, kConductor.elasticModulus, kConductor.expansionCoeff,
                s.known, s.knownStress, s.sought));
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<long>(solves().size()));
}
BENCHMARK(parabolicStateEquation);

void catenaryChangeOfState(benchmark::State& state) {
    for (auto _ : state) {
        for (const Solve& s : solves()) {
            benchmark::DoNotOptimize(
                varnel::catenaryStateStress(s.span, kConductor, s.known, s.knownStress, s.sought));
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<long>(solves().size()));
}
BENCHMARK(catenaryChangeOfState);

// The solve alone, the known state's unstressed length already worked (CatenaryChangeOfState,
// as a section's conditions and stringing table use it): the parabola's start and the steps.
void catenaryChangeOfStateKnownLengthGiven(benchmark::State& state) {
    std::vector<varnel::CatenaryChangeOfState> changes;
    changes.reserve(solves().size());
    for (const Solve& s : solves()) {
        changes.emplace_back(std::span<const varnel::SectionSpan>(&s.span, 1), kConductor, s.known,
                             s.knownStress);
    }
    for (auto _ : state) {
        for (std::size_t i = 0; i < changes.size(); ++i) {
            benchmark::DoNotOptimize(changes[i].stressIn(solves()[i].sought));
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<long>(solves().size()));
}
BENCHMARK(catenaryChangeOfStateKnownLengthGiven);

// The sought loads above heavier than the bare conductor's by their wind: each solved in the
// plane of its load, the spans' constants for the start worked for that plane at each solve.
varnel::LoadState inWind(const varnel::LoadState& s) {
    return s.load > 0.0327 ? varnel::LoadState{s.load, s.temperature, 0.0327} : s;
}

void catenaryChangeOfStateInWind(benchmark::State& state) {
    for (auto _ : state) {
        for (const Solve& s : solves()) {
            benchmark::DoNotOptimize(varnel::catenaryStateStress(s.span, kConductor, s.known,
                                                                 s.knownStress, inWind(s.sought)));
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<long>(solves().size()));
}
BENCHMARK(catenaryChangeOfStateInWind);

void catenaryChangeOfStateKnownLengthGivenInWind(benchmark::State& state) {
    std::vector<varnel::CatenaryChangeOfState> changes;
    changes.reserve(solves().size());
    for (const Solve& s : solves()) {
        changes.emplace_back(std::span<const varnel::SectionSpan>(&s.span, 1), kConductor, s.known,
                             s.knownStress);
    }
    for (auto _ : state) {
        for (std::size_t i = 0; i < changes.size(); ++i) {
            benchmark::DoNotOptimize(changes[i].stressIn(inWind(solves()[i].sought)));
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<long>(solves().size()));
}
BENCHMARK(catenaryChangeOfStateKnownLengthGivenInWind);

// One evaluation of L₀ (what each step costs), over the same spans in the sought state.
void catenaryUnstressedLength(benchmark::State& state) {
    for (auto _ : state) {
        for (const Solve& s : solves()) {
            benchmark::DoNotOptimize(
                varnel::unstressedLength(s.span, s.knownStress, s.sought, kConductor));
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<long>(solves().size()));
}
BENCHMARK(catenaryUnstressedLength);

// 100 spans of 250–550 m over rolling ground.
std::vector<varnel::SectionSpan> hundredSpans() {
    std::vector<varnel::SectionSpan> spans;
    std::mt19937_64 random(100);
    std::uniform_real_distribution<double> lengths(250, 550), slopes(-0.15, 0.15);
    for (int i = 0; i < 100; ++i) {
        const double l = lengths(random);
        spans.push_back({l, slopes(random) * l});
    }
    return spans;
}

void sectionWithStringingTable(benchmark::State& state, bool wind) {
    const std::vector<varnel::SectionSpan> spans = hundredSpans();
    const varnel::LoadState known{0.0327, -10};
    varnel::LoadState conditions[] = {{0.0327, -10}, {0.045, 10},  {0.0327, 15},
                                      {0.085, -5},   {0.0327, 40}, {0.055, 15},
                                      {0.0327, -5},  {0.04, 15},   {0.05, 15}};
    if (wind) {
        // 大风, 覆冰 (its ice 0.065 of the 0.085), 安装, 外过, 内过
        for (int k : {1, 5, 7, 8}) conditions[k].verticalLoad = 0.0327;
        conditions[3].verticalLoad = 0.065;
    }
    for (auto _ : state) {
        // As design::catenarySection and the stringing table do: the unstressed length once.
        const varnel::CatenaryChangeOfState change(spans, kConductor, known, 80);
        for (const varnel::LoadState& c : conditions) {
            benchmark::DoNotOptimize(change.stressIn(c));
        }
        for (double t = -40; t <= 40; t += 5) {
            const double stress = change.stressIn({0.0327, t});
            for (const varnel::SectionSpan& s : spans) {
                const varnel::SpanCurve curve(varnel::SpanModel::catenary, s.span,
                                              s.heightDifference, stress, 0.0327);
                benchmark::DoNotOptimize(curve.maxSag());
                benchmark::DoNotOptimize(curve.length());
                benchmark::DoNotOptimize(curve.farStress());
            }
        }
    }
}
void catenarySectionWithStringingTable(benchmark::State& state) {
    sectionWithStringingTable(state, false);
}
BENCHMARK(catenarySectionWithStringingTable)->Unit(benchmark::kMillisecond);

void catenarySectionWithStringingTableInWind(benchmark::State& state) {
    sectionWithStringingTable(state, true);
}
BENCHMARK(catenarySectionWithStringingTableInWind)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
