// varnel._core.check_profile: the line over the ground. The input files (or DataFrames written
// out as their CSV text) are read by the command's own reader (tools/profile_inputs.h), so both
// refuse the same inputs in the same words, and drawn by the command's own drawing. The checked
// line stays a C++ object (_core.LineProfile) so that its curves come from the library, not from
// a copy of its formulas; its tables go to Python as lists of tuples that varnel._profile makes
// DataFrames of.
#include <pybind11/stl.h>

#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "design/line_profile.h"
#include "design/profile_solve.h"
#include "python/src/core_bindings.h"
#include "tools/encoding.h"
#include "tools/number_options.h"
#include "tools/profile_drawing.h"
#include "tools/profile_inputs.h"
#include "tools/result_stream.h"
#include "tools/tool_error.h"

namespace varnel::python {

namespace {

using design::LineProfile;

py::list sectionRows(const LineProfile& p) {
    py::list rows;
    for (const auto& s : p.sections) {
        rows.append(py::make_tuple(s.firstTower, s.lastTower, s.rulingSpan, s.controlling,
                                   s.controlStress, s.stress, s.maxSagCondition));
    }
    return rows;
}

py::list spanRows(const LineProfile& p) {
    py::list rows;
    for (const auto& s : p.spans) {
        py::list crossings;
        for (const auto& c : s.crossings) {
            crossings.append(py::make_tuple(c.crossing, c.clearance, c.condition, c.required, c.ok,
                                            c.conductorSwing, c.nearStringSwing, c.farStringSwing));
        }
        rows.append(py::make_tuple(
            s.section, s.nearStation, s.farStation, s.nearAttachment, s.farAttachment, s.span,
            s.heightDifference, s.maxSagCondition, s.maxSag, s.lowPointStation, s.minClearance,
            s.minClearanceStation,
            s.requiredClearance ? py::object(py::float_(*s.requiredClearance)) : py::none(),
            crossings, s.supportStress, s.supportAllowable, s.ok));
    }
    return rows;
}

py::list towerRows(const LineProfile& p) {
    py::list rows;
    for (const auto& t : p.towers) {
        rows.append(py::make_tuple(t.groundElevation, t.attachment, t.horizontalSpan,
                                   t.verticalSpan, t.verticalLoad, t.horizontalLoad, t.swingAngle,
                                   t.uplift, t.ok, t.swingLimit, t.upliftLoad, t.upliftSpan));
    }
    return rows;
}

py::list violationRows(const LineProfile& p) {
    py::list rows;
    for (const auto& v : p.violations) {
        rows.append(py::make_tuple(design::violationKindName(v.kind), v.index, v.where, v.station,
                                   v.value, v.limit,
                                   v.condition ? py::object(py::int_(*v.condition)) : py::none(),
                                   v.load ? py::object(py::float_(*v.load)) : py::none()));
    }
    return rows;
}

// The line's three inputs as the reader gave them, and the reader's warnings.
struct ProfileInputs {
    std::vector<design::TerrainPoint> terrain;
    std::vector<design::Tower> towers;
    std::vector<design::Crossing> crossings;
    std::vector<std::string> warnings;
};

// A source: (text, label), its CSV text given (a DataFrame written out) and named `label` in
// messages, or (None, path), a file read as the command reads it.
using Source = std::pair<std::optional<std::string>, std::string>;

// The tool's refusals (one line naming the file, line and column, or the option) as ValueError.
template <class F>
auto refusedAsValueError(F&& f) {
    try {
        return f();
    } catch (const tool::ToolError& e) {
        throw py::value_error(e.what());
    } catch (const tool::UsageError& e) {  // a drawing's window that holds nothing
        throw py::value_error(e.what());
    }
}

ProfileInputs readInputs(const Source& terrain, const Source& towers,
                         const std::optional<Source>& crossings,
                         const std::vector<std::string>& conditions) {
    return refusedAsValueError([&] {
        ProfileInputs in;
        in.terrain = terrain.first ? tool::parseTerrain(*terrain.first, terrain.second)
                                   : tool::readTerrain(terrain.second);
        in.towers = towers.first
                        ? tool::parseTowers(*towers.first, towers.second, in.terrain, conditions,
                                            &in.warnings)
                        : tool::readTowers(towers.second, in.terrain, conditions, &in.warnings);
        if (crossings) {
            in.crossings = crossings->first ? tool::parseCrossings(*crossings->first,
                                                                   crossings->second, in.towers)
                                            : tool::readCrossings(crossings->second, in.towers);
        }
        return in;
    });
}

}  // namespace

void bindProfile(py::module_& m) {
    py::class_<ProfileInputs>(m, "ProfileInputs")
        .def_property_readonly("terrain",
                               [](const ProfileInputs& in) {
                                   std::vector<std::pair<double, double>> points;
                                   for (const auto& p : in.terrain)
                                       points.emplace_back(p.station, p.elevation);
                                   return points;
                               })
        // (name, station, kind, ground elevation or None, arm height, string length)
        .def_property_readonly(
            "towers",
            [](const ProfileInputs& in) {
                py::list rows;
                for (const auto& t : in.towers) {
                    rows.append(py::make_tuple(
                        t.name, t.station,
                        t.kind == design::TowerKind::strain ? "strain" : "suspension",
                        t.groundElevation, t.armHeight, t.insulatorLength));
                }
                return rows;
            })
        // (name, station, elevation, clearance, offset or None)
        .def_property_readonly("crossings",
                               [](const ProfileInputs& in) {
                                   py::list rows;
                                   for (const auto& c : in.crossings) {
                                       rows.append(py::make_tuple(c.name, c.station, c.elevation,
                                                                  c.clearance, c.offset));
                                   }
                                   return rows;
                               })
        .def_readonly("warnings", &ProfileInputs::warnings);

    // The terrain, towers and crossings (each a Source) read with the conditions' names that
    // max_swing_<CONDITION>_deg columns may name.
    m.def("read_profile", &readInputs, py::arg("terrain"), py::arg("towers"), py::arg("crossings"),
          py::arg("conditions"));

    // Figures as the command writes them: as short as they read back, and with fixed decimals.
    m.def("short_number", &tool::shortNumber, py::arg("value"));
    m.def("fixed_number", &tool::number, py::arg("value"), py::arg("decimals"));
    // A text quoted as the reader's messages quote a cell.
    m.def(
        "quoted_text", [](const std::string& text) { return tool::quotedText(text); },
        py::arg("text"));

    // The command's drawing of the checked line (profile --svg), written to `path` as the
    // command writes its files (in full or not at all).
    m.def(
        "draw_profile",
        [](const design::LineProfile& profile, const ProfileInputs& in, const std::string& area,
           const std::string& conductor, double exaggeration, std::optional<double> from,
           std::optional<double> to, std::optional<double> alphaLoads,
           std::optional<double> alphaClearance, const std::string& path) {
            refusedAsValueError([&] {
                tool::OutputFile svg(path);
                const tool::ProfileDrawingInputs drawing{
                    in.terrain,
                    in.towers,
                    in.crossings,
                    area,
                    conductor,
                    exaggeration,
                    from,
                    to,
                    tool::profileWindNote(profile, alphaLoads, alphaClearance)};
                tool::writeProfileDrawing(profile, drawing, svg);
                svg.commit();
                return 0;
            });
        },
        py::arg("profile"), py::arg("inputs"), py::arg("area"), py::arg("conductor"),
        py::arg("exaggeration"), py::arg("from_station"), py::arg("to_station"),
        py::arg("alpha_loads"), py::arg("alpha_clearance"), py::arg("path"));

    py::class_<LineProfile>(m, "LineProfile")
        .def_property_readonly(
            "model", [](const LineProfile& p) { return std::string(spanModelName(p.model)); })
        .def_readonly("vertical_load", &LineProfile::verticalLoad)
        .def_readonly("horizontal_load", &LineProfile::horizontalLoad)
        .def_readonly("load", &LineProfile::load)
        .def_readonly("wind_height", &LineProfile::windHeight)
        .def_readonly("wind_at_10m", &LineProfile::windAt10m)
        .def_readonly("wind_at_15m", &LineProfile::windAt15m)
        .def_readonly("load_alpha", &LineProfile::loadAlpha)
        .def_readonly("clearance_alpha", &LineProfile::clearanceAlpha)
        .def_property_readonly("swing_checked",
                               [](const LineProfile& p) {
                                   return std::vector<bool>(p.swingChecked.begin(),
                                                            p.swingChecked.end());
                               })
        // The conditions' names: the area's, its ice without wind, max temperature.
        .def_readonly("conditions", &LineProfile::conditions)
        .def("sections", &sectionRows)
        .def("spans", &spanRows)
        .def("towers", &towerRows)
        .def("violations", &violationRows)
        // Elevations (m) of span `span`'s conductor in condition `condition` at the stations
        // given (m, along the line).
        .def("curve", [](const LineProfile& p, std::size_t span, std::size_t condition,
                         const std::vector<double>& stations) {
            if (span >= p.spans.size()) throw py::index_error("no span of that index");
            if (condition >= p.conditions.size()) {
                throw py::index_error("no condition of that index");
            }
            const SpanCurve c = design::profileCurve(p, span, condition);
            const auto& s = p.spans[span];
            std::vector<double> z;
            z.reserve(stations.size());
            for (double x : stations) {
                z.push_back(s.nearAttachment + c.heightAt(x - s.nearStation));
            }
            return z;
        });

    m.def(
        "check_profile",
        [](const LineAttrib& conductor, const std::vector<WeatherCondition>& conditions,
           std::vector<std::string> conditionNames, const ProfileInputs& in,
           std::optional<double> groundClearance, std::optional<double> maxTemperature,
           const std::string& maxTemperatureName, const std::string& model, double avgRatio,
           double strengthFactor, double safety, double suspensionSafety, double windHeight,
           std::optional<double> alphaLoads, std::optional<double> alphaClearance,
           const std::string& towersLabel) {
            ConditionList list{conditions};
            design::ProfileOptions options;
            options.groundClearance = groundClearance;
            options.maxTemperature = maxTemperature;
            options.maxTemperatureName = maxTemperatureName;
            const auto named = spanModelNamed(model);
            if (!named || *named == SpanModel::flatParabola) {
                throw py::value_error("model must be \"catenary\" or \"parabola\", not \"" + model +
                                      "\"");
            }
            options.model = *named;
            options.suspensionSafety = suspensionSafety;
            options.conditionNames = std::move(conditionNames);
            options.windHeight = windHeight;
            options.loadAlpha = alphaLoads;
            options.clearanceAlpha = alphaClearance;
            try {
                return design::checkProfile(
                    conductor, list.seq(),
                    design::SearchFactors{1.0, avgRatio, strengthFactor, safety}, in.terrain,
                    in.towers, in.crossings, options);
            } catch (const std::invalid_argument& e) {
                // As the command words it: the towers' file (or DataFrame) is at fault.
                throw py::value_error(towersLabel + ": " + e.what());
            } catch (const std::domain_error& e) {
                throw py::value_error(towersLabel + ": " + e.what());
            }
        },
        py::arg("conductor"), py::arg("conditions"), py::arg("condition_names"), py::arg("inputs"),
        py::arg("ground_clearance"), py::arg("max_temperature"), py::arg("max_temperature_name"),
        py::arg("model"), py::arg("avg_ratio"), py::arg("strength_factor"), py::arg("safety"),
        py::arg("suspension_safety"), py::arg("wind_height"), py::arg("alpha_loads"),
        py::arg("alpha_clearance"), py::arg("towers_label"));

    // The highest conductor temperature at which every clearance of the checked line holds:
    // (from, to, temperature (±inf beyond the search), limiting item or None,
    //  [(kind, span, crossing or None, required, temperature, station)]).
    m.def(
        "max_temperature_for_clearances",
        [](const LineProfile& profile, const LineAttrib& conductor,
           const std::vector<WeatherCondition>& conditions, const ProfileInputs& in) {
            ConditionList list{conditions};
            design::TemperatureLimit r;
            try {
                r = design::maxTemperatureForClearances(profile, conductor, list.seq(), in.terrain,
                                                        in.crossings);
            } catch (const std::invalid_argument& e) {
                throw py::value_error(e.what());
            } catch (const std::domain_error& e) {
                throw py::value_error(e.what());
            }
            py::list items;
            for (const auto& item : r.items) {
                items.append(py::make_tuple(
                    design::violationKindName(item.kind), item.span,
                    item.crossing ? py::object(py::int_(*item.crossing)) : py::none(),
                    item.required, item.temperature, item.station));
            }
            return py::make_tuple(r.from, r.to, r.temperature,
                                  r.limiting ? py::object(py::int_(*r.limiting)) : py::none(),
                                  items);
        },
        py::arg("profile"), py::arg("conductor"), py::arg("conditions"), py::arg("inputs"));
}

}  // namespace varnel::python
