// IEEE Std 738-2012's terms in SI units, each as the standard writes it.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "thermal/thermal_rating.h"

namespace varnel::thermal::ieee738 {

namespace {

constexpr double kDegree = std::numbers::pi / 180;

double sinDeg(double a) {
    return std::sin(a * kDegree);
}
double cosDeg(double a) {
    return std::cos(a * kDegree);
}

}  // namespace

double mu_f(double tFilm) {
    const double t = tFilm + 273;
    return 1.458e-6 * t * std::sqrt(t) / (tFilm + 383.4);  // (T_film + 273)^1.5
}

double rho_f(double tFilm, double elevation) {
    const double h = elevation;
    return (1.293 - 1.525e-4 * h + 6.379e-9 * h * h) / (1 + 0.00367 * tFilm);
}

double k_f(double tFilm) {
    return 2.424e-2 + 7.477e-5 * tFilm - 4.407e-9 * tFilm * tFilm;
}

double N_Re(double diameter, double rho, double windSpeed, double mu) {
    return diameter * rho * windSpeed / mu;
}

double K_angle(double windAngle) {
    // The factor is written for φ from 0 (wind along the line) to 90 (across it); a wind from
    // the other side at 180 − φ meets the conductor the same way.
    const double phi = windAngle > 90 ? 180 - windAngle : windAngle;
    return 1.194 - cosDeg(phi) + 0.194 * cosDeg(2 * phi) + 0.368 * sinDeg(2 * phi);
}

double q_c1(double kAngle, double nRe, double kf, double ts, double ta) {
    return kAngle * (1.01 + 1.35 * std::pow(nRe, 0.52)) * kf * (ts - ta);
}

double q_c2(double kAngle, double nRe, double kf, double ts, double ta) {
    return kAngle * 0.754 * std::pow(nRe, 0.6) * kf * (ts - ta);
}

double q_cn(double rho, double diameter, double ts, double ta) {
    // Only a conductor warmer than the air loses heat by natural convection here.
    const double rise = std::max(ts - ta, 0.0);
    // D^0.75 and ΔT^1.25 by square roots, which cost less than pow.
    const double d4 = std::sqrt(std::sqrt(diameter));
    return 3.645 * std::sqrt(rho) * d4 * d4 * d4 * rise * std::sqrt(std::sqrt(rise));
}

double q_r(double diameter, double emissivity, double ts, double ta) {
    const double s = (ts + 273) / 100;
    const double a = (ta + 273) / 100;
    return 17.8 * diameter * emissivity * (s * s * s * s - a * a * a * a);
}

double delta(int day) {
    return 23.46 * sinDeg((284.0 + day) / 365.0 * 360.0);
}

double omega(double hour) {
    return (hour - 12) * 15;
}

double H_c(double latitude, double declination, double hourAngle) {
    const double s = cosDeg(latitude) * cosDeg(declination) * cosDeg(hourAngle) +
                     sinDeg(latitude) * sinDeg(declination);
    return std::asin(std::clamp(s, -1.0, 1.0)) / kDegree;
}

double Z_c(double latitude, double declination, double hourAngle) {
    const double chi = sinDeg(hourAngle) / (sinDeg(latitude) * cosDeg(hourAngle) -
                                            cosDeg(latitude) * std::tan(declination * kDegree));
    // The constant that puts arctan χ in the right quadrant (the standard's table by eq. 17).
    double c = 0;
    if (hourAngle < 0) {
        c = chi >= 0 ? 0 : 180;
    } else {
        c = chi >= 0 ? 180 : 360;
    }
    return c + std::atan(chi) / kDegree;
}

double theta(double altitude, double sunAzimuth, double lineAzimuth) {
    const double c = cosDeg(altitude) * cosDeg(sunAzimuth - lineAzimuth);
    return std::acos(std::clamp(c, -1.0, 1.0)) / kDegree;
}

double Q_s(double altitude, Atmosphere atmosphere) {
    if (altitude <= 0) return 0;  // the sun below the horizon
    static constexpr double kClear[] = {-42.2391,    63.8044,    -1.9220,    3.46921e-2,
                                        -3.61118e-4, 1.94318e-6, -4.07608e-9};
    static constexpr double kIndustrial[] = {53.1821,   14.2110,    6.6138e-1, -3.1658e-2,
                                             5.4654e-4, -4.3446e-6, 1.3236e-8};
    const double* k = atmosphere == Atmosphere::clear ? kClear : kIndustrial;
    double q = 0;
    for (int i = 6; i >= 0; --i) q = q * altitude + k[i];
    // The clear-sky polynomial dips below zero just above the horizon.
    return std::max(q, 0.0);
}

double K_solar(double elevation) {
    return 1 + 1.148e-4 * elevation - 1.108e-8 * elevation * elevation;
}

double q_s(double absorptivity, double qse, double incidence, double diameter) {
    return absorptivity * qse * sinDeg(incidence) * diameter;
}

}  // namespace varnel::thermal::ieee738
