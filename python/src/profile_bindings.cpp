// varnel._core.check_profile: the line over the ground. The checked line stays a C++ object
// (_core.LineProfile) so that its curves come from the library, not from a copy of its
// formulas; its tables go to Python as lists of tuples that varnel._profile makes DataFrames of.
#include <pybind11/stl.h>

#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "design/line_profile.h"
#include "design/profile_solve.h"
#include "python/src/core_bindings.h"

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

// (name, station, elevation, clearance, offset or None)
std::vector<design::Crossing> crossingsOf(const std::vector<py::tuple>& rows) {
    std::vector<design::Crossing> crossings;
    for (const auto& r : rows) {
        design::Crossing c;
        c.name = r[0].cast<std::string>();
        c.station = r[1].cast<double>();
        c.elevation = r[2].cast<double>();
        c.clearance = r[3].cast<double>();
        if (!r[4].is_none()) c.offset = r[4].cast<double>();
        crossings.push_back(std::move(c));
    }
    return crossings;
}

std::vector<design::TerrainPoint> terrainOf(const std::vector<std::pair<double, double>>& points) {
    std::vector<design::TerrainPoint> terrain;
    terrain.reserve(points.size());
    for (const auto& [s, z] : points) terrain.push_back({s, z});
    return terrain;
}

}  // namespace

void bindProfile(py::module_& m) {
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
           std::vector<std::string> conditionNames,
           const std::vector<std::pair<double, double>>& terrainPoints,
           const std::vector<py::tuple>& towerRows, const std::vector<py::tuple>& crossingRows,
           std::optional<double> groundClearance, std::optional<double> maxTemperature,
           const std::string& model, double avgRatio, double strengthFactor, double safety,
           double suspensionSafety, double windHeight, std::optional<double> alphaLoads,
           std::optional<double> alphaClearance) {
            ConditionList list{conditions};
            const std::vector<design::TerrainPoint> terrain = terrainOf(terrainPoints);
            // (name, station, kind, arm, insulator length, insulator weight, ground or None,
            //  angle, max swing or None, insulator area, max angle or None,
            //  [(condition name, allowed swing)])
            std::vector<design::Tower> towers;
            for (const auto& r : towerRows) {
                design::Tower t;
                t.name = r[0].cast<std::string>();
                t.station = r[1].cast<double>();
                const auto kind = r[2].cast<std::string>();
                const bool strain = kind == "strain" || kind == "\u8010\u5F20";   // 耐张
                if (!strain && kind != "suspension" && kind != "\u76F4\u7EBF") {  // 直线
                    throw py::value_error("tower " + t.name +
                                          ": kind must be strain (\u8010\u5F20) or suspension "
                                          "(\u76F4\u7EBF), not " +
                                          kind);
                }
                t.kind = strain ? design::TowerKind::strain : design::TowerKind::suspension;
                t.armHeight = r[3].cast<double>();
                t.insulatorLength = r[4].cast<double>();
                t.insulatorWeight = r[5].cast<double>();
                if (!r[6].is_none()) t.groundElevation = r[6].cast<double>();
                t.angle = r[7].cast<double>();
                if (!r[8].is_none()) t.maxSwing = r[8].cast<double>();
                t.insulatorArea = r[9].cast<double>();
                if (!r[10].is_none()) t.maxAngle = r[10].cast<double>();
                t.maxSwingIn = r[11].cast<std::vector<std::pair<std::string, double>>>();
                towers.push_back(std::move(t));
            }
            const std::vector<design::Crossing> crossings = crossingsOf(crossingRows);
            design::ProfileOptions options;
            options.groundClearance = groundClearance;
            options.maxTemperature = maxTemperature;
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
                    design::SearchFactors{1.0, avgRatio, strengthFactor, safety}, terrain, towers,
                    crossings, options);
            } catch (const std::invalid_argument& e) {
                throw py::value_error(e.what());
            } catch (const std::domain_error& e) {
                throw py::value_error(e.what());
            }
        },
        py::arg("conductor"), py::arg("conditions"), py::arg("condition_names"), py::arg("terrain"),
        py::arg("towers"), py::arg("crossings"), py::arg("ground_clearance"),
        py::arg("max_temperature"), py::arg("model"), py::arg("avg_ratio"),
        py::arg("strength_factor"), py::arg("safety"), py::arg("suspension_safety"),
        py::arg("wind_height"), py::arg("alpha_loads"), py::arg("alpha_clearance"));

    // The highest conductor temperature at which every clearance of the checked line holds:
    // (from, to, temperature (±inf beyond the search), limiting item or None,
    //  [(kind, span, crossing or None, required, temperature, station)]).
    m.def(
        "max_temperature_for_clearances",
        [](const LineProfile& profile, const LineAttrib& conductor,
           const std::vector<WeatherCondition>& conditions,
           const std::vector<std::pair<double, double>>& terrainPoints,
           const std::vector<py::tuple>& crossingRows) {
            ConditionList list{conditions};
            design::TemperatureLimit r;
            try {
                r = design::maxTemperatureForClearances(profile, conductor, list.seq(),
                                                        terrainOf(terrainPoints),
                                                        crossingsOf(crossingRows));
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
        py::arg("profile"), py::arg("conductor"), py::arg("conditions"), py::arg("terrain"),
        py::arg("crossings"));
}

}  // namespace varnel::python
