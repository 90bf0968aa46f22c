#include "design/critical_spans.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>

#include "calc/conductor_load.h"
#include "calc/control_search.h"
#include "design/input_checks.h"

namespace varnel::design {

namespace {

// Hk(l) = a − b·l²: a = σk + α·E·c·tk, b = E·c³·γk² / (24·σk²).
struct Line {
    double a;
    double b;
};

Line lineOf(const LimitState& k, double e, double alpha, double c) {
    const double sigma = k.allowableStress;
    return {sigma + alpha * e * c * k.temperature,
            e * c * c * c * k.load * k.load / (24 * sigma * sigma)};
}

std::vector<Line> linesOf(const std::vector<LimitState>& states, double e, double alpha, double c) {
    std::vector<Line> lines;
    lines.reserve(states.size());
    for (const LimitState& k : states) lines.push_back(lineOf(k, e, alpha, c));
    return lines;
}

// The span where two lines cross, when they do at a real span.
std::optional<double> crossing(const Line& i, const Line& j) {
    const double x = (i.a - j.a) / (i.b - j.b);
    if (!std::isfinite(x) || x < 0) return std::nullopt;
    return x == 0 ? 0.0 : std::sqrt(x);  // never -0
}

// Line i lies below line j just after l² = x (or is the same line, earlier in the sequence).
bool lowerAfter(const std::vector<Line>& lines, std::size_t i, std::size_t j, double x) {
    const double hi = lines[i].a - lines[i].b * x;
    const double hj = lines[j].a - lines[j].b * x;
    if (hi != hj) return hi < hj;
    if (lines[i].b != lines[j].b) return lines[i].b > lines[j].b;
    return i < j;
}

// The lowest lines from span 0 on, as ranges with the closed-form critical spans as their
// boundaries; nothing when a line is not finite.
std::optional<std::vector<ControlRange>> lowestLines(const std::vector<Line>& lines) {
    if (lines.empty()) return std::nullopt;
    for (const Line& l : lines) {
        if (!std::isfinite(l.a) || !std::isfinite(l.b)) return std::nullopt;
    }
    std::size_t current = 0;
    for (std::size_t k = 1; k < lines.size(); ++k) {
        if (lowerAfter(lines, k, current, 0)) current = k;
    }
    std::vector<ControlRange> ranges{{static_cast<int>(current), 0.0, std::nullopt}};
    double x = 0;
    // Each step moves to a line of larger b, so there are fewer steps than lines.
    for (std::size_t step = 0; step < lines.size(); ++step) {
        std::optional<std::size_t> next;
        double nextX = 0;
        for (std::size_t k = 0; k < lines.size(); ++k) {
            if (lines[k].b <= lines[current].b) continue;
            const double xk =
                std::max(x, (lines[k].a - lines[current].a) / (lines[k].b - lines[current].b));
            if (!next || xk < nextX || (xk == nextX && lowerAfter(lines, k, *next, xk))) {
                next = k;
                nextX = xk;
            }
        }
        if (!next) break;
        const double span = std::sqrt(nextX);
        ControlRange& last = ranges.back();
        if (span <= last.from) {
            last.condition = static_cast<int>(*next);  // a range of no length
        } else {
            last.to = span;
            ranges.push_back({static_cast<int>(*next), span, std::nullopt});
        }
        current = *next;
        x = nextX;
    }
    return ranges;
}

std::vector<LimitState> checkedLimitStates(const LineAttrib& conductor,
                                           const WeatherConditionSeq& conditions,
                                           const SearchFactors& f, AnnualAverage average);

// The search on inputs already checked, with the annual average already found. Strung to the
// lowest limit line at a span, a conductor keeps every other condition within its limit, so
// some condition always qualifies; only rounding fails them all, where the lines of two
// conditions of nearly equal loads cross (each strung to its limit takes the other an ulp
// above its own). There the lowest line decides (the earlier of equals).
int searchAt(double span, const LineAttrib& conductor, const WeatherConditionSeq& conditions,
             const SearchFactors& f, AnnualAverage average) {
    const int found =
        controllingCondition(span, f.cosAngle, f.avgStressRatio, conductor, conditions,
                             f.strengthFactor, f.safetyFactor, nullptr, average);
    if (found >= 0) return found;
    const std::vector<Line> lines =
        linesOf(checkedLimitStates(conductor, conditions, f, average), conductor.elasticModulus,
                conductor.expansionCoeff, f.cosAngle);
    const double x = span * span;
    int lowest = -1;
    double lowestH = 0;
    for (std::size_t k = 0; k < lines.size(); ++k) {
        const double h = lines[k].a - lines[k].b * x;
        if (!std::isfinite(h)) return -1;
        if (lowest < 0 || h < lowestH) {
            lowest = static_cast<int>(k);
            lowestH = h;
        }
    }
    return lowest;
}

std::vector<LimitState> checkedLimitStates(const LineAttrib& conductor,
                                           const WeatherConditionSeq& conditions,
                                           const SearchFactors& f, AnnualAverage average) {
    const StressLimits limits =
        stressLimits(f.avgStressRatio, conductor, f.strengthFactor, f.safetyFactor);
    std::vector<LimitState> states;
    states.reserve(conditions.size());
    for (std::size_t k = 0; k < conditions.size(); ++k) {
        const WeatherCondition& c = conditions[k];
        WeatherCondition still = c;
        still.windSpeed = 0;
        states.push_back({specificLoad(c, conductor),
                          average.is(conditions, k) ? limits.average : limits.normal, c.temperature,
                          specificLoad(still, conductor)});
        requireFinite(states.back().load, "the specific load of condition " + std::to_string(k + 1),
                      "the conductor or the condition is far beyond any real line");
    }
    return states;
}

class Search {
  public:
    Search(const LineAttrib& conductor, const WeatherConditionSeq& conditions,
           const SearchFactors& factors, AnnualAverage average)
        : conductor_(conductor), conditions_(conditions), factors_(factors), average_(average) {}

