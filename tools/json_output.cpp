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

Json conditionRef(int index, const std::string& name) {
    if (index < 0) return nullptr;
    return Json{{"index", index}, {"name", name}};
}

JsonStream::JsonStream(Sink sink, const Json& head) : sink_(std::move(sink)) {
    std::string text = jsonDocument(head);
    // "{\n  ...\n}\n" less its last two lines' brace: the members that follow go after a comma.
    text.erase(text.rfind('}'));
    while (!text.empty() && text.back() == '\n') text.pop_back();
    sink_(text);
}

void JsonStream::beginArray(const std::string& key) {
    sink_(",\n  " + jsonLine(Json(key)) + ": [");
    first_ = true;
}

void JsonStream::add(const Json& element) {
    sink_((first_ ? "\n    " : ",\n    ") + jsonLine(element));
    first_ = false;
}

void JsonStream::endArray() {
    sink_(first_ ? "]" : "\n  ]");
}

void JsonStream::end() {
    sink_("\n}\n");
}

}  // namespace varnel::tool
