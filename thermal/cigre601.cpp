// CIGRE Technical Brochure 601's terms where they differ from IEEE 738: the air's properties,
// the Nusselt correlations (with the surface roughness), and the solar model.
#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>

#include "thermal/thermal_rating.h"

namespace varnel::thermal::cigre601 {

namespace {

constexpr double kDegree = std::numbers::pi / 180;
constexpr double kStefanBoltzmann = 5.6697e-8;  // W/(m²·K⁴), the brochure's value
constexpr double kAirHeatCapacity = 1005;       // J/(kg·K), for the Prandtl number

}  // namespace

double lambda_f(double tFilm) {
    return 2.368e-2 + 7.23e-5 * tFilm - 2.763e-8 * tFilm * tFilm;
}

double mu_f(double tFilm) {
    return (17.239 + 4.635e-2 * tFilm - 2.03e-5 * tFilm * tFilm) * 1e-6;
}

double gamma(double tFilm, double elevation) {
    const double y = elevation;
    return (1.293 - 1.525e-4 * y + 6.379e-9 * y * y) / (1 + 0.00367 * tFilm);
}

double Pr(double tFilm) {
    return kAirHeatCapacity * mu_f(tFilm) / lambda_f(tFilm);
}

double R_s(double diameter, double strandDiameter) {
    if (strandDiameter <= 0) return 0;
    return strandDiameter / (2 * (diameter - strandDiameter));
}

double Nu_90(double reynolds, double roughness) {
    // Below Re = 2650 every stranded conductor follows the same line; above it a rough surface
    // (R_s > 0.05) cools more. Below Re = 100 the first line is extended.
    double b = 0.641;
    double n = 0.471;
    if (reynolds > 2650) {
        if (roughness <= 0.05) {
            b = 0.178;
            n = 0.633;
        } else {
            b = 0.048;
            n = 0.800;
        }
    }
    return b * std::pow(reynolds, n);
}

double Nu_delta(double nu90, double windAngle) {
    const double delta = windAngle > 90 ? 180 - windAngle : windAngle;
    const double s = std::sin(delta * kDegree);
    if (delta <= 24) return nu90 * (0.42 + 0.68 * std::pow(s, 1.08));
    return nu90 * (0.42 + 0.58 * std::pow(s, 0.90));
}

double Nu_nat(double grashof, double prandtl) {
    const double gp = grashof * prandtl;
    if (gp <= 0) return 0;
    // Morgan's coefficients for a horizontal cylinder, by the range of Gr·Pr.
    double a = 0.125;
    double m = 0.333;
    if (gp < 1e-2) {
        a = 0.675;
        m = 0.058;
    } else if (gp < 1e2) {
        a = 1.02;
        m = 0.148;
    } else if (gp < 1e4) {
        a = 0.850;
        m = 0.188;
    } else if (gp < 1e7) {
        a = 0.480;
        m = 0.250;
    }
    return a * std::pow(gp, m);
}

double P_c(double lambda, double ts, double ta, double nusselt) {
    return std::numbers::pi * lambda * (ts - ta) * nusselt;
}

double P_r(double diameter, double emissivity, double ts, double ta) {
    const double s = ts + 273;
    const double a = ta + 273;
    return std::numbers::pi * diameter * kStefanBoltzmann * emissivity *
           (s * s * s * s - a * a * a * a);
}

double delta_s(int day) {
    return 23.3 * std::sin(2 * std::numbers::pi * (284.0 + day) / 365.0);
}

double I_B(double altitude, double clearness, double elevation) {
    if (altitude <= 0) return 0;
    const double s = std::sin(altitude * kDegree);
    const double sea = clearness * 1280 * s / (s + 0.314);
    // The beam strengthens with height towards the solar constant, 1367 W/m².
    return sea * (1 + 1.4e-4 * elevation * (1367 / sea - 1));
}

double I_d(double directBeam, double altitude) {
    if (altitude <= 0) return 0;
    return std::max(430.5 - 0.3288 * directBeam, 0.0) * std::sin(altitude * kDegree);
}

double I_T(double directBeam, double diffuse, double altitude, double incidence, double albedo) {
    if (altitude <= 0) return 0;
    const double halfPi = std::numbers::pi / 2;
    return directBeam *
               (std::sin(incidence * kDegree) + albedo * halfPi * std::sin(altitude * kDegree)) +
           diffuse * (1 + albedo * halfPi);
}

double P_s(double absorptivity, double irradiance, double diameter) {
    return absorptivity * irradiance * diameter;
}

double k_skin(double rdc, double coreRatio, double frequency) {
    // The current density J in the tube obeys J'' + J'/u = j x² J in u = r / r_o, with J' = 0 at
    // the bore (no field inside it) and x² = ω μ0 r_o² / ρ = ω μ0 / (π R_dc (1 − a²)), the
    // resistivity ρ being the tube's R_dc times its area. The current is 2π r_o² J'(1) / (j x²),
    // so Z / R_dc = j x² (1 − a²) J(1) / (2 J'(1)), whose real part is the factor.
    using Complex = std::complex<double>;
    constexpr double kMu0 = 4e-7 * std::numbers::pi;
    const double a = coreRatio;
    const double x2 = 2 * frequency * kMu0 / (rdc * (1 - a * a));
    if (x2 == 0) return 1;
    const Complex q2(0, x2);
    double u = a;
    Complex j = 1;
    Complex dj = 0;
    if (a < 1e-3) {
        // A solid conductor: J = I0(q u), whose series starts the integration off the axis.
        u = 1e-3;
        j = 1.0 + q2 * (u * u / 4);
        dj = q2 * (u / 2);
    }
    // Classical Runge-Kutta: the solution is smooth and |x| a few units at power frequencies, so
    // 64 steps leave an error far below a part in a million.
    constexpr int kSteps = 64;
    const double start = u;
    const double h = (1 - start) / kSteps;
    const auto second = [&](double at, Complex value, Complex slope) {
        return q2 * value - slope / at;
    };
    for (int i = 0; i < kSteps; ++i) {
        const Complex k1 = dj;
        const Complex l1 = second(u, j, dj);
        const Complex k2 = dj + 0.5 * h * l1;
        const Complex l2 = second(u + 0.5 * h, j + 0.5 * h * k1, k2);
        const Complex k3 = dj + 0.5 * h * l2;
        const Complex l3 = second(u + 0.5 * h, j + 0.5 * h * k2, k3);
        const Complex k4 = dj + h * l3;
        const Complex l4 = second(u + h, j + h * k3, k4);
        j += h / 6 * (k1 + 2.0 * k2 + 2.0 * k3 + k4);
        dj += h / 6 * (l1 + 2.0 * l2 + 2.0 * l3 + l4);
        u = start + (i + 1) * h;
    }
    return (q2 * (1 - a * a) * j / (2.0 * dj)).real();
}

}  // namespace varnel::thermal::cigre601
