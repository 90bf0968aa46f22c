// JSON documents of the commands' --json: names in UTF-8, numbers as JSON numbers (a number that
// is not finite becomes null), keys in the order they are set. The keys and their units are
// listed in docs/json.md: a key of a figure ends in its unit (span_m, stress_N_per_mm2,
// temperature_degC); a condition is referred to as {"index", "name"}, since names may repeat.
#pragma once

#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

namespace varnel::tool {

using Json = nlohmann::ordered_json;

// One document, pretty-printed, with a final line feed.
std::string jsonDocument(const Json& value);
// One value on one line, as a row of a document written piece by piece.
std::string jsonLine(const Json& value);

// A condition of the area by its place in the table (from 0) and its name; null for none (-1).
Json conditionRef(int index, const std::string& name);

// A document written as it is computed: first its leading members, pretty-printed as
// jsonDocument would, then arrays whose elements are written one a line as they come. The text
// is the same JSON whatever the number of elements; nothing is held but the current one.
class JsonStream {
  public:
    using Sink = std::function<void(std::string_view)>;
    // `head` is an object of at least one member. Writes it without its closing brace.
    JsonStream(Sink sink, const Json& head);

    void beginArray(const std::string& key);
    void add(const Json& element);
    void endArray();
    // Closes the document; nothing may follow.
    void end();

  private:
    Sink sink_;
    bool first_ = true;
};

}  // namespace varnel::tool
