#pragma once

#include <stdexcept>
#include <string>

namespace varnel::tool {

// A failure the command reports in one line and leaves with a non-zero status.
class ToolError : public std::runtime_error {
  public:
    explicit ToolError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace varnel::tool
