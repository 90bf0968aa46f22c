// Cost of the calculation exports, called through the shared library as a host calls them, on the
// sample weather areas and conductors.
//
// - The state equation, each branch of its closed form apart (cosh for J ≥ 1, cos/acos below),
//   over a few hundred realistic solves, against its floor: the C library calls that no solve can
//   do without, each waiting for the one before.
// - The controlling-condition search with its account written to standard output, against the
//   same solves done directly.
//
// Standard output is the null device for the whole run, as it would be for a host whose output
// goes to a file (fully buffered); the report goes to the descriptor standard output had when the
// program started. Ratios of the medians: bench/calc_ratios.py over a JSON report
// (--benchmark_out).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ext/stdio_filebuf.h>
#include <iostream>
#include <random>
#include <vector>

#include "calc/coefficients.h"
#include "calc/control_search.h"
#include "calc/state_equation.h"
#include "support/record_values.h"
#include "varnel.h"

namespace {

// The samples, loaded through the exports as a host loads them, with copies as the calculation
// core's records (the same layout) for the benchmarks that call the core directly.
struct Samples {
    std::vector<const ::WeatherArea*> areas;
    std::vector<const ::LineAttrib*> conductors;
    std::vector<std::vector<varnel::WeatherCondition>> coreAreas;
    std::vector<varnel::LineAttrib> coreConductors;
    bool loaded = false;
};

const Samples& samples() {
    static const Samples s = [] {
        Samples r;
        if (LoadWeatherAreaFromDBF(VARNEL_SAMPLES_DIR "/weather_areas.dbf", 0) != 1 ||
            LoadLineAttribFromDBF(VARNEL_SAMPLES_DIR "/conductors.dbf") != 1) {
            return r;
        }
        const WeatherAreaSeq* areas = GetWeatherAreaLib();
        for (const WeatherArea* a = areas->first; a != areas->last; ++a) {
            r.areas.push_back(a);
            std::vector<varnel::WeatherCondition> core(
                static_cast<std::size_t>(a->conditions.last - a->conditions.first));
            std::memcpy(core.data(), a->conditions.first, core.size() * sizeof core[0]);
            r.coreAreas.push_back(std::move(core));
        }
        const LineAttribSeq* conductors = GetLineAttribLib();
        for (const LineAttrib* c = conductors->first; c != conductors->last; ++c) {
            r.conductors.push_back(c);
            varnel::LineAttrib core;
            std::memcpy(&core, c, sizeof core);
            r.coreConductors.push_back(core);
        }
        static_assert(sizeof(varnel::LineAttrib) == sizeof(::LineAttrib));
        static_assert(sizeof(varnel::WeatherCondition) == sizeof(::WeatherCondition));
        r.loaded = !r.areas.empty() && !r.conductors.empty();
        return r;
    }();
    return s;
}

constexpr double kAverageRatio = 0.25;
constexpr double kStrengthFactor = 0.95;
constexpr double kSafety = 2.5;

// ---------------------------------------------------------------------------------------------
// The state equation

// One solve as the search makes it: condition `known` strung to its allowable stress, the stress
// sought in another condition of the same area.
struct Solve {
    double span;
    double cosAngle;
    const ::LineAttrib* conductor;
    const ::WeatherCondition* known;
    const ::WeatherCondition* sought;
    const varnel::LineAttrib* coreConductor;
    const varnel::WeatherCondition* coreKnown;
    const varnel::WeatherCondition* coreSought;
    double knownStress;
    // What the floor computes with: the vertical and horizontal load per metre of each specific
    // load (N/m) and J of the closed form.
    double verticalKnown, windKnown, verticalSought, windSought;
    double j;
};

struct LoadParts {
    double vertical;
    double wind;
};

// The two components of a specific load, per metre, as the specific load is made of them.
LoadParts loadParts(const ::WeatherCondition& c, const ::LineAttrib& a) {
    const double b = c.iceThickness;
    const double v = c.windSpeed;
    const double d = a.diameter;
    const double vertical = (d + b) * b * 0.027727649636693708 + a.unitMass * 0.00980665;
    const double wind = (d + 2 * b) * v * v * varnel::lineShapeCoff(d, b) *
                        varnel::windAsymmetryCoff(v, b) * 0.000612915625;
    return {vertical, wind};
}

struct SolveSets {
    std::vector<Solve> hyperbolic;     // J ≥ 1: log, sqrt and cosh
    std::vector<Solve> trigonometric;  // J < 1: acos and cos
    std::size_t hyperbolicFound = 0;
    std::size_t trigonometricFound = 0;
    bool ok = false;
};

// Every solve the search can make on the samples (each area's conditions in pairs, each
// conductor, spans 50 to 1000 m, level and inclined), filed by the branch it takes; a few hundred
// of each, picked at random with a fixed seed.
const SolveSets& solveSets() {
    static const SolveSets sets = [] {
        SolveSets r;
        const Samples& s = samples();
        if (!s.loaded) return r;
        std::vector<Solve> all[2];
        for (std::size_t ai = 0; ai < s.areas.size(); ++ai) {
            const ::WeatherArea& area = *s.areas[ai];
            const auto n = static_cast<std::size_t>(area.conditions.last - area.conditions.first);
            for (std::size_t ci = 0; ci < s.conductors.size(); ++ci) {
                const ::LineAttrib& a = *s.conductors[ci];
                const varnel::StressLimits limits = varnel::stressLimits(
                    kAverageRatio, s.coreConductors[ci], kStrengthFactor, kSafety);
                for (double span = 50; span <= 1000; span += 50) {
                    for (double cosAngle : {1.0, 0.95, 0.85}) {
                        for (std::size_t i = 0; i < n; ++i) {
                            for (std::size_t k = 0; k < n; ++k) {
                                if (i == k) continue;
                                const ::WeatherCondition& known = area.conditions.first[i];
                                const ::WeatherCondition& sought = area.conditions.first[k];
                                const double sm = varnel::isAnnualAverage(s.coreAreas[ai][i])
                                                      ? limits.average
                                                      : limits.normal;
                                const LoadParts pk = loadParts(known, a);
                                const LoadParts ps = loadParts(sought, a);
                                // The closed form's J, formed as the solver forms it.
                                const double gk = CalcBZ(&known, &a);
                                const double gs = CalcBZ(&sought, &a);
                                const double kk = cosAngle * cosAngle * cosAngle * a.elasticModulus;
                                const double capA =
                                    (kk * gk * gk * span * span) / (sm * sm * 24) -
                                    (sm + (known.temperature - sought.temperature) *
                                              a.expansionCoeff * a.elasticModulus * cosAngle);
                                const double capB =
                                    kk * gs * gs * span * span * 0.041666666666666664;
                                const double c = capA < 0 ? -1.0 : 1.0;
                                const double absA = std::fabs(capA);
                                const double j = 13.5 * capB / (absA * absA * absA) - c;
                                // The parts are those of the specific load the library uses.
                                const double ga =
                                    std::sqrt(pk.vertical * pk.vertical + pk.wind * pk.wind) /
                                    a.area;
                                if (!(std::fabs(ga - gk) <= 1e-14 * gk)) return r;
                                // Clear of the branch point, so that the last bits of J cannot
                                // change the branch, and of the slack start near J = −1 and of
                                // |A| < 1e-6, which call no trigonometric function.
                                if (absA < 1e-3 || std::fabs(j - 1) < 1e-9 || j < -1 + 1e-5) {
                                    continue;
                                }
                                const Solve solve{span,
                                                  cosAngle,
                                                  &a,
                                                  &known,
                                                  &sought,
                                                  &s.coreConductors[ci],
                                                  &s.coreAreas[ai][i],
                                                  &s.coreAreas[ai][k],
                                                  sm,
                                                  pk.vertical,
                                                  pk.wind,
                                                  ps.vertical,
                                                  ps.wind,
                                                  j};
                                all[j >= 1 ? 0 : 1].push_back(solve);
                            }
                        }
                    }
                }
            }
        }
        r.hyperbolicFound = all[0].size();
        r.trigonometricFound = all[1].size();
        std::mt19937 random(12);
        constexpr std::size_t kPerBranch = 384;
        for (auto& v : all) {
            std::shuffle(v.begin(), v.end(), random);
            if (v.size() > kPerBranch) v.resize(kPerBranch);
        }
        r.hyperbolic = std::move(all[0]);
        r.trigonometric = std::move(all[1]);
        r.ok = !r.hyperbolic.empty() && !r.trigonometric.empty();
        return r;
    }();
    return sets;
}

const std::vector<Solve>& branch(const SolveSets& s, int which) {
    return which == 0 ? s.hyperbolic : s.trigonometric;
}

void labelBranch(benchmark::State& state, const SolveSets& s, int which) {
    state.SetLabel(which == 0 ? "cosh, J>=1" : "cos, J<1");
    state.counters["sets"] = static_cast<double>(branch(s, which).size());
    state.counters["found"] =
        static_cast<double>(which == 0 ? s.hyperbolicFound : s.trigonometricFound);
}

// StateEquationGetForce as a host calls it. Arg 0: J ≥ 1; arg 1: J < 1.
void BM_StateEquationGetForce(benchmark::State& state) {
    const SolveSets& s = solveSets();
    if (!s.ok) return state.SkipWithError("samples not loaded");
    const std::vector<Solve>& solves = branch(s, static_cast<int>(state.range(0)));
    std::size_t i = 0;
    double stress = 0;
    for (auto _ : state) {
        const Solve& p = solves[i];
        StateEquationGetForce(p.span, p.cosAngle, p.conductor, p.known, p.sought, p.knownStress,
                              &stress);
        benchmark::DoNotOptimize(stress);
        if (++i == solves.size()) i = 0;
    }
    labelBranch(state, s, static_cast<int>(state.range(0)));
}
BENCHMARK(BM_StateEquationGetForce)->Arg(0)->Arg(1);

// The same solves through the C++ function the search calls, without the export's checks.
void BM_StateEquationStress(benchmark::State& state) {
    const SolveSets& s = solveSets();
    if (!s.ok) return state.SkipWithError("samples not loaded");
    const std::vector<Solve>& solves = branch(s, static_cast<int>(state.range(0)));
    std::size_t i = 0;
    for (auto _ : state) {
        const Solve& p = solves[i];
        benchmark::DoNotOptimize(varnel::stateEquationStress(
            p.span, p.cosAngle, *p.coreConductor, *p.coreKnown, *p.coreSought, p.knownStress));
        if (++i == solves.size()) i = 0;
    }
    labelBranch(state, s, static_cast<int>(state.range(0)));
}
BENCHMARK(BM_StateEquationStress)->Arg(0)->Arg(1);

// The floor of a solve: the C library calls it cannot do without, on the same inputs. The square
// root of each specific load's sum of squares, then ln(J + √(J² − 1)) and cosh of a third of it
// (J ≥ 1), or acos(J) and cos of a third of it (J < 1). Each call waits for the one before, through
// `zero` (0, unknown to the compiler), as the solver's do; successive solves are independent, as
// the library's are above.
void BM_StateEquationFloor(benchmark::State& state) {
    const SolveSets& s = solveSets();
    if (!s.ok) return state.SkipWithError("samples not loaded");
    const int which = static_cast<int>(state.range(0));
    const std::vector<Solve>& solves = branch(s, which);
    double zero = 0;
    benchmark::DoNotOptimize(zero);
    std::size_t i = 0;
    for (auto _ : state) {
        const Solve& p = solves[i];
        const double g1 = std::sqrt(p.verticalKnown * p.verticalKnown + p.windKnown * p.windKnown);
        const double g2 = std::sqrt(p.verticalSought * p.verticalSought +
                                    p.windSought * p.windSought + g1 * zero);
        const double j = p.j + g2 * zero;
        double z;
        if (which == 0) {
            z = std::cosh(std::log(j + std::sqrt(j * j - 1)) * 0.3333333333333333);
        } else {
            z = std::cos(std::acos(j) * 0.3333333333333333);
        }
        benchmark::DoNotOptimize(z);
        if (++i == solves.size()) i = 0;
    }
    labelBranch(state, s, which);
}
BENCHMARK(BM_StateEquationFloor)->Arg(0)->Arg(1);

// ---------------------------------------------------------------------------------------------
// The controlling-condition search

// One search: a span of an area for a conductor, and the solves it makes, in order.
struct Search {
    double span;
    double cosAngle;
    const ::LineAttrib* conductor;
    const ::WeatherConditionSeq* conditions;
    const varnel::LineAttrib* coreConductor;
    const varnel::WeatherConditionSeq* coreConditions;
    std::size_t firstPair;  // into SearchSet::pairs
    std::size_t pairCount;
};

struct Pair {
    const varnel::WeatherCondition* known;
    const varnel::WeatherCondition* sought;
    double knownStress;
};

// Takes down the solves of a search: each check is the stress of `checked` with the trial's
// condition strung to its stress.
class PairRecorder final : public varnel::SearchObserver {
  public:
    PairRecorder(const varnel::WeatherConditionSeq& c, std::vector<Pair>& pairs)
        : c_(c), pairs_(pairs) {}
    void trialStarted(std::size_t assumed, double stress) override {
        assumed_ = assumed;
        stress_ = stress;
    }
    void checked(std::size_t checked, double, double, bool) override {
        pairs_.push_back({&c_[assumed_], &c_[checked], stress_});
    }

