// The solar heating as the library works it (sines and cosines, kept from case to case) against
// the same heating composed from the standards' own terms one by one: every hour of chosen days,
// both hemispheres, lines of every direction, both models, in an order that reuses and then
// changes each kept value.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "thermal/thermal_rating.h"

namespace varnel::thermal {
namespace {

constexpr double kDegree = 3.14159265358979323846 / 180;

// The heating from IEEE 738's eq. 16–20, 8 and 9 and TB 601's beam, diffuse and total
// irradiance, term by term.
double composed(const Conductor& c, const Weather& w, Model m) {
    const Sun& s = w.sun;
    const double declination =
        m == Model::ieee738 ? ieee738::delta(s.day) : cigre601::delta_s(s.day);
    const double hourAngle = ieee738::omega(s.hour);
    const double altitude = ieee738::H_c(s.latitude, declination, hourAngle);
    if (altitude <= 0) return 0;
    const double azimuth = ieee738::Z_c(s.latitude, declination, hourAngle);
    const double incidence = ieee738::theta(altitude, azimuth, s.lineAzimuth);
    if (m == Model::ieee738) {
        const double qse = ieee738::K_solar(w.elevation) * ieee738::Q_s(altitude, s.atmosphere);
        return ieee738::q_s(c.absorptivity, qse, incidence, c.diameter);
    }
    const double clearness = s.clearness >= 0 ? s.clearness : 1.0;
    const double beam = cigre601::I_B(altitude, clearness, w.elevation);
    const double diffuse = cigre601::I_d(beam, altitude);
    return cigre601::P_s(c.absorptivity,
                         cigre601::I_T(beam, diffuse, altitude, incidence, s.albedo), c.diameter);
}

TEST(SolarHeating, AsTheTermsComposeIt) {
    Conductor c;
    c.diameter = 0.02814;
    c.absorptivity = 0.8;
    c.resistance = resistanceFromR20(7e-5);
    Weather w;
    w.elevation = 1200;
    w.sun.direct = false;
    int compared = 0;
    for (const Model m : {Model::ieee738, Model::cigre601}) {
        for (const double latitude : {-45.0, 0.0, 23.0, 30.0, 61.0}) {
            for (const double line : {0.0, 35.0, 90.0, 145.0}) {
                for (const int day : {1, 80, 161, 172, 355}) {
                    for (double hour = 0; hour <= 24; hour += 0.25) {
                        // Quarter hours come from the kept table, others are worked each time.
                        for (const double h : {hour, std::min(hour + 0.1, 24.0)}) {
                            w.sun.latitude = latitude;
                            w.sun.lineAzimuth = line;
                            w.sun.day = day;
                            w.sun.hour = h;
                            const double want = composed(c, w, m);
                            const double got = heatBalance(c, w, 60, 0, m).solar;
                            ASSERT_NEAR(got, want, 1e-9 * std::max(1.0, want))
                                << modelName(m) << " latitude " << latitude << " line " << line
                                << " day " << day << " hour " << h;
                            compared += want > 0;
                        }
                    }
                }
            }
        }
    }
    EXPECT_GT(compared, 5000);  // the sun was up for most of them
}

// Kept values are keyed by what they were worked from: the same day for the other model, or a
// day outside the year that heatBalance takes unchecked, does not take another's.
TEST(SolarHeating, KeptValuesDoNotLeak) {
    Conductor c;
    c.diameter = 0.0216;
    c.resistance = resistanceFromR20(1.2e-4);
    Weather w;
    w.sun.direct = false;
    w.sun.latitude = 35;
    w.sun.hour = 10;
    for (const int day : {100, 400, 100, -3, 100}) {
        w.sun.day = day;
        for (const Model m : {Model::ieee738, Model::cigre601, Model::ieee738}) {
            EXPECT_NEAR(heatBalance(c, w, 60, 0, m).solar, composed(c, w, m), 1e-9)
                << day << " " << modelName(m);
        }
    }
}

}  // namespace
}  // namespace varnel::thermal
