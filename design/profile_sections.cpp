// The strain sections of the profile check: each strung to one horizontal stress per condition
// from its controlling condition (the catenary's own with the catenary), each condition's limit,
// the condition of its largest sag, and each span's largest sag by the other model.
#include <cmath>
#include <exception>
#include <optional>
#include <stdexcept>
#include <string>

#include "calc/catenary_state.h"
#include "calc/state_equation.h"
#include "design/catenary_section.h"
#include "design/profile_steps.h"
#include "design/strain_section.h"

namespace varnel::design {

SwungCurve swungProfileCurve(const LineProfile& profile, std::size_t span, std::size_t condition) {
    const ProfileSpan& s = profile.spans.at(span);
    return SwungCurve(profile.model, s.span, s.heightDifference,
                      profile.sections.at(s.section).stress.at(condition),
                      profile.load.at(condition), profile.verticalLoad.at(condition));
}

}  // namespace varnel::design

namespace varnel::design::detail {

namespace {

// One model's stresses of a section in every condition: the area's from its controlling
// condition, the extra ones (after the area's) strung from it.
struct Strung {
    std::size_t controlling = 0;
    double controlStress = 0;
    std::vector<double> stress;
};

Strung byParabola(const ProfileRun& run, const SectionDesign& d) {
    const LineProfile& r = run.result;
    Strung s{static_cast<std::size_t>(d.controlling), d.controlStress, d.stress};
    const WeatherCondition& control = run.all[s.controlling];
    for (std::size_t k = d.stress.size(); k < run.all.size(); ++k) {
        s.stress.push_back(stateEquationStress(
            d.ruling.span, d.ruling.cosAngle, run.conductor.elasticModulus,
            run.conductor.expansionCoeff, {r.load[s.controlling], control.temperature},
            d.controlStress, {r.load[k], run.all[k].temperature}));
    }
    return s;
}

// The catenary's own controlling condition (catenaryControl over the whole section), each
// condition in the plane of its load.
Strung byCatenary(const ProfileRun& run, const SectionDesign& d,
                  const std::vector<SpanGeometry>& geometry, const std::string& where) {
    const LineProfile& r = run.result;
    const LineAttrib& conductor = run.conductor;
    const CatenaryControl control =
        catenaryControl(geometry, designLimitStates(d, run.area), conductor.elasticModulus,
                        conductor.expansionCoeff);
    if (control.condition < 0) {
        throw std::domain_error("no condition of the section " + where +
                                " has an answer by the catenary change of state");
    }
    Strung s{static_cast<std::size_t>(control.condition),
             d.limit[static_cast<std::size_t>(control.condition)], control.stress};
    std::vector<SectionSpan> spans;
    for (const SpanGeometry& g : geometry) spans.push_back({g.length, g.heightDifference});
    const auto stateOf = [&](std::size_t k) {
        return LoadState{r.load[k], run.all[k].temperature, r.verticalLoad[k]};
    };
    const CatenaryChangeOfState change(spans, {conductor.elasticModulus, conductor.expansionCoeff},
                                       stateOf(s.controlling), s.controlStress);
    for (std::size_t k = s.stress.size(); k < run.all.size(); ++k) {
        s.stress.push_back(change.stressIn(stateOf(k)));
    }
    return s;
}

// The condition of the largest sag: the smallest parameter σ₀/γv gives the largest sag in every
// span of the section, whichever the model; still air only, unless every condition has wind.
std::size_t largestSag(const ProfileRun& run, const std::vector<double>& stress) {
    const LineProfile& r = run.result;
    const std::size_t nc = run.all.size();
    bool anyStill = false;
    for (const WeatherCondition& c : run.all) anyStill = anyStill || c.windSpeed == 0;
    std::size_t best = nc;
    for (std::size_t k = 0; k < nc; ++k) {
        if (anyStill && run.all[k].windSpeed != 0) continue;
        if (best == nc || stress[k] / r.verticalLoad[k] < stress[best] / r.verticalLoad[best]) {
            best = k;
        }
    }
    return best == nc ? 0 : best;
}

}  // namespace

void stringSections(ProfileRun& run) {
    LineProfile& r = run.result;
    const std::vector<Tower>& towers = run.towers;
    const std::size_t nc = run.all.size();
    const LineAttrib& conductor = run.conductor;
    const ProfileOptions& options = run.options;
    const auto finite = [](double v) { return std::isfinite(v); };

    // Strain sections, each strung to one horizontal stress per condition.
    SearchFactors level = run.factors;
    level.cosAngle = 1;
    const bool catenary = options.model == SpanModel::catenary;
    for (std::size_t first = 0; first + 1 < towers.size();) {
        std::size_t last = first + 1;
        while (towers[last].kind != TowerKind::strain) ++last;
        const std::string where = "from " + towers[first].name + " to " + towers[last].name;
        ProfileSection sec;
        sec.firstTower = first;
        sec.lastTower = last;
        std::vector<SpanGeometry> geometry;
        for (std::size_t i = first; i < last; ++i) {
            geometry.push_back({r.spans[i].span, r.spans[i].heightDifference});
            r.spans[i].section = r.sections.size();
        }
        const SectionDesign d =
            designSection(conductor, run.area, level, geometry, run.annualAverage);
        if (d.controlling < 0) {
            throw std::domain_error("no condition qualifies as controlling in the section " +
                                    where);
        }
        sec.rulingSpan = d.ruling.span;
        const Strung parabola = byParabola(run, d);
        const Strung chosen = catenary ? byCatenary(run, d, geometry, where) : parabola;
        // The other model only for the figure beside: where it has no answer, none.
        std::optional<Strung> other;
        if (catenary) {
            other = parabola;
        } else {
            try {
                other = byCatenary(run, d, geometry, where);
            } catch (const std::exception&) {
            }
        }
        sec.controlling = chosen.controlling;
        sec.controlStress = chosen.controlStress;
        sec.stress = chosen.stress;
        for (std::size_t k = 0; k < nc; ++k) {
            if (!(sec.stress[k] > 0) || !finite(sec.stress[k])) {
                throw std::domain_error("the stress of the section " + where + " in condition " +
                                        r.conditions[k] + " cannot be solved");
            }
            sec.limit.push_back(k < d.limit.size() ? d.limit[k] : d.normalLimit);
        }
        sec.maxSagCondition = largestSag(run, sec.stress);
        // The other model's largest sag of each span, at its own condition of largest sag.
        const SpanModel otherModel = catenary ? SpanModel::parabola : SpanModel::catenary;
        for (std::size_t i = first; other && i < last; ++i) {
            const std::size_t k = largestSag(run, other->stress);
            const double sag = SpanCurve(otherModel, r.spans[i].span, r.spans[i].heightDifference,
                                         other->stress[k], r.verticalLoad[k])
                                   .maxSag();
            if (std::isfinite(sag)) r.spans[i].otherModelMaxSag = sag;
        }
        r.sections.push_back(std::move(sec));
        first = last;
    }
}

}  // namespace varnel::design::detail
