// Drives the design layer with a physical conductor, weather area, search factors and section
// drawn from the bytes, and checks what holds for every physical input:
// - an area of neither nine nor six conditions without one named as the annual average is
//   refused (then designed with every condition held to the normal limit);
// - every condition's limit state has a positive finite load and allowable stress;
// - the critical-span ranges start at 0 and rise without gap or overlap to one unbounded range,
//   each naming a condition of the area that the search itself picks inside it (or one whose
//   limit line is the same there within rounding);
//   a pair's critical span, where there is one, is finite and >= 0;
// - the section's ruling span lies between its shortest and longest span; a condition controls
//   it; the stress in every condition is finite, positive and within that condition's limit;
//   every sag is finite and positive, every support stress at least the horizontal stress;
// - the stringing table's stress is finite and positive and falls as the temperature rises.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <stdexcept>
#include <vector>

#include "calc/records/records.h"
#include "design/critical_spans.h"
#include "design/strain_section.h"

namespace {

using namespace varnel::design;

// Condition names of the design manuals (GBK); the design layer finds the annual average by its
// name.
constexpr const char* kNames[] = {
    "\xC4\xEA\xC6\xBD",  // 年平
    "\xB5\xCD\xCE\xC2",  // 低温
    "\xB8\xB2\xB1\xF9",  // 覆冰
    "\xB4\xF3\xB7\xE7",  // 大风
    "\xB0\xB2\xD7\xB0",  // 安装
    "\xB8\xDF\xCE\xC2",  // 高温
};

// The case being checked, written out in full when a check fails.
struct Case {
    const varnel::LineAttrib* conductor;
    const varnel::WeatherConditionSeq* conditions;
    const SearchFactors* factors;
    const std::vector<SpanGeometry>* spans;
};
Case current{};

void describe(const Case& k) {
    const varnel::LineAttrib& c = *k.conductor;
    const SearchFactors& f = *k.factors;
    std::fprintf(stderr,
                 "conductor: area %.17g, diameter %.17g, mass %.17g, E %.17g, alpha %.17g, "
                 "strength %.17g\nfactors: cos %.17g, avg %.17g, strength %.17g, safety %.17g\n",
                 c.area, c.diameter, c.unitMass, c.elasticModulus, c.expansionCoeff,
                 c.ratedStrength, f.cosAngle, f.avgStressRatio, f.strengthFactor, f.safetyFactor);
    for (const varnel::WeatherCondition& w : *k.conditions) {
        std::fprintf(stderr, "condition: ice %.17g, wind %.17g, temperature %.17g%s\n",
                     w.iceThickness, w.windSpeed, w.temperature,
                     std::strcmp(w.name, kNames[0]) == 0 ? " (annual average)" : "");
    }
    for (const SpanGeometry& g : *k.spans) {
        std::fprintf(stderr, "span: %.17g m, height %.17g m\n", g.length, g.heightDifference);
    }
}

void check(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "design_fuzz: %s\n", what);
    if (current.conductor != nullptr) describe(current);
    std::abort();
}

bool positiveFinite(double v) {
    return std::isfinite(v) && v > 0;
}

