// The library writes its account of the controlling-condition search to the process's standard
// output, in GBK. The command takes it from there: captured to convert or to pass on, or sent
// nowhere while it sweeps many spans.
#pragma once

#include <functional>
#include <string>

namespace varnel::tool {

// Runs `body` with standard output going to a temporary file and returns what was written.
std::string captureStandardOutput(const std::function<void()>& body);

// Runs `body` with standard output going to the null device.
void discardStandardOutput(const std::function<void()>& body);

}  // namespace varnel::tool
