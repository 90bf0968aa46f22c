// The line over the ground: with the towers standing where they stand on the terrain, how high
// the conductor hangs everywhere, what each tower carries, and what falls short.
//
// Units throughout: stations, elevations, heights, spans and clearances in m; stresses in N/mm²;
// specific loads in N/(m·mm²); forces in N per phase conductor; angles in degrees. Stations run
// along the centreline, elevations upwards from one datum.
//
// The line splits at its strain towers into strain sections. Each section is strung to one
// horizontal stress per condition, as design::designSection finds it: by its ruling span with
// the parabola, or (the catenary model) from the same controlling condition and stress by the
// catenary change of state of the whole section (calc/catenary_state.h). Each span then hangs as
// the model's curve (calc/span_curve.h) between its attachment points.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "calc/records/records.h"
#include "calc/span_curve.h"
#include "design/critical_spans.h"
#include "design/design_api.h"

namespace varnel::design {

// One point of the ground along the centreline; the ground is linear between points.
struct TerrainPoint {
    double station;    // m
    double elevation;  // m
};

enum class TowerKind { strain, suspension };

struct Tower {
    std::string name;
    double station = 0;  // m
    TowerKind kind = TowerKind::suspension;
    double armHeight = 0;  // m above the tower's ground
    double insulatorLength =
        0;  // m; a suspension string hangs the conductor this far below the arm
    double insulatorWeight = 0;             // N, of one string
    std::optional<double> groundElevation;  // m; the terrain's at the station when not given
    double angle = 0;                       // line angle, degrees
    std::optional<double> maxSwing;         // allowed swing of a suspension string, degrees
    double insulatorArea = 0;               // m², the string's area exposed to the wind
    // The largest line angle the tower's type takes, degrees; a suspension tower never takes
    // 90° or more.
    std::optional<double> maxAngle;
    // Allowed swings in named conditions (the names as ProfileOptions::conditionNames gives
    // them), degrees, over maxSwing; a condition named here is checked even where the design
    // practice does not check swing.
    std::vector<std::pair<std::string, double>> maxSwingIn;
};

// Something the line crosses or passes: a road, a river, a power line, a building.
struct Crossing {
    std::string name;
    double station = 0;            // m
    double elevation = 0;          // m, of its top
    double clearance = 0;          // m, required between it and the conductor
    std::optional<double> offset;  // m, horizontal distance from the centreline
};

struct ProfileOptions {
    // The clearance the conductor must keep to the ground, m; without it clearances are
    // reported, not judged.
    std::optional<double> groundClearance;
    // The conductor's highest operating temperature, °C: one more condition (no ice, no wind)
    // after the area's, taking part in the choice of the largest sag.
    std::optional<double> maxTemperature;
    // The area's ice condition without its wind (strain_section.h, iceWithoutWind), one more
    // condition after the area's and before the max-temperature one, taking part in the choice
    // of the largest sag; never controlling. Named iceWithoutWindName's way.
    bool iceWithoutWind = true;
    SpanModel model = SpanModel::catenary;
    // Safety factor of the stress at a suspension point (the higher support of each span).
    double suspensionSafety = 2.25;
    // Names of the area's conditions as the results show them, one per condition (when fewer,
    // the rest are named by their index), and the name of the max-temperature condition.
    std::vector<std::string> conditionNames;
    std::string maxTemperatureName = "max temperature";
    // The height, m, at which the area's wind speeds are given: 10 (the design practice's) or
    // 15 (the speed the conductor's and the string's wind routines take, unconverted).
    double windHeight = 10;
    // Fixed wind pressure non-uniformity factors in place of the design code's tables
    // (design/wind_rules.h): for the towers' loads, and for the swing of the strings and of the
    // conductor beside the line. Above 0 and at most 1.
    std::optional<double> loadAlpha;
    std::optional<double> clearanceAlpha;
};

struct ProfileSection {
    std::size_t firstTower = 0;       // index into the towers
    std::size_t lastTower = 0;        // index; its spans are firstTower .. lastTower - 1
    double rulingSpan = 0;            // m
    std::size_t controlling = 0;      // condition index
    double controlStress = 0;         // N/mm²
    std::vector<double> stress;       // horizontal stress per condition, N/mm²
    std::size_t maxSagCondition = 0;  // the no-wind condition (or max temperature) of largest sag
    // The stress each condition is held to, N/mm²: σA for the annual average, σN for the others
    // (the extra conditions too); a stress holds it by withinLimit (strain_section.h).
    std::vector<double> limit;
};

struct CrossingCheck {
    std::size_t crossing = 0;   // index into the crossings
    double clearance = 0;       // m: vertical, or the least distance when it has an offset
    std::size_t condition = 0;  // the condition that gives it
    double required = 0;        // m
    bool ok = true;
    // In that condition, degrees: the conductor's plane swung from the vertical (η), and the
    // strings at the span's near and far towers (0 at a strain tower and in still air; 90 for
    // a string pulled up).
    double conductorSwing = 0;
    double nearStringSwing = 0;
    double farStringSwing = 0;
};

struct ProfileSpan {
    std::size_t section = 0;      // index into sections
    double nearStation = 0;       // m, the near tower's
    double farStation = 0;        // m
    double nearAttachment = 0;    // m, elevation of the conductor's attachment at the near tower
    double farAttachment = 0;     // m
    double span = 0;              // m, horizontal
    double heightDifference = 0;  // m, far attachment above near
    std::size_t maxSagCondition = 0;
    double maxSag = 0;               // m, below the chord, in that condition
    double lowPointStation = 0;      // m, may lie outside the span on a steep one
    double minClearance = 0;         // m, conductor above ground, vertical, in that condition
    double minClearanceStation = 0;  // m
    std::optional<double> requiredClearance;  // m
    std::vector<CrossingCheck> crossings;
    double supportStress = 0;     // N/mm², the largest at either support over every condition
    double supportAllowable = 0;  // N/mm²
    bool ok = true;
    // The other model's largest sag (the parabola's beside the catenary, or the catenary's), m:
    // the section strung by that model from its own controlling condition, the same candidates;
    // none where that model's change of state has no answer.
    std::optional<double> otherModelMaxSag;
};

// A swing angle is NaN in a condition where the string is pulled up (upliftLoad).
struct ProfileTower {
    double groundElevation = 0;          // m
    double attachment = 0;               // m, elevation of the conductor's attachment
    double horizontalSpan = 0;           // m
    std::vector<double> verticalSpan;    // m, per condition
    std::vector<double> verticalLoad;    // N, per condition
    std::vector<double> horizontalLoad;  // N, per condition
    std::vector<double> swingAngle;      // degrees, per condition; empty for a strain tower
    bool uplift = false;
    bool ok = true;
    // Per condition: the allowed swing where the swing is checked.
    std::vector<std::optional<double>> swingLimit;
    // Per condition, N: the net upward load where a string is pulled up (the suspension
    // string; the worse side of a strain tower), and the weight span that gives it (m: the
    // tower's, or that side's).
    std::vector<std::optional<double>> upliftLoad;
    std::vector<double> upliftSpan;
};

enum class ViolationKind { ground, crossing, swing, uplift, suspensionPoint };

// "ground", "crossing", "swing", "uplift", "suspension_point".
VARNEL_DESIGN_API const char* violationKindName(ViolationKind kind) noexcept;

struct Violation {
    ViolationKind kind = ViolationKind::ground;
    std::size_t index =
        0;               // the span (ground, crossing, suspension point) or tower (swing, uplift)
    std::string where;   // "A-B" for a span, the tower's name, or the crossing's name
    double station = 0;  // m
    double value = 0;    // the figure: m, degrees or N/mm²
    double limit = 0;    // same unit
    std::optional<std::size_t> condition;
    std::optional<double> load;  // N: an uplift's net upward load
};

struct LineProfile {
    SpanModel model = SpanModel::catenary;
    std::vector<std::string> conditions;  // the area's, then max temperature when given
    std::vector<double> load;             // resultant specific load per condition
    std::vector<double> verticalLoad;     // vertical specific load per condition
    std::vector<double> horizontalLoad;   // horizontal (wind) specific load per condition
    // The wind per condition: the reference height of the area's speeds (m), the speed at 10 m
    // (the design code's tables take it) and at 15 m (the wind routines take it), m/s; the α of
    // the towers' loads and of the clearances (the strings' swing, the conductor beside the
    // line), each with the heavy-ice factor; whether the swing is checked in it.
    double windHeight = 10;
    std::vector<double> windAt10m;
    std::vector<double> windAt15m;
    std::vector<double> loadAlpha;
    std::vector<double> clearanceAlpha;
    std::vector<bool> swingChecked;
    std::vector<ProfileSection> sections;
    std::vector<ProfileSpan> spans;    // span i lies between towers i and i + 1
    std::vector<ProfileTower> towers;  // as the towers given
    std::vector<Violation> violations;
};

// Checks the line. `towers` in increasing station, the first and the last strain towers;
// `terrain` in increasing station, covering every tower and crossing. Throws
// std::invalid_argument naming what cannot be checked (the input files' own checks come first),
// and std::domain_error when a section has no controlling condition.
VARNEL_DESIGN_API LineProfile
checkProfile(const LineAttrib& conductor, const WeatherConditionSeq& conditions,
             const SearchFactors& factors, const std::vector<TerrainPoint>& terrain,
             const std::vector<Tower>& towers, const std::vector<Crossing>& crossings,
             const ProfileOptions& options, GivenAverage annualAverage = std::nullopt);

// Span i's curve in condition k, in the vertical plane: its stress and the vertical specific
// load, x from the near tower, heights above the near attachment (add nearAttachment).
VARNEL_DESIGN_API SpanCurve profileCurve(const LineProfile& profile, std::size_t span,
                                         std::size_t condition);

// Span i's curve in condition k as it hangs in the plane of the condition's load (SwungCurve,
// calc/span_curve.h): the catenary in the exact plane, the parabola as the manuals swing it; in
// still air, the vertical curve of the resultant load. Its support stresses are the span's, and
// its sag's sideways part is what a crossing beside the line sees.
VARNEL_DESIGN_API SwungCurve swungProfileCurve(const LineProfile& profile, std::size_t span,
                                               std::size_t condition);

// The ground's elevation at a station, m, linear between points; the ends' beyond them.
VARNEL_DESIGN_API double terrainElevation(const std::vector<TerrainPoint>& terrain, double station);

}  // namespace varnel::design
