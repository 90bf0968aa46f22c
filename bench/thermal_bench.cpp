// Cost of a year of hourly thermal ratings through the batch (thermal_batch.h), the loop the
// Python functions run:
//
// - FixedSun: 8,760 hours whose air and wind speed change, the sun a fixed 1000 W/m² across the
//   line (the Chinese design practice), the wind across the line.
// - LineYear: the same hours with every input changing but the line's own latitude and azimuth:
//   the sun placed by the day and hour, the wind's direction against the line, the elevation,
//   albedo, clearness, emissivity, absorptivity and resistance. The goal: at most 1.5× FixedSun.
// - EveryInput: LineYear with the latitude and azimuth changing every row as well.
// - Million: a million rows of EveryInput's kind in one call.
//
// Both answers (the ampacity at 70 °C, the temperature for a current) and both models. E.g.:
//   thermal_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
#include <benchmark/benchmark.h>

#include <cstddef>
#include <random>
#include <vector>

#include "thermal/thermal_batch.h"

namespace {

using namespace varnel::thermal;

struct Rows {
    std::size_t n = 0;
    std::vector<double> value, ambient, wind, direction, azimuth, elevation, latitude, day, hour,
        albedo, clearness, emissivity, absorptivity, r1, r2;
    std::vector<double> out[9];
    double angle = 90, irradiance = 1000, zero = 0, diameter = 0.02682, t1 = 20, t2 = 120;
    double r20 = 0.0739e-3, r120 = 0.0739e-3 * 1.403, coefficient = 0.9;

    Rows(std::size_t rows, Solve solve) : n(rows) {
        std::mt19937_64 rng(738);
        const auto uniform = [&](double lo, double hi) {
            std::vector<double> v(n);
            std::uniform_real_distribution<double> d(lo, hi);
            for (double& x : v) x = d(rng);
            return v;
        };
        value = solve == Solve::ampacity ? std::vector<double>(n, 70) : uniform(100, 900);
        ambient = uniform(-15, 38);
        wind = uniform(0, 12);
        direction = uniform(0, 360);
        azimuth = uniform(0, 180);
        elevation = uniform(0, 2500);
        latitude = uniform(18, 50);
        albedo = uniform(0.05, 0.3);
        clearness = uniform(0.5, 1);
        emissivity = uniform(0.3, 0.95);
        absorptivity = uniform(0.3, 0.95);
        r1 = uniform(0.07e-3, 0.075e-3);
        r2.resize(n);
        day.resize(n);
        hour.resize(n);
        for (std::size_t i = 0; i < n; ++i) {
            r2[i] = r1[i] * 1.403;
            day[i] = static_cast<double>((i / 24) % 365 + 1);
            hour[i] = static_cast<double>(i % 24) + 0.5;
        }
        for (auto& o : out) o.resize(n);
    }

    static Column all(const std::vector<double>& v) { return Column{v.data(), v.size()}; }
    static Column one(const double& x) { return Column{&x, 1}; }

    BatchInputs fixedSun() const {
        BatchInputs in;
        in.value = all(value);
        in.ambient = all(ambient);
        in.windSpeed = all(wind);
        in.windAngle = one(angle);
        in.elevation = one(zero);
        in.irradiance = one(irradiance);
        in.emissivity = one(coefficient);
        in.absorptivity = one(coefficient);
        in.diameter = one(diameter);
        in.t1 = one(t1);
        in.r1 = one(r20);
        in.t2 = one(t2);
        in.r2 = one(r120);
        return in;
    }

    BatchInputs everyInput() const {
        BatchInputs in = fixedSun();
        in.windDirection = all(direction);
        in.lineAzimuth = all(azimuth);
        in.elevation = all(elevation);
        in.sunPosition = true;
        in.latitude = all(latitude);
        in.day = all(day);
        in.hour = all(hour);
        in.albedo = all(albedo);
        in.clearnessGiven = true;
        in.clearness = all(clearness);
        in.emissivity = all(emissivity);
        in.absorptivity = all(absorptivity);
        in.r1 = all(r1);
        in.r2 = all(r2);
        return in;
    }

    // A line's year: its latitude and azimuth its own, every other input changing by the hour.
    BatchInputs lineYear() const {
        BatchInputs in = everyInput();
        in.latitude = one(latitude[0]);
        in.lineAzimuth = one(azimuth[0]);
        return in;
    }

    BatchOutputs outputs() {
        return BatchOutputs{out[0].data(), out[1].data(), out[2].data(),
                            out[3].data(), out[4].data(), out[5].data(),
                            out[6].data(), out[7].data(), out[8].data()};
    }
};

enum class Kind { fixedSun, lineYear, everyInput };

void run(benchmark::State& state, std::size_t n, Kind kind) {
    const Solve solve = state.range(0) == 0 ? Solve::ampacity : Solve::temperature;
    const Model model = state.range(1) == 0 ? Model::ieee738 : Model::cigre601;
    Rows rows(n, solve);
    const BatchInputs in = kind == Kind::fixedSun   ? rows.fixedSun()
                           : kind == Kind::lineYear ? rows.lineYear()
                                                    : rows.everyInput();
    const BatchOutputs out = rows.outputs();
    std::size_t failed = 0;
    for (auto _ : state) {
        failed = solveBatch(in, n, solve, model, out, false).size();
        benchmark::DoNotOptimize(rows.out[1].data());
    }
    // Rows without an answer (the sun alone beyond 70 °C in hot still air) are timed as the
    // refusals they are; the count says how many there were.
    state.counters["failed"] = static_cast<double>(failed);
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * n));
}

void FixedSunYear(benchmark::State& state) {
    run(state, 8760, Kind::fixedSun);
}
void LineYear(benchmark::State& state) {
    run(state, 8760, Kind::lineYear);
}
void EveryInputYear(benchmark::State& state) {
    run(state, 8760, Kind::everyInput);
}
void EveryInputMillion(benchmark::State& state) {
    run(state, 1000000, Kind::everyInput);
}

// Args: (0 ampacity | 1 temperature, 0 ieee738 | 1 cigre601).
BENCHMARK(FixedSunYear)->ArgsProduct({{0, 1}, {0, 1}})->Unit(benchmark::kMillisecond);
BENCHMARK(LineYear)->ArgsProduct({{0, 1}, {0, 1}})->Unit(benchmark::kMillisecond);
BENCHMARK(EveryInputYear)->ArgsProduct({{0, 1}, {0, 1}})->Unit(benchmark::kMillisecond);
BENCHMARK(EveryInputMillion)->ArgsProduct({{0, 1}, {0, 1}})->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