    int at(double span) const {
        return searchAt(span, conductor_, conditions_, factors_, average_);
    }

    // A span in (lo, hi] where the answer is no longer at(lo), to within kResolution.
    double change(double lo, double hi) const {
        const int left = at(lo);
        while (hi - lo > kResolution && lo < hi) {
            const double mid = lo + (hi - lo) / 2;
            if (mid <= lo || mid >= hi) break;
            (at(mid) == left ? lo : hi) = mid;
        }
        return hi;
    }

    static constexpr double kResolution = 1e-7;  // m

  private:
    const LineAttrib& conductor_;
    const WeatherConditionSeq& conditions_;
    const SearchFactors& factors_;
    AnnualAverage average_;
};

// A span a little either side of a boundary, far wider than the search's rounding there.
double below(double span) {
    return span - std::max(1e-8, span * 1e-11);
}
double above(double span) {
    return span + std::max(1e-8, span * 1e-11);
}

// The closed-form ranges, when the search agrees with each of them inside and at both ends.
bool searchAgrees(const Search& search, const std::vector<ControlRange>& ranges) {
    for (const ControlRange& r : ranges) {
        const double inside = r.to ? r.from + (*r.to - r.from) / 2 : std::max(2 * r.from, 1e3);
        if (search.at(inside) != r.condition) return false;
        if (r.from > 0 && search.at(above(r.from)) != r.condition) return false;
        if (r.to && search.at(below(*r.to)) != r.condition) return false;
    }
    return true;
}

// The ranges found on the search alone: probed at the critical spans and on a grid well past
// the largest, each change of answer then found by bisection.
std::vector<ControlRange> rangesBySearch(const Search& search,
                                         const std::vector<CriticalPair>& pairs) {
    double largest = 0;
    std::vector<double> probes{0.0};
    for (const CriticalPair& p : pairs) {
        if (!p.span) continue;
        largest = std::max(largest, *p.span);
        probes.push_back(below(*p.span));
        probes.push_back(above(*p.span));
    }
    const double reach = std::max(3000.0, 2 * largest);
    constexpr int kGrid = 600;
    for (int i = 1; i <= kGrid; ++i) probes.push_back(reach * i / kGrid);
    std::sort(probes.begin(), probes.end());

    std::vector<ControlRange> ranges{{search.at(0), 0.0, std::nullopt}};
    for (std::size_t i = 1; i < probes.size(); ++i) {
        double lo = probes[i - 1];
        const double hi = probes[i];
        // Every change inside (lo, hi], one bisection each.
        for (int guard = 0; guard < 64 && search.at(hi) != ranges.back().condition; ++guard) {
            const double at = search.change(lo, hi);
            ranges.back().to = at;
            ranges.push_back({search.at(at), at, std::nullopt});
            lo = at;
        }
    }
    return ranges;
}

}  // namespace

StressLimits allowableStresses(const LineAttrib& conductor, const SearchFactors& f) {
    return stressLimits(f.avgStressRatio, conductor, f.strengthFactor, f.safetyFactor);
}

std::vector<LimitState> limitStates(const LineAttrib& conductor,
                                    const WeatherConditionSeq& conditions, const SearchFactors& f,
                                    GivenAverage annualAverage) {
    return checkedLimitStates(conductor, conditions, f,
                              checkDesignInputs(conductor, conditions, f, annualAverage));
}

std::optional<double> criticalSpan(const LimitState& a, const LimitState& b, double elasticModulus,
                                   double expansionCoeff, double cosAngle) {
    return crossing(lineOf(a, elasticModulus, expansionCoeff, cosAngle),
                    lineOf(b, elasticModulus, expansionCoeff, cosAngle));
}

std::vector<ControlRange> lowestLimitRanges(const std::vector<LimitState>& states,
                                            double elasticModulus, double expansionCoeff,
                                            double cosAngle) {
    auto ranges = lowestLines(linesOf(states, elasticModulus, expansionCoeff, cosAngle));
    if (!ranges) return {{-1, 0.0, std::nullopt}};
    return *ranges;
}

int controllingAt(double span, const LineAttrib& conductor, const WeatherConditionSeq& conditions,
                  const SearchFactors& f, GivenAverage annualAverage) {
    const AnnualAverage average = checkDesignInputs(conductor, conditions, f, annualAverage);
    checkSpan(span);
    return searchAt(span, conductor, conditions, f, average);
}

CriticalSpans criticalSpans(const LineAttrib& conductor, const WeatherConditionSeq& conditions,
                            const SearchFactors& factors, GivenAverage annualAverage) {
    CriticalSpans result;
    const AnnualAverage average = checkDesignInputs(conductor, conditions, factors, annualAverage);
    const std::vector<Line> lines =
        linesOf(checkedLimitStates(conductor, conditions, factors, average),
                conductor.elasticModulus, conductor.expansionCoeff, factors.cosAngle);
    const std::size_t n = lines.size();
    const Search search(conductor, conditions, factors, average);
    // The candidates of the design manuals, whatever the area calls them: the annual average,
    // the coldest condition, the one with the thickest ice and the one with the strongest wind
    // (the first of equals); and any other condition the search finds controlling.
    std::vector<bool> candidate(n, false);
    std::size_t coldest = 0, iciest = 0, windiest = 0;
    for (std::size_t k = 0; k < n; ++k) {
        const WeatherCondition& c = conditions[k];
        if (average.is(conditions, k)) candidate[k] = true;
        if (c.temperature < conditions[coldest].temperature) coldest = k;
        if (c.iceThickness > conditions[iciest].iceThickness) iciest = k;
        if (c.windSpeed > conditions[windiest].windSpeed) windiest = k;
    }
    candidate[coldest] = true;
    candidate[iciest] = candidate[iciest] || conditions[iciest].iceThickness > 0;
    candidate[windiest] = candidate[windiest] || conditions[windiest].windSpeed > 0;
    std::optional<std::vector<ControlRange>> closed = lowestLines(lines);
    if (closed && searchAgrees(search, *closed)) {
        result.ranges = std::move(*closed);
    } else {
        // The search alone decides; its probes are every pair's critical span.
        std::vector<CriticalPair> all;
        for (std::size_t a = 0; a < n; ++a) {
            for (std::size_t b = a + 1; b < n; ++b)
                all.push_back({a, b, crossing(lines[a], lines[b])});
        }
        result.ranges = rangesBySearch(search, all);
    }
    for (const ControlRange& r : result.ranges) {
        if (r.condition >= 0) candidate[static_cast<std::size_t>(r.condition)] = true;
    }
    for (std::size_t k = 0; k < n; ++k) {
        if (candidate[k]) result.candidates.push_back(k);
    }
    for (std::size_t i = 0; i < result.candidates.size(); ++i) {
        for (std::size_t j = i + 1; j < result.candidates.size(); ++j) {
            const std::size_t a = result.candidates[i];
            const std::size_t b = result.candidates[j];
            result.pairs.push_back({a, b, crossing(lines[a], lines[b])});
        }
    }
    return result;
}

}  // namespace varnel::design
