#include "tools/design_inputs.h"

#include <fmt/format.h>

#include <cmath>

#include "tools/encoding.h"
#include "tools/library_tables.h"
#include "tools/text_table.h"

namespace varnel::tool {

void addDesignOptions(CLI::App* command, NumberOptions& numbers, DesignOptions& o, bool withCos) {
    command->add_option("--areas", o.areasPath, "Weather area table (DBF)")
        ->required()
        ->type_name("FILE");
    command->add_option("--area", o.areaName, "Weather area name, as in the table")
        ->required()
        ->type_name("NAME");
    command->add_option("--conductors", o.conductorsPath, "Conductor table (DBF)")
        ->required()
        ->type_name("FILE");
    command->add_option("--conductor", o.conductorName, "Conductor name, as in the table")
        ->required()
        ->type_name("NAME");
    command->add_flag("--load-case", o.loadCase,
                      "The areas table is a load-case table (10 fields, six conditions)");
    if (withCos) {
        numbers.add(command, "--cos", o.factors.cosAngle,
                    "Cosine of the span's height-difference angle, above 0 and at most 1 (1 for a "
                    "level span)",
                    "COS", Bounds{0, 1, true, false}, false);
    }
    numbers.add(command, "--avg-ratio", o.factors.avgRatio,
                "Fraction of the rated strength allowed in the annual average condition, above 0 "
                "and at most 1",
                "FRACTION", Bounds{0, 1, true, false}, false);
    numbers.add(command, "--strength-factor", o.factors.strengthFactor,
                "Factor applied to the rated strength in both limits, above 0 and at most 1",
                "FACTOR", Bounds{0, 1, true, false}, false);
    numbers.add(command, "--safety", o.factors.safety,
                "Safety factor dividing the strength in the normal limit, above 0", "FACTOR",
                kPositive, false);
}

Design loadDesign(const DesignOptions& o) {
    const TableKind kind = o.loadCase ? TableKind::LoadCaseAreas : TableKind::WeatherAreas;
    loadLibrary(kind, o.areasPath);
    loadLibrary(TableKind::Conductors, o.conductorsPath);
    const WeatherArea& area = findArea(kind, o.areaName, o.areasPath);
    const LineAttrib& conductor = findConductor(o.conductorName, o.conductorsPath);
    const Design design{&area, &conductor};
    checkDesign(design, o);
    return design;
}

std::size_t conditionCount(const WeatherArea& area) {
    return countOf(area.conditions);
}

std::string describeDesign(const Design& d, const DesignFactors& f, bool withCos) {
    const ::LineAttrib& c = *d.conductor;
    return fmt::format(
        "Weather area {}; conductor {}: {} mm\u00B2, {} mm, {} kg/km, E {} N/mm\u00B2, "
        "\u03B1 {:.4g}e-6/\u00B0C, rated strength {} N\n"
        "{}annual average ratio {}, strength factor {}, safety factor {}\n",
        shownText(nameOf(d.area->name)), shownText(nameOf(c.name)), c.area, c.diameter, c.unitMass,
        c.elasticModulus, c.expansionCoeff * 1e6, c.ratedStrength,
        withCos ? fmt::format("cos {}, ", f.cosAngle) : std::string(), f.avgRatio, f.strengthFactor,
        f.safety);
}

Json conductorJson(const LineAttrib& c) {
    return Json{{"name", nameOf(c.name)},
                {"area_mm2", c.area},
                {"diameter_mm", c.diameter},
                {"unit_mass_kg_per_km", c.unitMass},
                {"aluminium_area_mm2", c.column4Value},
                {"elastic_modulus_N_per_mm2", c.elasticModulus},
                {"expansion_per_degC", c.expansionCoeff},
                {"steel_area_mm2", c.column7Value},
                {"rated_strength_N", c.ratedStrength},
                {"aluminium_wires", c.column9Number},
                {"stranding", nameOf(c.column10Text)}};
}

void describeDesign(const Design& d, const DesignFactors& f, Json& into) {
    into["area"] = nameOf(d.area->name);
    into["conductor"] = conductorJson(*d.conductor);
    into["factors"] = Json{{"cos", f.cosAngle},
                           {"avg_ratio", f.avgRatio},
                           {"strength_factor", f.strengthFactor},
                           {"safety", f.safety}};
}

std::string spanTable(const WeatherArea& area, const SpanState& state) {
    TextTable table({"condition", "load N/(m\u00B7mm\u00B2)", "stress N/mm\u00B2", "sag m",
                     "limit N/mm\u00B2", "holds"},
                    {false, true, true, true, true, false});
    for (std::size_t i = 0; i < state.conditions.size(); ++i) {
        const ConditionState& s = state.conditions[i];
        std::string name = nameOf(area.conditions.first[i].name);
        if (static_cast<int>(i) == state.control) name += " *";
        table.addRow({name, fmt::format("{:.6e}", s.specificLoad), number(s.stress, 3),
                      number(s.sag, 3), number(s.limit, 3), s.holds ? "yes" : "NO"});
    }
    return table.aligned() + "* controlling condition\n";
}

Json spanJson(const WeatherArea& area, const LineAttrib& conductor, const SpanState& state) {
    Json out;
    out["span_m"] = state.span;
    if (state.control >= 0) {
        out["controlling"] =
            conditionRef(state.control, nameOf(area.conditions.first[state.control].name));
        out["control_stress_N_per_mm2"] = state.controlStress;
    } else {
        out["controlling"] = nullptr;
        out["control_stress_N_per_mm2"] = nullptr;
    }
    Json conditions = Json::array();
    for (std::size_t i = 0; i < state.conditions.size(); ++i) {
        const ConditionState& s = state.conditions[i];
        conditions.push_back(Json{{"name", nameOf(area.conditions.first[i].name)},
                                  {"specific_load_N_per_m_mm2", s.specificLoad},
                                  {"stress_N_per_mm2", s.stress},
                                  {"sag_m", s.sag},
                                  {"limit_N_per_mm2", s.limit},
                                  {"holds", s.holds}});
    }
    if (state.control < 0) {
        for (std::size_t i = 0; i < conditionCount(area); ++i) {
            const WeatherCondition& c = area.conditions.first[i];
            conditions.push_back(Json{{"name", nameOf(c.name)},
                                      {"specific_load_N_per_m_mm2", CalcBZ(&c, &conductor)},
                                      {"stress_N_per_mm2", nullptr},
                                      {"sag_m", nullptr},
                                      {"limit_N_per_mm2", nullptr},
                                      {"holds", nullptr}});
        }
    }
    out["conditions"] = std::move(conditions);
    return out;
}

}  // namespace varnel::tool
