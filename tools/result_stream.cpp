#include "tools/result_stream.h"

#include <fmt/format.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "tools/descriptors.h"
#include "tools/encoding.h"
#include "tools/tool_error.h"

namespace varnel::tool {

namespace {

long long nowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

ResultStream::ResultStream() {
    std::fflush(stdout);
    const int out = fileno(stdout);
    saved_ = dup(out);
    const int mine = dup(out);
    const int sink = open(kNullDevice, kWriteOnly);
    out_ = mine >= 0 ? fdopen(mine, "w") : nullptr;
    if (saved_ < 0 || out_ == nullptr || sink < 0 || dup2(sink, out) < 0) {
        if (sink >= 0) close(sink);
        if (out_ != nullptr)
            std::fclose(out_);
        else if (mine >= 0)
            close(mine);
        if (saved_ >= 0) close(saved_);
        throw ToolError("cannot set up standard output");
    }
    close(sink);
    std::setvbuf(out_, nullptr, _IOFBF, 1 << 16);
}

ResultStream::~ResultStream() {
    std::fclose(out_);
    std::fflush(stdout);
    dup2(saved_, fileno(stdout));
    close(saved_);
}

void ResultStream::write(std::string_view text) {
    if (text.empty()) return;
    // Buffered: a sag table writes a row a span, and a flush each would be a system call each.
    if (std::fwrite(text.data(), 1, text.size(), out_) != text.size()) {
        throw ToolError(std::string("standard output: cannot write: ") + std::strerror(errno));
    }
}

void ResultStream::finish() {
    if (std::fflush(out_) != 0 || std::ferror(out_) != 0) {
        throw ToolError(std::string("standard output: cannot write: ") + std::strerror(errno));
    }
}

OutputFile::OutputFile(const std::string& pathUtf8)
    : pathUtf8_(pathUtf8), native_(nativePath(pathUtf8)) {
    file_ = std::fopen(native_.c_str(), "wb");
    if (file_ == nullptr) {
        throw ToolError(pathUtf8_ + ": cannot write: " + std::strerror(errno));
    }
    std::setvbuf(file_, nullptr, _IOFBF, 1 << 16);
}

OutputFile::~OutputFile() {
    if (file_ == nullptr) return;
    std::fclose(file_);
    std::remove(native_.c_str());
}

void OutputFile::write(std::string_view text) {
    if (std::fwrite(text.data(), 1, text.size(), file_) != text.size()) {
        throw ToolError(pathUtf8_ + ": cannot write: " + std::strerror(errno));
    }
}

void OutputFile::commit() {
    std::FILE* f = file_;
    file_ = nullptr;
    const bool flushed = std::fflush(f) == 0;
    const int error = errno;
    if (std::fclose(f) != 0 || !flushed) {
        std::remove(native_.c_str());
        throw ToolError(pathUtf8_ + ": cannot write: " + std::strerror(flushed ? errno : error));
    }
}

bool ResultStream::isTerminal() const {
    return isatty(fileno(out_)) != 0;
}

Progress::Progress(const char* what, unsigned long long total, const ResultStream& results)
    : what_(what),
      total_(total),
      enabled_(isatty(fileno(stderr)) != 0 && !results.isTerminal()),
      started_(nowMs()) {}

Progress::~Progress() {
    if (shown_) {
        std::fputs(("\r" + std::string(width_, ' ') + "\r").c_str(), stderr);
        std::fflush(stderr);
    }
}

void Progress::update(unsigned long long done) {
    if (!enabled_ || total_ == 0) return;
    const long long now = nowMs();
    // Nothing for a run that is over within a second; then about four updates a second.
    if (now - started_ < 1000 || now - last_ < 250) return;
    last_ = now;
    shown_ = true;
    const double share = static_cast<double>(done) / static_cast<double>(total_);
    // Plain carriage returns and spaces: no terminal escapes, so a Windows console shows it too.
    std::string line = fmt::format("{} {} of {} ({:.0f} %)", what_, done, total_, 100 * share);
    const std::size_t width = line.size();
    if (width < width_) line.append(width_ - width, ' ');
    width_ = std::max(width_, width);
    std::fputs(("\r" + line).c_str(), stderr);
    std::fflush(stderr);
}

}  // namespace varnel::tool
