// Just enough JSON for the status page and the motion set-up file: string
// escaping for writing, and a small recursive parser for reading back.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrova::sim {

std::string JsonEscape(std::string_view text); // quoted

struct JsonValue {
    enum class Kind { Null, Bool, Number, String, Array, Object } kind = Kind::Null;
    bool boolean = false;
    double number = 0;
    std::string string;
    std::vector<JsonValue> array;
    std::map<std::string, JsonValue> object;

    const JsonValue* Find(const std::string& key) const;
};

// nullopt for text that is not one complete JSON value.
std::optional<JsonValue> ParseJson(std::string_view text);

} // namespace kestrova::sim
