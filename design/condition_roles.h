// What each condition of a weather area stands for in the line check, found whatever the area
// calls it: the conditions in which the swing of suspension strings is checked.
#pragma once

#include <vector>

#include "calc/records/records.h"
#include "design/design_api.h"

namespace varnel::design {

// Per condition, whether the design practice checks the swing of suspension strings in it:
// the strong wind (大风), the lightning over-voltage (外过) and the switching over-voltage (内过)
// conditions, and live-line work (带电作业) where the area has it; not ice (覆冰) nor
// installation (安装), whose winds load the towers but set no clearance. The conditions are
// found by the names the weather-area loaders give them (GBK 大风, 外过, 内过, 带电作业;
// English "Max. wind vel", "L.O", "S.O"); in an area where no condition carries one of those
// names, by their places: the 2nd, 8th and 9th of a nine-condition area, the 2nd of a
// six-condition one (where the loaders put them); in any other area, every condition with wind.
VARNEL_DESIGN_API std::vector<bool> swingConditions(const WeatherConditionSeq& conditions);

}  // namespace varnel::design
