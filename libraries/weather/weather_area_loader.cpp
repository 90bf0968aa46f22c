#include "libraries/weather/weather_area_loader.h"

#include <cstring>

#include "libraries/field_text.h"
#include "libraries/table_loader.h"

namespace varnel {

namespace {

constexpr int kNone = -1;       // the value is 0
constexpr int kCheckTemp = -2;  // the check condition's fixed 15 °C

// One condition of an area: its names and the table columns of its values.
struct ConditionSource {
    const char* english;
    const char* chinese;  // GBK
    int iceColumn;
    int windColumn;
    int temperatureColumn;
};

// Condition names; the Chinese ones in GBK.
constexpr const char* kLowTemp[] = {"Lowest Temp", "\xB5\xCD\xCE\xC2"};     // 低温
constexpr const char* kHighWind[] = {"Max. wind vel", "\xB4\xF3\xB7\xE7"};  // 大风
constexpr const char* kAverage[] = {"Avg. ann", "\xC4\xEA\xC6\xBD"};        // 年平
constexpr const char* kIce[] = {"Thickest ice", "\xB8\xB2\xB1\xF9"};        // 覆冰
constexpr const char* kHighTemp[] = {"Max. Temp", "\xB8\xDF\xCE\xC2"};      // 高温
constexpr const char* kCheck[] = {"Checkout", "\xD0\xA3\xD1\xE9"};          // 校验
constexpr const char* kSetting[] = {"Setting", "\xB0\xB2\xD7\xB0"};         // 安装
constexpr const char* kExternal[] = {"L.O", "\xCD\xE2\xB9\xFD"};            // 外过
constexpr const char* kInternal[] = {"S.O", "\xC4\xDA\xB9\xFD"};            // 内过

// Weather area table: 0 name; temperatures 1 high, 2 low, 3 ice, 4 high wind, 5 installation,
// 6 external overvoltage, 7 internal overvoltage; wind speeds 8 high wind, 9 ice,
// 10 installation, 11 external, 12 internal overvoltage; 13 ice thickness; 14 annual average.
constexpr ConditionSource kNineConditions[] = {
    {kLowTemp[0], kLowTemp[1], kNone, kNone, 2},   {kHighWind[0], kHighWind[1], kNone, 8, 4},
    {kAverage[0], kAverage[1], kNone, kNone, 14},  {kIce[0], kIce[1], 13, 9, 3},
    {kHighTemp[0], kHighTemp[1], kNone, kNone, 1}, {kCheck[0], kCheck[1], kNone, kNone, kCheckTemp},
    {kSetting[0], kSetting[1], kNone, 10, 5},      {kExternal[0], kExternal[1], kNone, 11, 6},
    {kInternal[0], kInternal[1], kNone, 12, 7},
};

// Load-case table: 0 name; temperatures 1 low, 2 high wind, 3 annual average, 4 ice,
// 5 installation; wind speeds 6 high wind, 7 ice, 8 installation; 9 ice thickness.
constexpr ConditionSource kSixConditions[] = {
    {kLowTemp[0], kLowTemp[1], kNone, kNone, 1},      {kHighWind[0], kHighWind[1], kNone, 6, 2},
    {kAverage[0], kAverage[1], kNone, kNone, 3},      {kIce[0], kIce[1], 9, 7, 4},
    {kCheck[0], kCheck[1], kNone, kNone, kCheckTemp}, {kSetting[0], kSetting[1], kNone, 8, 5},
};

double columnValue(const RowFields& fields, int column) {
    if (column == kNone) return 0.0;
    if (column == kCheckTemp) return 15.0;
    return parseReal(fields[static_cast<std::size_t>(column)]);
}

// The conditions of an area as they stand before the row's values are set: zero-filled, named.
template <std::size_t N>
struct ConditionTemplates {
    WeatherCondition conditions[N];

    ConditionTemplates(const ConditionSource (&sources)[N], bool englishNames) {
        std::memset(conditions, 0, sizeof conditions);
        for (std::size_t i = 0; i < N; ++i) {
            copyText(conditions[i].name, englishNames ? sources[i].english : sources[i].chinese);
        }
    }
};

template <std::size_t N>
int loadAreas(WeatherAreaLib& library, const char* path, std::size_t fieldCount,
              const ConditionSource (&sources)[N], bool englishNames) {
    const ConditionTemplates<N> templates(sources, englishNames);
    return loadTable(library, path, fieldCount, [&](const RowFields& fields, WeatherArea& area) {
        copyText(area.name, fieldText(fields[0]));
        // Storage of exactly N conditions, written in place: the named templates in one copy
        // (they hold no pointers), then the row's values.
        area.conditions.reserveExact(N);
        WeatherCondition* conditions = area.conditions.first;
        std::memcpy(static_cast<void*>(conditions), templates.conditions,
                    sizeof templates.conditions);
        for (std::size_t i = 0; i < N; ++i) {
            conditions[i].iceThickness = columnValue(fields, sources[i].iceColumn);
            conditions[i].windSpeed = columnValue(fields, sources[i].windColumn);
            conditions[i].temperature = columnValue(fields, sources[i].temperatureColumn);
        }
        area.conditions.last = conditions + N;
    });
}

}  // namespace

int loadWeatherAreas(WeatherAreaLib& library, const char* path, bool englishNames) {
    return loadAreas(library, path, 15, kNineConditions, englishNames);
}

int loadLoadCaseWeatherAreas(WeatherAreaLib& library, const char* path, bool englishNames) {
    return loadAreas(library, path, 10, kSixConditions, englishNames);
}

}  // namespace varnel
