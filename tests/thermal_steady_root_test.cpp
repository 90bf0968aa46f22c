// The steady temperature where the rating is not monotone in the temperature: without radiation
// (emissivity 0) the rating can peak and fall again, and the root must still be found wherever a
// rating above the current exists, and it must be the lowest one, the temperature a conductor
// warming from the air reaches first.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "thermal/thermal_rating.h"

namespace varnel::thermal {
namespace {

struct PeakCase {
    const char* name;
    Model model;
    double diameter;  // m
    Resistance resistance;
    double wind;  // m/s
};

double surplus(const Conductor& c, const Weather& w, double t, double current, Model m) {
    const HeatBalance b = heatBalance(c, w, t, current, m);
    return b.joule + b.solar - b.convection - b.radiation;
}

// The lowest root found another way: the heat balance walked up from the air in 0.05 °C steps to
// its first sign change, then halved 60 times. NaN where there is none up to 2000 °C.
double lowestRoot(const Conductor& c, const Weather& w, double current, Model m) {
    double lo = w.ambient;
    for (double hi = lo + 0.05; hi <= 2000; lo = hi, hi += 0.05) {
        if (surplus(c, w, hi, current, m) > 0) continue;
        for (int i = 0; i < 60; ++i) {
            const double mid = 0.5 * (lo + hi);
            (surplus(c, w, mid, current, m) > 0 ? lo : hi) = mid;
        }
        return 0.5 * (lo + hi);
    }
    return std::nan("");
}

class RatingPeak : public ::testing::TestWithParam<PeakCase> {
  protected:
    void SetUp() override {
        const PeakCase& p = GetParam();
        c.diameter = p.diameter;
        c.emissivity = 0;
        c.resistance = p.resistance;
        w.ambient = 40;
        w.windSpeed = p.wind;
        for (double t = 41; t <= 2000; t += 1) {
            const double rating = ampacity(c, w, t, p.model).current;
            if (rating > peak) peak = rating, peakAt = t;
        }
    }
    Conductor c;
    Weather w;
    double peak = 0;    // the highest rating on a 1 °C grid, A
    double peakAt = 0;  // °C
};

// A current just below the rating at T has its steady temperature at or below T, down to the
// narrow range of temperatures that hold a current just below the peak.
TEST_P(RatingPeak, CurrentBelowTheRatingHasItsRootBelow) {
    const PeakCase& p = GetParam();
    for (const double t : {60.0, 150.0, 390.0, 1000.0, 1900.0, peakAt}) {
        for (const double below : {1e-3, 1e-5}) {
            const double current = ampacity(c, w, t, p.model).current * (1 - below);
            HeatBalance b;
            ASSERT_NO_THROW(b = conductorTemperature(c, w, current, p.model))
                << p.name << ": the rating at " << t << " \u00B0C is above " << current << " A";
            EXPECT_LE(b.temperature, t + 1e-6) << p.name << " " << current;
            EXPECT_NEAR(b.temperature, lowestRoot(c, w, current, p.model), 1e-5)
                << p.name << " " << current;
        }
    }
}

// Above the highest rating there is no steady temperature, and the refusal says how high the
// rating goes.
TEST_P(RatingPeak, AboveThePeakRefusedWithIt) {
    const PeakCase& p = GetParam();
    try {
        conductorTemperature(c, w, peak * 1.01, p.model);
        ADD_FAILURE() << p.name << ": accepted " << peak * 1.01;
    } catch (const ThermalInputError& e) {
        EXPECT_NE(std::string(e.what()).find("no steady temperature"), std::string::npos)
            << e.what();
        const std::string message = e.what();
        const std::size_t at = message.find("the highest rating up to there is ");
        ASSERT_NE(at, std::string::npos) << message;
        EXPECT_NEAR(std::stod(message.substr(at + 34)), peak, 1e-3 * peak) << message;
    }
}

INSTANTIATE_TEST_SUITE_P(
    NoRadiation, RatingPeak,
    ::testing::Values(
        // CIGRE's air conductivity and viscosity turn over at film temperatures near 1,200 °C: in
        // a strong wind the rating of a 21.6 mm conductor peaks at 670 °C.
        PeakCase{"CigreStrongWind", Model::cigre601, 0.0216, resistanceFromR20(0.1181e-3), 65},
        // Resistances steep enough to grow faster than the convection: the rating peaks near
        // 590 °C (IEEE) and 250 °C (CIGRE), between the temperatures the steps first try.
        PeakCase{"IeeeSteepResistance", Model::ieee738, 0.02814,
                 Resistance{25, 0.02e-3, 75, 0.1e-3}, 10},
        PeakCase{"CigreSteepResistance", Model::cigre601, 0.02814,
                 Resistance{25, 0.03e-3, 75, 0.1e-3}, 10}),
    [](const ::testing::TestParamInfo<PeakCase>& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace varnel::thermal
