#include "calc/coefficients.h"

#include <array>
#include <cmath>

namespace varnel {
namespace {

// Height (m), then classes A-D normalised to 10 m, A-C to 15 m, A-C to 20 m.
constexpr std::size_t kRows = 18;
constexpr std::array<std::array<double, 11>, kRows> kHeightTable{{
    {10, 1.38, 1.00, 0.74, 0.62, 1.21, 0.88, 0.63, 1.11, 0.80, 0.57},
    {15, 1.52, 1.14, 0.74, 0.62, 1.34, 1.00, 0.74, 1.22, 0.91, 0.67},
    {20, 1.63, 1.25, 0.84, 0.62, 1.43, 1.10, 0.83, 1.31, 1.00, 0.75},
    {30, 1.80, 1.42, 1.00, 0.62, 1.58, 1.25, 0.97, 1.44, 1.14, 0.89},
    {40, 1.92, 1.56, 1.13, 0.73, 1.69, 1.37, 1.09, 1.54, 1.25, 0.99},
    {50, 2.03, 1.67, 1.25, 0.84, 1.78, 1.47, 1.19, 1.63, 1.34, 1.09},
    {60, 2.12, 1.77, 1.35, 0.93, 1.86, 1.56, 1.28, 1.70, 1.42, 1.17},
    {70, 2.20, 1.86, 1.45, 1.02, 1.93, 1.64, 1.36, 1.76, 1.49, 1.24},
    {80, 2.27, 1.95, 1.54, 1.11, 2.00, 1.71, 1.44, 1.82, 1.56, 1.31},
    {90, 2.34, 2.02, 1.62, 1.19, 2.05, 1.77, 1.51, 1.87, 1.62, 1.38},
    {100, 2.40, 2.09, 1.70, 1.27, 2.10, 1.84, 1.57, 1.92, 1.67, 1.44},
    {150, 2.64, 2.38, 2.03, 1.61, 2.32, 2.09, 1.85, 2.12, 1.91, 1.69},
    {200, 2.83, 2.61, 2.30, 1.92, 2.49, 2.29, 2.08, 2.27, 2.09, 1.89},
    {250, 2.99, 2.80, 2.54, 2.19, 2.62, 2.46, 2.27, 2.39, 2.24, 2.07},
    {300, 3.12, 2.97, 2.75, 2.45, 2.74, 2.61, 2.44, 2.50, 2.38, 2.23},
    {350, 3.12, 3.12, 2.94, 2.68, 2.74, 2.74, 2.60, 2.50, 2.50, 2.37},
    {400, 3.12, 3.12, 3.12, 2.91, 2.74, 2.74, 2.74, 2.50, 2.50, 2.50},
    {450, 3.12, 3.12, 3.12, 3.12, 2.74, 2.74, 2.74, 2.50, 2.50, 2.50},
}};

// Column of kHeightTable for a terrain class letter within a selector group. Letters outside the
// group's classes count as 'B'. Only ASCII letters change case, whatever the host's locale.
int heightTableColumn(char terrainClass, int groupSelector) {
    char letter = terrainClass;
    if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');
    const char lastClass = groupSelector <= 66 ? 'D' : 'C';
    if (letter < 'A' || letter > lastClass) letter = 'B';
    const int classIndex = letter - 'A';
    if (groupSelector <= 66) return 1 + classIndex;
    if (groupSelector <= 499) return 5 + classIndex;
    return 8 + classIndex;
}

}  // namespace

double ringStickShapeCoff(double x) noexcept {
    if (!(x > 0.002)) return 1.2;
    if (x >= 0.015) return 0.7;
    return 1.2 -
           (x - 0.002) * 38.46153846153846;  // 0.5 / 0.013: joins 1.2 at 0.002 to 0.7 at 0.015
}

double windHeightChangeCoff(double height, char terrainClass, int groupSelector) noexcept {
    const auto col = static_cast<std::size_t>(heightTableColumn(terrainClass, groupSelector));
    std::size_t i = 0;
    while (i < kRows && kHeightTable[i][0] < height) ++i;
    if (i == 0) return kHeightTable[0][col];
    if (i == kRows) return kHeightTable[kRows - 1][col];
    const auto& lo = kHeightTable[i - 1];
    const auto& hi = kHeightTable[i];
    return (hi[col] - lo[col]) * (height - lo[0]) / (hi[0] - lo[0]) + lo[col];
}

}  // namespace varnel
