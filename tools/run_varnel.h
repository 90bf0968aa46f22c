// The varnel command as a function: `args` are the words after the program's name, in UTF-8. It
// writes to standard output and standard error as the command does and returns its exit status
// (0, 1 for failed work, 2 for a command line that cannot be carried out). It may be called any
// number of times in one process; each call starts afresh.
#pragma once

#include <string>
#include <vector>

namespace varnel::tool {

int runVarnel(std::vector<std::string> args);

}  // namespace varnel::tool
