#include "design/catenary_section.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <optional>

#include "calc/catenary_state.h"
#include "calc/conductor_load.h"
#include "calc/span_curve.h"
#include "design/input_checks.h"

namespace varnel::design {

namespace {

std::vector<SectionSpan> sectionSpans(const std::vector<SpanGeometry>& spans) {
    std::vector<SectionSpan> out;
    out.reserve(spans.size());
    for (const SpanGeometry& g : spans) out.push_back({g.length, g.heightDifference});
    return out;
}

// What every solve of one section shares: the conductor's strain, the spans, and the state the
// section was strung in, whose unstressed length is worked at the first solve and kept.
struct Restringing {
    ConductorStrain strain;
    std::vector<SectionSpan> geometry;
    LoadState control;
    double controlStress;
    mutable std::optional<CatenaryChangeOfState> change;

    Restringing(const LineAttrib& conductor, const std::vector<SpanGeometry>& spans,
                const LoadState& controlState, double stress)
        : strain{conductor.elasticModulus, conductor.expansionCoeff},
          geometry(sectionSpans(spans)),
          control(controlState),
          controlStress(stress) {}

    double solve(const LoadState& state, std::size_t condition, const std::string& what) const {
        try {
            if (!change) change.emplace(geometry, strain, control, controlStress);
            return change->stressIn(state);
        } catch (const std::exception& e) {
            throw CatenaryStateError(condition, what, e.what());
        }
    }
};

void requireControl(const SectionDesign& d) {
    if (d.controlling < 0) throw std::invalid_argument("no condition controls the ruling span");
}

// Condition k's state in a design: its vertical load where the design gives one.
LoadState stateOf(const SectionDesign& d, std::size_t k, double temperature) {
    return {d.load[k], temperature, k < d.verticalLoad.size() ? d.verticalLoad[k] : d.load[k]};
}

Restringing restringingOf(const LineAttrib& conductor, const WeatherConditionSeq& conditions,
                          const SectionDesign& d, const std::vector<SpanGeometry>& spans) {
    requireControl(d);
    const auto control = static_cast<std::size_t>(d.controlling);
    if (control >= conditions.size() || control >= d.load.size()) {
        throw std::invalid_argument("the controlling condition is not one of the area's");
    }
    return {conductor, spans, stateOf(d, control, conditions[control].temperature),
            d.controlStress};
}

// The largest relative excess over its limit of the states strung from `k`, with their stresses;
// NaN where a change of state has no answer.
double worstExcess(const CatenaryChangeOfState& change, std::size_t k,
                   const std::vector<LimitState>& states, std::vector<double>& stress) {
    double worst = 0;
    for (std::size_t j = 0; j < states.size(); ++j) {
        const LimitState& s = states[j];
        try {
            stress[j] = j == k ? s.allowableStress
                               : change.stressIn({s.load, s.temperature, s.verticalLoad});
        } catch (const std::exception&) {
            return std::nan("");
        }
        if (!std::isfinite(stress[j])) return std::nan("");
        worst = std::max(worst, (stress[j] - s.allowableStress) / s.allowableStress);
    }
    return worst;
}

}  // namespace

CatenaryControl catenaryControl(const std::vector<SpanGeometry>& spans,
                                const std::vector<LimitState>& states, double elasticModulus,
                                double expansionCoeff) {
    const std::vector<SectionSpan> geometry = sectionSpans(spans);
    const ConductorStrain strain{elasticModulus, expansionCoeff};
    CatenaryControl best;
    double bestExcess = HUGE_VAL;
    std::vector<double> stress(states.size());
    for (std::size_t k = 0; k < states.size(); ++k) {
        const LimitState& s = states[k];
        double excess = std::nan("");
        try {
            const CatenaryChangeOfState change(
                geometry, strain, {s.load, s.temperature, s.verticalLoad}, s.allowableStress);
            excess = worstExcess(change, k, states, stress);
        } catch (const std::exception&) {
            continue;  // no unstressed length in this state: it strings nothing
        }
        if (!(excess <= kLimitTolerance)) {
            // Kept as the least bad in case rounding fails them all.
            if (excess < bestExcess) {
                bestExcess = excess;
                best = {static_cast<int>(k), stress};
            }
            continue;
        }
        return {static_cast<int>(k), stress};
    }
    return best;
}

std::vector<LimitState> designLimitStates(const SectionDesign& d,
                                          const WeatherConditionSeq& conditions) {
    const std::size_t n = conditions.size();
    if (d.load.size() < n || d.limit.size() < n) {
        throw std::invalid_argument("the design's conditions are not those given");
    }
    std::vector<LimitState> states;
    states.reserve(n);
    for (std::size_t k = 0; k < n; ++k) {
        states.push_back({d.load[k], d.limit[k], conditions[k].temperature,
                          k < d.verticalLoad.size() ? d.verticalLoad[k] : d.load[k]});
    }
    return states;
}

SectionDesign catenarySection(const LineAttrib& conductor, const WeatherConditionSeq& conditions,
                              const SectionDesign& parabolic,
                              const std::vector<SpanGeometry>& spans,
                              const std::vector<WeatherCondition>& extra) {
    requireControl(parabolic);
    const std::size_t area = conditions.size();
    const std::size_t n = area + extra.size();
    if (parabolic.load.size() != n || parabolic.stress.size() != n || parabolic.limit.size() != n ||
        parabolic.spans.size() != spans.size()) {
        throw std::invalid_argument("the design's conditions or spans are not those given");
    }
    const auto temperature = [&](std::size_t k) {
        return k < area ? conditions[k].temperature : extra[k - area].temperature;
    };
    SectionDesign d = parabolic;
    const CatenaryControl control =
        catenaryControl(spans, designLimitStates(parabolic, conditions), conductor.elasticModulus,
                        conductor.expansionCoeff);
    if (control.condition < 0) {
        throw CatenaryStateError(area, "every condition at its limit",
                                 "no condition of the area has an answer");
    }
    d.controlling = control.condition;
    d.controlStress = d.limit[static_cast<std::size_t>(control.condition)];
    for (std::size_t k = 0; k < area; ++k) d.stress[k] = control.stress[k];
    const Restringing r = restringingOf(conductor, conditions, d, spans);
    for (std::size_t k = area; k < n; ++k) {
        d.stress[k] =
            r.solve(stateOf(d, k, temperature(k)), k, "condition " + std::to_string(k + 1));
    }
    for (std::size_t i = 0; i < spans.size(); ++i) {
        SpanSags& sp = d.spans[i];
        for (std::size_t k = 0; k < n; ++k) {
            const SwungCurve c(SpanModel::catenary, spans[i].length, spans[i].heightDifference,
                               d.stress[k], d.load[k], stateOf(d, k, 0).verticalLoad);
            sp.sag[k] = c.maxSag();
            sp.higherSupportStress[k] = std::max(c.inPlane().nearStress(), c.inPlane().farStress());
        }
        sp.largest = largestSagCondition(sp.sag, d.windless);
    }
    return d;
}

namespace {

StringingRow stringingRow(const Restringing& r, const LineAttrib& conductor,
                          const std::vector<SpanGeometry>& spans, double temperature,
                          double compensation) {
    WeatherCondition still{};  // no ice, no wind
    still.temperature = temperature - compensation;
    const double gamma = specificLoad(still, conductor);
    StringingRow row{temperature,
                     r.solve({gamma, still.temperature}, CatenaryStateError::kStringing,
                             shownValue(temperature) + " \u00B0C"),
                     {}};
    row.sag.reserve(spans.size());
    for (const SpanGeometry& g : spans) {
        row.sag.push_back(
            SpanCurve(SpanModel::catenary, g.length, g.heightDifference, row.stress, gamma)
                .maxSag());
    }
    return row;
}

}  // namespace

StringingRow catenaryStringingRow(const LineAttrib& conductor,
                                  const WeatherConditionSeq& conditions,
                                  const SectionDesign& design,
                                  const std::vector<SpanGeometry>& spans, double temperature,
                                  double compensation) {
    return stringingRow(restringingOf(conductor, conditions, design, spans), conductor, spans,
                        temperature, compensation);
}

std::vector<StringingRow> catenaryStringingTable(const LineAttrib& conductor,
                                                 const WeatherConditionSeq& conditions,
                                                 const SectionDesign& design,
                                                 const std::vector<SpanGeometry>& spans,
                                                 const TemperatureRange& t, double compensation) {
    requireControl(design);
    if (!std::isfinite(t.from) || !std::isfinite(t.to) || !std::isfinite(t.step) ||
        !std::isfinite(compensation) || !(t.step > 0) || t.to < t.from) {
        throw std::invalid_argument("temperatures run FROM:TO:STEP, rising, with finite numbers");
    }
    // The same temperatures as the parabola's table, so the two can be set side by side.
    const double count = std::floor((t.to - t.from) / t.step + 1e-9) + 1;
    if (count > 1000) throw std::invalid_argument("more than 1,000 temperatures");
    const Restringing r = restringingOf(conductor, conditions, design, spans);
    std::vector<StringingRow> rows;
    for (std::size_t i = 0; i < static_cast<std::size_t>(count); ++i) {
        rows.push_back(stringingRow(r, conductor, spans, t.from + t.step * static_cast<double>(i),
                                    compensation));
    }
    return rows;
}

namespace {

// b's stress strung from a at its limit over a span of length l, less b's limit: its sign says
// which of the two is the stricter at l. NaN where the change of state has no answer.
struct PairGap {
    const LimitState& a;
    const LimitState& b;
    ConductorStrain strain;
    CatenarySpanShape shape;

