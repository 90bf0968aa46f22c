// The heat balance put together from either standard's terms, and its two answers.
#include "thermal/thermal_rating.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <sstream>

namespace varnel::thermal {

namespace {

// Clearness ratio of TB 601's direct beam for the two atmospheres: 1 for a clean sky; for an
// industrial one the brochure's lower figure, 0.8.
double clearness(const Sun& sun) {
    if (sun.clearness >= 0) return sun.clearness;
    return sun.atmosphere == Atmosphere::clear ? 1.0 : 0.8;
}

// Above this the balance is not a conductor's any more (aluminium melts near 660 °C); a current
// that needs more has no steady state worth the name.
constexpr double kHighestTemperature = 2000;
constexpr double kAbsoluteZero = -273.15;

std::string text(double value) {
    std::ostringstream s;
    s.precision(10);
    s << value;
    return s.str();
}

// The messages are built only on failure, out of line: these checks run once per case of a
// year's ratings, and the comparisons alone stay in the loop.
[[noreturn, gnu::noinline]] void notFinite(double value, const char* name) {
    throw ThermalInputError(std::string(name) + " must be a finite number, not " + text(value));
}

[[noreturn, gnu::noinline]] void outOfRange(double value, double lo, double hi, const char* name,
                                            const char* unit) {
    throw ThermalInputError(std::string(name) + " must be from " + text(lo) + " to " + text(hi) +
                            unit + ", not " + text(value));
}

inline void requireFinite(double value, const char* name) {
    if (!std::isfinite(value)) notFinite(value, name);
}

// NaN fails the comparisons, and ±∞ lies outside every finite range.
inline void requireRange(double value, double lo, double hi, const char* name, const char* unit) {
    if (!(value >= lo && value <= hi)) outOfRange(value, lo, hi, name, unit);
}

// The sun's altitude (degrees, and its sine and cosine) and the sine of its angle of incidence
// on the conductor, for either model: IEEE 738's eq. 16a, 17 and 9 (ieee738::H_c, Z_c and theta),
// worked with the sines and cosines themselves rather than through the angles. The azimuth's
// arctangent and the incidence's arccosine are then square roots, and the sines and cosines of
// the latitude, the day's declination and the line's azimuth are kept from one case to the next
// while they stay the same, as along a line's year of hours: the sun changing every hour costs
// little more than a fixed one.
struct SunAngles {
    double altitude = 0;     // H_c, degrees
    double sinAltitude = 0;  // sin H_c
    double sinIncidence = 0;
};

constexpr double kDegree = std::numbers::pi / 180;

struct SinCos {
    double key = std::numeric_limits<double>::quiet_NaN();
    double sin = 0;
    double cos = 1;
    // The sine and cosine of `degrees`, worked again only when it differs from the last.
    const SinCos& of(double degrees) {
        if (!(degrees == key)) {
            key = degrees;
            sin = std::sin(degrees * kDegree);
            cos = std::cos(degrees * kDegree);
        }
        return *this;
    }
};

// The sines and cosines kept: the latitude's and the line's azimuth's by their last values, the
// declination by the day and model, the hour angle by the quarter hour (a year of whole, half or
// quarter hours fills the table once), and spares for a day outside the year (one per model) and
// an hour between the quarters.
struct SunTables {
    SinCos latitude, azimuth, otherHour;
    SinCos declination[2][368];  // [model][day], 367 the day outside the year
    SinCos quarterHours[97];
};

SunAngles sunAngles(const Sun& sun, Model model) {
    // One set per thread, so that a batch split over threads keeps each its own.
    thread_local SunTables tables;
    SunTables& t = tables;
    const SinCos& lat = t.latitude.of(sun.latitude);
    const SinCos& line = t.azimuth.of(sun.lineAzimuth);
    // heatBalance takes a day unchecked: outside the year the model's spare entry is used.
    const bool known = sun.day >= 1 && sun.day <= 366;
    SinCos& decl = t.declination[model == Model::ieee738 ? 0 : 1][known ? sun.day : 367];
    const double day = sun.day;
    if (!(decl.key == day)) {
        decl.of(model == Model::ieee738 ? ieee738::delta(sun.day) : cigre601::delta_s(sun.day));
        decl.key = day;  // the entry's key is the day, not the angle
    }
    const double hourAngle = ieee738::omega(sun.hour);
    const double quarters = sun.hour * 4;
    const bool onTheQuarter = quarters >= 0 && quarters <= 96 && quarters == std::floor(quarters);
    const SinCos& hour =
        (onTheQuarter ? t.quarterHours[static_cast<int>(quarters)] : t.otherHour).of(hourAngle);
    const double sinHour = hour.sin;
    const double cosHour = hour.cos;

    SunAngles a;
    const double s =
        std::clamp(lat.cos * decl.cos * cosHour + lat.sin * decl.sin, -1.0, 1.0);  // eq. 16a
    a.sinAltitude = s;
    a.altitude = std::asin(s) / kDegree;
    const double cosAltitude = std::sqrt(1 - s * s);
    // Eq. 17: Z_c = C + arctan χ, C putting it in its quadrant; as cosine and sine.
    const double chi = sinHour / (lat.sin * cosHour - lat.cos * decl.sin / decl.cos);
    double cosZ = 1;
    double sinZ = 0;
    if (std::isinf(chi)) {
        cosZ = 0;
        sinZ = chi > 0 ? 1 : -1;
    } else if (!std::isnan(chi)) {  // NaN: the sun at the zenith, where no azimuth matters
        cosZ = 1 / std::sqrt(1 + chi * chi);
        sinZ = chi * cosZ;
    }
    // C = 180 (χ ≥ 0 after noon, χ < 0 before it) turns the direction round.
    if ((hourAngle < 0) != (chi >= 0)) {
        cosZ = -cosZ;
        sinZ = -sinZ;
    }
    // Eq. 9: cos θ = cos H_c cos(Z_c − Z_l), θ from 0 to 180 degrees.
    const double cosTheta =
        std::clamp(cosAltitude * (cosZ * line.cos + sinZ * line.sin), -1.0, 1.0);
    a.sinIncidence = std::sqrt(1 - cosTheta * cosTheta);
    return a;
}

double solarHeating(const Conductor& c, const Weather& w, Model model) {
    const Sun& sun = w.sun;
    if (sun.direct) {
        // The irradiance given falls square on the conductor: both standards then reduce to it.
        return c.absorptivity * sun.irradiance * c.diameter;
    }
    const SunAngles a = sunAngles(sun, model);
    if (a.altitude <= 0) return 0;
    if (model == Model::ieee738) {
        const double qse = ieee738::K_solar(w.elevation) * ieee738::Q_s(a.altitude, sun.atmosphere);
        return c.absorptivity * qse * a.sinIncidence * c.diameter;  // eq. 8
    }
    // TB 601's direct beam, diffuse and total irradiance (cigre601::I_B, I_d, I_T) with the
    // altitude's sine and the incidence's given.
    const double sh = a.sinAltitude;
    const double sea = clearness(sun) * 1280 * sh / (sh + 0.314);
    const double beam = sea * (1 + 1.4e-4 * w.elevation * (1367 / sea - 1));
    const double diffuse = std::max(430.5 - 0.3288 * beam, 0.0) * sh;
    const double halfPi = std::numbers::pi / 2;
    const double total =
        beam * (a.sinIncidence + sun.albedo * halfPi * sh) + diffuse * (1 + sun.albedo * halfPi);
    return cigre601::P_s(c.absorptivity, total, c.diameter);
}

// The temperature-dependent part of the balance: convection and radiation at `ts`.
void cooling(const Conductor& c, const Weather& w, double ts, Model model, HeatBalance& b) {
    const double ta = w.ambient;
    const double tFilm = (ts + ta) / 2;
    if (model == Model::ieee738) {
        const double mu = ieee738::mu_f(tFilm);
        const double rho = ieee738::rho_f(tFilm, w.elevation);
        const double kf = ieee738::k_f(tFilm);
        const double re = ieee738::N_Re(c.diameter, rho, w.windSpeed, mu);
        const double kAngle = ieee738::K_angle(w.windAngle);
        // Eq. 3a holds at low Reynolds numbers and 3b at high; the larger is taken at any wind.
        b.forced =
            std::max(ieee738::q_c1(kAngle, re, kf, ts, ta), ieee738::q_c2(kAngle, re, kf, ts, ta));
        b.natural = ieee738::q_cn(rho, c.diameter, ts, ta);
        b.radiation = ieee738::q_r(c.diameter, c.emissivity, ts, ta);
    } else {
        const double lambda = cigre601::lambda_f(tFilm);
        const double mu = cigre601::mu_f(tFilm);
        const double rho = cigre601::gamma(tFilm, w.elevation);
        const double nu = mu / rho;  // kinematic viscosity, m²/s
        const double re = w.windSpeed * c.diameter / nu;
        // A stranded conductor of unknown strands is taken as rough (R_s above 0.05): every
        // conductor of a few dozen strands or fewer is.
        const double roughness =
            c.strandDiameter > 0 ? cigre601::R_s(c.diameter, c.strandDiameter) : 1.0;
        const double nu90 = cigre601::Nu_90(re, roughness);
        double forced = cigre601::Nu_delta(nu90, w.windAngle);
        // Below 0.5 m/s the wind's direction is too uncertain to credit: at least 0.55 Nu_90,
        // the brochure's figure for a wind of any direction.
        if (w.windSpeed < 0.5) forced = std::max(forced, 0.55 * nu90);
        constexpr double g = 9.807;
        const double rise = std::max(ts - ta, 0.0);
        const double grashof =
            c.diameter * c.diameter * c.diameter * rise * g / ((tFilm + 273) * nu * nu);
        const double natural = cigre601::Nu_nat(grashof, cigre601::Pr(tFilm));
        b.forced = cigre601::P_c(lambda, ts, ta, forced);
        b.natural = cigre601::P_c(lambda, ts, ta, natural);
        b.radiation = cigre601::P_r(c.diameter, c.emissivity, ts, ta);
    }
    b.convection = std::max(b.forced, b.natural);
}

HeatBalance balanceAt(const Conductor& c, const Weather& w, double ts, double current, double solar,
                      Model model) {
    HeatBalance b;
    b.temperature = ts;
    b.current = current;
    b.resistance = resistanceAt(c.resistance, ts);
    if (model == Model::cigre601 && c.coreDiameter >= 0) {
        b.resistance *= cigre601::k_skin(b.resistance, c.coreDiameter / c.diameter, c.frequency);
    }
    b.joule = current * current * b.resistance;
    b.solar = solar;
    cooling(c, w, ts, model, b);
    return b;
}

// Heating less cooling: positive below the steady temperature, negative above it.
double surplus(const HeatBalance& b) {
    return b.joule + b.solar - b.convection - b.radiation;
}

// The current that holds the state's temperature: the rating there.
double rating(const HeatBalance& b) {
    return std::sqrt(std::max(b.convection + b.radiation - b.solar, 0.0) / b.resistance);
}

// Scans from `from` to the highest temperature in steps of kScanStep for the first state whose
// rating reaches the current, and narrows [lo, hi] to the step before it (fLo, fHi the surplus
// at each end). Where none does, fHi stays above 0 and the state of the highest rating met is
// returned, for the message.
constexpr double kScanStep = 2;  // °C
template <typename At>
HeatBalance bracketByRating(const At& at, double from, double& lo, double& hi, double& fLo,
                            double& fHi) {
    double previous = from;
    double fPrevious = surplus(at(from));
    HeatBalance top = at(from);
    const int steps = static_cast<int>(std::ceil((kHighestTemperature - from) / kScanStep));
    for (int i = 1; i <= steps; ++i) {
        const double t = std::min(from + i * kScanStep, kHighestTemperature);
        const HeatBalance b = at(t);
        const double f = surplus(b);
        if (f <= 0) {
            lo = previous;
            fLo = fPrevious;
            hi = t;
            fHi = f;
            return b;
        }
        if (rating(b) > rating(top)) top = b;
        previous = t;
        fPrevious = f;
    }
    return top;
}

}  // namespace

Model modelFromName(const std::string& name) {
    if (name == "ieee738") return Model::ieee738;
    if (name == "cigre601") return Model::cigre601;
    throw ThermalInputError("the model must be ieee738 or cigre601, not \"" + name + "\"");
}

const char* modelName(Model model) {
    return model == Model::ieee738 ? "ieee738" : "cigre601";
}

Atmosphere atmosphereFromName(const std::string& name) {
    if (name == "clear") return Atmosphere::clear;
    if (name == "industrial") return Atmosphere::industrial;
    throw ThermalInputError("the atmosphere must be clear or industrial, not \"" + name + "\"");
}

Resistance resistanceFromR20(double r20) {
    return Resistance{20, r20, 120, r20 * (1 + kAluminiumAlpha20 * 100)};
}

double resistanceAt(const Resistance& r, double temperature) {
    return r.r1 + (r.r2 - r.r1) * (temperature - r.t1) / (r.t2 - r.t1);
}

Sun noSun() {
    Sun s;
    s.direct = true;
    s.irradiance = 0;
    return s;
}

void checkInputs(const Conductor& c, const Weather& w) {
    if (!(std::isfinite(c.diameter) && c.diameter > 0)) {
        throw ThermalInputError("the diameter must be a finite number above 0, not " +
                                text(c.diameter));
    }
    if (!(std::isfinite(c.strandDiameter) && c.strandDiameter >= 0 &&
          c.strandDiameter < c.diameter / 2)) {
        throw ThermalInputError(
            "the strand diameter must be at least 0 and below half the "
            "conductor's diameter, not " +
            text(c.strandDiameter));
    }
    if (!(c.coreDiameter < 0)) {
        if (!(std::isfinite(c.coreDiameter) && c.coreDiameter < c.diameter)) {
            throw ThermalInputError(
                "the core diameter must be at least 0 and below the conductor's diameter, not " +
                text(c.coreDiameter));
        }
        requireRange(c.frequency, 0, 1000, "the frequency", " Hz");
    }
    requireRange(c.emissivity, 0, 1, "the emissivity", "");
    requireRange(c.absorptivity, 0, 1, "the absorptivity", "");
    const Resistance& r = c.resistance;
    requireFinite(r.t1, "the first resistance's temperature");
    requireFinite(r.t2, "the second resistance's temperature");
    if (!(std::isfinite(r.r1) && r.r1 > 0 && std::isfinite(r.r2) && r.r2 > 0)) {
        throw ThermalInputError("the resistances must be finite numbers above 0");
    }
    if (r.t1 == r.t2) {
        throw ThermalInputError("the two resistances must be at different temperatures");
    }
    if ((r.r2 - r.r1) / (r.t2 - r.t1) < 0) {
        throw ThermalInputError("the resistance must grow with temperature");
    }
    if (!(std::isfinite(w.ambient) && w.ambient > kAbsoluteZero && w.ambient < 100)) {
        throw ThermalInputError(
            "the ambient temperature must be above -273.15 and below 100 \u00B0C, not " +
            text(w.ambient));
    }
    if (!(resistanceAt(r, w.ambient) > 0)) {
        throw ThermalInputError(
            "the resistance extrapolated to the ambient temperature is not above 0");
    }
    if (!(std::isfinite(w.windSpeed) && w.windSpeed >= 0)) {
        throw ThermalInputError("the wind speed must be a finite number of at least 0, not " +
                                text(w.windSpeed));
    }
    requireRange(w.windAngle, 0, 180, "the wind angle", " degrees");
    // The air density's polynomial in the elevation turns upwards above about 12 km.
    requireRange(w.elevation, -500, 6000, "the elevation", " m");
    const Sun& s = w.sun;
    if (s.direct) {
        if (!(std::isfinite(s.irradiance) && s.irradiance >= 0)) {
            throw ThermalInputError(
                "the solar irradiance must be a finite number of at least 0, not " +
                text(s.irradiance));
        }
    } else {
        requireRange(s.latitude, -90, 90, "the latitude", " degrees");
        if (!(s.day >= 1 && s.day <= 366)) {
            throw ThermalInputError("the day of the year must be from 1 to 366, not " +
                                    std::to_string(s.day));
        }
        requireRange(s.hour, 0, 24, "the hour", "");
        requireFinite(s.lineAzimuth, "the line's azimuth");
        requireRange(s.albedo, 0, 1, "the albedo", "");
        if (!(s.clearness < 0)) requireRange(s.clearness, 0, 1, "the clearness ratio", "");
    }
}

HeatBalance heatBalance(const Conductor& c, const Weather& w, double temperature, double current,
                        Model model) {
    return balanceAt(c, w, temperature, current, solarHeating(c, w, model), model);
}

HeatBalance conductorTemperature(const Conductor& conductor, const Weather& w, double current,
                                 Model model) {
    checkInputs(conductor, w);
    if (!(std::isfinite(current) && current >= 0)) {
        throw ThermalInputError("the current must be a finite number of at least 0 A, not " +
                                text(current));
    }
    const double solar = solarHeating(conductor, w, model);
    const auto at = [&](double ts) { return balanceAt(conductor, w, ts, current, solar, model); };

    // At the air's temperature nothing cools the conductor, so the surplus there is the heating
    // alone, at least 0: the root lies above.
    double lo = w.ambient;
    HeatBalance low = at(lo);
    double fLo = surplus(low);
    if (fLo <= 0) return low;
    // The surplus at T is below 0 exactly where the rating at T exceeds the current, so any
    // temperature whose rating is above the current bounds the root from above. Steps that double
    // find one in a few evaluations where the rating grows with the temperature, as radiation
    // makes it do.
    double step = 10;
    double hi = lo + step;
    double fHi = surplus(at(hi));
    while (fHi > 0 && hi < kHighestTemperature) {
        lo = hi;
        fLo = fHi;
        step *= 2;
        hi = std::min(lo + step, kHighestTemperature);
        fHi = surplus(at(hi));
    }
    if (fHi > 0) {
        // Without radiation the rating can peak and fall again as the air's conductivity and
        // viscosity turn over, and the doubled steps may leap over the whole range of
        // temperatures it holds: look for it, and for the lowest root, in even steps from the air.
        const HeatBalance top = bracketByRating(at, w.ambient, lo, hi, fLo, fHi);
        if (fHi > 0) {
            throw ThermalInputError("a current of " + text(current) +
                                    " A heats the conductor beyond " + text(kHighestTemperature) +
                                    " \u00B0C: there is no steady temperature (the highest "
                                    "rating up to there is " +
                                    text(std::round(rating(top) * 10) / 10) + " A, at " +
                                    text(std::round(top.temperature)) + " \u00B0C)");
        }
    }

    // Brent's method on the bracket [lo, hi]: inverse quadratic interpolation or the secant
    // where they make progress, bisection where they do not. It ends with the root between b
    // and c, |c - b| within the tolerance.
    const auto f = [&](double ts) { return surplus(at(ts)); };
    double a = lo, b = hi, c = hi;
    double fa = fLo, fb = fHi, fc = fHi;
    double d = b - a, e = d;
    for (int i = 0; i < 200; ++i) {
        if ((fb > 0 && fc > 0) || (fb < 0 && fc < 0)) {
            c = a;
            fc = fa;
            d = e = b - a;
        }
        if (std::abs(fc) < std::abs(fb)) {
            a = b;
            b = c;
            c = a;
            fa = fb;
            fb = fc;
            fc = fa;
        }
        const double tol =
            2 * std::numeric_limits<double>::epsilon() * std::abs(b) + 0.5 * kTemperatureTolerance;
        const double xm = 0.5 * (c - b);
        if (std::abs(xm) <= tol || fb == 0) break;
        if (std::abs(e) >= tol && std::abs(fa) > std::abs(fb)) {
            const double sRatio = fb / fa;
            double p = 0, q = 0;
            if (a == c) {
                p = 2 * xm * sRatio;
                q = 1 - sRatio;
            } else {
                const double qRatio = fa / fc;
                const double rRatio = fb / fc;
                p = sRatio * (2 * xm * qRatio * (qRatio - rRatio) - (b - a) * (rRatio - 1));
                q = (qRatio - 1) * (rRatio - 1) * (sRatio - 1);
            }
            if (p > 0) q = -q;
            p = std::abs(p);
            if (2 * p < std::min(3 * xm * q - std::abs(tol * q), std::abs(e * q))) {
                e = d;
                d = p / q;
            } else {
                d = xm;
                e = d;
            }
        } else {
            d = xm;
            e = d;
        }
        a = b;
        fa = fb;
        b += std::abs(d) > tol ? d : std::copysign(tol, xm);
        fb = f(b);
    }
    return at(b);
}

HeatBalance ampacity(const Conductor& c, const Weather& w, double maxTemperature, Model model) {
    checkInputs(c, w);
    if (!(std::isfinite(maxTemperature) && maxTemperature > w.ambient)) {
        throw ThermalInputError("the maximum temperature must be above the ambient " +
                                text(w.ambient) + " \u00B0C, not " + text(maxTemperature));
    }
    if (!(maxTemperature <= kHighestTemperature)) {
        throw ThermalInputError("the maximum temperature must be at most " +
                                text(kHighestTemperature) + " \u00B0C");
    }
    HeatBalance b = heatBalance(c, w, maxTemperature, 0, model);
    const double needed = b.convection + b.radiation - b.solar;
    if (!(needed >= 0)) {
        throw ThermalInputError("the sun alone heats the conductor above " + text(maxTemperature) +
                                " \u00B0C: no current holds it there");
    }
    b.current = std::sqrt(needed / b.resistance);
    b.joule = b.current * b.current * b.resistance;
    return b;
}

}  // namespace varnel::thermal
