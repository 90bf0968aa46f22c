#include "support/capture_stdout.h"

#include <cstdio>
#include <stdexcept>

#ifdef _WIN32
#include <io.h>
#define dup _dup
#define dup2 _dup2
#define fileno _fileno
#define close _close
#else
#include <unistd.h>
#endif

namespace varnel::test {

std::string captureStdout(const std::function<void()>& body) {
    std::fflush(stdout);
    std::FILE* sink = std::tmpfile();
    if (sink == nullptr) throw std::runtime_error("tmpfile failed");
    const int saved = dup(fileno(stdout));
    if (saved < 0 || dup2(fileno(sink), fileno(stdout)) < 0) {
        std::fclose(sink);
        throw std::runtime_error("cannot redirect standard output");
    }
    body();
    std::fflush(stdout);
    dup2(saved, fileno(stdout));
    close(saved);

    std::string bytes;
    std::rewind(sink);
    char buffer[4096];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, sink)) > 0) bytes.append(buffer, n);
    std::fclose(sink);
    return bytes;
}

}  // namespace varnel::test
