#include "design/strain_section.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>
#include <stdexcept>
#include <string>

#include "calc/conductor_load.h"
#include "calc/control_search.h"
#include "calc/state_equation.h"
#include "design/input_checks.h"

namespace varnel::design {

double cosineOf(const SpanGeometry& span) {
    return span.length / std::hypot(span.length, span.heightDifference);
}

RulingSpan rulingSpan(const std::vector<SpanGeometry>& spans) {
    if (spans.empty()) throw std::invalid_argument("a section has at least one span");
    // Σ lᵢ³·cᵢ, Σ lᵢ/cᵢ and Σ lᵢ/cᵢ²
    double cubes = 0, chords = 0, weighted = 0;
    for (const SpanGeometry& s : spans) {
        if (!(s.length > 0) || !std::isfinite(s.length) || !std::isfinite(s.heightDifference)) {
            throw std::invalid_argument(
                "a span needs a positive length and a finite height "
                "difference");
        }
        const double c = cosineOf(s);
        cubes += s.length * s.length * s.length * c;
        chords += s.length / c;
        weighted += s.length / (c * c);
    }
    const double k = chords / weighted;
    const RulingSpan ruling{std::sqrt(cubes / weighted / (k * k * k)), k};
    // Finite spans can still overflow the sums (lengths beyond 1e100 m) or make the cosine
    // vanish (a height difference beyond 1e300 times the length).
    requireFinite(ruling.span, "the section's ruling span",
                  "its spans are too long or too steep for a section");
    if (!(ruling.cosAngle > 0 && ruling.cosAngle <= 1)) {
        throw std::invalid_argument(
            "the cosine of the section's ruling span = " + shownValue(ruling.cosAngle) +
            " is not above 0: its spans are too steep for a section");
    }
    return ruling;
}

bool withinLimit(double stress, double limit) noexcept {
    return stress <= limit || stress - limit <= kLimitTolerance * limit;
}

namespace {}  // namespace

std::size_t largestSagCondition(const std::vector<double>& sag, const std::vector<bool>& windless) {
    const auto candidate = [&](std::size_t k) { return k < windless.size() && windless[k]; };
    bool any = false;
    for (std::size_t k = 0; k < sag.size(); ++k) any = any || candidate(k);
    std::size_t largest = sag.size();
    for (std::size_t k = 0; k < sag.size(); ++k) {
        if (any && !candidate(k)) continue;
        if (largest == sag.size() || sag[k] > sag[largest]) largest = k;
    }
    return largest == sag.size() ? 0 : largest;
}

namespace {

// The parabola's sag of span `s` and the stress at its higher support, in a condition of load γ
// at stress σ.
void addSag(SpanSags& sags, const SpanGeometry& s, double sigma, double gamma) {
    const double c = cosineOf(s);
    const double l = s.length;
    sags.sag.push_back(gamma * l * l / (8 * sigma * c));
    const double vertical = sigma * std::fabs(s.heightDifference) / l + gamma * l / (2 * c);
    sags.higherSupportStress.push_back(std::hypot(sigma, vertical));
}

double verticalLoadOf(const WeatherCondition& c, const LineAttrib& conductor) {
    WeatherCondition still = c;
    still.windSpeed = 0;
    return specificLoad(still, conductor);
}

}  // namespace

SectionDesign designSection(const LineAttrib& conductor, const WeatherConditionSeq& conditions,
                            const SearchFactors& factors, const std::vector<SpanGeometry>& spans,
                            GivenAverage annualAverage) {
    SectionDesign d;
    d.ruling = rulingSpan(spans);
    SearchFactors atRuling = factors;
    atRuling.cosAngle = d.ruling.cosAngle;
    const AnnualAverage average = checkDesignInputs(conductor, conditions, atRuling, annualAverage);
    const std::size_t n = conditions.size();
    const StressLimits limits = stressLimits(factors.avgStressRatio, conductor,
                                             factors.strengthFactor, factors.safetyFactor);
    d.normalLimit = limits.normal;
    for (std::size_t k = 0; k < n; ++k) {
        const WeatherCondition& c = conditions[k];
        d.load.push_back(specificLoad(c, conductor));
        d.verticalLoad.push_back(verticalLoadOf(c, conductor));
        d.limit.push_back(average.is(conditions, k) ? limits.average : limits.normal);
        d.windless.push_back(c.windSpeed == 0);
    }

    d.controlling = controllingAt(d.ruling.span, conductor, conditions, atRuling, average);
    if (d.controlling < 0) return d;
    const auto control = static_cast<std::size_t>(d.controlling);
    d.controlStress = d.limit[control];
    for (std::size_t k = 0; k < n; ++k) {
        d.stress.push_back(k == control ? d.controlStress
                                        : stateEquationStress(d.ruling.span, d.ruling.cosAngle,
                                                              conductor, conditions[control],
                                                              conditions[k], d.controlStress));
    }
    for (const SpanGeometry& s : spans) {
        SpanSags sags;
        for (std::size_t k = 0; k < n; ++k) addSag(sags, s, d.stress[k], d.load[k]);
        sags.largest = largestSagCondition(sags.sag, d.windless);
        d.spans.push_back(std::move(sags));
    }
    for (std::size_t k = 0; k < n; ++k) {
        requireFinite(d.stress[k], "the stress in condition " + std::to_string(k + 1),
                      "the section is beyond what the state equation can solve");
    }
    for (std::size_t i = 0; i < d.spans.size(); ++i) {
        for (std::size_t k = 0; k < n; ++k) {
            requireFinite(d.spans[i].sag[k],
                          "the sag of span " + std::to_string(i + 1) + " in condition " +
                              std::to_string(k + 1),
                          "the section is beyond what a sag can be worked out for");
        }
    }
    return d;
}

void addExtraCondition(SectionDesign& d, const LineAttrib& conductor,
                       const WeatherConditionSeq& conditions,
                       const std::vector<SpanGeometry>& spans, const WeatherCondition& extra) {
    if (d.controlling < 0) throw std::invalid_argument("no condition controls the ruling span");
    if (d.spans.size() != spans.size()) {
        throw std::invalid_argument("the design's spans are not those given");
    }
    const WeatherCondition& control = conditions[static_cast<std::size_t>(d.controlling)];
    const double gamma = specificLoad(extra, conductor);
    const double sigma = stateEquationStress(d.ruling.span, d.ruling.cosAngle, conductor, control,
                                             extra, d.controlStress);
    if (!std::isfinite(sigma)) {
        throw std::domain_error("the stress at " + shownValue(extra.temperature) +
                                " \u00B0C is beyond what the state equation can solve");
    }
    d.load.push_back(gamma);
    d.verticalLoad.push_back(verticalLoadOf(extra, conductor));
    d.stress.push_back(sigma);
    d.limit.push_back(d.normalLimit);
    d.windless.push_back(extra.windSpeed == 0);
    for (std::size_t i = 0; i < spans.size(); ++i) {
        SpanSags& sags = d.spans[i];
        addSag(sags, spans[i], sigma, gamma);
        sags.largest = largestSagCondition(sags.sag, d.windless);
    }
}

namespace {

// The area's ice condition: the thickest ice, the first of equals; n where none has ice.
std::size_t iceCondition(const WeatherConditionSeq& conditions) {
    const std::size_t n = conditions.size();
    std::size_t iciest = n;
    for (std::size_t k = 0; k < n; ++k) {
        if (conditions[k].iceThickness > 0 &&
            (iciest == n || conditions[k].iceThickness > conditions[iciest].iceThickness)) {
            iciest = k;
        }
    }
    return iciest;
}

bool asciiName(const WeatherCondition& c) {
    for (char ch : c.name) {
        if (ch == '\0') break;
        if (static_cast<unsigned char>(ch) >= 0x80) return false;
    }
    return true;
}

}  // namespace

std::optional<WeatherCondition> iceWithoutWind(const WeatherConditionSeq& conditions) {
    const std::size_t iciest = iceCondition(conditions);
    if (iciest == conditions.size() || !(conditions[iciest].windSpeed > 0)) return std::nullopt;
    WeatherCondition still = conditions[iciest];
    still.windSpeed = 0;
    // The record's own name, GBK like the area's.
    const char* name = asciiName(conditions[iciest])
                           ? "Ice, no wind"
                           : "\xB8\xB2\xB1\xF9\xCE\xDE\xB7\xE7";  // 覆冰无风
    std::fill(std::begin(still.name), std::end(still.name), '\0');
    std::copy(name, name + std::strlen(name), still.name);
    return still;
}

const char* iceWithoutWindName(const WeatherConditionSeq& conditions) {
    const std::size_t iciest = iceCondition(conditions);
    const bool ascii = iciest < conditions.size() && asciiName(conditions[iciest]);
    return ascii ? "Ice, no wind" : "\u8986\u51B0\u65E0\u98CE";  // 覆冰无风
}

std::vector<StringingRow> stringingTable(const LineAttrib& conductor,
                                         const WeatherConditionSeq& conditions,
                                         const SectionDesign& design,
                                         const std::vector<SpanGeometry>& spans,
                                         const TemperatureRange& t, double compensation) {
    if (design.controlling < 0) {
        throw std::invalid_argument("no condition controls the ruling span");
    }
    if (!std::isfinite(t.from) || !std::isfinite(t.to) || !std::isfinite(t.step) ||
        !std::isfinite(compensation) || !(t.step > 0) || t.to < t.from) {
        throw std::invalid_argument("temperatures run FROM:TO:STEP, rising, with finite numbers");
    }
    const double count = std::floor((t.to - t.from) / t.step + 1e-9) + 1;
    if (count > 1000) throw std::invalid_argument("more than 1,000 temperatures");
    const WeatherCondition& control = conditions[static_cast<std::size_t>(design.controlling)];

    std::vector<StringingRow> rows;
    for (std::size_t i = 0; i < static_cast<std::size_t>(count); ++i) {
        StringingRow row;
        row.temperature = t.from + t.step * static_cast<double>(i);
        WeatherCondition still{};  // no ice, no wind
        still.temperature = row.temperature - compensation;
        const double gamma = specificLoad(still, conductor);
        row.stress = stateEquationStress(design.ruling.span, design.ruling.cosAngle, conductor,
                                         control, still, design.controlStress);
        requireFinite(row.stress,
                      "the stringing stress at " + shownValue(row.temperature) + " \u00B0C",
                      "beyond what the state equation can solve");
        for (const SpanGeometry& s : spans) {
            row.sag.push_back(gamma * s.length * s.length / (8 * row.stress * cosineOf(s)));
            requireFinite(row.sag.back(),
                          "a stringing sag at " + shownValue(row.temperature) + " \u00B0C",
                          "beyond what a sag can be worked out for");
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

}  // namespace varnel::design
