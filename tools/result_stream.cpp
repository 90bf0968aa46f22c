#include "tools/result_stream.h"

#include <fmt/format.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#endif

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
    files_.clear();  // a run that did not finish removes the files it made
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

OutputFile& ResultStream::file(const std::string& pathUtf8) {
    files_.push_back(std::make_unique<OutputFile>(pathUtf8));
    return *files_.back();
}

void ResultStream::finish() {
    if (std::fflush(out_) != 0 || std::ferror(out_) != 0) {
        throw ToolError(std::string("standard output: cannot write: ") + std::strerror(errno));
    }
    // Every file closed before any is renamed: a disk that fills up on the last one leaves the
    // first ones as they were too. Only a rename, which does not run out of room, comes after.
    for (const auto& f : files_) f->flushAndClose();
    for (const auto& f : files_) f->place();
    files_.clear();
}

namespace {

enum class Kind { absent, regular, directory, other };

#ifdef _WIN32

// A handle opened for no access at all tells a disk file from a device (NUL, CON) or a pipe
// without touching it.
Kind kindOf(const std::string& native) {
    const HANDLE h =
        CreateFileA(native.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return Kind::absent;  // creating the file then says why
    Kind kind = Kind::other;
    if (GetFileType(h) == FILE_TYPE_DISK) {
        BY_HANDLE_FILE_INFORMATION info;
        const bool folder = GetFileInformationByHandle(h, &info) != 0 &&
                            (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        kind = folder ? Kind::directory : Kind::regular;
    }
    CloseHandle(h);
    return kind;
}

std::string followLinks(const std::string& native) {
    return native;
}

// A new file in `folder`, made exclusively so that nothing already there is opened.
int createBeside(const std::string& target, std::string& made) {
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        made = fmt::format("{}.{}.{}.tmp", target, GetCurrentProcessId(), attempt);
        const int fd =
            _open(made.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

bool writable(const std::string& native) {
    return _access(native.c_str(), 2) == 0;
}

bool replace(const std::string& from, const std::string& to) {
    if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
    errno = EACCES;
    return false;
}

#else

Kind kindOf(const std::string& native) {
    struct stat st;
    if (stat(native.c_str(), &st) != 0) return Kind::absent;  // creating the file then says why
    if (S_ISREG(st.st_mode)) return Kind::regular;
    if (S_ISDIR(st.st_mode)) return Kind::directory;
    return Kind::other;
}

std::string folderOf(const std::string& native) {
    const std::size_t slash = native.rfind('/');
    return slash == std::string::npos ? std::string() : native.substr(0, slash + 1);
}

// The file a chain of symbolic links ends at (which may not exist yet), so that the new file is
// made in the same folder as the one it replaces and the rename keeps the links.
std::string followLinks(const std::string& native) {
    std::string path = native;
    for (int hop = 0; hop < 40; ++hop) {  // as many as the kernel follows
        struct stat st;
        if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
        std::string link(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
        const ssize_t n = readlink(path.c_str(), link.data(), link.size());
        if (n < 0 || static_cast<std::size_t>(n) >= link.size()) return path;
        link.resize(static_cast<std::size_t>(n));
        path = link.front() == '/' ? link : folderOf(path) + link;
    }
    return path;  // a loop: opening it fails and says so
}

int createBeside(const std::string& target, std::string& made) {
    const std::string folder = folderOf(target);
    // Named after the target, so that one left by a killed run is recognised, but short enough
    // for any name the target itself may have.
    made = folder + "." + target.substr(folder.size(), 100) + ".XXXXXX";
    const int fd = mkstemp(made.data());
    if (fd < 0) return fd;
    // mkstemp gives 0600; the file gets what the file it replaces had, or what a new file
    // would have under the umask.
    struct stat st;
    mode_t mode = 0;
    if (stat(target.c_str(), &st) == 0) {
        mode = st.st_mode & 07777;
    } else {
#ifdef __EMSCRIPTEN__
        // The WebAssembly build's emulated umask starts at 0777, which would leave every new
        // file unreadable in its in-memory file system; there is no other user to keep out.
        const mode_t mask = 022;
#else
        const mode_t mask = umask(0);
        umask(mask);
#endif
        mode = 0666 & ~mask;
    }
    fchmod(fd, mode);
    return fd;
}

bool writable(const std::string& native) {
    return access(native.c_str(), W_OK) == 0;
}

bool replace(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str()) == 0;
}

#endif

}  // namespace

OutputFile::OutputFile(const std::string& pathUtf8)
    : pathUtf8_(pathUtf8), target_(followLinks(nativePath(pathUtf8))) {
    switch (kindOf(target_)) {
        case Kind::directory:
            fail(EISDIR);
        case Kind::other:
            // A device or a pipe takes the output as it comes; there is nothing to put back.
            file_ = std::fopen(target_.c_str(), "wb");
            if (file_ == nullptr) fail(errno);
            break;
        case Kind::regular:
            // Refused as opening it for writing would be, though the folder would let it be
            // replaced.
            if (!writable(target_)) fail(errno);
            [[fallthrough]];
        case Kind::absent: {
            const int fd = createBeside(target_, temporary_);
            if (fd < 0) {
                const int error = errno;
                temporary_.clear();
                fail(error);
            }
            file_ = fdopen(fd, "wb");
            if (file_ == nullptr) {
                const int error = errno;
                close(fd);
                std::remove(temporary_.c_str());
                temporary_.clear();
                fail(error);
            }
            break;
        }
    }
    std::setvbuf(file_, nullptr, _IOFBF, 1 << 16);
}

OutputFile::~OutputFile() {
    if (file_ != nullptr) std::fclose(file_);
    // Closed but never placed: the run failed after this file was written.
    if (!temporary_.empty()) std::remove(temporary_.c_str());
}

void OutputFile::fail(int error) const {
    throw ToolError(pathUtf8_ + ": cannot write: " + std::strerror(error));
}

void OutputFile::write(std::string_view text) {
    if (std::fwrite(text.data(), 1, text.size(), file_) != text.size()) fail(errno);
}

void OutputFile::commit() {
    flushAndClose();
    place();
}

void OutputFile::flushAndClose() {
    if (file_ == nullptr) return;
    std::FILE* f = file_;
    file_ = nullptr;
    const bool flushed = std::fflush(f) == 0;
    int error = errno;
    const bool closed = std::fclose(f) == 0;
    if (flushed && !closed) error = errno;
    if (flushed && closed) return;
    if (!temporary_.empty()) std::remove(temporary_.c_str());
    temporary_.clear();
    fail(error);
}

void OutputFile::place() {
    if (temporary_.empty()) return;
    const std::string made = std::move(temporary_);
    temporary_.clear();
    if (replace(made, target_)) return;
    const int error = errno;
    std::remove(made.c_str());
    fail(error);
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

std::string readWholeFile(const std::string& pathUtf8, std::size_t maxBytes,
                          const std::string& tooLarge) {
    std::FILE* f = std::fopen(nativePath(pathUtf8).c_str(), "rb");
    if (f == nullptr) throw ToolError(pathUtf8 + ": cannot open: " + std::strerror(errno));
    std::string text;
    char buffer[1 << 14];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) {
        text.append(buffer, n);
        if (text.size() > maxBytes) {
            std::fclose(f);
            throw ToolError(pathUtf8 + ": " + tooLarge);
        }
    }
    const bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (failed) throw ToolError(pathUtf8 + ": cannot read");
    return text;
}

}  // namespace varnel::tool
