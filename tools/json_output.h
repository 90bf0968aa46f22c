// JSON documents of the commands' --json: names in UTF-8, numbers as JSON numbers (a number that
// is not finite becomes null), keys in the order they are set.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

namespace varnel::tool {

using Json = nlohmann::ordered_json;

// One document, pretty-printed, with a final line feed.
std::string jsonDocument(const Json& value);
// One value on one line, as a row of a document written piece by piece.
std::string jsonLine(const Json& value);

}  // namespace varnel::tool
