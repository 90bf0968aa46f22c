// The descriptor functions of the C runtime under their POSIX names, and the null device, for
// the code that moves standard output about.
#pragma once

#include <fcntl.h>

#ifdef _WIN32
#include <io.h>
#define dup _dup
#define dup2 _dup2
#define fileno _fileno
#define close _close
#define open _open
#define fdopen _fdopen
#define isatty _isatty
namespace varnel::tool {
inline constexpr const char* kNullDevice = "NUL";
inline constexpr int kWriteOnly = _O_WRONLY | _O_BINARY;
}  // namespace varnel::tool
#else
#include <unistd.h>
namespace varnel::tool {
inline constexpr const char* kNullDevice = "/dev/null";
inline constexpr int kWriteOnly = O_WRONLY;
}  // namespace varnel::tool
#endif