    double heightAt(double l) const {
        if (shape.heightDifference) return *shape.heightDifference;
        const double c = shape.cosAngle;
        return l * std::sqrt((1 - c) * (1 + c)) / c;
    }
    double operator()(double l) const {
        try {
            const double s = catenaryStateStress(
                {l, heightAt(l)}, strain, {a.load, a.temperature, a.verticalLoad},
                a.allowableStress, {b.load, b.temperature, b.verticalLoad});
            return s - b.allowableStress;
        } catch (const std::exception&) {
            return std::nan("");
        }
    }
};

bool opposite(double u, double v) {
    return (u < 0 && v > 0) || (u > 0 && v < 0);
}

// The root in [lo, hi], gap(lo) and gap(hi) of opposite signs: regula falsi with the Illinois
// halving of a stale end, and a bisection whenever a step leaves more than half the bracket.
double rootBetween(const PairGap& gap, double lo, double hi, double glo, double ghi) {
    int stale = 0;  // +1: hi moved last, -1: lo moved last
    const auto take = [&](double x, double gx) {
        if (opposite(gx, glo)) {
            hi = x;
            ghi = gx;
            if (stale == 1) glo /= 2;
            stale = 1;
        } else {
            lo = x;
            glo = gx;
            if (stale == -1) ghi /= 2;
            stale = -1;
        }
    };
    for (int step = 0; step < 300 && hi - lo > 1e-12 * hi; ++step) {
        const double width = hi - lo;
        double x = (lo * ghi - hi * glo) / (ghi - glo);
        if (!(x > lo && x < hi)) x = lo + width / 2;
        const double gx = gap(x);
        if (gx == 0) return x;
        if (!std::isfinite(gx)) return std::nan("");
        take(x, gx);
        if (hi - lo > width / 2) {
            const double mid = lo + (hi - lo) / 2;
            const double gm = gap(mid);
            if (gm == 0) return mid;
            if (!std::isfinite(gm)) return std::nan("");
            take(mid, gm);
        }
    }
    return lo + (hi - lo) / 2;
}

}  // namespace

std::optional<double> catenaryCriticalSpan(const LimitState& a, const LimitState& b,
                                           double elasticModulus, double expansionCoeff,
                                           const CatenarySpanShape& shape) {
    const PairGap gap{a, b, {elasticModulus, expansionCoeff}, shape};
    const std::optional<double> parabolic = criticalSpan(
        a, b, elasticModulus, expansionCoeff, shape.heightDifference ? 1.0 : shape.cosAngle);
    double lo = kShortestCriticalSpan, hi = kLongestCriticalSpan;
    double glo = std::nan(""), ghi = std::nan("");
    bool found = false;
    if (parabolic && *parabolic > kShortestCriticalSpan && *parabolic < kLongestCriticalSpan) {
        // Out from the parabola's answer, a factor 1.05 then doubling, both ways at once.
        lo = *parabolic / 1.05;
        hi = std::min(*parabolic * 1.05, kLongestCriticalSpan);
        glo = gap(lo);
        ghi = gap(hi);
        while (std::isfinite(glo) && std::isfinite(ghi) && !(found = opposite(glo, ghi))) {
            if (lo <= kShortestCriticalSpan && hi >= kLongestCriticalSpan) break;
            if (lo > kShortestCriticalSpan) {
                const double next = std::max(lo / 2, kShortestCriticalSpan);
                const double g = gap(next);
                if (opposite(g, glo)) {
                    hi = lo;
                    ghi = glo;
                    lo = next;
                    glo = g;
                    found = true;
                    break;
                }
                lo = next;
                glo = g;
            }
            if (hi < kLongestCriticalSpan) {
                const double next = std::min(hi * 2, kLongestCriticalSpan);
                const double g = gap(next);
                if (opposite(g, ghi)) {
                    lo = hi;
                    glo = ghi;
                    hi = next;
                    ghi = g;
                    found = true;
                    break;
                }
                hi = next;
                ghi = g;
            }
        }
        if (glo == 0) return lo;
        if (ghi == 0) return hi;
    }
    if (!found) {
        // A scan of the spans searched, 16 steps to each doubling, for the first change of sign.
        const double ratio = std::exp2(1.0 / 16);
        double x = kShortestCriticalSpan;
        double gx = gap(x);
        while (x < kLongestCriticalSpan) {
            const double next = std::min(x * ratio, kLongestCriticalSpan);
            const double g = gap(next);
            if (gx == 0) return x;
            if (opposite(gx, g)) {
                lo = x;
                glo = gx;
                hi = next;
                ghi = g;
                found = true;
                break;
            }
            x = next;
            gx = g;
        }
        if (!found) return std::nullopt;
    }
    const double root = rootBetween(gap, lo, hi, glo, ghi);
    if (!std::isfinite(root)) return std::nullopt;
    return root;
}

int catenaryControllingAt(double span, const std::vector<LimitState>& states, double elasticModulus,
                          double expansionCoeff, const CatenarySpanShape& shape) {
    const double height =
        shape.heightDifference
            ? *shape.heightDifference
            : span * std::sqrt((1 - shape.cosAngle) * (1 + shape.cosAngle)) / shape.cosAngle;
    if (!(span > 0) || !std::isfinite(span) || !std::isfinite(height)) return -1;
    return catenaryControl({{span, height}}, states, elasticModulus, expansionCoeff).condition;
}

CriticalSpans catenaryCriticalSpans(const LineAttrib& conductor,
                                    const WeatherConditionSeq& conditions,
                                    const SearchFactors& factors,
                                    std::optional<double> heightDifference,
                                    GivenAverage annualAverage) {
    if (heightDifference && !std::isfinite(*heightDifference)) {
        throw std::invalid_argument("the height difference must be a finite number");
    }
    CriticalSpans parabolic = criticalSpans(conductor, conditions, factors, annualAverage);
    const std::vector<LimitState> states =
        limitStates(conductor, conditions, factors, annualAverage);
    const double e = conductor.elasticModulus;
    const double alpha = conductor.expansionCoeff;
    const CatenarySpanShape shape{factors.cosAngle, heightDifference};
    CriticalSpans result;
    result.candidates = parabolic.candidates;
    for (const CriticalPair& p : parabolic.pairs) {
        result.pairs.push_back(
            {p.a, p.b, catenaryCriticalSpan(states[p.a], states[p.b], e, alpha, shape)});
    }
    // Where the controlling condition changes, some pair's limits cross: every pair's crossing
    // bounds the ranges, and each range's condition is the one controlling within it.
    std::vector<double> bounds;
    for (std::size_t a = 0; a < states.size(); ++a) {
        for (std::size_t b = a + 1; b < states.size(); ++b) {
            if (const auto l = catenaryCriticalSpan(states[a], states[b], e, alpha, shape)) {
                bounds.push_back(*l);
            }
        }
    }
    std::sort(bounds.begin(), bounds.end());
    bounds.erase(std::unique(bounds.begin(), bounds.end()), bounds.end());
    double from = 0;
    for (std::size_t i = 0; i <= bounds.size(); ++i) {
        const bool last = i == bounds.size();
        const std::optional<double> to = last ? std::nullopt : std::optional<double>(bounds[i]);
        const double probe = last ? 2 * from + 1 : from + (bounds[i] - from) / 2;
        const int k = catenaryControllingAt(probe, states, e, alpha, shape);
        if (!result.ranges.empty() && result.ranges.back().condition == k) {
            result.ranges.back().to = to;
        } else {
            result.ranges.push_back({k, from, to});
        }
        if (!last) from = bounds[i];
    }
    return result;
}

}  // namespace varnel::design
