// Runs the fuzz target once on every file of the folders (or on the files) given, so the seed
// corpus is checked by every build, with or without libFuzzer.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

std::string hostPath(std::string path) {
#ifdef _WIN32
    // Under wine the test is handed a Unix path: wine shows the Unix root as drive Z:.
    if (!path.empty() && path.front() == '/') path = "Z:" + path;
#endif
    return path;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::filesystem::path> files;
    for (int i = 1; i < argc; ++i) {
        const std::filesystem::path arg = hostPath(argv[i]);
        if (std::filesystem::is_directory(arg)) {
            for (const auto& entry : std::filesystem::directory_iterator(arg)) {
                if (entry.is_regular_file()) files.push_back(entry.path());
            }
        } else {
            files.push_back(arg);
        }
    }
    if (files.empty()) {
        std::fprintf(stderr, "fuzz_replay: no input files\n");
        return 1;
    }
    for (const auto& file : files) {
        std::ifstream in(file, std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "fuzz_replay: cannot read %s\n", file.string().c_str());
            return 1;
        }
        const std::string bytes{std::istreambuf_iterator<char>(in),
                                std::istreambuf_iterator<char>()};
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    }
    std::printf("fuzz_replay: %lu inputs replayed\n", static_cast<unsigned long>(files.size()));
    return 0;
}
