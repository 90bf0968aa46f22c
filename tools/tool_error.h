#pragma once

#include <stdexcept>
#include <string>

namespace varnel::tool {

// A failure of the work (a file, the data in it): one line on standard error, status 1.
class ToolError : public std::runtime_error {
  public:
    explicit ToolError(const std::string& message) : std::runtime_error(message) {}
};

// A command line that cannot be carried out as written (an option out of its range, options
// that contradict each other): one line on standard error, status 2, as CLI11's own errors.
class UsageError : public std::runtime_error {
  public:
    explicit UsageError(const std::string& message) : std::runtime_error(message) {}
};

inline constexpr int kStatusFailure = 1;
inline constexpr int kStatusUsage = 2;

}  // namespace varnel::tool