  private:
    const varnel::WeatherConditionSeq& c_;
    std::vector<Pair>& pairs_;
    std::size_t assumed_ = 0;
    double stress_ = 0;
};

struct SearchSet {
    std::vector<Search> searches;
    std::vector<Pair> pairs;
    std::vector<varnel::WeatherConditionSeq> coreSeqs;
    bool ok = false;
};

SearchSet makeSearches(const std::vector<std::size_t>& areas,
                       const std::vector<std::size_t>& conductors, const std::vector<double>& spans,
                       const std::vector<double>& cosines) {
    SearchSet r;
    const Samples& s = samples();
    if (!s.loaded) return r;
    for (std::size_t ai : areas) {
        if (ai >= s.areas.size()) return r;
    }
    for (std::size_t ci : conductors) {
        if (ci >= s.conductors.size()) return r;
    }
    r.coreSeqs.resize(s.areas.size());
    for (std::size_t ai = 0; ai < s.areas.size(); ++ai) {
        auto& v = const_cast<std::vector<varnel::WeatherCondition>&>(s.coreAreas[ai]);
        r.coreSeqs[ai].first = v.data();
        r.coreSeqs[ai].last = r.coreSeqs[ai].endOfStorage = v.data() + v.size();
    }
    for (std::size_t ai : areas) {
        for (std::size_t ci : conductors) {
            for (double span : spans) {
                for (double cosAngle : cosines) {
                    Search search{span,
                                  cosAngle,
                                  s.conductors[ci],
                                  &s.areas[ai]->conditions,
                                  &s.coreConductors[ci],
                                  &r.coreSeqs[ai],
                                  r.pairs.size(),
                                  0};
                    PairRecorder recorder(r.coreSeqs[ai], r.pairs);
                    varnel::controllingCondition(
                        span, cosAngle, kAverageRatio, s.coreConductors[ci], r.coreSeqs[ai],
                        kStrengthFactor, kSafety, &recorder, varnel::AnnualAverage::byName());
                    search.pairCount = r.pairs.size() - search.firstPair;
                    r.searches.push_back(search);
                }
            }
        }
    }
    r.ok = !r.searches.empty();
    return r;
}

std::vector<std::size_t> upTo(std::size_t n) {
    std::vector<std::size_t> v(n);
    for (std::size_t i = 0; i < n; ++i) v[i] = i;
    return v;
}

// Every sample area and conductor, level and inclined spans from 50 to 1200 m.
const SearchSet& variedSearches() {
    static const SearchSet set =
        makeSearches(upTo(samples().areas.size()), upTo(samples().conductors.size()),
                     {50, 120, 250, 400, 600, 850, 1200}, {1, 0.9});
    return set;
}

// The spans of bench/sag_table_bench.sh's 10,000-span table (1 to 1500.85 m by 0.15 m) in the
// sample area VI for JL/G1A-240/30, level: the search alone of that table.
const SearchSet& sagTableSearches() {
    static const SearchSet set = [] {
        std::vector<double> spans;
        for (int i = 0; i < 10000; ++i) spans.push_back(1 + 0.15 * i);
        return makeSearches({5}, {0}, spans, {1});
    }();
    return set;
}

const SearchSet& searchSet(benchmark::State& state) {
    return state.range(0) == 0 ? variedSearches() : sagTableSearches();
}

void countSearches(benchmark::State& state, const SearchSet& set) {
    state.SetLabel(state.range(0) == 0 ? "varied" : "sag-table spans");
    const auto n = static_cast<double>(set.searches.size());
    state.counters["searches"] = n;
    state.counters["solves"] = static_cast<double>(set.pairs.size()) / n;
    // Seconds per search.
    state.counters["per_search"] = benchmark::Counter(
        n, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// StateEquationGetControl as a host calls it, the account going to standard output (the null
// device, fully buffered). Arg 0: varied searches; 1: the sag table's. One iteration makes every
// search of the set.
void BM_StateEquationGetControl(benchmark::State& state) {
    const SearchSet& set = searchSet(state);
    if (!set.ok) return state.SkipWithError("samples not loaded");
    for (auto _ : state) {
        for (const Search& s : set.searches) {
            benchmark::DoNotOptimize(StateEquationGetControl(s.span, s.cosAngle, kAverageRatio,
                                                             s.conductor, s.conditions,
                                                             kStrengthFactor, kSafety));
        }
    }
    countSearches(state, set);
}
BENCHMARK(BM_StateEquationGetControl)->Arg(0)->Arg(1);

// The search without an account (no observer), through the C++ function.
void BM_ControllingConditionSilent(benchmark::State& state) {
    const SearchSet& set = searchSet(state);
    if (!set.ok) return state.SkipWithError("samples not loaded");
    for (auto _ : state) {
        for (const Search& s : set.searches) {
            benchmark::DoNotOptimize(varnel::controllingCondition(
                s.span, s.cosAngle, kAverageRatio, *s.coreConductor, *s.coreConditions,
                kStrengthFactor, kSafety, nullptr, varnel::AnnualAverage::byName()));
        }
    }
    countSearches(state, set);
}
BENCHMARK(BM_ControllingConditionSilent)->Arg(0)->Arg(1);

// The search's solves alone: the pairs each search solved, in the same order, through the C++
// function the search calls.
void BM_SearchSolves(benchmark::State& state) {
    const SearchSet& set = searchSet(state);
    if (!set.ok) return state.SkipWithError("samples not loaded");
    for (auto _ : state) {
        for (const Search& s : set.searches) {
            for (std::size_t k = s.firstPair; k < s.firstPair + s.pairCount; ++k) {
                const Pair& p = set.pairs[k];
                benchmark::DoNotOptimize(varnel::stateEquationStress(
                    s.span, s.cosAngle, *s.coreConductor, *p.known, *p.sought, p.knownStress));
            }
        }
    }
    countSearches(state, set);
}
BENCHMARK(BM_SearchSolves)->Arg(0)->Arg(1);

// ---------------------------------------------------------------------------------------------

::WeatherCondition makeCondition(const char* name, double ice, double wind, double temperature) {
    return varnel::test::conditionOf<::WeatherCondition>(name, ice, wind, temperature);
}

const ::LineAttrib kConductor = varnel::test::jlg1a240Of<::LineAttrib>();
const ::WeatherCondition kIce = makeCondition("ice", 10, 10, -5);

void BM_CalcBZ(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(CalcBZ(&kIce, &kConductor));
}
BENCHMARK(BM_CalcBZ);

void BM_CPBodyWindHZ(benchmark::State& state) {
    const auto wind = makeCondition("wind", 0, 25, 15);
    double force = 0, moment = 0;
    for (auto _ : state) {
        CPBodyWindHZ(&wind, 190, 12, 0.075, 0, &force, &moment);
        benchmark::DoNotOptimize(force);
        benchmark::DoNotOptimize(moment);
    }
}
BENCHMARK(BM_CPBodyWindHZ);

}  // namespace

int main(int argc, char** argv) {
    // The report goes where standard output went; standard output itself becomes the null device
    // before anything is written to it, so the C library buffers it fully, as for a host whose
    // output is a file.
    const int report = dup(STDOUT_FILENO);
    const int devNull = open("/dev/null", O_WRONLY);
    if (report < 0 || devNull < 0 || dup2(devNull, STDOUT_FILENO) < 0) {
        std::perror("calc_bench: cannot send standard output to /dev/null");
        return 1;
    }
    close(devNull);
    __gnu_cxx::stdio_filebuf<char> reportBuffer(report, std::ios::out);
    std::ostream reportStream(&reportBuffer);

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::ConsoleReporter console(isatty(report) ? benchmark::ConsoleReporter::OO_ColorTabular
                                                      : benchmark::ConsoleReporter::OO_Tabular);
    console.SetOutputStream(&reportStream);
    console.SetErrorStream(&std::cerr);
    benchmark::RunSpecifiedBenchmarks(&console);
    benchmark::Shutdown();
    reportStream.flush();
    return 0;
}
