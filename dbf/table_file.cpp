#include "dbf/table_file.h"

#include <cerrno>
#include <cstdint>
#include <string>
#include <system_error>

#include "dbf/table_refusal.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace varnel {

namespace {

#ifdef _WIN32
using FileStatus = struct _stat64;
constexpr unsigned kTypeMask = _S_IFMT;
constexpr unsigned kRegular = _S_IFREG;
constexpr unsigned kFolder = _S_IFDIR;
constexpr unsigned kPipe = _S_IFIFO;
constexpr unsigned kCharDevice = _S_IFCHR;
constexpr unsigned kBlockDevice = ~0u;  // none on Windows
constexpr unsigned kSocket = ~0u;
#else
using FileStatus = struct stat;
constexpr unsigned kTypeMask = S_IFMT;
constexpr unsigned kRegular = S_IFREG;
constexpr unsigned kFolder = S_IFDIR;
constexpr unsigned kPipe = S_IFIFO;
constexpr unsigned kCharDevice = S_IFCHR;
constexpr unsigned kBlockDevice = S_IFBLK;
constexpr unsigned kSocket = S_IFSOCK;
#endif

// One read asks for at most this many bytes: Linux reads at most about 2 GiB at once and the
// Windows C runtime takes an unsigned int.
constexpr std::size_t kLargestRead = std::size_t{1} << 30;

unsigned typeOf(const FileStatus& status) {
    return static_cast<unsigned>(status.st_mode) & kTypeMask;
}

bool notRegular(TableCheck& check, const FileStatus& status) {
    const unsigned type = typeOf(status);
    const char* what = type == kFolder                               ? "a folder"
                       : type == kPipe                               ? "a named pipe"
                       : type == kCharDevice || type == kBlockDevice ? "a device"
                       : type == kSocket                             ? "a socket"
                                                                     : "something else";
    refuse(check, TableRefusal::NotRegularFile,
           std::string("the path names ") + what + ", not a regular file");
    return false;
}

bool systemFailure(TableCheck& check, const char* doing, int error) {
    refuse(check, TableRefusal::NoFile,
           std::string(doing) + ": " + std::generic_category().message(error));
    check.systemError = error;
    return false;
}

// Closes the descriptor when it goes.
struct Descriptor {
    int fd;
    ~Descriptor() {
#ifdef _WIN32
        _close(fd);
#else
        ::close(fd);
#endif
    }
};

#ifdef __linux__
// Transparent huge pages are 2 MiB on x86-64 and on the usual arm64 kernels.
constexpr std::size_t kHugePage = std::size_t{2} << 20;

// `size` bytes (rounded up to whole huge pages, so the last one can be huge too) at an address
// that is a multiple of kHugePage: more than that is mapped, and what lies outside is unmapped.
// The advice is only advice: where huge pages are off it changes nothing.
TableBytes mapHugeTableBytes(std::size_t size) noexcept {
    const std::size_t length = (size + kHugePage - 1) / kHugePage * kHugePage;
    if (length < size || length + kHugePage < length) return TableBytes();
    void* mapping = ::mmap(nullptr, length + kHugePage, PROT_READ | PROT_WRITE,
                           MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapping == MAP_FAILED) return TableBytes();
    const auto start = reinterpret_cast<std::uintptr_t>(mapping);
    const std::uintptr_t aligned = (start + kHugePage - 1) / kHugePage * kHugePage;
    const std::size_t head = aligned - start;
    if (head > 0) ::munmap(mapping, head);
    ::munmap(reinterpret_cast<void*>(aligned + length), kHugePage - head);
    auto* bytes = reinterpret_cast<unsigned char*>(aligned);
    ::madvise(bytes, length, MADV_HUGEPAGE);
    return TableBytes(bytes, FreeBytes{length});
}
#endif

}  // namespace

void FreeBytes::operator()(unsigned char* p) const noexcept {
#ifdef __linux__
    if (mapped != 0) {
        ::munmap(p, mapped);
        return;
    }
#endif
    std::free(p);
}

TableBytes allocateTableBytes(std::size_t size) noexcept {
#ifdef __linux__
    if (size >= kHugeTableBytes) return mapHugeTableBytes(size);
#endif
    return TableBytes(static_cast<unsigned char*>(std::malloc(size > 0 ? size : 1)));
}

bool readTableFile(const char* path, TableBytes& bytes, std::size_t& size, TableCheck& check) {
    FileStatus status{};
#ifdef _WIN32
    // Opening never blocks here; the C runtime cannot open a folder, so that is asked after.
    const int fd = _open(path, _O_RDONLY | _O_BINARY | _O_NOINHERIT);
    if (fd < 0) {
        const int error = errno;
        if (_stat64(path, &status) == 0 && typeOf(status) == kFolder) {
            return notRegular(check, status);
        }
        return systemFailure(check, "cannot open the file", error);
    }
    const Descriptor file{fd};
    if (_fstat64(fd, &status) != 0) return systemFailure(check, "cannot open the file", errno);
#else
    // Asked before opening: opening a device may act on it, and opening a pipe disturbs its
    // writer. Asked again of what was opened, in case the name changed hands in between; the
    // open itself cannot block (O_NONBLOCK), and never makes a terminal the process's own.
    if (::stat(path, &status) != 0) return systemFailure(check, "cannot open the file", errno);
    if (typeOf(status) != kRegular) return notRegular(check, status);
    const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return systemFailure(check, "cannot open the file", errno);
    const Descriptor file{fd};
    if (::fstat(fd, &status) != 0) return systemFailure(check, "cannot open the file", errno);
#endif
    if (typeOf(status) != kRegular) return notRegular(check, status);

    const std::int64_t fileSize = status.st_size;
    if (fileSize < 0 || static_cast<std::uint64_t>(fileSize) > PTRDIFF_MAX) {
        refuseOutOfMemory(check, fileSize);
        return false;
    }
    const auto wanted = static_cast<std::size_t>(fileSize);
    bytes = allocateTableBytes(wanted);
    if (!bytes) {
        refuseOutOfMemory(check, fileSize);
        return false;
    }
    // The whole file in one read (more only if the system hands it out in parts). A file that
    // shrank since its size was taken is what could be read, checked like any other.
    std::size_t got = 0;
    while (got < wanted) {
        const std::size_t ask = wanted - got < kLargestRead ? wanted - got : kLargestRead;
#ifdef _WIN32
        const int n = _read(fd, bytes.get() + got, static_cast<unsigned>(ask));
#else
        const ssize_t n = ::read(fd, bytes.get() + got, ask);
#endif
        if (n < 0) {
            if (errno == EINTR) continue;
            return systemFailure(check, "cannot read the file", errno);
        }
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    size = got;
    return true;
}

}  // namespace varnel
