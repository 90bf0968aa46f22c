// A catalogue of small tables, well-formed and malformed, each with what opening it must give.
// The table object's tests, the shapelib comparison and the fuzz seeds all start from it.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace varnel::test {

struct DbfFixture {
    std::string name;  // also the seed file's name
    std::string bytes;
    bool opens;
    int fields;   // when it opens
    int records;  // live records, when it opens
};

inline void PrintTo(const DbfFixture& f, std::ostream* os) {
    *os << f.name;
}

const std::vector<DbfFixture>& dbfFixtures();
// A fixture's name, for naming parameterised tests by it.
template <class Info>
std::string fixtureName(const Info& info) {
    return info.param.name;
}
// The bytes of the fixture called `name`; throws std::out_of_range when there is none.
const std::string& dbfFixture(const std::string& name);

// The folder of the shared corpus of real-world tables that VARNEL_DBF_CORPUS names, as this
// process opens it (under wine a Unix path becomes one on drive Z:); empty when the variable is
// unset or names no folder.
std::string corpusFolder();

}  // namespace varnel::test
