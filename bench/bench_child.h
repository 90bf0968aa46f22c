// Helpers the table benchmarks share: measurements taken in a fresh process (the benchmark runs
// itself again with a child mode's arguments and reads one line of figures back), and large
// tables made by repeating the records of a smaller one.
#pragma once

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/dbf_writer.h"

extern char** environ;

namespace varnel::bench {

// Runs this program again with `args` and returns what it wrote on standard output. A fresh
// process starts with an empty heap: no freed block of an earlier table can be reused, so every
// page of a new buffer is faulted in, as in a host that opens a table once.
inline std::string runChild(const std::vector<std::string>& args) {
    int out[2];
    if (pipe(out) != 0) throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    std::vector<std::string> all{"/proc/self/exe"};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int error = posix_spawn(&pid, "/proc/self/exe", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    if (error != 0) {
        close(out[0]);
        throw std::runtime_error("posix_spawn failed");
    }
    std::string text;
    char buffer[256];
    for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) > 0;) {
        text.append(buffer, static_cast<std::size_t>(n));
    }
    close(out[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        throw std::runtime_error("child failed: " + args.front());
    }
    return text;
}

// A table at a new path with the records of the table at `path` repeated `times` times: the
// header's record count is set, the records follow each other, then the end-of-file marker.
inline std::string repeatedTable(const std::string& path, int times, const std::string& name) {
    const std::string bytes = test::loadBytes(path);
    const auto u16 = [&](std::size_t at) {
        return static_cast<std::size_t>(static_cast<unsigned char>(bytes[at]) |
                                        static_cast<unsigned char>(bytes[at + 1]) << 8);
    };
    const std::size_t headerLength = u16(8);
    const std::size_t recordLength = u16(10);
    std::uint32_t count = 0;
    std::memcpy(&count, bytes.data() + 4, 4);  // little-endian on every host this runs on
    const std::string records = bytes.substr(headerLength, count * recordLength);
    std::string out = bytes.substr(0, headerLength);
    const std::uint32_t total = count * static_cast<std::uint32_t>(times);
    std::memcpy(out.data() + 4, &total, 4);
    out.reserve(headerLength + records.size() * static_cast<std::size_t>(times) + 1);
    for (int i = 0; i < times; ++i) out += records;
    out += '\x1A';
    const std::string result = test::tempPath(name);
    test::saveBytes(result, out);
    return result;
}

}  // namespace varnel::bench
