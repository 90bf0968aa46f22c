// The steady heat balance of a bare overhead conductor, per metre of its length:
//
//     I² R(T) + q_s = q_c(T) + q_r(T)
//
// Joule and solar heating against convective and radiative cooling, after IEEE Std 738-2012 and
// CIGRE Technical Brochure 601 (2014). From it: the steady temperature a current brings the
// conductor to, and the current (the ampacity) that brings it to a given temperature.
//
// Units throughout: metres, seconds, kelvin-sized degrees Celsius, W/m for heat per metre of
// conductor, W/m² for irradiance, Ω/m for resistance, A for current, degrees for angles.
// Each term is a function named after the standard's symbol, so that it can be held against the
// standard's equation; the equation numbers are IEEE 738-2012's and TB 601's own.
//
// This part knows nothing of spans or of the rest of the library.
#pragma once

#include <stdexcept>
#include <string>

namespace varnel::thermal {

// Inputs that describe no physical case (a negative current, an emissivity above 1, a maximum
// temperature not above the air's): the message names the input and says what it must be.
class ThermalInputError : public std::invalid_argument {
  public:
    explicit ThermalInputError(const std::string& message) : std::invalid_argument(message) {}
};

enum class Model { ieee738, cigre601 };
enum class Atmosphere { clear, industrial };

// "ieee738" / "cigre601", "clear" / "industrial"; names outside these throw ThermalInputError.
Model modelFromName(const std::string& name);
const char* modelName(Model model);
Atmosphere atmosphereFromName(const std::string& name);

// Resistance per metre, linear in temperature through two points, extrapolated beyond them as
// both standards do. Temperatures in °C, resistances in Ω/m.
struct Resistance {
    double t1 = 25;
    double r1 = 0;
    double t2 = 75;
    double r2 = 0;
};
// Hard-drawn aluminium's temperature coefficient of resistance at 20 °C (IEC 60889, GB/T 17048),
// 1/°C: the steel core of a steel-reinforced aluminium conductor carries too little current to
// change it.
inline constexpr double kAluminiumAlpha20 = 0.00403;
// The line through R20 at 20 °C with aluminium's coefficient, as two points at 20 and 120 °C.
Resistance resistanceFromR20(double r20);
// R(T), Ω/m.
double resistanceAt(const Resistance& r, double temperature);

struct Conductor {
    double diameter = 0;        // D0, outer diameter, m
    double strandDiameter = 0;  // d, outer layer's strand diameter, m; 0 when unknown
    double emissivity = 0.9;    // ε
    double absorptivity = 0.9;  // α
    Resistance resistance;      // Ω/m
    // The steel core's diameter, m. At least 0, it says the resistances are DC ones and cigre601
    // adds the skin effect of the aluminium tube around it (0: a solid conductor); below 0 the
    // resistances are taken as they are, AC ones where the skin effect is to count.
    double coreDiameter = -1;
    double frequency = 50;  // Hz, for the skin effect
};

// The sun: either its position (from the place, the day and the hour) with the atmosphere, or an
// irradiance given directly and taken as falling square on the conductor (Chinese practice:
// 1000 W/m²).
struct Sun {
    bool direct = false;
    double irradiance = 0;   // W/m², when direct
    double latitude = 0;     // degrees north (south negative)
    int day = 172;           // day of the year, 1 to 366 (10 June is 161)
    double hour = 12;        // solar time, 0 to 24
    double lineAzimuth = 0;  // the line's direction, degrees clockwise from north
    Atmosphere atmosphere = Atmosphere::clear;
    double albedo = 0.1;  // ground reflectance, CIGRE only
    // CIGRE's clearness ratio of the direct beam, 0 to 1, when at least 0; below 0 it is the
    // atmosphere's (1 clear, 0.8 industrial). IEEE 738 knows only the two atmospheres.
    double clearness = -1;
};
// No sun at all (night, or a rating without solar heating).
Sun noSun();

struct Weather {
    double ambient = 40;    // T_a, °C
    double windSpeed = 0;   // V_w, m/s
    double windAngle = 90;  // angle between the wind and the line's axis, degrees (90 across it)
    double elevation = 0;   // H_e, m above sea level
    Sun sun = noSun();
};

// One state of the balance. Heat terms in W/m of conductor; `convection` is the one applied,
// the larger of `forced` and `natural` (CIGRE's low-wind rule may raise `forced` itself).
struct HeatBalance {
    double temperature = 0;  // °C
    double current = 0;      // A
    double resistance = 0;   // Ω/m at `temperature`
    double joule = 0;
    double solar = 0;
    double convection = 0;
    double forced = 0;
    double natural = 0;
    double radiation = 0;
};

// The solver's tolerance on the temperature, °C: the bracket around the root is narrowed below
// this before the midpoint is returned.
inline constexpr double kTemperatureTolerance = 1e-6;

// Checks every input and throws ThermalInputError naming the first that is out of range.
void checkInputs(const Conductor& conductor, const Weather& weather);

// The heat terms with the conductor at `temperature` carrying `current`.
HeatBalance heatBalance(const Conductor& conductor, const Weather& weather, double temperature,
                        double current, Model model);
// The steady temperature for `current` (A, at least 0): the root of the balance, bracketed
// between the ambient and a temperature at which cooling exceeds heating.
HeatBalance conductorTemperature(const Conductor& conductor, const Weather& weather, double current,
                                 Model model);
// The steady current that holds the conductor at `maxTemperature` (°C, above the ambient).
// Throws ThermalInputError when the sun alone heats the conductor beyond it.
HeatBalance ampacity(const Conductor& conductor, const Weather& weather, double maxTemperature,
                     Model model);

// The terms, each as its standard writes it.
namespace ieee738 {
// Air at the film temperature T_film = (T_s + T_a)/2, °C, and the elevation H_e, m.
double mu_f(double tFilm);                     // dynamic viscosity, Pa·s (eq. 13a)
double rho_f(double tFilm, double elevation);  // density, kg/m³ (eq. 14a)
double k_f(double tFilm);                      // thermal conductivity, W/(m·°C) (eq. 15a)
double N_Re(double diameter, double rho, double windSpeed, double mu);  // Reynolds (eq. 2c)
double K_angle(double windAngle);  // wind direction factor (eq. 4a), φ in degrees
double q_c1(double kAngle, double nRe, double kf, double ts, double ta);  // W/m (eq. 3a)
double q_c2(double kAngle, double nRe, double kf, double ts, double ta);  // W/m (eq. 3b)
double q_cn(double rho, double diameter, double ts, double ta);           // W/m (eq. 5a)
double q_r(double diameter, double emissivity, double ts, double ta);     // W/m (eq. 7a)
// The sun's position, degrees.
double delta(int day);                                              // declination (eq. 16b)
double omega(double hour);                                          // hour angle (text by eq. 16a)
double H_c(double latitude, double declination, double hourAngle);  // altitude (eq. 16a)
double Z_c(double latitude, double declination, double hourAngle);  // azimuth (eq. 17a, 17b)
double theta(double altitude, double sunAzimuth, double lineAzimuth);  // incidence (eq. 9)
double Q_s(double altitude, Atmosphere atmosphere);  // irradiance at sea level, W/m² (eq. 18)
double K_solar(double elevation);                    // elevation factor (eq. 20)
double q_s(double absorptivity, double qse, double incidence, double diameter);  // W/m (eq. 8)
}  // namespace ieee738

namespace cigre601 {
// Air at the film temperature T_f, °C.
double lambda_f(double tFilm);                 // thermal conductivity, W/(m·K)
double mu_f(double tFilm);                     // dynamic viscosity, kg/(m·s)
double gamma(double tFilm, double elevation);  // density, kg/m³
double Pr(double tFilm);                       // Prandtl number
// Surface roughness R_s = d / (2 (D − d)); 0 when the strand diameter is unknown.
double R_s(double diameter, double strandDiameter);
// Nusselt number across the wind, Nu_90 = B Re^n with B, n from the roughness (the brochure's table
// of B and n).
double Nu_90(double reynolds, double roughness);
// The wind's angle δ (degrees) applied.
double Nu_delta(double nu90, double windAngle);
double Nu_nat(double grashof, double prandtl);  // natural convection, Morgan's table
double P_c(double lambda, double ts, double ta, double nusselt);       // W/m
double P_r(double diameter, double emissivity, double ts, double ta);  // W/m
double delta_s(int day);                                               // declination, degrees
double I_B(double altitude, double clearness, double elevation);       // direct beam, W/m²
double I_d(double directBeam, double altitude);                        // diffuse, W/m²
// Total irradiance on the conductor; η the beam's incidence, F the albedo.
double I_T(double directBeam, double diffuse, double altitude, double incidence, double albedo);
double P_s(double absorptivity, double irradiance, double diameter);  // W/m
// The skin effect factor k_j = R_ac / R_dc of an aluminium tube of DC resistance `rdc` (Ω/m) whose
// bore is `coreRatio` of its outer diameter (the steel core carries next to nothing), at
// `frequency` (Hz). It depends on the geometry only through that ratio.
double k_skin(double rdc, double coreRatio, double frequency);
}  // namespace cigre601

}  // namespace varnel::thermal
