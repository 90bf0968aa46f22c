// The library writes its account of the controlling-condition search to the process's standard
// output, in GBK. The command captures it to convert or to pass on; otherwise it goes to the null
// device (result_stream.h).
#pragma once

#include <functional>
#include <string>

namespace varnel::tool {

// Runs `body` with standard output going to a temporary file and returns what was written.
std::string captureStandardOutput(const std::function<void()>& body);

}  // namespace varnel::tool
