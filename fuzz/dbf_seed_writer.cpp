// Writes the test fixtures into a folder as the fuzz target's seed corpus:
//   dbf_seed_writer FOLDER
#include <cstdio>
#include <exception>

#include "support/dbf_fixtures.h"
#include "support/dbf_writer.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    try {
        for (const auto& f : varnel::test::dbfFixtures()) {
            varnel::test::saveBytes(std::string(argv[1]) + "/" + f.name + ".dbf", f.bytes);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
