#include "tools/json_output.h"

namespace varnel::tool {

// Texts reaching here are already UTF-8 (converted from GBK, with U+FFFD for what did not
// convert); replacing anything invalid all the same keeps a damaged name from aborting a run.
std::string jsonDocument(const Json& value) {
    return value.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

std::string jsonLine(const Json& value) {
    return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace varnel::tool
