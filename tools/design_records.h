// The records the command loads through the library's entry points, as the design layer takes
// them: the public header's records and the core's have one layout, so they are copied byte for
// byte.
#pragma once

#include <vector>

#include "calc/records/records.h"
#include "tools/design_inputs.h"

namespace varnel::tool {

class DesignRecords {
  public:
    explicit DesignRecords(const Design& design);
    DesignRecords(const DesignRecords&) = delete;
    DesignRecords& operator=(const DesignRecords&) = delete;

    const varnel::LineAttrib& conductor() const { return conductor_; }
    // A view of the copied conditions; owns nothing.
    const varnel::WeatherConditionSeq& conditions() const { return conditions_; }

  private:
    varnel::LineAttrib conductor_{};
    std::vector<varnel::WeatherCondition> storage_;
    varnel::WeatherConditionSeq conditions_{};
};

}  // namespace varnel::tool
