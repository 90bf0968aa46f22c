// The page's module: the varnel command run in process, its standard output and standard error
// captured byte for byte, and a few facts the page asks for without running a command.
//
// The capture points descriptors 1 and 2 at files of the in-memory file system for the length of
// a run. The command itself moves descriptor 1 about (dup, dup2) to keep the library's account
// of the search apart from its results; emscripten's own dup reopens the file by its name, which
// truncates it and loses a temporary file that has already been unlinked, so web/descriptors.js
// replaces dup and dup3 by ones that share the open file, as on a POSIX system.
#include <emscripten/bind.h>
#include <emscripten/val.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "tools/run_varnel.h"
#include "varnel_version.h"

namespace {

constexpr const char* kStdoutFile = "/tmp/varnel-stdout";
constexpr const char* kStderrFile = "/tmp/varnel-stderr";

// Descriptor `fd` points at `path`, emptied, for the lifetime of the object. Appending: the
// command's copies of the descriptor each keep a position of their own here.
class Capture {
  public:
    Capture(int fd, const char* path) : fd_(fd), path_(path) {
        saved_ = dup(fd);
        const int file = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_APPEND, 0600);
        if (file >= 0) {
            dup2(file, fd);
            close(file);
        }
    }
    ~Capture() {
        if (saved_ >= 0) {
            dup2(saved_, fd_);
            close(saved_);
        }
    }
    Capture(const Capture&) = delete;
    Capture& operator=(const Capture&) = delete;

    std::string bytes() const {
        std::ifstream in(path_, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

  private:
    int fd_;
    const char* path_;
    int saved_ = -1;
};

void flushAll() {
    std::cout.flush();
    std::cerr.flush();
    std::fflush(stdout);
    std::fflush(stderr);
}

// run(['control', '--areas', ...]) → {status, stdout, stderr}, as `varnel ARGS...` gives them.
emscripten::val run(const emscripten::val& words) {
    std::vector<std::string> args = emscripten::vecFromJSArray<std::string>(words);
    // emscripten starts with a umask of 0777, under which the files a command writes could not
    // be read back; 022 as on a usual system.
    umask(022);
    int status = 0;
    std::string out;
    std::string err;
    flushAll();
    {
        Capture outCapture(1, kStdoutFile);
        Capture errCapture(2, kStderrFile);
        status = varnel::tool::runVarnel(std::move(args));
        flushAll();
        out = outCapture.bytes();
        err = errCapture.bytes();
    }
    std::remove(kStdoutFile);
    std::remove(kStderrFile);
    emscripten::val result = emscripten::val::object();
    result.set("status", status);
    result.set("stdout", out);
    result.set("stderr", err);
    return result;
}

std::string version() {
    return VARNEL_VERSION_STRING;
}

}  // namespace

EMSCRIPTEN_BINDINGS(varnel_web) {
    emscripten::function("run", &run);
    emscripten::function("version", &version);
    emscripten::constant("samplesDir", std::string("/samples"));
}
