// A C++ program of someone who installed Varnel: a section through the design layer's installed
// headers and library, held against the C interface's state equation and figures worked by hand.
// Exits 1 on a wrong answer.
#include <design/critical_spans.h>
#include <design/strain_section.h>
#include <varnel.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

int failures = 0;

void expect(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "design_host: %s\n", what);
        ++failures;
    }
}

varnel::WeatherCondition still(const char* name, double temperature) {
    varnel::WeatherCondition c{};
    std::strncpy(c.name, name, sizeof c.name - 1);
    c.temperature = temperature;
    return c;
}

}  // namespace

int main() {
    namespace design = varnel::design;
    // JL/G1A-240/30, its rated strength set so that the normal limit (strength x 0.95 / 2.5 per
    // mm²) is 100 N/mm².
    varnel::LineAttrib conductor{};
    std::strcpy(conductor.name, "JL/G1A-240/30");
    conductor.area = 275.96;
    conductor.diameter = 21.6;
    conductor.unitMass = 922.2;
    conductor.elasticModulus = 73000;
    conductor.expansionCoeff = 19.6e-6;
    conductor.ratedStrength = 100 * 2.5 / 0.95 * 275.96;

    // Two conditions without wind or ice: the colder one controls every span. Neither is the
    // annual average one, which the design calls are told (they refuse to guess otherwise).
    varnel::WeatherConditionSeq conditions{};
    conditions.append(still("cold", -10));
    conditions.append(still("hot", 40));
    const design::SearchFactors factors;  // cos 1, 0.25, 0.95, 2.5

    const design::CriticalSpans critical =
        design::criticalSpans(conductor, conditions, factors, varnel::AnnualAverage::none());
    expect(
        critical.ranges.size() == 1 && critical.ranges[0].condition == 0 && !critical.ranges[0].to,
        "the cold condition does not control every span");

    // Level spans of 300 m and 400 m: ruling span sqrt((300³ + 400³) / 700) = sqrt(130000) m.
    const design::RulingSpan ruling = design::rulingSpan({{300, 0}, {400, 0}});
    expect(std::fabs(ruling.span - 360.5551275463989) < 1e-9 && ruling.cosAngle == 1,
           "ruling span");

    // One level span of 300 m strung to 100 N/mm² at -10 °C: the C interface's state equation
    // gives the stress at 40 °C, 66.1823 N/mm².
    const design::SectionDesign section = design::designSection(
        conductor, conditions, factors, {{300, 0}}, varnel::AnnualAverage::none());
    ::LineAttrib c{};
    ::WeatherCondition cold{}, hot{};
    c.area = conductor.area;
    c.diameter = conductor.diameter;
    c.unitMass = conductor.unitMass;
    c.elasticModulus = conductor.elasticModulus;
    c.expansionCoeff = conductor.expansionCoeff;
    cold.temperature = -10;
    hot.temperature = 40;
    double hotStress = 0;
    expect(StateEquationGetForce(300, 1, &c, &cold, &hot, 100, &hotStress) != 0, "C interface");
    expect(section.controlling == 0 && std::fabs(section.controlStress - 100) < 1e-9,
           "the section is not strung to 100 N/mm2 in the cold");
    expect(section.stress.size() == 2 && std::fabs(section.stress[1] - hotStress) < 1e-9 &&
               std::fabs(section.stress[1] - 66.1823) < 5e-5,
           "the stress at 40 degC");
    std::printf(
        "design layer: ruling span %.3f m; 300 m strung to 100 N/mm2 at -10 degC: %.4f "
        "N/mm2 at 40 degC\n",
        ruling.span, section.stress.size() == 2 ? section.stress[1] : 0.0);
    conditions.release();
    return failures == 0 ? 0 : 1;
}
