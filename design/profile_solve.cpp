#include "design/profile_solve.h"

#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <stdexcept>
#include <string>

#include "calc/catenary_state.h"
#include "calc/conductor_load.h"
#include "calc/state_equation.h"
#include "design/input_checks.h"
#include "design/profile_steps.h"
#include "design/strain_section.h"

namespace varnel::design {

namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();
// The temperatures are bisected to this, °C: far below what a conductor's temperature is known to.
constexpr double kTemperatureStep = 1e-6;

// A section's horizontal stress (N/mm²) with the conductor bare, in still air, at a temperature:
// from the state the check strung it to, by the model's change of state.
class SectionStress {
  public:
    SectionStress(const LineProfile& p, const ProfileSection& section, const LineAttrib& conductor,
                  const WeatherConditionSeq& conditions, double bareLoad)
        : model_(p.model),
          conductor_(conductor),
          // The controlling state in the plane of its load, as the section was strung.
          control_{p.load.at(section.controlling), conditions[section.controlling].temperature,
                   p.verticalLoad.at(section.controlling)},
          controlStress_(section.controlStress),
          bareLoad_(bareLoad) {
        std::vector<SpanGeometry> geometry;
        std::vector<SectionSpan> spans;
        for (std::size_t i = section.firstTower; i < section.lastTower; ++i) {
            geometry.push_back({p.spans[i].span, p.spans[i].heightDifference});
            spans.push_back({p.spans[i].span, p.spans[i].heightDifference});
        }
        ruling_ = rulingSpan(geometry);
        if (model_ == SpanModel::catenary) {
            change_ = std::make_unique<CatenaryChangeOfState>(
                spans, ConductorStrain{conductor.elasticModulus, conductor.expansionCoeff},
                control_, controlStress_);
        }
    }

    double at(double temperature) const {
        const LoadState sought{bareLoad_, temperature};
        if (change_) return change_->stressIn(sought);
        return stateEquationStress(ruling_.span, ruling_.cosAngle, conductor_.elasticModulus,
                                   conductor_.expansionCoeff, control_, controlStress_, sought);
    }

  private:
    SpanModel model_;
    const LineAttrib& conductor_;
    LoadState control_;
    double controlStress_;
    double bareLoad_;
    RulingSpan ruling_{};
    std::unique_ptr<CatenaryChangeOfState> change_;
};

// By how much (m) a requirement holds with the conductor at a temperature, and where.
struct Margin {
    double value;
    double station;
};

// The highest temperature in [from, to] at which `margin` is not negative: it falls with the
// temperature. −∞ when it is negative at `from`, +∞ when it holds at `to`.
double highestHolding(const std::function<Margin(double)>& margin, double from, double to,
                      double& station) {
    const Margin hot = margin(to);
    if (hot.value >= 0) {
        station = hot.station;
        return kInfinity;
    }
    const Margin cold = margin(from);
    if (!(cold.value >= 0)) {
        station = cold.station;
        return -kInfinity;
    }
    double holds = from;
    double fails = to;
    station = cold.station;
    while (fails - holds > kTemperatureStep) {
        const double mid = 0.5 * (holds + fails);
        const Margin m = margin(mid);
        if (m.value >= 0) {
            holds = mid;
            station = m.station;
        } else {
            fails = mid;
        }
    }
    return holds;
}

}  // namespace

TemperatureLimit maxTemperatureForClearances(const LineProfile& checked,
                                             const LineAttrib& conductor,
                                             const WeatherConditionSeq& conditions,
                                             const std::vector<TerrainPoint>& terrain,
                                             const std::vector<Crossing>& crossings, double from,
                                             double to) {
    if (!std::isfinite(from) || !std::isfinite(to) || !(to > from)) {
        throw std::invalid_argument("the temperatures searched must be finite and rising");
    }
    TemperatureLimit r;
    r.from = from;
    r.to = to;
    r.temperature = kInfinity;
    const double bare = specificLoad(WeatherCondition{}, conductor);

    std::vector<std::unique_ptr<SectionStress>> stress;
    for (const ProfileSection& s : checked.sections) {
        stress.push_back(std::make_unique<SectionStress>(checked, s, conductor, conditions, bare));
    }
    const auto curveAt = [&](std::size_t i, double temperature) {
        const ProfileSpan& s = checked.spans[i];
        const double sigma = stress[s.section]->at(temperature);
        if (!(sigma > 0) || !std::isfinite(sigma)) {
            throw std::domain_error("the stress of span " + std::to_string(i + 1) + " at " +
                                    shownValue(temperature) + " \u00B0C cannot be solved");
        }
        return SpanCurve(checked.model, s.span, s.heightDifference, sigma, bare);
    };

    for (std::size_t i = 0; i < checked.spans.size(); ++i) {
        const ProfileSpan& s = checked.spans[i];
        if (!s.requiredClearance) continue;
        ClearanceTemperature item;
        item.kind = ViolationKind::ground;
        item.span = i;
        item.required = *s.requiredClearance;
        item.temperature = highestHolding(
            [&](double t) {
                const detail::LeastClearance least =
                    detail::spanGroundClearance(s, curveAt(i, t), terrain);
                return Margin{least.value - item.required, least.at};
            },
            from, to, item.station);
        r.items.push_back(item);
    }
    for (std::size_t i = 0; i < checked.spans.size(); ++i) {
        const ProfileSpan& s = checked.spans[i];
        for (const CrossingCheck& check : s.crossings) {
            const Crossing& x = crossings.at(check.crossing);
            const double x0 = x.station - s.nearStation;
            ClearanceTemperature item;
            item.kind = ViolationKind::crossing;
            item.span = i;
            item.crossing = check.crossing;
            item.required = check.required;
            item.temperature = highestHolding(
                [&](double t) {
                    const SpanCurve c = curveAt(i, t);
                    const double clearance =
                        x.offset ? detail::stillAirDistance(s, c, x0, *x.offset, x.elevation)
                                 : s.nearAttachment + c.heightAt(x0) - x.elevation;
                    return Margin{clearance - item.required, x.station};
                },
                from, to, item.station);
            r.items.push_back(item);
        }
    }
    for (std::size_t k = 0; k < r.items.size(); ++k) {
        if (r.items[k].temperature < r.temperature) {
            r.temperature = r.items[k].temperature;
            r.limiting = k;
        }
    }
    return r;
}

}  // namespace varnel::design