// The bytes as a stream of fractions in [0, 1]; zeros once they run out, so every input is a
// complete case.
class Draw {
  public:
    Draw(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    double fraction() {
        unsigned v = 0;
        for (int k = 0; k < 2; ++k) v = v << 8 | (at_ < size_ ? data_[at_++] : 0u);
        return v / 65535.0;
    }
    double in(double lo, double hi) { return lo + (hi - lo) * fraction(); }
    std::size_t count(std::size_t lo, std::size_t hi) {
        const std::size_t v = at_ < size_ ? data_[at_++] : 0u;
        return lo + v % (hi - lo + 1);
    }

  private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

varnel::LineAttrib drawConductor(Draw& d) {
    varnel::LineAttrib c{};
    std::strcpy(c.name, "FUZZ");
    c.area = d.in(10, 1500);  // mm²
    // The diameter of a stranded conductor is a little above that of a solid one of its area.
    c.diameter = std::sqrt(4 * c.area / 3.141592653589793) * d.in(1.0, 1.6);  // mm
    c.unitMass = c.area * d.in(2.7, 8.0);                                     // kg/km
    c.elasticModulus = d.in(40'000, 200'000);                                 // N/mm²
    c.expansionCoeff = d.in(10e-6, 25e-6);                                    // 1/°C
    c.ratedStrength = c.area * d.in(80, 1300);                                // N
    return c;
}

// An area has at most one annual average condition, still air without ice at a mild
// temperature; the other conditions take any temperature, with wind or ice or both or neither.
varnel::WeatherCondition drawCondition(Draw& d, bool& annualAverageDrawn) {
    varnel::WeatherCondition w{};
    std::size_t name = d.count(0, std::size(kNames) - 1);
    if (name == 0 && annualAverageDrawn) name = 1;
    std::strcpy(w.name, kNames[name]);
    if (name == 0) {
        annualAverageDrawn = true;
        w.temperature = d.in(-10, 25);  // °C
        return w;
    }
    w.temperature = d.in(-40, 40);  // °C
    const std::size_t kind = d.count(0, 3);
    w.windSpeed = kind & 1 ? d.in(0, 40) : 0;     // m/s
    w.iceThickness = kind & 2 ? d.in(0, 30) : 0;  // mm
    return w;
}

void checkLimitStates(const std::vector<LimitState>& states, std::size_t n) {
    check(states.size() == n, "not one limit state per condition");
    for (const LimitState& s : states) {
        check(positiveFinite(s.load), "a limit state's load not positive and finite");
        check(positiveFinite(s.allowableStress), "an allowable stress not positive and finite");
    }
}

// Two conditions' limit lines H(l) = σ + α·E·c·t − E·c³·γ²·l² / (24·σ²) meet at span l within
// the rounding of the terms that make them.
bool sameLine(const LimitState& i, const LimitState& j, const varnel::LineAttrib& conductor,
              double c, double l) {
    const double e = conductor.elasticModulus;
    const double alpha = conductor.expansionCoeff;
    const auto terms = [&](const LimitState& k) {
        return std::array<double, 3>{
            k.allowableStress, alpha * e * c * k.temperature,
            e * c * c * c * k.load * k.load / (24 * k.allowableStress * k.allowableStress) * l * l};
    };
    const std::array<double, 3> ti = terms(i), tj = terms(j);
    const double hi = ti[0] + ti[1] - ti[2];
    const double hj = tj[0] + tj[1] - tj[2];
    double scale = 0;
    for (std::size_t k = 0; k < 3; ++k) scale += std::fabs(ti[k]) + std::fabs(tj[k]);
    return std::fabs(hi - hj) <= 1e-9 * scale;
}

void checkCriticalSpans(const CriticalSpans& r, const std::vector<LimitState>& states,
                        const varnel::LineAttrib& conductor,
                        const varnel::WeatherConditionSeq& conditions, const SearchFactors& f,
                        GivenAverage average) {
    const std::size_t n = conditions.size();
    for (std::size_t k : r.candidates) check(k < n, "a candidate outside the area");
    for (const CriticalPair& p : r.pairs) {
        check(p.a < n && p.b < n && p.a != p.b, "a pair outside the area");
        if (p.span) check(std::isfinite(*p.span) && *p.span >= 0, "a critical span not >= 0");
    }
    check(!r.ranges.empty(), "no ranges");
    check(r.ranges.front().from == 0, "the ranges do not start at 0");
    for (std::size_t i = 0; i < r.ranges.size(); ++i) {
        const ControlRange& range = r.ranges[i];
        check(range.condition >= 0 && static_cast<std::size_t>(range.condition) < n,
              "a range without a condition of the area");
        check(std::isfinite(range.from) && range.from >= 0, "a range from below 0");
        const bool last = i + 1 == r.ranges.size();
        check(range.to.has_value() != last, "only the last range is unbounded");
        if (!last) {
            check(std::isfinite(*range.to) && *range.to > range.from, "a range not rising");
            check(r.ranges[i + 1].from == *range.to, "a gap or overlap between ranges");
        }
        // Inside a range (away from boundaries found to 1e-7 m) the search picks its condition,
        // or one whose limit line is the same within rounding: near a crossing of lines of
        // nearly equal loads (at 1 mm or at 20,000 km) the search's answer flips back and forth.
        if (!last && *range.to - range.from < 1e-3) continue;
        const double inside = last ? range.from + 1000 : (range.from + *range.to) / 2;
        const int picked = controllingAt(inside, conductor, conditions, f, average);
        check(picked == range.condition ||
                  (picked >= 0 && sameLine(states[static_cast<std::size_t>(picked)],
                                           states[static_cast<std::size_t>(range.condition)],
                                           conductor, f.cosAngle, inside)),
              "the search picks another condition inside a range");
    }
}

void checkSection(const SectionDesign& s, const std::vector<SpanGeometry>& spans,
                  const std::vector<LimitState>& states, bool level) {
    const std::size_t n = states.size();
    double shortest = spans.front().length, longest = shortest;
    for (const SpanGeometry& g : spans) {
        shortest = std::min(shortest, g.length);
        longest = std::max(longest, g.length);
    }
    // √(Σ l³ / Σ l) of a level section is a mean of its spans; inclined spans weigh in by their
    // cosines, which can take the ruling span a little past the longest or below the shortest.
    check(positiveFinite(s.ruling.span), "a ruling span not positive and finite");
    if (level) {
        check(s.ruling.span >= shortest * (1 - 1e-12) && s.ruling.span <= longest * (1 + 1e-12),
              "the ruling span of a level section outside its spans");
    }
    check(s.ruling.cosAngle > 0 && s.ruling.cosAngle <= 1 + 1e-15, "the ruling cosine");
    check(s.controlling >= 0 && static_cast<std::size_t>(s.controlling) < n,
          "no condition controls a physical section");
    check(s.stress.size() == n && s.load.size() == n, "not one stress per condition");
    for (std::size_t k = 0; k < n; ++k) {
        check(positiveFinite(s.stress[k]), "a stress not positive and finite");
        if (s.stress[k] > states[k].allowableStress * (1 + 1e-9)) {
            std::fprintf(stderr, "condition %lu: %.17g above %.17g\n",
                         static_cast<unsigned long>(k), s.stress[k], states[k].allowableStress);
        }
        check(s.stress[k] <= states[k].allowableStress * (1 + 1e-9),
              "a condition above its limit at the ruling span");
    }
    check(s.spans.size() == spans.size(), "not one sag row per span");
    check(s.windless.size() == n, "not one wind flag per condition");
    // The largest sag is taken among the conditions without wind, or among all where none is.
    const bool anyWindless =
        std::find(s.windless.begin(), s.windless.end(), true) != s.windless.end();
    for (const SpanSags& sp : s.spans) {
        check(sp.sag.size() == n && sp.higherSupportStress.size() == n && sp.largest < n,
              "not one sag per condition");
        check(!anyWindless || s.windless[sp.largest], "the largest sag of a condition with wind");
        for (std::size_t k = 0; k < n; ++k) {
            check(positiveFinite(sp.sag[k]), "a sag not positive and finite");
            check(sp.sag[k] <= sp.sag[sp.largest] || (anyWindless && !s.windless[k]),
                  "the largest sag is not the largest");
            check(std::isfinite(sp.higherSupportStress[k]) &&
                      sp.higherSupportStress[k] >= s.stress[k],
                  "a support stress below the horizontal stress");
        }
    }
}

void checkStringing(const std::vector<StringingRow>& rows, std::size_t spanCount) {
    check(!rows.empty(), "an empty stringing table");
    for (std::size_t i = 0; i < rows.size(); ++i) {
        check(positiveFinite(rows[i].stress), "a stringing stress not positive and finite");
        check(rows[i].sag.size() == spanCount, "not one stringing sag per span");
        for (double f : rows[i].sag) check(positiveFinite(f), "a stringing sag");
        if (i > 0) {
            check(rows[i].temperature > rows[i - 1].temperature, "temperatures not rising");
            check(rows[i].stress <= rows[i - 1].stress * (1 + 1e-12),
                  "a stringing stress rising with the temperature");
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Draw d(data, size);
    const varnel::LineAttrib conductor = drawConductor(d);
    SearchFactors f;
    f.cosAngle = d.in(0.5, 1);
    // The annual average's limit (the ratio of the strength) stays at or below the normal one
    // (the strength over the safety factor), as in the design codes.
    f.avgStressRatio = d.in(0.15, 0.25);
    f.strengthFactor = d.in(0.9, 1);
    f.safetyFactor = d.in(2, 4);

    varnel::WeatherConditionSeq conditions{};
    const std::size_t n = d.count(1, 9);
    bool annualAverageDrawn = false;
    for (std::size_t k = 0; k < n; ++k) conditions.append(drawCondition(d, annualAverageDrawn));

    std::vector<SpanGeometry> spans(d.count(1, 12));
    const bool level = d.count(0, 3) == 0;
    for (SpanGeometry& s : spans) {
        s.length = d.in(10, 2000);                                    // m
        s.heightDifference = level ? 0 : s.length * d.in(-0.5, 0.5);  // m
    }
    TemperatureRange t;
    t.from = d.in(-40, 40);
    t.step = d.in(1, 10);
    t.to = t.from + t.step * static_cast<double>(d.count(0, 20));
    const double compensation = d.in(0, 30);

    current = {&conductor, &conditions, &f, &spans};
    // Without a condition named as the annual average, the design layer takes the third of a
    // nine- or six-condition area and refuses any other area; a refused area is then designed
    // with every condition held to the normal limit, which the layer also accepts when told.
    GivenAverage average;
    if (!annualAverageDrawn && n != 9 && n != 6) {
        bool refused = false;
        try {
            limitStates(conductor, conditions, f);
        } catch (const std::invalid_argument&) {
            refused = true;
        }
        check(refused, "an area without an annual average condition accepted");
        average = varnel::AnnualAverage::none();
    }
    const std::vector<LimitState> states = limitStates(conductor, conditions, f, average);
    checkLimitStates(states, n);
    checkCriticalSpans(criticalSpans(conductor, conditions, f, average), states, conductor,
                       conditions, f, average);

    const SectionDesign section = designSection(conductor, conditions, f, spans, average);
    checkSection(section, spans, states, level);
    checkStringing(stringingTable(conductor, conditions, section, spans, t, compensation),
                   spans.size());
    current = {};
    conditions.release();
    return 0;
}
