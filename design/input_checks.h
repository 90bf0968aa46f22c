// What the design layer accepts, checked in one place for every caller (the command, the Python
// package): records a calculation can use, factors in their ranges, and the annual-average
// condition of an area, found whatever the area calls it. The loaders keep loading any row the
// table holds; a record that cannot be designed with is refused here, by field and value.
#pragma once

#include <cstddef>
#include <string>

#include "calc/control_search.h"
#include "calc/records/records.h"
#include "design/critical_spans.h"
#include "design/design_api.h"

namespace varnel::design {

// Each throws std::invalid_argument naming the first field out of its range and its value.
// A conductor: area (mm²), diameter (mm), unit mass (kg/km), elastic modulus (N/mm²), expansion
// coefficient (1/°C) and rated strength (N), each a finite number above 0.
VARNEL_DESIGN_API void checkConductor(const LineAttrib& conductor);
// At least one condition; in each, ice thickness (mm) and wind speed (m/s) finite and at least
// 0, temperature (°C) finite.
VARNEL_DESIGN_API void checkConditions(const WeatherConditionSeq& conditions);
// cos β, the annual-average ratio and the strength factor above 0 and at most 1; the safety
// factor finite and above 0.
VARNEL_DESIGN_API void checkFactors(const SearchFactors& factors);
// All three, then the annual-average condition the search will use: `given` when there is one
// (an index within the conditions), else findAnnualAverage(conditions).
VARNEL_DESIGN_API AnnualAverage checkDesignInputs(const LineAttrib& conductor,
                                                  const WeatherConditionSeq& conditions,
                                                  const SearchFactors& factors,
                                                  GivenAverage given = std::nullopt);

// A span length, m: finite and at least 0. `what` names it in the message.
VARNEL_DESIGN_API void checkSpan(double span, const char* what = "span");

// A figure as the messages give it: as printf's %g writes it, with the digits that give it back
// ("0", "-2.5e+10", "nan", "inf").
VARNEL_DESIGN_API std::string shownValue(double value);

// A result that must be finite: throws std::invalid_argument "WHAT = VALUE is not finite: WHY".
VARNEL_DESIGN_API void requireFinite(double value, const std::string& what, const char* why);

// The annual-average condition of an area: the one named "年平" (GBK) or "Avg. ann", the
// names the weather-area loaders give it in Chinese and in English; failing a name, the third
// condition of a nine- or six-condition area, where both loaders put it. Throws
// std::invalid_argument when several conditions carry those names, or when none does in an
// area of another size: the search would otherwise hold the annual average to the normal limit
// and string the conductor above what it allows.
VARNEL_DESIGN_API AnnualAverage findAnnualAverage(const WeatherConditionSeq& conditions);

}  // namespace varnel::design
