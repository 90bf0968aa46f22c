// How far CIGRE TB 601's low-wind rules move a rating: the ampacity with both of the readings
// Varnel takes below 0.5 m/s (the forced convection at least 0.55 Nu90 whatever the wind's
// direction; Nu90 = 0.641 Re^0.471 extended below Re = 100, where the brochure's table starts)
// against the same with either or both left out (no floor; no forced convection below Re = 100,
// natural convection alone). The ratings are composed from the library's own cigre601 terms, and
// with both rules they are checked against thermal::ampacity itself before anything is printed.
//
//   thermal_low_wind      (prints the largest changes over the grid and where they occur)
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "thermal/thermal_rating.h"

namespace {

using namespace varnel::thermal;

struct Rules {
    bool floor = true;
    bool belowRe100 = true;
};

// The ampacity at `t` with no sun but `irradiance` square on the conductor, as cooling() works it
// with the rules chosen.
double rating(const Conductor& c, const Weather& w, double t, Rules rules) {
    const double ta = w.ambient;
    const double tFilm = (t + ta) / 2;
    const double lambda = cigre601::lambda_f(tFilm);
    const double nu = cigre601::mu_f(tFilm) / cigre601::gamma(tFilm, w.elevation);
    const double re = w.windSpeed * c.diameter / nu;
    double nu90 = cigre601::Nu_90(re, cigre601::R_s(c.diameter, c.strandDiameter));
    if (!rules.belowRe100 && re < 100) nu90 = 0;
    double forced = cigre601::Nu_delta(nu90, w.windAngle);
    if (rules.floor && w.windSpeed < 0.5) forced = std::max(forced, 0.55 * nu90);
    const double grashof =
        c.diameter * c.diameter * c.diameter * (t - ta) * 9.807 / ((tFilm + 273) * nu * nu);
    const double natural = cigre601::Nu_nat(grashof, cigre601::Pr(tFilm));
    const double convection = cigre601::P_c(lambda, t, ta, std::max(forced, natural));
    const double radiation = cigre601::P_r(c.diameter, c.emissivity, t, ta);
    const double solar = c.absorptivity * w.sun.irradiance * c.diameter;
    return std::sqrt((convection + radiation - solar) / resistanceAt(c.resistance, t));
}

struct Largest {
    double change = 0;  // relative, the rules' rating over the other's, less 1
    double diameter = 0, wind = 0, angle = 0, ambient = 0, t = 0, sun = 0;
};

void print(const char* what, const Largest& l) {
    if (l.change == 0) {
        std::printf("%-44s  none in any case\n", what);
        return;
    }
    std::printf(
        "%-44s %+6.2f %%  (D %.1f mm, %.2f m/s at %2.0f deg, air %2.0f C, %3.0f C, sun %4.0f "
        "W/m2)\n",
        what, 100 * l.change, 1000 * l.diameter, l.wind, l.angle, l.ambient, l.t, l.sun);
}

}  // namespace

int main() {
    // The sample conductors: diameter, outer strands, R20 (m, m, ohm/m).
    const double conductors[][3] = {{0.0216, 0.0036, 0.1181e-3},
                                    {0.0239, 0.00399, 0.0961e-3},
                                    {0.02682, 0.00322, 0.0739e-3},
                                    {0.0338, 0.00422, 0.0459e-3}};
    const double angles[] = {0.0, 10.0, 20.0, 30.0, 45.0, 60.0, 90.0};
    Largest floorOnly, extensionOnly, both;
    Largest floorByAngle[7], extensionByAngle[7];
    int cases = 0;
    for (const auto& k : conductors) {
        Conductor c;
        c.diameter = k[0];
        c.strandDiameter = k[1];
        c.resistance = resistanceFromR20(k[2]);
        for (double wind = 0; wind < 0.5; wind += 0.01) {
            for (int a = 0; a < 7; ++a) {
                const double angle = angles[a];
                for (const double ambient : {0.0, 20.0, 40.0}) {
                    for (const double t : {50.0, 70.0, 80.0, 100.0}) {
                        for (const double sun : {0.0, 1000.0}) {
                            Weather w;
                            w.ambient = ambient;
                            w.windSpeed = wind;
                            w.windAngle = angle;
                            w.sun.irradiance = sun;
                            if (conductorTemperature(c, w, 0, Model::cigre601).temperature >= t) {
                                continue;  // the sun alone beyond t: no rating
                            }
                            const double varnel = rating(c, w, t, {});
                            const double library = ampacity(c, w, t, Model::cigre601).current;
                            if (std::abs(varnel / library - 1) > 1e-12) {
                                std::fprintf(stderr,
                                             "the composed rating %.17g is not the "
                                             "library's %.17g\n",
                                             varnel, library);
                                return EXIT_FAILURE;
                            }
                            ++cases;
                            const auto keep = [&](Largest& l, Rules other) {
                                const double change = varnel / rating(c, w, t, other) - 1;
                                if (std::abs(change) > std::abs(l.change)) {
                                    l = Largest{change, c.diameter, wind, angle, ambient, t, sun};
                                }
                            };
                            keep(floorOnly, Rules{false, true});
                            keep(extensionOnly, Rules{true, false});
                            keep(both, Rules{false, false});
                            keep(floorByAngle[a], Rules{false, true});
                            keep(extensionByAngle[a], Rules{true, false});
                        }
                    }
                }
            }
        }
    }
    std::printf(
        "%d cases below 0.5 m/s (4 sample conductors, 0 to 0.49 m/s, 7 angles, 3 ambients, "
        "4 temperatures, sun or none)\n",
        cases);
    print("the 0.55 Nu90 floor, against none", floorOnly);
    print("the extension below Re = 100, against none", extensionOnly);
    print("both, against neither", both);
    std::printf("\nby the wind's angle to the line:\n");
    for (int a = 0; a < 7; ++a) {
        char what[64];
        std::snprintf(what, sizeof what, "  %2.0f deg: the floor", angles[a]);
        print(what, floorByAngle[a]);
        std::snprintf(what, sizeof what, "  %2.0f deg: the extension", angles[a]);
        print(what, extensionByAngle[a]);
    }
    return EXIT_SUCCESS;
}
