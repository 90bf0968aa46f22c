// Weather area libraries: one area per table row, with its design conditions in fixed order.
#pragma once

#include "calc/records/library_records.h"

namespace varnel {

// 15-field table; nine conditions per area: low temperature, high wind, annual average, ice,
// high temperature, check, installation, external and internal overvoltage.
int loadWeatherAreas(WeatherAreaLib& library, const char* path, bool englishNames);

// 10-field table; six conditions per area: low temperature, high wind, annual average, ice,
// check, installation.
int loadLoadCaseWeatherAreas(WeatherAreaLib& library, const char* path, bool englishNames);

}  // namespace varnel
