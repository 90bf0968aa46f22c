#include "tools/library_output.h"

#include <cstdio>

#include "tools/descriptors.h"
#include "tools/tool_error.h"

namespace varnel::tool {

namespace {

// Points descriptor 1 at `target` for its lifetime; the C library's stdout buffer is flushed on
// both sides of the switch so no byte lands on the wrong side.
class Redirect {
  public:
    explicit Redirect(int target) {
        std::fflush(stdout);
        saved_ = dup(fileno(stdout));
        if (saved_ < 0 || dup2(target, fileno(stdout)) < 0) {
            throw ToolError("cannot redirect standard output");
        }
    }
    ~Redirect() {
        std::fflush(stdout);
        dup2(saved_, fileno(stdout));
        close(saved_);
    }
    Redirect(const Redirect&) = delete;
    Redirect& operator=(const Redirect&) = delete;

  private:
    int saved_ = -1;
};

}  // namespace

std::string captureStandardOutput(const std::function<void()>& body) {
    std::FILE* sink = std::tmpfile();
    if (sink == nullptr) throw ToolError("cannot create a temporary file");
    try {
        Redirect redirect(fileno(sink));
        body();
    } catch (...) {
        std::fclose(sink);
        throw;
    }
    std::string bytes;
    std::rewind(sink);
    char buffer[4096];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, sink)) > 0) bytes.append(buffer, n);
    std::fclose(sink);
    return bytes;
}

}  // namespace varnel::tool
