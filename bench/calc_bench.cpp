// Cost of the calculation exports, called through the shared library as a host calls them.
// StateEquationGetForce is measured against a baseline that makes the same C library math calls
// on the same inputs: the ratio is what the closed form adds over its unavoidable arithmetic.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstring>

#include "support/fixtures.h"
#include "varnel.h"

namespace {

using varnel::test::makeCondition;

const LineAttrib kConductor = varnel::test::jlg1a240();
const WeatherCondition kCold = makeCondition("cold", 0, 0, -10);
const WeatherCondition kIce = makeCondition("ice", 10, 10, -5);

void BM_CalcBZ(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(CalcBZ(&kIce, &kConductor));
}
BENCHMARK(BM_CalcBZ);

void BM_StateEquationGetForce(benchmark::State& state) {
    double stress = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            StateEquationGetForce(300, 0.95, &kConductor, &kCold, &kIce, 100, &stress));
        benchmark::DoNotOptimize(stress);
    }
}
BENCHMARK(BM_StateEquationGetForce);

// The C library math of one StateEquationGetForce on the same inputs (the hyperbolic branch):
// hypot for each specific load, pow for c³ and |A|³, then sqrt, log and cosh. In the library
// each call waits for the one before; `dep` (always 0) chains them the same way here, so the
// baseline pays the same latencies and not only the same throughput.
void BM_StateEquationMathBaseline(benchmark::State& state) {
    double gv1 = 9.0437, gw1 = 0.0, gv2 = 17.805629915195212, gw2 = 3.0596747999999998;
    double c = 0.95, a = 67.996520262901868, j = 44.197565810015931, zero = 0.0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(zero);
        const double g1 = std::hypot(gv1 + zero, gw1);
        const double g2 = std::hypot(gv2 + g1 * zero, gw2);
        const double k = std::pow(c + g2 * zero, 3);
        const double a3 = std::pow(a + k * zero, 3);
        const double jj = j + a3 * zero;
        benchmark::DoNotOptimize(
            std::cosh(std::log(jj + std::sqrt(jj * jj - 1)) * 0.3333333333333333));
    }
}
BENCHMARK(BM_StateEquationMathBaseline);

void BM_StateEquationGetControl(benchmark::State& state) {
    WeatherCondition area[9] = {
        makeCondition("\xB5\xCD\xCE\xC2", 0, 0, -10), makeCondition("\xB4\xF3\xB7\xE7", 0, 27, -5),
        makeCondition("\xC4\xEA\xC6\xBD", 0, 0, 15),  makeCondition("\xB8\xB2\xB1\xF9", 10, 10, -5),
        makeCondition("\xB8\xDF\xCE\xC2", 0, 0, 40),  makeCondition("\xD0\xA3\xD1\xE9", 0, 0, 15),
        makeCondition("\xB0\xB2\xD7\xB0", 0, 10, -5), makeCondition("\xCD\xE2\xB9\xFD", 0, 10, 15),
        makeCondition("\xC4\xDA\xB9\xFD", 0, 15, 15)};
    WeatherConditionSeq seq{};
    seq.first = area;
    seq.last = seq.end = area + 9;
    // The account goes to standard output; send it to /dev/null for the measurement.
    std::fflush(stdout);
    const int saved = dup(STDOUT_FILENO);
    const int devNull = open("/dev/null", O_WRONLY);
    if (saved < 0 || devNull < 0 || dup2(devNull, STDOUT_FILENO) < 0) {
        state.SkipWithError("cannot redirect standard output");
        return;
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            StateEquationGetControl(300, 1, 0.25, &kConductor, &seq, 0.95, 2.5));
    }
    std::fflush(stdout);
    dup2(saved, STDOUT_FILENO);
    close(saved);
    close(devNull);
}
BENCHMARK(BM_StateEquationGetControl);

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

BENCHMARK_MAIN();
