// A small JSON reader for the namedir tool: the whole text into a tree of
// values. Numbers are kept as text and read as integers on request; strings
// are UTF-8 with the escapes of JSON (\uXXXX of the Basic Multilingual Plane
// and surrogate pairs). Nesting deeper than 64 levels is refused.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct JsonValue {
    enum Kind { Null, Bool, Number, String, Array, Object } kind = Null;
    bool boolean = false;
    std::string text; // string value, or a number's digits
    std::vector<JsonValue> items;
    std::map<std::string, JsonValue> members;

    const JsonValue* member(const std::string& key) const {
        auto it = members.find(key);
        return it == members.end() ? nullptr : &it->second;
    }
    // A whole number from `min` to `max`; false for anything else.
    bool integer(long long min, long long max, long long& value) const;
};

// False with a message naming the offset of the fault.
bool parseJson(const std::string& text, JsonValue& out, std::string& error);
