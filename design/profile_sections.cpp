// The strain sections of the profile check: each strung to one horizontal stress per condition,
// and the condition of its largest sag.
#include <cmath>
#include <stdexcept>
#include <string>

#include "calc/catenary_state.h"
#include "calc/state_equation.h"
#include "design/profile_steps.h"
#include "design/strain_section.h"

namespace varnel::design::detail {

void stringSections(ProfileRun& run) {
    LineProfile& r = run.result;
    const std::vector<Tower>& towers = run.towers;
    const std::vector<WeatherCondition>& all = run.all;
    const std::size_t nc = all.size();
    const LineAttrib& conductor = run.conductor;
    const WeatherConditionSeq& conditions = run.area;
    const ProfileOptions& options = run.options;
    const auto finite = [](double v) { return std::isfinite(v); };

    // Strain sections, each strung to one horizontal stress per condition.
    SearchFactors level = run.factors;
    level.cosAngle = 1;
    const ConductorStrain strain{conductor.elasticModulus, conductor.expansionCoeff};
    for (std::size_t first = 0; first + 1 < towers.size();) {
        std::size_t last = first + 1;
        while (towers[last].kind != TowerKind::strain) ++last;
        ProfileSection sec;
        sec.firstTower = first;
        sec.lastTower = last;
        std::vector<SpanGeometry> geometry;
        std::vector<SectionSpan> catenarySpans;
        for (std::size_t i = first; i < last; ++i) {
            geometry.push_back({r.spans[i].span, r.spans[i].heightDifference});
            catenarySpans.push_back({r.spans[i].span, r.spans[i].heightDifference});
            r.spans[i].section = r.sections.size();
        }
        const SectionDesign d =
            designSection(conductor, conditions, level, geometry, run.annualAverage);
        if (d.controlling < 0) {
            throw std::domain_error("no condition qualifies as controlling in the section from " +
                                    towers[first].name + " to " + towers[last].name);
        }
        sec.rulingSpan = d.ruling.span;
        sec.controlling = static_cast<std::size_t>(d.controlling);
        sec.controlStress = d.controlStress;
        const WeatherCondition& control = all[sec.controlling];
        const LoadState controlState{r.load[sec.controlling], control.temperature};
        for (std::size_t k = 0; k < nc; ++k) {
            double sigma = 0;
            if (options.model == SpanModel::catenary) {
                sigma = catenarySectionStress(catenarySpans, strain, controlState, d.controlStress,
                                              {r.load[k], all[k].temperature});
            } else if (k < d.stress.size()) {
                sigma = d.stress[k];
            } else {
                sigma = stateEquationStress(d.ruling.span, d.ruling.cosAngle, conductor, control,
                                            all[k], d.controlStress);
            }
            if (!(sigma > 0) || !finite(sigma)) {
                throw std::domain_error("the stress of the section from " + towers[first].name +
                                        " to " + towers[last].name + " in condition " +
                                        r.conditions[k] + " cannot be solved");
            }
            sec.stress.push_back(sigma);
        }
        // The largest sag, still air only: the smallest parameter σ₀/γ gives the largest sag in
        // every span of the section, whichever the model.
        bool found = false;
        for (std::size_t k = 0; k < nc; ++k) {
            if (all[k].windSpeed != 0) continue;
            const double p = sec.stress[k] / r.verticalLoad[k];
            if (!found ||
                p < sec.stress[sec.maxSagCondition] / r.verticalLoad[sec.maxSagCondition]) {
                sec.maxSagCondition = k;
                found = true;
            }
        }
        if (!found) {
            for (std::size_t k = 0; k < nc; ++k) {
                if (sec.stress[k] / r.verticalLoad[k] <
                    sec.stress[sec.maxSagCondition] / r.verticalLoad[sec.maxSagCondition]) {
                    sec.maxSagCondition = k;
                }
            }
        }
        r.sections.push_back(std::move(sec));
        first = last;
    }
}

}  // namespace varnel::design::detail
