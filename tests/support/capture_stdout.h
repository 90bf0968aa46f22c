// Captures what a call writes to the process's standard output, as bytes.
//
// The output goes to a temporary file swapped in for descriptor 1. On Windows that file is in
// binary mode, so the C runtime does not turn "\n" into "\r\n": the bytes are exactly what the
// library's printf calls formatted.
#pragma once

#include <functional>
#include <string>

namespace varnel::test {

std::string captureStdout(const std::function<void()>& body);

}  // namespace varnel::test
