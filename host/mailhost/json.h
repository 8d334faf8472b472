// A small JSON writer: objects, arrays, strings (already UTF-8), integers, booleans, null,
// indented two spaces so that people can read what scripts parse.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class JsonWriter {
public:
    JsonWriter& BeginObject();
    JsonWriter& EndObject();
    JsonWriter& BeginArray();
    JsonWriter& EndArray();
    JsonWriter& Key(std::string_view key);
    JsonWriter& String(std::string_view utf8);
    JsonWriter& Number(int64_t value);
    JsonWriter& Bool(bool value);
    JsonWriter& Null();

    template <typename T>
    JsonWriter& Field(std::string_view key, const T& value) {
        Key(key);
        return Value(value);
    }
    // The document, with a final line end once every object and array is closed.
    const std::string& Text();

private:
    JsonWriter& Value(std::string_view v) { return String(v); }
    JsonWriter& Value(const std::string& v) { return String(v); }
    JsonWriter& Value(const char* v) { return String(v ? v : ""); }
    JsonWriter& Value(bool v) { return Bool(v); }
    template <typename N>
    JsonWriter& Value(N v) {
        return Number(static_cast<int64_t>(v));
    }

    void BeforeValue();
    JsonWriter& Open(char bracket);
    JsonWriter& Close(char bracket);

    std::string m_text;
    std::vector<int> m_counts;  // values written so far in each open object or array
    bool m_afterKey = false;
};
